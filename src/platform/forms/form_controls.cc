#include "platform/forms/form_controls.h"

#include "platform/forms/forms_internal.h"

namespace tlx {

void registerFormControls() {
  static const bool done = [] {
    forms::registerListBoxes();
    forms::registerFileLists();
    forms::registerTextBoxes();
    forms::registerListView();
    forms::registerTreeView();
    forms::registerFlexGrids();
    forms::registerDataGrid();
    return true;
  }();
  (void)done;
}

}  // namespace tlx
