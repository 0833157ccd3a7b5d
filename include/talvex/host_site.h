// The host site: what the control asks of the form that contains it and of the desktop.
// The command-line host implements it; tests use a recording site.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "talvex/variant.h"

namespace tlx {

using Point3 = std::array<double, 3>;

class HostSite {
 public:
  virtual ~HostSite() = default;

  // The caption of the form that hosts the control.
  virtual BStr formCaption() { return u"Form1"; }
  // A modal message box with an OK button and the host's default title.
  virtual void messageBox(const BStr& text) = 0;
  // Brings the top-level window with this title to the front; a title that matches no visible
  // window raises an error.
  virtual void activateWindow(const BStr& title);
  // An interactive point pick with a prompt; nullopt when the user cancels.
  virtual std::optional<Point3> pickPoint(const BStr& prompt) { return std::nullopt; }
  // The clipboard's text.
  virtual BStr clipboardText() { return clipboard_; }
  virtual void setClipboardText(const BStr& text) { clipboard_ = text; }
  // Lets the host's message loop run (during long transfers).
  virtual void doEvents() {}

 private:
  BStr clipboard_;
};

}  // namespace tlx
