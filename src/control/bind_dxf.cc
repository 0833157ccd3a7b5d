#include "control/bind.h"
#include "dxf/dxf_methods.h"

namespace tlx {

std::span<const Binding> dxfBindings() {
  static constexpr Binding bindings[] = {bind<"DXFToExcel", DXFToExcel>()};
  return bindings;
}

}  // namespace tlx
