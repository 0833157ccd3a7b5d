// The real checks through the command-line host: controls created by identifier, filled through
// their members, and read or filled by the control's methods.
#include <random>

#include "controls_support.h"
#include "support/talvex_session.h"

namespace tlxtest {
namespace {

using nlohmann::json;

json create(const std::string& progId, const std::string& as) { return {{"create", progId}, {"as", as}}; }
json on(const std::string& obj, const std::string& kind, const std::string& member, json args = json::array(),
        std::string as = "") {
  json r{{"on", obj}, {kind, member}, {"args", std::move(args)}};
  if (!as.empty()) r["as"] = as;
  return r;
}
json putOn(const std::string& obj, const std::string& member, json value, json args = json::array()) {
  return {{"on", obj}, {"put", member}, {"value", std::move(value)}, {"args", std::move(args)}};
}
json call(const std::string& method, json args) { return {{"call", method}, {"args", std::move(args)}}; }
json let(const std::string& name, json value) { return {{"let", name}, {"value", std::move(value)}}; }
const json kVar(const std::string& name) { return {{"var", name}}; }
const json kMissing = {{"missing", true}};

std::vector<json> run(const std::vector<json>& requests) {
  auto answers = runSession(requests);
  EXPECT_EQ(answers.size(), requests.size());
  for (size_t i = 0; i < answers.size(); ++i) EXPECT_TRUE(answers[i]["ok"].get<bool>()) << requests[i] << answers[i];
  return answers;
}

TEST(ControlsSession, ListBoxesFileSystemListsAndTextBoxes) {
  ScratchTree t;
  t.dir("Reports");
  t.dir("archive");
  t.file("a.txt");
  t.file("b.csv");
  t.file("c.log");
  t.file(".hidden.txt");
  const std::string root = t.root.string();
  std::vector<json> rq = {
      create("VB.ListBox", "lb"), putOn("lb", "MultiSelect", 1),
      on("lb", "call", "AddItem", {"a"}), on("lb", "call", "AddItem", {"b"}), on("lb", "call", "AddItem", {"c"}),
      putOn("lb", "Selected", true, {1}), putOn("lb", "Selected", true, {2}),
      let("sel", json::array()), call("ListBoxToOneDArray", {{{"obj", "lb"}}, kVar("sel"), true}),  // 8
      call("ComboBoxToOneDArray", {{{"obj", "lb"}}, kVar("sel")}),                                    // 9
      create("VB.DirListBox", "dlb"), putOn("dlb", "Path", root),
      let("dirs", json::array()), call("DirListBoxToOneDArray", {{{"obj", "dlb"}}, kVar("dirs")}),  // 13
      create("VB.FileListBox", "flb"), putOn("flb", "Path", root), putOn("flb", "Pattern", "*.txt;*.csv"),
      let("files", json::array()), call("FileListBoxToOneDArray", {{{"obj", "flb"}}, kVar("files")}),  // 18
      putOn("flb", "Hidden", true), on("flb", "call", "Refresh"),
      call("FileListBoxToOneDArray", {{{"obj", "flb"}}, kVar("files")}),  // 21
      create("VB.DriveListBox", "drv"), let("drives", json::array()),
      call("DriveListBoxToOneDArray", {{{"obj", "drv"}}, kVar("drives")}),  // 24
      create("VB.TextBox", "tb"), putOn("tb", "Text", "x\r\ny\nz\rw"),
      let("lines", json::array()), call("TextBoxToOneDArray", {{{"obj", "tb"}}, kVar("lines")}),  // 28
      create("RichText.RichTextCtrl", "rtb"), putOn("rtb", "Text", "one\r\ntwo"),
      on("rtb", "get", "TextRTF", json::array(), "rtf"), putOn("rtb", "TextRTF", kVar("rtf")),
      call("RichTextBoxToOneDArray", {{{"obj", "rtb"}}, kVar("lines")}),  // 33
  };
  auto a = run(rq);
  EXPECT_EQ(a[8]["vars"]["sel"], json::array({"b", "c"}));
  EXPECT_EQ(a[9]["result"], -1);
  EXPECT_EQ(a[13]["vars"]["dirs"], json::array({root + "/archive", root + "/Reports"}));
  EXPECT_EQ(a[18]["vars"]["files"], json::array({"a.txt", "b.csv"}));
  EXPECT_EQ(a[21]["vars"]["files"], json::array({".hidden.txt", "a.txt", "b.csv"}));
  EXPECT_EQ(a[24]["vars"]["drives"][0], "/");
  EXPECT_EQ(a[28]["vars"]["lines"], json::array({"x", "y", "zw"}));
  EXPECT_EQ(a[33]["vars"]["lines"], json::array({"one", "two"}));

  // A path that does not exist is the control's error, as the host reports it.
  auto missing = runSession(std::vector<json>{create("VB.FileListBox", "f"), putOn("f", "Path", root + "/none")});
  EXPECT_FALSE(missing[1]["ok"].get<bool>());
  EXPECT_EQ(missing[1]["error"]["description"], "Path not found");
}

TEST(ControlsSession, FlexGridAndListView) {
  std::vector<json> rq = {
      create("MSFlexGridLib.MSFlexGrid", "fg"),
      let("grid", {{"array2d", {{"", "Q1", "Q2"}, {"North", 10, 12.5}, {"South", 7, 9}}}}),
      call("TwoDArrayToFlexGrid", {kVar("grid"), {{"obj", "fg"}}}),  // 2
      on("fg", "get", "TextMatrix", {1, 2}),                           // 3
      let("out", json::array()), call("FlexGridToArray", {{{"obj", "fg"}}, kVar("out"), 1, 1}),  // 5
      create("MSComctlLib.ListViewCtrl", "lv"), on("lv", "get", "ColumnHeaders", json::array(), "ch"),
      on("ch", "call", "Add", {kMissing, kMissing, "Name"}), on("ch", "call", "Add", {kMissing, kMissing, "Size"}),
      on("lv", "get", "ListItems", json::array(), "li"),
      on("li", "call", "Add", {kMissing, "k1", "a.txt"}, "i1"), putOn("i1", "SubItems", "12", {1}),
      on("li", "call", "Add", {kMissing, "k2", "b.txt"}, "i2"), putOn("i2", "SubItems", "40", {1}),
      putOn("i2", "Selected", true),
      call("ListViewToArray", {{{"obj", "lv"}}, kVar("out"), false, true}),  // 16
      call("ListViewToArray", {{{"obj", "lv"}}, kVar("out"), true}),         // 17
  };
  auto a = run(rq);
  EXPECT_EQ(a[2]["result"], 1);
  EXPECT_EQ(a[3]["result"], "12.5");
  EXPECT_EQ(a[5]["vars"]["out"], json::parse(R"({"array2d": [["10", "12.5"], ["7", "9"]]})"));
  EXPECT_EQ(a[16]["vars"]["out"], json::parse(R"({"array2d": [["Name", "Size"], ["a.txt", "12"], ["b.txt", "40"]]})"));
  EXPECT_EQ(a[17]["vars"]["out"], json::parse(R"({"array2d": [["b.txt", "40"]]})"));
}

// A random tree made through Nodes.Add in the session, read out in both modes, rebuilt, and read
// out again: the same outline both times, so the rebuilt tree has the same texts and parents.
TEST(ControlsSession, RandomTreesRoundTripThroughTheHost) {
  std::mt19937 rng(7);
  std::vector<json> rq = {create("MSComctlLib.TreeCtrl", "tv"), on("tv", "get", "Nodes", json::array(), "nodes")};
  std::vector<std::string> chain;
  for (int i = 0; i < 60; ++i) {
    const size_t depth = chain.empty() ? 0 : std::uniform_int_distribution<size_t>(0, std::min<size_t>(chain.size(), 4))(rng);
    chain.resize(depth);
    const std::string key = "k" + std::to_string(i);
    json args = depth ? json{chain.back(), 4, key, "node " + std::to_string(i)} : json{kMissing, kMissing, key, "node " + std::to_string(i)};
    rq.push_back(on("nodes", "call", "Add", args));
    chain.push_back(key);
  }
  const size_t first = rq.size();
  for (bool suppress : {false, true}) {
    const std::string tag = suppress ? "s" : "f";
    rq.push_back(let(tag + "1", json::array()));
    rq.push_back(call("TreeViewToTwoDArray", {{{"obj", "tv"}}, kVar(tag + "1"), suppress}));
    rq.push_back(create("MSComctlLib.TreeCtrl", tag + "tv"));
    rq.push_back(call("TwoDArrayToTreeView", {kVar(tag + "1"), {{"obj", tag + "tv"}}, true}));
    rq.push_back(let(tag + "2", json::array()));
    rq.push_back(call("TreeViewToTwoDArray", {{{"obj", tag + "tv"}}, kVar(tag + "2"), suppress}));
  }
  auto a = run(rq);
  for (size_t k = 0; k < 2; ++k) {
    const size_t base = first + 6 * k;
    for (size_t step : {1, 3, 5}) EXPECT_EQ(a[base + step]["result"], 1) << a[base + step];
    EXPECT_EQ(a[base + 1]["vars"].begin().value(), a[base + 5]["vars"].begin().value());
  }
  // Without suppression there is one row per node.
  EXPECT_EQ(a[first + 1]["vars"]["f1"]["array2d"].size(), 60u);
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
