// A worksheet's cells and columns, read from its part on first use and written back as its
// part with the cell table and the column widths replaced and everything else kept.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <sstream>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "platform/spreadsheet/cell_ref.h"
#include "platform/spreadsheet/cell_values.h"
#include "platform/spreadsheet/number_format.h"
#include "platform/spreadsheet/workbook.h"

namespace tlx::platform::spreadsheet {

namespace {

using opc::localName;

[[noreturn]] void damaged(const std::string& part, const std::string& why) {
  throw opc::PackageError("The sheet \"" + part + "\" is damaged: " + why);
}

double parseDouble(std::string_view s, const std::string& part) {
  double d = 0;
  s = trimSpaces(s);
  auto r = std::from_chars(s.data(), s.data() + s.size(), d);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(d)) damaged(part, "bad number \"" + std::string(s) + "\"");
  return d;
}

// The text of an inline or shared string item: its <t>, or the <t> of each rich-text run.
std::string itemText(const pugi::xml_node& item) {
  std::string out;
  for (pugi::xml_node n : item.children()) {
    if (localName(n) == "t") out += n.text().get();
    else if (localName(n) == "r") out += opc::child(n, "t").text().get();
  }
  return out;
}

std::string nodeXml(const pugi::xml_node& n) {
  std::ostringstream out;
  n.print(out, "", pugi::format_raw);
  return std::move(out).str();
}

std::string keptAttributes(const pugi::xml_node& n, std::initializer_list<std::string_view> skip) {
  std::string out;
  for (pugi::xml_attribute a : n.attributes()) {
    if (std::find(skip.begin(), skip.end(), std::string_view(a.name())) != skip.end()) continue;
    out += ' ';
    out += a.name();
    out += "=\"";
    appendXmlText(out, std::string_view(a.value()));
    out += '"';
  }
  return out;
}

// What a cell element holds, found in one pass over its attributes and one over its children
// (the first of each kind counts).
struct CellNodes {
  pugi::xml_attribute ref, type, style;
  pugi::xml_node v, is, f;
};

// Whether `name` is `local` in any prefix, checked in place: a million cells make a strlen and
// a compare per name show.
bool hasLocalName(const char* name, std::string_view local) {
  const char* start = name;
  for (const char* p = name; *p; ++p)
    if (*p == ':') {
      start = p + 1;
      break;
    }
  for (char ch : local)
    if (*start++ != ch) return false;
  return !*start;
}

CellNodes cellNodes(const pugi::xml_node& c) {
  CellNodes n;
  for (pugi::xml_attribute a = c.first_attribute(); a; a = a.next_attribute()) {
    const char* name = a.name();
    if (!name[0] || name[1]) continue;
    if (name[0] == 'r' && !n.ref) n.ref = a;
    else if (name[0] == 't' && !n.type) n.type = a;
    else if (name[0] == 's' && !n.style) n.style = a;
  }
  for (pugi::xml_node k = c.first_child(); k; k = k.next_sibling()) {
    if (k.type() != pugi::node_element) continue;
    const char* name = k.name();
    if (hasLocalName(name, "v")) n.v = n.v ? n.v : k;
    else if (hasLocalName(name, "is")) n.is = n.is ? n.is : k;
    else if (hasLocalName(name, "f")) n.f = n.f ? n.f : k;
  }
  return n;
}

// A shared-string index: a whole number within the table's reach.
int32_t stringIndex(std::string_view raw, const std::string& part) {
  double d = parseDouble(raw, part);
  if (!(d >= 0 && d <= INT32_MAX) || d != std::trunc(d)) damaged(part, "bad shared-string index \"" + std::string(raw) + "\"");
  return static_cast<int32_t>(d);
}

Variant cellValue(const CellNodes& c, Workbook& book, const std::string& part, int32_t& sst) {
  std::string_view type = c.type.value(), raw = c.v.text().get();
  if (type == "inlineStr") return Variant(decodeCellText(itemText(c.is)));
  // A value element with nothing in it is no value, whatever the cell's type.
  if (raw.empty()) return Variant();
  if (type == "s") {
    sst = stringIndex(raw, part);
    return Variant(book.sharedString(sst));
  }
  if (type == "str") return Variant(decodeCellText(raw));
  if (type == "b") return Variant(raw == "1" || raw == "true");
  if (type == "e") {
    auto code = errorCode(raw);
    return code ? Variant(ErrorValue{*code}) : Variant(ErrorValue{hr::basicError(2015)});
  }
  if (type == "d") {
    double d = parseDate(u16(raw));
    return Variant(dateToCellSerial(d, book.date1904()));
  }
  return Variant(parseDouble(raw, part));
}

struct Span {
  size_t begin = std::string::npos, end = std::string::npos;
  bool found() const { return begin != std::string::npos; }
};

// The first start tag `<local ...>` (any prefix) in `xml`, from its '<' to after its '>'; not
// found when `xml` ends before the tag does.
Span findStartTag(std::string_view xml, std::string_view local) {
  size_t pos = 0;
  while ((pos = xml.find('<', pos)) != std::string::npos) {
    if (xml.substr(pos, 4) == "<!--") {
      pos = xml.find("-->", pos);
      if (pos == std::string::npos) break;
      continue;
    }
    size_t nameEnd = xml.find_first_of(" \t\r\n/>", pos + 1);
    if (nameEnd == std::string::npos) break;
    std::string_view name = xml.substr(pos + 1, nameEnd - pos - 1);
    if (name.substr(name.find(':') + 1) == local) {
      size_t tagEnd = xml.find('>', nameEnd);
      if (tagEnd == std::string::npos) break;
      return {pos, tagEnd + 1};
    }
    pos = nameEnd;
  }
  return {};
}

// The name in a start tag: "x:sheetData" from `<x:sheetData ...>`.
std::string_view tagName(std::string_view xml, const Span& tag) {
  return xml.substr(tag.begin + 1, xml.find_first_of(" \t\r\n/>", tag.begin + 1) - tag.begin - 1);
}

// The first element `<local ...>` (any prefix) in `xml`, from its start tag to its end.
Span findElement(const std::string& xml, std::string_view local) {
  Span start = findStartTag(xml, local);
  if (!start.found() || xml[start.end - 2] == '/') return start;
  size_t close = xml.find("</" + std::string(tagName(xml, start)) + ">", start.end);
  if (close == std::string::npos) return {};
  return {start.begin, close + tagName(xml, start).size() + 3};
}

constexpr const char* kNewSheet =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\n"
    R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
    R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
    R"(<dimension ref="A1"/><sheetViews><sheetView workbookViewId="0"/></sheetViews>)"
    R"(<sheetFormatPr defaultRowHeight="15"/><sheetData/>)"
    R"(<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/></worksheet>)";

// A sheet's element tags in the prefix its part gives the main namespace ("<x:row r=\"" in a
// part written as <x:worksheet xmlns:x=...>): an element in no namespace is lost to readers.
struct Tags {
  explicit Tags(const std::string& p)
      : sheetData("<" + p + "sheetData>"), sheetDataEnd("</" + p + "sheetData>"), row("<" + p + "row r=\""),
        rowEnd("</" + p + "row>"), cell("<" + p + "c r=\""), cellEnd("</" + p + "c>"), value("<" + p + "v>"),
        valueEnd("</" + p + "v>"), text("<" + p + "is><" + p + "t xml:space=\"preserve\">"),
        textEnd("</" + p + "t></" + p + "is>"), cols("<" + p + "cols>"), colsEnd("</" + p + "cols>"),
        col("<" + p + "col min=\""), dimension("<" + p + "dimension ref=\"") {}
  std::string sheetData, sheetDataEnd, row, rowEnd, cell, cellEnd, value, valueEnd, text, textEnd, cols, colsEnd, col, dimension;
};

void appendInteger(std::string& out, int64_t n) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, n);
  out.append(buf, r.ptr);
}

