// Attaching, the application's window and version, and ending the application.
#include "cad_fixture.h"

namespace tlxtest {
namespace {

TEST_F(CadTest, IsAutoCADUpAttachesOnlyToARunningInstance) {
  installFactory();  // must not be used: attaching never starts the application
  EXPECT_FALSE(IsAutoCADUp(ctx));
  EXPECT_FALSE(objAcadApp);
  EXPECT_FALSE(started);
  acad->run();
  EXPECT_TRUE(IsAutoCADUp(ctx));
  EXPECT_EQ(objAcadApp, ObjRef(acad->app));
}

TEST_F(CadTest, GetAutoCADObjectHandsOutTheHeldApplication) {
  Variant out(int16_t{7});
  EXPECT_EQ(GetAutoCADObject(ctx, out), -1);
  EXPECT_EQ(out, Variant(int16_t{7}));  // left as passed

  acad->run();
  EXPECT_EQ(GetAutoCADObject(ctx, out), 1);
  ASSERT_TRUE(out.isObject());
  EXPECT_EQ(out.obj(), objAcadApp);
  EXPECT_EQ(out.obj(), ObjRef(acad->app));

  // Held but no longer running: the failed attach is reported as -2 with the old reference.
  revokeRunning(FakeAcad::kProgId);
  Variant again;
  EXPECT_EQ(GetAutoCADObject(ctx, again), -2);
  EXPECT_EQ(again.obj(), ObjRef(acad->app));
}

TEST_F(CadTest, GetVersionTakesTheMajorVersionBeforeTheFirstPoint) {
  acad->run();
  ASSERT_TRUE(IsAutoCADUp(ctx));
  EXPECT_EQ(GetVersion(ctx), 15);
  acad->version = u"16";
  EXPECT_EQ(GetVersion(ctx), 16);
  acad->version = u"24.1.51.0";
  EXPECT_EQ(GetVersion(ctx), 24);
  // Failures reach the caller as they are.
  acad->version = u"R15.0";
  EXPECT_THROW(GetVersion(ctx), ComError);
  acad->app->fail("Version");
  try {
    GetVersion(ctx);
    ADD_FAILURE();
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), hr::E_FAIL);
  }
}

TEST_F(CadTest, GetVersionWithoutAnAttachedApplicationFailsWithTheUnderlyingError) {
  acad->run();  // running, but the control has not attached
  try {
    GetVersion(ctx);
    ADD_FAILURE();
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), hr::OBJECT_VARIABLE_NOT_SET);
  }
}

TEST_F(CadTest, HideAndUnhideWriteVisibleAndLeaveTheHeldDocument) {
  expectRaises([&] { HideAutoCAD(ctx); }, "AutoCAD is not active.");
  expectRaises([&] { UnhideAutoCAD(ctx); }, "AutoCAD is not active.");
  runningWithHeldDoc();
  ObjRef held = objAcadDoc;
  HideAutoCAD(ctx);
  UnhideAutoCAD(ctx);
  ASSERT_EQ(acad->visible.size(), 2u);
  EXPECT_EQ(acad->visible[0], Variant(false));
  EXPECT_EQ(acad->visible[1], Variant(true));
  EXPECT_EQ(objAcadDoc, held);
  acad->app->fail("Visible");
  expectRaises([&] { HideAutoCAD(ctx); }, "Unable to hide AutoCAD.");
  expectRaises([&] { UnhideAutoCAD(ctx); }, "Unable to unhide AutoCAD.");
}

TEST_F(CadTest, SwitchToAutoCADActivatesTheWindowWithTheApplicationsCaption) {
  expectRaises([&] { SwitchToAutoCAD(ctx); }, "AutoCAD is not active.");
  acad->run();
  SwitchToAutoCAD(ctx);
  EXPECT_EQ(site.activated, std::vector<std::string>{"FakeCAD - [Drawing1.dwg]"});
  site.refuse.insert("FakeCAD - [Drawing1.dwg]");
  expectRaises([&] { SwitchToAutoCAD(ctx); }, "Unable to activate AutoCAD.");
  site.refuse.clear();
  acad->app->fail("Caption");
  expectRaises([&] { SwitchToAutoCAD(ctx); }, "Unable to activate AutoCAD.");
}

TEST_F(CadTest, CloseAutoCADClosesEveryDocumentOpenWhenItStarts) {
  FakeDoc& a = runningWithHeldDoc();
  FakeDoc& b = acad->addDoc(u"B.dwg", u"/work");
  FakeDoc& c = acad->addDoc(u"C.dwg", u"/work");
  CloseAutoCAD(ctx, false);
  for (FakeDoc* d : {&a, &b, &c}) {
    SCOPED_TRACE(u8(d->name));
    EXPECT_TRUE(d->closed);
    ASSERT_EQ(d->closeFlags.size(), 1u);  // closed by the method, not by Quit
    EXPECT_EQ(d->closeFlags[0], Variant(false));
  }
  EXPECT_TRUE(acad->quit);
  EXPECT_GT(acad->log->index("App.Quit"), acad->log->index("Doc:C.dwg.Close"));
  EXPECT_FALSE(objAcadApp);
  EXPECT_FALSE(objAcadDoc);
}

TEST_F(CadTest, CloseAutoCADPassesTheSaveFlagAndGoesOnPastFailures) {
  FakeDoc& a = runningWithHeldDoc();
  FakeDoc& b = acad->addDoc(u"B.dwg", u"/work");
  a.obj->fail("Close");
  CloseAutoCAD(ctx, true);
  ASSERT_EQ(b.closeFlags.size(), 1u);
  EXPECT_EQ(b.closeFlags[0], Variant(true));
  EXPECT_TRUE(acad->quit);  // the failed close did not stop the rest
  EXPECT_FALSE(objAcadApp);
}

TEST_F(CadTest, CloseAutoCADWithNothingRunningEmptiesBothReferences) {
  runningWithHeldDoc();
  revokeRunning(FakeAcad::kProgId);
  CloseAutoCAD(ctx, false);
  EXPECT_FALSE(objAcadApp);
  EXPECT_FALSE(objAcadDoc);
  EXPECT_FALSE(acad->quit);
}

TEST_F(CadTest, CloseAutoCADReleasesAHeldDocumentEvenWithoutAHeldApplication) {
  // OpenDocument of a missing file empties the application but keeps the document it held.
  runningWithHeldDoc();
  EXPECT_EQ(OpenDocument(ctx, u"/nowhere/missing.dwg", false, false, false, 1, 1), -2);
  ASSERT_FALSE(objAcadApp);
  ASSERT_TRUE(objAcadDoc);
  revokeRunning(FakeAcad::kProgId);
  CloseAutoCAD(ctx, false);
  EXPECT_FALSE(objAcadDoc);
}

}  // namespace
}  // namespace tlxtest
