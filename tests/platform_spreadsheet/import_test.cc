// Workbooks of other kinds: LibreOffice's .xlsx, .xls, .ods and .csv of an openpyxl workbook and
// a Strict copy of it read cell for cell as openpyxl reads the source; the text and OpenDocument
// rules on small inputs; and how such a workbook may be saved.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <tuple>

#include <nlohmann/json.hpp>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "platform/app/recovery.h"
#include "platform/spreadsheet/cell_ref.h"
#include "platform/spreadsheet/cell_values.h"
#include "platform/spreadsheet/import.h"
#include "platform/spreadsheet/spreadsheet_application.h"
#include "support/scratch.h"

namespace tlx {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using platform::spreadsheet::Workbook;

using tlxtest::readFile;

json helper(const std::string& args) { return json::parse(tlxtest::python("tests/platform_spreadsheet/formats.py", args)); }

// A cell as the helper writes what openpyxl reads.
json fact(const Variant& v) {
  switch (v.type()) {
    case vtR8: return {"number", v.r8()};
    case vtString: return {"text", u8(v.str().view())};
    case vtBoolean: return {"bool", v.boolean()};
    case vtError: return {"error", std::string(platform::spreadsheet::errorText(v.scode()))};
    case vtDate: {
      CivilTime t = splitDate(v.date());
      char iso[32];
      std::snprintf(iso, sizeof iso, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
      return {"date", iso};
    }
    default: return {"other", int(v.type())};
  }
}

json cellsOf(platform::spreadsheet::Sheet& sheet) {
  json out = json::object();
  for (auto& [r, row] : sheet.rows())
    for (const platform::spreadsheet::Cell& c : row.cells)
      if (!c.value.isEmpty()) out[platform::spreadsheet::cellName(r, c.col)] = fact(sheet.value(r, c.col));
  return out;
}

// [[name, cells], ...] as the helper's "cells" prints them.
json sheetsOf(Workbook& book) {
  json out = json::array();
  for (auto& s : book.sheets()) out.push_back({s->name, cellsOf(*s)});
  return out;
}

// The source, its conversions and what openpyxl reads from it, made once for the whole suite
// (LibreOffice takes a while to start).
class OtherKinds : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = tlxtest::makeTempDir("talvex-kinds");
    expected = helper("make-all " + dir.string());
  }
  static void TearDownTestSuite() { fs::remove_all(dir); }
  static fs::path dir;
  static json expected;
};
fs::path OtherKinds::dir;
json OtherKinds::expected;

TEST_F(OtherKinds, ReadCellForCellAsOpenpyxlReadsTheSourceWhateverTheName) {
  using platform::spreadsheet::SourceFormat;
  std::vector<std::tuple<std::string, std::string, SourceFormat>> cases{{"strict.xlsx", "source", SourceFormat::Xlsx}};
  for (auto [kind, format] : {std::pair{"xlsx", SourceFormat::Xlsx}, std::pair{"xls", SourceFormat::Xls},
                              std::pair{"ods", SourceFormat::Ods}, std::pair{"csv", SourceFormat::Text}})
    for (std::string source : {"source", "source1904"}) cases.push_back({std::string(kind) + "/" + source + "." + kind, source, format});
  for (auto& [file, source, format] : cases) {
    SCOPED_TRACE(file);
    // The kind comes from the content: every file is opened under a name that says nothing.
    fs::path misnamed = dir / (fs::path(file).stem().string() + ".dat");
    fs::copy_file(dir / file, misnamed, fs::copy_options::overwrite_existing);
    platform::spreadsheet::OpenedWorkbook opened = platform::spreadsheet::openWorkbookFile(misnamed.string(), u"");
    EXPECT_EQ(opened.format, format);
    EXPECT_FALSE(opened.book->changed());
    json got = sheetsOf(*opened.book), want = expected[source];
    if (format == SourceFormat::Text) {
      // Text holds the first sheet only, named after the file.
      ASSERT_EQ(got.size(), 1u);
      EXPECT_EQ(got[0][0], fs::path(file).stem().string());
      EXPECT_EQ(got[0][1], want[0][1]);
    } else {
      EXPECT_EQ(got, want);
    }
  }
}