// The shortest text that reads back as the same double, except that whole numbers are written
// out in full: the shortest form of 100000 is "1e+05".
void appendNumber(std::string& out, double d) {
  if (d == std::trunc(d) && std::fabs(d) < 1e15) return appendInteger(out, static_cast<int64_t>(d));
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, d);
  out.append(buf, r.ptr);
}

void appendCellName(std::string& out, int32_t row, int32_t col) {
  char letters[4];
  int n = 0;
  for (int32_t c = col; c > 0; c = (c - 1) / 26) letters[n++] = char('A' + (c - 1) % 26);
  while (n) out += letters[--n];
  char buf[12];
  auto r = std::to_chars(buf, buf + sizeof buf, row);
  out.append(buf, r.ptr);
}

// A cell is written when it holds a value, a formula or a style.
bool written(const Cell& c) { return !c.value.isEmpty() || c.formula >= 0 || c.style != 0; }

void appendRow(std::string& data, const Tags& tag, int32_t r, const Row& row, const std::vector<std::string>& formulas) {
  if (row.cells.empty() && row.attrs.empty()) return;
  data += tag.row;
  appendInteger(data, r);
  data += '"';
  data += row.attrs;
  data += '>';
  for (const Cell& c : row.cells) {
    if (!written(c)) continue;
    data += tag.cell;
    appendCellName(data, r, c.col);
    data += '"';
    if (c.style) {
      data += " s=\"";
      appendInteger(data, c.style);
      data += '"';
    }
    const Variant& v = c.value;
    bool inlineText = v.isString() && c.sst < 0 && c.formula < 0;
    if (v.isString()) data += inlineText ? " t=\"inlineStr\"" : c.sst >= 0 && c.formula < 0 ? " t=\"s\"" : " t=\"str\"";
    else if (v.type() == vtBoolean) data += " t=\"b\"";
    else if (v.type() == vtError) data += " t=\"e\"";
    data += '>';
    if (c.formula >= 0) data += formulas[static_cast<size_t>(c.formula)];
    if (inlineText) {
      data += tag.text;
      appendXmlText(data, v.str().view());
      data += tag.textEnd;
    } else if (!v.isEmpty()) {
      data += tag.value;
      if (v.isString() && c.sst >= 0 && c.formula < 0) appendInteger(data, c.sst);
      else if (v.isString()) appendXmlText(data, v.str().view());
      else if (v.type() == vtBoolean) data += v.boolean() ? '1' : '0';
      else if (v.type() == vtError) data += errorText(v.scode());
      else appendNumber(data, v.r8());
      data += tag.valueEnd;
    }
    data += tag.cellEnd;
  }
  data += tag.rowEnd;
}

}  // namespace

