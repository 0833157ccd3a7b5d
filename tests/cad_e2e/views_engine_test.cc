// Zoom, views, viewports and grid against the real drawing application, read back by ezdxf.
#include "talvex/convert.h"
#include "e2e_support.h"

namespace tlxtest {
namespace {

class DrawingViews : public ::testing::Test {
 protected:
  void SetUp() override {
    makeDrawing(dir.path / "plan.dxf");
    ASSERT_EQ(cad.code("OpenDocument", {str(dir.path / "plan.dxf")}), 1);
  }
  void TearDown() override {
    cad.call("CloseAutoCAD");
    Desktop::instance().setPickSource({});
  }
  json saved() {
    fs::path out = dir.path / "saved.dxf";
    EXPECT_EQ(cad.code("SaveDocument", {str(out)}), 1);
    return facts(out);
  }

  ScratchDir dir;
  Control cad;
};

TEST_F(DrawingViews, ZoomPickUsesTwoPickedCorners) {
  std::vector<Point3> picks{{10, 10, 0}, {30, 20, 0}};
  Desktop::instance().setPickSource([&](const BStr&) -> std::optional<Point3> {
    if (picks.empty()) return std::nullopt;
    Point3 p = picks.front();
    picks.erase(picks.begin());
    return p;
  });
  EXPECT_EQ(cad.code("ZoomPick"), 1);
  EXPECT_TRUE(picks.empty());
  json f = saved();
  auto& active = f["vports"]["*Active"][0];
  EXPECT_NEAR(active["center"][0].get<double>(), 20, 1e-6);
  EXPECT_NEAR(active["center"][1].get<double>(), 15, 1e-6);
  // A cancelled pick is a failure of the zoom.
  EXPECT_EQ(cad.code("ZoomPick"), -3);
  EXPECT_TRUE(cad.site.messages.empty());
}

TEST_F(DrawingViews, RefusedOperationsGiveTheirCodes) {
  EXPECT_EQ(cad.code("ZoomPrevious"), -3);  // no earlier view yet
  EXPECT_EQ(cad.code("ZoomExtents"), 1);
  EXPECT_EQ(cad.code("ZoomPrevious"), 1);
  EXPECT_EQ(cad.code("SetGridSpacing", {0.0, 5.0}), -3);
  EXPECT_EQ(cad.code("DeleteView", {Variant(u"Nowhere")}), -3);
  EXPECT_EQ(cad.code("SetViewPort", {Variant(u"Nowhere")}), -3);
  EXPECT_EQ(cad.code("DeleteViewPort", {Variant(u"Nowhere")}), -3);
  EXPECT_EQ(cad.code("Regenerate", {int32_t{5}}), 1);
  EXPECT_EQ(cad.code("ZoomScaled", {2.0, int32_t{7}}), 1);
  Variant view = cad.call("CreateView", {Variant(u"North")});
  ASSERT_TRUE(view.isObject());
  try {
    cad.call("CreateView", {Variant(u"NORTH")});
    ADD_FAILURE() << "a duplicate view was accepted";
  } catch (const ComError& e) {
    EXPECT_EQ(e.description(), "Unable to create view object.");
  }
  EXPECT_EQ(cad.code("DeleteView", {Variant(u"north")}), 1);
}

TEST_F(DrawingViews, ZoomExtentsCoversTheGeometry) {
  EXPECT_EQ(cad.code("ZoomExtents"), 1);
  json f = saved();
  auto& active = f["vports"]["*Active"][0];
  // The modelled geometry reaches at least from y = -10 (a line) to y = 80 (the arc's top).
  EXPECT_GE(active["height"].get<double>(), 90 - 1e-6);
  EXPECT_LE(active["height"].get<double>(), 200);
}

TEST_F(DrawingViews, SetViewPortAndGridOnANamedConfiguration) {
  Variant vp = cad.call("CreateViewPort", {Variant(u"Split")});
  ASSERT_TRUE(vp.isObject());
  EXPECT_EQ(cad.code("SetViewPort", {Variant(u"split")}), 1);
  EXPECT_EQ(cad.code("SetGridSpacing", {4.0, 8.0, Variant(u"  "), true}), 1);
  EXPECT_EQ(cad.code("SetGridSpacing", {1.0, 1.0, Variant(u"Missing"), true}), -3);
  Variant doc = cad.call("GetDocumentObject");
  ObjRef active = objectOf(getProperty(doc.obj(), "ActiveViewport"));
  EXPECT_TRUE(toBool(getProperty(active, "GridOn")));
  ASSERT_TRUE(cad.call("CreateViewPort", {Variant(u"Other")}).isObject());
  EXPECT_EQ(cad.code("DeleteViewPort", {Variant(u"OTHER")}), 1);
  json f = saved();
  EXPECT_TRUE(f["audit_errors"].empty()) << f["audit_errors"];
  EXPECT_FALSE(f["vports"].contains("Other"));
  EXPECT_FALSE(f["vports"].contains("OTHER"));
}

}  // namespace
}  // namespace tlxtest
