// Shapes the adapters give the caller's array.
#pragma once

#include <cstdint>

#include "talvex/variant.h"

namespace tlx::controls {

// ReDim varArray(0 To n - 1) or (0 To rows - 1, 0 To cols - 1); no element at all is
// "Subscript out of range" and more than an array can hold "Out of memory", the array left as
// it was in both cases.
SafeArray& redimOneD(Variant& varArray, int64_t n);
SafeArray& redimTwoD(Variant& varArray, int64_t rows, int64_t cols);

}  // namespace tlx::controls
