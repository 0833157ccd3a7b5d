// The worksheet and DXF methods through the real command-line host: the wiring of each, their
// status codes, and what they make of damaged or unusual input; openpyxl reads what they write.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "support/talvex_session.h"

namespace tlxtest {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

std::string helper(const std::string& args) { return python("tests/office_e2e/workbooks.py", args); }
json facts(const std::string& file) { return json::parse(helper("facts " + shellQuote(file))); }

json call(const std::string& method, json args) { return json{{"call", method}, {"args", std::move(args)}}; }

std::vector<json> saveActiveAs(const std::string& path) {
  return {json{{"getobject", "Excel.Application"}, {"as", "xl"}},
          json{{"on", "xl"}, {"get", "ActiveWorkbook"}, {"as", "$wb"}},
          json{{"on", "$wb"}, {"call", "SaveAs"}, {"args", {path}}}};
}

// A new, empty workbook saved at `path` (three default sheets).
std::vector<json> newWorkbook(const std::string& path) {
  return {json{{"create", "Excel.Application"}, {"as", "xl"}},
          json{{"on", "xl"}, {"get", "Workbooks"}, {"as", "books"}},
          json{{"on", "books"}, {"call", "Add"}, {"as", "new"}},
          json{{"on", "new"}, {"call", "SaveAs"}, {"args", {path}}},
          json{{"on", "new"}, {"call", "Close"}}};
}

// One request list from requests and lists of them.
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

// A workbook whose one sheet holds `rows` (see tests/support/workbook_variants.py).
void sheetWorkbook(const std::string& path, const std::string& rows) {
  writeFile(path + ".rows", rows);
  python("tests/support/workbook_variants.py", "sheet " + shellQuote(path) + " < " + shellQuote(path + ".rows"));
}

// The status codes; a damaged sheet fails where the worksheet is selected and leaves the file as
// it was (the kinds of damage are the workbook tests'); values left empty read as empty.
TEST(ExcelSession, ArrayIntoRichWorkbookKeepsEveryOtherPartAndReadsBack) {
  ScratchDir s("talvex-office");
  std::string rich = s.file("rich.xlsx"), copy = s.file("copy.xlsx");
  std::string damaged = s.file("damaged.xlsx"), empty = s.file("empty-values.xlsx");
  helper("make-rich " + rich);
  sheetWorkbook(damaged, R"(<row r="1"><c r="A1"><v>1</v></row>)");
  sheetWorkbook(empty, R"(<row r="1"><c r="A1" t="s"><v/></c><c r="B1"><v/></c><c r="C1"><v>3</v></c></row>)");
  std::string damagedBefore = readFile(damaged), emptyBefore = readFile(empty);
  fs::copy_file(rich, copy);
  json partsBefore = json::parse(helper("parts " + rich));
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
      call("ExcelToOneDArray", {s.file("none.xlsx"), 1, 1, 1, 1, 1, {{"var", "r"}}}),
      call("ExcelToTwoDArray", {copy, 1, 0, 1, 2, 2, {{"var", "r"}}}),
      call("ExcelToTwoDArray", {copy, 1, 1, 1, 2, 40000, {{"var", "r"}}}),
      json{{"let", "one"}, {"value", {{"array", json::array()}}}},
      call("ExcelToOneDArray", {copy, "Other", 3, 1, 4, 2, {{"var", "one"}}}),
      call("TwoDArrayToExcel", {{{"var", "a"}}, damaged, 1, 3, 1}),
      call("ExcelToTwoDArray", {empty, 1, 1, 1, 1, 3, {{"var", "r"}}, true}),
      call("TwoDArrayToExcel", {{{"var", "a"}}, empty, 1, 1, 4}),
  });
  ASSERT_EQ(a.size(), 19u);
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
  EXPECT_EQ(a[16]["result"], -4);
  EXPECT_EQ(readFile(damaged), damagedBefore);
  EXPECT_EQ(a[17]["vars"]["r"], json::parse(R"({"array2d": [[{"empty": true}, {"empty": true}, {"r8": 3.0}]]})"));
  EXPECT_EQ(a[18]["result"], 1);
  EXPECT_EQ(readFile(empty), emptyBefore);  // TwoDArrayToExcel leaves the workbook open, unsaved

  // Every part but the sheet written to is stored as it was: the chart, names, styles and all.
  json partsAfter = json::parse(helper("parts " + copy));
  for (auto& [name, entry] : partsBefore.items())
    EXPECT_TRUE(name == "xl/worksheets/sheet2.xml" || partsAfter[name] == entry) << name;
  json other = facts(copy)["Other"]["cells"];
  EXPECT_EQ(other["A4"], json::parse(R"(["text","m"])"));
  EXPECT_EQ(other["B4"], json::parse(R"(["number",2.0])"));
}

