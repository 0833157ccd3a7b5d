// The document model on its own: the exact XML it writes for paragraphs, formats and tables,
// what reads back, and what it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <tuple>

#include "talvex/com_error.h"
#include "platform/opc/xml_parts.h"
#include "platform/wordproc/document.h"
#include "platform/wordproc/table_styles.h"
#include "support/scratch.h"

namespace {

namespace docx = tlx::platform::wordproc;
using docx::Document;
using Edit = std::function<void(Document&)>;

std::string saved(Document& d, const std::string& part) {
  tlxtest::ScratchDir dir("talvex-docx");  // tests may run at once: a folder of its own
  std::string file = dir.file("model.docx");
  d.save(file);
  return tlx::platform::opc::Package::open(file).read(part);
}

// The body's content before its section properties, printed again by pugixml so that the two
// ways of writing an empty element read the same.
std::string body(Document& d) {
  auto xml = tlx::platform::opc::parseXml(saved(d, "word/document.xml"), "word/document.xml");
  std::ostringstream out;
  for (auto n : tlx::platform::opc::child(xml.document_element(), "body").children())
    if (tlx::platform::opc::localName(n) != "sectPr") n.print(out, "", pugi::format_raw);
  return out.str();
}

std::string run(const std::string& text, const std::string& rPr = "") {
  return "<w:r>" + rPr + "<w:t xml:space=\"preserve\">" + text + "</w:t></w:r>";
}
const std::string kArial = "<w:rFonts w:ascii=\"Arial\" w:hAnsi=\"Arial\" w:cs=\"Arial\" w:eastAsia=\"Arial\"/>";

TEST(WordDocument, ParagraphsAreWrittenExactly) {
  const std::string fmt = "<w:rPr>" + kArial + "<w:b/><w:sz w:val=\"21\"/><w:szCs w:val=\"21\"/></w:rPr>";
  const struct {
    const char* what;
    Edit edit;
    std::string body;
  } cases[] = {
      {"a new document", [](Document&) {}, "<w:p/>"},
      {"tabs, line ends and manual line breaks",
       [](Document& d) { d.setText(d.lastParagraph(), u"a\tb\r\nc\vd"); },
       "<w:p><w:r><w:t xml:space=\"preserve\">a</w:t><w:tab/><w:t xml:space=\"preserve\">b</w:t><w:br/>"
       "<w:t xml:space=\"preserve\">c</w:t><w:br/><w:t xml:space=\"preserve\">d</w:t></w:r></w:p>"},
      {"markup escaped, characters XML cannot carry dropped",
       [](Document& d) { d.setText(d.lastParagraph(), u"a&<b>\x01\uFFFE"); }, "<w:p>" + run("a&amp;&lt;b&gt;") + "</w:p>"},
      {"formats in schema order, whatever the order they were set in",
       [](Document& d) {
         auto p = d.lastParagraph();
         d.setText(p, u"x");
         d.setFontSize(p, 10.5);
         d.setAlignment(p, 1);
         d.setBold(p, true);
         d.setFontName(p, u"Arial");
         d.setSpaceAfter(p, 6);
       },
       "<w:p><w:pPr><w:spacing w:after=\"120\"/><w:jc w:val=\"center\"/>" + fmt + "</w:pPr>" + run("x", fmt) + "</w:p>"},
      {"bold turned off", [](Document& d) { d.setBold(d.lastParagraph(), false); },
       "<w:p><w:pPr><w:rPr><w:b w:val=\"0\"/></w:rPr></w:pPr></w:p>"},
      {"lines at the end formatted like the last paragraph, the rest joining it",
       [](Document& d) {
         d.setAlignment(d.lastParagraph(), 2);
         d.insertAtEnd(u"one\r\ntwo");
       },
       "<w:p><w:pPr><w:jc w:val=\"right\"/></w:pPr>" + run("one") + "</w:p><w:p><w:pPr><w:jc w:val=\"right\"/></w:pPr>" +
           run("two") + "</w:p>"},
      {"a paragraph mark after text leaves the mark empty",
       [](Document& d) {
         auto p = d.lastParagraph();
         d.setText(p, u"x");
         d.insertParagraphAfter(p);
       },
       "<w:p>" + run("x") + "</w:p><w:p/>"},
      {"a new paragraph is formatted like the last",
       [](Document& d) {
         d.setAlignment(d.lastParagraph(), 3);
         d.setText(d.appendParagraph(), u"y");
       },
       "<w:p><w:pPr><w:jc w:val=\"both\"/></w:pPr></w:p><w:p><w:pPr><w:jc w:val=\"both\"/></w:pPr>" + run("y") + "</w:p>"},
  };
  for (auto& c : cases) {
    auto d = Document::create();
    c.edit(*d);
    EXPECT_EQ(body(*d), c.body) << c.what;
  }
}

// A table made from paragraphs, and one made at once from pending text (written as text on
// save), are the same table.
TEST(WordDocument, TablesAreWrittenExactlyEitherWay) {
  docx::TableRequest plain, styled;
  styled.format = 22;
  styled.headingRows = styled.shading = styled.borders = true;
  styled.columnWidth = 100;
  docx::TableRequest fitted = styled;
  fitted.autoFit = true;
  fitted.minColumns = 4;
  const std::u16string cells = u"a\x02&b\t<c>\r\nline\vbreak\r\n";  // the control character is dropped
  auto rows = [](int columns, const std::string& rPr) {
    const std::string pPr = rPr.empty() ? "" : "<w:pPr>" + rPr + "</w:pPr>";
    auto cell = [&](const std::string& inner) {
      return pPr.empty() && inner.empty() ? std::string("<w:tc><w:p/></w:tc>") : "<w:tc><w:p>" + pPr + inner + "</w:p></w:tc>";
    };
    std::string empty;
    for (int c = 2; c < columns; ++c) empty += cell("");
    return "<w:tr>" + cell(run("a&amp;b", rPr)) + cell(run("&lt;c&gt;", rPr)) + empty + "</w:tr><w:tr>" +
           cell("<w:r>" + rPr + "<w:t xml:space=\"preserve\">line</w:t><w:br/><w:t xml:space=\"preserve\">break</w:t></w:r>") +
           cell("") + empty + "</w:tr>";
  };
  const struct {
    const char* what;
    docx::TableRequest request;
    bool bold;
    std::string table;
  } cases[] = {
      {"plain grid sharing the text width", plain, false,
       "<w:tblPr><w:tblStyle w:val=\"TalvexPlain-BSFC\"/><w:tblW w:w=\"9026\" w:type=\"dxa\"/><w:tblLayout w:type=\"fixed\"/>"
       "<w:tblLook w:firstRow=\"0\" w:lastRow=\"0\" w:firstColumn=\"0\" w:lastColumn=\"0\" w:noHBand=\"1\" w:noVBand=\"1\"/>"
       "</w:tblPr><w:tblGrid><w:gridCol w:w=\"4513\"/><w:gridCol w:w=\"4513\"/></w:tblGrid>" + rows(2, "")},
      {"a format's parts, a heading row and a column width, bold text", styled, true,
       "<w:tblPr><w:tblStyle w:val=\"TalvexGrid7-FC\"/><w:tblW w:w=\"4000\" w:type=\"dxa\"/><w:tblLayout w:type=\"fixed\"/>"
       "<w:tblLook w:firstRow=\"1\" w:lastRow=\"0\" w:firstColumn=\"0\" w:lastColumn=\"0\" w:noHBand=\"0\" w:noVBand=\"0\"/>"
       "</w:tblPr><w:tblGrid><w:gridCol w:w=\"2000\"/><w:gridCol w:w=\"2000\"/></w:tblGrid>" + rows(2, "<w:rPr><w:b/></w:rPr>")},
      {"fitted to its contents, at least four columns", fitted, false,
       "<w:tblPr><w:tblStyle w:val=\"TalvexGrid7-FC\"/><w:tblW w:w=\"0\" w:type=\"auto\"/>"
       "<w:tblLook w:firstRow=\"1\" w:lastRow=\"0\" w:firstColumn=\"0\" w:lastColumn=\"0\" w:noHBand=\"0\" w:noVBand=\"0\"/>"
       "</w:tblPr><w:tblGrid><w:gridCol w:w=\"2000\"/><w:gridCol w:w=\"2000\"/><w:gridCol w:w=\"2000\"/>"
       "<w:gridCol w:w=\"2000\"/></w:tblGrid>" + rows(4, "")},
  };
  for (auto& c : cases) {
    const std::string expected = "<w:tbl>" + c.table + "</w:tbl><w:p/>";
    int columns = std::max(c.request.minColumns, 2);
    auto paras = Document::create();
    auto lines = paras->insertAtEnd(cells);
    if (c.bold)
      for (auto& p : lines) paras->setBold(p, true);
    EXPECT_EQ(paras->convertToTable(lines, c.request), (std::pair{2, columns}));
    EXPECT_EQ(body(*paras), expected) << c.what << ", from paragraphs";

    auto pending = Document::create();
    auto block = pending->appendText(cells);
    ASSERT_TRUE(block);
    if (c.bold) pending->setBold(pending->formatOf(block), true);
    EXPECT_EQ(pending->convertToTable(block, c.request), (std::pair{2, columns}));
    EXPECT_EQ(body(*pending), expected) << c.what << ", from pending text";
    EXPECT_EQ(body(*pending), expected) << c.what << ", saved again";
    EXPECT_EQ(pending->tableCount(), 1);
  }
}

// The table style is added once to the styles part, under the id the table names.
TEST(WordDocument, TableStylesAreAddedOnceUnderTheirIds) {
  EXPECT_EQ(docx::tableStyleId(16, {}), "TalvexGrid1");
  EXPECT_EQ(docx::tableStyleId(22, {true, false, true, false}), "TalvexGrid7-SC");
  auto d = Document::create();
  for (int i = 0; i < 2; ++i) d->convertToTable(d->insertAtEnd(u"x\r\n"), docx::TableRequest{.format = 16, .borders = true});
  std::string styles = saved(*d, "word/styles.xml");
  size_t at = styles.find("w:styleId=\"TalvexGrid1-SFC\"");
  ASSERT_NE(at, std::string::npos) << styles;
  EXPECT_EQ(styles.find("w:styleId=\"TalvexGrid1-SFC\"", at + 1), std::string::npos);
  EXPECT_NE(styles.find("<w:name w:val=\"Talvex Grid 1-SFC\""), std::string::npos);
}

// Text put at the end waits as one block; anything that walks the body lays it out first.
TEST(WordDocument, APendingBlockIsLaidOutWhenTheBodyIsWalked) {
  auto d = Document::create();
  EXPECT_FALSE(d->appendText(u"no line end"));
  auto block = d->appendText(u"one\r\ntwo\r");
  ASSERT_TRUE(block);
  d->setFontSize(d->formatOf(block), 20);
  auto paras = d->paragraphs();
  ASSERT_EQ(paras.size(), 3u);
  EXPECT_EQ(d->text(paras[1]), u"two");
  EXPECT_EQ(d->charFormat(paras[1]).size, 20);
  EXPECT_EQ(d->charFormat(paras[2]).size, 12);  // the last paragraph kept its own format
  // Converting it now takes the paragraph way, and the rows leave the body.
  EXPECT_EQ(d->convertToTable(block, {}), (std::pair{2, 1}));
  EXPECT_EQ(d->paragraphs().size(), 1u);
  // A last paragraph holding text is joined at once, as typing there would.
  d->setText(d->lastParagraph(), u"start ");
  EXPECT_FALSE(d->appendText(u"end\r\n"));
}

// What the model writes reads back the same (python-docx reads it in the export tests).
TEST(WordDocument, SavedDocumentsReadBack) {
  auto d = Document::create();
  d->setOrientation(1);
  auto p = d->lastParagraph();
  d->setText(p, u"Title\tend");
  d->setAlignment(p, 1);
  d->setSpaceAfter(p, 6);
  d->setBold(p, true);
  d->setFontName(p, u"Arial");
  d->setFontSize(p, 14);
  d->setText(d->appendParagraph(), u"next");
  std::string file = testing::TempDir() + "/back.docx";
  d->save(file);
  EXPECT_FALSE(d->changed());

  auto back = Document::load(tlx::platform::opc::Package::open(file));
  auto paras = back->paragraphs();
  ASSERT_EQ(paras.size(), 2u);
  EXPECT_EQ(back->orientation(), 1);
  EXPECT_EQ(back->text(paras[0]), u"Title\tend");
  EXPECT_EQ(back->alignment(paras[0]), 1);
  EXPECT_EQ(back->spaceAfter(paras[0]), 6);
  auto f = back->charFormat(paras[1]);  // the paragraph made after it took its format
  EXPECT_EQ(std::tuple(f.bold, f.name, f.size), std::tuple(true, std::u16string(u"Arial"), 14.0));
}

// Some libraries write the main part with the main namespace as the default one. A default
// namespace does not reach attributes, so what the model adds carries them under a prefix.
TEST(WordDocument, DefaultNamespacePartsGetPrefixedAttributes) {
  const std::string main = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
  const struct {
    std::string declared;  // on the parts' roots besides the default namespace
    std::string x;         // the prefix attributes get
    bool pending;          // the table made from pending text rather than paragraphs
  } cases[] = {{"", "w", false}, {"", "w", true}, {" xmlns:x=\"" + main + "\"", "x", false}};
  for (auto& c : cases) {
    std::string file = testing::TempDir() + "/default.docx";
    Document::create()->save(file);
    auto package = tlx::platform::opc::Package::open(file);
    package.write("word/document.xml", "<document xmlns=\"" + main + "\"" + c.declared +
                                           "><body><p><r><t>Title</t></r></p><p/></body></document>");
    package.write("word/styles.xml", "<styles xmlns=\"" + main + "\"" + c.declared + "/>");
    auto d = Document::load(std::move(package));
    d->setAlignment(d->paragraphs()[0], 1);
    const docx::TableRequest grid{.format = 16, .borders = true};
    if (c.pending) d->convertToTable(d->appendText(u"a\tb\r\n"), grid);
    else d->convertToTable(d->insertAtEnd(u"a\tb\r\n"), grid);
    std::string xml = saved(*d, "word/document.xml"), start = body(*d);
    EXPECT_NE(xml.find("<document xmlns=\"" + main + "\" xmlns:" + c.x + "=\"" + main + "\">"), std::string::npos) << xml;
    EXPECT_TRUE(start.starts_with("<p><pPr><jc " + c.x + ":val=\"center\"/></pPr><r><t>Title</t></r></p><tbl><tblPr>"
                                  "<tblStyle " + c.x + ":val=\"TalvexGrid1-SFC\"/>"))
        << start;

    d->save(file);
    std::string seen = tlxtest::shell(
        "/usr/bin/python3 -c 'import docx, sys; d = docx.Document(sys.argv[1]); t = d.tables[0]; "
        "print(int(d.paragraphs[0].alignment), t.style.name, [[c.text for c in r.cells] for r in t.rows])' " + file);
    EXPECT_EQ(seen, "1 Talvex Grid 1-SFC [['a', 'b']]\n") << c.x << c.pending;
  }
}

TEST(WordDocument, RefusesWhatItCannotDo) {
  auto d = Document::create();
  auto p = d->lastParagraph();
  auto rows = d->insertAtEnd(u"a\tb\r\n");
  d->convertToTable(rows, {});
  const struct {
    const char* what;
    std::function<void()> call;
  } refused[] = {
      {"a paragraph that became a table", [&] { d->text(rows[0]); }},
      {"formatting it", [&] { d->setBold(rows[0], true); }},
      {"converting it again", [&] { d->convertToTable(rows, {}); }},
      {"no rows", [&] { d->convertToTable(std::vector<docx::Para>{}, {}); }},
      {"table format 43", [&] { d->convertToTable({p}, docx::TableRequest{.format = 43}); }},
      {"alignment 5", [&] { d->setAlignment(p, 5); }},
      {"space after 1585 pt", [&] { d->setSpaceAfter(p, 1585); }},
      {"font size 0.5", [&] { d->setFontSize(p, 0.5); }},
      {"a font without a name", [&] { d->setFontName(p, u"\x01"); }},
  };
  for (auto& c : refused) EXPECT_THROW(c.call(), tlx::ComError) << c.what;
  EXPECT_EQ(d->tableCount(), 1);

  EXPECT_THROW(docx::readDocumentBytes("not a zip at all"), tlx::platform::opc::PackageError);
  tlx::platform::opc::Package noDocument;
  noDocument.write("hello.txt", "hi");
  EXPECT_THROW(Document::load(std::move(noDocument)), tlx::platform::opc::PackageError);
}

}  // namespace
