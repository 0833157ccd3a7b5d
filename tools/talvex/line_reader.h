// Request lines from a stream, each at most a given length: a longer line is skipped to its end
// without being held, so one oversized line costs no more memory than the limit; a line that
// memory cannot hold is skipped the same way.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace tlx::host {

class LineReader {
 public:
  enum Result { Line, TooLong, NoMemory, End };

  LineReader(std::FILE* in, size_t maxBytes) : in_(in), maxBytes_(maxBytes) {}
  // The next line without its LF (a CR before it stays). TooLong and NoMemory (the line did
  // not fit in memory) skip the line to its end and leave `line` empty.
  Result next(std::string& line);
  // Whether reading failed (rather than reaching the end).
  bool failed() const { return failed_; }

 private:
  bool fill();

  std::FILE* in_;
  size_t maxBytes_;
  char buffer_[1 << 16];
  size_t pos_ = 0, len_ = 0;
  bool failed_ = false;
};

}  // namespace tlx::host
