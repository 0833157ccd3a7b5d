// OpenDocument spreadsheets: the tables of content.xml with their typed cells. Repeated rows
// and cells are laid out again, except empty ones (a table ends in a row of 16,384 empty
// cells repeated to the last row), and copies of cells with values are bounded.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "automation/strings.h"
#include "platform/opc/xml_parts.h"
#include "platform/spreadsheet/cell_values.h"
#include "platform/spreadsheet/import.h"

namespace tlx::platform::spreadsheet {

namespace {

using opc::localName;

// Copies laid out by repetition beyond the first of each cell: a sheet that repeats values
// more often than this was made to exhaust memory or time.
constexpr int64_t kMaxRepeatedCells = 1'000'000;

[[noreturn]] void damaged(const std::string& why) {
  throw opc::PackageError("The spreadsheet's content is damaged: " + why);
}

// Beyond the sheet's rows either way; small enough that sums and products of counts stay exact.
int64_t repeatCount(const pugi::xml_node& n, const char* attr) {
  return std::clamp<int64_t>(n.attribute(attr).as_llong(1), 1, int64_t(1) << 24);
}

// Spans and row groups nest; deeper than this is no document a person wrote.
constexpr int kMaxSpanDepth = 32, kMaxGroupDepth = 32;

void appendParagraphText(const pugi::xml_node& n, std::string& out, int depth = 0) {
  for (pugi::xml_node k : n.children()) {
    if (out.size() > kMaxCellChars) return;
    if (k.type() == pugi::node_pcdata || k.type() == pugi::node_cdata) {
      out += k.value();
      continue;
    }
    std::string_view name = localName(k);
    int64_t spaces = std::clamp<int64_t>(k.attribute("text:c").as_llong(1), 1, int64_t(kMaxCellChars));
    if (name == "s") out.append(static_cast<size_t>(spaces), ' ');
    else if (name == "tab") out += '\t';
    else if (name == "line-break") out += '\n';
    else if (name != "annotation" && name != "note" && depth < kMaxSpanDepth) appendParagraphText(k, out, depth + 1);
  }
}

// The text shown in a cell: its paragraphs, one per line (notes and annotations left out).
std::string cellText(const pugi::xml_node& cell) {
  std::string out;
  bool first = true;
  for (pugi::xml_node p : cell.children()) {
    if (localName(p) != "p" && localName(p) != "h") continue;
    if (!first) out += '\n';
    first = false;
    appendParagraphText(p, out);
  }
  return out;
}

double parsed(std::string_view text, std::string_view what) {
  double d = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), d);
  if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(d))
    damaged(std::string(what) + " \"" + std::string(text) + "\" is not a number");
  return d;
}

// "PT13H05M30S", "P1DT2H" (hours may pass 24) as days.
double duration(std::string_view s) {
  std::string whole(s);
  bool negative = s.starts_with('-');
  if (negative) s.remove_prefix(1);
  if (!s.starts_with('P')) damaged("a time \"" + whole + "\" is not a duration");
  s.remove_prefix(1);
  double days = 0;
  bool time = false;
  while (!s.empty()) {
    if (s.front() == 'T' && !time) {
      time = true;
      s.remove_prefix(1);
      continue;
    }
    size_t unit = s.find_first_of("DHMS");
    if (unit == std::string_view::npos || (s[unit] == 'D') == time) damaged("a time \"" + whole + "\" is not a duration");
    double part = parsed(s.substr(0, unit), "a time");
    days += part / (s[unit] == 'D' ? 1 : s[unit] == 'H' ? 24 : s[unit] == 'M' ? 1440 : 86400);
    s.remove_prefix(unit + 1);
  }
  // Beyond 31 Dec 9999 no cell shows it.
  if (!(days <= 2958465)) damaged("a time \"" + whole + "\" is out of range");
  return negative ? -days : days;
}

