// What the drawing methods work on: the control's held references and its host site.
#pragma once

#include "talvex/dispatch.h"
#include "talvex/host_site.h"

namespace tlx {

struct AcadContext {
  ObjRef& objAcadApp;  // the attached drawing application
  ObjRef& objAcadDoc;  // the held document
  HostSite& site;
};

}  // namespace tlx
