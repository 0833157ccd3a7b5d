#include "line_reader.h"

#include <cstring>

namespace tlx::host {

bool LineReader::fill() {
  pos_ = 0;
  len_ = std::fread(buffer_, 1, sizeof buffer_, in_);
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
