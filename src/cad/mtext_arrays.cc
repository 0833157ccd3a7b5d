// Multiline text laid out from arrays: one entity for a one-dimensional array, one entity per
// column of a two-dimensional array, the columns side by side.
#include <limits>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "cad/acad_steps.h"
#include "cad/cad_methods.h"

namespace tlx {

using namespace cad;

namespace {

constexpr const char* kFailure = "Unable to create multiline text object.";

// The loops count in 16 bits: bounds beyond them overflow.
void checkBounds(const SafeArray& a, int dim) {
  constexpr int32_t lo = std::numeric_limits<int16_t>::min(), hi = std::numeric_limits<int16_t>::max();
  if (a.lbound(dim) < lo || a.ubound(dim) > hi) throw ComError(hr::DISP_E_OVERFLOW, "Overflow");
}

const SafeArray& arrayOf(const Variant& v, int dims) {
  const SafeArray* a = v.array();
  if (!a) throw ComError(hr::DISP_E_TYPEMISMATCH, "Type mismatch");
  if (a->dims() != dims) throw ComError(hr::DISP_E_BADINDEX, "Subscript out of range");
  for (int d = 1; d <= dims; ++d) checkBounds(*a, d);
  return *a;
}

// The element's text without leading and trailing spaces, then one space.
void appendCell(std::u16string& text, const Variant& element, bool blnShowBlankAsNA) {
  BStr s = toBStr(element);
  std::u16string_view v = trimSpaces(s);
  text.append(v.empty() && blnShowBlankAsNA ? u"N/A" : v).push_back(u' ');
}

Variant insertionPoint(const AcadContext& ctx, ErrorFrame& f, bool blnManualInsert, double x, double y) {
  if (!blnManualInsert) return point(x, y, 0);
  f.step([&] { activateAcadWindow(ctx); });
  return pickPoint(ctx, f, kInsertionPrompt);
}

ObjRef addMText(const AcadContext& ctx, int32_t lngDrawingSpace, const Variant& at, double dblWidth,
                const std::u16string& text) {
  return objectOf(callMethod(drawingSpace(ctx, lngDrawingSpace), "AddMText", {at, dblWidth, BStr(text)}));
}

}  // namespace

ObjRef CreateMultilineTextFromOneDArray(const AcadContext& ctx, double dblWidth, const Variant& varArray,
                                        int32_t lngDrawingSpace, bool blnManualInsert, bool blnSwitchToApp,
                                        bool blnShowBlankAsNA, double dblInsertPtX, double dblInsertPtY) {
  ErrorFrame f;
  raisingGuard(ctx, f);
  Variant at = insertionPoint(ctx, f, blnManualInsert, dblInsertPtX, dblInsertPtY);
  std::u16string text;
  const SafeArray* cells = nullptr;
  f.step([&] { cells = &arrayOf(varArray, 1); });
  for (int32_t i = cells ? cells->lbound(1) : 0; cells && i <= cells->ubound(1); ++i)
    f.step([&] { appendCell(text, cells->at(i), blnShowBlankAsNA); });
  ObjRef entity;
  f.step([&] { entity = addMText(ctx, lngDrawingSpace, at, dblWidth, text); });
  if (f.pending()) Raise(kFailure);
  updateEntity(entity);
  if (blnSwitchToApp) returnToHost(ctx);
  return entity;
}

// A failure shows its own description before the raise; the columns added so far stay. The
// spacing after the last column is never tested, so a short spacing array fails only when a
// later column is added.
Variant CreateMultilineTextFromTwoDArray(const AcadContext& ctx, double dblWidth, const Variant& varArray,
                                         const Variant& varSpacingArray, int32_t lngDrawingSpace,
                                         bool blnManualInsert, bool blnSwitchToApp, bool blnShowBlankAsNA,
                                         double dblInsertPtX, double dblInsertPtY) {
  ErrorFrame f;
  raisingGuard(ctx, f);
  Variant at = insertionPoint(ctx, f, blnManualInsert, dblInsertPtX, dblInsertPtY);
  Variant entities = Variant::unallocatedArray(vtDispatch);
  const SafeArray* cells = nullptr;
  f.step([&] { cells = &arrayOf(varArray, 2); });
  int32_t k = 0;
  for (int32_t c = cells ? cells->lbound(2) : 0; cells && c <= cells->ubound(2); ++c) {
    std::u16string text;
    for (int32_t r = cells->lbound(1); r <= cells->ubound(1); ++r)
      f.step([&] { appendCell(text, cells->at(r, c), blnShowBlankAsNA); });
    SafeArray& list = redimPreserveVariant(entities, {{0, k + 1}});
    f.step([&] { list.at(k) = Variant(addMText(ctx, lngDrawingSpace, at, dblWidth, text)); });
    if (f.pending()) {
      ctx.site.messageBox(u16(f.error().description()));
      Raise(kFailure);
    }
    updateEntity(list.at(k).obj());
    ++k;
    f.step([&] {
      SafeArray& x = *at.array();
      x.at(0) = toDouble(x.at(0)) + toDouble(arrayOf(varSpacingArray, 1).at(c));
    });
  }
  if (!cells) {
    ctx.site.messageBox(u16(f.error().description()));
    Raise(kFailure);
  }
  if (blnSwitchToApp) returnToHost(ctx);
  return entities;
}

}  // namespace tlx
