#include "json_writer.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>

#include <nlohmann/json.hpp>

#include "json_reader.h"

namespace tlx::host {

namespace {

constexpr size_t kBufferBytes = size_t(64) << 10;

// ASCII characters that a JSON string holds as they are.
constexpr auto kPlain = [] {
  std::array<bool, 128> plain{};
  for (int c = 0x20; c < 128; ++c) plain[c] = c != '"' && c != '\\';
  return plain;
}();

// An ASCII character as it stands in a JSON string.
size_t escapeAscii(char c, char* out) {
  static const char hex[] = "0123456789abcdef";
  const char* named = nullptr;
  switch (c) {
    case '"': named = "\\\""; break;
    case '\\': named = "\\\\"; break;
    case '\b': named = "\\b"; break;
    case '\f': named = "\\f"; break;
    case '\n': named = "\\n"; break;
    case '\r': named = "\\r"; break;
    case '\t': named = "\\t"; break;
    default:
      if (static_cast<unsigned char>(c) >= 0x20) {
        *out = c;
        return 1;
      }
      std::copy_n("\\u00", 4, out);
      out[4] = hex[c >> 4];
      out[5] = hex[c & 0xF];
      return 6;
  }
  out[0] = named[0];
  out[1] = named[1];
  return 2;
}

size_t encodeUtf8(char32_t cp, char* out) {
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

}  // namespace

JsonWriter::JsonWriter(int fd) : fd_(fd) { buffer_.reserve(kBufferBytes); }

void JsonWriter::put(const char* data, size_t n) {
  if (fd_ >= 0 && buffer_.size() + n > kBufferBytes) flush();
  if (fd_ >= 0 && failed_) return;
  buffer_.append(data, n);
}

bool JsonWriter::flush() {
  for (size_t done = 0; !failed_ && done < buffer_.size();) {
    const ssize_t wrote = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) failed_ = true;
    else done += static_cast<size_t>(wrote);
  }
  buffer_.clear();
  return !failed_;
}

JsonWriter& JsonWriter::raw(std::string_view s) {
  // Pieces of at most a buffer each, so that the buffer never grows.
  for (size_t at = 0; at < s.size(); at += kBufferBytes) put(s.data() + at, std::min(kBufferBytes, s.size() - at));
  return *this;
}

JsonWriter& JsonWriter::string(std::string_view s) {
  char chunk[1024];
  size_t n = 0;
  put("\"", 1);
  for (size_t i = 0; i < s.size();) {
    if (n > sizeof chunk - 8) put(chunk, std::exchange(n, 0));
    if ((s[i] & 0x80) == 0) {
      n += escapeAscii(s[i++], chunk + n);
    } else if (const size_t len = utf8Length(s.substr(i))) {
      for (size_t k = 0; k < len; ++k) chunk[n++] = s[i++];
    } else {
      n += encodeUtf8(0xFFFD, chunk + n);
      ++i;
    }
  }
  put(chunk, n);
  put("\"", 1);
  return *this;
}

JsonWriter& JsonWriter::string(std::u16string_view s) {
  char chunk[1024];
  size_t n = 0;
  chunk[n++] = '"';
  for (size_t i = 0; i < s.size(); ++i) {
    if (n > sizeof chunk - 8) put(chunk, std::exchange(n, 0));
    char32_t c = s[i];
    if (c < 0x80) {
      if (kPlain[c]) chunk[n++] = static_cast<char>(c);
      else n += escapeAscii(static_cast<char>(c), chunk + n);
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF)
      c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
    else if (c >= 0xD800 && c <= 0xDFFF)
      c = 0xFFFD;
    n += encodeUtf8(c, chunk + n);
  }
  chunk[n++] = '"';
  put(chunk, n);
  return *this;
}

JsonWriter& JsonWriter::integer(int64_t v) {
  char digits[24];
  put(digits, static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, v).ptr - digits));
  return *this;
}

// As the JSON library writes doubles, so that answers read as they always have.
JsonWriter& JsonWriter::number(double d) {
  char digits[64];
  put(digits, static_cast<size_t>(nlohmann::detail::to_chars(digits, digits + sizeof digits, d) - digits));
  return *this;
}

}  // namespace tlx::host
