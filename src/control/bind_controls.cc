// The host's list, grid, list-view and tree controls.
#include "control/bind.h"
#include "controls/controls.h"

namespace tlx {

std::span<const Binding> controlsBindings() {
  static constexpr Binding bindings[] = {
      bind<"ComboBoxToOneDArray", ComboBoxToOneDArray>(),
      bind<"ListBoxToOneDArray", ListBoxToOneDArray>(),
      bind<"DirListBoxToOneDArray", DirListBoxToOneDArray>(),
      bind<"DriveListBoxToOneDArray", DriveListBoxToOneDArray>(),
      bind<"FileListBoxToOneDArray", FileListBoxToOneDArray>(),
      bind<"TextBoxToOneDArray", TextBoxToOneDArray>(),
      bind<"RichTextBoxToOneDArray", RichTextBoxToOneDArray>(),
      bind<"DataGridToArray", DataGridToArray>(),
      bind<"ListViewToArray", ListViewToArray>(),
      bind<"FlexGridToArray", FlexGridToArray>(),
      bind<"HFlexGridToArray", HFlexGridToArray>(),
      bind<"TwoDArrayToFlexGrid", TwoDArrayToFlexGrid>(),
      bind<"TreeViewToTwoDArray", TreeViewToTwoDArray>(),
      bind<"TwoDArrayToTreeView", TwoDArrayToTreeView>(),
  };
  return bindings;
}

}  // namespace tlx
