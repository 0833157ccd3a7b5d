// Round trips through the real command-line host, and a file it writes read by Python's csv.
#include <gtest/gtest.h>

#include <string>

#include <nlohmann/json.hpp>

#include "arrays/arrays_fixture.h"
#include "support/talvex_session.h"

using nlohmann::json;

namespace {

class HostRoundTrip : public tlxtest::ScratchTest {};

json var(const char* name) { return json{{"var", name}}; }

// One session: a table to a file and back, the array read from the file (its strings held in
// shared blocks) passed on and replaced underneath, and by-reference defaults written back.
TEST_F(HostRoundTrip, ArraysThroughFilesTextAndTheCallersVariables) {
  const std::string csv = path("table.csv"), other = write("two.csv", "x\r\n");
  auto answers = tlxtest::runSession(std::vector<json>{
      json{{"let", "a"},
           {"value", {{"array2d", {{"name", "qty", "note"}, {"bolt", 12, "M6 x 20"}, {"nut", 1.5, "é ü"},
                                   {"washer", 3, ""}}}}}},
      json{{"call", "TwoDArrayToTextFile"}, {"args", {var("a"), csv}}},
      json{{"let", "b"}, {"value", json::array()}},
      json{{"call", "TextFileToArray"}, {"args", {csv, var("b")}}},
      json{{"call", "TextFileToArray"}, {"args", {path("missing.csv"), var("b")}}},
      json{{"let", "t"}, {"value", ""}},
      json{{"let", "d"}, {"value", " "}},
      json{{"let", "e"}, {"value", ""}},
      json{{"call", "TwoDArrayToText"}, {"args", {var("b"), var("t"), var("d"), var("e")}}},
      json{{"call", "TextFileToArray"}, {"args", {other, var("b")}}},
      json{{"call", "MultiLineTextToOneDArray"}, {"args", {var("t"), var("b"), var("e")}}},
      json{{"let", "n"}, {"value", {3, 1, 2}}},
      json{{"call", "SortOneDArray"}, {"args", {var("n"), 1}}},
  });
  ASSERT_EQ(answers.size(), 13u);
  for (const json& a : answers) ASSERT_TRUE(a["ok"].get<bool>()) << a.dump();
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
  json rows = json::parse(tlxtest::shell(
      "/usr/bin/python3 -c \"import csv,json,sys; "
      "print(json.dumps(list(csv.reader(open(sys.argv[1], newline='', encoding='utf-8')))))\" " +
      tlxtest::shellQuote(csv)));
  EXPECT_EQ(rows, json::parse(R"([["name","qty","note"],["bolt","12","M6 x 20"],["nut","1.5","é ü"],["washer","3",""]])"));
  EXPECT_EQ(read("table.csv").substr(0, 15), "name,qty,note\r\n");

  // The blank delimiter and end of row were replaced, and the caller's variables hold the defaults.
  const json& text = answers[8]["vars"];
  EXPECT_EQ(text["t"], "name\tqty\tnote\r\nbolt\t12\tM6 x 20\r\nnut\t1.5\té ü\r\nwasher\t3\t\r\n");
  EXPECT_EQ(text["d"], "\t");
  EXPECT_EQ(text["e"], "\r\n");
  EXPECT_EQ(answers[9]["vars"]["b"], json::parse(R"({"array2d": [["x"]]})"));
  EXPECT_EQ(answers[10]["vars"]["b"], json({"name\tqty\tnote", "bolt\t12\tM6 x 20", "nut\t1.5\té ü", "washer\t3\t"}));
  EXPECT_EQ(answers[12]["vars"]["n"], json({3, 2, 1}));
}

}  // namespace
