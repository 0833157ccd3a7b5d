// Drawing entities added to the held document: lines, arcs, circles, ellipses, solids and
// texts, from given coordinates or from points the user picks. Failures are raised.
#include "talvex/convert.h"
#include "cad/acad_steps.h"
#include "cad/cad_methods.h"

namespace tlx {

using namespace cad;

namespace {

struct Pick {
  std::u16string_view prompt;
  Variant& pt;
};

// The pipeline every Create method runs: guard, points (picked in manual insertion, else as
// given), the add on model or paper space, then Update and the optional return of the focus.
// An entity added before a failure stays in the drawing; the caller still gets the raise.
template <class Add>
ObjRef createEntity(const AcadContext& ctx, int32_t lngDrawingSpace, bool blnManualInsert, bool blnSwitchToApp,
                    std::initializer_list<Pick> picks, Add&& add, const char* failure) {
  ErrorFrame f;
  raisingGuard(ctx, f);
  if (blnManualInsert) {
    f.step([&] { activateAcadWindow(ctx); });
    for (const Pick& p : picks) p.pt = pickPoint(ctx, f, p.prompt);
  }
  ObjRef entity;
  f.step([&] { entity = objectOf(add(drawingSpace(ctx, lngDrawingSpace))); });
  if (f.pending()) Raise(failure);
  updateEntity(entity);
  if (blnSwitchToApp) returnToHost(ctx);
  return entity;
}

constexpr std::u16string_view kCenterPrompt = u"Select Center Point: ";

}  // namespace

ObjRef CreateLine(const AcadContext& ctx, int32_t lngDrawingSpace, bool blnManualInsert, bool blnSwitchToApp,
                  double dblStartPtX, double dblStartPtY, double dblStartPtZ, double dblEndPtX, double dblEndPtY,
                  double dblEndPtZ) {
  Variant startPoint = point(dblStartPtX, dblStartPtY, dblStartPtZ);
  Variant endPoint = point(dblEndPtX, dblEndPtY, dblEndPtZ);
  return createEntity(
      ctx, lngDrawingSpace, blnManualInsert, blnSwitchToApp,
      {{u"Select Start Point: ", startPoint}, {u"Select End Point: ", endPoint}},
      [&](const ObjRef& space) { return callMethod(space, "AddLine", {startPoint, endPoint}); },
      "Unable to create line object.");
}

ObjRef CreateArc(const AcadContext& ctx, double dblRadius, double dblStartAngle, double dblEndAngle,
                 int32_t lngDrawingSpace, bool blnManualInsert, bool blnSwitchToApp, double dblCenterPtX,
                 double dblCenterPtY, double dblCenterPtZ) {
  Variant centerPoint = point(dblCenterPtX, dblCenterPtY, dblCenterPtZ);
  return createEntity(
      ctx, lngDrawingSpace, blnManualInsert, blnSwitchToApp, {{kCenterPrompt, centerPoint}},
      [&](const ObjRef& space) {
        return callMethod(space, "AddArc", {centerPoint, dblRadius, dblStartAngle, dblEndAngle});
      },
      "Unable to create arc object.");
}

ObjRef CreateCircle(const AcadContext& ctx, double dblRadius, int32_t lngDrawingSpace, bool blnManualInsert,
                    bool blnSwitchToApp, double dblCenterPtX, double dblCenterPtY, double dblCenterPtZ) {
  Variant centerPoint = point(dblCenterPtX, dblCenterPtY, dblCenterPtZ);
  return createEntity(
      ctx, lngDrawingSpace, blnManualInsert, blnSwitchToApp, {{kCenterPrompt, centerPoint}},
      [&](const ObjRef& space) { return callMethod(space, "AddCircle", {centerPoint, dblRadius}); },
      "Unable to create circle object.");
}

// The major-axis point goes to the drawing unchanged: the application reads it as the axis
// vector from the centre.
ObjRef CreateEllipse(const AcadContext& ctx, double dblRadiusRatio, int32_t lngDrawingSpace, bool blnManualInsert,
                     bool blnSwitchToApp, double dblCenterPtX, double dblCenterPtY, double dblCenterPtZ,
                     double dblMajorAxisPtX, double dblMajorAxisPtY, double dblMajorAxisPtZ) {
  Variant centerPoint = point(dblCenterPtX, dblCenterPtY, dblCenterPtZ);
  Variant majorAxisPoint = point(dblMajorAxisPtX, dblMajorAxisPtY, dblMajorAxisPtZ);
  return createEntity(
      ctx, lngDrawingSpace, blnManualInsert, blnSwitchToApp,
      {{kCenterPrompt, centerPoint}, {u"Select Major Axis Point: ", majorAxisPoint}},
      [&](const ObjRef& space) {
        return callMethod(space, "AddEllipse", {centerPoint, majorAxisPoint, dblRadiusRatio});
      },
      "Unable to create ellipse object.");
}

ObjRef CreateCone(const AcadContext& ctx, double dblBaseRadius, double dblHeight, int32_t lngDrawingSpace,
                  bool blnManualInsert, bool blnSwitchToApp, double dblCenterPtX, double dblCenterPtY,
                  double dblCenterPtZ) {
  Variant centerPoint = point(dblCenterPtX, dblCenterPtY, dblCenterPtZ);
  return createEntity(
      ctx, lngDrawingSpace, blnManualInsert, blnSwitchToApp, {{kCenterPrompt, centerPoint}},
      [&](const ObjRef& space) { return callMethod(space, "AddCone", {centerPoint, dblBaseRadius, dblHeight}); },
      "Unable to create cone object.");
}

ObjRef CreateBox(const AcadContext& ctx, double dblLength, double dblWidth, double dblHeight, int32_t lngDrawingSpace,
                 bool blnManualInsert, bool blnSwitchToApp, double dblOriginPtX, double dblOriginPtY,
                 double dblOriginPtZ) {
  Variant originPoint = point(dblOriginPtX, dblOriginPtY, dblOriginPtZ);
  return createEntity(
      ctx, lngDrawingSpace, blnManualInsert, blnSwitchToApp, {{u"Select Origin Point: ", originPoint}},
      [&](const ObjRef& space) {
        return callMethod(space, "AddBox", {originPoint, dblLength, dblWidth, dblHeight});
      },
      "Unable to create box object.");
}

ObjRef CreateMultilineText(const AcadContext& ctx, double dblWidth, const BStr& strText, int32_t lngDrawingSpace,
                           bool blnManualInsert, bool blnSwitchToApp, double dblInsertPtX, double dblInsertPtY) {
  Variant insertionPoint = point(dblInsertPtX, dblInsertPtY, 0);
  return createEntity(
      ctx, lngDrawingSpace, blnManualInsert, blnSwitchToApp, {{kInsertionPrompt, insertionPoint}},
      [&](const ObjRef& space) { return callMethod(space, "AddMText", {insertionPoint, dblWidth, strText}); },
      "Unable to create multiline text object.");
}

// dblWidth is the text's height.
ObjRef CreateText(const AcadContext& ctx, double dblWidth, const BStr& strText, int32_t lngDrawingSpace,
                  bool blnManualInsert, bool blnSwitchToApp, double dblInsertPtX, double dblInsertPtY) {
  Variant insertionPoint = point(dblInsertPtX, dblInsertPtY, 0);
  return createEntity(
      ctx, lngDrawingSpace, blnManualInsert, blnSwitchToApp, {{kInsertionPrompt, insertionPoint}},
      [&](const ObjRef& space) { return callMethod(space, "AddText", {strText, insertionPoint, dblWidth}); },
      "Unable to create text object.");
}

}  // namespace tlx
