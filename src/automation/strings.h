// 16-bit string helpers: UTF-8 at the edges, case rules of Automation's text compare.
#pragma once

#include <string>
#include <string_view>

#include "talvex/variant.h"

namespace tlx {

bool validUtf8(std::string_view s);
// The character of a byte in the Western Windows code page (1252): Latin-1 but for 0x80-0x9F.
char16_t windows1252Char(unsigned char c);

// Case folding of Basic's LCase / UCase and text compare (ASCII and Latin-1 letters).
char16_t lowerChar(char16_t c);
char16_t upperChar(char16_t c);
BStr lcase(std::u16string_view s);
BStr ucase(std::u16string_view s);
bool equalsNoCase(std::u16string_view a, std::u16string_view b);

// ASCII case folding for names and keywords (members, program identifiers, part names, code
// pages): only A-Z and a-z change, whatever the locale; every other character stays as it is.
constexpr char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }
constexpr char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }
constexpr char16_t asciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }
std::string asciiLower(std::string_view s);
std::string asciiUpper(std::string_view s);
bool equalsNoCaseAscii(std::string_view a, std::string_view b);
bool equalsNoCaseAscii(std::u16string_view a, std::u16string_view b);
// ASCII classes, likewise the same in every locale (the Python module runs in the user's).
constexpr bool asciiDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool asciiAlnum(char c) { return asciiDigit(c) || (asciiLower(c) >= 'a' && asciiLower(c) <= 'z'); }
constexpr bool asciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
// Orders names as their ASCII-folded forms would be ordered.
struct LessNoCaseAscii {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

// Basic's Trim: leading and trailing spaces only; tabs and line ends stay.
std::u16string_view trimSpaces(std::u16string_view s);
std::string_view trimSpaces(std::string_view s);

}  // namespace tlx
