// What the worksheet and DXF methods make of damaged or unusual input, through the real host: a
// damaged sheet fails the method where the worksheet is selected and leaves the file as it was,
// values left empty read as empty, and DXFToExcel reads only regular files, at any section count.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "support/talvex_session.h"

namespace tlxtest {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

struct Scratch : ScratchDir {
  Scratch() : ScratchDir("talvex-faults") {}
  std::string at(const std::string& name) const { return file(name); }
  SessionOptions host() const { return SessionOptions{{{"TALVEX_RECOVERY_DIR", at("recovered")}}}; }
};

// A workbook whose one sheet holds `rows` (see tests/support/workbook_variants.py).
void sheetWorkbook(const std::string& path, const std::string& rows) {
  writeFile(path + ".rows", rows);
  python("tests/support/workbook_variants.py", "sheet " + shellQuote(path) + " < " + shellQuote(path + ".rows"));
}

json call(const std::string& method, json args) { return json{{"call", method}, {"args", std::move(args)}}; }

TEST(ExcelFaults, DamagedSheetsFailAtTheWorksheetAndEmptyValuesReadAsEmpty) {
  Scratch s;
  const std::map<std::string, std::string> damaged = {
      {"not-well-formed", R"(<row r="1"><c r="A1"><v>1</v></row>)"},
      {"past-last-column", R"(<row r="1"><c r="XFE1"><v>1</v></c></row>)"},
      {"past-last-row", R"(<row r="1048577"><c r="A1048577"><v>1</v></c></row>)"},
      {"not-a-number", R"(<row r="1"><c r="A1"><v>NaN</v></c></row>)"},
      {"string-past-table", R"(<row r="1"><c r="A1" t="s"><v>7</v></c></row>)"},
      {"sizes-lie", R"(<row r="1"><c r="A1"><v>1</v></c></row>)"}};
  json a = json::parse(R"({"let": "a", "value": {"array2d": [["x"]]}})");
  std::vector<json> input{a};
  for (auto& [name, rows] : damaged) {
    std::string file = s.at(name + ".xlsx");
    sheetWorkbook(file, rows);
    if (name == "sizes-lie")
      python("tests/support/zip_shapes.py", file + " " + file + " size-too-large sheet1.xml");
    input.push_back(json{{"let", "r"}, {"value", {{"array", json::array()}}}});
    input.push_back(call("ExcelToTwoDArray", {file, 1, 1, 1, 1, 2, {{"var", "r"}}}));
    input.push_back(call("ExcelToOneDArray", {file, 1, 1, 1, 1, 2, {{"var", "r"}}}));
    input.push_back(call("TwoDArrayToExcel", {{{"var", "a"}}, file, 1, 3, 1}));
  }
  std::string empty = s.at("empty-values.xlsx");
  sheetWorkbook(empty, R"(<row r="1"><c r="A1" t="s"><v/></c><c r="B1"><v/></c><c r="C1"><v>3</v></c></row>)");
  std::string before = readFile(empty);
  input.push_back(call("ExcelToTwoDArray", {empty, 1, 1, 1, 1, 3, {{"var", "r"}}, true}));
  input.push_back(call("TwoDArrayToExcel", {{{"var", "a"}}, empty, 1, 1, 4}));
  auto answers = runSession(input, s.host());
  ASSERT_EQ(answers.size(), input.size());
  size_t i = 1;
  for (auto& [name, rows] : damaged) {
    std::string bytes = readFile(s.at(name + ".xlsx"));
    EXPECT_EQ(answers[i + 1]["result"], -4) << name << " by ExcelToTwoDArray";
    EXPECT_EQ(answers[i + 2]["result"], -4) << name << " by ExcelToOneDArray";
    EXPECT_EQ(answers[i + 3]["result"], -4) << name << " by TwoDArrayToExcel";
    EXPECT_EQ(readFile(s.at(name + ".xlsx")), bytes) << name;
    i += 4;
  }
  EXPECT_EQ(answers[i]["result"], 1);
  EXPECT_EQ(answers[i]["vars"]["r"], json::parse(R"({"array2d": [[{"empty": true}, {"empty": true}, {"r8": 3.0}]]})"));
  EXPECT_EQ(answers[i + 1]["result"], 1);
  EXPECT_EQ(readFile(empty), before);  // TwoDArrayToExcel leaves the workbook open, unsaved
}

TEST(ExcelFaults, DxfFromAPipeFailsAtOnceAndThousandsOfSectionsLayOut) {
  Scratch s;
  std::string pipe = s.at("drawing.dxf"), many = s.at("many.dxf"), out = s.at("many.xlsx");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  {
    std::ofstream dxf(many, std::ios::binary);
    for (int i = 1; i <= 3000; ++i) dxf << "0\r\nSECTION\r\n2\r\nS" << i << "\r\n0\r\nENDSEC\r\n";
    dxf << "0\r\nEOF\r\n";
  }
  auto answers = runSession(std::vector<json>{
      call("DXFToExcel", {pipe}),
      call("DXFToExcel", {many}),
      json{{"getobject", "Excel.Application"}, {"as", "xl"}},
      json{{"on", "xl"}, {"get", "ActiveWorkbook"}, {"as", "$wb"}},
      json{{"on", "$wb"}, {"call", "SaveAs"}, {"args", {out}}}}, s.host());
  ASSERT_EQ(answers.size(), 5u);
  EXPECT_EQ(answers[0]["result"], -1);
  EXPECT_EQ(answers[1]["result"], 1);
  std::string check = "import openpyxl; n = openpyxl.load_workbook(\"" + out + "\", read_only=True).sheetnames; print(len(n), n[0], n[2999])";
  EXPECT_EQ(shell("/usr/bin/python3 -c '" + check + "'"), "3003 S1 S3000\n");
}

}  // namespace
}  // namespace tlxtest
