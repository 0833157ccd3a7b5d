// What Python users read about the control's methods, written from the type library: the
// docstring of each method and the type stubs of the native module.
#pragma once

#include <string>

#include "control/type_library.h"

namespace tlx::python {

// The docstring: a signature line that inspect.signature reads, the Basic declaration, each
// parameter's Python type and how it is passed, the result, and the status codes when the type
// library lists them.
std::string methodDoc(const MethodInfo& m);

// talvex/_talvex.pyi: the Control class with every method, the enumerations, the proxies.
std::string stubText();

}  // namespace tlx::python
