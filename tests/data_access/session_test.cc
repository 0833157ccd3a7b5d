// The four recordset and database-table methods through the real command-line host, against
// SQLite and a throwaway PostgreSQL; files they write are read back by Python's csv module and
// compared with what the database's own shell returns.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "support/database_fixture.h"
#include "support/talvex_session.h"

using nlohmann::json;
using tlxtest::DatabaseTest;

namespace {

class DataMethods : public DatabaseTest {
 protected:
  void SetUp() override {
    DatabaseTest::SetUp();
    db.sql("CREATE TABLE parts (id integer, name varchar(20)); INSERT INTO parts VALUES (1, 'abc');"
           "INSERT INTO parts VALUES (2, 'de\"f'); INSERT INTO parts VALUES (3, 'x y');");
  }
  std::vector<json> session(const std::vector<json>& requests) {
    tlxtest::SessionOptions options;
    options.env = config().env();
    auto answers = tlxtest::runSession(requests, options);
    EXPECT_EQ(answers.size(), requests.size());
    for (auto& a : answers) EXPECT_TRUE(a["ok"].get<bool>()) << a.dump();
    return answers;
  }
  json call(const std::string& method, json args) {
    return session({json{{"let", "a"}, {"value", json::array()}}, json{{"call", method}, {"args", args}}})[1];
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string read(const std::string& name) const { return tlxtest::readFile(path(name)); }
  // The rows as Python's csv module reads them, one line per row, fields joined by "|".
  std::string csvRows(const std::string& name) const {
    return tlxtest::shell("/usr/bin/python3 -c \"import csv,sys; [print('|'.join(r)) for r in "
                          "csv.reader(open(sys.argv[1], newline='', encoding='utf-8'))]\" " +
                          tlxtest::shellQuote(path(name)));
  }
  size_t filesInDir() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir_), {}));
  }

  tlxtest::ScratchDir scratch_{"talvex-data"};
  const std::filesystem::path dir_ = scratch_.path();
  const std::string sql_ = "SELECT id, name FROM parts ORDER BY id";
  // An empty UID in the connection string replaces the DSN's own user for psqlODBC.
  const std::string user_ = "postgres";
};

TEST_P(DataMethods, ArraysHoldTheRecordsWithOrWithoutTheFieldNames) {
  auto answers = session({
      json{{"let", "a"}, {"value", json::array()}},
      json{{"call", "DatabaseTableToArray"}, {"args", {db.dsn, sql_, {{"var", "a"}}, user_, "", true}}},
      json{{"call", "DatabaseTableToArray"}, {"args", {db.dsn, sql_, {{"var", "a"}}, user_}}},
  });
  EXPECT_EQ(answers[1]["result"], 1);
  EXPECT_EQ(answers[1]["vars"]["a"],
            (json{{"array2d", {{"id", "name"}, {{{"i4", 1}}, "abc"}, {{{"i4", 2}}, "de\"f"}, {{{"i4", 3}}, "x y"}}}}));
  EXPECT_EQ(answers[2]["result"], 1);
  EXPECT_EQ(answers[2]["vars"]["a"]["array2d"].size(), 3u);
}

TEST_P(DataMethods, RecordsetsAreLeftOnTheirFirstRecord) {
  auto answers = session({
      json{{"let", "a"}, {"value", json::array()}},
      json{{"create", "ADODB.Recordset"}, {"as", "rs"}},
      json{{"on", "rs"}, {"put", "CursorLocation"}, {"value", 3}},
      json{{"on", "rs"}, {"call", "Open"}, {"args", {sql_, "DSN=" + db.dsn + ";"}}},
      json{{"call", "RecordsetToArray"}, {"args", {{{"obj", "rs"}}, {{"var", "a"}}, true}}},
      json{{"on", "rs"}, {"call", "Fields"}, {"args", {1}}, {"as", "f"}},
      json{{"on", "f"}, {"get", "Value"}},
      json{{"call", "RecordsetToTextFile"}, {"args", {{{"obj", "rs"}}, path("rs.txt"), false, ";", false}}},
      json{{"on", "f"}, {"get", "Value"}},
  });
  EXPECT_EQ(answers[4]["result"], 1);
  EXPECT_EQ(answers[4]["vars"]["a"]["array2d"].size(), 4u);
  EXPECT_EQ(answers[6]["result"], "abc");
  EXPECT_EQ(answers[7]["result"], 1);
  EXPECT_EQ(answers[8]["result"], "abc");
  EXPECT_EQ(read("rs.txt"), "1;abc\r\n2;de\"f\r\n3;x y\r\n");
}

