// The four recordset and database-table methods through the real command-line host, against
// SQLite and a throwaway PostgreSQL; files they write are read back by Python's csv module and
// compared with what the database's own shell returns.
#include <gtest/gtest.h>

#include <filesystem>
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
  // One answer per request; all of them ok unless told otherwise.
  std::vector<json> session(const std::vector<json>& requests, bool allOk = true) {
    tlxtest::SessionOptions options;
    options.env = config().env();
    auto answers = tlxtest::runSession(requests, options);
    EXPECT_EQ(answers.size(), requests.size());
    for (auto& a : answers) EXPECT_TRUE(a["ok"].get<bool>() || !allOk) << a.dump();
    return answers;
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string read(const std::string& name) const { return tlxtest::readFile(path(name)); }
  // The rows as Python's csv module reads them, one line per row, fields joined by "|".
  std::string csvRows(const std::string& name) const {
    return tlxtest::shell("/usr/bin/python3 -c \"import csv,sys; [print('|'.join(r)) for r in "
                          "csv.reader(open(sys.argv[1], newline='', encoding='utf-8'))]\" " +
                          tlxtest::shellQuote(path(name)));
  }
  size_t filesInDir() const { return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir_), {})); }

  tlxtest::ScratchDir scratch_{"talvex-data"};
  const std::filesystem::path dir_ = scratch_.path();
  const std::string sql_ = "SELECT id, name FROM parts ORDER BY id";
  // An empty UID in the connection string replaces the DSN's own user for psqlODBC.
  const std::string user_ = "postgres";
};

// The two table methods, each call with its answer and what it gave: the array, or the text file
// by the line rule; Python's csv module reads the rows the database holds. User and password go
// into the connection string unchanged unless they hold a character that would end their value:
// then they are braced and cannot add keywords of their own.
TEST_P(DataMethods, TableMethodsAnswerWithTheirCodes) {
  db.sql("CREATE TABLE wide (n integer, t varchar(30), r double precision);"
         "INSERT INTO wide VALUES (10, 'plain text', 0.5); INSERT INTO wide VALUES (-7, 'ünïcode', 1.25);"
         "INSERT INTO wide VALUES (0, 'third', 100.5);");
  const std::string wide = "SELECT n, t, r FROM wide ORDER BY n";
  const std::string none = "SELECT id, name FROM parts WHERE id > 99";
  const json a = {{"var", "a"}};
  struct Case {
    std::string method;
    json args;
    int result;
    json array;         // the array afterwards, unless null
    std::string bytes;  // the text file's bytes, unless empty
  };
  const Case cases[] = {
      {"DatabaseTableToArray", {db.dsn, sql_, a, user_, "", true}, 1,
       {{"array2d", {{"id", "name"}, {{{"i4", 1}}, "abc"}, {{{"i4", 2}}, "de\"f"}, {{{"i4", 3}}, "x y"}}}}},
      {"DatabaseTableToArray", {db.dsn, sql_, a, "postgres", "p;w}d{"}, 1,
       {{"array2d", {{{{"i4", 1}}, "abc"}, {{{"i4", 2}}, "de\"f"}, {{{"i4", 3}}, "x y"}}}}},
      {"DatabaseTableToArray", {db.dsn, none, a, user_, "", true}, 1, json::parse(R"({"array2d": [["id", "name"]]})")},
      {"DatabaseTableToArray", {db.dsn, none, a, user_}, -4},
      {"DatabaseTableToArray", {db.dsn, sql_, {{"var", "s"}}, user_}, -1},
      {"DatabaseTableToArray", {"no_such_dsn", sql_, a}, -2},
      {"DatabaseTableToArray", {"no_such_dsn;DSN=" + db.dsn, sql_, a}, -2},
      {"DatabaseTableToArray", {db.dsn, "SELECT * FROM no_table", a, user_}, -3},
      {"DatabaseTableToTextFile", {db.dsn, sql_, "q.csv", user_, "", true, ",", true}, 1, nullptr,
       "\"id\",\"name\"\r\n\"1\",\"abc\"\r\n\"2\",\"de\"f\"\r\n\"3\",\"x y\"\r\n"},
      {"DatabaseTableToTextFile", {db.dsn, sql_, "plain.csv", user_, "", false, ","}, 1, nullptr, "1,abc\r\n2,de\"f\r\n3,x y\r\n"},
      {"DatabaseTableToTextFile", {db.dsn, sql_, "run.txt", user_}, 1, nullptr, "1abc\r\n2de\"f\r\n3x y\r\n"},
      {"DatabaseTableToTextFile", {db.dsn, "SELECT name FROM parts ORDER BY id", "one.txt", user_, "", true, ","}, 1,
       nullptr, "name\r\nabc\r\nde\"f\r\nx y\r\n"},
      {"DatabaseTableToTextFile", {db.dsn, wide, "w.csv", user_, "", false, ",", true}, 1},
      {"DatabaseTableToTextFile", {"no_such_dsn", sql_, "x.txt"}, -1},
      {"DatabaseTableToTextFile", {db.dsn, "SELECT * FROM no_table", "x.txt", user_}, -2},
      {"DatabaseTableToTextFile", {db.dsn, sql_, "no/such/dir.txt", user_}, -3},
  };
  std::vector<json> requests = {json{{"let", "s"}, {"value", "not an array"}}};
  for (const Case& c : cases) {
    json args = c.args;
    if (c.method == "DatabaseTableToTextFile") args[2] = path(args[2].get<std::string>());
    requests.push_back(json{{"let", "a"}, {"value", json::array()}});
    requests.push_back(json{{"call", c.method}, {"args", args}});
  }
  auto answers = session(requests);
  size_t written = 0;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.method + " " + c.args.dump());
    const json& answer = answers[2 * i + 2];
    EXPECT_EQ(answer["result"], c.result);
    if (!c.array.is_null()) EXPECT_EQ(answer["vars"]["a"], c.array);
    if (!c.bytes.empty()) EXPECT_EQ(read(c.args[2].get<std::string>()), c.bytes);
    written += c.method == "DatabaseTableToTextFile" && c.result == 1;
  }
  EXPECT_EQ(csvRows("w.csv"), db.sql(wide + ";"));
  EXPECT_EQ(filesInDir(), written);  // failed calls leave no file
}

