#include "json_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <fmt/format.h>

namespace tlx::host {

namespace {

constexpr size_t npos = std::string_view::npos;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexDigit(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

size_t skipSpace(std::string_view t, size_t p) {
  while (p < t.size() && isSpace(t[p])) ++p;
  return p;
}

// Numbers as the protocol reads them: integers that 64 bits hold stay integers, the rest are
// doubles (a double too large reads as infinity, which the check refuses).
JsonView::Number readNumber(std::string_view token) {
  JsonView::Number n{JsonView::Number::Float};
  const char* end = token.data() + token.size();
  if (token.find_first_of(".eE") == npos) {
    if (token[0] == '-' && std::from_chars(token.data(), end, n.i).ec == std::errc()) {
      n.kind = JsonView::Number::Signed;
      return n;
    }
    if (token[0] != '-' && std::from_chars(token.data(), end, n.u).ec == std::errc()) {
      n.kind = JsonView::Number::Unsigned;
      return n;
    }
  }
  const std::string text(token);
  n.d = std::strtod(text.c_str(), nullptr);
  return n;
}

// The end of the string that starts at `p` (its opening quote), in checked text.
size_t skipString(std::string_view t, size_t p) {
  for (++p; t[p] != '"'; p += t[p] == '\\' ? 2 : 1) {
  }
  return p + 1;
}

// The end of the value that starts at `p`, in checked text.
size_t skipValue(std::string_view t, size_t p) {
  if (t[p] == '"') return skipString(t, p);
  if (t[p] == '[' || t[p] == '{') {
    for (int depth = 0;;) {
      const char c = t[p];
      if (c == '"') {
        p = skipString(t, p);
        continue;
      }
      if (c == '[' || c == '{') ++depth;
      else if ((c == ']' || c == '}') && --depth == 0) return p + 1;
      ++p;
    }
  }
  while (p < t.size() && t[p] != ',' && t[p] != ']' && t[p] != '}' && !isSpace(t[p])) ++p;
  return p;
}

// One code point of UTF-8 at `p` (checked), and the position after it.
char32_t decodeUtf8(std::string_view t, size_t& p) {
  const auto c = static_cast<unsigned char>(t[p]);
  const int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
  char32_t cp = c & (0x3F >> more);
  for (int i = 0; i < more; ++i) cp = (cp << 6) | (static_cast<unsigned char>(t[++p]) & 0x3F);
  ++p;
  return cp;
}

unsigned hex4(std::string_view t, size_t p) {
  unsigned v = 0;
  for (size_t i = 0; i < 4; ++i) v = v * 16 + static_cast<unsigned>(hexDigit(t[p + i]));
  return v;
}

// The character an escape other than \u stands for.
char escaped(char e) {
  switch (e) {
    case 'b': return '\b';
    case 'f': return '\f';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    default: return e;  // " \ /
  }
}

class Checker {
 public:
  explicit Checker(std::string_view t) : t_(t) {}

  void document() {
    p_ = skipSpace(t_, p_);
    value();
    p_ = skipSpace(t_, p_);
    if (p_ != t_.size()) fail("text after the value");
  }

 private:
  [[noreturn]] void fail(const char* what) const { throw JsonSyntaxError(fmt::format("{} at byte {}", what, p_ + 1)); }
  char peek() const { return p_ < t_.size() ? t_[p_] : '\0'; }
  void expect(char c, const char* what) {
    p_ = skipSpace(t_, p_);
    if (peek() != c) fail(what);
    ++p_;
    p_ = skipSpace(t_, p_);
  }

  void value() {
    switch (peek()) {
      case '{': return object();
      case '[': return array();
      case '"': return string();
      case 't': return word("true");
      case 'f': return word("false");
      case 'n': return word("null");
      default: return number();
    }
  }

  void word(std::string_view w) {
    if (t_.substr(p_, w.size()) != w) fail("no JSON value");
    p_ += w.size();
  }

  void array() {
    expect('[', "'[' expected");
    if (peek() == ']') return void(++p_);
    for (value(); p_ = skipSpace(t_, p_), peek() == ','; value()) p_ = skipSpace(t_, p_ + 1);
    if (peek() != ']') fail("',' or ']' expected");
    ++p_;
  }

  void object() {
    expect('{', "'{' expected");
    if (peek() == '}') return void(++p_);
    for (;;) {
      if (peek() != '"') fail("a member name expected");
      string();
      expect(':', "':' expected");
      value();
      p_ = skipSpace(t_, p_);
      if (peek() != ',') break;
      p_ = skipSpace(t_, p_ + 1);
    }
    if (peek() != '}') fail("',' or '}' expected");
    ++p_;
  }

  void string() {
    for (++p_;;) {
      if (p_ >= t_.size()) fail("a string without its end");
      const auto c = static_cast<unsigned char>(t_[p_]);
      if (c == '"') return void(++p_);
      if (c < 0x20) fail("a control character in a string");
      if (c == '\\') escape();
      else if (c < 0x80) ++p_;
      else utf8();
    }
  }

  void escape() {
    const char e = ++p_ < t_.size() ? t_[p_] : '\0';
    if (e != 'u') {
      if (!e || !std::strchr("\"\\/bfnrt", e)) fail("an unknown escape");
      return void(++p_);
    }
    const unsigned unit = codeUnit();
    if (unit >= 0xDC00 && unit <= 0xDFFF) fail("an unpaired surrogate");
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (t_.substr(p_, 2) != "\\u") fail("an unpaired surrogate");
      ++p_;
      const unsigned low = codeUnit();
      if (low < 0xDC00 || low > 0xDFFF) fail("an unpaired surrogate");
    }
  }

  // The four hex digits after "\u" at p_ - 1 ... p_.
  unsigned codeUnit() {
    ++p_;
    for (size_t i = 0; i < 4; ++i)
      if (p_ + i >= t_.size() || hexDigit(t_[p_ + i]) < 0) fail("a \\u escape without four hex digits");
    p_ += 4;
    return hex4(t_, p_ - 4);
  }

  void utf8() {
    const size_t n = utf8Length(t_.substr(p_));
    if (n == 0) fail("invalid UTF-8");
    p_ += n;
  }

  void number() {
    const size_t start = p_;
    if (peek() == '-') ++p_;
    if (!isDigit(peek())) fail("no JSON value");
    if (peek() == '0') ++p_;  // no leading zeros
    else
      while (isDigit(peek())) ++p_;
    if (peek() == '.') {
      ++p_;
      if (!isDigit(peek())) fail("a digit expected");
      while (isDigit(peek())) ++p_;
    }
    if (peek() == 'e' || peek() == 'E') {
      ++p_;
      if (peek() == '+' || peek() == '-') ++p_;
      if (!isDigit(peek())) fail("a digit expected");
      while (isDigit(peek())) ++p_;
    }
    if (!std::isfinite(readNumber(t_.substr(start, p_ - start)).asDouble())) {
      p_ = start;
      fail("a number too large for a double");
    }
  }

  std::string_view t_;
  size_t p_ = 0;
};

}  // namespace

size_t utf8Length(std::string_view s) {
  const auto c = static_cast<unsigned char>(s[0]);
  unsigned char lo = 0x80, hi = 0xBF;  // the second byte's range
  size_t n;
  if (c >= 0xC2 && c <= 0xDF) n = 2;
  else if (c == 0xE0) n = 3, lo = 0xA0;
  else if (c == 0xED) n = 3, hi = 0x9F;  // no encoded surrogates
  else if (c >= 0xE1 && c <= 0xEF) n = 3;
  else if (c == 0xF0) n = 4, lo = 0x90;
  else if (c >= 0xF1 && c <= 0xF3) n = 4;
  else if (c == 0xF4) n = 4, hi = 0x8F;
  else return 0;
  if (s.size() < n) return 0;
  for (size_t i = 1; i < n; ++i, lo = 0x80, hi = 0xBF)
    if (static_cast<unsigned char>(s[i]) < lo || static_cast<unsigned char>(s[i]) > hi) return 0;
  return n;
}

void checkJson(std::string_view text) { Checker(text).document(); }

JsonView JsonView::root(std::string_view text) { return {text, skipSpace(text, 0)}; }

JsonView::Type JsonView::type() const {
  switch (text_[at_]) {
    case '{': return Type::Object;
    case '[': return Type::Array;
    case '"': return Type::String;
    case 't':
    case 'f': return Type::Boolean;
    case 'n': return Type::Null;
    default: return Type::Number;
  }
}

JsonView::Number JsonView::number() const { return readNumber(text()); }

std::string_view JsonView::text() const { return text_.substr(at_, skipValue(text_, at_) - at_); }

std::string JsonView::string() const {
  std::string out;
  for (size_t p = at_ + 1; text_[p] != '"';) {
    if (text_[p] != '\\') {
      out += text_[p++];
      continue;
    }
    const char e = text_[p + 1];
    p += 2;
    if (e != 'u') {
      out += escaped(e);
      continue;
    }
    char32_t cp = hex4(text_, p);
    p += 4;
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (hex4(text_, p + 2) - 0xDC00);
      p += 6;
    }
    char bytes[4];
    int n = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    if (n == 1) bytes[0] = static_cast<char>(cp);
    else {
      bytes[0] = static_cast<char>((0xF00 >> n) | (cp >> (6 * (n - 1))));
      for (int i = 1; i < n; ++i) bytes[i] = static_cast<char>(0x80 | ((cp >> (6 * (n - 1 - i))) & 0x3F));
    }
    out.append(bytes, n);
  }
  return out;
}