void Sheet::load() {
  if (loaded_) return;
  try {
    if (part.empty() || !book_->package().has(part)) keepOuter(kNewSheet);
    else if (!readSliced()) readWhole();
  } catch (...) {
    // A damaged sheet is refused on every use, never left half read.
    clear();
    throw;
  }
  loaded_ = true;
}

void Sheet::clear() {
  rows_.clear();
  lastFound_ = nullptr;
  columns_.clear();
  formulas_.clear();
}

// Only the text around the cell table is kept: the table is written from the cells.
void Sheet::keepOuter(std::string text) {
  Span table = findElement(text, "sheetData");
  tableAt_ = table.found() ? table.begin : std::string::npos;
  if (table.found()) text.erase(table.begin, table.end - table.begin);
  text.shrink_to_fit();
  outer_ = std::move(text);
}

void Sheet::readWhole() {
  clear();
  std::string text = book_->package().read(part);
  pugi::xml_document doc = opc::parseXml(text, part);
  readOuter(doc);
  int32_t lastRow = 0;
  for (pugi::xml_node r : opc::child(doc.document_element(), "sheetData").children()) readRow(r, lastRow);
  keepOuter(std::move(text));
}

// Reads the rows a slice at a time as the part inflates: neither the part's text nor a DOM of it
// is ever whole, which costs more than the rest of reading it. What the slicing cannot take (a
// slice cut inside a comment or CDATA, an empty or unfinished table) declines, and the part is
// read again as one DOM.
class Sheet::Slicer {
 public:
  explicit Slicer(Sheet& sheet) : sheet_(sheet) {}

  // False when the slicing declines.
  bool add(std::string_view piece) {
    text_ += piece;
    if (!inTable_ && !tail_) return startTable();
    return tail_ || takeRows();
  }

  bool finish() {
    if (!tail_) return false;
    std::string outer = head_ + text_;
    if (!doc_.load_buffer(outer.data(), outer.size(), kParse)) return false;
    sheet_.readOuter(doc_);
    sheet_.outer_ = head_.substr(0, tableAt_) + text_.substr(tableEnd_.size());
    sheet_.tableAt_ = tableAt_;
    return true;
  }

