// The three XML methods through the real host, as a caller's session makes them. A file whose
// external entity points at a secret fails each of them with its code, and nothing of the secret
// reaches the caller; the parser's own tests hold the other hostile inputs.
#include "support/talvex_session.h"
#include "xml_support.h"

namespace tlxtest {
namespace {

using nlohmann::json;

TEST_F(XmlTest, SessionCasesOfTheThreeMethods) {
  const std::string table = file("ab.xml", "<t><r><a>1</a><b>2</b></r><r><a>3</a><b>4</b></r></t>");
  const std::string hello = file("hello.xml", "<r>hello</r>");
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
      {{"call", "XMLFileToTreeView"}, {"args", {hello, tv, true}}},             // 6
      {{"let", "outline"}, {"value", json::array()}},
      {{"call", "TreeViewToTwoDArray"}, {"args", {tv, {{"var", "outline"}}}}},  // 8
      {{"on", "tv"}, {"get", "Nodes"}, {"as", "nodes"}},
      {{"on", "nodes"}, {"get", "Item"}, {"args", {2}}, {"as", "n"}},
      {{"on", "n"}, {"get", "Expanded"}},                                      // 11
      {{"create", "ADODB.Recordset"}, {"as", "rs"}},
      {{"call", "XMLFileToRecordset"}, {"args", {xxe, {{"obj", "rs"}}}}},       // 13
      {{"call", "XMLFileToRecordset"}, {"args", {table, {{"obj", "rs"}}}}},     // 14
      {{"on", "rs"}, {"get", "RecordCount"}},                                  // 15
  });
  ASSERT_EQ(a.size(), 16u);
  EXPECT_EQ(a[1]["result"], 1);
  EXPECT_EQ(a[1]["vars"]["a"], json::parse(R"({"array2d": [["a", "b"], ["1", "2"], ["3", "4"]]})"));
  EXPECT_EQ(a[2]["vars"]["a"], json::parse(R"({"array2d": [["1", "2"], ["3", "4"]]})"));
  EXPECT_EQ(a[3]["result"], -3);
  EXPECT_EQ(a[5]["result"], -3);
  EXPECT_EQ(a[6]["result"], 1);
  EXPECT_EQ(a[8]["vars"]["outline"], json::parse(R"({"array2d": [["<r>", {"empty": true}], [{"empty": true}, "hello"]]})"));
  EXPECT_EQ(a[11]["result"], true);
  EXPECT_EQ(a[13]["result"], -2);
  EXPECT_EQ(a[14]["result"], 1);
  EXPECT_EQ(a[15]["result"], json({{"i4", 2}}));
  for (auto& answer : a) EXPECT_EQ(answer.dump().find("SECRET"), std::string::npos) << answer;
}

}  // namespace
}  // namespace tlxtest
