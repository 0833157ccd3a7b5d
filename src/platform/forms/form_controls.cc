#include "platform/forms/form_controls.h"

#include "platform/forms/forms_internal.h"

namespace tlx {

void registerFormControls() {
  static const bool done = [] {
    platform::forms::registerListBoxes();
    platform::forms::registerFileLists();
    platform::forms::registerTextBoxes();
    platform::forms::registerListView();
    platform::forms::registerTreeView();
    platform::forms::registerFlexGrids();
    platform::forms::registerDataGrid();
    return true;
  }();
  (void)done;
}

}  // namespace tlx
