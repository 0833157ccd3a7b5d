// The three methods in process, over the real components, with their result codes; and through
// the real host, as a caller's session makes them: a file whose external entity points at a secret
// fails each of them with its code, and nothing of the secret reaches the caller (the parser's own
// tests hold the other hostile inputs).
#include "automation/test_objects.h"
#include "platform/ado/ado.h"
#include "support/talvex_session.h"
#include "xml/xml_files.h"
#include "xml_support.h"

namespace tlxtest {
namespace {

Variant emptyArray() { return Variant(SafeArray::vector(0)); }

TEST_F(XmlTest, ArrayLeavesTextAndChaptersOutOfTheRowsButNamesChaptersInTheHeadings) {
  const BStr path = u16(file("t.xml", "<t><r a='1'><b>x</b><c><d/></c></r><r a='2'><b>y</b></r></t>"));
  Variant a = emptyArray();
  ASSERT_EQ(XMLFileToArray(path, a, true), 1);
  EXPECT_EQ(rowsOf(a), (Rows{{"a", "b", "c"}, {"1", "x", "<empty>"}, {"2", "y", "<empty>"}}));
  ASSERT_EQ(XMLFileToArray(path, a), 1);
  EXPECT_EQ(rowsOf(a), (Rows{{"1", "x", "<empty>"}, {"2", "y", "<empty>"}}));
  EXPECT_EQ(a.arrayRef().lbound(1), 0);
}

// A recordset that cannot count its records, standing in for the data-access component.
class UncountedRecordset : public Object<UncountedRecordset> {
 public:
  static const Members<UncountedRecordset>& members() {
    static const Members<UncountedRecordset> table = [] {
      Members<UncountedRecordset> m;
      m.property("ActiveConnection", [](UncountedRecordset&, Args&) { return Variant(); },
                 [](UncountedRecordset&, Args&, const Variant&) {});
      m.method("Open", {"Source"}, [](UncountedRecordset&, Args&) { return Variant(); });
      m.property("RecordCount", [](UncountedRecordset&, Args&) { return Variant(int32_t{-1}); });
      // Its own Fields collection, of three fields.
      m.property("Fields", [](UncountedRecordset& s, Args&) { return Variant(ObjRef(&s)); });
      m.property("Count", [](UncountedRecordset&, Args&) { return Variant(int32_t{3}); });
      return m;
    }();
    return table;
  }
};

TEST_F(XmlTest, ArrayResultCodes) {
  Variant notArray(int16_t{1});
  EXPECT_EQ(XMLFileToArray(u16(file("t.xml", "<t><r><a>1</a></r></t>")), notArray), -1);
  Variant a = emptyArray();
  EXPECT_EQ(XMLFileToArray(u16(file("bad.xml", "<t><r>")), a), -3);
  EXPECT_EQ(XMLFileToArray(u16((dir / "none.xml").string()), a), -3);
  // No record and no headings, or no field but "$Text": nothing to dimension.
  EXPECT_EQ(XMLFileToArray(u16(file("none.xml", "<t/>")), a), -4);
  EXPECT_EQ(XMLFileToArray(u16(file("text.xml", "<t><r>only text</r></t>")), a, true), -4);
  EXPECT_EQ(rowsOf(a), Rows{});  // untouched by the failed calls
  // Without the data source the method cannot start.
  unregisterClass("ADODB.Recordset");
  EXPECT_EQ(XMLFileToArray(u16(file("t.xml", "<t><r><a>1</a></r></t>")), a), -2);
  // One that cannot count its records ends it with -4.
  registerClass("ADODB.Recordset", [] { return ObjRef(makeRef<UncountedRecordset>()); });
  EXPECT_EQ(XMLFileToArray(u"any.xml", a, true), -4);
  registerDataAccess();
}

TEST_F(XmlTest, RecordsetIsLeftOpenForTheHost) {
  const BStr path = u16(file("t.xml", "<t><r><a>1</a></r><r><a>2</a></r></t>"));
  ObjRef rs = createObject("ADODB.Recordset");
  ASSERT_EQ(XMLFileToRecordset(path, rs), 1);
  EXPECT_EQ(toI4(getProperty(rs, "State")), 1);
  EXPECT_EQ(recordsOf(rs), (Rows{{"1", "1"}, {"2", "2"}}));
  EXPECT_EQ(XMLFileToRecordset(path, rs), -1);  // already open: the data source cannot be set
  EXPECT_EQ(XMLFileToRecordset(u16(file("bad.xml", "<t>")), createObject("ADODB.Recordset")), -2);
  EXPECT_EQ(XMLFileToRecordset(path, ObjRef()), -1);
  // A recordset of another kind, without the provider.
  EXPECT_EQ(XMLFileToRecordset(path, ObjRef(makeRef<tlx::testing::Plain>())), -1);
}

TEST_F(XmlTest, SessionCasesOfTheThreeMethods) {
  using nlohmann::json;
  const std::string table = file("ab.xml", "<t><r><a>1</a><b>2</b></r><r><a>3</a><b>4</b></r></t>");
  file("secret.txt", "SECRET-FROM-DISK");
  const std::string xxe =
      file("xxe.xml", "<!DOCTYPE t [<!ENTITY x SYSTEM 'file://" + dir.string() + "/secret.txt'>]><t><r><a>&x;</a></r></t>");
  const json tv = {{"obj", "tv"}};
  auto a = runSession(std::vector<json>{
      {{"let", "a"}, {"value", json::array()}},
      {{"call", "XMLFileToArray"}, {"args", {table, {{"var", "a"}}, true}}},   // 1
      {{"call", "XMLFileToArray"}, {"args", {table, {{"var", "a"}}}}},         // 2
      {{"call", "XMLFileToArray"}, {"args", {xxe, {{"var", "a"}}, true}}},     // 3
      {{"create", "MSComctlLib.TreeCtrl"}, {"as", "tv"}},
      {{"call", "XMLFileToTreeView"}, {"args", {xxe, tv}}},                     // 5
      {{"call", "XMLFileToTreeView"}, {"args", {table, tv, true}}},             // 6
      {{"create", "ADODB.Recordset"}, {"as", "rs"}},
      {{"call", "XMLFileToRecordset"}, {"args", {xxe, {{"obj", "rs"}}}}},       // 8
      {{"call", "XMLFileToRecordset"}, {"args", {table, {{"obj", "rs"}}}}},     // 9
      {{"on", "rs"}, {"get", "RecordCount"}},                                  // 10
  });
  ASSERT_EQ(a.size(), 11u);
  EXPECT_EQ(a[1]["result"], 1);
  EXPECT_EQ(a[1]["vars"]["a"], json::parse(R"({"array2d": [["a", "b"], ["1", "2"], ["3", "4"]]})"));
  EXPECT_EQ(a[2]["vars"]["a"], json::parse(R"({"array2d": [["1", "2"], ["3", "4"]]})"));
  EXPECT_EQ(a[3]["result"], -3);
  EXPECT_EQ(a[5]["result"], -3);
  EXPECT_EQ(a[6]["result"], 1);
  EXPECT_EQ(a[8]["result"], -2);
  EXPECT_EQ(a[9]["result"], 1);
  EXPECT_EQ(a[10]["result"], json({{"i4", 2}}));
  for (auto& answer : a) EXPECT_EQ(answer.dump().find("SECRET"), std::string::npos) << answer;
}

}  // namespace
}  // namespace tlxtest