TEST_P(DataMethods, TextFilesFollowTheLineRule) {
  EXPECT_EQ(call("DatabaseTableToTextFile", {db.dsn, sql_, path("q.csv"), user_, "", true, ",", true})["result"], 1);
  EXPECT_EQ(read("q.csv"), "\"id\",\"name\"\r\n\"1\",\"abc\"\r\n\"2\",\"de\"f\"\r\n\"3\",\"x y\"\r\n");
  EXPECT_EQ(call("DatabaseTableToTextFile", {db.dsn, sql_, path("plain.csv"), user_, "", false, ","})["result"], 1);
  EXPECT_EQ(read("plain.csv"), "1,abc\r\n2,de\"f\r\n3,x y\r\n");
  EXPECT_EQ(call("DatabaseTableToTextFile", {db.dsn, sql_, path("run.txt"), user_})["result"], 1);
  EXPECT_EQ(read("run.txt"), "1abc\r\n2de\"f\r\n3x y\r\n");
  EXPECT_EQ(call("DatabaseTableToTextFile", {db.dsn, "SELECT name FROM parts ORDER BY id", path("one.txt"), user_, "",
                                             true, ","})["result"],
            1);
  EXPECT_EQ(read("one.txt"), "name\r\nabc\r\nde\"f\r\nx y\r\n");
}

TEST_P(DataMethods, PythonReadsTheRowsTheDatabaseHolds) {
  db.sql("CREATE TABLE wide (n integer, t varchar(30), r double precision);"
         "INSERT INTO wide VALUES (10, 'plain text', 0.5); INSERT INTO wide VALUES (-7, 'ünïcode', 1.25);"
         "INSERT INTO wide VALUES (0, 'third', 100.5);");
  EXPECT_EQ(call("DatabaseTableToTextFile",
                 {db.dsn, "SELECT n, t, r FROM wide ORDER BY n", path("w.csv"), user_, "", false, ",", true})["result"],
            1);
  EXPECT_EQ(csvRows("w.csv"), db.sql("SELECT n, t, r FROM wide ORDER BY n;"));
}

TEST_P(DataMethods, EmptyResultsAndUncountedRecordsets) {
  const std::string none = "SELECT id, name FROM parts WHERE id > 99";
  auto answers = session({
      json{{"let", "a"}, {"value", json::array()}},
      json{{"call", "DatabaseTableToArray"}, {"args", {db.dsn, none, {{"var", "a"}}, user_, "", true}}},
      json{{"call", "DatabaseTableToArray"}, {"args", {db.dsn, none, {{"var", "a"}}, user_}}},
      json{{"create", "ADODB.Connection"}, {"as", "c"}},
      json{{"on", "c"}, {"call", "Open"}, {"args", {"DSN=" + db.dsn + ";"}}},
      json{{"on", "c"}, {"call", "Execute"}, {"args", {sql_}}, {"as", "fwd"}},
      json{{"call", "RecordsetToArray"}, {"args", {{{"obj", "fwd"}}, {{"var", "a"}}}}},
      json{{"call", "RecordsetToTextFile"}, {"args", {{{"obj", "fwd"}}, path("fwd.txt"), false, ","}}},
      json{{"on", "c"}, {"call", "Execute"}, {"args", {none}}, {"as", "empty"}},
      json{{"call", "RecordsetToArray"}, {"args", {{{"obj", "empty"}}, {{"var", "a"}}}}},
  });
  EXPECT_EQ(answers[1]["result"], 1);
  EXPECT_EQ(answers[1]["vars"]["a"], json::parse(R"({"array2d": [["id", "name"]]})"));
  EXPECT_EQ(answers[2]["result"], -4);
  EXPECT_EQ(answers[6]["result"], -2);  // a forward-only server cursor reports no count
  EXPECT_EQ(answers[7]["result"], 1);   // but it can still be written out
  EXPECT_EQ(read("fwd.txt"), "1,abc\r\n2,de\"f\r\n3,x y\r\n");
  EXPECT_EQ(answers[9]["result"], -2);
}

TEST_P(DataMethods, FailuresAnswerWithTheirCodes) {
  auto answers = session({
      json{{"let", "a"}, {"value", json::array()}},
      json{{"let", "s"}, {"value", "not an array"}},
      json{{"call", "DatabaseTableToArray"}, {"args", {db.dsn, sql_, {{"var", "s"}}, user_}}},
      json{{"call", "DatabaseTableToArray"}, {"args", {"no_such_dsn", sql_, {{"var", "a"}}}}},
      json{{"call", "DatabaseTableToArray"}, {"args", {db.dsn, "SELECT * FROM no_table", {{"var", "a"}}, user_}}},
      json{{"call", "DatabaseTableToTextFile"}, {"args", {"no_such_dsn", sql_, path("x.txt")}}},
      json{{"call", "DatabaseTableToTextFile"}, {"args", {db.dsn, "SELECT * FROM no_table", path("x.txt"), user_}}},
      json{{"call", "DatabaseTableToTextFile"}, {"args", {db.dsn, sql_, path("no/such/dir.txt"), user_}}},
  });
  EXPECT_EQ(answers[2]["result"], -1);
  EXPECT_EQ(answers[3]["result"], -2);
  EXPECT_EQ(answers[4]["result"], -3);
  EXPECT_EQ(answers[5]["result"], -1);
  EXPECT_EQ(answers[6]["result"], -2);
  EXPECT_EQ(answers[7]["result"], -3);
  EXPECT_EQ(filesInDir(), 0u);
}