 private:
  static constexpr size_t kSlice = 1 << 19;
  static constexpr unsigned kParse = pugi::parse_default | pugi::parse_ws_pcdata_single;

  bool startTable() {
    Span start = findStartTag(text_, "sheetData");
    if (!start.found()) return true;  // not yet
    if (text_[start.end - 2] == '/') return false;
    std::string_view name = tagName(text_, start);
    std::string prefix(name.substr(0, name.size() - std::string_view("sheetData").size()));
    rowEnd_ = "</" + prefix + "row>";
    tableEnd_ = "</" + std::string(name) + ">";
    tableAt_ = start.begin;
    head_ = text_.substr(0, start.end);
    text_.erase(0, start.end);
    inTable_ = true;
    return takeRows();
  }

  // Parses the complete rows gathered once there are a slice's worth, or the table's end.
  bool takeRows() {
    size_t end = text_.find(tableEnd_), cut = end;
    if (end == std::string::npos) {
      size_t lastRow = text_.size() >= kSlice ? text_.rfind(rowEnd_) : std::string::npos;
      if (lastRow == std::string::npos) return true;  // not yet
      cut = lastRow + rowEnd_.size();
    }
    if (cut > 0) {
      if (!doc_.load_buffer_inplace(text_.data(), cut, kParse | pugi::parse_fragment)) return false;
      for (pugi::xml_node r : doc_.children()) sheet_.readRow(r, lastRow_);
      text_.erase(0, cut);
    }
    tail_ = end != std::string::npos;
    inTable_ = !tail_;
    return true;
  }

  Sheet& sheet_;
  pugi::xml_document doc_;
  std::string text_;   // what has inflated and is not yet read
  std::string head_;   // the part up to the table's start tag, inclusive
  std::string rowEnd_, tableEnd_;
  size_t tableAt_ = 0;
  int32_t lastRow_ = 0;
  bool inTable_ = false, tail_ = false;  // tail_: the table has ended, text_ holds the rest
};

bool Sheet::readSliced() {
  Slicer slicer(*this);
  bool taken = true;
  book_->package().readInPieces(part, [&](std::string_view piece) { taken = taken && slicer.add(piece); });
  return taken && slicer.finish();
}

void Sheet::readOuter(const pugi::xml_document& doc) {
  pugi::xml_node ws = doc.document_element();
  if (localName(ws) != "worksheet") damaged(part, "not a worksheet");
  prefix_ = opc::prefixOf(ws);
  for (pugi::xml_node c : opc::child(ws, "cols").children()) {
    if (localName(c) != "col") continue;
    int32_t min = c.attribute("min").as_int(), max = c.attribute("max").as_int();
    if (min < 1 || max < min || max > kMaxCols) continue;
    ColumnRange range{max, std::nullopt, keptAttributes(c, {"min", "max", "width", "customWidth"})};
    if (pugi::xml_attribute w = c.attribute("width")) range.width = w.as_double();
    columns_[min] = std::move(range);
  }
}

void Sheet::readRow(const pugi::xml_node& r, int32_t& lastRow) {
  if (localName(r) != "row") return;
  int32_t rowNum = r.attribute("r") ? r.attribute("r").as_int() : lastRow + 1;
  if (rowNum <= lastRow || rowNum > kMaxRows) damaged(part, "rows out of order");
  lastRow = rowNum;
  Row& row = rows_.emplace_hint(rows_.end(), rowNum, Row())->second;  // rows come in order
  row.attrs = keptAttributes(r, {"r", "spans"});
  // Rows tend to be alike: room for as many cells as the one before (a few dozen at most, so
  // that a wide row does not make every row after it wide).
  row.cells.reserve(std::min<size_t>(lastRowCells_, 64));
  int32_t lastCol = 0;
  for (pugi::xml_node c : r.children()) {
    if (!hasLocalName(c.name(), "c")) continue;
    CellNodes nodes = cellNodes(c);
    int32_t col = lastCol + 1;
    if (nodes.ref) {
      auto cr = parseCell(nodes.ref.value());
      if (!cr || cr->row != rowNum) damaged(part, std::string("bad cell reference ") + nodes.ref.value());
      col = cr->col;
    }
    if (col <= lastCol || col > kMaxCols) damaged(part, "cells out of order");
    lastCol = col;
    Cell cell;
    cell.col = col;
    cell.style = nodes.style.as_uint();
    cell.value = cellValue(nodes, *book_, part, cell.sst);
    if (nodes.f) {
      cell.formula = static_cast<int32_t>(formulas_.size());
      formulas_.push_back(nodeXml(nodes.f));
    }
    row.cells.push_back(std::move(cell));
  }
  lastRowCells_ = row.cells.size();
}

