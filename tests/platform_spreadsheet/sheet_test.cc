// The workbook model on its own: the exact parts it writes for a new workbook and for an
// outside sheet rewritten, whatever prefix its writer chose, and the parts it leaves alone.
#include <gtest/gtest.h>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "platform/spreadsheet/workbook.h"

namespace tlx::platform::spreadsheet {
namespace {

const std::string kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

std::unique_ptr<Workbook> saveAndOpen(Workbook& wb, const std::string& name) {
  const std::string file = testing::TempDir() + "/" + name;
  wb.save(file);
  return Workbook::load(opc::Package::open(file));
}

TEST(Workbook, ANewWorkbookIsWrittenExactly) {
  auto wb = Workbook::create(1);
  Sheet& s = *wb->sheets()[0];
  const Variant values[2][5] = {
      {Variant(u"a & <b>\"\r\x01_x0041_"), Variant(int16_t(7)), Variant(1e20), Variant(0.1), Variant(true)},
      {Variant(ErrorValue{hr::basicError(2042)}), Variant(Date{makeDate(2024, 2, 29)}), Variant(Date{makeDate(2024, 2, 29, 12, 0)}),
       Variant::null(), Variant(-100000.0)}};
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 5; ++c) s.setValue(r + 1, c + 1, values[r][c]);
  s.setValue(kMaxRows, kMaxCols, Variant(100000.0));  // whole numbers in full, not "1e+05"
  s.setColumnWidth(3, 25.5);
  auto back = saveAndOpen(*wb, "new.xlsx");
  opc::Package& p = back->package();
  EXPECT_EQ(p.read("xl/worksheets/sheet1.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"" + kMain +
                "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><dimension ref=\"A1:XFD1048576\"/>"
                "<sheetViews><sheetView workbookViewId=\"0\"/></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>"
                "<cols><col min=\"3\" max=\"3\" width=\"25.5\" customWidth=\"1\"/></cols><sheetData>"
                "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t xml:space=\"preserve\">a &amp; &lt;b&gt;&quot;&#13;_x0001__x005F_x0041_</t></is></c>"
                "<c r=\"B1\"><v>7</v></c><c r=\"C1\"><v>1e+20</v></c><c r=\"D1\"><v>0.1</v></c><c r=\"E1\" t=\"b\"><v>1</v></c></row>"
                "<row r=\"2\"><c r=\"A2\" t=\"e\"><v>#N/A</v></c><c r=\"B2\" s=\"1\"><v>45351</v></c><c r=\"C2\" s=\"2\"><v>45351.5</v></c>"
                "<c r=\"E2\"><v>-100000</v></c></row><row r=\"1048576\"><c r=\"XFD1048576\"><v>100000</v></c></row></sheetData>"
                "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/></worksheet>");
  EXPECT_EQ(p.read("xl/styles.xml"),
            "<?xml version=\"1.0\"?><styleSheet xmlns=\"" + kMain + "\"><fonts count=\"1\"><font><sz val=\"11\"/>"
            "<name val=\"Calibri\"/><family val=\"2\"/></font></fonts><fills count=\"2\"><fill><patternFill patternType=\"none\"/>"
            "</fill><fill><patternFill patternType=\"gray125\"/></fill></fills><borders count=\"1\"><border><left/><right/><top/>"
            "<bottom/><diagonal/></border></borders><cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
            "borderId=\"0\"/></cellStyleXfs><cellXfs count=\"3\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" "
            "xfId=\"0\"/><xf numFmtId=\"14\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>"
            "<xf numFmtId=\"22\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/></cellXfs>"
            "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles></styleSheet>");
  EXPECT_EQ(p.read("xl/workbook.xml"),
            "<?xml version=\"1.0\"?><workbook xmlns=\"" + kMain +
                "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><bookViews><workbookView/>"
                "</bookViews><sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
  // What was written reads back as it was set, dates by their style.
  Sheet& b = *back->sheets()[0];
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 5; ++c)
      EXPECT_EQ(b.value(r + 1, c + 1), values[r][c].isNull() ? Variant() : c == 1 && r == 0 ? Variant(7.0) : values[r][c])
          << r + 1 << "," << c + 1;
  EXPECT_EQ(b.text(2, 3), u"2/29/2024 12:00");
  EXPECT_EQ(b.columnWidth(3), 25.5);
  EXPECT_EQ(b.columnWidth(4), kDefaultColumnWidth);
}

// A workbook as another writer makes it: shared strings (one of them rich text), a formula, row
// and column attributes we do not model, and elements after the cell table; `x` its prefix.
opc::Package outsideWorkbook(const std::string& x) {
  const std::string ns = x.empty() ? "xmlns=\"" + kMain + "\"" : "xmlns:" + x.substr(0, x.size() - 1) + "=\"" + kMain + "\"";
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
  opc::Package p;
  p.write("[Content_Types].xml",
          "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
          "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
          "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
          "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
          "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/></Types>");
  p.write("_rels/.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                         "<Relationship Id=\"rId1\" Type=\"" + rel + "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
  p.write("xl/_rels/workbook.xml.rels",
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\"" + rel + "worksheet\" Target=\"worksheets/sheet1.xml\"/>"
          "<Relationship Id=\"rId2\" Type=\"" + rel + "sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>");
  p.write("xl/workbook.xml", "<" + x + "workbook " + ns + " xmlns:r=\"" + rel.substr(0, rel.size() - 1) + "\"><" + x + "sheets><" + x +
                                 "sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/></" + x + "sheets></" + x + "workbook>");
  p.write("xl/sharedStrings.xml", "<" + x + "sst " + ns + "><" + x + "si><" + x + "t>zero</" + x + "t></" + x + "si><" + x + "si><" + x +
                                      "r><" + x + "t>rich </" + x + "t></" + x + "r><" + x + "r><" + x + "rPr><" + x + "b/></" + x +
                                      "rPr><" + x + "t>text_x000D_</" + x + "t></" + x + "r></" + x + "si></" + x + "sst>");
  return p;
}

// The same sheet before and after the edits, in the prefix `x`.
std::string outsideSheet(const std::string& x, bool edited) {
  const std::string ns = x.empty() ? "xmlns=\"" + kMain + "\"" : "xmlns:" + x.substr(0, x.size() - 1) + "=\"" + kMain + "\"";
  auto col = [&](int min, int max, int width) {
    return "<" + x + "col min=\"" + std::to_string(min) + "\" max=\"" + std::to_string(max) + "\" width=\"" + std::to_string(width) +
           "\" customWidth=\"1\" bestFit=\"1\"/>";
  };
  auto cell = [&](const std::string& ref, const std::string& attrs, const std::string& inner) {
    return "<" + x + "c r=\"" + ref + "\"" + attrs + ">" + inner + "</" + x + "c>";
  };
  auto v = [&](const std::string& value) { return "<" + x + "v>" + value + "</" + x + "v>"; };
  const std::string row1 = "<" + x + "row r=\"1\" ht=\"20\" customHeight=\"1\">" + cell("A1", " t=\"s\"", v("1")) +
                           cell("B1", "", "<" + x + "f>1+1</" + x + "f>" + v("2")) + "</" + x + "row>";
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<" + x + "worksheet " + ns + "><" + x + "dimension ref=\"" +
         (edited ? "A1:D3" : "A1:C3") + "\"/><" + x + "sheetViews><" + x + "sheetView tabSelected=\"1\" workbookViewId=\"0\"/></" + x +
         "sheetViews><" + x + "cols>" + (edited ? col(1, 1, 12) + col(2, 2, 30) + col(3, 4, 12) : col(1, 4, 12)) + "</" + x + "cols><" +
         x + "sheetData>" + row1 +
         (edited ? "<" + x + "row r=\"2\">" + cell("D2", " t=\"inlineStr\"", "<" + x + "is><" + x + "t xml:space=\"preserve\">new</" + x +
                                                        "t></" + x + "is>") + "</" + x + "row>"
                 : "") +
         "<" + x + "row r=\"3\">" + cell("C3", edited ? "" : " t=\"s\"", v(edited ? "5" : "0")) + "</" + x + "row></" + x + "sheetData><" +
         x + "mergeCells count=\"1\"><" + x + "mergeCell ref=\"A5:B5\"/></" + x + "mergeCells></" + x + "worksheet>";
}

TEST(Workbook, AnOutsideSheetIsRewrittenExactlyInItsOwnPrefix) {
  for (std::string x : {"", "x:"}) {
    opc::Package p = outsideWorkbook(x);
    p.write("xl/worksheets/sheet1.xml", outsideSheet(x, false));
    const std::string file = testing::TempDir() + "/outside.xlsx";
    p.save(file);
    auto wb = Workbook::load(opc::Package::open(file));
    Sheet& s = *wb->sheetNamed(u"DATA");
    EXPECT_EQ(s.value(1, 1), Variant(u"rich text\r")) << x;
    EXPECT_EQ(s.value(1, 2), Variant(2.0)) << x;
    EXPECT_EQ(s.value(3, 3), Variant(u"zero")) << x;
    s.setValue(2, 4, Variant(u"new"));
    s.setValue(3, 3, Variant(5.0));
    s.setColumnWidth(2, 30);
    EXPECT_EQ(s.columnWidth(4), 12);

    auto back = saveAndOpen(*wb, "outside-saved.xlsx");
    EXPECT_EQ(back->package().read("xl/worksheets/sheet1.xml"), outsideSheet(x, true)) << x;
    for (const char* kept : {"xl/workbook.xml", "xl/sharedStrings.xml", "[Content_Types].xml"})
      EXPECT_EQ(back->package().read(kept), p.read(kept)) << x << kept;
    EXPECT_FALSE(back->package().has("xl/styles.xml")) << x;  // no cell needed a style
    EXPECT_EQ(back->sheets()[0]->value(1, 1), Variant(u"rich text\r")) << x;
  }
}

TEST(Workbook, SheetsAreAddedAndNamedByTheRules) {
  auto wb = Workbook::create(2);
  wb->rename(*wb->sheets()[0], u"Sheet3");
  EXPECT_EQ(wb->addSheet(0).name, "Sheet4");  // "Sheet3" is taken
  EXPECT_EQ(wb->sheets()[1]->name, "Sheet3");
  for (const char16_t* bad : {u"", u"a:b", u"a\\b", u"a/b", u"a?b", u"a*b", u"a[b", u"a]b", u"'quoted'",
                              u"0123456789012345678901234567890x", u"SHEET2"})
    EXPECT_THROW(wb->rename(*wb->sheets()[0], bad), ComError) << u8(bad);
  wb->rename(*wb->sheets()[1], u"SHEET3");  // its own name in another case
  wb->rename(*wb->sheets()[2], u"0123456789012345678901234567890");
  auto back = saveAndOpen(*wb, "sheets.xlsx");
  std::string names;
  for (auto& s : back->sheets()) names += s->name + "=" + s->part + " ";
  EXPECT_EQ(names, "Sheet4=xl/worksheets/sheet3.xml SHEET3=xl/worksheets/sheet1.xml 0123456789012345678901234567890=xl/worksheets/sheet2.xml ");
  EXPECT_THROW(Workbook::load(opc::Package()), opc::PackageError);
}

}  // namespace
}  // namespace tlx::platform::spreadsheet
