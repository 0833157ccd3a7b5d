// Shapes the adapters give the caller's array.
#pragma once

#include <cstdint>

#include "automation/variant.h"

namespace tlx::controls {

// ReDim varArray(0 To n - 1) or (0 To rows - 1, 0 To cols - 1); no element at all is
// "Subscript out of range", the array left as it was.
SafeArray& redimOneD(Variant& varArray, int32_t n);
SafeArray& redimTwoD(Variant& varArray, int32_t rows, int32_t cols);

}  // namespace tlx::controls
