// RecordsetToWord through the real host, on a recordset over a SQLite file reached by a DSN; the
// saved document is read back by python-docx.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/databases.h"
#include "support/talvex_session.h"

using nlohmann::json;

namespace {

const std::string kProbe = std::string(TALVEX_SOURCE_DIR) + "/tests/wordproc/docx_probe.py";

class RecordsetToWord : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = tlxtest::makeTempDir("talvex-word-rs");
    db_ = (dir_ / "parts.db").string();
    odbc_.addSqlite("lite", db_);
    tlxtest::shell("sqlite3 -batch " + tlxtest::shellQuote(db_) + " " +
                   tlxtest::shellQuote("CREATE TABLE parts (a integer, b text, c real);"
                                       "INSERT INTO parts VALUES (1, 'x', 0.5);"
                                       "INSERT INTO parts VALUES (NULL, 'y z', NULL);"
                                       "INSERT INTO parts VALUES (3, NULL, 2);"));
    options_.workDir = dir_.string();
    options_.env = odbc_.env();
    options_.env["TALVEX_RECOVERY_DIR"] = (dir_ / "recovered").string();
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // A recordset "rs" over the query, with the requests that follow; every answer must be ok.
  std::vector<json> withRecordset(const std::string& sql, std::vector<json> then, bool clientCursor = false) {
    std::vector<json> requests{{{"create", "ADODB.Recordset"}, {"as", "rs"}}};
    if (clientCursor) requests.push_back({{"on", "rs"}, {"put", "CursorLocation"}, {"value", 3}});
    requests.push_back({{"on", "rs"}, {"call", "Open"}, {"args", {sql, "DSN=lite;"}}});
    size_t first = requests.size();
    requests.insert(requests.end(), then.begin(), then.end());
    auto answers = tlxtest::runSession(requests, options_);
    for (auto& a : answers) EXPECT_TRUE(a["ok"]) << a.dump();
    return {answers.begin() + long(first), answers.end()};
  }
  // Saves the word processor's active document under `name`.
  std::vector<json> saveActive(const std::string& name) const {
    return {{{"getobject", "Word.Application"}, {"as", "w"}},
            {{"on", "w"}, {"get", "ActiveDocument"}, {"as", "d"}},
            {{"on", "d"}, {"call", "SaveAs"}, {"args", {path(name)}}}};
  }
  std::vector<json> tables(const std::string& name) const {
    json d = json::parse(tlxtest::shell("/usr/bin/python3 " + kProbe + " " + tlxtest::shellQuote(path(name))));
    return d["tables"];
  }

  std::filesystem::path dir_;
  std::string db_;
  tlxtest::OdbcConfig odbc_;
  tlxtest::SessionOptions options_;
};

const std::string kAll = "SELECT a, b, c FROM parts ORDER BY rowid";

// Field names head the table; Null values are empty cells; the recordset ends on its first record,
// for a forward-only (server) cursor and a client cursor alike.
TEST_F(RecordsetToWord, HeadingsValuesAndNullsBecomeTheTable) {
  for (bool client : {false, true}) {
    std::vector<json> then{
        {{"call", "RecordsetToWord"},
         {"args", {{{"obj", "rs"}}, true, "", false, false, 16, false, "Arial", 10, 10, 0, 0, true, true, true, true,
                   true}}},
        {{"on", "rs"}, {"call", "Fields"}, {"args", {0}}, {"as", "f"}},
        {{"on", "f"}, {"get", "Value"}},
    };
    for (auto& r : saveActive("headed.docx")) then.push_back(r);
    auto a = withRecordset(kAll, then, client);
    EXPECT_EQ(a[0]["result"], 1) << client;
    EXPECT_EQ(a[2]["result"], json::parse(R"({"i4":1})")) << client;  // back on the first record
    auto t = tables("headed.docx");
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0]["rows"], json::parse(R"([["a","b","c"],["1","x","0.5"],["","y z",""],["3","","2"]])")) << client;
    EXPECT_EQ(t[0]["style"], "Talvex Grid 1");
    EXPECT_EQ(t[0]["font"][0]["name"], "Arial");
  }
}

// Without headings the rows alone; a recordset the host had moved on still gives every row.
TEST_F(RecordsetToWord, EveryRowWithoutHeadingsFromAnyPosition) {
  std::vector<json> then{
      {{"on", "rs"}, {"call", "MoveNext"}},
      {{"on", "rs"}, {"call", "MoveNext"}},
      {{"call", "RecordsetToWord"}, {"args", {{{"obj", "rs"}}}}},
      {{"on", "rs"}, {"get", "EOF"}},
      {{"on", "rs"}, {"call", "Fields"}, {"args", {1}}, {"as", "f"}},
      {{"on", "f"}, {"get", "Value"}},
  };
  for (auto& r : saveActive("plain.docx")) then.push_back(r);
  auto a = withRecordset(kAll, then, true);
  EXPECT_EQ(a[2]["result"], 1);
  EXPECT_EQ(a[3]["result"], false);
  EXPECT_EQ(a[5]["result"], "x");
  auto t = tables("plain.docx");
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0]["rows"], json::parse(R"([["1","x","0.5"],["","y z",""],["3","","2"]])"));
  EXPECT_EQ(t[0]["style"], "Talvex Plain-BSFC");  // no borders, shading, font or colour asked for
}

// A recordset without rows has no text to give: the method fails before any document is made,
// with headings or without, and the recordset stays usable.
TEST_F(RecordsetToWord, AnEmptyRecordsetFailsBeforeTouchingTheWordProcessor) {
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
}

// A failure after the text was taken (here a document that does not exist) returns -2 and still
// leaves the recordset on its first record; a missing recordset is a failure too.
TEST_F(RecordsetToWord, FailuresLeaveTheRecordsetOnItsFirstRecord) {
  auto a = withRecordset(kAll, {{{"call", "RecordsetToWord"}, {"args", {{{"obj", "rs"}}, true, path("missing.docx")}}},
                                {{"on", "rs"}, {"call", "Fields"}, {"args", {0}}, {"as", "f"}},
                                {{"on", "f"}, {"get", "Value"}},
                                {{"on", "rs"}, {"call", "Close"}},
                                {{"call", "RecordsetToWord"}, {"args", {{{"obj", "rs"}}}}}});
  EXPECT_EQ(a[0]["result"], -2);
  EXPECT_EQ(a[2]["result"], json::parse(R"({"i4":1})"));
  EXPECT_EQ(a[4]["result"], -2);  // a closed recordset
}

}  // namespace
