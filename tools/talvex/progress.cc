#include "progress.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include <fmt/format.h>

namespace tlx::host {

namespace {

// The one line on the terminal, for prompts to push aside.
std::atomic<Progress*> active{nullptr};

std::string amount(uint64_t bytes) {
  if (bytes < 1000) return fmt::format("{} B", bytes);
  const char* units[] = {"kB", "MB", "GB", "TB"};
  double n = double(bytes) / 1000;
  size_t unit = 0;
  while (n >= 999.95 && unit + 1 < std::size(units)) {
    n /= 1000;
    ++unit;
  }
  return fmt::format("{:.1f} {}", n, units[unit]);
}

uint64_t field(const char* text, const char* name) {
  const char* at = std::strstr(text, name);
  return at ? std::strtoull(at + std::strlen(name), nullptr, 10) : 0;
}

}  // namespace

std::string progressText(uint64_t read, uint64_t written, std::chrono::milliseconds elapsed) {
  return fmt::format("read {}, written {}, {:.1f} s", amount(read), amount(written), elapsed.count() / 1000.0);
}

Progress::Progress(int fd, std::chrono::milliseconds delay, std::chrono::milliseconds every) : fd_(fd) {
  if (!isatty(fd)) return;
  atStart_ = counters();
  active = this;
  thread_ = std::thread([this, delay, every] { run(delay, every); });
}

Progress::~Progress() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
  active = nullptr;
  clear();
}

// The process's characters read and written (all threads, every file and pipe), less what the
// progress line itself added. Zero where the kernel keeps no such counters.
Progress::Counters Progress::counters() {
  char text[512] = {};
  const int fd = ::open("/proc/self/io", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  const ssize_t n = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  if (n <= 0) return {};
  const uint64_t read = field(text, "rchar:"), written = field(text, "wchar:");
  Counters now{read - atStart_.read - own_.read, written - atStart_.written - own_.written};
  own_.read += uint64_t(n);
  return now;
}

void Progress::run(std::chrono::milliseconds delay, std::chrono::milliseconds every) {
  std::unique_lock lock(mutex_);
  if (wake_.wait_for(lock, delay, [this] { return stopping_; })) return;
  while (!stopping_) {
    if (!paused_) {
      const Counters c = counters();
      const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
      show(progressText(c.read, c.written, elapsed));
    }
    wake_.wait_for(lock, every, [this] { return stopping_; });
  }
}

void Progress::show(const std::string& line) {
  const std::string text = "\r" + line + "\x1b[K";
  if (::write(fd_, text.data(), text.size()) > 0) own_.written += text.size();
  shown_ = true;
}

void Progress::clear() {
  if (shown_ && ::write(fd_, "\r\x1b[K", 4) > 0) own_.written += 4;
  shown_ = false;
}

void Progress::pause(bool on) {
  std::lock_guard lock(mutex_);
  if (on && paused_++ == 0) clear();
  if (!on) --paused_;
}

Progress::Pause::Pause() {
  if (Progress* p = active) p->pause(true);
}

Progress::Pause::~Pause() {
  if (Progress* p = active) p->pause(false);
}

}  // namespace tlx::host
