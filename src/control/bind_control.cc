#include <fmt/format.h>

#include "automation/strings.h"
#include "control/bind.h"

namespace tlx {

namespace {

// The About dialog: the control's name and its version as major.minor, with an OK button.
void AboutBox(HostSite& site) {
  site.messageBox(u16(fmt::format("TALVEX\nVersion {}.{}", TALVEX::kVersionMajor, TALVEX::kVersionMinor)));
}

}  // namespace

std::span<const Binding> controlBindings() {
  static constexpr Binding bindings[] = {bind<"AboutBox", AboutBox>()};
  return bindings;
}

}  // namespace tlx
