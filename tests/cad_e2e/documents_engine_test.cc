// The document and view methods against the real drawing application, late-bound through the
// control: what the engine itself decides (finding open files, refusing names, ending), with the
// method logic around it pinned by the family tests over a fake application.
#include "talvex/convert.h"
#include "talvex/registry.h"
#include "e2e_support.h"

namespace tlxtest {
namespace {

class DrawingEngine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sampleDir = std::make_unique<ScratchDir>();
    makeDrawing(sampleDir->path() / "sample.dxf");
  }
  static void TearDownTestSuite() { sampleDir.reset(); }

  void SetUp() override {
    for (const char* name : {"Plan.dxf", "Site.dxf", "Roof.dxf"})
      fs::copy_file(sampleDir->path() / "sample.dxf", dir.path() / name);
  }
  // No instance outlives a test.
  void TearDown() override {
    Control closer;
    closer.call("CloseAutoCAD");
    Desktop::instance().setPickSource({});
  }
  json saved() {
    fs::path out = dir.path() / "saved.dxf";
    EXPECT_EQ(cad.code("SaveDocument", {str(out)}), 1);
    return facts(out);
  }

  static inline std::unique_ptr<ScratchDir> sampleDir;
  ScratchDir dir;
  Control cad;
};

TEST_F(DrawingEngine, OpenDocumentWithoutANameStartsTheApplicationAndHoldsItsFirstDrawing) {
  EXPECT_FALSE(cad.call("IsAutoCADUp").boolean());
  EXPECT_EQ(cad.code("OpenDocument", {Variant(u""), false, false, false, int32_t{9}, int32_t{9}}), 1);
  EXPECT_TRUE(cad.call("IsAutoCADUp").boolean());
  EXPECT_EQ(lcase(cad.call("ActiveDocumentName").str()), u"drawing1.dwg");
  Variant app{ObjRef()};  // an Object variable: Nothing
  EXPECT_EQ(cad.callRef("GetAutoCADObject", {&app}).i2(), 1);
  ASSERT_TRUE(app.isObject());
  EXPECT_EQ(toI4(getProperty(app.obj(), "WindowState")), 1);  // 9 clamped
  EXPECT_GE(cad.code("GetVersion"), 1);
  // Asked again while the first drawing is still the untouched one: held again, none added.
  EXPECT_EQ(cad.code("OpenDocument"), 1);
  EXPECT_EQ(cad.code("DocumentCount"), 1);
}

TEST_F(DrawingEngine, OpenFilesAreFoundWithoutRegardToCaseAndActivatedByName) {
  for (const char* name : {"Plan.dxf", "Site.dxf", "Roof.dxf"})
    EXPECT_EQ(cad.code("OpenDocument", {str(dir.path() / name), false, false, false, int32_t{1}, int32_t{2}}), 1);
  const int count = cad.code("DocumentCount");
  EXPECT_EQ(toI4(getProperty(cad.call("GetDocumentObject").obj(), "WindowState")), 3);  // opened: maximized
  EXPECT_EQ(cad.code("OpenDocument", {Variant(u16((dir.path() / "PLAN.DXF").string())), false, true}), 1);
  EXPECT_EQ(cad.code("OpenDocument", {Variant(u"plan.dxf")}), 1);
  EXPECT_EQ(cad.code("DocumentCount"), count);
  EXPECT_EQ(cad.call("ActiveDocumentName"), Variant(u"Plan.dxf"));
  EXPECT_EQ(cad.call("ActiveDocumentPath"), str(dir.path()));
  EXPECT_EQ(cad.code("SaveDocument"), 1);  // read-only was ignored: it saves in place
  EXPECT_EQ(cad.code("OpenDocument", {Variant(u"no-such-drawing.dxf")}), -2);
  EXPECT_EQ(cad.code("ActivateDocument", {Variant(u"site.DXF")}), 1);
  EXPECT_EQ(cad.call("ActiveDocumentName"), Variant(u"Site.dxf"));
  EXPECT_EQ(cad.code("ActivateDocument", {Variant(u"Nope.dxf")}), -2);

  cad.call("AddDocument", {Variant::missing()});
  fs::path out = dir.path() / "New drawing.dxf";
  EXPECT_EQ(cad.code("SaveDocument", {str(out)}), 1);
  EXPECT_EQ(cad.call("ActiveDocumentName"), Variant(u"New drawing.dxf"));
  EXPECT_TRUE(facts(out)["audit_errors"].empty());
  EXPECT_EQ(cad.code("SaveDocument", {str(dir.path() / "no-such-folder" / "x.dxf")}), -3);
}

TEST_F(DrawingEngine, CloseAutoCADClosesEveryDocumentUnsavedAndEndsTheApplication) {
  for (const char* name : {"Plan.dxf", "Site.dxf", "Roof.dxf"})
    EXPECT_EQ(cad.code("OpenDocument", {str(dir.path() / name)}), 1);
  EXPECT_EQ(cad.code("Zoom", {0.0, 0.0, 0.0, 10.0, 10.0, 0.0}), 1);  // a change that is not saved
  Variant app{ObjRef()};
  cad.callRef("GetAutoCADObject", {&app});
  auto before = fs::last_write_time(dir.path() / "Roof.dxf");
  cad.call("CloseAutoCAD");
  EXPECT_THROW(getObject("AutoCAD.Application"), ComError);
  EXPECT_THROW(getProperty(app.obj(), "Caption"), ComError);  // the ended application
  EXPECT_EQ(fs::last_write_time(dir.path() / "Roof.dxf"), before);
  EXPECT_EQ(cad.code("DocumentCount"), -1);
}

TEST_F(DrawingEngine, ViewsTheEngineRefusesGiveTheirCodes) {
  ASSERT_EQ(cad.code("OpenDocument", {str(dir.path() / "Plan.dxf")}), 1);
  EXPECT_EQ(cad.code("ZoomPrevious"), -3);  // no earlier view yet
  EXPECT_EQ(cad.code("ZoomExtents"), 1);
  EXPECT_EQ(cad.code("ZoomPrevious"), 1);
  EXPECT_EQ(cad.code("SetGridSpacing", {0.0, 5.0}), -3);
  for (const char* method : {"DeleteView", "SetViewPort", "DeleteViewPort"})
    EXPECT_EQ(cad.code(method, {Variant(u"Nowhere")}), -3) << method;
  ASSERT_TRUE(cad.call("CreateView", {Variant(u"North")}).isObject());
  try {
    cad.call("CreateView", {Variant(u"NORTH")});
    ADD_FAILURE() << "a duplicate view was accepted";
  } catch (const ComError& e) {
    EXPECT_EQ(e.description(), "Unable to create view object.");
  }
  EXPECT_EQ(cad.code("DeleteView", {Variant(u"north")}), 1);
  ASSERT_TRUE(cad.call("CreateViewPort", {Variant(u"Other")}).isObject());
  EXPECT_EQ(cad.code("SetGridSpacing", {1.0, 1.0, Variant(u"Missing"), true}), -3);
  EXPECT_EQ(cad.code("DeleteViewPort", {Variant(u"OTHER")}), 1);
  EXPECT_EQ(cad.code("ZoomExtents"), 1);
  json f = saved();
  EXPECT_TRUE(f["audit_errors"].empty()) << f["audit_errors"];
  EXPECT_FALSE(f["vports"].contains("Other"));
  // The modelled geometry reaches at least from y = -10 (a line) to y = 80 (the arc's top).
  EXPECT_GE(f["vports"]["*Active"][0]["height"].get<double>(), 90 - 1e-6);
}

}  // namespace
}  // namespace tlxtest
