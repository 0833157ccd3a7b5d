// DXF tags: group code + value pairs, the text that holds their values, and reading and writing
// them in the ASCII format.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tlx::dxf {

// A malformed or unsupported file.
class DxfError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One group code and its value. The value is a slice of the document's text pool: a tag costs
// twelve bytes however long its value, which keeps a loaded drawing close to its file size.
struct Tag {
  int16_t code = 0;
  uint32_t off = 0;
  uint32_t len = 0;
};

// The text of every tag value: the file as read, then the values written since.
class Pool {
 public:
  void adopt(std::string text);
  std::string_view view(const Tag& t) const {
    return t.off < base_.size() ? std::string_view(base_.data() + t.off, t.len)
                                : std::string_view(extra_.data() + (t.off - base_.size()), t.len);
  }
  Tag make(int code, std::string_view value);
  const std::string& base() const { return base_; }
  size_t bytes() const { return base_.size() + extra_.size(); }

 private:
  std::string base_;
  std::string extra_;
};

// Reads tags from ASCII DXF text (LF or CRLF line ends). Offsets are relative to the text.
class TagReader {
 public:
  explicit TagReader(std::string_view text);
  // False at the end of the text. A code line that is not a number, or a code without its
  // value line, throws DxfError naming the line.
  bool next(Tag& tag);
  bool crlf() const { return crlf_; }
  size_t line() const { return line_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  size_t line_ = 0;
  bool crlf_ = false;
};

// Trimmed value, for structure markers and numbers (values are otherwise kept as read).
std::string_view trim(std::string_view s);
bool equalsNoCase(std::string_view a, std::string_view b);
double toReal(std::string_view s, double fallback = 0.0);
long toInt(std::string_view s, long fallback = 0);
uint64_t toHandle(std::string_view s);  // 0 when not a hexadecimal handle
std::string handleText(uint64_t h);
std::string realText(double d);

// Appends tags in the ASCII layout: code right-aligned in three columns, then the value.
class TagWriter {
 public:
  TagWriter(std::string& out, bool crlf) : out_(out), eol_(crlf ? "\r\n" : "\n") {}
  // Hands the text to `file` in pieces instead of keeping it all (a drawing need not be held twice).
  TagWriter(std::string& buffer, bool crlf, std::FILE* file) : TagWriter(buffer, crlf) { file_ = file; }
  void write(int code, std::string_view value);
  // Writes what is buffered to the file; false when the file refused it.
  bool flush();
  void write(const Pool& pool, const Tag& t) { write(t.code, pool.view(t)); }
  void write(const Pool& pool, const std::vector<Tag>& tags) {
    for (const Tag& t : tags) write(pool, t);
  }

 private:
  std::string& out_;
  std::string_view eol_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

}  // namespace tlx::dxf
