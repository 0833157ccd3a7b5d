// The desktop of this session: the top-level windows that the in-process applications and the
// host's form open, and which of them is in front.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "talvex/variant.h"
#include "talvex/host_site.h"

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
  // Whether a window is open (false for a closed one).
  bool isOpen(WindowId id) const;

  // Interactive point picks for the in-process applications. The command-line host (or a test)
  // installs the source; without one every pick is cancelled.
  using PickSource = std::function<std::optional<Point3>(const BStr& prompt)>;
  void setPickSource(PickSource source) { pickSource_ = std::move(source); }
  bool hasPickSource() const { return static_cast<bool>(pickSource_); }
  std::optional<Point3> pick(const BStr& prompt);

 private:
  struct Window {
    WindowId id;
    BStr title;
    bool visible;
  };
  std::vector<Window> windows_;
  WindowId next_ = 1;
  WindowId foreground_ = 0;
  PickSource pickSource_;
};

}  // namespace tlx
