#include "control/bindings.h"
#include "control/talvex.h"

namespace tlx {

std::span<const Binding> attributesBindings() {
  static const std::vector<Binding> bindings = {};
  return bindings;
}

}  // namespace tlx
