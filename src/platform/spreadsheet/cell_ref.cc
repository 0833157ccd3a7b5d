#include "platform/spreadsheet/cell_ref.h"

#include <algorithm>

#include "automation/strings.h"
#include "platform/spreadsheet/workbook.h"

namespace tlx::platform::spreadsheet {

namespace {

bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }

std::optional<int32_t> parseRow(std::string_view digits) {
  if (digits.empty() || digits.size() > 7) return std::nullopt;
  int32_t r = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    r = r * 10 + (c - '0');
  }
  if (r < 1 || r > kMaxRows) return std::nullopt;
  return r;
}

std::string_view unanchored(std::string_view s) {
  if (!s.empty() && s.front() == '$') s.remove_prefix(1);
  return s;
}

}  // namespace

std::optional<int32_t> parseColumn(std::string_view letters) {
  letters = unanchored(letters);
  if (letters.empty() || letters.size() > 3) return std::nullopt;
  int32_t c = 0;
  for (char ch : letters) {
    ch = asciiUpper(ch);
    if (!isUpper(ch)) return std::nullopt;
    c = c * 26 + (ch - 'A' + 1);
  }
  if (c > kMaxCols) return std::nullopt;
  return c;
}

std::optional<CellRef> parseCell(std::string_view ref) {
  ref = unanchored(ref);
  size_t split = 0;
  while (split < ref.size() && isUpper(asciiUpper(ref[split]))) ++split;
  auto col = parseColumn(ref.substr(0, split));
  auto row = parseRow(unanchored(ref.substr(split)));
  if (!col || !row) return std::nullopt;
  return CellRef{*row, *col};
}

std::optional<Area> parseArea(std::string_view ref) {
  size_t colon = ref.find(':');
  std::string_view a = ref.substr(0, colon), b = colon == std::string_view::npos ? a : ref.substr(colon + 1);
  std::optional<CellRef> p = parseCell(a), q = parseCell(b);
  if (!p || !q) {
    if (auto c1 = parseColumn(a), c2 = parseColumn(b); c1 && c2) p = CellRef{1, *c1}, q = CellRef{kMaxRows, *c2};
    else if (auto r1 = parseRow(unanchored(a)), r2 = parseRow(unanchored(b)); r1 && r2)
      p = CellRef{*r1, 1}, q = CellRef{*r2, kMaxCols};
    else return std::nullopt;
  }
  return Area{{std::min(p->row, q->row), std::min(p->col, q->col)}, {std::max(p->row, q->row), std::max(p->col, q->col)}};
}

std::string columnName(int32_t col) {
  std::string s;
  while (col > 0) {
    int32_t r = (col - 1) % 26;
    s.insert(s.begin(), char('A' + r));
    col = (col - 1) / 26;
  }
  return s;
}

std::string cellName(int32_t row, int32_t col) { return columnName(col) + std::to_string(row); }

}  // namespace tlx::platform::spreadsheet
