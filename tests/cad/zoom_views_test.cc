// Zoom, regeneration, named views, viewport configurations and the grid.
#include "cad_fixture.h"

namespace tlxtest {
namespace {

std::vector<double> coords(const Variant& pt) {
  EXPECT_EQ(pt.type(), VarType(vtArray | vtR8));
  const SafeArray& a = pt.arrayRef();
  EXPECT_EQ(a.lbound(), 0);
  EXPECT_EQ(a.ubound(), 2);
  return {toDouble(a.at(0)), toDouble(a.at(1)), toDouble(a.at(2))};
}

TEST_F(CadTest, ZoomPassesTwoCornerPointsToZoomWindow) {
  runningWithHeldDoc();
  EXPECT_EQ(Zoom(ctx, 1, 2, 3, 40, 50, 60), 1);
  ASSERT_EQ(acad->zooms.size(), 1u);
  EXPECT_EQ(acad->zooms[0].first, "ZoomWindow");
  auto& args = acad->zooms[0].second;
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(coords(args[0]), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(coords(args[1]), (std::vector<double>{40, 50, 60}));
  EXPECT_TRUE(site.activated.empty());
}

TEST_F(CadTest, ZoomCenterAndZoomScaledPassTheirArgumentsWithTheScaleTypeClamped) {
  runningWithHeldDoc();
  EXPECT_EQ(ZoomCenter(ctx, 5, 6, 0, 0), 1);
  EXPECT_EQ(coords(acad->zooms[0].second[0]), (std::vector<double>{5, 6, 0}));
  EXPECT_EQ(acad->zooms[0].second[1], Variant(0.0));
  for (int32_t type : {7, -1, 2, 1}) EXPECT_EQ(ZoomScaled(ctx, 0.5, type), 1);
  std::vector<int32_t> passed;
  for (size_t i = 1; i < acad->zooms.size(); ++i) {
    EXPECT_EQ(acad->zooms[i].first, "ZoomScaled");
    EXPECT_EQ(acad->zooms[i].second[0], Variant(0.5));
    passed.push_back(toI4(acad->zooms[i].second[1]));
  }
  EXPECT_EQ(passed, (std::vector<int32_t>{0, 0, 2, 1}));
}

TEST_F(CadTest, InteractiveZoomsBringTheApplicationWindowForwardFirst) {
  runningWithHeldDoc();
  EXPECT_EQ(ZoomPick(ctx), 1);
  EXPECT_EQ(ZoomAll(ctx), 1);
  EXPECT_EQ(ZoomExtents(ctx), 1);
  EXPECT_EQ(ZoomPrevious(ctx), 1);
  std::vector<std::string> ops;
  for (auto& z : acad->zooms) ops.push_back(z.first);
  EXPECT_EQ(ops, (std::vector<std::string>{"ZoomPickWindow", "ZoomAll", "ZoomExtents", "ZoomPrevious"}));
  EXPECT_EQ(site.activated, std::vector<std::string>(4, "FakeCAD - [Drawing1.dwg]"));
}

TEST_F(CadTest, AFailedWindowActivationOrZoomGivesMinusThreeWithoutAMessage) {
  runningWithHeldDoc();
  site.refuse.insert("FakeCAD - [Drawing1.dwg]");
  EXPECT_EQ(ZoomAll(ctx), -3);
  EXPECT_TRUE(acad->zooms.empty());  // trap mode: nothing after the failing step
  site.refuse.clear();
  acad->app->fail("ZoomPrevious");
  acad->app->fail("ZoomWindow");
  acad->app->fail("ZoomPickWindow");
  EXPECT_EQ(ZoomPrevious(ctx), -3);
  EXPECT_EQ(Zoom(ctx, 0, 0, 0, 1, 1, 0), -3);
  EXPECT_EQ(ZoomPick(ctx), -3);
  EXPECT_TRUE(site.messages.empty());
}

TEST_F(CadTest, RegenerateClampsTheViewportChoiceAndReportsSuccessEvenWhenRefused) {
  FakeDoc& plan = runningWithHeldDoc();
  EXPECT_EQ(Regenerate(ctx, 5), 1);
  EXPECT_EQ(Regenerate(ctx, 1), 1);
  EXPECT_EQ(Regenerate(ctx, -1), 1);
  EXPECT_EQ(plan.regens, (std::vector<int32_t>{0, 1, 0}));
  plan.obj->fail("Regen");
  EXPECT_EQ(Regenerate(ctx, 0), 1);
}

TEST_F(CadTest, CreateViewAndViewportReturnTheNewObjectsOrRaise) {
  FakeDoc& plan = runningWithHeldDoc();
  ObjRef view = CreateView(ctx, u"North");
  ASSERT_TRUE(view);
  EXPECT_EQ(getProperty(view, "Name"), Variant(u"North"));
  EXPECT_TRUE(plan.viewNames.count(u"NORTH"));
  expectRaises([&] { CreateView(ctx, u"north"); }, "Unable to create view object.");

  ObjRef vp = CreateViewPort(ctx, u"Split");
  ASSERT_TRUE(vp);
  EXPECT_EQ(getProperty(vp, "Name"), Variant(u"Split"));
  expectRaises([&] { CreateViewPort(ctx, u""); }, "Unable to create viewport object.");
  plan.obj->fail("Viewports");
  expectRaises([&] { CreateViewPort(ctx, u"Other"); }, "Unable to create viewport object.");
}

TEST_F(CadTest, DeleteViewAndDeleteViewPortReportMissingNamesAsMinusThree) {
  FakeDoc& plan = runningWithHeldDoc();
  CreateView(ctx, u"North");
  CreateViewPort(ctx, u"Split");
  EXPECT_EQ(DeleteView(ctx, u"NORTH"), 1);
  EXPECT_FALSE(plan.viewNames.count(u"NORTH"));
  EXPECT_EQ(DeleteView(ctx, u"North"), -3);
  EXPECT_EQ(DeleteViewPort(ctx, u"split"), 1);
  EXPECT_EQ(DeleteViewPort(ctx, u"Split"), -3);
}

TEST_F(CadTest, SetViewPortMakesAnExistingViewportActive) {
  FakeDoc& plan = runningWithHeldDoc();
  ObjRef split = CreateViewPort(ctx, u"Split");
  EXPECT_EQ(SetViewPort(ctx, u"split"), 1);
  EXPECT_EQ(ObjRef(plan.activeViewport), split);
  // A missing name fails without handing Nothing to the document.
  EXPECT_EQ(SetViewPort(ctx, u"Missing"), -3);
  EXPECT_EQ(ObjRef(plan.activeViewport), split);
  EXPECT_EQ(acad->log->count("Doc:Plan.dwg.ActiveViewport="), 1u);
}

TEST_F(CadTest, SetGridSpacingOnTheActiveViewportWithoutAName) {
  FakeDoc& plan = runningWithHeldDoc();
  Fake* active = plan.activeViewport.get();
  for (const BStr& blankName : {BStr(u""), BStr(u"   ")}) {
    EXPECT_EQ(SetGridSpacing(ctx, 10, 20, blankName, false), 1);
    EXPECT_EQ(plan.activeViewport.get(), active);
    EXPECT_FALSE(plan.grids[active].on);
    EXPECT_EQ(plan.grids[active].x, 10);
    EXPECT_EQ(plan.grids[active].y, 20);
  }
  EXPECT_FALSE(acad->log->has("Doc:Plan.dwg.ActiveViewport="));
  EXPECT_EQ(SetGridSpacing(ctx, 1, 1, u"", true), 1);
  EXPECT_TRUE(plan.grids[active].on);
}

TEST_F(CadTest, SetGridSpacingOnANamedViewport) {
  FakeDoc& plan = runningWithHeldDoc();
  ObjRef split = CreateViewPort(ctx, u"Split");
  EXPECT_EQ(SetGridSpacing(ctx, 2.5, 5, u"Split", true), 1);
  EXPECT_EQ(ObjRef(plan.activeViewport), split);
  Grid& g = plan.grids[plan.activeViewport.get()];
  EXPECT_TRUE(g.on);
  EXPECT_EQ(g.x, 2.5);
  EXPECT_EQ(g.y, 5);
}

TEST_F(CadTest, SetGridSpacingWithAMissingViewportStillSetsTheActiveOneAndGivesMinusThree) {
  FakeDoc& plan = runningWithHeldDoc();
  Fake* active = plan.activeViewport.get();
  EXPECT_EQ(SetGridSpacing(ctx, 3, 4, u"Missing", true), -3);
  EXPECT_EQ(plan.activeViewport.get(), active);
  EXPECT_TRUE(plan.grids[active].on);
  EXPECT_EQ(plan.grids[active].x, 3);
}

TEST_F(CadTest, SetGridSpacingRefusedByTheViewportGivesMinusThree) {
  FakeDoc& plan = runningWithHeldDoc();
  plan.activeViewport->fail("SetGridSpacing");
  EXPECT_EQ(SetGridSpacing(ctx, 0, 0, u"", true), -3);
  EXPECT_TRUE(plan.grids[plan.activeViewport.get()].on);  // GridOn still written before it
}

}  // namespace
}  // namespace tlxtest
