// Named views, viewport configurations and the grid of the held document.
#include "automation/strings.h"
#include "cad/acad_steps.h"
#include "cad/cad_methods.h"

namespace tlx {

using namespace cad;

namespace {

ObjRef views(const AcadContext& ctx) { return objectProperty(ctx.objAcadDoc, "Views"); }
ObjRef viewports(const AcadContext& ctx) { return objectProperty(ctx.objAcadDoc, "Viewports"); }
ObjRef activeViewport(const AcadContext& ctx) { return objectProperty(ctx.objAcadDoc, "ActiveViewport"); }

}  // namespace

ObjRef CreateView(const AcadContext& ctx, const BStr& strName) {
  ErrorFrame f;
  raisingGuard(ctx, f);
  ObjRef view;
  f.step([&] { view = objectOf(callMethod(views(ctx), "Add", {strName})); });
  if (f.pending()) Raise("Unable to create view object.");
  return view;
}

ObjRef CreateViewPort(const AcadContext& ctx, const BStr& strName) {
  ErrorFrame f;
  raisingGuard(ctx, f);
  ObjRef viewport;
  f.step([&] { viewport = objectOf(callMethod(viewports(ctx), "Add", {strName})); });
  if (f.pending()) Raise("Unable to create viewport object.");
  return viewport;
}

int16_t DeleteView(const AcadContext& ctx, const BStr& strName) {
  ErrorFrame f;
  if (int16_t code = guardCode(ctx, f)) return code;
  ObjRef view;
  f.step([&] { view = objectOf(callMethod(views(ctx), "Item", {strName})); });
  f.step([&] { callMethod(view, "Delete"); });
  return f.pending() ? -3 : 1;
}

int16_t SetViewPort(const AcadContext& ctx, const BStr& strName) {
  ErrorFrame f;
  if (int16_t code = guardCode(ctx, f)) return code;
  ObjRef viewport;
  f.step([&] { viewport = objectOf(callMethod(viewports(ctx), "Item", {strName})); });
  f.step([&] { putProperty(ctx.objAcadDoc, "ActiveViewport", required(viewport)); });
  return f.pending() ? -3 : 1;
}

// A missing named viewport does not stop the grid: it is set on the viewport already active.
int16_t SetGridSpacing(const AcadContext& ctx, double Xspace, double Yspace, const BStr& strViewPort,
                       bool blnGrid) {
  ErrorFrame f;
  if (int16_t code = guardCode(ctx, f)) return code;
  if (!trimSpaces(strViewPort).empty()) {
    ObjRef viewport;
    f.step([&] { viewport = objectOf(callMethod(viewports(ctx), "Item", {strViewPort})); });
    f.step([&] { putProperty(ctx.objAcadDoc, "ActiveViewport", required(viewport)); });
  }
  f.step([&] { putProperty(activeViewport(ctx), "GridOn", blnGrid); });
  f.step([&] { callMethod(activeViewport(ctx), "SetGridSpacing", {Xspace, Yspace}); });
  return f.pending() ? -3 : 1;
}

int16_t DeleteViewPort(const AcadContext& ctx, const BStr& strName) {
  ErrorFrame f;
  if (int16_t code = guardCode(ctx, f)) return code;
  f.step([&] { callMethod(viewports(ctx), "DeleteConfiguration", {strName}); });
  return f.pending() ? -3 : 1;
}

}  // namespace tlx
