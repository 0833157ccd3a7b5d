// The table sinks through the real command-line host, against SQLite and a throwaway PostgreSQL:
// rows checked with the database's own shell against an ezdxf query of the same drawing, and
// failures that must leave the table as it was before the call.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "support/database_fixture.h"
#include "support/talvex_session.h"

namespace tlxtest {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

std::string drawings(const std::string& args) { return python("tests/attributes_e2e/attribute_drawings.py", args); }

json call(const std::string& method, json args = json::array()) { return {{"call", method}, {"args", std::move(args)}}; }

std::vector<std::string> sortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
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

  std::string prepTemplate(const std::vector<std::string>& columns, const std::string& tags) {
    std::string name = (dir / ("t" + std::to_string(templates++) + ".tpl")).string();
    std::ofstream out(name, std::ios::binary);
    out << "*INPUT\nBLOCK: *\nLAYER: *\nSPACE: *\n*OUTPUT\n";
    for (auto& c : columns) out << c << "\n";
    out << "*ATTRIBUTE_TAGS\n" << tags;
    return name;
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
  json toTable(const std::string& tpl, const std::string& table, bool overwrite) {
    return session({call("PrepTemplate", {tpl}), call("AttributesToDatabaseTable", {db.dsn, table, user, "", overwrite})})[1];
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
    json query = {{"blocks", "*"}, {"layers", "*"}, {"space", "*"}, {"columns", kColumns}, {"tags", {tag}}};
    json recs = json::parse(drawings("records " + shellQuote(drawing.string()) + " " + shellQuote(query.dump())));
    std::string text;
    for (auto& r : recs) {
      if (suppress && !r["found"].get<bool>()) continue;
      std::string line;
      for (auto& f : r["fields"]) line += (line.empty() ? "" : "|") + f.get<std::string>();
      text += line + "\n";
    }
    return sortedLines(text);
  }
  std::vector<std::string> storedRows(const std::string& table = "blocks") {
    return sortedLines(db.sql("SELECT * FROM " + table));
  }

  const std::vector<std::string> kColumns = {"FILE_SIZE", "BLOCK_NAME", "BLOCK_SPACE", "BLOCK_COLOR", "BLOCK_X"};
  const std::string user = "postgres";  // an empty UID would replace the PostgreSQL DSN's own
  ScratchDir scratch{"talvex-table-sinks"};
  fs::path dir = scratch.path(), drawing = dir / "Plan.dxf";
  int templates = 0;
};

TEST_P(TableSinks, TheTableGetsOneRowPerRecordOverwrittenOrAppended) {
  auto answers = session({
      call("PrepTemplate", {prepTemplate(kColumns, "NUMBER\n")}),
      call("AttributesToDatabaseTable", {db.dsn, "blocks", user, "", true}),
  });
  EXPECT_EQ(answers[1]["result"], 6) << answers[1].dump();  // RAUM and the title block lack NUMBER
  auto numbers = expectedRows("NUMBER", false);
  ASSERT_EQ(numbers.size(), 8u);
  EXPECT_EQ(storedRows(), numbers);
  if (!postgres()) {  // values are stored as values, not as their text
    EXPECT_EQ(db.sql("SELECT DISTINCT typeof(size) || typeof(color) || typeof(x) FROM blocks"), "integerintegertext\n");
  }

  // Appended, and a suppressed record never reaches the table, not even by the next AddNew.
  answers = session({
      call("PrepTemplate", {prepTemplate(kColumns, "FIRE\n*SUPPRESS\n")}),
      call("AttributesToDatabaseTable", {db.dsn, "blocks", user, "", false}),
  });
  EXPECT_EQ(answers[1]["result"], 5);
  auto both = numbers;
  for (auto& row : expectedRows("FIRE", true)) both.push_back(row);
  std::sort(both.begin(), both.end());
  EXPECT_EQ(storedRows(), both);
}

TEST_P(TableSinks, TheRecordsetSinkUsesTheCallersObjectsAndLeavesThemOpen) {
  auto requests = openRecordset("blocks");
  requests.push_back(call("PrepTemplate", {prepTemplate(kColumns, "FIRE\n*SUPPRESS\n")}));
  requests.push_back(call("AttributesToRecordset", {{{"obj", "conn"}}, {{"obj", "rs"}}, true}));
  requests.push_back({{"on", "rs"}, {"call", "MoveFirst"}});  // would store a row left pending
  requests.push_back({{"on", "rs"}, {"get", "RecordCount"}});
  requests.push_back({{"on", "conn"}, {"get", "State"}});
  auto answers = session(requests);
  EXPECT_EQ(answers[6]["result"], 5) << answers[6].dump();
  EXPECT_EQ(answers[8]["result"], json({{"i4", 5}}));
  EXPECT_EQ(answers[9]["result"], json({{"i4", 1}}));
  EXPECT_EQ(storedRows(), expectedRows("FIRE", true));

  // Overwrite with nothing selected: every row goes, and that is committed.
  requests = openRecordset("blocks");
  requests.push_back(call("PrepTemplate", {prepTemplate(kColumns, "NOSUCHTAG\n*SUPPRESS\n")}));
  requests.push_back(call("AttributesToRecordset", {{{"obj", "conn"}}, {{"obj", "rs"}}, true}));
  answers = session(requests);
  EXPECT_EQ(answers[6]["result"], 0);
  EXPECT_EQ(db.sql("SELECT count(*) FROM blocks"), "0\n");
}

TEST_P(TableSinks, AFailureInTheMiddleRollsBackTheDeletionsAndTheRowsAlike) {
  // The fourth record (the office door) breaks a rule of the table after three rows went in.
  db.sql("CREATE TABLE doors (name varchar(40), number varchar(40) CHECK (number <> 'O-1'));"
         "INSERT INTO doors VALUES ('old', 'x'); INSERT INTO doors VALUES ('older', 'y');");
  const std::vector<std::string> before = sortedLines("old|x\nolder|y\n");
  std::string tpl = prepTemplate({"BLOCK_NAME"}, "NUMBER\n");
  EXPECT_EQ(toTable(tpl, "doors", true)["result"], -5);
  EXPECT_EQ(storedRows("doors"), before);

  auto requests = openRecordset("doors");
  requests.push_back(call("PrepTemplate", {tpl}));
  requests.push_back(call("AttributesToRecordset", {{{"obj", "conn"}}, {{"obj", "rs"}}, true}));
  requests.push_back({{"on", "rs"}, {"call", "MoveFirst"}});  // the half-made row is gone too
  requests.push_back({{"on", "conn"}, {"call", "Close"}});
  auto answers = session(requests);
  EXPECT_EQ(answers[6]["result"], -3) << answers[6].dump();
  EXPECT_EQ(storedRows("doors"), before);

  // More columns than the table has fields: the first record fails.
  EXPECT_EQ(toTable(prepTemplate({"BLOCK_NAME", "BLOCK_X"}, "NUMBER\n"), "doors", true)["result"], -5);
  EXPECT_EQ(storedRows("doors"), before);
}

TEST_P(TableSinks, ADataSourceTableOrRecordsetThatCannotTakeTheRowsHasItsOwnCode) {
  auto requests = openRecordset("blocks");
  requests[4]["args"][3] = 1;  // read-only: AddNew fails
  requests.push_back(call("PrepTemplate", {prepTemplate(kColumns, "NUMBER\n")}));
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
