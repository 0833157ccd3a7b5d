#include "host_site.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "automation/strings.h"
#include "platform/desktop/clipboard.h"
#include "progress.h"

namespace tlx::host {

// The in-process applications (the drawing application's picks) ask the desktop for points:
// they come from this site's queue or terminal.
CliSite::CliSite() : window_(Desktop::instance().openWindow(caption_)) {
  Desktop::instance().setPickSource([this](const BStr& prompt) { return pickPoint(prompt); });
}

CliSite::~CliSite() {
  Desktop::instance().setPickSource(nullptr);
  Desktop::instance().closeWindow(window_);
}

// Queued picks first. Otherwise the user types "x,y[,z]" at the terminal: /dev/tty, because in a
// session standard input carries the protocol. Without a terminal (or with TALVEX_NO_TTY set) an
// unanswered pick is a cancel, so that no script ever hangs on it.
std::optional<Point3> CliSite::pickPoint(const BStr& prompt) {
  if (!picks_.empty()) {
    Point3 p = picks_.front();
    picks_.pop_front();
    return p;
  }
  if (std::getenv("TALVEX_NO_TTY")) return std::nullopt;
  Progress::Pause forThePrompt;
  FILE* tty = std::fopen("/dev/tty", "r+");
  if (!tty) return std::nullopt;
  std::optional<Point3> result;
  std::fprintf(tty, "%s", u8(prompt).c_str());
  std::fflush(tty);
  char line[256];
  if (std::fgets(line, sizeof line, tty)) {
    std::string text(line);
    for (auto& c : text)
      if (c == ',') c = ' ';
    std::istringstream in(text);
    Point3 p{0, 0, 0};
    if (in >> p[0] >> p[1]) {
      if (!(in >> p[2])) p[2] = 0;
      result = p;
    }
  }
  std::fclose(tty);
  return result;
}

BStr CliSite::clipboardText() {
  if (!hasDesktopClipboard()) return HostSite::clipboardText();
  std::optional<std::string> text = desktopClipboard();
  return text ? u16(*text) : HostSite::clipboardText();
}

void CliSite::setClipboardText(const BStr& text) {
  HostSite::setClipboardText(text);
  if (hasDesktopClipboard())
    setDesktopClipboard(u8(text));
  else
    clipboardChange_ = text;
}

}  // namespace tlx::host
