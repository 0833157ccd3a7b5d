#include "platform/registry/components.h"

#include "automation/collection.h"
#include "platform/ado/ado.h"
#include "platform/cad/drawing_application.h"

namespace tlx {

void registerPlatformComponents() {
  static const bool done = [] {
    registerRuntimeClasses();
    registerDrawingApplication();
    registerDataAccess();
    return true;
  }();
  (void)done;
}

}  // namespace tlx
