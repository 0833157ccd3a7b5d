// End-to-end: the real `talvex` binary, driven through its JSON lines protocol.
#include <gtest/gtest.h>

#include "support/talvex_session.h"

namespace {

using nlohmann::json;
using tlxtest::runSession;

constexpr int64_t kUnknownName = -2147352570;  // 0x80020006
constexpr int64_t kInvalidArg = -2147024809;  // 0x80070057

TEST(Session, AnswersEveryLineAndSurvivesMalformedOnes) {
  auto a = runSession(std::vector<std::string>{
      R"({"call":"AboutBox"})",
      R"(this is not json)",
      R"(["a","request","must","be","an","object"])",
      R"({"call":42})",
      R"({"frobnicate":"x"})",
      R"({"call":"AboutBox","args":{"not":"an array"}})",
      R"({"let":"x","value":{"i2":70000}})",
      R"({"let":"x","value":{"strange":1}})",
      R"({"on":"nobody","get":"Count"})",
      R"({"call":"NoSuchMethod"})",
      R"({"call":"AboutBox"})",
  });
  ASSERT_EQ(a.size(), 11u);
  EXPECT_TRUE(a[0]["ok"]);
  ASSERT_EQ(a[0]["messages"].size(), 1u);
  EXPECT_NE(a[0]["messages"][0].get<std::string>().find("0.1"), std::string::npos);
  EXPECT_NE(a[0]["messages"][0].get<std::string>().find("TALVEX"), std::string::npos);
  for (int i = 1; i <= 8; ++i) {
    EXPECT_FALSE(a[i]["ok"]) << i;
    EXPECT_EQ(a[i]["error"]["number"], kInvalidArg) << i;
    EXPECT_NE(a[i]["error"]["description"].get<std::string>().find("Malformed request"), std::string::npos) << i;
  }
  EXPECT_EQ(a[9]["error"]["number"], kUnknownName);
  EXPECT_TRUE(a[10]["ok"]);
  EXPECT_EQ(a[10]["messages"].size(), 1u) << "messages belong to the answer of the call that showed them";
  EXPECT_TRUE(a[1]["messages"].empty());
}

TEST(Session, EveryMethodOfTheTypeLibraryIsBuilt) {
  // A method whose binding went missing would answer E_NOTIMPL instead of working.
  auto methods = json::parse(tlxtest::runHost({"methods", "--json"}, "").out);
  EXPECT_EQ(methods.size(), 100u);
  for (auto& m : methods) EXPECT_TRUE(m["built"].get<bool>()) << m["name"];
}

TEST(Session, ValuesRoundTripInTheirTaggedForms) {
  std::vector<json> values = {
      "text", true, nullptr, 5, 70000, 2.5, json{{"i4", 5}}, json{{"r8", 3}}, json{{"r4", 0.5}},
      json{{"empty", true}}, json{{"missing", true}}, json{{"date", "2024-01-31T13:05:00"}},
      json{{"array2d", json::array({json::array({"x", 1}), json::array({"y", 2})})}}, json{{"array2d", json::array({json::array({1, 2})})}, {"lbound", {1, 0}}},
      json{{"array", {1, 2}}, {"lbound", {1}}}, json{{"array", nullptr}}, json::array({1, json::array({"a"})}),
      json{{"cy", "1.5"}}, json{{"error", 5}}};
  std::vector<json> requests;
  for (size_t i = 0; i < values.size(); ++i) requests.push_back({{"let", "v" + std::to_string(i)}, {"value", values[i]}});
  auto a = runSession(requests);
  ASSERT_EQ(a.size(), values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    ASSERT_TRUE(a[i]["ok"]) << a[i];
    EXPECT_EQ(a[i]["vars"]["v" + std::to_string(i)], values[i]) << i;
  }
}

// Answers byte for byte: tricky values, "echo": false (the changed variables named only, a kept
// result left out), {"get": name}, and refusals.
TEST(Session, AnswersAreExactText) {
  const std::string v =
      R"([[1,[{"date":"2024-01-31T13:05:00"}]],{"cy":"-0.0001"},"😀é\u0001\"\\",null,{"empty":true},{"r8":2.0},)"
      R"(-0.5,1e+300,{"array2d":[[true,{"i4":7}]],"lbound":[1,-1]}])";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"({"let":"v","value":[[1,[{"date":"2024-01-31T13:05:00"}]],{"cy":"-0.0001"},"\ud83d\ude00\u00e9\u0001\"\\",)"
       R"(null,{"empty":true},{"r8":2},-0.5,1e300,{"array2d":[[true,{"i4":7}]],"lbound":[1,-1]}]})",
       R"({"ok":true,"vars":{"v":)" + v + R"(},"messages":[]})"},
      {R"({"let":"u","value":{"array":null}})", R"({"ok":true,"vars":{"u":{"array":null}},"messages":[]})"},
      {R"({"call":"MultiLineTextToOneDArray","args":["a;b",{"var":"u"}],"named":{"strDelimiter":";"},"echo":false})",
       R"({"ok":true,"result":1,"vars":{},"changed":["u"],"messages":[]})"},
      {R"({"get":"v"})", R"({"ok":true,"result":)" + v + R"(,"vars":{},"messages":[]})"},
      {R"({"get":"u","as":"w","echo":false})", R"({"ok":true,"vars":{},"changed":["w"],"messages":[]})"},
      {R"({"get":"w"})", R"({"ok":true,"result":["a","b"],"vars":{},"messages":[]})"},
      {R"({"get":"nope"})", R"({"ok":false,"error":{"number":-2147024809,"description":"Malformed request: )"
                            R"(no session variable \"nope\""},"vars":{},"messages":[]})"},
      {R"({"let":"x","value":1,"echo":"no"})", R"({"ok":false,"error":{"number":-2147024809,"description":)"
                                               R"("Malformed request: \"echo\" must be true or false"},"vars":{},"messages":[]})"},
      {R"({"let":"s","value":"\udc00"})", R"({"ok":false,"error":{"number":-2147024809,"description":"Malformed )"
                                          R"x(request: not a JSON line (an unpaired surrogate at byte 27)"},"vars":{},"messages":[]})x"},
      {R"({"call":"NoSuchMethod","args":[{"var":"v"}]})",
       R"({"ok":false,"error":{"number":-2147352570,"description":"Unknown name: NoSuchMethod"},"vars":{},"messages":[]})"},
  };
  std::string input, expected;
  for (auto& [request, answer] : cases) {
    input += request + "\n";
    expected += answer + "\n";
  }
  auto r = tlxtest::runHost({"session"}, input);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, expected);
}

