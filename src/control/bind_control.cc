#include <fmt/format.h>

#include "automation/strings.h"
#include "control/bindings.h"
#include "control/talvex.h"

namespace tlx {

namespace {

// The About dialog: the control's name and its version as major.minor, with an OK button.
Variant AboutBox(TALVEX& control, CallArgs&) {
  control.site().messageBox(
      u16(fmt::format("TALVEX\nVersion {}.{}", TALVEX::kVersionMajor, TALVEX::kVersionMinor)));
  return Variant();
}

}  // namespace

std::span<const Binding> controlBindings() {
  static const std::vector<Binding> bindings = {
      {"AboutBox", AboutBox},
  };
  return bindings;
}

}  // namespace tlx
