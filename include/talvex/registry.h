// Object creation by programmatic identifier and the table of running objects.
// Identifiers compare without regard to case.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "talvex/dispatch.h"

namespace tlx {

using Factory = std::function<ObjRef()>;

// CreateObject: a new instance; an unknown identifier raises CO_E_CLASSSTRING.
ObjRef createObject(std::string_view progId);
// GetObject(, progId): the registered running instance; none raises MK_E_UNAVAILABLE.
ObjRef getObject(std::string_view progId);

void registerClass(std::string progId, Factory factory);
void unregisterClass(std::string_view progId);
void registerRunning(std::string progId, ObjRef object);
// Removes the running registration (only if it is still `object`, when one is given).
void revokeRunning(std::string_view progId, const Dispatch* object = nullptr);

}  // namespace tlx
