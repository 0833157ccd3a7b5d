#include "cad/acad_steps.h"

#include <memory>

#include "talvex/convert.h"
#include "talvex/registry.h"

namespace tlx::cad {

bool isAutoCADUp(const AcadContext& ctx, ErrorFrame& f) {
  f.step([&] { ctx.objAcadApp = getObject(kAcadProgId); });
  return static_cast<bool>(ctx.objAcadApp);
}

Guard documentGuard(const AcadContext& ctx, ErrorFrame& f) {
  f.enter();
  if (!isAutoCADUp(ctx, f)) return Guard::NotAttached;
  f.step([&] { callMethod(ctx.objAcadDoc, "Activate"); });
  if (f.pending()) return Guard::NotActive;
  return Guard::Ok;
}

int16_t guardCode(const AcadContext& ctx, ErrorFrame& f) {
  switch (documentGuard(ctx, f)) {
    case Guard::NotAttached: return -1;
    case Guard::NotActive: return -2;
    case Guard::Ok: break;
  }
  return 0;
}

void raisingGuard(const AcadContext& ctx, ErrorFrame& f) {
  switch (documentGuard(ctx, f)) {
    case Guard::NotAttached: Raise("AutoCAD is not active.");
    case Guard::NotActive: Raise("Document is not active.");
    case Guard::Ok: break;
  }
}

void requireAttached(const AcadContext& ctx, ErrorFrame& f) {
  f.enter();
  if (!isAutoCADUp(ctx, f)) Raise("AutoCAD is not active.");
}

Variant point(double x, double y, double z) {
  auto pt = std::make_unique<SafeArray>(std::vector<Bound>{{0, 3}}, vtR8);
  pt->at(0) = x;
  pt->at(1) = y;
  pt->at(2) = z;
  return Variant(std::move(pt));
}

ObjRef objectProperty(const ObjRef& obj, std::string_view name) { return objectOf(getProperty(obj, name)); }

const ObjRef& required(const ObjRef& obj) {
  if (!obj) throw ComError(hr::OBJECT_VARIABLE_NOT_SET);
  return obj;
}

void activateAcadWindow(const AcadContext& ctx) {
  ctx.site.activateWindow(toBStr(getProperty(ctx.objAcadApp, "Caption")));
}

void activateHostWindow(const AcadContext& ctx) { ctx.site.activateWindow(ctx.site.formCaption()); }

Variant pickPoint(const AcadContext& ctx, ErrorFrame& f, std::u16string_view prompt) {
  Variant pt = point(0, 0, 0);
  Variant picked;
  f.step([&] {
    ObjRef utility = objectProperty(ctx.objAcadDoc, "Utility");
    picked = callMethod(utility, "GetPoint", {Variant::missing(), Variant(prompt)});
  });
  f.step([&] {
    const SafeArray* from = picked.array();
    if (!from) throw ComError(hr::DISP_E_TYPEMISMATCH, "Type mismatch");
    for (int32_t i = 0; i < 3; ++i) pt.array()->at(i) = toDouble(from->at(from->lbound(1) + i));
  });
  return pt;
}

ObjRef drawingSpace(const AcadContext& ctx, int32_t lngDrawingSpace) {
  return objectProperty(ctx.objAcadDoc, lngDrawingSpace != 0 ? "PaperSpace" : "ModelSpace");
}

void updateEntity(const ObjRef& entity) {
  ErrorFrame().step([&] { callMethod(entity, "Update"); });
}

void returnToHost(const AcadContext& ctx) {
  ErrorFrame().step([&] { activateHostWindow(ctx); });
}

int32_t clampWindowState(int32_t state) { return state < 1 || state > 3 ? 1 : state; }

}  // namespace tlx::cad