const Cell* Sheet::find(int32_t row, int32_t col) {
  load();
  // Reads go along a row, then down: the row found last is tried first.
  if (!lastFound_ || lastFoundRow_ != row) {
    auto it = rows_.find(row);
    if (it == rows_.end()) return nullptr;
    lastFound_ = &it->second;
    lastFoundRow_ = row;
  }
  auto& cells = lastFound_->cells;
  auto c = std::lower_bound(cells.begin(), cells.end(), col, [](const Cell& a, int32_t b) { return a.col < b; });
  return c != cells.end() && c->col == col ? &*c : nullptr;
}

void Sheet::reserve(int32_t row, int32_t cells) {
  load();
  auto& r = rows_[row].cells;
  if (r.empty()) r.reserve(static_cast<size_t>(cells));
}

Cell& Sheet::cell(int32_t row, int32_t col) {
  load();
  if (!lastFound_ || lastFoundRow_ != row) {
    lastFound_ = &rows_[row];
    lastFoundRow_ = row;
  }
  auto& cells = lastFound_->cells;
  if (cells.empty() || cells.back().col < col) {
    cells.push_back(Cell{col, 0, -1, -1, Variant()});
    return cells.back();
  }
  auto c = std::lower_bound(cells.begin(), cells.end(), col, [](const Cell& a, int32_t b) { return a.col < b; });
  if (c != cells.end() && c->col == col) return *c;
  return *cells.insert(c, Cell{col, 0, -1, -1, Variant()});
}

void Sheet::setValue(int32_t row, int32_t col, const Variant& v) {
  if (row < 1 || row > kMaxRows || col < 1 || col > kMaxCols) throw ComError(hr::E_INVALIDARG, "Cell outside the sheet");
  Variant stored;
  bool date = false;
  switch (v.type()) {
    case vtEmpty:
    case vtNull: break;
    case vtString:
      stored = v.str().size() > kMaxCellChars ? Variant(v.str().view().substr(0, kMaxCellChars)) : v;
      break;
    case vtBoolean: stored = v; break;
    case vtDate:
      stored = Variant(dateToCellSerial(v.date(), book_->date1904()));
      date = true;
      break;
    case vtError:
      if (errorText(v.scode()).empty()) throw ComError(hr::DISP_E_TYPEMISMATCH, "Not a cell error value");
      stored = v;
      break;
    default:
      if (!v.isNumeric()) throw ComError(hr::DISP_E_TYPEMISMATCH, "A cell cannot hold this value");
      stored = Variant(toDouble(v));
  }
  dirty_ = true;
  book_->touch();
  Cell& c = cell(row, col);
  if (c.formula >= 0) book_->formulaDropped();
  c.formula = -1;
  c.sst = -1;
  c.value = std::move(stored);
  if (date && !book_->styles().isDate(c.style)) {
    double frac = v.date() - std::floor(v.date());
    c.style = book_->styles().dateStyle(frac != 0);
  }
}

Variant Sheet::value(int32_t row, int32_t col) {
  const Cell* c = find(row, col);
  if (!c) return Variant();
  if (c->value.type() == vtR8 && book_->styles().isDate(c->style))
    return Variant(Date{cellSerialToDate(c->value.r8(), book_->date1904())});
  return c->value;
}

std::u16string Sheet::text(int32_t row, int32_t col) {
  const Cell* c = find(row, col);
  if (!c) return {};
  const Variant& v = c->value;
  std::string code = book_->styles().formatOf(c->style);
  switch (v.type()) {
    case vtString: return formatText(v.str().view(), code);
    case vtBoolean: return v.boolean() ? u"TRUE" : u"FALSE";
    case vtError: return std::u16string(u16(errorText(v.scode())).view());
    case vtR8:
      if (book_->styles().isDate(c->style)) return formatDateSerial(cellSerialToDate(v.r8(), book_->date1904()), code);
      return formatNumber(v.r8(), code);
    default: return {};
  }
}

