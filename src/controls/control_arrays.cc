#include "controls/control_arrays.h"

namespace tlx::controls {

namespace {

// 2 GiB of Variants: what the platform's own arrays can address.
constexpr int64_t kMostElements = int64_t{1} << 27;

int32_t requireElements(int64_t n) {
  if (n < 1) throw ComError(hr::basicError(9), "Subscript out of range");
  if (n > kMostElements) throw ComError(hr::basicError(7), "Out of memory");
  return static_cast<int32_t>(n);
}

}  // namespace

SafeArray& redimOneD(Variant& varArray, int64_t n) {
  return redimVariant(varArray, {Bound{0, requireElements(n)}});
}

SafeArray& redimTwoD(Variant& varArray, int64_t rows, int64_t cols) {
  const int32_t r = requireElements(rows), c = requireElements(cols);
  requireElements(int64_t{r} * c);
  return redimVariant(varArray, {Bound{0, r}, Bound{0, c}});
}

}  // namespace tlx::controls
