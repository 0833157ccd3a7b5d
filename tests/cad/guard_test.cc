// The document guard in its status-code and raising forms, across every guarded method.
#include "cad_fixture.h"

namespace tlxtest {
namespace {

// Every status-code method behind the guard, called with harmless arguments (the zoom methods
// share one guarded body: ZoomAll stands for them).
std::vector<std::pair<std::string, std::function<int(const AcadContext&)>>> statusMethods() {
  return {
      {"ZoomAll", [](auto& c) { return ZoomAll(c); }},
      {"Regenerate", [](auto& c) { return Regenerate(c, 0); }},
      {"DeleteView", [](auto& c) { return DeleteView(c, u"V"); }},
      {"SetViewPort", [](auto& c) { return SetViewPort(c, u"V"); }},
      {"SetGridSpacing", [](auto& c) { return SetGridSpacing(c, 1, 1, u"", false); }},
      {"DeleteViewPort", [](auto& c) { return DeleteViewPort(c, u"V"); }},
      {"SaveDocument", [](auto& c) { return SaveDocument(c, u""); }},
      {"DocumentCount", [](auto& c) { return DocumentCount(c); }},
  };
}

std::vector<std::pair<std::string, std::function<void(const AcadContext&)>>> raisingMethods() {
  return {
      {"ActiveDocumentName", [](auto& c) { ActiveDocumentName(c); }},
      {"ActiveDocumentPath", [](auto& c) { ActiveDocumentPath(c); }},
      {"GetDocumentObject", [](auto& c) { GetDocumentObject(c); }},
      {"CreateView", [](auto& c) { CreateView(c, u"V"); }},
      {"CreateViewPort", [](auto& c) { CreateViewPort(c, u"V"); }},
  };
}

// Every guarded method stops with this code or raises this description.
void expectEveryMethodStopped(const AcadContext& ctx, int code, const std::string& description) {
  for (auto& [name, call] : statusMethods()) EXPECT_EQ(call(ctx), code) << name;
  for (auto& [name, call] : raisingMethods()) {
    SCOPED_TRACE(name);
    expectRaises([&] { call(ctx); }, description);
  }
}

TEST_F(CadTest, GuardedMethodsStopWithoutAnApplicationOrAHeldDocumentThatAnswers) {
  expectEveryMethodStopped(ctx, -1, "AutoCAD is not active.");
  EXPECT_FALSE(objAcadApp);

  start();
  expectEveryMethodStopped(ctx, -2, "Document is not active.");  // attached, nothing held
  EXPECT_EQ(objAcadApp, app);
  EXPECT_TRUE(saved(activeDoc()));  // nothing was zoomed or added

  objAcadDoc = open(drawing("Plan.dxf"));
  callMethod(objAcadDoc, "Close", {Variant(false)});  // closed, the held document refuses Activate
  expectEveryMethodStopped(ctx, -2, "Document is not active.");
  EXPECT_TRUE(saved(activeDoc()));

  callMethod(app, "Quit");  // ended, the application's stale reference still counts as attached
  expectEveryMethodStopped(ctx, -2, "Document is not active.");
}

TEST_F(CadTest, GuardActivatesTheHeldDocumentBeforeWorkingOnIt) {
  ObjRef plan = runningWithHeldDoc();
  ObjRef other = open(drawing("Other.dxf"));  // now the application's active document
  EXPECT_EQ(ZoomExtents(ctx), 1);
  EXPECT_EQ(activeDoc(), plan);
  EXPECT_FALSE(saved(plan));
  EXPECT_TRUE(saved(other));
}

}  // namespace
}  // namespace tlxtest
