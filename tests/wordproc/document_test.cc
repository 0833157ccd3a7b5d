// The document model on its own: outside bytes that are not a document, paragraphs held after
// they left the body, table text that waits as a block, and parts streamed into the package.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "talvex/com_error.h"
#include "platform/opc/xml_parts.h"
#include "platform/wordproc/document.h"

namespace {

using tlx::docx::Document;

TEST(WordDocument, BytesThatAreNoDocumentAreRefused) {
  EXPECT_THROW(tlx::docx::readDocumentBytes("not a zip at all"), tlx::opc::PackageError);
  EXPECT_THROW(tlx::docx::readDocumentBytes(""), tlx::opc::PackageError);
  // A sound package without a main document part.
  tlx::opc::Package p;
  p.write("hello.txt", "hi");
  std::string file = testing::TempDir() + "/nodoc.zip";
  p.save(file);
  EXPECT_THROW(Document::load(tlx::opc::Package::open(file)), tlx::opc::PackageError);
}

// The zip shapes other writers produce open and take a paragraph; damage and zip bombs are refused.
TEST(WordDocument, ZipShapesOfOtherWritersOpenAndDamagedOrBombedOnesAreRefused) {
  std::string dir = testing::TempDir(), base = dir + "/shapes-base.docx";
  ASSERT_EQ(std::system(("/usr/bin/python3 -c 'import docx; d = docx.Document(); d.add_paragraph(\"first\"); d.save(\"" + base + "\")'").c_str()), 0);
  const std::map<std::string, bool> opens = {
      {"descriptor-with-sizes", true}, {"trailing-bytes", true}, {"times-differ", true}, {"bad-crc", false},
      {"size-too-large", false},       {"size-too-small", false}, {"overlapping", false}, {"dotdot-name", false},
      {"absolute-name", false},        {"bomb", false},           {"bomb-understated", false}};
  for (auto& [shape, sound] : opens) {
    std::string file = dir + "/" + shape + ".docx", saved = dir + "/" + shape + "-saved.docx";
    ASSERT_EQ(std::system(("/usr/bin/python3 " + std::string(TALVEX_SOURCE_DIR) + "/tests/support/zip_shapes.py " + base + " " + file +
                           " " + shape + " document.xml").c_str()), 0);
    try {
      auto d = Document::load(tlx::opc::Package::open(file));
      d->setText(d->appendParagraph(), u"second");
      d->save(saved);
      EXPECT_TRUE(sound) << shape << " was read";
      std::string probe = "import docx; print([p.text for p in docx.Document(\"" + saved + "\").paragraphs])";
      std::unique_ptr<FILE, int (*)(FILE*)> py(popen(("/usr/bin/python3 -c '" + probe + "'").c_str(), "r"), pclose);
      char line[256] = {};
      ASSERT_TRUE(fgets(line, sizeof line, py.get()));
      EXPECT_EQ(std::string(line), "['first', 'second']\n") << shape;
    } catch (const tlx::opc::PackageError& e) {
      EXPECT_FALSE(sound) << shape << ": " << e.what();
    }
  }
}

TEST(WordDocument, SavedDocumentReadsBack) {
  auto d = Document::create();
  auto p = d->appendParagraph();
  d->setText(p, u"a\tb");
  d->setAlignment(p, 2);
  std::string file = testing::TempDir() + "/model.docx";
  d->save(file);
  auto back = Document::load(tlx::opc::Package::open(file));
  auto paras = back->paragraphs();
  ASSERT_EQ(paras.size(), 2u);
  EXPECT_EQ(back->text(paras[1]), u"a\tb");
  EXPECT_EQ(back->alignment(paras[1]), 2);
}

TEST(WordDocument, ParagraphsTurnedIntoATableFailWhenUsedAgain) {
  auto d = Document::create();
  auto rows = d->insertAtEnd(u"a\tb\r\nc\td\r\n");
  ASSERT_EQ(rows.size(), 2u);
  auto [r, c] = d->convertToTable(rows, {});
  EXPECT_EQ(r, 2);
  EXPECT_EQ(c, 2);
  EXPECT_THROW(d->text(rows[0]), tlx::ComError);
  EXPECT_THROW(d->setBold(rows[1], true), tlx::ComError);
  EXPECT_THROW(d->convertToTable(rows, {}), tlx::ComError);
  EXPECT_EQ(d->tableCount(), 1);
  tlx::docx::TableRequest bad;
  bad.format = 43;
  EXPECT_THROW(d->convertToTable(d->insertAtEnd(u"x\r\n"), bad), tlx::ComError);
}

}  // namespace

