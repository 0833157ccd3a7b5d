#include "platform/cad/dxf_tags.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace tlx::platform::cad {

void Pool::adopt(std::string text) {
  base_ = std::move(text);
  extra_.clear();
}

Tag Pool::make(int code, std::string_view value) {
  size_t off = base_.size() + extra_.size();
  if (off + value.size() > std::numeric_limits<uint32_t>::max())
    throw DxfError("drawing too large: more than 4 GB of text");
  extra_.append(value);
  return Tag{static_cast<int16_t>(code), static_cast<uint32_t>(off), static_cast<uint32_t>(value.size())};
}

TagReader::TagReader(std::string_view text) : text_(text) {
  if (text_.size() > std::numeric_limits<uint32_t>::max())
    throw DxfError("file too large: more than 4 GB");
  if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;  // a byte-order mark written by some tools
  if (text_.substr(pos_, 18) == "AutoCAD Binary DXF")
    throw DxfError("binary DXF files are not supported");
}

namespace {

// One line from `pos`, without its line end; advances past it.
inline bool readLine(std::string_view text, size_t& pos, size_t& begin, size_t& len, bool& crlf) {
  if (pos >= text.size()) return false;
  begin = pos;
  const char* start = text.data() + pos;
  const void* nl = std::memchr(start, '\n', text.size() - pos);
  size_t end = nl ? static_cast<size_t>(static_cast<const char*>(nl) - text.data()) : text.size();
  pos = nl ? end + 1 : end;
  if (end > begin && text[end - 1] == '\r') {
    --end;
    crlf = true;
  }
  len = end - begin;
  return true;
}

inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

bool TagReader::next(Tag& tag) {
  size_t b, n;
  // Blank lines between tags appear in some hand-edited files; skip them only in code position.
  for (;;) {
    if (!readLine(text_, pos_, b, n, crlf_)) return false;
    ++line_;
    std::string_view s = trim(text_.substr(b, n));
    if (s.empty()) {
      if (pos_ >= text_.size()) return false;
      continue;
    }
    int code = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), code);
    if (ec != std::errc() || p != s.data() + s.size() || code < -5 || code > 1071)
      throw DxfError("line " + std::to_string(line_) + ": invalid group code \"" +
                     std::string(s.substr(0, 40)) + "\"");
    tag.code = static_cast<int16_t>(code);
    break;
  }
  if (!readLine(text_, pos_, b, n, crlf_))
    throw DxfError("line " + std::to_string(line_) + ": group code without a value");
  ++line_;
  tag.off = static_cast<uint32_t>(b);
  tag.len = static_cast<uint32_t>(n);
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

double toReal(std::string_view s, double fallback) {
  s = trim(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  double d = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
  if (ec != std::errc() || p == s.data() || !std::isfinite(d)) return fallback;
  return d;
}

long toInt(std::string_view s, long fallback) {
  s = trim(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  long v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p == s.data()) {
    // Some writers put reals where integers belong ("1.0").
    double d = toReal(s, std::nan(""));
    return std::isfinite(d) && std::abs(d) < 1e15 ? static_cast<long>(d) : fallback;
  }
  return v;
}

uint64_t toHandle(std::string_view s) {
  s = trim(s);
  uint64_t v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
  if (ec != std::errc() || p != s.data() + s.size()) return 0;
  return v;
}

std::string handleText(uint64_t h) {
  char buf[20];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, h, 16);
  for (char* c = buf; c < p; ++c)
    if (*c >= 'a' && *c <= 'f') *c = static_cast<char>(*c - 32);
  return std::string(buf, p);
}

std::string realText(double d) {
  if (!std::isfinite(d)) d = 0;
  if (d == 0) d = 0;  // no "-0.0"
  char buf[32];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, d);
  std::string s(buf, p);
  // Readers that look for a decimal point to tell reals from integers get one.
  if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
  return s;
}

void TagWriter::write(int code, std::string_view value) {
  // Room for any int: a damaged file may carry an absurd group code that is written back as read.
  char buf[16];
  int n = 0;
  unsigned c = code < 0 ? static_cast<unsigned>(-code) : static_cast<unsigned>(code);
  char digits[16];
  int nd = 0;
  do {
    digits[nd++] = static_cast<char>('0' + c % 10);
    c /= 10;
  } while (c);
  if (code < 0) digits[nd++] = '-';
  for (int pad = 3 - nd; pad > 0; --pad) buf[n++] = ' ';
  while (nd) buf[n++] = digits[--nd];
  out_.append(buf, n);
  out_.append(eol_);
  out_.append(value);
  out_.append(eol_);
  if (file_ && out_.size() >= (1u << 20)) flush();
}

bool TagWriter::flush() {
  if (!file_) return true;
  if (!failed_ && !out_.empty() && std::fwrite(out_.data(), 1, out_.size(), file_) != out_.size()) failed_ = true;
  out_.clear();
  return !failed_;
}

}  // namespace tlx::platform::cad
