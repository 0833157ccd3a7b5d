// Attaching to the drawing application, steering its main window, its version, ending it.
#include <vector>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "cad/acad_steps.h"
#include "cad/cad_methods.h"

namespace tlx {

using namespace cad;

bool IsAutoCADUp(const AcadContext& ctx) {
  ErrorFrame f;
  f.enter();
  return isAutoCADUp(ctx, f);
}

void SwitchToAutoCAD(const AcadContext& ctx) {
  ErrorFrame f;
  requireAttached(ctx, f);
  f.step([&] { activateAcadWindow(ctx); });
  if (f.pending()) Raise("Unable to activate AutoCAD.");
}

int16_t GetAutoCADObject(const AcadContext& ctx, Variant& objAutoCADApp) {
  ErrorFrame f;
  f.enter();
  if (!isAutoCADUp(ctx, f)) return -1;
  objAutoCADApp = Variant(ctx.objAcadApp);
  return f.pending() ? -2 : 1;
}

// No frame of its own: a missing application or a version text that is not a number fails the
// call with the underlying error.
int16_t GetVersion(const AcadContext& ctx) {
  BStr version = toBStr(getProperty(ctx.objAcadApp, "Version"));
  size_t dot = version.find(u'.');
  return toI2(Variant(dot == BStr::npos ? version : version.substr(0, dot)));
}

void HideAutoCAD(const AcadContext& ctx) {
  ErrorFrame f;
  requireAttached(ctx, f);
  f.step([&] { putProperty(ctx.objAcadApp, "Visible", false); });
  if (f.pending()) Raise("Unable to hide AutoCAD.");
}

void UnhideAutoCAD(const AcadContext& ctx) {
  ErrorFrame f;
  requireAttached(ctx, f);
  f.step([&] { putProperty(ctx.objAcadApp, "Visible", true); });
  if (f.pending()) Raise("Unable to unhide AutoCAD.");
}

void CloseAutoCAD(const AcadContext& ctx, bool blnSave) {
  ErrorFrame f;
  f.enter();
  ObjRef acad;
  f.step([&] { acad = getObject(kAcadProgId); });
  if (acad) {
    ObjRef docs;
    int32_t count = 0;
    f.step([&] { docs = objectProperty(acad, "Documents"); });
    f.step([&] { count = toI4(getProperty(docs, "Count")); });
    // Collect first: each Close shrinks the collection, so walking it by index while closing
    // would leave every other document open.
    std::vector<ObjRef> open;
    for (int32_t i = 0; i < count; ++i)
      f.step([&] { open.push_back(objectOf(callMethod(docs, "Item", {Variant(i)}))); });
    for (const ObjRef& doc : open) f.step([&] { callMethod(doc, "Close", {Variant(blnSave)}); });
    f.step([&] { callMethod(acad, "Quit"); });
  }
  // Both always: a held document may outlive a failed OpenDocument that emptied the application.
  ctx.objAcadDoc.reset();
  ctx.objAcadApp.reset();
}

}  // namespace tlx