double Sheet::columnWidth(int32_t col) {
  load();
  auto it = columns_.upper_bound(col);
  if (it != columns_.begin()) {
    --it;
    if (col <= it->second.max && it->second.width) return *it->second.width;
  }
  return kDefaultColumnWidth;
}

void Sheet::setColumnWidth(int32_t col, double width) {
  load();
  if (!(width >= 0 && width <= 255)) throw ComError(hr::E_INVALIDARG, "Unable to set the ColumnWidth property");
  // Split the range holding the column so that it gets a range of its own.
  auto it = columns_.upper_bound(col);
  if (it != columns_.begin() && std::prev(it)->second.max >= col) {
    auto prev = std::prev(it);
    int32_t min = prev->first;
    ColumnRange range = prev->second;
    columns_.erase(prev);
    if (min < col) columns_[min] = ColumnRange{col - 1, range.width, range.attrs};
    if (range.max > col) columns_[col + 1] = ColumnRange{range.max, range.width, range.attrs};
    columns_[col] = ColumnRange{col, width, range.attrs};
  } else {
    columns_[col] = ColumnRange{col, width, {}};
  }
  dirty_ = true;
  book_->touch();
}

void Sheet::autoFit(int32_t row1, int32_t col1, int32_t row2, int32_t col2) {
  load();
  std::map<int32_t, size_t> widest;
  for (auto it = rows_.lower_bound(row1); it != rows_.end() && it->first <= row2; ++it)
    for (const Cell& c : it->second.cells)
      if (c.col >= col1 && c.col <= col2) {
        size_t n = text(it->first, c.col).size();
        widest[c.col] = std::max(widest[c.col], n);
      }
  for (auto [col, n] : widest)
    if (n > 0) setColumnWidth(col, std::min(255.0, std::round((double(n) + 0.71) * 100) / 100));
}

opc::Package::PieceWriter Sheet::pieces() {
  load();
  if (tableAt_ == std::string::npos) damaged(part, "no cell table");
  auto progress = std::make_shared<WriteProgress>(WriteProgress{outerHead(), outer_.substr(tableAt_), rows_.begin(), false});
  return [this, progress, tag = Tags(prefix_)](std::string& out) {
    constexpr size_t kPiece = 256 << 10;
    WriteProgress& p = *progress;
    if (!p.started) {
      out += p.head;
      out += tag.sheetData;
      p.started = true;
    }
    for (; p.next != rows_.end() && out.size() < kPiece; ++p.next) appendRow(out, tag, p.next->first, p.next->second, formulas_);
    if (p.next != rows_.end()) return true;
    out += tag.sheetDataEnd;
    out += p.tail;
    return false;
  };
}

// The text before the cell table, with the column widths and the used area as they are now.
std::string Sheet::outerHead() const {
  const Tags tag(prefix_);
  int32_t minRow = 0, maxRow = 0, minCol = 0, maxCol = 0;
  for (auto& [r, row] : rows_)
    for (const Cell& c : row.cells) {
      if (!written(c)) continue;
      minRow = minRow ? minRow : r, maxRow = r;
      minCol = minCol ? std::min(minCol, c.col) : c.col, maxCol = std::max(maxCol, c.col);
    }
  std::string cols;
  if (!columns_.empty()) {
    cols = tag.cols;
    for (auto& [min, range] : columns_) {
      cols += tag.col + std::to_string(min) + "\" max=\"" + std::to_string(range.max) + "\"";
      if (range.width) {
        cols += " width=\"";
        appendNumber(cols, *range.width);
        cols += "\" customWidth=\"1\"";
      }
      cols += range.attrs + "/>";
    }
    cols += tag.colsEnd;
  }
  std::string dimension = tag.dimension +
                          (maxRow ? cellName(minRow, minCol) + (minRow == maxRow && minCol == maxCol ? "" : ":" + cellName(maxRow, maxCol))
                                  : std::string("A1")) +
                          "\"/>";
  std::string head = outer_.substr(0, tableAt_);
  if (Span cl = findElement(head, "cols"); cl.found()) head.replace(cl.begin, cl.end - cl.begin, cols);
  else head += cols;
  if (Span dim = findElement(head, "dimension"); dim.found()) head.replace(dim.begin, dim.end - dim.begin, dimension);
  return head;
}

}  // namespace tlx::platform::spreadsheet
