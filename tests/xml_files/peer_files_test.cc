// The methods against Python's own readers of the same files: XMLFileToArray gives the values
// pandas.read_xml reads back from tables pandas wrote (through lxml), with the field names it gives
// the columns; XMLFileToTreeView gives minidom's walk, every node's text and parent.
#include <nlohmann/json.hpp>

#include "xml/xml_files.h"
#include "platform/xmldom/dom_document.h"
#include "xml_support.h"

namespace tlxtest {
namespace {

TEST_F(XmlTest, ArrayGivesWhatPandasReadsFromItsOwnFiles) {
  const nlohmann::json tables = nlohmann::json::parse(pythonOutput("pandas_files.py", dir.string()));
  ASSERT_EQ(tables.size(), 4u);
  for (auto& [name, table] : tables.items()) {
    SCOPED_TRACE(name);
    Variant a(SafeArray::vector(0));
    ASSERT_EQ(XMLFileToArray(u16(table["path"].get<std::string>()), a, true), 1);
    Rows got = rowsOf(a);
    ASSERT_EQ(got.size(), table["rows"].size() + 1);
    EXPECT_EQ(got[0], table["columns"].get<std::vector<std::string>>());
    for (size_t r = 0; r < table["rows"].size(); ++r)
      for (size_t c = 0; c < got[0].size(); ++c) {
        const nlohmann::json& want = table["rows"][r][c];
        // pandas has no value for an empty element; here it is an empty string.
        EXPECT_EQ(got[r + 1][c], want.is_null() ? "" : want.get<std::string>()) << "row " << r << " column " << c;
      }
  }
}

using Walk = std::vector<std::pair<std::string, int>>;

Walk minidomWalk(const std::string& path) {
  const std::string out = pythonOutput("minidom_walk.py", path);
  Walk walk;
  for (auto& item : nlohmann::json::parse(out)) walk.emplace_back(item[0].get<std::string>(), item[1].get<int>());
  return walk;
}

// The tree's nodes in the order they were added, each with the index of its parent (0: none).
Walk treeWalk(const ObjRef& tv) {
  Walk walk;
  for (const Variant& n : objectOf(getProperty(tv, "Nodes"))->enumerate()) {
    const Variant parent = getProperty(objectOf(n), "Parent");
    walk.emplace_back(show(getProperty(objectOf(n), "Text")), parent.obj() ? toI4(getProperty(parent.obj(), "Index")) : 0);
  }
  return walk;
}

TEST_F(XmlTest, TreeViewMatchesMinidomNodeForNode) {
  const std::string path = file("doc.xml",
      "<?xml version='1.0' encoding='UTF-8'?>\n"
      "<!DOCTYPE catalog [<!ENTITY co 'Acme &amp; S\xC3\xB6hne'>]>\n"
      "<catalog lang='de'>\n"
      "  <!-- parts -->\n"
      "  <part id='1'><name>Schraube \xE2\x80\x93 M6</name><maker>&co;</maker></part>\n"
      "  <part id='2'>mixed <b>bold</b> tail<empty/><![CDATA[<raw>]]></part>\n"
      "  <?pi data?>\n"
      "  <deep><a><b><c><d>bottom</d></c></b></a></deep>\n"
      "</catalog>\n");
  ObjRef tv = createObject("MSComctlLib.TreeCtrl");
  ASSERT_EQ(XMLFileToTreeView(u16(path), tv, true), 1);
  const Walk expected = minidomWalk(path);
  ASSERT_GT(expected.size(), 15u);
  EXPECT_EQ(treeWalk(tv), expected);
  for (const Variant& n : objectOf(getProperty(tv, "Nodes"))->enumerate())
    EXPECT_TRUE(toBool(getProperty(objectOf(n), "Expanded")));
}

TEST_F(XmlTest, TreeViewKeepsItsNodesAndAddsTheRootAfterThem) {
  ObjRef tv = createObject("MSComctlLib.TreeCtrl");
  callMethod(objectOf(getProperty(tv, "Nodes")), "Add", {Variant::missing(), Variant::missing(), Variant::missing(), Variant(u"old")});
  ASSERT_EQ(XMLFileToTreeView(u16(file("r.xml", "<r>hello</r>")), tv), 1);
  EXPECT_EQ(treeWalk(tv), (Walk{{"old", 0}, {"<r>", 0}, {"hello", 2}}));
  for (const Variant& n : objectOf(getProperty(tv, "Nodes"))->enumerate())
    EXPECT_FALSE(toBool(getProperty(objectOf(n), "Expanded")));
  // A file that does not parse leaves the tree as it was.
  EXPECT_EQ(XMLFileToTreeView(u16(file("bad.xml", "<r><x></r>")), tv), -3);
  EXPECT_EQ(XMLFileToTreeView(u16((dir / "none.xml").string()), tv), -3);
  EXPECT_EQ(treeWalk(tv).size(), 3u);
  // Without any DOM document to create.
  for (const char* id : {"Msxml2.DOMDocument.4.0", "Msxml2.DOMDocument.3.0", "Msxml2.DOMDocument.2.6", "Msxml.DOMDocument"})
    unregisterClass(id);
  EXPECT_EQ(XMLFileToTreeView(u16(file("r.xml", "<r/>")), tv), -1);
  registerDomDocuments();
}

}  // namespace
}  // namespace tlxtest