TEST_F(OtherKinds, SaveOnlyAsXlsxUnderAnotherNameAndStrictSavesTransitional) {
  registerSpreadsheetApplication();
  ObjRef xl = createObject("Excel.Application");
  ObjRef books = objectOf(getProperty(xl, "Workbooks"));
  fs::path recovery = dir / "recovered";
  for (const char* file : {"xls/source.xls", "ods/source.ods", "csv/source.csv"}) {
    SCOPED_TRACE(file);
    ObjRef wb = objectOf(callMethod(books, "Open", {Variant(u16((dir / file).string()))}));
    EXPECT_TRUE(getProperty(wb, "Saved").boolean());
    ObjRef a1 = objectOf(getProperty(objectOf(getProperty(wb, "Worksheets", {Variant(int16_t(1))})), "Range",
                                     {Variant(u"A1")}));
    putProperty(a1, "Value", Variant(u"changed"));
    std::string before = readFile(dir / file);
    for (const char* how : {"Save", "SaveAs"}) {
      try {
        if (std::string(how) == "Save") callMethod(wb, how);
        else callMethod(wb, how, {Variant(u16((dir / file).string()))});
        ADD_FAILURE() << how << " wrote over the source";
      } catch (const ComError& e) {
        EXPECT_NE(std::string(e.what()).find("save it as an XLSX workbook with SaveAs"), std::string::npos) << e.what();
      }
    }
    EXPECT_EQ(readFile(dir / file), before);
  }
  // Left unsaved at exit, each goes to the recovery folder as XLSX.
  std::ostringstream log;
  EXPECT_EQ(platform::app::recoverUnsaved(recovery.string(), log), 3) << log.str();
  callMethod(xl, "Quit");
  json recovered = helper("cells " + (recovery / "source.xlsx").string());
  EXPECT_EQ(recovered[0][1]["A1"], json({"text", "changed"}));

  // Strict opens, saves in place, and comes back Transitional: openpyxl reads every cell.
  xl = createObject("Excel.Application");
  books = objectOf(getProperty(xl, "Workbooks"));
  fs::path strict = dir / "strict-saved.xlsx";
  fs::copy_file(dir / "strict.xlsx", strict, fs::copy_options::overwrite_existing);
  callMethod(objectOf(callMethod(books, "Open", {Variant(u16(strict.string()))})), "Save");
  callMethod(xl, "Quit");
  EXPECT_EQ(readFile(strict).find("purl.oclc.org"), std::string::npos);
  EXPECT_EQ(helper("cells " + strict.string()), expected["source"]);
}

json textCells(std::string_view text) {
  auto book = platform::spreadsheet::readCsv(text, "t");
  return cellsOf(*book->sheets().at(0));
}

TEST(TextWorkbook, FieldsFollowTheCommaSeparatedRulesAndTypeAsEntered) {
  struct Case {
    std::string text;
    const char* cells;
  };
  const Case cases[] = {
      {"a,b\r\nc,d", R"({"A1":["text","a"],"B1":["text","b"],"A2":["text","c"],"B2":["text","d"]})"},
      {"\"x, y\",\"say \"\"hi\"\"\"\r\n\"two\nlines\",z\n",
       R"({"A1":["text","x, y"],"B1":["text","say \"hi\""],"A2":["text","two\nlines"],"B2":["text","z"]})"},
      {",,x\r\rlast", R"({"C1":["text","x"],"A3":["text","last"]})"},
      {"1.5,-2,50%,1e3,007, 8 ,1.2.3",
       R"({"A1":["number",1.5],"B1":["number",-2.0],"C1":["number",0.5],"D1":["number",1000.0],"E1":["number",7.0],)"
       R"("F1":["number",8.0],"G1":["text","1.2.3"]})"},
      {"TRUE,false,#N/A,2024-01-15,1/31/2024 13:05,  padded  ,=SUM(A1)",
       R"({"A1":["bool",true],"B1":["bool",false],"C1":["error","#N/A"],"D1":["date","2024-01-15T00:00:00"],)"
       R"j("E1":["date","2024-01-31T13:05:00"],"F1":["text","  padded  "],"G1":["text","=SUM(A1)"]})j"},
      {"a\tb c\t\"d,e\"", R"({"A1":["text","a"],"B1":["text","b c"],"C1":["text","d,e"]})"},
      {"\xEF\xBB\xBFx,\xC3\xA9", R"({"A1":["text","x"],"B1":["text","é"]})"},
      {"caf\xE9 \x80", R"({"A1":["text","café €"]})"},
      {std::string("\xFF\xFEz\0,\0\xAC\x20", 8), R"({"A1":["text","z"],"B1":["text","€"]})"},
  };
  for (const Case& c : cases) EXPECT_EQ(textCells(c.text), json::parse(c.cells)) << c.text;
  EXPECT_THROW(platform::spreadsheet::readCsv(std::string("\x89PNG\r\n\x1a\n\0\0", 10), "t"), platform::opc::PackageError);
  EXPECT_THROW(platform::spreadsheet::readCsv(std::string(16385, ','), "t"), platform::opc::PackageError);
}

