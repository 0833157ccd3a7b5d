// The table sinks through the real command-line host, against SQLite and a throwaway PostgreSQL:
// rows checked with the database's own shell against an ezdxf query of the same drawing, and
// failures that must leave the table as it was before the call.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "attribute_session.h"
#include "support/database_fixture.h"

namespace tlxtest {
namespace {

namespace fs = std::filesystem;

// The lines of `text` in order, without their line ends.
std::vector<std::string> sortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.find('\r')));
  std::sort(lines.begin(), lines.end());
  return lines;
}

class TableSinks : public DatabaseTest {
 protected:
  void SetUp() override {
    DatabaseTest::SetUp();
    drawings("make " + shellQuote(drawing.string()) + " R2000");
    db.sql("CREATE TABLE blocks (size integer, name varchar(40), space varchar(8), color integer, x varchar(30),"
           " tag varchar(40)); INSERT INTO blocks VALUES (0, 'old', 'MODEL', 1, '0', 'old');");
  }

  std::string prepTemplate(const std::vector<std::string>& columns, const std::string& tag, bool suppress = false) {
    Query q;
    q.columns = columns, q.tags = {tag}, q.suppress = suppress;
    return q.write(dir / ("t" + std::to_string(templates++) + ".tpl"));
  }
  // The session opens the drawing first; answers come back without that call's.
  std::vector<json> session(std::vector<json> requests) {
    requests.insert(requests.begin(), call("OpenDocument", {drawing.string()}));
    SessionOptions options;
    options.env = config().env();
    auto answers = runSession(requests, options);
    EXPECT_EQ(answers.size(), requests.size());
    for (auto& a : answers) EXPECT_TRUE(a["ok"].get<bool>()) << a.dump();
    answers.erase(answers.begin());
    return answers;
  }
  // The caller's own connection and updatable recordset on `table`.
  std::vector<json> openRecordset(const std::string& table) {
    return {{{"create", "ADODB.Connection"}, {"as", "conn"}},
            {{"on", "conn"}, {"call", "Open"}, {"args", {"DSN=" + db.dsn + ";UID=" + user + ";PWD=;"}}},
            {{"create", "ADODB.Recordset"}, {"as", "rs"}},
            {{"on", "rs"}, {"put", "CursorLocation"}, {"value", 3}},
            {{"on", "rs"}, {"call", "Open"}, {"args", {table, {{"obj", "conn"}}, 3, 3}}}};
  }
  // What the extraction should store: the ezdxf records as "|"-joined lines.
  std::vector<std::string> expectedRows(const std::string& tag, bool suppress) {
    Query q;
    q.columns = kColumns, q.tags = {tag};
    return sortedLines(lines(q.records(drawing), false, "|", "", suppress));
  }
  std::vector<std::string> storedRows(const std::string& table) {
    return sortedLines(db.sql("SELECT * FROM " + table));
  }

  const std::vector<std::string> kColumns = {"FILE_SIZE", "BLOCK_NAME", "BLOCK_SPACE", "BLOCK_COLOR", "BLOCK_X"};
  const std::string user = "postgres";  // an empty UID would replace the PostgreSQL DSN's own
  ScratchDir scratch{"talvex-table-sinks"};
  fs::path dir = scratch.path(), drawing = dir / "Plan.dxf";
  int templates = 0;
};

