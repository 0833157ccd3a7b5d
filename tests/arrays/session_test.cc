// Round trips through the real command-line host, and a file it writes read by Python's csv.
#include <gtest/gtest.h>

#include <string>

#include <nlohmann/json.hpp>

#include "arrays/arrays_fixture.h"
#include "support/talvex_session.h"

using nlohmann::json;

namespace {

class HostRoundTrip : public tlxtest::ScratchTest {};

std::string pythonCsvRows(const std::string& file) {
  std::string cmd =
      "/usr/bin/python3 -c \"import csv,json,sys; "
      "print(json.dumps(list(csv.reader(open(sys.argv[1], newline='', encoding='utf-8')))))\" '" +
      file + "'";
  return tlxtest::shell(cmd, false);
}

TEST_F(HostRoundTrip, TextFileKeepsTheShapeAndPythonReadsTheRows) {
  const std::string csv = path("table.csv");
  auto answers = tlxtest::runSession(std::vector<json>{
      json{{"let", "a"},
           {"value", {{"array2d", {{"name", "qty", "note"}, {"bolt", 12, "M6 x 20"}, {"nut", 1.5, "é ü"},
                                   {"washer", 3, ""}}}}}},
      json{{"call", "TwoDArrayToTextFile"}, {"args", {{{"var", "a"}}, csv}}},
      json{{"let", "b"}, {"value", json::array()}},
      json{{"call", "TextFileToArray"}, {"args", {csv, {{"var", "b"}}}}},
      json{{"call", "TextFileToArray"}, {"args", {path("missing.csv"), {{"var", "b"}}}}},
  });
  ASSERT_EQ(answers.size(), 5u);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(answers[i]["ok"].get<bool>()) << answers[i].dump();
  EXPECT_EQ(answers[1]["result"], 1);
  EXPECT_EQ(answers[3]["result"], 1);
  EXPECT_EQ(answers[4]["result"], -1);

  // Same shape back, elements as strings, the empty last field Empty.
  json back = answers[3]["vars"]["b"];
  json expected = {{"array2d",
                    {{"name", "qty", "note"},
                     {"bolt", "12", "M6 x 20"},
                     {"nut", "1.5", "é ü"},
                     {"washer", "3", {{"empty", true}}}}}};
  EXPECT_EQ(back, expected) << back.dump();

  // Python's csv module reads the same rows.
  json rows = json::parse(pythonCsvRows(csv));
  EXPECT_EQ(rows, json::parse(R"([["name","qty","note"],["bolt","12","M6 x 20"],["nut","1.5","é ü"],["washer","3",""]])"));
  EXPECT_EQ(read("table.csv").substr(0, 15), "name,qty,note\r\n");
}

TEST_F(HostRoundTrip, ByReferenceDefaultsReachTheCallersVariables) {
  auto answers = tlxtest::runSession(std::vector<json>{
      json{{"let", "a"},
           {"value", {{"array2d", json::array({json::array({"a", "b"}), json::array({"c", "d"})})}}}},
      json{{"let", "t"}, {"value", ""}},
      json{{"let", "d"}, {"value", " "}},
      json{{"let", "e"}, {"value", ""}},
      json{{"call", "TwoDArrayToText"}, {"args", {{{"var", "a"}}, {{"var", "t"}}, {{"var", "d"}}, {{"var", "e"}}}}},
      json{{"let", "n"}, {"value", {3, 1, 2}}},
      json{{"call", "SortOneDArray"}, {"args", {{{"var", "n"}}, 1}}},
      json{{"call", "MultiLineTextToOneDArray"}, {"args", {"x|y|", {{"var", "n"}}, "|"}}},
  });
  ASSERT_EQ(answers.size(), 8u);
  const json& call = answers[4];
  ASSERT_TRUE(call["ok"].get<bool>()) << call.dump();
  EXPECT_EQ(call["result"], 1);
  EXPECT_EQ(call["vars"]["t"], "a\tb\r\nc\td\r\n");
  EXPECT_EQ(call["vars"]["d"], "\t");
  EXPECT_EQ(call["vars"]["e"], "\r\n");
  EXPECT_EQ(answers[6]["vars"]["n"], json({3, 2, 1}));
  EXPECT_EQ(answers[7]["vars"]["n"], json({"x", "y"}));
}

// Arrays read from files hold their strings in shared blocks; the host keeps, answers with and
// passes back such arrays while they are replaced underneath.
TEST_F(HostRoundTrip, ArraysReadFromFilesPassThroughTheHost) {
  write("one.csv", "a,b\r\nc,d\r\n");
  write("two.csv", "x\r\n");
  auto answers = tlxtest::runSession(std::vector<json>{
      json{{"let", "b"}, {"value", json::array()}},
      json{{"call", "TextFileToArray"}, {"args", {path("one.csv"), {{"var", "b"}}}}},
      json{{"let", "t"}, {"value", ""}},
      json{{"call", "TwoDArrayToText"}, {"args", {{{"var", "b"}}, {{"var", "t"}}, ",", ";"}}},
      json{{"call", "TextFileToArray"}, {"args", {path("two.csv"), {{"var", "b"}}}}},
      json{{"call", "MultiLineTextToOneDArray"}, {"args", {{{"var", "t"}}, {{"var", "b"}}, ";"}}},
  });
  ASSERT_EQ(answers.size(), 6u);
  for (const json& a : answers) ASSERT_TRUE(a["ok"].get<bool>()) << a.dump();
  EXPECT_EQ(answers[1]["vars"]["b"], json::parse(R"({"array2d": [["a", "b"], ["c", "d"]]})"));
  EXPECT_EQ(answers[3]["vars"]["t"], "a,b;c,d;");
  EXPECT_EQ(answers[4]["vars"]["b"], json::parse(R"({"array2d": [["x"]]})"));
  EXPECT_EQ(answers[5]["vars"]["b"], json({"a,b", "c,d"}));
}

}  // namespace
