#include "line_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tlx::host {

// What is there now, not a full buffer: a client that waits for each answer before it sends the
// next request sends no more until this one is answered.
bool LineReader::fill() {
  pos_ = 0;
  len_ = 0;
  ssize_t got;
  do {
    got = ::read(fileno(in_), buffer_, sizeof buffer_);
  } while (got < 0 && errno == EINTR);
  if (got < 0) failed_ = true;
  if (got > 0) len_ = static_cast<size_t>(got);
  return len_ > 0;
}

LineReader::Result LineReader::next(std::string& line) {
  line.clear();
  bool started = false, tooLong = false;
  for (;;) {
    if (pos_ == len_ && !fill()) return !started ? End : tooLong ? TooLong : Line;
    started = true;
    const char* start = buffer_ + pos_;
    const char* nl = static_cast<const char*>(std::memchr(start, '\n', len_ - pos_));
    const size_t n = nl ? static_cast<size_t>(nl - start) : len_ - pos_;
    if (!tooLong && line.size() + n > maxBytes_) {
      tooLong = true;
      std::string().swap(line);  // give the memory back now, not at the next line
    }
    if (!tooLong) line.append(start, n);
    pos_ += n + (nl ? 1 : 0);
    if (nl) return tooLong ? TooLong : Line;
  }
}

}  // namespace tlx::host