// Each call in turn, by the recordset sink (on the caller's own connection and updatable recordset,
// which it leaves open) or by the table sink (by DSN): its answer, and the rows the table then
// holds. A failure rolls back the deletions and the rows alike.
TEST_P(TableSinks, EachSinkStoresItsRecordsOrLeavesTheTableAsItWas) {
  // The fourth record (the office door) breaks a rule of the doors table after three rows went in.
  db.sql("CREATE TABLE doors (name varchar(40), number varchar(40) CHECK (number <> 'O-1'));"
         "INSERT INTO doors VALUES ('old', 'x'); INSERT INTO doors VALUES ('older', 'y');");
  const std::vector<std::string> numbers = expectedRows("NUMBER", false), fire = expectedRows("FIRE", true);
  std::vector<std::string> both = numbers, doors = sortedLines("old|x\nolder|y\n"), name = {"BLOCK_NAME"};
  both.insert(both.end(), fire.begin(), fire.end());
  std::sort(both.begin(), both.end());
  const struct {
    const char* what;
    bool recordset;  // else the table sink
    std::string table;
    std::vector<std::string> columns;
    std::string tag;
    bool suppress, overwrite;
    int result;
    std::vector<std::string> rows;
  } cases[] = {
      {"overwritten", true, "blocks", kColumns, "FIRE", true, true, 5, fire},
      {"overwritten with nothing selected: every row goes, committed", true, "blocks", kColumns, "NOSUCHTAG", true, true, 0, {}},
      // RAUM and the title block lack NUMBER.
      {"overwritten", false, "blocks", kColumns, "NUMBER", false, true, 6, numbers},
      {"appended; a suppressed record never reaches the table, not even by the next AddNew", false, "blocks", kColumns,
       "FIRE", true, false, 5, both},
      {"a failure in the middle; the half-made row is gone too", true, "doors", name, "NUMBER", false, true, -3, doors},
      {"a failure in the middle", false, "doors", name, "NUMBER", false, true, -5, doors},
      {"more columns than the table has fields: the first record fails", false, "doors", {"BLOCK_NAME", "BLOCK_X"},
       "NUMBER", false, true, -5, doors},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.recordset ? "recordset, " : "table, ") + c.what);
    std::vector<json> requests = c.recordset ? openRecordset(c.table) : std::vector<json>{};
    requests.push_back(call("PrepTemplate", {prepTemplate(c.columns, c.tag, c.suppress)}));
    if (c.recordset) {
      requests.push_back(call("AttributesToRecordset", {{{"obj", "conn"}}, {{"obj", "rs"}}, c.overwrite}));
      requests.push_back({{"on", "rs"}, {"call", "MoveFirst"}});  // would store a row left pending
      requests.push_back({{"on", "conn"}, {"get", "State"}});
    } else {
      requests.push_back(call("AttributesToDatabaseTable", {db.dsn, c.table, user, "", c.overwrite}));
    }
    auto answers = session(requests);
    const json& answer = answers[c.recordset ? 6 : 1];
    EXPECT_EQ(answer["result"], c.result) << answer.dump();
    if (c.recordset) EXPECT_EQ(answers[8]["result"], json({{"i4", 1}}));
    EXPECT_EQ(storedRows(c.table), c.rows);
  }
  if (!postgres()) {  // values are stored as values, not as their text
    EXPECT_EQ(db.sql("SELECT DISTINCT typeof(size) || typeof(color) || typeof(x) FROM blocks"), "integerintegertext\n");
  }
}

TEST_P(TableSinks, ADataSourceTableOrRecordsetThatCannotTakeTheRowsHasItsOwnCode) {
  auto requests = openRecordset("blocks");
  requests[4]["args"][3] = 1;  // read-only: AddNew fails
  requests.push_back(call("PrepTemplate", {prepTemplate(kColumns, "NUMBER")}));
  requests.push_back(call("AttributesToRecordset", {{{"obj", "conn"}}, {{"obj", "rs"}}, true}));
  requests.push_back(call("AttributesToDatabaseTable", {"NoSuchSource", "blocks", user, "", true}));
  requests.push_back(call("AttributesToDatabaseTable", {db.dsn, "no_such_table", user, "", true}));
  auto answers = session(requests);
  EXPECT_EQ(answers[6]["result"], -3) << answers[6].dump();
  EXPECT_EQ(answers[7]["result"], -3);
  EXPECT_EQ(answers[8]["result"], -4);
  EXPECT_EQ(db.sql("SELECT name FROM blocks"), "old\n");
}

INSTANTIATE_DATABASE_TESTS(TableSinks);

}  // namespace
}  // namespace tlxtest