// A Null has no text: the methods end through their trap, and the file that was there before
// stays as it was, with nothing half-written beside it.
TEST_P(DataMethods, ANullLeavesThePreviousFile) {
  db.sql("INSERT INTO parts VALUES (4, NULL);");
  std::ofstream(path("keep.txt")) << "previous\r\n";
  auto answers = session({
      json{{"call", "DatabaseTableToTextFile"}, {"args", {db.dsn, sql_, path("keep.txt"), user_, "", true, ","}}},
      json{{"create", "ADODB.Recordset"}, {"as", "rs"}},
      json{{"on", "rs"}, {"call", "Open"}, {"args", {sql_, "DSN=" + db.dsn + ";", 3}}},
      json{{"call", "RecordsetToTextFile"}, {"args", {{{"obj", "rs"}}, path("keep.txt"), true, ","}}},
      json{{"on", "rs"}, {"get", "AbsolutePosition"}},
  });
  EXPECT_EQ(answers[0]["result"], -3);
  EXPECT_EQ(answers[3]["result"], -1);
  EXPECT_EQ(answers[4]["result"], json({{"i4", 1}}));
  EXPECT_EQ(read("keep.txt"), "previous\r\n");
  EXPECT_EQ(filesInDir(), 1u);
}

// User and password go into the connection string unchanged unless they hold a character
// that would end their value: then they are braced and cannot add keywords of their own.
TEST_P(DataMethods, CredentialsCannotAddKeywords) {
  const std::string injected = "no_such_dsn;DSN=" + db.dsn;
  auto answers = session({
      json{{"let", "a"}, {"value", json::array()}},
      json{{"call", "DatabaseTableToArray"}, {"args", {injected, sql_, {{"var", "a"}}}}},
      json{{"call", "DatabaseTableToArray"}, {"args", {db.dsn, sql_, {{"var", "a"}}, "postgres", "p;w}d{"}}},
  });
  EXPECT_EQ(answers[1]["result"], -2);
  EXPECT_EQ(answers[2]["result"], 1);
}

// A date before 1 January 100 has no Variant: reading it fails each method with its code of a
// failed read, and its Value answers an error. The last fraction of a second of 9999 stays in 9999.
TEST_P(DataMethods, DatesOutsideTheVariantRangeFailTheRead) {
  db.sql("CREATE TABLE old (d timestamp); INSERT INTO old VALUES ('0001-01-01 00:00:00');"
         "CREATE TABLE late (d timestamp); INSERT INTO late VALUES ('9999-12-31 23:59:59.9');");
  const std::string old = "SELECT d FROM old";
  tlxtest::SessionOptions options;
  options.env = config().env();
  auto answers = tlxtest::runSession(
      std::vector<json>{
          json{{"let", "a"}, {"value", json::array()}},
          json{{"call", "DatabaseTableToArray"}, {"args", {db.dsn, old, {{"var", "a"}}, user_}}},
          json{{"call", "DatabaseTableToTextFile"}, {"args", {db.dsn, old, path("old.txt"), user_}}},
          json{{"create", "ADODB.Recordset"}, {"as", "rs"}},
          json{{"on", "rs"}, {"call", "Open"}, {"args", {old, "DSN=" + db.dsn + ";", 3}}},
          json{{"call", "RecordsetToArray"}, {"args", {{{"obj", "rs"}}, {{"var", "a"}}}}},
          json{{"call", "RecordsetToTextFile"}, {"args", {{{"obj", "rs"}}, path("old.txt")}}},
          json{{"on", "rs"}, {"call", "Fields"}, {"args", {0}}, {"as", "f"}},
          json{{"on", "f"}, {"get", "Value"}},
          json{{"call", "DatabaseTableToArray"}, {"args", {db.dsn, "SELECT d FROM late", {{"var", "a"}}, user_}}},
      },
      options);
  ASSERT_EQ(answers.size(), 10u);
  EXPECT_EQ(answers[1]["result"], -4);
  EXPECT_EQ(answers[2]["result"], -3);
  EXPECT_EQ(answers[5]["result"], -2);
  EXPECT_EQ(answers[6]["result"], -1);
  EXPECT_FALSE(answers[8]["ok"].get<bool>()) << answers[8].dump();
  EXPECT_EQ(answers[9]["vars"]["a"], json::parse(R"({"array2d": [[{"date": "9999-12-31T23:59:59"}]]})")) << answers[9].dump();
  EXPECT_EQ(filesInDir(), 0u);
}

INSTANTIATE_DATABASE_TESTS(DataMethods);

}  // namespace
