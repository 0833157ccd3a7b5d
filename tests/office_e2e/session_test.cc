// The worksheet and DXF methods through the real command-line host, checked by openpyxl.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include <nlohmann/json.hpp>

#include "support/talvex_session.h"

namespace tlxtest {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

const std::string kHelper = std::string(TALVEX_SOURCE_DIR) + "/tests/office_e2e/workbooks.py";

std::string helper(const std::string& args) {
  std::string cmd = "/usr/bin/python3 " + kHelper + " " + args;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe.get())) > 0) out.append(buf, n);
  return out;
}

struct Scratch {
  Scratch() {
    char t[] = "/tmp/talvex-office-XXXXXX";
    dir = mkdtemp(t);
  }
  ~Scratch() { fs::remove_all(dir); }
  std::string at(const char* name) const { return (dir / name).string(); }
  // Unsaved workbooks left at host exit go to the scratch folder, not the working one.
  SessionOptions host() const { return SessionOptions{{{"TALVEX_RECOVERY_DIR", at("recovered")}}}; }
  fs::path dir;
};

json call(const std::string& method, json args) { return json{{"call", method}, {"args", std::move(args)}}; }
json saveActive(const std::string& path) {
  return json{{"on", "$wb"}, {"call", "SaveAs"}, {"args", {path}}};
}

TEST(ExcelSession, ArrayIntoRichWorkbookKeepsEveryOtherPartAndReadsBack) {
  Scratch s;
  std::string rich = s.at("rich.xlsx"), copy = s.at("copy.xlsx");
  helper("make-rich " + rich);
  fs::copy_file(rich, copy);
  json before = json::parse(helper("facts " + rich)), partsBefore = json::parse(helper("parts " + rich));
  auto a = runSession(std::vector<json>{
      json::parse(R"({"let": "a", "value": {"array2d": [["n", 1], ["m", 2]]}})"),
      call("TwoDArrayToExcel", {{{"var", "a"}}, copy, "OTHER", 3, 1}),
      json{{"let", "bad"}, {"value", 5}},
      call("TwoDArrayToExcel", {{{"var", "bad"}}, copy, 1, 1, 1}),
      json{{"getobject", "Excel.Application"}, {"as", "xl"}},
      json{{"on", "xl"}, {"get", "ActiveWorkbook"}, {"as", "$wb"}},
      json{{"on", "$wb"}, {"call", "Save"}},
      json{{"let", "r"}, {"value", {{"array", json::array()}}}},
      call("ExcelToTwoDArray", {copy, "Data", 2, 2, 4, 3, {{"var", "r"}}}),
      call("ExcelToOneDArray", {copy, {{"i4", 1}}, 1, 1, 1, 1, {{"var", "r"}}}),
      call("ExcelToOneDArray", {copy, "", 1, 1, 1, 1, {{"var", "r"}}}),
      call("ExcelToOneDArray", {s.at("none.xlsx"), 1, 1, 1, 1, 1, {{"var", "r"}}}),
      call("ExcelToTwoDArray", {copy, 1, 0, 1, 2, 2, {{"var", "r"}}}),
      call("ExcelToTwoDArray", {copy, 1, 1, 1, 2, 40000, {{"var", "r"}}}),
      json{{"let", "one"}, {"value", {{"array", json::array()}}}},
      call("ExcelToOneDArray", {copy, "Other", 3, 1, 4, 2, {{"var", "one"}}}),
  }, s.host());
  ASSERT_EQ(a.size(), 16u);
  EXPECT_EQ(a[1]["result"], 1);
  EXPECT_EQ(a[3]["result"], -2);
  EXPECT_EQ(a[8]["result"], 1);
  EXPECT_EQ(a[8]["vars"]["r"], json::parse(R"({"array2d":[["1,234.50","1/31/2024 13:05"],["-25.00%","2023-12-24"],["1.00E+12","29-Feb-20"]]})"));
  EXPECT_EQ(a[9]["result"], -4);   // a Long is not a worksheet selector
  EXPECT_EQ(a[10]["result"], -4);  // nor an empty name
  EXPECT_EQ(a[11]["result"], -3);
  EXPECT_EQ(a[12]["result"], -5);  // row 0
  EXPECT_EQ(a[13]["result"], -5);  // beyond the last column
  EXPECT_EQ(a[15]["vars"]["one"], json::parse(R"(["n","1","m","2"])"));

  json after = json::parse(helper("facts " + copy)), partsAfter = json::parse(helper("parts " + copy));
  for (auto& [name, entry] : partsBefore.items())
    if (name != "xl/worksheets/sheet2.xml") EXPECT_EQ(partsAfter[name], entry) << name;
  EXPECT_EQ(after["sheets"], before["sheets"]);
  EXPECT_EQ(after["Data"], before["Data"]);
  EXPECT_EQ(after["Charts"], before["Charts"]);
  EXPECT_EQ(after["Other"]["cells"]["A4"], json::parse(R"(["text","m"])"));
  EXPECT_EQ(after["Other"]["cells"]["B4"], json::parse(R"(["number",2.0])"));
}

TEST(ExcelSession, DxfLaidOutBySectionsWithContinuationSheets) {
  Scratch s;
  std::string dxf = s.at("lines.dxf"), out = s.at("lines.xlsx");
  helper("dxf-make " + dxf + " 7000");  // over 60,000 entity rows: one continuation sheet
  auto a = runSession(std::vector<json>{
      call("DXFToExcel", {dxf}),
      json{{"getobject", "Excel.Application"}, {"as", "xl"}},
      json{{"on", "xl"}, {"get", "ActiveWorkbook"}, {"as", "$wb"}},
      saveActive(out),
      call("DXFToExcel", {s.at("missing.dxf")}),
  }, s.host());
  ASSERT_EQ(a.size(), 5u);
  EXPECT_EQ(a[0]["result"], 1);
  EXPECT_EQ(a[4]["result"], -1);
  json check = json::parse(helper("dxf-check " + dxf + " " + out));
  EXPECT_EQ(check["problems"], json::array());
  std::vector<std::string> sheets = check["sheets"];
  ASSERT_GE(sheets.size(), 8u);
  EXPECT_EQ(sheets[0], "HEADER");
  EXPECT_EQ(sheets[4], "ENTITIES");
  EXPECT_EQ(sheets[5].rfind("Sheet", 0), 0u);  // the continuation keeps its default name
  EXPECT_EQ(sheets[6], "OBJECTS");
}

}  // namespace
}  // namespace tlxtest