TEST(ExcelSession, ArraysPlacedTransposedFixedAndFittedAsOpenpyxlReadsThem) {
  ScratchDir s("talvex-office");
  std::string base = s.file("base.xlsx"), out = s.file("placed.xlsx");
  json a = json::parse(R"({"array2d": [["r0c0", "r0c1"], ["r1c0", 11], ["r2c0", "a much longer text"]]})");
  json fix = json::parse(R"({"array2d": [[{"date": "2024-01-31T00:00:00"}, ["x", "y"]], ["2024-02-01", 5]]})");
  auto answers = runSession(requests(newWorkbook(base),
      json{{"let", "a"}, {"value", a}}, json{{"let", "fix"}, {"value", fix}},
      call("TwoDArrayToExcel", {{{"var", "a"}}, base, "Sheet1", 2, 3, "", "", 0, true}),
      call("TwoDArrayToExcel", {{{"var", "a"}}, base, "sheet2", 2, 3, "", "", 1}),
      call("TwoDArrayToExcel", {{{"var", "fix"}}, base, {{"i2", 3}}, 1, 1, "", "", 0, false, true}),
      saveActiveAs(out)));
  ASSERT_EQ(answers.size(), 13u);
  for (size_t i : {7u, 8u, 9u}) EXPECT_EQ(answers[i]["result"], 1) << i;
  // The caller's own array is changed: the date to its text, the nested array to a placeholder.
  EXPECT_EQ(answers[9]["vars"]["fix"], json::parse(R"({"array2d": [["1/31/2024", "Array Field"], ["2024-02-01", 5]]})"));

  json f = facts(out);
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
}

// ezdxf's drawing, laid out pair by pair as the import rules say (the helper checks every cell),
// with a continuation sheet past 60,000 rows; and a file of thousands of sections.
TEST(ExcelSession, DxfLaidOutBySectionsWithContinuationSheets) {
  ScratchDir s("talvex-office");
  std::string dxf = s.file("lines.dxf"), out = s.file("lines.xlsx"), many = s.file("many.dxf");
  helper("dxf-make " + dxf + " 7000");  // over 60,000 entity rows: one continuation sheet
  {
    std::ofstream sections(many, std::ios::binary);
    for (int i = 1; i <= 3000; ++i) sections << "0\r\nSECTION\r\n2\r\nS" << i << "\r\n0\r\nENDSEC\r\n";
    sections << "0\r\nEOF\r\n";
  }
  auto a = runSession(requests(call("DXFToExcel", {dxf}), saveActiveAs(out),
                               call("DXFToExcel", {many}), saveActiveAs(s.file("many.xlsx"))));
  ASSERT_EQ(a.size(), 8u);
  EXPECT_EQ(a[0]["result"], 1);
  EXPECT_EQ(a[4]["result"], 1);
  json check = json::parse(helper("dxf-check " + dxf + " " + out));
  EXPECT_EQ(check["problems"], json::array());
  std::vector<std::string> sheets = check["sheets"];
  ASSERT_GE(sheets.size(), 8u);
  EXPECT_EQ(sheets[0], "HEADER");
  EXPECT_EQ(sheets[4], "ENTITIES");
  EXPECT_EQ(sheets[5].rfind("Sheet", 0), 0u);  // the continuation keeps its default name
  EXPECT_EQ(sheets[6], "OBJECTS");
  EXPECT_EQ(shell("/usr/bin/python3 -c 'import openpyxl, sys; n = openpyxl.load_workbook(sys.argv[1], read_only=True).sheetnames; "
                  "print(len(n), n[0], n[2999])' " + shellQuote(s.file("many.xlsx"))),
            "3003 S1 S3000\n");
}

