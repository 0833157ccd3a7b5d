#include "office/office_application.h"

#include "talvex/registry.h"

namespace tlx {

ObjRef obtainApplication(ErrorFrame& f, std::string_view progId) {
  ObjRef app;
  f.step([&] { app = getObject(progId); });
  if (!app) {
    f.enter();  // none running is no failure: start one
    f.step([&] { app = createObject(progId); });
  }
  return f.pending() ? ObjRef() : app;
}

}  // namespace tlx
