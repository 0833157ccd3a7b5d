// The host's form controls, bound in declaration order of their parameters.
#include "control/bindings.h"
#include "control/talvex.h"
#include "controls/controls.h"

namespace tlx {

namespace {

using A = CallArgs;

Variant code(int16_t c) { return Variant(c); }

}  // namespace

std::span<const Binding> controlsBindings() {
  static const std::vector<Binding> bindings = {
      // XToOneDArray(control As Object, varArray[, blnSelectedOnly])
      {"ComboBoxToOneDArray", [](TALVEX&, A& a) { return code(ComboBoxToOneDArray(a.obj(0), a.var(1))); }},
      {"ListBoxToOneDArray",
       [](TALVEX&, A& a) { return code(ListBoxToOneDArray(a.obj(0), a.var(1), a.boolean(2))); }},
      {"DirListBoxToOneDArray", [](TALVEX&, A& a) { return code(DirListBoxToOneDArray(a.obj(0), a.var(1))); }},
      {"DriveListBoxToOneDArray", [](TALVEX&, A& a) { return code(DriveListBoxToOneDArray(a.obj(0), a.var(1))); }},
      {"FileListBoxToOneDArray",
       [](TALVEX&, A& a) { return code(FileListBoxToOneDArray(a.obj(0), a.var(1), a.boolean(2))); }},
      {"TextBoxToOneDArray", [](TALVEX&, A& a) { return code(TextBoxToOneDArray(a.obj(0), a.var(1))); }},
      {"RichTextBoxToOneDArray", [](TALVEX&, A& a) { return code(RichTextBoxToOneDArray(a.obj(0), a.var(1))); }},
      // DataGridToArray(dg, varArray, [blnIncludeHeadings])
      {"DataGridToArray", [](TALVEX&, A& a) { return code(DataGridToArray(a.obj(0), a.var(1), a.boolean(2))); }},
      // ListViewToArray(lv, varArray, [blnSelectedOnly], [blnIncludeHeadings])
      {"ListViewToArray",
       [](TALVEX&, A& a) { return code(ListViewToArray(a.obj(0), a.var(1), a.boolean(2), a.boolean(3))); }},
      // XFlexGridToArray(fg, varArray, [lngStartRow], [lngStartCol], [ByVal lngEndRow], [ByVal lngEndCol As Integer])
      {"FlexGridToArray",
       [](TALVEX&, A& a) { return code(FlexGridToArray(a.obj(0), a.var(1), a.i4(2), a.i4(3), a.i4(4), a.i2(5))); }},
      {"HFlexGridToArray",
       [](TALVEX&, A& a) { return code(HFlexGridToArray(a.obj(0), a.var(1), a.i4(2), a.i4(3), a.i4(4), a.i2(5))); }},
      // TwoDArrayToFlexGrid(varArray, fg)
      {"TwoDArrayToFlexGrid", [](TALVEX&, A& a) { return code(TwoDArrayToFlexGrid(a.var(0), a.obj(1))); }},
      // TreeViewToTwoDArray(tv, varArray, [blnSuppressRows]); TwoDArrayToTreeView(varArray, tv, [blnExpandAll])
      {"TreeViewToTwoDArray",
       [](TALVEX&, A& a) { return code(TreeViewToTwoDArray(a.obj(0), a.var(1), a.boolean(2))); }},
      {"TwoDArrayToTreeView",
       [](TALVEX&, A& a) { return code(TwoDArrayToTreeView(a.var(0), a.obj(1), a.boolean(2))); }},
  };
  return bindings;
}

}  // namespace tlx
