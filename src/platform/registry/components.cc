#include "platform/registry/components.h"

#include "automation/collection.h"
#include "platform/ado/ado.h"
#include "platform/cad/drawing_application.h"
#include "platform/inet/inet_control.h"
#include "platform/forms/form_controls.h"
#include "platform/spreadsheet/spreadsheet_application.h"
#include "platform/wordproc/word_application.h"
#include "platform/xmldom/dom_document.h"

namespace tlx {

void registerPlatformComponents() {
  static const bool done = [] {
    registerRuntimeClasses();
    registerDrawingApplication();
    registerInetControl();
    registerFormControls();
    registerDataAccess();
    registerSpreadsheetApplication();
    registerWordApplication();
    registerDomDocuments();
    return true;
  }();
  (void)done;
}

}  // namespace tlx
