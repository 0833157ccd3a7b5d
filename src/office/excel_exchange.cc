// Arrays to and from worksheets through the spreadsheet application, one member call per step.
#include <algorithm>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "office/excel_steps.h"
#include "office/office_methods.h"

namespace tlx {

using namespace office;

namespace {

// Largest block the reading methods copy: beyond it the array alone would take gigabytes.
constexpr int64_t kMaxBlockCells = int64_t(1) << 25;

// A block that lies outside the sheet, or is too large to hold, would wrap around or allocate
// without limit: the reading methods refuse it before the array is touched.
bool readableBlock(int32_t row1, int32_t col1, int32_t row2, int32_t col2) {
  return insideSheet(row1, col1, row2, col2) && (int64_t(row2) - row1 + 1) * (int64_t(col2) - col1 + 1) <= kMaxBlockCells;
}

void fixData(SafeArray& a) {
  for (int32_t i = a.lbound(1); i <= a.ubound(1); ++i)
    for (int32_t j = a.lbound(2); j <= a.ubound(2); ++j) {
      Variant& e = a.at(i, j);
      if (e.type() == vtDate) e = Variant(toBStr(e));
      else if (e.isArray()) e = Variant(u"Array Field");
    }
}

// The transposed copy: T(i, j) = varArray(j, i), bounds (0 To U2, 0 To U1).
Variant transposed(const SafeArray& a) {
  int32_t u1 = a.ubound(1), u2 = a.ubound(2);
  if (u1 < 0 || u2 < 0) throw ComError(hr::basicError(9), "Subscript out of range");
  auto t = std::make_unique<SafeArray>(std::vector<Bound>{{0, u2 + 1}, {0, u1 + 1}});
  for (int32_t i = a.lbound(2); i <= u2; ++i)
    for (int32_t j = a.lbound(1); j <= u1; ++j) t->at(i, j) = a.at(j, i);
  return Variant(std::move(t));
}

ObjRef block(const ObjRef& ws, int32_t row1, int32_t col1, int32_t row2, int32_t col2) {
  return objectOf(getProperty(ws, "Range", {Variant(cell(ws, row1, col1)), Variant(cell(ws, row2, col2))}));
}

// Values into `out` (from its first element), a block of rows per call rather than a call per
// cell: the same values at a fraction of the calls.
void readValues(ErrorFrame& f, const ObjRef& ws, int32_t row1, int32_t col1, int32_t row2, int32_t col2, SafeArray& out) {
  constexpr int32_t kBlockCells = 1 << 16;
  int32_t width = col2 - col1 + 1, rowsPerBlock = std::max(1, kBlockCells / width);
  for (int32_t first = row1; first <= row2; first += rowsPerBlock) {
    int32_t last = std::min(row2, first + rowsPerBlock - 1);
    f.step([&] {
      Variant v = getProperty(block(ws, first, col1, last, col2), "Value");
      if (!v.isArray()) {
        out.at(out.lbound(1) + first - row1, out.lbound(2)) = std::move(v);
        return;
      }
      SafeArray& a = v.arrayRef();
      for (int32_t r = first; r <= last; ++r)
        for (int32_t c = col1; c <= col2; ++c)
          out.at(out.lbound(1) + r - row1, out.lbound(2) + c - col1) = std::move(a.at(a.lbound(1) + r - first, a.lbound(2) + c - col1));
    });
  }
}

// The opening shared by the three methods; 0 when the body may go on.
struct Opened {
  ObjRef xl, wb, ws;
};

int16_t open(ErrorFrame& f, Opened& o, const Variant& varArray, bool quitWithoutArray, const BStr& strWorkbook,
             const Variant& varWorksheet, const BStr& strPassword, const BStr& strWriteResPassword) {
  f.enter();
  o.xl = obtainExcel(f);
  if (!o.xl) return -1;
  if (!varArray.isArray()) {
    if (quitWithoutArray) quitExcel(o.xl);
    return -2;
  }
  o.wb = openWorkbook(f, o.xl, strWorkbook, strPassword, strWriteResPassword);
  if (f.pending()) {
    quitExcel(o.xl);
    return -3;
  }
  if (validSelector(varWorksheet)) o.ws = worksheet(f, o.wb, varWorksheet);
  if (!validSelector(varWorksheet) || f.pending()) {
    closeWorkbook(o.wb, false);
    quitExcel(o.xl);
    return -4;
  }
  return 0;
}

}  // namespace

int16_t TwoDArrayToExcel(Variant& varArray, const BStr& strWorkbook, const Variant& varWorksheet, int32_t lngRow,
                         int32_t lngCol, const BStr& strPassword, const BStr& strWriteResPassword,
                         int32_t lngDisplay, bool blnAutoFit, bool blnFixData) {
  ErrorFrame f;
  Opened o;
  if (int16_t code = open(f, o, varArray, false, strWorkbook, varWorksheet, strPassword, strWriteResPassword))
    return code;
  try {
    callMethod(o.ws, "Activate");
    SafeArray& a = varArray.arrayRef();
    if (a.dims() != 2) throw ComError(hr::basicError(9), "Subscript out of range");
    if (blnFixData) fixData(a);
    int64_t rowEnd = int64_t(lngRow) + (lngDisplay == 0 ? a.ubound(1) : a.ubound(2));
    int64_t colEnd = int64_t(lngCol) + (lngDisplay == 0 ? a.ubound(2) : a.ubound(1));
    if (rowEnd > INT32_MAX || colEnd > INT32_MAX) throw ComError(hr::DISP_E_OVERFLOW, "Overflow");
    ObjRef target = block(o.ws, lngRow, lngCol, int32_t(rowEnd), int32_t(colEnd));
    // The caller's array is passed as it is, not copied: a copy of a large one costs as much as
    // laying it out.
    Variant flipped = lngDisplay == 0 ? Variant() : transposed(a);
    DispParams value{{lngDisplay == 0 ? &varArray : &flipped}, {}};
    target->invoke("Value", InvokeKind::PropertyPut, value);
    if (blnAutoFit) callMethod(objectOf(getProperty(target, "Columns")), "AutoFit");
    putProperty(o.xl, "Visible", Variant(true));
    return 1;
  } catch (...) {
    return -5;
  }
}

int16_t ExcelToOneDArray(const BStr& strWorkbook, const Variant& varWorksheet, int32_t lngStartRow,
                         int32_t lngStartCol, int32_t lngEndRow, int32_t lngEndCol, Variant& varArray,
                         bool blnCellValue, const BStr& strPassword, const BStr& strWriteResPassword) {
  ErrorFrame f;
  Opened o;
  if (int16_t code = open(f, o, varArray, true, strWorkbook, varWorksheet, strPassword, strWriteResPassword))
    return code;
  f.step([&] { callMethod(o.ws, "Activate"); });
  try {
    bool empty = lngEndRow < lngStartRow || lngEndCol < lngStartCol;
    if (!empty && !readableBlock(lngStartRow, lngStartCol, lngEndRow, lngEndCol))
      throw ComError(hr::basicError(1004), "The range lies outside the worksheet or is too large");
    int32_t k = 0;
    for (int32_t r = lngStartRow; r <= lngEndRow && !empty; ++r)
      for (int32_t c = lngStartCol; c <= lngEndCol; ++c) {
        redimPreserveVariant(varArray, {{0, k + 1}});
        ObjRef one = cell(o.ws, r, c);
        Variant v = blnCellValue ? getProperty(one, "Value") : getProperty(one, "Text");
        varArray.arrayRef().at(k) = Variant(trimSpaces(toBStr(v)));
        ++k;
      }
  } catch (...) {
    closeWorkbook(o.wb, true);
    quitExcel(o.xl);
    return -5;
  }
  closeWorkbook(o.wb, true);
  quitExcel(o.xl);
  return 1;
}

int16_t ExcelToTwoDArray(const BStr& strWorkbook, const Variant& varWorksheet, int32_t lngStartRow,
                         int32_t lngStartCol, int32_t lngEndRow, int32_t lngEndCol, Variant& varArray,
                         bool blnCellValue, const BStr& strPassword, const BStr& strWriteResPassword) {
  ErrorFrame f;
  Opened o;
  if (int16_t code = open(f, o, varArray, true, strWorkbook, varWorksheet, strPassword, strWriteResPassword))
    return code;
  f.step([&] { callMethod(o.ws, "Activate"); });
  bool empty = lngEndRow < lngStartRow || lngEndCol < lngStartCol;
  if (!empty && !readableBlock(lngStartRow, lngStartCol, lngEndRow, lngEndCol)) {
    closeWorkbook(o.wb, false);
    quitExcel(o.xl);
    return -5;
  }
  if (!empty) f.step([&] { redimVariant(varArray, {{0, lngEndRow - lngStartRow + 1}, {0, lngEndCol - lngStartCol + 1}}); });
  if (!empty && blnCellValue) readValues(f, o.ws, lngStartRow, lngStartCol, lngEndRow, lngEndCol, varArray.arrayRef());
  for (int32_t r = lngStartRow, i = 0; r <= lngEndRow && !empty && !blnCellValue; ++r, ++i)
    for (int32_t c = lngStartCol, j = 0; c <= lngEndCol; ++c, ++j)
      f.step([&] { varArray.arrayRef().at(i, j) = getProperty(cell(o.ws, r, c), "Text"); });
  closeWorkbook(o.wb, false);
  quitExcel(o.xl);
  return 1;
}

}  // namespace tlx
