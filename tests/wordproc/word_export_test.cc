// The word export methods through the real host, checked by python-docx and LibreOffice;
// RecordsetToWord on a recordset over a SQLite file reached by a DSN.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/databases.h"
#include "support/talvex_session.h"

namespace fs = std::filesystem;
using nlohmann::json;
using tlxtest::shellQuote;

namespace {

// A 2-D array argument from its rows written as JSON.
json array2d(const std::string& rows) { return json{{"array2d", json::parse(rows)}}; }

class WordExport : public ::testing::Test {
 protected:
  WordExport() {
    options.workDir = dir.path().string();
    options.env["TALVEX_RECOVERY_DIR"] = path("recovered");
  }

  std::string path(const std::string& name) const { return dir.file(name); }
  std::vector<json> session(const std::vector<json>& requests) { return tlxtest::runSession(requests, options); }
  int16_t call(const std::string& method, const json& args) {
    auto a = session({{{"call", method}, {"args", args}}});
    EXPECT_TRUE(a[0]["ok"]) << a[0].dump();
    return a[0]["result"].get<int16_t>();
  }
  // `before`, then the word processor's active document saved as `file`, then `after`.
  static std::vector<json> savingBetween(std::vector<json> before, const std::string& file,
                                         const std::vector<json>& after = {}) {
    before.push_back({{"getobject", "Word.Application"}, {"as", "w"}});
    before.push_back({{"on", "w"}, {"get", "ActiveDocument"}, {"as", "d"}});
    before.push_back({{"on", "d"}, {"call", "SaveAs"}, {"args", {file}}});
    before.insert(before.end(), after.begin(), after.end());
    return before;
  }
  static json probe(const std::string& file) {
    return json::parse(tlxtest::python("tests/wordproc/docx_probe.py", shellQuote(file)));
  }
  // The paragraphs that hold text.
  static std::vector<json> texts(const json& doc) {
    std::vector<json> out;
    for (auto& p : doc["paragraphs"])
      if (!p["text"].get<std::string>().empty()) out.push_back(p);
    return out;
  }
  // Converts the documents in the scratch folder with LibreOffice; its messages.
  std::string soffice(const std::string& convertTo, const std::string& files) {
    return tlxtest::shell("cd " + shellQuote(dir.path().string()) + " && soffice --headless -env:UserInstallation=file://" +
                              path("profile") + " --convert-to " + convertTo + " " + files + " 2>&1",
                          false);
  }

