#include "platform/registry/components.h"

#include "automation/collection.h"
#include "platform/cad/drawing_application.h"
#include "platform/spreadsheet/spreadsheet_application.h"
#include "platform/wordproc/word_application.h"

namespace tlx {

void registerPlatformComponents() {
  static const bool done = [] {
    registerRuntimeClasses();
    registerDrawingApplication();
    registerSpreadsheetApplication();
    registerWordApplication();
    return true;
  }();
  (void)done;
}

}  // namespace tlx
