// Zoom, regeneration, named views, viewport configurations and the grid.
#include <deque>

#include "cad_fixture.h"

namespace tlxtest {
namespace {

// The held document's grid: on (1) or off (0), then its X and Y spacing.
std::vector<double> grid(const ObjRef& viewport) {
  Variant x, y;
  DispParams p{{&x, &y}, {}};
  viewport->invoke("GetGridSpacing", InvokeKind::Method, p);
  return {toBool(getProperty(viewport, "GridOn")) ? 1.0 : 0.0, toDouble(x), toDouble(y)};
}

TEST_F(CadTest, ZoomZoomCenterAndZoomScaledWithTheScaleTypeClamped) {
  runningWithHeldDoc();
  EXPECT_EQ(Zoom(ctx, 10, 20, 0, 30, 40, 0), 1);
  EXPECT_EQ(view()[0], 20);
  EXPECT_EQ(view()[1], 30);
  EXPECT_EQ(ZoomCenter(ctx, 5, 6, 0, 40), 1);
  EXPECT_EQ(view(), (std::vector<double>{5, 6, 40}));
  EXPECT_EQ(ZoomScaled(ctx, 2, 1), 1);  // relative to the current view
  EXPECT_EQ(view()[2], 20);
  for (int32_t type : {7, -1, 3}) EXPECT_EQ(ZoomScaled(ctx, 2, type), 1) << type;  // taken as 0
  EXPECT_EQ(Regenerate(ctx, 5), 1);
  EXPECT_TRUE(site.activated.empty());
}

TEST_F(CadTest, InteractiveZoomsBringTheApplicationWindowForwardFirst) {
  runningWithHeldDoc();
  std::deque<Point3> picks = {{0, 0, 0}, {40, 10, 0}};
  Desktop::instance().setPickSource([&](const BStr&) -> std::optional<Point3> {
    if (picks.empty()) return std::nullopt;
    Point3 p = picks.front();
    picks.pop_front();
    return p;
  });
  EXPECT_EQ(ZoomPick(ctx), 1);
  EXPECT_EQ(view()[0], 20);
  EXPECT_EQ(ZoomAll(ctx), 1);
  EXPECT_EQ(ZoomExtents(ctx), 1);
  EXPECT_EQ(ZoomPrevious(ctx), 1);
  EXPECT_EQ(site.activated, std::vector<std::string>(4, "AutoCAD - [Plan.dxf]"));
}

TEST_F(CadTest, AFailedWindowActivationOrZoomGivesMinusThreeWithoutAMessage) {
  runningWithHeldDoc();
  EXPECT_EQ(ZoomPrevious(ctx), -3);  // no earlier view yet
  EXPECT_EQ(Zoom(ctx, 3, 3, 0, 3, 3, 0), -3);  // a window without area
  EXPECT_EQ(ZoomPick(ctx), -3);  // nothing picks: cancelled
  putProperty(app, "Visible", Variant(false));
  EXPECT_EQ(ZoomExtents(ctx), -3);
  EXPECT_TRUE(saved(objAcadDoc));  // trap mode: nothing after the failing step
  EXPECT_TRUE(site.messages.empty());
}

TEST_F(CadTest, CreateAndDeleteViewsAndViewports) {
  runningWithHeldDoc();
  ObjRef view = CreateView(ctx, u"North");
  ASSERT_TRUE(view);
  EXPECT_EQ(name(view), "North");
  expectRaises([&] { CreateView(ctx, u"north"); }, "Unable to create view object.");
  ObjRef vp = CreateViewPort(ctx, u"Split");
  ASSERT_TRUE(vp);
  EXPECT_EQ(name(vp), "Split");
  expectRaises([&] { CreateViewPort(ctx, u""); }, "Unable to create viewport object.");
  EXPECT_EQ(DeleteView(ctx, u"NORTH"), 1);
  EXPECT_EQ(DeleteView(ctx, u"North"), -3);
  EXPECT_EQ(DeleteViewPort(ctx, u"split"), 1);
  EXPECT_EQ(DeleteViewPort(ctx, u"Split"), -3);
}

TEST_F(CadTest, SetViewPortMakesASavedConfigurationActive) {
  runningWithHeldDoc();
  EXPECT_EQ(ZoomCenter(ctx, 5, 6, 0, 7), 1);
  CreateViewPort(ctx, u"Split");
  EXPECT_EQ(ZoomCenter(ctx, 50, 60, 0, 70), 1);
  EXPECT_EQ(SetViewPort(ctx, u"split"), 1);
  EXPECT_EQ(view(), (std::vector<double>{5, 6, 7}));
  EXPECT_EQ(SetViewPort(ctx, u"Missing"), -3);
  EXPECT_EQ(name(viewport()), "Split");
}

TEST_F(CadTest, SetGridSpacingOnTheActiveOrANamedViewport) {
  runningWithHeldDoc();
  for (const char16_t* blank : {u"", u"   "}) {
    EXPECT_EQ(SetGridSpacing(ctx, 10, 20, blank, false), 1);
    EXPECT_EQ(grid(viewport()), (std::vector<double>{0, 10, 20}));
  }
  CreateViewPort(ctx, u"Split");
  EXPECT_EQ(SetGridSpacing(ctx, 2.5, 5, u"Split", true), 1);
  EXPECT_EQ(name(viewport()), "Split");
  EXPECT_EQ(grid(viewport()), (std::vector<double>{1, 2.5, 5}));
  // A missing viewport does not stop the grid of the active one; the result is still -3.
  EXPECT_EQ(SetGridSpacing(ctx, 3, 4, u"Missing", false), -3);
  EXPECT_EQ(grid(viewport()), (std::vector<double>{0, 3, 4}));
  // A spacing the viewport refuses: GridOn was written before it.
  EXPECT_EQ(SetGridSpacing(ctx, 0, 0, u"", true), -3);
  EXPECT_EQ(grid(viewport())[0], 1);
}

}  // namespace
}  // namespace tlxtest