  tlxtest::ScratchDir dir{"talvex-word"};
  tlxtest::SessionOptions options;
};

// Each paragraph carries the format it was given, the method's defaults where none was; the
// empty paragraph after the text keeps the format the document had before.
TEST_F(WordExport, TextParagraphsCarryTheirFormatAndTheNextOneTheOldFormat) {
  std::string doc = path("one.docx");
  auto a = session(savingBetween(
      {{{"call", "TextToWord"}, {"args", {"Title", "", false, false, true, "Arial", 14, 6, 1, 1}}}}, doc,
      {{{"call", "TextToWord"}, {"args", {"Plain", doc, true}}},
       {{"call", "TextToWord"}, {"args", {"Body\ttext", doc, true, false, false, "Courier New", 9, 0, 2, 1}}},
       {{"call", "TextToWord"}, {"args", {"Tail", doc, true, true, false, "Arial", 11, 3, 5, 5}}}}));
  for (auto& r : a) ASSERT_TRUE(r["ok"]) << r.dump();
  EXPECT_EQ(a[4]["result"], 1);
  EXPECT_EQ(a[5]["result"], 1);
  EXPECT_EQ(a[6]["result"], -2);  // alignment 5 is refused: the text is in, nothing saved
  json d = probe(doc);
  EXPECT_TRUE(d["landscape"]);
  EXPECT_EQ(std::pair(d["width"].get<long>(), d["height"].get<long>()), std::pair(10692130L, 7560310L));  // A4 across
  // Text, alignment, space after and font of each paragraph holding text, then the empty one.
  std::vector<json> got;
  for (auto& p : texts(d)) got.push_back({p["text"], p["align"], p["after"], p["runs"][0]});
  const json& last = d["paragraphs"].back();
  got.push_back({last["text"], last["align"]});
  EXPECT_EQ(json(got), json::parse(R"([["Title", 1, 6, {"bold": true, "name": "Arial", "size": 14}],
      ["Plain", 0, 10, {"bold": false, "name": "Times New Roman", "size": 12}],
      ["Body\ttext", 2, 0, {"bold": false, "name": "Courier New", "size": 9}], ["", 0]])"));
}

TEST_F(WordExport, ArraysBecomeTablesWithTheirStyle) {
  std::string doc = path("tables.docx");
  json two = {{"let", "a"}, {"value", {{"array2d", {{"Name", "Qty", "Note"}, {"apple", 1, "tab\there"}}}}}};
  auto a = session(savingBetween(
      {{{"call", "OneDArrayToWord"}, {"args", {{"x", 2.5, "line\r\nbreak"}, "   ", false, false, 22, true}}}}, doc,
      {two,
       {{"call", "TwoDArrayToWord"},
        {"args", {{{"var", "a"}}, doc, true, false, 16, false, "Arial", 10, 10, 0, 0, true, true, true, true, true,
                  false, false, false, true, 5}}}}));
  for (auto& r : a) ASSERT_TRUE(r["ok"]) << r.dump();
  EXPECT_EQ(a[0]["result"], 1);
  EXPECT_EQ(a[5]["result"], 1);
  json d = probe(doc);
  EXPECT_FALSE(d["landscape"]);  // orientation 5, given last, reads as portrait
  ASSERT_EQ(d["tables"].size(), 2u);
  json t1 = d["tables"][1], t2 = d["tables"][0];
  EXPECT_EQ(t1["style"], "Talvex Grid 1");
  // A tab inside a value splits its cell; short rows are filled up.
  EXPECT_EQ(t1["rows"], json::parse(R"([["Name","Qty","Note",""],["apple","1","tab","here"]])"));
  EXPECT_EQ(t1["font"][0]["name"], "Arial");
  EXPECT_EQ(t1["font"][0]["size"], 10);
  // A line end inside a value starts a new row.
  EXPECT_EQ(t2["rows"], json::parse(R"([["x","2.5","line"],["break","",""]])"));
  EXPECT_EQ(t2["style"], "Talvex Grid 7-BSFC");
  EXPECT_EQ(t2["font"][0]["bold"], true);
  EXPECT_EQ(d["body"].back(), "sectPr");
}

TEST_F(WordExport, StatusCodesOfTheArrayMethods) {
  auto a = session({
      {{"call", "OneDArrayToWord"}, {"args", {"not an array"}}},
      {{"call", "TwoDArrayToWord"}, {"args", {5}}},
      {{"call", "OneDArrayToWord"}, {"args", json::parse(R"([["a", null]])")}},
      {{"call", "TwoDArrayToWord"}, {"args", json::parse(R"([["one", "dimension"]])")}},
      {{"call", "TwoDArrayToWord"}, {"args", {array2d(R"([["a"]])"), path("missing.docx")}}},
      {{"call", "OneDArrayToWord"}, {"args", {{"a"}, "", false, false, 43}}},
      {{"call", "TextToWord"}, {"args", {"x", path("missing.docx")}}},
  });
  std::vector<int> codes;
  for (auto& r : a) {
    EXPECT_TRUE(r["ok"]) << r.dump();
    codes.push_back(r.value("result", 0));
  }
  EXPECT_EQ(codes, (std::vector<int>{-2, -2, -3, -3, -3, -3, -2}));
}

TEST_F(WordExport, OutsideDocumentsKeepEveryPartWhenAppendedTo) {
  std::string made = path("made.docx");
  tlxtest::python("tests/wordproc/docx_probe.py", "make " + shellQuote(made));
  // The same document after a pass through LibreOffice is the second outside writer.
  soffice("docx:\"MS Word 2007 XML\" --outdir lo", "made.docx");
  std::string fromLo = path("lo/made.docx");
  ASSERT_TRUE(fs::exists(fromLo));
  for (const std::string& file : {made, fromLo}) {
    json before = probe(file);
    EXPECT_EQ(call("TwoDArrayToWord", {array2d(R"([["new", "row"]])"), file, true, true, 8, false, "Arial", 10,
                                       10, 0, 0, true, true, true, true, true}),
              1);
    EXPECT_EQ(call("TextToWord", {"Appended", file, true, true}), 1);
    json after = probe(file);
    EXPECT_EQ(after["header"], before["header"]) << file;
    EXPECT_EQ(after["images"], 1) << file;
    ASSERT_EQ(after["tables"].size(), before["tables"].size() + 1) << file;
    EXPECT_EQ(after["tables"][0]["rows"], before["tables"][0]["rows"]) << file;
    EXPECT_EQ(after["tables"].back()["rows"], json::parse(R"([["new","row"]])")) << file;
    auto t = texts(after);
    EXPECT_EQ(t.front()["text"], "Before") << file;
    EXPECT_EQ(t.front()["style"], "Remark") << file;
    EXPECT_EQ(t.back()["text"], "Appended") << file;
  }
}

// LibreOffice lays out a table of every format; and shaded header rows render dark: a page of
// one table with a black header (Grid 7) has more than twice the dark pixels of one with a
// plain header (Grid 1).
TEST_F(WordExport, EveryTableFormatAndShadedHeaderRowsRenderThroughLibreOffice) {
  std::vector<json> formats;
  for (int format = 0; format < 43; ++format)
    formats.push_back({{"call", "TwoDArrayToWord"},
                       {"args", {array2d("[[\"Head " + std::to_string(format) + "\", \"B\"], [\"body\", \"2\"], [\"last\", \"3\"]]"),
                                 format == 0 ? "" : path("formats.docx"), true, false, format, false, "Arial", 10, 10, 0,
                                 0, true, true, true, true, true, true, true, true, true}}});
  auto requests =
      savingBetween({formats[0]}, path("formats.docx"), std::vector<json>(formats.begin() + 1, formats.end()));
  for (int format : {16, 22}) {
    requests.push_back({{"call", "TwoDArrayToWord"},
                        {"args", {array2d(R"([["H1", "H2"], ["a", "b"]])"), "", false, false, format, false, "Arial", 20,
                                  10, 0, 0, true, true, true, true, true}}});
    requests = savingBetween(requests, path("f" + std::to_string(format) + ".docx"));
  }
  for (auto& r : session(requests)) ASSERT_TRUE(r["ok"]) << r.dump();
  ASSERT_EQ(probe(path("formats.docx"))["tables"].size(), 43u);
  std::string out = soffice("pdf", "formats.docx f16.docx f22.docx");
  ASSERT_TRUE(fs::exists(path("formats.pdf"))) << out;
  std::string text = tlxtest::shell("pdftotext " + shellQuote(path("formats.pdf")) + " -");
  for (int format = 0; format < 43; ++format)
    EXPECT_NE(text.find("Head " + std::to_string(format)), std::string::npos) << format;

  auto darkPixels = [&](int format) {
    std::string page = path("page" + std::to_string(format));
    tlxtest::shell("pdftoppm -gray -r 20 -f 1 -l 1 -singlefile " + shellQuote(path("f" + std::to_string(format) + ".pdf")) +
                   " " + shellQuote(page));
    std::string data = tlxtest::readFile(page + ".pgm");
    long dark = 0;
    for (size_t i = data.size() > 64 ? 64 : 0; i < data.size(); ++i) dark += static_cast<unsigned char>(data[i]) < 100;
    return dark;
  };
  long plain = darkPixels(16), shaded = darkPixels(22);
  EXPECT_GT(shaded, plain * 2) << plain << " " << shaded;
}

// Saving saves every open document, a new one under its name in the working folder; quitting
// without saving leaves nothing behind, not even to recover, and a reference held after it
// fails on every member. A document still open at exit is recovered.
TEST_F(WordExport, SavingQuittingAndRecoveryAtExit) {
  std::string input;
  for (const json& request : std::vector<json>{{{"create", "Word.Application"}, {"as", "w"}},
                                               {{"on", "w"}, {"get", "Documents"}, {"as", "docs"}},
                                               {{"on", "docs"}, {"call", "Add"}, {"as", "d1"}},
                                               {{"call", "TextToWord"}, {"args", {"two", "", true, false}}},
                                               {{"on", "docs"}, {"get", "Count"}},
                                               {{"on", "d1"}, {"get", "FullName"}},
                                               {{"on", "d1"}, {"get", "Saved"}},
                                               {{"call", "OneDArrayToWord"}, {"args", {{"gone"}, "", false, true}}},
                                               {{"on", "docs"}, {"get", "Count"}}})
    input += request.dump() + "\n";
  auto r = tlxtest::runHost({"session"}, input, options);
  auto a = tlxtest::parseAnswers(r.out);
  ASSERT_EQ(a.size(), 9u) << r.out;
  EXPECT_EQ(a[3]["result"], 1);
  EXPECT_EQ(a[4]["result"], json::parse(R"({"i4":2})"));
  EXPECT_EQ(a[5]["result"], path("Document1.docx"));
  EXPECT_EQ(a[6]["result"], true);
  EXPECT_TRUE(fs::exists(path("Document2.docx")));
  EXPECT_EQ(a[7]["result"], 1);
  EXPECT_FALSE(fs::exists(path("Document3.docx")));
  EXPECT_FALSE(a[8]["ok"]);
  EXPECT_EQ(r.err.find("saved to"), std::string::npos) << r.err;

  r = tlxtest::runHost({"session"}, json{{"call", "TextToWord"}, {"args", {"keep me"}}}.dump() + "\n", options);
  ASSERT_NE(r.err.find("saved to"), std::string::npos) << r.err;
  std::string file = path("recovered/Document1.docx");
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(texts(probe(file))[0]["text"], "keep me");
}

// A table "parts" of three rows in a SQLite file, reached by the DSN "lite".
class RecordsetToWord : public WordExport {
 protected:
  RecordsetToWord() {
    odbc.addSqlite("lite", path("parts.db"));
    tlxtest::shell("sqlite3 -batch " + shellQuote(path("parts.db")) + " " +
                   shellQuote("CREATE TABLE parts (a integer, b text, c real);"
                              "INSERT INTO parts VALUES (1, 'x', 0.5);"
                              "INSERT INTO parts VALUES (NULL, 'y z', NULL);"
                              "INSERT INTO parts VALUES (3, NULL, 2);"));
    for (auto& [name, value] : odbc.env()) options.env[name] = value;
  }

