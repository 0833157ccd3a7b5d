// The desktop's clipboard: the CLIPBOARD selection under X11 (DISPLAY) or Wayland
// (WAYLAND_DISPLAY), through xclip or wl-copy / wl-paste, which keep serving the text after the
// process that set it has ended.
#pragma once

#include <optional>
#include <string>

namespace tlx {

// Whether the session has a desktop whose clipboard can be reached.
bool hasDesktopClipboard();
// UTF-8 text to the clipboard; raises when the helper cannot be run or fails.
void setDesktopClipboard(const std::string& utf8);
// The clipboard's text, or nullopt when it cannot be read.
std::optional<std::string> desktopClipboard();

}  // namespace tlx
