#include "control/bindings.h"
#include "control/talvex.h"
#include "dxf/dxf_methods.h"

namespace tlx {

std::span<const Binding> dxfBindings() {
  static const std::vector<Binding> bindings = {
      // DXFToExcel(strDXFfile, [strWorkbook])
      {"DXFToExcel", [](TALVEX&, CallArgs& a) { return Variant(DXFToExcel(a.str(0), a.str(1))); }},
  };
  return bindings;
}

}  // namespace tlx