BStr JsonView::string16(StringArena& arena, std::u16string& scratch) const {
  const size_t end = skipString(text_, at_) - 1;
  const std::string_view raw = text_.substr(at_ + 1, end - at_ - 1);
  const bool plain = std::all_of(raw.begin(), raw.end(), [](char c) { return c != '\\' && (c & 0x80) == 0; });
  if (plain) return arena.widen(raw);
  scratch.clear();
  for (size_t p = at_ + 1; p < end;) {
    const char c = text_[p];
    if (c == '\\') {
      if (text_[p + 1] == 'u') {
        scratch += static_cast<char16_t>(hex4(text_, p + 2));  // a pair arrives as its two units
        p += 6;
      } else {
        scratch += static_cast<char16_t>(escaped(text_[p + 1]));
        p += 2;
      }
    } else if ((c & 0x80) == 0) {
      scratch += static_cast<char16_t>(c);
      ++p;
    } else {
      const char32_t cp = decodeUtf8(text_, p);
      if (cp < 0x10000) {
        scratch += static_cast<char16_t>(cp);
      } else {
        scratch += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
        scratch += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
      }
    }
  }
  return arena.copy(scratch);
}

JsonView::Iterator& JsonView::Iterator::operator++() {
  const size_t p = skipSpace(text_, skipValue(text_, at_));
  at_ = text_[p] == ',' ? skipSpace(text_, p + 1) : npos;
  return *this;
}

JsonView::Iterator JsonView::begin() const {
  const size_t p = skipSpace(text_, at_ + 1);
  return {text_, text_[p] == ']' ? npos : p};
}

size_t JsonView::size() const {
  if (isObject()) return members().size();
  size_t n = 0;
  for (auto it = begin(); it != end(); ++it) ++n;
  return n;
}

std::vector<std::pair<std::string, JsonView>> JsonView::members() const {
  std::vector<std::pair<std::string, JsonView>> out;
  size_t p = skipSpace(text_, at_ + 1);
  while (text_[p] == '"') {
    std::string key = JsonView(text_, p).string();
    p = skipSpace(text_, skipSpace(text_, skipString(text_, p)) + 1);  // past the ':'
    out.emplace_back(std::move(key), JsonView(text_, p));
    p = skipSpace(text_, skipValue(text_, p));
    if (text_[p] == ',') p = skipSpace(text_, p + 1);
  }
  return out;
}

const JsonView* JsonObject::find(std::string_view key) const {
  for (auto it = members_.rbegin(); it != members_.rend(); ++it)
    if (it->first == key) return &it->second;
  return nullptr;
}

}  // namespace tlx::host
