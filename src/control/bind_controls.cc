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
  };
  return bindings;
}

}  // namespace tlx
