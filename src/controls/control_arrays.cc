#include "controls/control_arrays.h"

namespace tlx::controls {

namespace {
void requireElements(int32_t n) {
  if (n < 1) throw ComError(hr::basicError(9), "Subscript out of range");
}
}  // namespace

SafeArray& redimOneD(Variant& varArray, int32_t n) {
  requireElements(n);
  return redimVariant(varArray, {Bound{0, n}});
}

SafeArray& redimTwoD(Variant& varArray, int32_t rows, int32_t cols) {
  requireElements(rows);
  requireElements(cols);
  return redimVariant(varArray, {Bound{0, rows}, Bound{0, cols}});
}

}  // namespace tlx::controls
