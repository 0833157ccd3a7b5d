// Answers written as they are made: into a buffer that goes to a file descriptor each time it
// fills, or into a string. Texts are escaped as JSON and written as UTF-8; writing to a file
// descriptor takes no memory, so that an answer cannot run out of it half-way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tlx::host {

class JsonWriter {
 public:
  JsonWriter() = default;  // into text()
  explicit JsonWriter(int fd);

  JsonWriter& raw(std::string_view s);
  JsonWriter& string(std::string_view utf8);  // invalid bytes become U+FFFD
  JsonWriter& string(std::u16string_view s);  // unpaired surrogates become U+FFFD
  JsonWriter& integer(int64_t n);
  JsonWriter& number(double d);  // finite: the shortest text that reads back the same
  JsonWriter& boolean(bool b) { return raw(b ? "true" : "false"); }

  // Sends what is held to the file descriptor; false once a write has failed.
  bool flush();
  // The answer so far, in the string mode.
  const std::string& text() const { return buffer_; }
  void clear() { buffer_.clear(); }

 private:
  void put(const char* data, size_t n);

  int fd_ = -1;
  std::string buffer_;
  bool failed_ = false;
};

}  // namespace tlx::host