std::string content(const std::string& rows) {
  return R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
         R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" )"
         R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" )"
         R"(xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0">)"
         R"(<office:body><office:spreadsheet><table:table table:name="T">)" +
         rows + "</table:table></office:spreadsheet></office:body></office:document-content>";
}

std::unique_ptr<Workbook> odsOf(const std::string& rows) {
  platform::opc::Package p;
  p.write("content.xml", content(rows));
  return platform::spreadsheet::readOds(p);
}

TEST(OpenDocumentWorkbook, RepeatsCoveredCellsAndTypesAreLaidOutWithinBounds) {
  auto book = odsOf(
      R"(<table:table-row-group><table:table-row table:number-rows-repeated="2">)"
      R"(<table:table-cell table:number-columns-repeated="2" office:value-type="float" office:value="3"/>)"
      R"(<table:covered-table-cell/><table:table-cell office:value-type="percentage" office:value="0.25"/>)"
      R"(</table:table-row></table:table-row-group><table:table-row>)"
      R"(<table:table-cell office:value-type="string"><text:p>a<text:s text:c="2"/><text:span>b</text:span></text:p>)"
      R"(<text:p>c<text:tab/>d</text:p><office:annotation><text:p>note</text:p></office:annotation></table:table-cell>)"
      R"(<table:table-cell office:value-type="time" office:time-value="PT36H00M00S"/>)"  // serial 1.5
      R"(<table:table-cell office:value-type="boolean" office:boolean-value="true"/>)"
      R"(<table:table-cell office:value-type="date" office:date-value="2024-02-29T06:00:00"/>)"
      R"(<table:table-cell table:formula="of:=#N/A" office:value-type="string" office:string-value="" calcext:value-type="error"><text:p>#N/A</text:p></table:table-cell>)"
      R"(<table:table-cell table:number-columns-repeated="16379"/></table:table-row>)"
      R"(<table:table-row table:number-rows-repeated="1048573"><table:table-cell table:number-columns-repeated="16384"/></table:table-row>)");
  EXPECT_EQ(cellsOf(*book->sheets().at(0)),
            json::parse(R"({"A1":["number",3.0],"B1":["number",3.0],"D1":["number",0.25],)"
                        R"("A2":["number",3.0],"B2":["number",3.0],"D2":["number",0.25],"A3":["text","a  b\nc\td"],)"
                        R"("B3":["date","1900-01-01T12:00:00"],"C3":["bool",true],"D3":["date","2024-02-29T06:00:00"],)"
                        R"("E3":["error","#N/A"]})"));

  for (const char* bad : {
           // 16,384 values copied down 100 rows: refused, not laid out
           R"(<table:table-row table:number-rows-repeated="100"><table:table-cell table:number-columns-repeated="16384" office:value-type="float" office:value="1"/></table:table-row>)",
           R"(<table:table-row><table:table-cell table:number-columns-repeated="16385" office:value-type="float" office:value="1"/></table:table-row>)",
           R"(<table:table-row table:number-rows-repeated="1048577"><table:table-cell office:value-type="float" office:value="1"/></table:table-row>)",
           R"(<table:table-row><table:table-cell office:value-type="float" office:value="one"/></table:table-row>)",
           R"(<table:table-row><table:table-cell office:value-type="date" office:date-value="2024-02-30"/></table:table-row>)",
           R"(<table:table-row><table:table-cell office:value-type="time" office:time-value="13:05"/></table:table-row>)",
           R"(<table:table-row>)"})
    EXPECT_THROW(odsOf(bad), platform::opc::PackageError) << bad;
}

}  // namespace
}  // namespace tlx
