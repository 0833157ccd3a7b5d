#include "talvex/facade_support.h"

#include "control/talvex.h"

namespace tlx::facade {

ObjRef newControl(HostSite& site) { return makeRef<TALVEX>(site); }

// Dispatch identifiers are the control's own: any other object has none of its methods.
Variant invoke(Dispatch& control, int32_t dispid, DispParams& params) {
  auto* talvex = dynamic_cast<TALVEX*>(&control);
  if (!talvex) throw ComError(hr::DISP_E_MEMBERNOTFOUND, "Object doesn't support this property or method");
  return talvex->invoke(dispid, params);
}

}  // namespace tlx::facade
