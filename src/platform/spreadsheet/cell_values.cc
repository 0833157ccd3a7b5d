#include "platform/spreadsheet/cell_values.h"

#include <algorithm>
#include <array>

#include "automation/strings.h"

namespace tlx::platform::spreadsheet {

namespace {

struct ErrorName {
  int number;
  std::string_view text;
};
constexpr std::array<ErrorName, 7> kErrors{{{2000, "#NULL!"},
                                            {2007, "#DIV/0!"},
                                            {2015, "#VALUE!"},
                                            {2023, "#REF!"},
                                            {2029, "#NAME?"},
                                            {2036, "#NUM!"},
                                            {2042, "#N/A"}}};

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool xmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

void appendEscape(std::string& out, uint16_t unit) {
  static const char* hex = "0123456789ABCDEF";
  out += "_x";
  for (int shift = 12; shift >= 0; shift -= 4) out += hex[(unit >> shift) & 0xF];
  out += '_';
}

bool looksEscaped(std::u16string_view s, size_t i) {
  if (i + 6 >= s.size() || s[i] != u'_' || s[i + 1] != u'x' || s[i + 6] != u'_') return false;
  for (size_t k = 2; k < 6; ++k)
    if (s[i + k] > 0x7F || hexDigit(char(s[i + k])) < 0) return false;
  return true;
}

}  // namespace

std::optional<HRESULT> errorCode(std::string_view text) {
  for (auto& e : kErrors)
    if (e.text == text) return hr::basicError(e.number);
  return std::nullopt;
}

std::string_view errorText(HRESULT scode) {
  for (auto& e : kErrors)
    if (hr::basicError(e.number) == scode) return e.text;
  return "";
}

// The 1900 system counts the non-existent 29 Feb 1900 as day 60: serials before it are one day
// off the OLE count.
double cellSerialToDate(double serial, bool date1904) {
  if (date1904) return serial + 1462;
  if (serial >= 1 && serial < 60) return serial + 1;
  return serial;
}

double dateToCellSerial(double date, bool date1904) {
  if (date1904) return date - 1462;
  if (date >= 2 && date < 61) return date - 1;
  return date;
}

BStr decodeCellText(std::string_view utf8) {
  // Most cell text is plain ASCII: copied straight into the string it becomes.
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }) &&
      utf8.find("_x") == std::string_view::npos) {
    BStr text = BStr::ofLength(utf8.size());
    std::copy(utf8.begin(), utf8.end(), text.mutableData());
    return text;
  }
  BStr text = u16(utf8);
  if (utf8.find("_x") == std::string_view::npos) return text;
  std::u16string_view s = text.view();
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (looksEscaped(s, i)) {
      uint16_t unit = 0;
      for (size_t k = 2; k < 6; ++k) unit = uint16_t(unit * 16 + hexDigit(char(s[i + k])));
      out += char16_t(unit);
      i += 6;
    } else {
      out += s[i];
    }
  }
  return BStr(out);
}

void appendXmlText(std::string& out, std::u16string_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      appendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00));
      ++i;
      continue;
    }
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else if (c == '\r') out += "&#13;";
    else if (c == '_' && looksEscaped(s, i)) out += "_x005F_";  // a literal "_xHHHH_" stays literal
    else if (!xmlChar(c)) appendEscape(out, uint16_t(c));
    else appendUtf8(out, c);
  }
}

void appendXmlText(std::string& out, std::string_view utf8) {
  for (char c : utf8) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
}

}  // namespace tlx::platform::spreadsheet
