// The real checks through the command-line host: controls created by identifier, filled through
// their members, and read or filled by the control's methods.
#include "controls_support.h"
#include "support/talvex_session.h"

namespace tlxtest {
namespace {

using nlohmann::json;

json create(const std::string& progId, const std::string& as) { return {{"create", progId}, {"as", as}}; }
json on(const std::string& obj, const std::string& kind, const std::string& member, json args = json::array()) {
  return {{"on", obj}, {kind, member}, {"args", std::move(args)}};
}
json putOn(const std::string& obj, const std::string& member, json value, json args = json::array()) {
  return {{"on", obj}, {"put", member}, {"value", std::move(value)}, {"args", std::move(args)}};
}
json call(const std::string& method, json args) { return {{"call", method}, {"args", std::move(args)}}; }
json let(const std::string& name, json value) { return {{"let", name}, {"value", std::move(value)}}; }
const json kVar(const std::string& name) { return {{"var", name}}; }

std::vector<json> run(const std::vector<json>& requests) {
  auto answers = runSession(requests);
  EXPECT_EQ(answers.size(), requests.size());
  for (size_t i = 0; i < answers.size(); ++i) EXPECT_TRUE(answers[i]["ok"].get<bool>()) << requests[i] << answers[i];
  return answers;
}

// The methods themselves are pinned in process; here the host creates the controls, fills them
// through their members and hands them to the methods as objects.
TEST(ControlsSession, ControlsMadeInTheSessionPassToTheMethods) {
  std::vector<json> rq = {
      create("VB.ListBox", "lb"), putOn("lb", "MultiSelect", 1),
      on("lb", "call", "AddItem", {"a"}), on("lb", "call", "AddItem", {"b"}), on("lb", "call", "AddItem", {"c"}),
      putOn("lb", "Selected", true, {1}), putOn("lb", "Selected", true, {2}),
      let("sel", json::array()), call("ListBoxToOneDArray", {{{"obj", "lb"}}, kVar("sel"), true}),  // 8
      call("ComboBoxToOneDArray", {{{"obj", "lb"}}, kVar("sel")}),                                    // 9
      create("MSFlexGridLib.MSFlexGrid", "fg"),
      let("grid", {{"array2d", {{"", "Q1", "Q2"}, {"North", 10, 12.5}, {"South", 7, 9}}}}),
      call("TwoDArrayToFlexGrid", {kVar("grid"), {{"obj", "fg"}}}),  // 12
      on("fg", "get", "TextMatrix", {1, 2}),                           // 13
      let("out", json::array()), call("FlexGridToArray", {{{"obj", "fg"}}, kVar("out"), 1, 1}),  // 15
  };
  auto a = run(rq);
  EXPECT_EQ(a[8]["vars"]["sel"], json::array({"b", "c"}));
  EXPECT_EQ(a[9]["result"], -1);
  EXPECT_EQ(a[12]["result"], 1);
  EXPECT_EQ(a[13]["result"], "12.5");
  EXPECT_EQ(a[15]["vars"]["out"], json::parse(R"({"array2d": [["10", "12.5"], ["7", "9"]]})"));
}

// The grid over a real Recordset of 1,000 rows from a SQLite database through its ODBC driver,
// 20 rows visible, with a counted (static) cursor and with a forward-only one that does not know
// its count.
TEST(ControlsSession, DataGridOverARealRecordset) {
  ScratchTree t;
  const std::string db = (t.root / "rows.db").string();
  const std::string make = "sqlite3 '" + db + "' \"CREATE TABLE t(id INTEGER, name TEXT); "
                           "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 999) "
                           "INSERT INTO t SELECT i, 'row ' || i FROM n;\"";
  ASSERT_EQ(std::system(make.c_str()), 0);
  t.file("odbcinst.ini", "[SQLite3Local]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n");
  t.file("odbc.ini", "[rows]\nDriver=SQLite3Local\nDatabase=" + db + "\n");
  SessionOptions options;
  options.env = {{"ODBCSYSINI", t.root.string()}, {"ODBCINI", (t.root / "odbc.ini").string()}};
  for (int cursorType : {3, 0}) {
    std::vector<json> rq = {
        create("ADODB.Recordset", "rs"),
        on("rs", "call", "Open", {"SELECT id, name FROM t ORDER BY id", "DSN=rows;", cursorType}),
        create("MSDataGridLib.DataGrid", "dg"), putOn("dg", "RowHeight", 225), putOn("dg", "Height", 225 * 21),
        putOn("dg", "DataSource", {{"obj", "rs"}}), on("dg", "get", "VisibleRows"),
        let("out", json::array()), call("DataGridToArray", {{{"obj", "dg"}}, kVar("out"), true})};
    auto a = runSession(rq, options);
    ASSERT_EQ(a.size(), rq.size());
    for (size_t i = 0; i < a.size(); ++i) ASSERT_TRUE(a[i]["ok"].get<bool>()) << rq[i] << a[i];
    EXPECT_EQ(a[6]["result"], 20);
    EXPECT_EQ(a.back()["result"], 1);
    const json& rows = a.back()["vars"]["out"]["array2d"];
    ASSERT_EQ(rows.size(), 1001u) << "cursor type " << cursorType;
    EXPECT_EQ(rows[0], json::array({"id", "name"}));
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(rows[i + 1][1], "row " + std::to_string(i)) << i;
  }
}

}  // namespace
}  // namespace tlxtest
