// The desktop of this session: the top-level windows that the in-process applications and the
// host's form open, and which of them is in front.
#pragma once

#include <string>
#include <vector>

#include "automation/variant.h"

namespace tlx {

class Desktop {
 public:
  using WindowId = int;
  static Desktop& instance();

  WindowId openWindow(BStr title, bool visible = true);
  void closeWindow(WindowId id);
  void setTitle(WindowId id, BStr title);
  void setVisible(WindowId id, bool visible);
  // A visible window whose title equals `title` comes to the front; false when none matches.
  bool activate(const BStr& title);
  BStr foregroundTitle() const;

 private:
  struct Window {
    WindowId id;
    BStr title;
    bool visible;
  };
  std::vector<Window> windows_;
  WindowId next_ = 1;
  WindowId foreground_ = 0;
};

}  // namespace tlx
