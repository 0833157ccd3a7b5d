// Comma-separated text as a one-sheet workbook: quoted fields with doubled quotes and line
// breaks inside, LF, CR LF or CR line ends, and each field converted as typed into a cell
// (numbers, percentages, TRUE/FALSE, error values, dates), else kept as text.
#include <charconv>
#include <cmath>

#include "talvex/com_error.h"
#include "talvex/convert.h"
#include "automation/strings.h"
#include "platform/spreadsheet/cell_values.h"
#include "platform/spreadsheet/import.h"

namespace tlx::platform::spreadsheet {

namespace {

std::string fromUtf16(std::string_view s, bool bigEndian) {
  std::u16string out;
  for (size_t i = 0; i + 1 < s.size(); i += 2) {
    auto a = static_cast<unsigned char>(s[i]), b = static_cast<unsigned char>(s[i + 1]);
    out += bigEndian ? char16_t(a << 8 | b) : char16_t(b << 8 | a);
  }
  return u8(out);
}

// The text as UTF-8, whatever mark or encoding it came with.
std::string decodedText(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  else if (bytes.starts_with("\xFF\xFE")) return fromUtf16(bytes.substr(2), false);
  else if (bytes.starts_with("\xFE\xFF")) return fromUtf16(bytes.substr(2), true);
  if (bytes.find('\0') != std::string_view::npos)
    throw opc::PackageError("The file is not a workbook the application can read");
  if (validUtf8(bytes)) return std::string(bytes);
  std::u16string out;
  for (char c : bytes) out += windows1252Char(static_cast<unsigned char>(c));
  return u8(out);
}

// Tab-separated text (as saved under "Text") when the first line has tabs and no comma.
char delimiterOf(std::string_view text) {
  bool quoted = false, tab = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    else if (quoted) continue;
    else if (c == ',') return ',';
    else if (c == '\t') tab = true;
    else if (c == '\n' || c == '\r') break;
  }
  return tab ? '\t' : ',';
}

std::optional<double> number(std::string_view s) {
  bool percent = s.ends_with('%');
  if (percent) s.remove_suffix(1);
  if (s.starts_with('+')) s.remove_prefix(1);
  if (s.empty() || !(asciiDigit(s.back()) || s.back() == '.')) return std::nullopt;
  double d = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), d, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(d)) return std::nullopt;
  return percent ? d / 100 : d;
}

// A field as the application types it into a cell.
Variant fieldValue(std::string_view field) {
  std::string_view s = trimSpaces(field);
  if (s.empty()) return field.empty() ? Variant() : Variant(u16(field));
  if (auto d = number(s)) return Variant(*d);
  BStr text = u16(s);
  if (equalsNoCase(text.view(), u"TRUE")) return Variant(true);
  if (equalsNoCase(text.view(), u"FALSE")) return Variant(false);
  if (auto code = errorCode(s)) return Variant(ErrorValue{*code});
  if (auto d = isoDateTime(s)) return Variant(Date{*d});
  if (asciiDigit(s.front()) && s.find('/') != std::string_view::npos) {
    try {
      return Variant(Date{parseDate(text.view())});
    } catch (const ComError&) {
    }
  }
  return Variant(u16(field));
}

}  // namespace

std::unique_ptr<Workbook> readCsv(std::string_view bytes, std::string_view sheetName) {
  std::string text = decodedText(bytes);
  char delimiter = delimiterOf(text);
  WorkbookFiller filler;
  Sheet& sheet = filler.addSheet(sheetName);
  int32_t row = 1, col = 1;
  std::string field;
  bool quotedField = false;
  auto endField = [&] {
    if (col > kMaxCols || row > kMaxRows)
      throw opc::PackageError("The text has more rows or columns than a worksheet holds");
    if (Variant v = fieldValue(field); !v.isEmpty()) sheet.setValue(row, col, v);
    field.clear();
    quotedField = false;
    ++col;
  };
  size_t i = 0, n = text.size();
  while (i < n) {
    char c = text[i];
    if (c == '"' && field.empty() && !quotedField) {
      // A quoted field runs to the quote not doubled; what follows it up to the delimiter is kept.
      quotedField = true;
      for (++i; i < n; ++i) {
        if (text[i] != '"') field += text[i];
        else if (i + 1 < n && text[i + 1] == '"') field += '"', ++i;
        else break;
      }
      ++i;
    } else if (c == delimiter) {
      endField();
      ++i;
    } else if (c == '\n' || c == '\r') {
      endField();
      i += c == '\r' && i + 1 < n && text[i + 1] == '\n' ? 2 : 1;
      ++row, col = 1;
    } else {
      field += c;
      ++i;
    }
  }
  if (col > 1 || !field.empty() || quotedField) endField();
  return filler.finish();
}

}  // namespace tlx::platform::spreadsheet
