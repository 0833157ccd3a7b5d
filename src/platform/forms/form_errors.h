// The run-time errors the form controls raise, with the texts their users know.
#pragma once

#include "talvex/com_error.h"

namespace tlx::platform::forms {

[[noreturn]] inline void invalidPropertyValue() { throw ComError(hr::basicError(380), "Invalid property value"); }
[[noreturn]] inline void invalidArrayIndex() { throw ComError(hr::basicError(381), "Invalid property array index"); }
[[noreturn]] inline void invalidCall() {
  throw ComError(hr::INVALID_PROCEDURE_CALL, "Invalid procedure call or argument");
}
[[noreturn]] inline void pathNotFound() { throw ComError(hr::PATH_NOT_FOUND, "Path not found"); }
[[noreturn]] inline void deviceUnavailable() { throw ComError(hr::basicError(68), "Device unavailable"); }
// The common controls' collection errors.
[[noreturn]] inline void indexOutOfBounds() { throw ComError(hr::basicError(35600), "Index out of bounds"); }
[[noreturn]] inline void elementNotFound() { throw ComError(hr::basicError(35601), "Element not found"); }
[[noreturn]] inline void keyNotUnique() { throw ComError(hr::basicError(35602), "Key is not unique in collection"); }
[[noreturn]] inline void controlDeleted() { throw ComError(hr::basicError(35605), "Control has been deleted"); }

}  // namespace tlx::platform::forms
