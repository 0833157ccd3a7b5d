#include "platform/desktop/desktop.h"

#include <algorithm>

#include "automation/strings.h"
#include "talvex/host_site.h"

namespace tlx {

Desktop& Desktop::instance() {
  static Desktop desktop;
  return desktop;
}

Desktop::WindowId Desktop::openWindow(BStr title, bool visible) {
  windows_.push_back({next_, std::move(title), visible});
  if (visible) foreground_ = next_;
  return next_++;
}

void Desktop::closeWindow(WindowId id) {
  std::erase_if(windows_, [id](const Window& w) { return w.id == id; });
  if (foreground_ == id) foreground_ = 0;
}

void Desktop::setTitle(WindowId id, BStr title) {
  for (auto& w : windows_)
    if (w.id == id) w.title = std::move(title);
}

void Desktop::setVisible(WindowId id, bool visible) {
  for (auto& w : windows_)
    if (w.id == id) w.visible = visible;
  if (!visible && foreground_ == id) foreground_ = 0;
}

bool Desktop::activate(const BStr& title) {
  for (auto& w : windows_)
    if (w.visible && w.title == title) {
      foreground_ = w.id;
      return true;
    }
  return false;
}

bool Desktop::isOpen(WindowId id) const {
  return std::any_of(windows_.begin(), windows_.end(), [id](const Window& w) { return w.id == id; });
}

std::optional<Point3> Desktop::pick(const BStr& prompt) {
  if (!pickSource_) return std::nullopt;
  return pickSource_(prompt);
}

void HostSite::activateWindow(const BStr& title) {
  if (!Desktop::instance().activate(title))
    throw ComError(hr::INVALID_PROCEDURE_CALL, "No visible window has the title \"" + u8(title) + "\"");
}

}  // namespace tlx
