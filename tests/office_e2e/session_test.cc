// The worksheet and DXF methods through the real command-line host, checked by openpyxl.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "support/talvex_session.h"

namespace tlxtest {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

std::string helper(const std::string& args) { return python("tests/office_e2e/workbooks.py", args); }

struct Scratch : ScratchDir {
  Scratch() : ScratchDir("talvex-office") {}
  std::string at(const std::string& name) const { return file(name); }
  // Unsaved workbooks left at host exit go to the scratch folder, not the working one.
  SessionOptions host() const { return SessionOptions{{{"TALVEX_RECOVERY_DIR", at("recovered")}}}; }
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


// A new, empty workbook saved at `path` (three default sheets).
std::vector<json> newWorkbook(const std::string& path) {
  return {json{{"create", "Excel.Application"}, {"as", "xl"}},
          json{{"on", "xl"}, {"get", "Workbooks"}, {"as", "books"}},
          json{{"on", "books"}, {"call", "Add"}, {"as", "new"}},
          json{{"on", "new"}, {"call", "SaveAs"}, {"args", {path}}},
          json{{"on", "new"}, {"call", "Close"}}};
}

std::vector<json> saveActiveAs(const std::string& path) {
  return {json{{"getobject", "Excel.Application"}, {"as", "xl"}},
          json{{"on", "xl"}, {"get", "ActiveWorkbook"}, {"as", "$wb"}}, saveActive(path)};
}

template <class... Parts>
std::vector<json> requests(Parts&&... parts) {
  std::vector<json> all;
  auto add = [&](auto&& p) {
    if constexpr (std::is_same_v<std::decay_t<decltype(p)>, json>) all.push_back(p);
    else all.insert(all.end(), p.begin(), p.end());
  };
  (add(parts), ...);
  return all;
}

void writeDxf(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::binary);
  for (auto& l : lines) out << l << "\r\n";
}

TEST(ExcelSession, ArraysPlacedTransposedFixedAndFittedThenReadByOpenpyxlAndLibreOffice) {
  Scratch s;
  std::string base = s.at("base.xlsx"), out = s.at("placed.xlsx");
  json a = json::parse(R"({"array2d": [["r0c0", "r0c1"], ["r1c0", 11], ["r2c0", "a much longer text"]]})");
  json fix = json::parse(R"({"array2d": [[{"date": "2024-01-31T00:00:00"}, ["x", "y"]], ["2024-02-01", 5]]})");
  auto answers = runSession(requests(newWorkbook(base),
      json{{"let", "a"}, {"value", a}}, json{{"let", "fix"}, {"value", fix}},
      call("TwoDArrayToExcel", {{{"var", "a"}}, base, "Sheet1", 2, 3, "", "", 0, true}),
      call("TwoDArrayToExcel", {{{"var", "a"}}, base, "sheet2", 2, 3, "", "", 1}),
      call("TwoDArrayToExcel", {{{"var", "fix"}}, base, {{"i2", 3}}, 1, 1, "", "", 0, false, true}),
      saveActiveAs(out)), s.host());
  ASSERT_EQ(answers.size(), 13u);
  for (size_t i : {7u, 8u, 9u}) EXPECT_EQ(answers[i]["result"], 1) << i;
  // The caller's own array is changed: the date to its text, the nested array to a placeholder.
  EXPECT_EQ(answers[9]["vars"]["fix"], json::parse(R"({"array2d": [["1/31/2024", "Array Field"], ["2024-02-01", 5]]})"));

  json f = json::parse(helper("facts " + out));
  EXPECT_EQ(f["sheets"], json::parse(R"(["Sheet1", "Sheet2", "Sheet3"])"));
  EXPECT_EQ(f["Sheet1"]["cells"], json::parse(R"({"C2": ["text", "r0c0"], "D2": ["text", "r0c1"], "C3": ["text", "r1c0"],
      "D3": ["number", 11.0], "C4": ["text", "r2c0"], "D4": ["text", "a much longer text"]})"));
  // Dimension 1 runs across the columns: rows 2 to 3, columns C to E.
  EXPECT_EQ(f["Sheet2"]["cells"], json::parse(R"({"C2": ["text", "r0c0"], "D2": ["text", "r1c0"], "E2": ["text", "r2c0"],
      "C3": ["text", "r0c1"], "D3": ["number", 11.0], "E3": ["text", "a much longer text"]})"));
  EXPECT_EQ(f["Sheet3"]["cells"], json::parse(R"({"A1": ["text", "1/31/2024"], "B1": ["text", "Array Field"],
      "A2": ["text", "2024-02-01"], "B2": ["number", 5.0]})"));
  // AutoFit: the longest text of each column of the target, and nothing beyond it.
  auto widths = f["Sheet1"]["widths"];
  ASSERT_TRUE(widths.contains("C") && widths.contains("D")) << widths;
  EXPECT_LT(widths["C"].get<double>(), widths["D"].get<double>());
  EXPECT_GE(widths["D"].get<double>(), 18.0);
  EXPECT_FALSE(widths.contains("E"));
  EXPECT_TRUE(f["Sheet2"]["widths"].empty());

  json csv = json::parse(helper("soffice-csv " + out));
  EXPECT_EQ(csv["rc"], 0) << csv["stderr"];
  EXPECT_EQ(csv["csv"], ",,,\n,,r0c0,r0c1\n,,r1c0,11\n,,r2c0,a much longer text\n");
}

TEST(ExcelSession, DxfIntoAnExistingWorkbookAndTheRunsThatFail) {
  Scratch s;
  std::string existing = s.at("existing.xlsx"), out = s.at("existing-dxf.xlsx");
  helper("make-existing " + existing);
  std::string minimal = s.at("minimal.dxf"), twice = s.at("twice.dxf"), noEof = s.at("no-eof.dxf");
  std::string longValue(40000, 'v');
  writeDxf(minimal, {"  0", "SECTION", "  2", "ENTITIES", "  0", "TEXT", "  1", longValue, "  1", "EOF  ", "  0",
                     "ENDSEC", "  0", "EOF"});
  writeDxf(twice, {"0", "SECTION", "2", "ENTITIES", "0", "ENDSEC", "0", "SECTION", "2", "entities", "0", "ENDSEC", "0", "EOF"});
  writeDxf(noEof, {"0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", "AC1015", "0", "ENDSEC"});
  auto answers = runSession(requests(
      call("DXFToExcel", {minimal, existing}), saveActiveAs(out),
      call("DXFToExcel", {twice, "   "}), saveActiveAs(s.at("twice.xlsx")),
      call("DXFToExcel", {noEof})), s.host());
  ASSERT_EQ(answers.size(), 9u);
  EXPECT_EQ(answers[0]["result"], 1);
  EXPECT_EQ(answers[4]["result"], -1);  // the second section's name is taken, without regard to case
  EXPECT_EQ(answers[8]["result"], -1);  // the file ends without EOF

  json f = json::parse(helper("facts " + out));
  // The first sheet takes the section's name and keeps what the pairs do not overwrite; the
  // new sheets come directly after it, before the workbook's other sheets.
  ASSERT_EQ(f["sheets"].size(), 3u);
  EXPECT_EQ(f["sheets"][0], "ENTITIES");
  EXPECT_EQ(f["sheets"][2], "Second");
  json& first = f["ENTITIES"]["cells"];
  EXPECT_EQ(first["A1"], json::parse(R"(["text", "0"])"));
  EXPECT_EQ(first["C1"], json::parse(R"(["text", "kept"])"));
  EXPECT_EQ(first["A500"], json::parse(R"(["text", "below"])"));
  EXPECT_EQ(first["B4"][1].get<std::string>().size(), 32767u);  // cut to what a cell holds
  EXPECT_EQ(first["B5"], json::parse(R"(["text", "EOF  "])"));  // trailing blanks do not end the run
  EXPECT_EQ(f[f["sheets"][1].get<std::string>()]["cells"], json::parse(R"({"A1": ["text", "0"], "B1": ["text", "EOF"]})"));
  EXPECT_EQ(f["Second"]["cells"], json::parse(R"({"A1": ["text", "untouched"]})"));

  // What was written before the failure stays: the first section in a new workbook.
  json t = json::parse(helper("facts " + s.at("twice.xlsx")));
  EXPECT_EQ(t["sheets"][0], "ENTITIES");
  EXPECT_EQ(t["ENTITIES"]["cells"]["B3"], json::parse(R"(["text", "ENDSEC"])"));
}

TEST(ExcelSession, LibreOfficeWorkbookEncryptedWorkbookAndRecoveryAtExit) {
  Scratch s;
  std::string csv = s.at("lo.csv"), lo = s.at("lo.xlsx"), enc = s.at("enc.xlsx");
  std::ofstream(csv) << "name,amount,when\nalpha,1234.5,2024-01-31\nbeta,-7,12/24/2023\n";
  helper("soffice-xlsx " + csv + " " + lo);
  ASSERT_TRUE(fs::exists(lo));
  std::string script = std::string(TALVEX_SOURCE_DIR) + "/tests/support/encrypt_workbook.py";
  ASSERT_EQ(std::system(("/usr/bin/python3 " + script + " " + lo + " " + enc + " 'open sesame'").c_str()), 0);

  json r = {{"let", "r"}, {"value", {{"array", json::array()}}}};
  json a = json::parse(R"({"let": "a", "value": {"array2d": [["unsaved work"]]}})");
  std::vector<json> input = requests(r, a,
      call("ExcelToTwoDArray", {lo, 1, 1, 1, 3, 3, {{"var", "r"}}, true}),
      call("ExcelToTwoDArray", {lo, 1, 2, 1, 3, 3, {{"var", "r"}}}),
      call("ExcelToTwoDArray", {enc, 1, 2, 2, 2, 2, {{"var", "r"}}, true, "open sesame"}),
      call("ExcelToTwoDArray", {enc, 1, 2, 2, 2, 2, {{"var", "r"}}, true, "Open Sesame"}),
      call("ExcelToTwoDArray", {enc, 1, 2, 2, 2, 2, {{"var", "r"}}, true}),
      call("TwoDArrayToExcel", {{{"var", "a"}}, lo, 1, 5, 1}),
      call("TwoDArrayToExcel", {{{"var", "a"}}, enc, 1, 5, 1, "open sesame"}));
  std::string lines;
  for (auto& j : input) lines += j.dump() + "\n";
  tlxtest::ProcessResult run = tlxtest::runHost({"session"}, lines, s.host());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto answers = tlxtest::parseAnswers(run.out);
  ASSERT_EQ(answers.size(), 9u);

  // Values as openpyxl reads them, and the displayed text of LibreOffice's own formats.
  json facts = json::parse(helper("facts " + lo))["lo"]["cells"];
  json values = answers[2]["vars"]["r"]["array2d"];
  EXPECT_EQ(values[0], json::parse(R"(["name", "amount", "when"])"));
  EXPECT_EQ(facts["B2"], json::parse(R"(["number", 1234.5])"));
  EXPECT_EQ(values[1][1], 1234.5);
  EXPECT_EQ(values[2][1], (json{{"r8", -7.0}}));
  EXPECT_EQ(facts["C2"], json::parse(R"(["date", "2024-01-31T00:00:00"])"));
  EXPECT_EQ(values[1][2], json::parse(R"({"date": "2024-01-31T00:00:00"})"));
  EXPECT_EQ(facts["C3"], json::parse(R"(["text", "12/24/2023"])"));  // not a date form to LibreOffice here
  EXPECT_EQ(values[2][2], "12/24/2023");
  json texts = answers[3]["vars"]["r"]["array2d"];
  EXPECT_EQ(texts[0][0], "alpha");
  EXPECT_EQ(texts[0][1], "1234.5");

  EXPECT_EQ(answers[4]["result"], 1);
  EXPECT_EQ(answers[4]["vars"]["r"], json::parse(R"({"array2d": [[1234.5]]})"));
  EXPECT_EQ(answers[5]["result"], -3);  // wrong password
  EXPECT_EQ(answers[6]["result"], -3);  // none given
  EXPECT_EQ(answers[7]["result"], 1);
  EXPECT_EQ(answers[8]["result"], 1);

  // At exit the plain workbook goes to a recovery file and the host says where; the decrypted
  // one is not written in the clear, and the host says that too.
  std::string recovered = s.at("recovered") + "/lo.xlsx";
  EXPECT_NE(run.err.find("talvex: unsaved lo saved to " + recovered), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("talvex: unsaved enc could not be saved"), std::string::npos) << run.err;
  EXPECT_EQ(json::parse(helper("facts " + recovered))["lo"]["cells"]["A5"], json::parse(R"(["text", "unsaved work"])"));
  EXPECT_FALSE(fs::exists(s.at("recovered") + "/enc.xlsx"));
}

}  // namespace
}  // namespace tlxtest
