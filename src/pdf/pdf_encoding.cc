#include "pdf/pdf_encoding.h"

#include <cstdint>

namespace tlx::pdf {
namespace {

struct HighByte {
  char16_t unicode;
  unsigned char byte;
};

// Windows-1252 at 0x80-0x9F; the five unassigned codes have no glyph in the font.
constexpr HighByte kWinAnsi[] = {
    {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85},
    {0x2020, 0x86}, {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A},
    {0x2039, 0x8B}, {0x0152, 0x8C}, {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92},
    {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97},
    {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B}, {0x0153, 0x9C},
    {0x017E, 0x9E}, {0x0178, 0x9F},
};

// PDFDocEncoding differs from Latin-1 at 0x18-0x1F, 0x80-0xA0 and 0xAD.
constexpr HighByte kPdfDoc[] = {
    {0x02D8, 0x18}, {0x02C7, 0x19}, {0x02C6, 0x1A}, {0x02D9, 0x1B}, {0x02DD, 0x1C},
    {0x02DB, 0x1D}, {0x02DA, 0x1E}, {0x02DC, 0x1F}, {0x2022, 0x80}, {0x2020, 0x81},
    {0x2021, 0x82}, {0x2026, 0x83}, {0x2014, 0x84}, {0x2013, 0x85}, {0x0192, 0x86},
    {0x2044, 0x87}, {0x2039, 0x88}, {0x203A, 0x89}, {0x2212, 0x8A}, {0x2030, 0x8B},
    {0x201E, 0x8C}, {0x201C, 0x8D}, {0x201D, 0x8E}, {0x2018, 0x8F}, {0x2019, 0x90},
    {0x201A, 0x91}, {0x2122, 0x92}, {0xFB01, 0x93}, {0xFB02, 0x94}, {0x0141, 0x95},
    {0x0152, 0x96}, {0x0160, 0x97}, {0x0178, 0x98}, {0x017D, 0x99}, {0x0131, 0x9A},
    {0x0142, 0x9B}, {0x0153, 0x9C}, {0x0161, 0x9D}, {0x017E, 0x9E}, {0x20AC, 0xA0},
};

template <size_t N>
int lookup(const HighByte (&table)[N], char16_t c) {
  for (const HighByte& e : table)
    if (e.unicode == c) return e.byte;
  return -1;
}

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Walks the text one character at a time (a surrogate pair is one), mapping each through `map`.
template <class Map>
void encode(std::u16string_view text, std::string& out, Map map) {
  out.reserve(out.size() + text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c < 0x80) {
      int b = map(c);
      out.push_back(static_cast<char>(b < 0 ? '?' : b));
      continue;
    }
    if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      ++i;
      out.push_back('?');
      continue;
    }
    int b = map(c);
    out.push_back(static_cast<char>(b < 0 ? '?' : b));
  }
}

}  // namespace

void appendWinAnsi(std::u16string_view text, std::string& out) {
  encode(text, out, [](char16_t c) -> int {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    return lookup(kWinAnsi, c);
  });
}

void appendPdfDoc(std::u16string_view text, std::string& out) {
  encode(text, out, [](char16_t c) -> int {
    if (c == '\t' || c == '\n' || c == '\r' || (c >= 0x20 && c < 0x7F)) return c;
    if (c >= 0xA1 && c <= 0xFF && c != 0xAD) return c;
    return lookup(kPdfDoc, c);
  });
}

void appendEscaped(std::string_view bytes, std::string& out) {
  out.reserve(out.size() + bytes.size() + 8);
  for (char c : bytes) {
    if (c == '\\' || c == '(' || c == ')') out.push_back('\\');
    out.push_back(c);
  }
}

std::string nameChars(std::u16string_view name) {
  std::string bytes;
  appendWinAnsi(name, bytes);
  static constexpr char kHex[] = "0123456789ABCDEF";
  static constexpr std::string_view kDelimiters = "()<>[]{}/%#";
  std::string out;
  for (char ch : bytes) {
    auto b = static_cast<unsigned char>(ch);
    if (b == 0) continue;  // a name cannot hold NUL, not even as #00
    if (b > 0x20 && b < 0x7F && kDelimiters.find(ch) == std::string_view::npos) {
      out.push_back(ch);
    } else {
      out.push_back('#');
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 15]);
    }
  }
  return out;
}

}  // namespace tlx::pdf
