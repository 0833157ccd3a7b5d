// Zoom and regeneration of the held document. After the guard, the zoom methods run in trap
// mode: the first failure ends them with -3.
#include "cad/acad_steps.h"
#include "cad/cad_methods.h"

namespace tlx {

using namespace cad;

namespace {

// Runs the body of a zoom method after the status-code guard: 1, or -3 on any failure.
template <class Body>
int16_t guardedZoom(const AcadContext& ctx, Body&& body) {
  ErrorFrame f;
  if (int16_t code = guardCode(ctx, f)) return code;
  try {
    body();
  } catch (...) {
    return -3;
  }
  return 1;
}

}  // namespace

int16_t Zoom(const AcadContext& ctx, double dblStartPtX, double dblStartPtY, double dblStartPtZ,
             double dblEndPtX, double dblEndPtY, double dblEndPtZ) {
  return guardedZoom(ctx, [&] {
    Variant startPoint = point(dblStartPtX, dblStartPtY, dblStartPtZ);
    Variant endPoint = point(dblEndPtX, dblEndPtY, dblEndPtZ);
    callMethod(ctx.objAcadApp, "ZoomWindow", {startPoint, endPoint});
  });
}

int16_t ZoomCenter(const AcadContext& ctx, double dblCenterPtX, double dblCenterPtY,
                   double dblCenterPtZ, double dblMagnify) {
  return guardedZoom(ctx, [&] {
    Variant centerPoint = point(dblCenterPtX, dblCenterPtY, dblCenterPtZ);
    callMethod(ctx.objAcadApp, "ZoomCenter", {centerPoint, dblMagnify});
  });
}

int16_t ZoomScaled(const AcadContext& ctx, double dblScale, int32_t lngScaleType) {
  return guardedZoom(ctx, [&] {
    if (lngScaleType < 0 || lngScaleType > 2) lngScaleType = 0;
    callMethod(ctx.objAcadApp, "ZoomScaled", {dblScale, lngScaleType});
  });
}

int16_t ZoomPick(const AcadContext& ctx) {
  return guardedZoom(ctx, [&] {
    activateAcadWindow(ctx);
    callMethod(ctx.objAcadApp, "ZoomPickWindow");
  });
}

int16_t ZoomAll(const AcadContext& ctx) {
  return guardedZoom(ctx, [&] {
    activateAcadWindow(ctx);
    callMethod(ctx.objAcadApp, "ZoomAll");
  });
}

int16_t ZoomExtents(const AcadContext& ctx) {
  return guardedZoom(ctx, [&] {
    activateAcadWindow(ctx);
    callMethod(ctx.objAcadApp, "ZoomExtents");
  });
}

int16_t ZoomPrevious(const AcadContext& ctx) {
  return guardedZoom(ctx, [&] {
    activateAcadWindow(ctx);
    callMethod(ctx.objAcadApp, "ZoomPrevious");
  });
}

// Regeneration stays in continue-on-error mode and reports success even when refused.
int16_t Regenerate(const AcadContext& ctx, int32_t lngViewPort) {
  ErrorFrame f;
  if (int16_t code = guardCode(ctx, f)) return code;
  if (lngViewPort != 0 && lngViewPort != 1) lngViewPort = 0;
  f.step([&] { callMethod(ctx.objAcadDoc, "Regen", {lngViewPort}); });
  return 1;
}

}  // namespace tlx