  // A recordset "rs" over the query, with the requests that follow; every answer must be ok.
  std::vector<json> withRecordset(const std::string& sql, const std::vector<json>& then, bool clientCursor = false) {
    std::vector<json> requests{{{"create", "ADODB.Recordset"}, {"as", "rs"}}};
    if (clientCursor) requests.push_back({{"on", "rs"}, {"put", "CursorLocation"}, {"value", 3}});
    requests.push_back({{"on", "rs"}, {"call", "Open"}, {"args", {sql, "DSN=lite;"}}});
    size_t first = requests.size();
    requests.insert(requests.end(), then.begin(), then.end());
    auto answers = session(requests);
    for (auto& a : answers) EXPECT_TRUE(a["ok"]) << a.dump();
    return {answers.begin() + long(first), answers.end()};
  }
  std::vector<json> tables(const std::string& name) { return probe(path(name))["tables"]; }

  tlxtest::OdbcConfig odbc;
};

const std::string kAll = "SELECT a, b, c FROM parts ORDER BY rowid";

// Field names head the table when asked for; Null values are empty cells. Every row is given
// from wherever the host had moved the recordset, which ends on its first record, for a
// forward-only (server) cursor and a client cursor alike.
TEST_F(RecordsetToWord, EveryRowIntoATableAndTheRecordsetLeftOnItsFirstRecord) {
  for (bool headed : {true, false}) {
    json args = headed ? json{{{"obj", "rs"}}, true, "", false, false, 16, false, "Arial", 10, 10, 0, 0, true, true, true,
                              true, true}
                       : json{{{"obj", "rs"}}};
    std::string file = headed ? "headed.docx" : "plain.docx";
    auto a = withRecordset(kAll, savingBetween({{{"on", "rs"}, {"call", "MoveNext"}},
                                                {{"call", "RecordsetToWord"}, {"args", args}},
                                                {{"on", "rs"}, {"call", "Fields"}, {"args", {0}}, {"as", "f"}},
                                                {{"on", "f"}, {"get", "Value"}}}, path(file)),
                           !headed);
    EXPECT_EQ(a[1]["result"], 1) << file;
    EXPECT_EQ(a[3]["result"], json::parse(R"({"i4":1})")) << file;
    auto t = tables(file);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0]["rows"], json::parse(std::string(headed ? R"([["a","b","c"],)" : "[") +
                                        R"(["1","x","0.5"],["","y z",""],["3","","2"]])")) << file;
    // Without arguments: no borders, shading, font or colour.
    EXPECT_EQ(t[0]["style"], headed ? "Talvex Grid 1" : "Talvex Plain-BSFC");
    EXPECT_EQ(t[0]["font"][0]["name"], headed ? "Arial" : "Times New Roman");
  }
}

