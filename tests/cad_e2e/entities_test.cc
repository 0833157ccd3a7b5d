// Entities created through the command-line host, from arguments and from picks, in model and
// paper space, saved and found by ezdxf with the geometry given.
#include <cmath>

#include "e2e_support.h"

namespace tlxtest {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The entity with this handle in the model ("model") or paper space ("paper"), or null.
json findEntity(const json& drawing, const std::string& space, const json& handle) {
  for (auto& e : drawing[space])
    if (e["handle"] == handle) return e;
  return nullptr;
}

// Each expected field is in the entity; numbers, alone or in points, to within 1e-9.
void expectFields(const json& entity, const json& expected) {
  ASSERT_FALSE(entity.is_null()) << expected;
  for (auto& [key, want] : expected.items()) {
    const json value = entity.value(key, json()), got = value.is_array() ? value : json::array({value});
    const json wants = want.is_array() ? want : json::array({want});
    ASSERT_EQ(got.size(), wants.size()) << key << ": " << got;
    for (size_t i = 0; i < wants.size(); ++i) {
      bool same = wants[i].is_number() ? std::abs(got[i].get<double>() - wants[i].get<double>()) < 1e-9
                                       : got[i] == wants[i];
      EXPECT_TRUE(same) << key << ": " << got;
    }
  }
}

class EntitySession : public ::testing::Test {
 protected:
  void SetUp() override {
    original = dir.path() / "Plan.dxf";
    copy = dir.path() / "Plan-entities.dxf";
    makeDrawing(original);
  }
  // Runs `requests` between opening the drawing and saving it as the copy; the answers of the
  // requests themselves.
  std::vector<json> session(std::vector<json> requests) {
    requests.insert(requests.begin(), call("OpenDocument", {original.string()}));
    requests.push_back(call("SaveDocument", {copy.string()}));
    auto answers = runSession(requests);
    EXPECT_EQ(answers.size(), requests.size());
    EXPECT_EQ(answers.front()["result"], 1) << answers.front().dump();
    EXPECT_EQ(answers.back()["result"], 1) << answers.back().dump();
    return std::vector<json>(answers.begin() + 1, answers.end() - 1);
  }
  ScratchDir dir;
  fs::path original, copy;
};

TEST_F(EntitySession, EveryKindFromArgumentsInModelAndPaperSpace) {
  // Each kind: its request, the space it lands in and what the reader finds there.
  struct Kind {
    json request;
    const char* space;
    json fields;
  };
  const std::vector<Kind> kinds = {
      {call("CreateLine", {0, false, false, 1, 2, 3, 4, 5, 6}, "line"), "model",
       {{"type", "LINE"}, {"start", {1, 2, 3}}, {"end", {4, 5, 6}}}},
      {call("CreateArc", {5, 0, kPi / 2, 0, false, false, 10, 10, 0}, "arc"), "model",
       {{"center", {10, 10, 0}}, {"radius", 5}, {"start_angle", 0}, {"end_angle", 90}}},
      {call("CreateCircle", {2.5, 1, false, false, 7, 8, 0}, "circle"), "paper", {{"center", {7, 8, 0}}, {"radius", 2.5}}},
      // The major-axis point is passed unchanged: the drawing holds it as the axis vector.
      {call("CreateEllipse", {0.5, 0, false, false, 20, 20, 0, 10, 0, 0}, "ellipse"), "model",
       {{"center", {20, 20, 0}}, {"major_axis", {10, 0, 0}}, {"ratio", 0.5}}},
      {call("CreateCone", {3, 6, 0, false, false, 30, 30, 0}, "cone"), "model", {{"type", "3DSOLID"}}},
      // Any non-zero space is paper space.
      {call("CreateBox", {4, 5, 6, 5, false, false, 40, 40, 0}, "box"), "paper", {{"type", "3DSOLID"}}},
      {call("CreateMultilineText", {40, "Zone \xC3\xA9tage", 1, false, false, 10, 20}, "mtext"), "paper",
       {{"insert", {10, 20, 0}}, {"width", 40}, {"text", "Zone \xC3\xA9tage"}}},
      {call("CreateText", {2.5, "T", 0, false, false, 10, 20}, "text"), "model",
       {{"insert", {10, 20, 0}}, {"height", 2.5}, {"text", "T"}}},
  };
  // Each Create call is followed by a read of the new entity's handle.
  std::vector<json> all;
  for (auto& kind : kinds) {
    all.push_back(kind.request);
    all.push_back(get(kind.request["as"], "Handle"));
  }
  auto answers = session(all);
  for (auto& a : answers) ASSERT_TRUE(a["ok"].get<bool>()) << a.dump();

  json drawing = entities(copy);
  EXPECT_TRUE(drawing["audit_errors"].empty()) << drawing["audit_errors"];
  for (size_t i = 0; i < kinds.size(); ++i) {
    SCOPED_TRACE(kinds[i].request.dump());
    expectFields(findEntity(drawing, kinds[i].space, answers[2 * i + 1]["result"]), kinds[i].fields);
  }
  EXPECT_GT(findEntity(drawing, "model", answers[9]["result"])["sat_lines"].get<int>(), 10);  // the cone's body
}

// Then an entity is deleted, and another changed, through the object a Create call returns.
TEST_F(EntitySession, PicksGiveThePointsACancelledPickRaisesButKeepsTheEntityWhichCanBeChanged) {
  auto answers = session({
      json::parse(R"({"picks": [[1, 1, 0], [2, 3, 0]]})"),
      call("CreateLine", {0, true, true}, "line"),      // 1
      get("line", "Handle"),                            // 2
      {{"picks", {{5, 6, 7}}}},
      call("CreateText", {1.5, "P", 1, true}, "text"),  // 4: all three picked elements
      get("text", "Handle"),                            // 5
      {{"picks", {{9, 9, 0}}}},
      call("CreateLine", {0, true}),                    // 7: the second pick is cancelled
      call("CreateCircle", {1, 0, true}),               // 8: nothing to pick
      call("CreateLine"),                               // 9: no arguments: both points at 0
      get("$1", "Handle"),                              // 10
      call("CreateCircle", {2, 0, false, false, 1, 1, 0}, "gone"),
      get("gone", "Handle"),                            // 12
      {{"on", "gone"}, {"call", "Delete"}},             // 13
      get("gone", "Radius"),                            // 14: erased
      call("CreateCircle", {2, 0, false, false, 1, 1, 0}, "kept"),
      {{"on", "kept"}, {"put", "Radius"}, {"value", 4.5}},
      get("kept", "Handle"),                            // 17
  });
  for (size_t i : {1, 2, 4, 5, 9, 10, 13}) ASSERT_TRUE(answers[i]["ok"].get<bool>()) << i << answers[i].dump();
  EXPECT_EQ(answers[7]["error"]["number"], -2147220270);
  EXPECT_EQ(answers[7]["error"]["description"], "Unable to create line object.");
  EXPECT_EQ(answers[8]["error"]["description"], "Unable to create circle object.");
  EXPECT_FALSE(answers[14]["ok"].get<bool>());

  json drawing = entities(copy);
  expectFields(findEntity(drawing, "model", answers[2]["result"]), {{"start", {1, 1, 0}}, {"end", {2, 3, 0}}});
  expectFields(findEntity(drawing, "paper", answers[5]["result"]), {{"insert", {5, 6, 7}}, {"height", 1.5}});
  expectFields(findEntity(drawing, "model", answers[10]["result"]), {{"start", {0, 0, 0}}, {"end", {0, 0, 0}}});
  EXPECT_TRUE(findEntity(drawing, "model", answers[12]["result"]).is_null());
  expectFields(findEntity(drawing, "model", answers[17]["result"]), {{"radius", 4.5}});
  // The entities of the failed calls stay: the line from (9, 9, 0) and the circle, each with the
  // cancelled point at (0, 0, 0).
  int cancelled = 0;
  for (auto& e : drawing["model"])
    cancelled += (e["type"] == "LINE" && e["start"] == json({9, 9, 0}) && e["end"] == json({0, 0, 0})) ||
                 (e["type"] == "CIRCLE" && e["center"] == json({0, 0, 0}));
  EXPECT_EQ(cancelled, 2);
}

TEST_F(EntitySession, MultilineTextFromArrays) {
  auto answers = session({
      json::parse(R"({"let": "cells", "value": ["A", " B ", ""]})"),
      call("CreateMultilineTextFromOneDArray", {30, {{"var", "cells"}}, 0, false, false, true, 1, 2}),
      call("CreateMultilineTextFromOneDArray", {30, {{"var", "cells"}}, 0, false, false, false, 1, 2}),
      // (Written as JSON text: a list of two-element lists would otherwise read as an object.)
      json::parse(R"({"let": "grid", "value": {"array2d": [["r0c0", "r0c1"], ["r1c0", ""], ["r2c0", "r2c1"]],
                                                "lbound": [1, 1]}})"),
      json::parse(R"({"let": "spacing", "value": {"array": [5, 5], "lbound": [1]}})"),
      call("CreateMultilineTextFromTwoDArray", {20, {{"var", "grid"}}, {{"var", "spacing"}}, 1, false, false, true},
           "columns"),  // 5
      json::parse(R"({"let": "wide", "value": {"array2d": [["a", "b", "c"]]}})"),
      {{"let", "short"}, {"value", {7}}},
      call("CreateMultilineTextFromTwoDArray", {20, {{"var", "wide"}}, {{"var", "short"}}}),  // 8
      call("CreateMultilineTextFromOneDArray", {30, "not an array"}),                        // 9
  });
  ASSERT_TRUE(answers[5]["ok"].get<bool>()) << answers[5].dump();
  EXPECT_EQ(answers[5]["result"].size(), 2u) << answers[5].dump();
  // A spacing array too short for the third column: that column is still added at the second
  // column's X, then the failure is shown and raised.
  EXPECT_FALSE(answers[8]["ok"].get<bool>());
  EXPECT_EQ(answers[8]["error"]["description"], "Unable to create multiline text object.");
  EXPECT_EQ(answers[8]["messages"].size(), 1u) << answers[8].dump();
  EXPECT_EQ(answers[9]["error"]["description"], "Unable to create multiline text object.");

  json drawing = entities(copy);
  std::vector<std::pair<double, std::string>> paper, model;
  for (auto& e : drawing["paper"])
    if (e["type"] == "MTEXT") paper.emplace_back(e["insert"][0].get<double>(), e["text"].get<std::string>());
  for (auto& e : drawing["model"])
    if (e["type"] == "MTEXT" && e["insert"][1] != 60.0)  // not the sample drawing's own
      model.emplace_back(e["insert"][0].get<double>(), e["text"].get<std::string>());
  EXPECT_EQ(paper, (std::vector<std::pair<double, std::string>>{{0, "r0c0 r1c0 r2c0 "}, {5, "r0c1 N/A r2c1 "}}));
  EXPECT_EQ(model, (std::vector<std::pair<double, std::string>>{
                       {1, "A B N/A "}, {1, "A B  "}, {0, "a "}, {7, "b "}, {7, "c "}, {0, ""}}));
}

}  // namespace
}  // namespace tlxtest
