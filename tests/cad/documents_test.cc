// Opening, adding, activating, saving and closing documents, and reading what is open.
#include <filesystem>

#include "cad_fixture.h"

namespace tlxtest {
namespace {

TEST_F(CadTest, OpenDocumentStartsTheApplicationAndHoldsItsUntouchedDrawing) {
  EXPECT_EQ(OpenDocument(ctx, u"", false, false, false, 9, 2), 1);
  ASSERT_TRUE(objAcadApp);
  EXPECT_TRUE(toBool(getProperty(objAcadApp, "Visible")));
  EXPECT_EQ(toI4(getProperty(objAcadApp, "WindowState")), 1);  // 9 clamped
  EXPECT_EQ(name(objAcadDoc), "Drawing1.dwg");  // compared in lower case
  EXPECT_EQ(toI4(getProperty(objAcadDoc, "WindowState")), 2);
  EXPECT_EQ(site.activated, std::vector<std::string>{"Form1"});
  // Asked again while that drawing is still the untouched one: held again, none added.
  EXPECT_EQ(OpenDocument(ctx, u"", false, false, false, 1, 1), 1);
  EXPECT_EQ(openCount(), 1);
  EXPECT_TRUE(site.messages.empty());

  // Started hidden when asked, its window state then left alone.
  CloseAutoCAD(ctx, false);
  EXPECT_EQ(OpenDocument(ctx, u"", false, false, true, 3, 0), 1);
  EXPECT_FALSE(toBool(getProperty(objAcadApp, "Visible")));
  EXPECT_EQ(toI4(getProperty(objAcadApp, "WindowState")), 1);
  EXPECT_EQ(toI4(getProperty(objAcadDoc, "WindowState")), 1);  // 0 clamped

  // Nothing runs and nothing starts.
  CloseAutoCAD(ctx, false);
  unregisterClass(kAcadProgId);
  EXPECT_EQ(OpenDocument(ctx, u"", false, false, false, 1, 1), -1);
  EXPECT_FALSE(objAcadApp);
}

TEST_F(CadTest, OpenDocumentWithoutANameInARunningInstanceShowsThePendingErrorOrAddsADrawing) {
  start();
  putProperty(app, "Visible", Variant(false));  // so that bringing it forward fails
  EXPECT_EQ(OpenDocument(ctx, u"", true, false, false, 1, 1), -3);
  EXPECT_EQ(site.messages, std::vector<std::string>{"No visible window has the title \"AutoCAD - [Drawing1.dwg]\""});
  EXPECT_EQ(name(objAcadDoc), "Drawing1.dwg");
  EXPECT_EQ(openCount(), 1);
  site.messages.clear();

  open(drawing("Plan.dxf"));  // the active drawing is not the untouched one: one is added
  EXPECT_EQ(OpenDocument(ctx, u"", false, false, false, 3, 3), 1);
  EXPECT_EQ(name(objAcadDoc), "Drawing2.dwg");
  EXPECT_FALSE(toBool(getProperty(app, "Visible")));  // a running instance is never shown or resized
  EXPECT_EQ(toI4(getProperty(app, "WindowState")), 1);
  // None open at all: one is added too.
  callMethod(documents(), "Close");
  EXPECT_EQ(OpenDocument(ctx, u"", false, false, false, 1, 1), 1);
  EXPECT_EQ(openCount(), 1);
  EXPECT_TRUE(site.messages.empty());
}

TEST_F(CadTest, OpenDocumentFindsAnOpenDocumentByFolderAndNameWithoutCase) {
  start();
  std::filesystem::create_directory(dir.path() / "Plans");
  ObjRef plan = open(drawing("Plans/Plan.dxf"));
  open(drawing("Other.dxf"));
  BStr otherCase = u16(dir.path().string() + "/plans/PLAN.DXF");
  EXPECT_EQ(OpenDocument(ctx, otherCase, true, true, false, 1, 1), 1);
  EXPECT_EQ(openCount(), 3);
  EXPECT_EQ(objAcadDoc, plan);
  EXPECT_EQ(activeDoc(), plan);
  EXPECT_FALSE(toBool(getProperty(plan, "ReadOnly")));  // found, not opened: the flag is not used
  EXPECT_EQ(toI4(getProperty(plan, "WindowState")), 3);
  EXPECT_EQ(site.activated, std::vector<std::string>{"AutoCAD - [Plan.dxf]"});
}

TEST_F(CadTest, OpenDocumentLooksForABareNameInTheActiveDocumentsFolderElseOpensTheFile) {
  runningWithHeldDoc();
  ObjRef roof = open(drawing("Roof.dxf"));
  open(drawing("Other.dxf"));
  EXPECT_EQ(OpenDocument(ctx, u"roof.DXF", false, false, false, 1, 1), 1);
  EXPECT_EQ(objAcadDoc, roof);
  EXPECT_EQ(openCount(), 3);
  // A bare name matching nothing open goes to Open as it is: not in the working folder.
  EXPECT_EQ(OpenDocument(ctx, u"Nowhere.dxf", false, false, false, 1, 1), -2);

  // A file is opened maximized; failures after the open are ignored.
  putProperty(app, "Visible", Variant(false));  // so that bringing it forward fails
  EXPECT_EQ(OpenDocument(ctx, u16(drawing("Site.dxf")), true, false, false, 2, 2), 1);
  EXPECT_EQ(name(objAcadDoc), "Site.dxf");
  EXPECT_EQ(toI4(getProperty(objAcadDoc, "WindowState")), 3);
  EXPECT_TRUE(site.messages.empty());
}

TEST_F(CadTest, ActivateDocumentSelectsByNameOrPositiveIntegerElseTheActiveOne) {
  EXPECT_EQ(ActivateDocument(ctx, Variant(u"A.dxf"), false), -1);
  start();
  callMethod(documents(), "Close");
  ObjRef a = open(drawing("A.dxf")), b = open(drawing("B.dxf")), c = open(drawing("C.dxf"));

  EXPECT_EQ(ActivateDocument(ctx, Variant(u"a.DXF"), true), 1);
  EXPECT_EQ(objAcadDoc, a);
  EXPECT_EQ(activeDoc(), a);
  EXPECT_EQ(site.activated, std::vector<std::string>{"AutoCAD - [A.dxf]"});

  EXPECT_EQ(ActivateDocument(ctx, Variant(int16_t{1}), false), 1);
  EXPECT_EQ(objAcadDoc, b);

  callMethod(c, "Activate");
  for (const Variant& none : {Variant(int16_t{0}), Variant(int32_t{1}), Variant(u""), Variant::missing(),
                              Variant(int16_t{-2}), Variant(1.0)}) {
    objAcadDoc.reset();
    EXPECT_EQ(ActivateDocument(ctx, none, false), 1);
    EXPECT_EQ(objAcadDoc, c);
  }
  EXPECT_EQ(site.activated.size(), 1u);

  // An unknown document keeps the held one.
  EXPECT_EQ(ActivateDocument(ctx, Variant(u"Nope.dxf"), false), -2);
  EXPECT_EQ(ActivateDocument(ctx, Variant(int16_t{5}), false), -2);
  EXPECT_EQ(objAcadDoc, c);
  callMethod(documents(), "Close");  // none open: none is active
  EXPECT_EQ(ActivateDocument(ctx, Variant(), false), -2);
}

TEST_F(CadTest, AddDocumentHoldsTheNewDrawing) {
  expectRaises([&] { AddDocument(ctx, Variant::missing()); }, "AutoCAD is not active.");
  runningWithHeldDoc();
  AddDocument(ctx, Variant::missing());
  EXPECT_EQ(objAcadDoc, activeDoc());
  EXPECT_EQ(name(objAcadDoc), "Drawing2.dwg");
  expectRaises([&] { AddDocument(ctx, Variant(u16(dir.file("none.dwt")))); }, "Unable to add a document.");
}

TEST_F(CadTest, NamePathObjectCountAndNamesOfTheOpenDocuments) {
  Variant names = Variant(u"old contents");
  EXPECT_EQ(GetDocumentNames(ctx, names), -1);
  ObjRef plan = runningWithHeldDoc();
  EXPECT_EQ(u8(ActiveDocumentName(ctx)), "Plan.dxf");
  EXPECT_EQ(u8(ActiveDocumentPath(ctx)), dir.path().string());
  EXPECT_EQ(GetDocumentObject(ctx), plan);
  open(drawing("B.dxf"));
  open(drawing("C.dxf"));
  EXPECT_EQ(DocumentCount(ctx), 3);

  EXPECT_EQ(GetDocumentNames(ctx, names), 1);
  EXPECT_EQ(names.arrayRef().lbound(), 0);
  EXPECT_EQ(names.arrayRef().elements(),
            (std::vector<Variant>{Variant(u"Plan.dxf"), Variant(u"B.dxf"), Variant(u"C.dxf")}));
  // A longer array from before shrinks to the documents open now.
  callMethod(activeDoc(), "Close", {Variant(false)});
  EXPECT_EQ(GetDocumentNames(ctx, names), 1);
  EXPECT_EQ(names.arrayRef().ubound(), 1);
  // One of two dimensions cannot be resized to a list.
  Variant grid(std::make_unique<SafeArray>(std::vector<Bound>{{0, 2}, {0, 2}}));
  EXPECT_EQ(GetDocumentNames(ctx, grid), -3);

  // GetDocumentNames attaches on its own, leaving the control's references alone.
  objAcadApp.reset();
  EXPECT_EQ(GetDocumentNames(ctx, names), 1);
  EXPECT_FALSE(objAcadApp);
  callMethod(documents(), "Close");
  EXPECT_EQ(GetDocumentNames(ctx, names), -2);  // nothing open, nothing active
}

TEST_F(CadTest, SaveDocumentSavesOrSavesUnderANewNameAndHoldsTheActiveDocument) {
  ObjRef plan = runningWithHeldDoc();
  std::string before = readFile(dir.file("Plan.dxf"));
  EXPECT_EQ(Zoom(ctx, 0, 0, 0, 10, 10, 0), 1);
  EXPECT_EQ(SaveDocument(ctx, u""), 1);
  EXPECT_NE(readFile(dir.file("Plan.dxf")), before);
  EXPECT_EQ(SaveDocument(ctx, u16(dir.file("Copy.dxf"))), 1);
  EXPECT_EQ(name(objAcadDoc), "Copy.dxf");
  EXPECT_EQ(objAcadDoc, plan);
  EXPECT_EQ(SaveDocument(ctx, u16(dir.file("no-such-folder/x.dxf"))), -3);
  open(drawing("Locked.dxf"), true);
  ASSERT_EQ(ActivateDocument(ctx, Variant(u"Locked.dxf"), false), 1);
  EXPECT_EQ(SaveDocument(ctx, u""), -3);  // opened read-only
}

TEST_F(CadTest, CloseDocumentKeepsTheClosedDocumentHeldSoZoomAllGivesMinusTwo) {
  expectRaises([&] { CloseDocument(ctx, false); }, "AutoCAD is not active.");
  ObjRef plan = runningWithHeldDoc();
  std::string before = readFile(dir.file("Plan.dxf"));
  EXPECT_EQ(Zoom(ctx, 0, 0, 0, 10, 10, 0), 1);
  CloseDocument(ctx, true);
  EXPECT_NE(readFile(dir.file("Plan.dxf")), before);  // saved as asked
  EXPECT_EQ(openCount(), 0);
  EXPECT_EQ(objAcadDoc, plan);
  EXPECT_EQ(ZoomAll(ctx), -2);
  expectRaises([&] { CloseDocument(ctx, false); }, "Unable to close document.");
}

}  // namespace
}  // namespace tlxtest