// The recordset methods leave a static recordset on its first record; a forward-only one cannot be
// counted into an array but can still be written out.
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
      json{{"create", "ADODB.Connection"}, {"as", "c"}},
      json{{"on", "c"}, {"call", "Open"}, {"args", {"DSN=" + db.dsn + ";"}}},
      json{{"on", "c"}, {"call", "Execute"}, {"args", {sql_}}, {"as", "fwd"}},
      json{{"call", "RecordsetToArray"}, {"args", {{{"obj", "fwd"}}, {{"var", "a"}}}}},
      json{{"call", "RecordsetToTextFile"}, {"args", {{{"obj", "fwd"}}, path("fwd.txt"), false, ","}}},
      json{{"on", "c"}, {"call", "Execute"}, {"args", {"SELECT id FROM parts WHERE id > 99"}}, {"as", "empty"}},
      json{{"call", "RecordsetToArray"}, {"args", {{{"obj", "empty"}}, {{"var", "a"}}}}},
  });
  for (auto [i, result] : {std::pair<int, json>{4, 1}, {6, "abc"}, {7, 1}, {8, "abc"}, {12, -2}, {13, 1}, {15, -2}})
    EXPECT_EQ(answers[i]["result"], result) << i;
  EXPECT_EQ(answers[4]["vars"]["a"]["array2d"].size(), 4u);
  EXPECT_EQ(read("rs.txt"), "1;abc\r\n2;de\"f\r\n3;x y\r\n");
  EXPECT_EQ(read("fwd.txt"), "1,abc\r\n2,de\"f\r\n3,x y\r\n");
}

// A Null has no text, and a date before 1 January 100 no Variant: reading either fails each method
// through its trap with its code of a failed read, the file that was there before stays as it was
// with nothing half-written beside it, and the field's Value answers an error. The last fraction
// of a second of 9999 stays in 9999.
TEST_P(DataMethods, ValuesWithoutTextOrVariantFailTheRead) {
  db.sql("INSERT INTO parts VALUES (4, NULL);"
         "CREATE TABLE old (d timestamp); INSERT INTO old VALUES ('0001-01-01 00:00:00');"
         "CREATE TABLE late (d timestamp); INSERT INTO late VALUES ('9999-12-31 23:59:59.9');");
  const std::string old = "SELECT d FROM old", keep = scratch_.write("keep.txt", "previous\r\n");
  auto answers = session(
      {
          json{{"let", "a"}, {"value", json::array()}},
          json{{"call", "DatabaseTableToArray"}, {"args", {db.dsn, old, {{"var", "a"}}, user_}}},
          json{{"call", "DatabaseTableToTextFile"}, {"args", {db.dsn, old, keep, user_}}},
          json{{"call", "DatabaseTableToTextFile"}, {"args", {db.dsn, sql_, keep, user_, "", true, ","}}},
          json{{"create", "ADODB.Recordset"}, {"as", "rs"}},
          json{{"on", "rs"}, {"call", "Open"}, {"args", {old, "DSN=" + db.dsn + ";", 3}}},
          json{{"call", "RecordsetToArray"}, {"args", {{{"obj", "rs"}}, {{"var", "a"}}}}},
          json{{"call", "RecordsetToTextFile"}, {"args", {{{"obj", "rs"}}, keep}}},
          json{{"on", "rs"}, {"call", "Fields"}, {"args", {0}}, {"as", "f"}},
          json{{"on", "f"}, {"get", "Value"}},
          json{{"create", "ADODB.Recordset"}, {"as", "nulls"}},
          json{{"on", "nulls"}, {"call", "Open"}, {"args", {sql_, "DSN=" + db.dsn + ";", 3}}},
          json{{"call", "RecordsetToTextFile"}, {"args", {{{"obj", "nulls"}}, keep, true, ","}}},
          json{{"on", "nulls"}, {"get", "AbsolutePosition"}},
          json{{"call", "DatabaseTableToArray"}, {"args", {db.dsn, "SELECT d FROM late", {{"var", "a"}}, user_}}},
      },
      false);
  ASSERT_EQ(answers.size(), 15u);
  // A failed read: -4 and -3 from the table methods, -2 and -1 from the recordset ones.
  for (auto [i, code] : {std::pair{1, -4}, {2, -3}, {3, -3}, {6, -2}, {7, -1}, {12, -1}})
    EXPECT_EQ(answers[i]["result"], code) << answers[i].dump();
  EXPECT_FALSE(answers[9]["ok"].get<bool>()) << answers[9].dump();
  EXPECT_EQ(answers[13]["result"], json({{"i4", 1}}));
  EXPECT_EQ(answers[14]["vars"]["a"], json::parse(R"({"array2d": [[{"date": "9999-12-31T23:59:59"}]]})")) << answers[14].dump();
  EXPECT_EQ(read("keep.txt"), "previous\r\n");
  EXPECT_EQ(filesInDir(), 1u);
}

INSTANTIATE_DATABASE_TESTS(DataMethods);

}  // namespace
