// What the host prints for people finding their way: the usage text and one method's shape.
#pragma once

#include <string>

#include "control/type_library.h"

namespace tlx::host {

std::string helpText();
// "0x60030000", or the signed number of a standard identifier.
std::string dispidText(int32_t dispid);
// The declaration, then one line per parameter (type, optional and default, passing, the
// constants of an enumeration), the result and its status codes with their meanings.
std::string methodDescription(const MethodInfo& method);

}  // namespace tlx::host