TEST(ExcelSession, DxfIntoAnExistingWorkbookAndTheRunsThatFail) {
  ScratchDir s("talvex-office");
  std::string existing = s.file("existing.xlsx"), out = s.file("existing-dxf.xlsx");
  helper("make-existing " + existing);
  std::string minimal = s.file("minimal.dxf"), twice = s.file("twice.dxf"), noEof = s.file("no-eof.dxf");
  std::string pipe = s.file("drawing.dxf");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::string longValue(40000, 'v');
  writeDxf(minimal, {"  0", "SECTION", "  2", "ENTITIES", "  0", "TEXT", "  1", longValue, "  1", "EOF  ", "  0",
                     "ENDSEC", "  0", "EOF"});
  writeDxf(twice, {"0", "SECTION", "2", "ENTITIES", "0", "ENDSEC", "0", "SECTION", "2", "entities", "0", "ENDSEC", "0", "EOF"});
  writeDxf(noEof, {"0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", "AC1015", "0", "ENDSEC"});
  auto answers = runSession(requests(
      call("DXFToExcel", {minimal, existing}), saveActiveAs(out),
      call("DXFToExcel", {twice, "   "}), saveActiveAs(s.file("twice.xlsx")),
      call("DXFToExcel", {noEof}), call("DXFToExcel", {pipe}), call("DXFToExcel", {s.file("missing.dxf")})));
  ASSERT_EQ(answers.size(), 11u);
  EXPECT_EQ(answers[0]["result"], 1);
  EXPECT_EQ(answers[4]["result"], -1);   // the second section's name is taken, without regard to case
  EXPECT_EQ(answers[8]["result"], -1);   // the file ends without EOF
  EXPECT_EQ(answers[9]["result"], -1);   // a pipe is not waited on
  EXPECT_EQ(answers[10]["result"], -1);  // no such file

  json f = facts(out);
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
  json t = facts(s.file("twice.xlsx"));
  EXPECT_EQ(t["sheets"][0], "ENTITIES");
  EXPECT_EQ(t["ENTITIES"]["cells"]["B3"], json::parse(R"(["text", "ENDSEC"])"));
}

// The passwords reach the workbook; at exit the host recovers the plain workbook left unsaved
// and says where, and does not write the decrypted one in the clear.
TEST(ExcelSession, EncryptedWorkbookPasswordsAndRecoveryAtExit) {
  ScratchDir s("talvex-office");
  std::string plain = s.file("plain.xlsx"), enc = s.file("enc.xlsx"), recovered = s.file("recovered");
  python("tests/support/workbook_variants.py", "plain " + shellQuote(plain));
  python("tests/support/encrypt_workbook.py", shellQuote(plain) + " " + shellQuote(enc) + " 'open sesame'");
  std::vector<json> input = requests(json{{"let", "r"}, {"value", {{"array", json::array()}}}},
      json::parse(R"({"let": "a", "value": {"array2d": [["unsaved work"]]}})"),
      call("ExcelToTwoDArray", {enc, 1, 1, 1, 1, 2, {{"var", "r"}}, true, "open sesame"}),
      call("ExcelToTwoDArray", {enc, 1, 1, 1, 1, 2, {{"var", "r"}}, true, "Open Sesame"}),
      call("ExcelToTwoDArray", {enc, 1, 1, 1, 1, 2, {{"var", "r"}}, true}),
      call("TwoDArrayToExcel", {{{"var", "a"}}, plain, 1, 5, 1}),
      call("TwoDArrayToExcel", {{{"var", "a"}}, enc, 1, 5, 1, "open sesame"}));
  std::string lines;
  for (auto& j : input) lines += j.dump() + "\n";
  SessionOptions host;
  host.env["TALVEX_RECOVERY_DIR"] = recovered;
  ProcessResult run = runHost({"session"}, lines, host);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto answers = parseAnswers(run.out);
  ASSERT_EQ(answers.size(), 7u);
  EXPECT_EQ(answers[2]["result"], 1);
  EXPECT_EQ(answers[2]["vars"]["r"], json::parse(R"({"array2d": [["hello", {"r8": 2.0}]]})"));
  EXPECT_EQ(answers[3]["result"], -3);  // wrong password
  EXPECT_EQ(answers[4]["result"], -3);  // none given
  EXPECT_EQ(answers[5]["result"], 1);
  EXPECT_EQ(answers[6]["result"], 1);

  EXPECT_NE(run.err.find("talvex: unsaved plain saved to " + recovered + "/plain.xlsx"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("talvex: unsaved enc could not be saved"), std::string::npos) << run.err;
  EXPECT_EQ(facts(recovered + "/plain.xlsx")["Data"]["cells"]["A5"], json::parse(R"(["text", "unsaved work"])"));
  EXPECT_FALSE(fs::exists(recovered + "/enc.xlsx"));
}

}  // namespace
}  // namespace tlxtest
