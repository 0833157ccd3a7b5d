#include "line_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

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
  bool started = false;
  Result result = Line;
  for (;;) {
    if (pos_ == len_ && !fill()) return started ? result : End;
    started = true;
    const char* start = buffer_ + pos_;
    const char* nl = static_cast<const char*>(std::memchr(start, '\n', len_ - pos_));
    const size_t n = nl ? static_cast<size_t>(nl - start) : len_ - pos_;
    if (result == Line && line.size() + n > maxBytes_) result = TooLong;
    if (result == Line) {
      try {
        line.append(start, n);
      } catch (const std::bad_alloc&) {
        result = NoMemory;
      }
    }
    if (result != Line) std::string().swap(line);  // give the memory back now, not at the next line
    pos_ += n + (nl ? 1 : 0);
    if (nl) return result;
  }
}

}  // namespace tlx::host
