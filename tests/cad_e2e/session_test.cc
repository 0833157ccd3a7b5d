// The real checks through the command-line host: a drawing made by ezdxf is opened, zoomed,
// given a named view, a viewport configuration and a grid, saved under a new name, and read
// back by ezdxf.
#include "e2e_support.h"
#include "support/talvex_session.h"

namespace tlxtest {
namespace {

TEST(DrawingSession, OpenZoomViewViewportGridSaveAndReadBack) {
  ScratchDir dir;
  fs::path original = dir.path() / "Office.dxf", copy = dir.path() / "Office-views.dxf";
  makeDrawing(original);
  json before = facts(original);

  auto answers = runSession(std::vector<json>{
      call("OpenDocument", {original.string()}),                                  // 0
      call("Zoom", {0, 0, 0, 100, 60, 0}),                                        // 1
      call("CreateView", {"NORTH"}, "view"),                                      // 2
      {{"on", "view"}, {"get", "Name"}},                                          // 3
      call("ZoomCenter", {20, 10, 0, 200}),                                       // 4
      call("CreateViewPort", {"SPLIT"}, "vp"),                                    // 5
      call("SetGridSpacing", {2.5, 5, "", true}),                                 // 6
      {{"let", "app"}, {"value", {{"obj", nullptr}}}},                              // 7
      call("GetAutoCADObject", {{{"var", "app"}}}),                               // 8
      {{"on", "app"}, {"get", "Caption"}},                                        // 9
      call("GetDocumentObject"),                                                  // 10
      call("SaveDocument", {copy.string()}),                                      // 11
      call("ActiveDocumentName"),                                                 // 12
      call("ActiveDocumentPath"),                                                 // 13
      call("CloseAutoCAD"),                                                       // 14
      call("ZoomAll"),                                                            // 15
  });
  ASSERT_EQ(answers.size(), 16u);
  for (size_t i = 0; i < answers.size(); ++i)
    EXPECT_TRUE(i == 7 || answers[i]["ok"].get<bool>()) << i << ": " << answers[i].dump();
  EXPECT_EQ(answers[0]["result"], 1);
  EXPECT_EQ(answers[1]["result"], 1);
  EXPECT_EQ(answers[2]["result"], (json{{"obj", "view"}}));
  EXPECT_EQ(answers[3]["result"], "NORTH");
  EXPECT_EQ(answers[4]["result"], 1);
  EXPECT_EQ(answers[5]["result"], (json{{"obj", "vp"}}));
  EXPECT_EQ(answers[6]["result"], 1);
  // The application reaches the host as an object it can call members on.
  EXPECT_EQ(answers[8]["result"], 1);
  EXPECT_TRUE(answers[8]["vars"]["app"].contains("obj")) << answers[8].dump();
  EXPECT_TRUE(answers[9]["result"].is_string());
  ASSERT_TRUE(answers[10]["result"].contains("obj"));
  EXPECT_EQ(answers[11]["result"], 1);
  EXPECT_EQ(answers[12]["result"], "Office-views.dxf");
  EXPECT_EQ(answers[13]["result"], dir.path().string());
  EXPECT_EQ(answers[15]["result"], -1);  // nothing runs any more
  for (auto& a : answers) EXPECT_TRUE(a["messages"].empty());

  json after = facts(copy);
  EXPECT_TRUE(after["audit_errors"].empty()) << after["audit_errors"];

  // The named view holds the window zoom; the active viewport the centre zoom and the grid.
  ASSERT_TRUE(after["views"].contains("NORTH")) << after["views"];
  auto& view = after["views"]["NORTH"];
  EXPECT_NEAR(view["center"][0].get<double>(), 50, 1e-6);
  EXPECT_NEAR(view["center"][1].get<double>(), 30, 1e-6);
  EXPECT_GE(view["height"].get<double>(), 60 - 1e-6);
  EXPECT_GE(view["width"].get<double>(), 100 - 1e-6);

  ASSERT_TRUE(after["vports"].contains("*Active")) << after["vports"];
  auto& active = after["vports"]["*Active"][0];
  EXPECT_NEAR(active["center"][0].get<double>(), 20, 1e-6);
  EXPECT_NEAR(active["center"][1].get<double>(), 10, 1e-6);
  EXPECT_NEAR(active["height"].get<double>(), 200, 1e-6);
  EXPECT_EQ(active["grid_on"], 1);
  EXPECT_EQ(active["grid_spacing"], (json{2.5, 5.0}));
  EXPECT_TRUE(after["vports"].contains("SPLIT")) << after["vports"];
  // The original file is untouched.
  EXPECT_EQ(facts(original), before);
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
