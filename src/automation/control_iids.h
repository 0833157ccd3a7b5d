// Default interfaces of the host form's list-type controls and text box, as the type test
// (TypeOf ... Is ...) asks for them. The controls answer them; the adapters test for them.
#pragma once

#include <string_view>

namespace tlx::iid {
constexpr std::string_view ComboBox = "{33AD4F09-6699-11CF-B70C-00AA0060D393}";
constexpr std::string_view ListBox = "{33AD4F11-6699-11CF-B70C-00AA0060D393}";
constexpr std::string_view DirListBox = "{33AD4F59-6699-11CF-B70C-00AA0060D393}";
constexpr std::string_view DriveListBox = "{33AD4F51-6699-11CF-B70C-00AA0060D393}";
constexpr std::string_view FileListBox = "{33AD4F61-6699-11CF-B70C-00AA0060D393}";
constexpr std::string_view TextBox = "{33AD4EE1-6699-11CF-B70C-00AA0060D393}";
}  // namespace tlx::iid
