// Opening, adding, activating, saving and closing documents, and reading what is open.
#include "cad_fixture.h"

namespace tlxtest {
namespace {

TEST_F(CadTest, OpenDocumentStartsTheApplicationAndHoldsItsUntouchedDrawing) {
  installFactory();
  EXPECT_EQ(OpenDocument(ctx, u"", false, false, false, 9, 2), 1);
  ASSERT_TRUE(started);
  EXPECT_EQ(objAcadApp, ObjRef(started->app));
  EXPECT_EQ(started->visible, std::vector<Variant>{Variant(true)});
  EXPECT_EQ(started->windowState, std::vector<Variant>{Variant(int32_t{1})});  // 9 clamped
  ASSERT_EQ(started->docs.size(), 1u);  // the first drawing is held, none added
  EXPECT_EQ(objAcadDoc, ObjRef(started->docs[0]->obj));
  EXPECT_EQ(started->docs[0]->windowState, 2);
  EXPECT_EQ(site.activated, std::vector<std::string>{"Form1"});
  EXPECT_TRUE(site.messages.empty());
}

TEST_F(CadTest, OpenDocumentStartsHiddenWhenAskedAndLeavesTheWindowStateAlone) {
  installFactory();
  EXPECT_EQ(OpenDocument(ctx, u"", true, false, true, 3, 0), 1);
  EXPECT_EQ(started->visible, std::vector<Variant>{Variant(false)});
  EXPECT_TRUE(started->windowState.empty());
  EXPECT_EQ(started->docs[0]->windowState, 1);  // 0 clamped
  EXPECT_EQ(site.activated, std::vector<std::string>{"FakeCAD - [Drawing1.dwg]"});
}

TEST_F(CadTest, OpenDocumentReportsMinusOneWhenNothingRunsOrStarts) {
  EXPECT_EQ(OpenDocument(ctx, u"", false, false, false, 1, 1), -1);
  EXPECT_FALSE(objAcadApp);
}

TEST_F(CadTest, OpenDocumentWithoutANameAddsADrawingWhenARunningOneIsNotUntouched) {
  acad->run();
  acad->addDoc(u"Plan.dwg", u"/work");
  EXPECT_EQ(OpenDocument(ctx, u"", false, false, false, 3, 3), 1);
  EXPECT_EQ(acad->added, 1);
  EXPECT_EQ(objAcadDoc, ObjRef(acad->docs.back()->obj));
  EXPECT_TRUE(acad->visible.empty());  // a running instance is never shown or resized
  EXPECT_TRUE(acad->windowState.empty());
}

TEST_F(CadTest, OpenDocumentWithoutANameAndNoDocumentOpenAddsOne) {
  acad->run();
  EXPECT_EQ(OpenDocument(ctx, u"", false, false, false, 1, 1), 1);
  EXPECT_EQ(acad->added, 1);
  EXPECT_TRUE(objAcadDoc);
  EXPECT_TRUE(site.messages.empty());
}

TEST_F(CadTest, OpenDocumentShowsThePendingErrorInAMessageBoxWhenNoNameWasGiven) {
  acad->run();
  acad->addDoc(u"DRAWING1.DWG", u"");
  acad->docs[0]->obj->fail("WindowState");
  EXPECT_EQ(OpenDocument(ctx, u"", false, false, false, 1, 1), -3);
  EXPECT_EQ(site.messages, std::vector<std::string>{"Doc:DRAWING1.DWG.WindowState failed"});
  EXPECT_EQ(objAcadDoc, ObjRef(acad->docs[0]->obj));  // the untouched drawing, compared in lower case
  EXPECT_EQ(acad->added, 0);
}

TEST_F(CadTest, OpenDocumentFindsAnOpenDocumentByFolderAndNameWithoutCase) {
  acad->run();
  FakeDoc& plan = acad->addDoc(u"Plan.dwg", u"/Work/Plans");
  acad->addDoc(u"Other.dwg", u"/work");
  EXPECT_EQ(OpenDocument(ctx, u"/work/plans/PLAN.DWG", true, true, false, 1, 1), 1);
  EXPECT_FALSE(acad->log->has("Documents.Open"));  // read-only flag ignored: nothing opened
  EXPECT_EQ(objAcadDoc, ObjRef(plan.obj));
  EXPECT_EQ(acad->active, &plan);
  EXPECT_EQ(plan.windowState, 3);
  EXPECT_EQ(site.activated, std::vector<std::string>{"FakeCAD - [Drawing1.dwg]"});
}

TEST_F(CadTest, OpenDocumentLooksForABareNameInTheActiveDocumentsFolder) {
  acad->run();
  FakeDoc& plan = acad->addDoc(u"Plan.dwg", u"/work");
  acad->addDoc(u"Other.dwg", u"/work");
  EXPECT_EQ(OpenDocument(ctx, u"plan.dwg", false, false, false, 1, 1), 1);
  EXPECT_EQ(objAcadDoc, ObjRef(plan.obj));
  EXPECT_FALSE(acad->log->has("Documents.Open"));

  // A bare name matching nothing open goes to Open unchanged.
  acad->openable.insert("Elsewhere.dwg");
  EXPECT_EQ(OpenDocument(ctx, u"Elsewhere.dwg", false, false, false, 1, 1), 1);
  EXPECT_EQ(u8(acad->byObj(objAcadDoc)->name), "Elsewhere.dwg");
  EXPECT_EQ(OpenDocument(ctx, u"Nowhere.dwg", false, false, false, 1, 1), -2);
}

TEST_F(CadTest, OpenDocumentOpensAFileThatIsNotOpenAndMaximizesIt) {
  acad->run();
  acad->addDoc(u"Plan.dwg", u"/work");
  acad->openable.insert("/work/b/Site.dwg");
  EXPECT_EQ(OpenDocument(ctx, u"/work/b/Site.dwg", false, true, false, 2, 2), 1);
  FakeDoc* site_ = acad->byObj(objAcadDoc);
  ASSERT_TRUE(site_);
  EXPECT_EQ(u8(site_->name), "Site.dwg");
  EXPECT_EQ(site_->windowState, 3);
}

TEST_F(CadTest, OpenDocumentOfAMissingFileEmptiesTheApplicationAndKeepsTheHeldDocument) {
  FakeDoc& plan = runningWithHeldDoc();
  EXPECT_EQ(OpenDocument(ctx, u"/work/missing.dwg", false, false, false, 1, 1), -2);
  EXPECT_FALSE(objAcadApp);
  EXPECT_EQ(objAcadDoc, ObjRef(plan.obj));
  EXPECT_TRUE(site.messages.empty());
}

TEST_F(CadTest, OpenDocumentOpensWhenTheActiveFolderCannotBeRead) {
  acad->run();
  FakeDoc& plan = acad->addDoc(u"Plan.dwg", u"/work");
  plan.obj->fail("Path");
  acad->openable.insert("/work/Plan.dwg");
  EXPECT_EQ(OpenDocument(ctx, u"/work/Plan.dwg", false, false, false, 1, 1), 1);
  EXPECT_TRUE(acad->log->has("Documents.Open"));
}

TEST_F(CadTest, OpenDocumentIgnoresFailuresAfterTheDocumentIsChosen) {
  acad->run();
  acad->openable.insert("/work/Plan.dwg");
  site.refuse.insert("Form1");
  EXPECT_EQ(OpenDocument(ctx, u"/work/Plan.dwg", false, false, false, 1, 1), 1);
  EXPECT_TRUE(site.messages.empty());
}

TEST_F(CadTest, ActivateDocumentSelectsByNameOrPositiveIntegerElseTheActiveOne) {
  EXPECT_EQ(ActivateDocument(ctx, Variant(u"A.dwg"), false), -1);
  acad->run();
  FakeDoc& a = acad->addDoc(u"A.dwg", u"/w");
  FakeDoc& b = acad->addDoc(u"B.dwg", u"/w");
  FakeDoc& c = acad->addDoc(u"C.dwg", u"/w");

  EXPECT_EQ(ActivateDocument(ctx, Variant(u"a.DWG"), true), 1);
  EXPECT_EQ(objAcadDoc, ObjRef(a.obj));
  EXPECT_EQ(acad->active, &a);
  EXPECT_EQ(site.activated, std::vector<std::string>{"FakeCAD - [Drawing1.dwg]"});

  EXPECT_EQ(ActivateDocument(ctx, Variant(int16_t{1}), false), 1);
  EXPECT_EQ(objAcadDoc, ObjRef(b.obj));

  acad->active = &c;
  for (const Variant& none : {Variant(int16_t{0}), Variant(int32_t{1}), Variant(u""), Variant::missing(),
                              Variant(int16_t{-2}), Variant(1.0)}) {
    objAcadDoc.reset();
    EXPECT_EQ(ActivateDocument(ctx, none, false), 1);
    EXPECT_EQ(objAcadDoc, ObjRef(c.obj));
  }
  EXPECT_EQ(site.activated.size(), 1u);
}

TEST_F(CadTest, ActivateDocumentOfAnUnknownDocumentKeepsTheHeldOne) {
  FakeDoc& plan = runningWithHeldDoc();
  EXPECT_EQ(ActivateDocument(ctx, Variant(u"Nope.dwg"), false), -2);
  EXPECT_EQ(ActivateDocument(ctx, Variant(int16_t{5}), false), -2);
  EXPECT_EQ(objAcadDoc, ObjRef(plan.obj));
  // No document open at all: nothing is active.
  callMethod(plan.obj, "Close", {Variant(false)});
  EXPECT_EQ(ActivateDocument(ctx, Variant(), false), -2);
}

TEST_F(CadTest, AddDocumentHoldsTheNewActiveDocument) {
  expectRaises([&] { AddDocument(ctx, Variant::missing()); }, "AutoCAD is not active.");
  runningWithHeldDoc();
  AddDocument(ctx, Variant::missing());
  EXPECT_EQ(objAcadDoc, ObjRef(acad->docs.back()->obj));
  EXPECT_EQ(u8(acad->docs.back()->name), "Drawing2.dwg");
  acad->documents->fail("Add");
  expectRaises([&] { AddDocument(ctx, Variant(u"acad.dwt")); }, "Unable to add a document.");
}

TEST_F(CadTest, NamePathAndObjectOfTheHeldDocument) {
  FakeDoc& plan = runningWithHeldDoc();
  EXPECT_EQ(u8(ActiveDocumentName(ctx)), "Plan.dwg");
  EXPECT_EQ(u8(ActiveDocumentPath(ctx)), "/work/plans");
  EXPECT_EQ(GetDocumentObject(ctx), ObjRef(plan.obj));
  plan.obj->fail("Path");
  EXPECT_EQ(u8(ActiveDocumentPath(ctx)), "");
}

TEST_F(CadTest, DocumentCountAndNames) {
  runningWithHeldDoc();
  acad->addDoc(u"B.dwg", u"/w");
  acad->addDoc(u"C.dwg", u"/w");
  EXPECT_EQ(DocumentCount(ctx), 3);

  Variant names = Variant(u"old contents");
  EXPECT_EQ(GetDocumentNames(ctx, names), 1);
  const SafeArray& a = names.arrayRef();
  EXPECT_EQ(a.dims(), 1);
  EXPECT_EQ(a.lbound(), 0);
  EXPECT_EQ(a.ubound(), 2);
  EXPECT_EQ(a.at(0), Variant(u"Plan.dwg"));
  EXPECT_EQ(a.at(2), Variant(u"C.dwg"));

  // A longer array from before shrinks to the documents open now.
  callMethod(acad->docs[2]->obj, "Close", {Variant(false)});
  EXPECT_EQ(GetDocumentNames(ctx, names), 1);
  EXPECT_EQ(names.arrayRef().ubound(), 1);

  acad->docs[1]->obj->fail("Name");
  EXPECT_EQ(GetDocumentNames(ctx, names), -3);
}

TEST_F(CadTest, GetDocumentNamesAttachesOnItsOwn) {
  Variant names;
  EXPECT_EQ(GetDocumentNames(ctx, names), -1);
  acad->run();
  EXPECT_EQ(GetDocumentNames(ctx, names), -2);  // nothing open, nothing active
  acad->addDoc(u"A.dwg", u"/w");
  EXPECT_EQ(GetDocumentNames(ctx, names), 1);
  EXPECT_FALSE(objAcadApp);  // the control's references are not touched
  EXPECT_FALSE(objAcadDoc);
}

TEST_F(CadTest, GetDocumentNamesWithoutADocumentsCollectionGivesMinusThree) {
  acad->run();
  acad->addDoc(u"A.dwg", u"/w");
  acad->app->on("Documents", [](auto&) { return Variant(ObjRef()); });  // Nothing
  Variant names;
  EXPECT_EQ(GetDocumentNames(ctx, names), -3);
}

TEST_F(CadTest, SaveDocumentSavesOrSavesUnderANewNameAndHoldsTheActiveDocument) {
  FakeDoc& plan = runningWithHeldDoc();
  EXPECT_EQ(SaveDocument(ctx, u""), 1);
  EXPECT_EQ(plan.saves, 1);
  EXPECT_EQ(SaveDocument(ctx, u"/out/Copy.dwg"), 1);
  EXPECT_EQ(plan.savedAs, std::vector<BStr>{u"/out/Copy.dwg"});
  EXPECT_EQ(objAcadDoc, ObjRef(plan.obj));
  plan.obj->fail("SaveAs");
  EXPECT_EQ(SaveDocument(ctx, u"/out/Again.dwg"), -3);
  plan.obj->fail("Save");
  EXPECT_EQ(SaveDocument(ctx, u""), -3);
}

TEST_F(CadTest, CloseDocumentKeepsTheClosedDocumentHeldSoZoomAllGivesMinusTwo) {
  expectRaises([&] { CloseDocument(ctx, false); }, "AutoCAD is not active.");
  FakeDoc& plan = runningWithHeldDoc();
  CloseDocument(ctx, true);
  EXPECT_TRUE(plan.closed);
  EXPECT_EQ(plan.closeFlags, std::vector<Variant>{Variant(true)});
  EXPECT_EQ(objAcadDoc, ObjRef(plan.obj));
  EXPECT_EQ(ZoomAll(ctx), -2);
  expectRaises([&] { CloseDocument(ctx, false); }, "Unable to close document.");
}

}  // namespace
}  // namespace tlxtest
