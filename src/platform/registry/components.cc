#include "platform/registry/components.h"

#include "automation/collection.h"

namespace tlx {

void registerPlatformComponents() {
  static const bool done = [] {
    registerRuntimeClasses();
    return true;
  }();
  (void)done;
}

}  // namespace tlx