namespace {

// The table elements of a saved document's main part, each as pugixml writes it after reading.
std::vector<std::string> savedTables(Document& d, const std::string& name) {
  std::string file = testing::TempDir() + "/" + name;
  d.save(file);
  auto xml = tlx::opc::parseXml(tlx::opc::Package::open(file).read("word/document.xml"), "word/document.xml");
  std::vector<std::string> out;
  for (auto t : xml.select_nodes("//w:tbl")) {
    std::ostringstream s;
    t.node().print(s, "", pugi::format_raw);
    out.push_back(s.str());
  }
  return out;
}

const std::u16string kCells = u"a&b\t<c>\r\nline\vbreak\r\n\tlast\t\r\n";

}  // namespace

// The text of a table converted at once waits as text and is written on save; it must give the
// very table that laying it out as paragraphs first gives.
TEST(WordDocument, ATableFromPendingTextIsTheTableOfItsParagraphs) {
  tlx::docx::TableRequest request;
  request.format = 22;
  request.headingRows = true;
  auto pending = Document::create();
  auto block = pending->appendText(kCells);
  ASSERT_TRUE(block);
  pending->setBold(pending->formatOf(block), true);
  pending->setFontName(pending->formatOf(block), u"Arial");
  EXPECT_EQ(pending->convertToTable(block, request), (std::pair<int, int>{3, 3}));
  EXPECT_EQ(pending->tableCount(), 1);

  auto laidOut = Document::create();
  auto paras = laidOut->insertAtEnd(kCells);
  for (auto& p : paras) {
    laidOut->setBold(p, true);
    laidOut->setFontName(p, u"Arial");
  }
  EXPECT_EQ(laidOut->convertToTable(paras, request), (std::pair<int, int>{3, 3}));

  auto a = savedTables(*pending, "pending.docx"), b = savedTables(*laidOut, "laidout.docx");
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a, b);
  EXPECT_NE(a[0].find("a&amp;b"), std::string::npos);
  EXPECT_NE(a[0].find("&lt;c&gt;"), std::string::npos);
  // Saving again writes the same table.
  EXPECT_EQ(savedTables(*pending, "again.docx"), a);
}

// Anything that walks the body lays a pending block out first, with the format it was given.
TEST(WordDocument, APendingBlockIsLaidOutWhenTheBodyIsWalked) {
  auto d = Document::create();
  EXPECT_FALSE(d->appendText(u"no line end"));
  auto block = d->appendText(u"one\r\ntwo\r");
  ASSERT_TRUE(block);
  d->setFontSize(d->formatOf(block), 20);
  auto paras = d->paragraphs();
  ASSERT_EQ(paras.size(), 3u);
  EXPECT_EQ(d->text(paras[0]), u"one");
  EXPECT_EQ(d->text(paras[1]), u"two");
  EXPECT_EQ(d->charFormat(paras[1]).size, 20);
  EXPECT_EQ(d->charFormat(paras[2]).size, 12);  // the last paragraph kept its own format
  // Converting it now takes the paragraph way, and the rows leave the body.
  EXPECT_EQ(d->convertToTable(block, {}), (std::pair<int, int>{2, 1}));
  EXPECT_EQ(d->paragraphs().size(), 1u);
  EXPECT_THROW(d->text(paras[0]), tlx::ComError);
  // A last paragraph holding text is joined at once, as typing there would.
  auto last = d->lastParagraph();
  d->setText(last, u"start ");
  EXPECT_FALSE(d->appendText(u"end\r\n"));
}

// A part made a piece at a time reads back whole, saves like any part, and a writer that fails
// fails the save without touching the file already there.
TEST(StreamedPart, ReadsSavesAndFailsCleanly) {
  tlx::opc::Package p;
  p.write("a.txt", "plain");
  auto counting = [] {
    return [n = 0](std::string& out) mutable {
      out += std::to_string(n) + ";";
      return ++n < 1000;
    };
  };
  p.writeStreamed("big.txt", counting);
  std::string whole = p.read("big.txt");
  EXPECT_EQ(whole.substr(0, 6), "0;1;2;");
  EXPECT_EQ(whole.substr(whole.size() - 4), "999;");
  std::string file = testing::TempDir() + "/streamed.zip";
  p.save(file);
  EXPECT_EQ(tlx::opc::Package::open(file).read("big.txt"), whole);

  p.writeStreamed("big.txt", [] {
    return [](std::string& out) -> bool {
      out += "half";
      throw std::runtime_error("the writer gave up");
    };
  });
  try {
    p.save(file);
    ADD_FAILURE() << "the save should fail";
  } catch (const tlx::opc::PackageError& e) {
    EXPECT_NE(std::string(e.what()).find("the writer gave up"), std::string::npos) << e.what();
  }
  EXPECT_EQ(tlx::opc::Package::open(file).read("big.txt"), whole);
  EXPECT_FALSE(std::filesystem::exists(file + ".talvex-tmp"));
}
