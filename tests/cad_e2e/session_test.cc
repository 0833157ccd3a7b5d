// The real checks through the command-line host: a drawing made by ezdxf is opened, zoomed,
// given a named view, a viewport configuration and a grid, saved under a new name, and read
// back by ezdxf.
#include "e2e_support.h"

namespace tlxtest {
namespace {

TEST(DrawingSession, OpenZoomViewViewportGridSaveAndReadBack) {
  ScratchDir dir;
  fs::path original = dir.path() / "Office.dxf", copy = dir.path() / "Office-views.dxf";
  makeDrawing(original);
  json before = cadtest::inspect(original);

  // Each request with its result (null: none).
  const std::vector<std::pair<json, json>> steps = {
      {call("OpenDocument", {original.string()}), 1},
      {call("Zoom", {0, 0, 0, 100, 60, 0}), 1},
      {call("CreateView", {"NORTH"}, "view"), {{"obj", "view"}}},
      {get("view", "Name"), "NORTH"},
      {call("ZoomCenter", {20, 10, 0, 200}), 1},
      {call("CreateViewPort", {"SPLIT"}, "vp"), {{"obj", "vp"}}},
      {call("SetGridSpacing", {2.5, 5, "", true}), 1},
      // The application reaches the host as an object it can call members on.
      {{{"let", "app"}, {"value", {{"obj", nullptr}}}}, nullptr},
      {call("GetAutoCADObject", {{{"var", "app"}}}), 1},
      {get("app", "Caption"), "AutoCAD - [Office.dxf]"},
      {call("SaveDocument", {copy.string()}), 1},
      {call("ActiveDocumentName"), "Office-views.dxf"},
      {call("ActiveDocumentPath"), dir.path().string()},
      {call("CloseAutoCAD"), {{"empty", true}}},
      {call("ZoomAll"), -1},  // nothing runs any more
  };
  std::vector<json> requests;
  for (auto& step : steps) requests.push_back(step.first);
  auto answers = runSession(requests);
  ASSERT_EQ(answers.size(), steps.size());
  for (size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE(answers[i].dump());
    EXPECT_TRUE(answers[i].value("ok", true));
    EXPECT_EQ(answers[i].value("result", json()), steps[i].second);
    EXPECT_TRUE(answers[i]["messages"].empty());
  }
  EXPECT_TRUE(answers[8]["vars"]["app"].contains("obj")) << answers[8].dump();

  json after = cadtest::inspect(copy);
  EXPECT_TRUE(after["audit_errors"].empty()) << after["audit_errors"];
  // The named view holds the window zoom; the active viewport the centre zoom and the grid.
  auto& view = after["views"]["NORTH"];
  EXPECT_EQ(view["center"], json({50, 30})) << after["views"];
  EXPECT_GE(view["height"].get<double>(), 60 - 1e-6);
  EXPECT_GE(view["width"].get<double>(), 100 - 1e-6);
  EXPECT_EQ(after["vports"]["*Active"][0],
            (json{{"center", {20, 10}}, {"height", 200}, {"grid_on", 1}, {"grid_spacing", {2.5, 5}}}));
  EXPECT_TRUE(after["vports"].contains("SPLIT")) << after["vports"];
  EXPECT_EQ(cadtest::inspect(original), before);  // the original file is untouched
}

TEST(DrawingSession, DrawingsLeftUnsavedAtExitAreRecoveredAndSaid) {
  ScratchDir dir;
  fs::path original = dir.path() / "Office.dxf", saved = dir.path() / "Kept.dxf", recovered = dir.path() / "recovered";
  makeDrawing(original);
  SessionOptions options;
  options.env["TALVEX_RECOVERY_DIR"] = recovered.string();
  std::string input;
  for (const json& r : {call("OpenDocument", {original.string()}), call("CreateCircle", {2}),
                        call("SaveDocument", {saved.string()}), call("AddDocument"),
                        call("CreateLine", {0, false, false, 0, 0, 0, 10, 5, 0}), call("ActiveDocumentName")})
    input += r.dump() + "\n";
  ProcessResult r = runHost({"session"}, input, options);
  ASSERT_EQ(r.exitCode, 0) << r.err;

  // The drawing with a line nobody saved is written out and named; the saved one is not.
  std::string name = fs::path(parseAnswers(r.out).back()["result"].get<std::string>()).stem().string();
  fs::path drawing = recovered / (name + ".dxf");
  EXPECT_NE(r.err.find("unsaved " + name + " saved to " + drawing.string()), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Kept"), std::string::npos) << r.err;
  json back = entities(drawing);
  EXPECT_TRUE(back["audit_errors"].empty()) << back;
  ASSERT_EQ(back["model"].size(), 1u) << back;
  EXPECT_EQ(back["model"][0]["type"], "LINE");
}

}  // namespace
}  // namespace tlxtest
