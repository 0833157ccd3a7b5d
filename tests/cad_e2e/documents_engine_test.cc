// The document methods against the real drawing application, late-bound through the control.
#include "talvex/convert.h"
#include "talvex/registry.h"
#include "e2e_support.h"

namespace tlxtest {
namespace {

class DrawingEngine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sampleDir = std::make_unique<ScratchDir>();
    makeDrawing(sampleDir->path / "sample.dxf");
  }
  static void TearDownTestSuite() { sampleDir.reset(); }

  void SetUp() override {
    fs::copy_file(sampleDir->path / "sample.dxf", dir.path / "Plan.dxf");
    fs::copy_file(sampleDir->path / "sample.dxf", dir.path / "Site.dxf");
    fs::copy_file(sampleDir->path / "sample.dxf", dir.path / "Roof.dxf");
  }
  // No instance outlives a test.
  void TearDown() override {
    Control closer;
    closer.call("CloseAutoCAD");
    Desktop::instance().setPickSource({});
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
  EXPECT_EQ(cad.code("DocumentCount"), 1);
  Variant app{ObjRef()};  // an Object variable: Nothing
  EXPECT_EQ(cad.callRef("GetAutoCADObject", {&app}).i2(), 1);
  ASSERT_TRUE(app.isObject());
  EXPECT_EQ(toI4(getProperty(app.obj(), "WindowState")), 1);  // 9 clamped
  EXPECT_TRUE(toBool(getProperty(app.obj(), "Visible")));
  EXPECT_GE(cad.code("GetVersion"), 1);

  // Asked again while the first drawing is still the untouched one: held again, none added.
  EXPECT_EQ(cad.code("OpenDocument"), 1);
  EXPECT_EQ(cad.code("DocumentCount"), 1);
}

TEST_F(DrawingEngine, OpenDocumentFindsAnOpenFileWithoutRegardToCaseAndOpensItOnce) {
  fs::path plan = dir.path / "Plan.dxf";
  EXPECT_EQ(cad.code("OpenDocument", {str(plan)}), 1);
  EXPECT_EQ(cad.call("ActiveDocumentName"), Variant(u"Plan.dxf"));
  EXPECT_EQ(cad.call("ActiveDocumentPath"), str(dir.path));
  int before = cad.code("DocumentCount");

  std::string upper = (dir.path / "PLAN.DXF").string();
  EXPECT_EQ(cad.code("OpenDocument", {Variant(u16(upper)), false, true}), 1);
  EXPECT_EQ(cad.code("DocumentCount"), before);
  EXPECT_EQ(cad.call("ActiveDocumentName"), Variant(u"Plan.dxf"));
  // Read-only was ignored: the found document saves in place.
  EXPECT_EQ(cad.code("SaveDocument"), 1);
}

TEST_F(DrawingEngine, OpenDocumentTakesABareNameFromTheActiveDocumentsFolder) {
  EXPECT_EQ(cad.code("OpenDocument", {str(dir.path / "Plan.dxf")}), 1);
  EXPECT_EQ(cad.code("OpenDocument", {str(dir.path / "Site.dxf")}), 1);
  int count = cad.code("DocumentCount");
  EXPECT_EQ(cad.code("OpenDocument", {Variant(u"plan.dxf")}), 1);
  EXPECT_EQ(cad.call("ActiveDocumentName"), Variant(u"Plan.dxf"));
  EXPECT_EQ(cad.code("DocumentCount"), count);
  // A bare name that matches nothing open is handed to the application as it is.
  EXPECT_EQ(cad.code("OpenDocument", {Variant(u"no-such-drawing.dxf")}), -2);
}

TEST_F(DrawingEngine, OpenDocumentOfAMissingFileGivesMinusTwoAndTheNextCallAttachesAgain) {
  EXPECT_EQ(cad.code("OpenDocument", {str(dir.path / "Plan.dxf")}), 1);
  EXPECT_EQ(cad.code("OpenDocument", {str(dir.path / "missing.dxf")}), -2);
  EXPECT_TRUE(cad.site.messages.empty());
  // The held document survives; the application is attached again by the guard.
  EXPECT_EQ(cad.code("ZoomExtents"), 1);
  EXPECT_EQ(cad.call("ActiveDocumentName"), Variant(u"Plan.dxf"));
}

TEST_F(DrawingEngine, DocumentNamesActivationAndWindowState) {
  for (const char* name : {"Plan.dxf", "Site.dxf", "Roof.dxf"})
    EXPECT_EQ(cad.code("OpenDocument", {str(dir.path / name), false, false, false, int32_t{1}, int32_t{2}}), 1);
  Variant names;
  EXPECT_EQ(cad.callRef("GetDocumentNames", {&names}).i2(), 1);
  const SafeArray& a = names.arrayRef();
  ASSERT_EQ(a.lbound(), 0);
  ASSERT_EQ(a.ubound(), cad.code("DocumentCount") - 1);
  std::vector<BStr> got;
  for (int i = 0; i <= a.ubound(); ++i) got.push_back(a.at(i).str());
  EXPECT_NE(std::find(got.begin(), got.end(), u"Site.dxf"), got.end());

  // Opened with a file name: maximized whatever was asked.
  Variant doc = cad.call("GetDocumentObject");
  EXPECT_EQ(toI4(getProperty(doc.obj(), "WindowState")), 3);

  EXPECT_EQ(cad.code("ActivateDocument", {Variant(u"site.DXF")}), 1);
  EXPECT_EQ(cad.call("ActiveDocumentName"), Variant(u"Site.dxf"));
  EXPECT_EQ(cad.code("ActivateDocument", {Variant(int16_t{0})}), 1);  // the active one, not item 0
  EXPECT_EQ(cad.call("ActiveDocumentName"), Variant(u"Site.dxf"));
  EXPECT_EQ(cad.code("ActivateDocument", {Variant(u"Nope.dxf")}), -2);
  EXPECT_EQ(cad.call("ActiveDocumentName"), Variant(u"Site.dxf"));
}

TEST_F(DrawingEngine, CloseDocumentThenZoomAllGivesMinusTwo) {
  EXPECT_EQ(cad.code("OpenDocument", {str(dir.path / "Plan.dxf")}), 1);
  cad.call("CloseDocument");
  EXPECT_EQ(cad.code("ZoomAll"), -2);
  try {
    cad.call("ActiveDocumentName");
    ADD_FAILURE() << "expected a raised error";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), hr::CONTROL_ERROR);
    EXPECT_EQ(e.description(), "Document is not active.");
  }
}

