// What a long call has done so far, on one line of a terminal: the bytes the process has read
// and written (its I/O counters) and the time taken, redrawn while the call runs and cleared
// when it ends.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace tlx::host {

// "read 12.3 MB, written 4.0 kB, 3.2 s"
std::string progressText(uint64_t read, uint64_t written, std::chrono::milliseconds elapsed);

class Progress {
 public:
  // Shows nothing unless `fd` is a terminal; the line first appears after `delay`, so that a
  // quick call leaves the terminal as it was.
  explicit Progress(int fd, std::chrono::milliseconds delay = std::chrono::seconds(1),
                    std::chrono::milliseconds every = std::chrono::milliseconds(250));
  ~Progress();  // clears the line
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // While a prompt waits for the user at the terminal, the line gives way to it.
  class Pause {
   public:
    Pause();
    ~Pause();
  };

 private:
  struct Counters {
    uint64_t read = 0, written = 0;
  };
  Counters counters();
  void run(std::chrono::milliseconds delay, std::chrono::milliseconds every);
  void show(const std::string& line);
  void clear();
  void pause(bool on);

  const int fd_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  Counters atStart_;
  Counters own_;  // what reading the counters and drawing the line added to them
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  int paused_ = 0;
  bool shown_ = false;
  std::thread thread_;
};

}  // namespace tlx::host
