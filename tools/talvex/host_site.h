// The command-line host's site: message boxes are collected for the answer, point picks come
// from a queue (or the terminal, when there is one), and the form is a window on the desktop.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/desktop.h"
#include "talvex/host_site.h"

namespace tlx::host {

class CliSite : public HostSite {
 public:
  CliSite();
  ~CliSite() override;

  BStr formCaption() override { return caption_; }
  void messageBox(const BStr& text) override { messages_.push_back(text); }
  std::optional<Point3> pickPoint(const BStr& prompt) override;

  // The desktop's clipboard when the session has one; otherwise the session's own, which the
  // answers report and a {"clipboard": true} request reads.
  BStr clipboardText() override;
  void setClipboardText(const BStr& text) override;
  // The session clipboard's text when a call changed it since the last question.
  std::optional<BStr> takeClipboardChange() { return std::exchange(clipboardChange_, std::nullopt); }

  void queuePick(const Point3& p) { picks_.push_back(p); }
  // The message boxes shown since the last call.
  std::vector<BStr> takeMessages() { return std::exchange(messages_, {}); }

 private:
  BStr caption_ = u"TALVEX host";
  Desktop::WindowId window_;
  std::vector<BStr> messages_;
  std::deque<Point3> picks_;
  std::optional<BStr> clipboardChange_;
};

}  // namespace tlx::host