Variant cellValue(const pugi::xml_node& cell) {
  std::string_view type = cell.attribute("office:value-type").value();
  if (std::string_view(cell.attribute("calcext:value-type").value()) == "error") {
    auto code = errorCode(cellText(cell));
    return Variant(ErrorValue{code ? *code : hr::basicError(2015)});
  }
  if (type.empty()) return Variant();
  if (type == "float" || type == "percentage" || type == "currency") {
    double d = parsed(cell.attribute("office:value").value(), "a cell's value");
    // A formula's Boolean result is stored as 1 or 0 and shown as TRUE or FALSE.
    std::string shown = cell.attribute("table:formula") ? cellText(cell) : "";
    if ((shown == "TRUE" && d == 1) || (shown == "FALSE" && d == 0)) return Variant(d == 1);
    return Variant(d);
  }
  if (type == "boolean") return Variant(std::string_view(cell.attribute("office:boolean-value").value()) == "true");
  if (type == "date") {
    auto d = isoDateTime(cell.attribute("office:date-value").value());
    if (!d) damaged(std::string("a date \"") + cell.attribute("office:date-value").value() + "\" is not a date");
    return Variant(Date{*d});
  }
  if (type == "time") return Variant(Date{duration(cell.attribute("office:time-value").value())});
  if (pugi::xml_attribute s = cell.attribute("office:string-value")) return Variant(u16(s.value()));
  return Variant(u16(cellText(cell)));
}

class TableReader {
 public:
  explicit TableReader(Sheet& sheet) : sheet_(sheet) {}

  // Rows, also inside row groups and header rows.
  void readRows(const pugi::xml_node& parent, int depth = 0) {
    for (pugi::xml_node n : parent.children()) {
      std::string_view name = localName(n);
      if (name == "table-row") readRow(n);
      else if (name != "table-row-group" && name != "table-header-rows" && name != "table-rows") continue;
      else if (depth == kMaxGroupDepth) damaged("row groups nest too deep");
      else readRows(n, depth + 1);
    }
  }

 private:
  void readRow(const pugi::xml_node& row) {
    int64_t repeat = repeatCount(row, "table:number-rows-repeated");
    std::vector<std::pair<int32_t, Variant>> cells;
    int64_t col = 1;
    for (pugi::xml_node c : row.children()) {
      std::string_view name = localName(c);
      if (name != "table-cell" && name != "covered-table-cell") continue;
      int64_t times = repeatCount(c, "table:number-columns-repeated");
      Variant v = cellValue(c);
      if (!v.isEmpty()) {
        if (col + times - 1 > kMaxCols) damaged("a row has cells beyond the last column");
        spend(times - 1);
        for (int64_t k = 0; k < times; ++k) cells.emplace_back(static_cast<int32_t>(col + k), v);
      }
      col = std::min<int64_t>(col + times, kMaxCols + 1);
    }
    if (!cells.empty()) {
      if (row_ + repeat - 1 > kMaxRows) damaged("a table has rows beyond the last row");
      spend((repeat - 1) * static_cast<int64_t>(cells.size()));
      for (int64_t r = 0; r < repeat; ++r)
        for (auto& [c, v] : cells) sheet_.setValue(static_cast<int32_t>(row_ + r), c, v);
    }
    row_ = std::min<int64_t>(row_ + repeat, kMaxRows + 1);
  }

  void spend(int64_t copies) {
    copied_ += copies;
    if (copied_ > kMaxRepeatedCells) damaged("its repeated cells lay out more than a worksheet is allowed to hold");
  }

  Sheet& sheet_;
  int64_t row_ = 1;
  int64_t copied_ = 0;
};

}  // namespace

std::unique_ptr<Workbook> readOds(const opc::Package& package) {
  const char* manifest = "META-INF/manifest.xml";
  if (package.has(manifest) && package.read(manifest).find("encryption-data") != std::string::npos)
    throw opc::PackageError("The spreadsheet is encrypted with a password, which is not read for OpenDocument files");
  if (!package.has("content.xml")) damaged("it has no content part");
  std::string content = package.read("content.xml");
  pugi::xml_document doc;
  if (!doc.load_buffer(content.data(), content.size(), pugi::parse_default | pugi::parse_ws_pcdata))
    damaged("the content part is not well-formed XML");
  pugi::xml_node body = opc::child(doc.document_element(), "body");
  pugi::xml_node spreadsheet = opc::child(body, "spreadsheet");
  if (!spreadsheet) damaged("it holds no spreadsheet");
  WorkbookFiller filler;
  for (pugi::xml_node table : spreadsheet.children()) {
    if (localName(table) != "table") continue;
    TableReader(filler.addSheet(table.attribute("table:name").value())).readRows(table);
  }
  return filler.finish();
}

}  // namespace tlx::platform::spreadsheet
