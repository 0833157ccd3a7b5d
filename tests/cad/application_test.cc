// Attaching, the application's window and version, and ending the application.
#include "cad_fixture.h"

namespace tlxtest {
namespace {

// GetVersion takes the major version and fails with the underlying error.
TEST_F(CadTest, IsAutoCADUpGetAutoCADObjectAndGetVersionAttachOnlyToARunningInstance) {
  Variant out(int16_t{7});
  EXPECT_FALSE(IsAutoCADUp(ctx));
  EXPECT_EQ(GetAutoCADObject(ctx, out), -1);
  EXPECT_EQ(out, Variant(int16_t{7}));  // left as passed
  EXPECT_NE(failure([] { getObject(kAcadProgId); }), 0);  // attaching never starts the application

  start();
  EXPECT_EQ(failure([&] { GetVersion(ctx); }), hr::OBJECT_VARIABLE_NOT_SET);  // not attached
  EXPECT_TRUE(IsAutoCADUp(ctx));
  EXPECT_EQ(objAcadApp, app);
  EXPECT_EQ(GetVersion(ctx), 16);  // "16.0s (LMS Tech)"
  EXPECT_EQ(GetAutoCADObject(ctx, out), 1);
  EXPECT_EQ(out.obj(), app);

  // Held but ended: the failed attach is reported as -2 with the old reference.
  callMethod(app, "Quit");
  EXPECT_EQ(failure([&] { GetVersion(ctx); }), hr::RPC_E_DISCONNECTED);
  Variant again;
  EXPECT_EQ(GetAutoCADObject(ctx, again), -2);
  EXPECT_EQ(again.obj(), app);
}

// SwitchToAutoCAD brings the window forward; Hide and Unhide leave the held document.
TEST_F(CadTest, HideUnhideAndSwitchToAutoCADSteerTheApplicationsWindow) {
  for (auto method : {HideAutoCAD, UnhideAutoCAD, SwitchToAutoCAD})
    expectRaises([&] { method(ctx); }, "AutoCAD is not active.");
  ObjRef plan = runningWithHeldDoc();
  SwitchToAutoCAD(ctx);
  EXPECT_EQ(site.activated, std::vector<std::string>{"AutoCAD - [Plan.dxf]"});
  HideAutoCAD(ctx);
  EXPECT_FALSE(toBool(getProperty(app, "Visible")));
  expectRaises([&] { SwitchToAutoCAD(ctx); }, "Unable to activate AutoCAD.");  // a hidden window cannot come forward
  UnhideAutoCAD(ctx);
  EXPECT_TRUE(toBool(getProperty(app, "Visible")));
  SwitchToAutoCAD(ctx);  // shown again, it comes forward
  EXPECT_EQ(objAcadDoc, plan);
  callMethod(app, "Quit");  // the reference held is stale now
  expectRaises([&] { HideAutoCAD(ctx); }, "Unable to hide AutoCAD.");
  expectRaises([&] { UnhideAutoCAD(ctx); }, "Unable to unhide AutoCAD.");
}

TEST_F(CadTest, CloseAutoCADClosesEveryDocumentWithTheSaveFlagPastFailuresThenQuits) {
  runningWithHeldDoc();
  open(drawing("Locked.dxf"), true);  // read-only: closing it with its changes fails
  open(drawing("Site.dxf"));
  open(drawing("Roof.dxf"));
  std::map<std::string, std::string> before;
  for (const char* name : {"Plan.dxf", "Locked.dxf", "Site.dxf", "Roof.dxf"}) before[name] = readFile(dir.file(name));
  for (const Variant& doc : documents()->enumerate())
    callMethod(objectOf(getProperty(objectOf(doc), "ModelSpace")), "AddLine", {cad::point(0, 0, 0), cad::point(1, 1, 0)});

  CloseAutoCAD(ctx, true);
  // Closed and saved by the method (Quit would close them unsaved), each of them.
  for (const char* name : {"Plan.dxf", "Site.dxf", "Roof.dxf"}) EXPECT_NE(readFile(dir.file(name)), before[name]) << name;
  EXPECT_EQ(readFile(dir.file("Locked.dxf")), before["Locked.dxf"]);
  EXPECT_NE(failure([] { getObject(kAcadProgId); }), 0);
  EXPECT_FALSE(objAcadApp);
  EXPECT_FALSE(objAcadDoc);
}

TEST_F(CadTest, CloseAutoCADEmptiesBothReferencesEvenWhenOnlyTheDocumentIsHeld) {
  runningWithHeldDoc();
  std::string before = readFile(dir.file("Plan.dxf"));
  EXPECT_EQ(Zoom(ctx, 0, 0, 0, 10, 10, 0), 1);  // a change that is not saved
  // OpenDocument of a missing file empties the application but keeps the document it held.
  EXPECT_EQ(OpenDocument(ctx, u16(dir.file("missing.dxf")), false, false, false, 1, 1), -2);
  ASSERT_FALSE(objAcadApp);
  ASSERT_TRUE(objAcadDoc);
  EXPECT_TRUE(site.messages.empty());
  CloseAutoCAD(ctx, false);
  EXPECT_FALSE(objAcadDoc);
  EXPECT_NE(failure([] { getObject(kAcadProgId); }), 0);
  EXPECT_EQ(readFile(dir.file("Plan.dxf")), before);
}

}  // namespace
}  // namespace tlxtest