TEST(Session, ByReferenceOutputsLandInSessionVariables) {
  auto a = runSession(std::vector<std::string>{
      R"({"let":"t","value":"old"})",
      R"({"let":"eor","value":"  "})",
      R"({"let":"arr","value":{"array2d":[["x",1],["y",2]]}})",
      R"({"call":"TwoDArrayToText","args":[{"var":"arr"},{"var":"t"},",",{"var":"eor"}]})",
      R"({"let":"u","value":{"array":null}})",
      R"({"call":"MultiLineTextToOneDArray","args":["a;b",{"var":"u"}],"named":{"strDelimiter":";"}})",
  });
  ASSERT_EQ(a.size(), 6u);
  ASSERT_TRUE(a[3]["ok"]) << a[3];
  EXPECT_EQ(a[3]["result"], 1);
  EXPECT_EQ(a[3]["vars"]["t"], "x,1\r\ny,2\r\n");
  EXPECT_EQ(a[3]["vars"]["eor"], "\r\n");  // the default replaces a blank one in the caller's variable
  EXPECT_FALSE(a[3]["vars"].contains("arr")) << "only changed variables are reported";
  ASSERT_TRUE(a[5]["ok"]) << a[5];
  EXPECT_EQ(a[5]["vars"]["u"], json::array({"a", "b"}));
}

TEST(Session, ObjectsDictionaryAndAutomaticVariables) {
  auto a = runSession(std::vector<std::string>{
      R"({"create":"Scripting.Dictionary","as":"d"})",
      R"({"on":"d","call":"Add","args":["k1","one"]})",
      R"({"on":"d","call":"Add","args":["k2",{"i4":2}]})",
      R"({"on":"d","get":"Count"})",
      R"({"on":"d","call":"Keys"})",
      R"({"on":"d","put":"Item","args":["k1"],"value":"uno"})",
      R"({"on":"d","get":"Item","args":["k1"]})",
      R"({"on":"d","call":"Add","args":["k1","dup"]})",
      R"({"create":"VBA.Collection"})",
      R"({"on":"$1","call":"Add","args":["item"]})",
      R"({"on":"$1","get":"Count","as":"n"})",
      R"({"create":"No.Such.Class"})",
      R"({"getobject":"AutoCAD.Application.99"})",
  });
  ASSERT_EQ(a.size(), 13u);
  EXPECT_EQ(a[0]["result"], json({{"obj", "d"}}));
  EXPECT_TRUE(a[1]["ok"]) << a[1];
  EXPECT_EQ(a[3]["result"], json({{"i4", 2}}));
  EXPECT_EQ(a[4]["result"], json::array({"k1", "k2"}));
  EXPECT_TRUE(a[5]["ok"]) << a[5];
  EXPECT_EQ(a[6]["result"], "uno");
  EXPECT_FALSE(a[7]["ok"]) << "a duplicate key raises";
  EXPECT_EQ(a[8]["result"], json({{"obj", "$1"}}));
  EXPECT_TRUE(a[9]["ok"]) << a[9];
  EXPECT_EQ(a[10]["result"], json({{"i4", 1}}));
  EXPECT_EQ(a[10]["vars"]["n"], json({{"i4", 1}}));
  EXPECT_FALSE(a[11]["ok"]);
  EXPECT_EQ(a[11]["error"]["number"], -2147221005);  // CO_E_CLASSSTRING
  EXPECT_FALSE(a[12]["ok"]);
}

