// The opening step of every office method: attach to the running instance of the application,
// else start one.
#pragma once

#include <string_view>

#include "talvex/dispatch.h"
#include "automation/frame.h"

namespace tlx {

// In continue-on-error mode: the running instance, else a new one; empty (with the error
// pending in `f`) when neither.
ObjRef obtainApplication(ErrorFrame& f, std::string_view progId);

}  // namespace tlx
