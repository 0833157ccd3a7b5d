// Flex grids, the list view and the data grid to and from two-dimensional arrays.
#include <algorithm>

#include "talvex/convert.h"
#include "controls/control_arrays.h"
#include "controls/controls.h"

namespace tlx {

namespace {

using controls::redimTwoD;

void putIndexed(const ObjRef& obj, std::string_view member, Variant index, Variant value) {
  DispParams p{{&index, &value}, {}};
  obj->invoke(member, InvokeKind::PropertyPut, p);
}

ObjRef member(const ObjRef& obj, std::string_view name) { return objectOf(getProperty(obj, name)); }
int32_t countOf(const ObjRef& collection) { return toI4(getProperty(collection, "Count")); }

// row × cols + column as a 32-bit number, which overflows as Basic's Long does.
int32_t cellIndex(int64_t row, int32_t cols, int64_t col) {
  const int64_t k = row * cols + col;
  if (k < INT32_MIN || k > INT32_MAX) throw ComError(hr::basicError(6), "Overflow");
  return static_cast<int32_t>(k);
}

int16_t flexGridToArray(const ObjRef& fg, Variant& varArray, int32_t startRow, int32_t startCol, int32_t endRow,
                        int16_t endCol) {
  if (!varArray.isArray()) return -1;
  try {
    if (endRow == 0) endRow = toI4(getProperty(fg, "Rows")) - 1;
    if (endCol == 0) endCol = toI2(Variant(toI4(getProperty(fg, "cols")) - 1));
    SafeArray& a = redimTwoD(varArray, int64_t{endRow} - startRow + 1, int64_t{endCol} - startCol + 1);
    for (int64_t r = startRow, i = 0; r <= endRow; ++r, ++i)
      for (int64_t c = startCol, j = 0; c <= endCol; ++c, ++j) {
        const int32_t cols = toI4(getProperty(fg, "cols"));
        a.at(static_cast<int32_t>(i), static_cast<int32_t>(j)) =
            getProperty(fg, "Textarray", {Variant(cellIndex(r, cols, c))});
      }
    return 1;
  } catch (...) {
    return -2;
  }
}

}  // namespace

int16_t FlexGridToArray(const ObjRef& fg, Variant& varArray, int32_t lngStartRow, int32_t lngStartCol,
                        int32_t lngEndRow, int16_t lngEndCol) {
  return flexGridToArray(fg, varArray, lngStartRow, lngStartCol, lngEndRow, lngEndCol);
}

int16_t HFlexGridToArray(const ObjRef& fg, Variant& varArray, int32_t lngStartRow, int32_t lngStartCol,
                         int32_t lngEndRow, int16_t lngEndCol) {
  return flexGridToArray(fg, varArray, lngStartRow, lngStartCol, lngEndRow, lngEndCol);
}

int16_t TwoDArrayToFlexGrid(Variant& varArray, const ObjRef& fg) {
  if (!varArray.isArray()) return -1;
  try {
    const SafeArray& a = varArray.arrayRef();
    putProperty(fg, "Rows", Variant(a.ubound(1) + 1));
    putProperty(fg, "cols", Variant(a.ubound(2) + 1));
    int32_t k = 0;
    for (int32_t r = a.lbound(1); r <= a.ubound(1); ++r)
      for (int32_t c = a.lbound(2); c <= a.ubound(2); ++c) putIndexed(fg, "Textarray", Variant(k++), a.at(r, c));
    return 1;
  } catch (...) {
    return -2;
  }
}

int16_t ListViewToArray(const ObjRef& lv, Variant& varArray, bool blnSelectedOnly, bool blnIncludeHeadings) {
  if (!varArray.isArray()) return -1;
  try {
    const ObjRef items = member(lv, "ListItems");
    auto item = [&](int32_t i) { return objectOf(getProperty(items, "Item", {Variant(i)})); };
    auto isSelected = [&](int32_t i) { return toBool(getProperty(item(i), "Selected")); };
    const int32_t total = countOf(items);
    int32_t n = total;
    if (blnSelectedOnly) {
      n = 0;
      for (int32_t i = 1; i <= total; ++i) n += isSelected(i) ? 1 : 0;
    }
    const ObjRef headers = member(lv, "ColumnHeaders");
    const int32_t cols = countOf(headers);
    const int32_t first = blnIncludeHeadings ? 1 : 0;
    SafeArray& a = redimTwoD(varArray, int64_t{n} + first, cols);
    if (blnIncludeHeadings)
      for (int32_t k = 1; k <= cols; ++k)
        a.at(0, k - 1) = getProperty(objectOf(getProperty(headers, "Item", {Variant(k)})), "Text");
    for (int32_t i = 1, row = first; i <= total; ++i) {
      if (blnSelectedOnly && !isSelected(i)) continue;
      const ObjRef it = item(i);
      a.at(row, 0) = getProperty(it, "Text");
      for (int32_t k = 1; k < cols; ++k) a.at(row, k) = getProperty(it, "SubItems", {Variant(k)});
      ++row;
    }
    return 1;
  } catch (...) {
    return -2;
  }
}

}  // namespace tlx