TEST(Session, DictionaryPassedToTheControl) {
  auto a = runSession(std::vector<std::string>{
      R"({"create":"Scripting.Dictionary","as":"d"})",
      R"({"call":"TwoDArrayToDictionary","args":[{"array2d":[["a",1],["b",2]]},{"obj":"d"}]})",
      R"({"on":"d","get":"Count"})",
      R"({"call":"TwoDArrayToDictionary","args":[{"array2d":[["a",1]]},"not an object"]})",
  });
  ASSERT_EQ(a.size(), 4u);
  EXPECT_FALSE(a[3]["ok"]);
  EXPECT_EQ(a[3]["error"]["number"], -2147352571);  // DISP_E_TYPEMISMATCH, before any family code
  EXPECT_EQ(a[1]["result"], 1);
  EXPECT_EQ(a[2]["result"], json({{"i4", 2}}));
}

TEST(Cli, MethodsListsTheTypeLibrary) {
  auto r = tlxtest::runHost({"methods", "--json"}, "");
  ASSERT_EQ(r.exitCode, 0);
  auto methods = json::parse(r.out);
  ASSERT_EQ(methods.size(), 100u);
  EXPECT_EQ(methods[0]["name"], "Zoom");
  EXPECT_EQ(methods[0]["dispid"], 0x60030000);
  EXPECT_EQ(methods.back()["name"], "DXFToExcel");
  EXPECT_EQ(methods.back()["dispid"], 0x60030074);
  for (auto& m : methods) {
    if (m["name"] != "TextFileToArray") continue;
    ASSERT_EQ(m["params"].size(), 4u);
    EXPECT_EQ(m["params"][2], json({{"name", "strDelimiter"}, {"type", "String"}, {"optional", true},
                                    {"default", ","}, {"byval", true}}));
    EXPECT_EQ(m["params"][0]["default"], nullptr);
    EXPECT_EQ(m["result"], "Integer");
    EXPECT_EQ(m["status_codes"][1], json({{"code", -1}, {"meaning", "the file cannot be opened for reading"}}));
  }
  EXPECT_EQ(methods[0]["status_codes"].size(), 4u);
  EXPECT_EQ(methods.back()["status_codes"].size(), 2u);
  auto table = tlxtest::runHost({"methods"}, "");
  EXPECT_EQ(table.exitCode, 0);
  EXPECT_NE(table.out.find("0x60030000"), std::string::npos);
  EXPECT_NE(table.out.find("Function Zoom(dblStartPtX As Double"), std::string::npos);
  EXPECT_NE(table.out.find("100 methods"), std::string::npos);
}

TEST(Cli, CallPrintsOneAnswer) {
  auto about = tlxtest::runCall("AboutBox");
  EXPECT_TRUE(about["ok"]);
  EXPECT_EQ(about["messages"].size(), 1u);
  auto unknown = tlxtest::runCall("Frobnicate", {1});
  EXPECT_EQ(unknown["error"]["number"], kUnknownName);
  auto r = tlxtest::runHost({"call", "MultiLineTextToOneDArray", "x,y", R"({"array":null})"}, "");
  auto answer = json::parse(r.out);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(answer["vars"]["arg2"], json::array({"x", "y"}));
  EXPECT_EQ(tlxtest::runHost({"bogus"}, "").exitCode, 2);
}

TEST(Session, PicksQueueAndEndOfInput) {
  auto r = tlxtest::runHost({"session"}, "{\"picks\":[[1,2,3],[4,5]]}\n\n{\"picks\":[[1]]}");
  EXPECT_EQ(r.exitCode, 0);
  auto a = tlxtest::parseAnswers(r.out);
  ASSERT_EQ(a.size(), 2u) << "blank lines get no answer; a last line without an end does";
  EXPECT_TRUE(a[0]["ok"]);
  EXPECT_FALSE(a[1]["ok"]);
}

}  // namespace
