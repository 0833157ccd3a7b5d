// Hostile XML through the real host: external entities, entity bombs, deep nesting and an element
// with 200,000 attributes fail all three methods with their codes, and nothing of the files they
// point at reaches the caller.
#include <chrono>

#include "support/hostile_xml.h"
#include "support/talvex_session.h"
#include "xml_support.h"

namespace tlxtest {
namespace {

using nlohmann::json;

std::string laughs() { return "<?xml version='1.0'?>" + laughsDoctype() + "<t><r><a>&l9;</a></r></t>"; }

TEST_F(XmlTest, HostileFilesFailEveryMethodWithItsCode) {
  file("secret.dtd", "<!ENTITY leak 'SECRET-FROM-DISK'>");
  file("secret.txt", "SECRET-FROM-DISK");
  const std::string d = dir.string();
  const std::map<std::string, std::string> hostile = {
      {"xxe", "<?xml version='1.0'?><!DOCTYPE t [<!ENTITY x SYSTEM 'file://" + d + "/secret.txt'>]><t><r><a>&x;</a></r></t>"},
      {"xxe_attribute", "<!DOCTYPE t [<!ENTITY x SYSTEM '" + d + "/secret.txt'>]><t><r a='&x;'/></t>"},
      {"parameter", "<!DOCTYPE t [<!ENTITY % p SYSTEM '" + d + "/secret.dtd'> %p;]><t><r><a>&leak;</a></r></t>"},
      {"external_dtd", "<!DOCTYPE t SYSTEM '" + d + "/secret.dtd'><t><r><a>&leak;</a></r></t>"},
      {"network", "<!DOCTYPE t [<!ENTITY x SYSTEM 'http://127.0.0.1:9/x'>]><t><r><a>&x;</a></r></t>"},
      {"laughs", laughs()},
      {"quadratic", "<!DOCTYPE t [<!ENTITY a '" + std::string(100000, 'x') + "'>]><t><r><v>" + repeat("&a;", 20000) + "</v></r></t>"},
      {"deep", "<t>" + repeat("<a>", 100000) + repeat("</a>", 100000) + "</t>"},
      {"attributes", "<t>" + attributes(200000) + "</t>"},
  };
  std::vector<json> requests = {{{"create", "MSComctlLib.TreeCtrl"}, {"as", "tv"}}, {{"let", "a"}, {"value", json::array()}}};
  for (auto& [name, content] : hostile) {
    const std::string path = file(name + ".xml", content);
    requests.push_back({{"call", "XMLFileToArray"}, {"args", {path, {{"var", "a"}}, true}}});
    requests.push_back({{"create", "ADODB.Recordset"}, {"as", "rs"}});
    requests.push_back({{"call", "XMLFileToRecordset"}, {"args", {path, {{"obj", "rs"}}}}});
    requests.push_back({{"call", "XMLFileToTreeView"}, {"args", {path, {{"obj", "tv"}}}}});
  }
  requests.push_back({{"on", "tv"}, {"get", "Nodes"}, {"as", "nodes"}});
  requests.push_back({{"on", "nodes"}, {"get", "Count"}});
  const auto start = std::chrono::steady_clock::now();
  auto answers = runSession(requests);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  RecordProperty("seconds", std::to_string(seconds));
  ASSERT_EQ(answers.size(), requests.size());
  size_t at = 2;
  for (auto& [name, content] : hostile) {
    SCOPED_TRACE(name);
    EXPECT_EQ(answers[at]["result"], -3);
    EXPECT_EQ(answers[at + 2]["result"], -2);
    EXPECT_EQ(answers[at + 3]["result"], -3);
    at += 4;
  }
  EXPECT_EQ(answers[at + 1]["result"], json({{"i4", 0}}));
  for (auto& a : answers) EXPECT_EQ(a.dump().find("SECRET"), std::string::npos) << a;
}

TEST_F(XmlTest, EntitiesAndAttributesWithinTheBoundsAreRead) {
  // Many small references, more text in all than the file: still far below the bound.
  const std::string many = file("many.xml", "<!DOCTYPE t [<!ENTITY a 'abcdefgh'>]><t><r><v>" + repeat("&a;", 50000) + "</v></r></t>");
  // As many attributes as an element may have, and "=" in plenty where no attribute is.
  const std::string wide = file("wide.xml", "<?xml version='1.0' encoding='UTF-8'?><!DOCTYPE t [<!-- " +
                                                repeat("a=", 20000) + " -->]><t a='" + repeat("=", 20000) + "'>" +
                                                attributes(10000) + "<![CDATA[" + repeat("x=", 20000) + "]]>" +
                                                repeat("<!-- y= -->", 20000) + "</t>");
  auto answers = runSession(std::vector<json>{{{"let", "a"}, {"value", json::array()}},
                                              {{"call", "XMLFileToArray"}, {"args", {many, {{"var", "a"}}}}},
                                              {{"call", "XMLFileToArray"}, {"args", {wide, {{"var", "a"}}}}}});
  ASSERT_EQ(answers[1]["result"], 1);
  EXPECT_EQ(answers[1]["vars"]["a"]["array2d"][0][0].get<std::string>().size(), 400000u);
  ASSERT_EQ(answers[2]["result"], 1);
  EXPECT_EQ(answers[2]["vars"]["a"]["array2d"][0].size(), 10000u);
}

}  // namespace
}  // namespace tlxtest