TEST_F(DrawingEngine, CloseAutoCADClosesThreeDocumentsAndEndsTheApplication) {
  for (const char* name : {"Plan.dxf", "Site.dxf", "Roof.dxf"})
    EXPECT_EQ(cad.code("OpenDocument", {str(dir.path / name)}), 1);
  EXPECT_EQ(cad.code("Zoom", {0.0, 0.0, 0.0, 10.0, 10.0, 0.0}), 1);  // a change that is not saved
  Variant app{ObjRef()};  // an Object variable: Nothing
  cad.callRef("GetAutoCADObject", {&app});
  Variant docs = getProperty(app.obj(), "Documents");
  int open = toI4(getProperty(docs.obj(), "Count"));
  EXPECT_GE(open, 3);

  auto before = fs::last_write_time(dir.path / "Roof.dxf");
  cad.call("CloseAutoCAD");
  EXPECT_THROW(getObject("AutoCAD.Application"), ComError);
  EXPECT_THROW(getProperty(app.obj(), "Caption"), ComError);  // the ended application
  EXPECT_EQ(fs::last_write_time(dir.path / "Roof.dxf"), before);
  EXPECT_FALSE(cad.call("IsAutoCADUp").boolean());
  EXPECT_EQ(cad.code("DocumentCount"), -1);
}

TEST_F(DrawingEngine, AddSaveUnderANewNameAndReadBack) {
  EXPECT_EQ(cad.code("OpenDocument", {str(dir.path / "Plan.dxf")}), 1);
  cad.call("AddDocument", {Variant::missing()});
  BStr added = cad.call("ActiveDocumentName").str();
  EXPECT_NE(added, u"Plan.dxf");
  fs::path out = dir.path / "New drawing.dxf";
  EXPECT_EQ(cad.code("SaveDocument", {str(out)}), 1);
  EXPECT_EQ(cad.call("ActiveDocumentName"), Variant(u"New drawing.dxf"));
  json f = facts(out);
  EXPECT_TRUE(f["audit_errors"].empty()) << f["audit_errors"];
  EXPECT_EQ(cad.code("SaveDocument", {str(dir.path / "no-such-folder" / "x.dxf")}), -3);
}

}  // namespace
}  // namespace tlxtest
