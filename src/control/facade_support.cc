#include "talvex/facade_support.h"

#include "control/talvex.h"

namespace tlx::facade {

ObjRef newControl(HostSite& site) { return makeRef<TALVEX>(site); }

Variant invoke(Dispatch& control, int32_t dispid, DispParams& params) {
  return dynamic_cast<TALVEX&>(control).invoke(dispid, params);
}

}  // namespace tlx::facade