// A recordset without rows has no text to give: the method fails before any document is made,
// with headings or without, and the recordset stays usable. A failure after the text was taken
// (here a document that does not exist) still leaves the recordset on its first record; a closed
// recordset is a failure too.
TEST_F(RecordsetToWord, FailuresLeaveTheRecordsetUsableOnItsFirstRecord) {
  auto a = withRecordset("SELECT a, b FROM parts WHERE a > 99",
                         {{{"call", "RecordsetToWord"}, {"args", {{{"obj", "rs"}}, true}}},
                          {{"call", "RecordsetToWord"}, {"args", {{{"obj", "rs"}}}}},
                          {{"getobject", "Word.Application"}, {"as", "w"}},
                          {{"on", "w"}, {"get", "Documents"}, {"as", "docs"}},
                          {{"on", "docs"}, {"get", "Count"}},
                          {{"on", "rs"}, {"get", "EOF"}}});
  EXPECT_EQ(a[0]["result"], -2);
  EXPECT_EQ(a[1]["result"], -2);
  EXPECT_EQ(a[4]["result"], json::parse(R"({"i4":0})"));
  EXPECT_EQ(a[5]["result"], true);

  a = withRecordset(kAll, {{{"call", "RecordsetToWord"}, {"args", {{{"obj", "rs"}}, true, path("missing.docx")}}},
                           {{"on", "rs"}, {"call", "Fields"}, {"args", {0}}, {"as", "f"}},
                           {{"on", "f"}, {"get", "Value"}},
                           {{"on", "rs"}, {"call", "Close"}},
                           {{"call", "RecordsetToWord"}, {"args", {{{"obj", "rs"}}}}}});
  EXPECT_EQ(a[0]["result"], -2);
  EXPECT_EQ(a[2]["result"], json::parse(R"({"i4":1})"));
  EXPECT_EQ(a[4]["result"], -2);
}

}  // namespace
