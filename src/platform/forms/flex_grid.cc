// Flex grid and hierarchical flex grid: a table of text cells with fixed (heading) rows and
// columns, addressed by (row, column) or by one index row × Cols + column.
#include <algorithm>
#include <vector>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "platform/forms/form_errors.h"
#include "platform/forms/forms_internal.h"

namespace tlx::platform::forms {

namespace {

[[noreturn]] void invalidRow() { throw ComError(hr::basicError(30009), "Invalid Row value"); }
[[noreturn]] void invalidCol() { throw ComError(hr::basicError(30010), "Invalid Col value"); }
[[noreturn]] void subscriptOutOfRange() { throw ComError(hr::basicError(381), "Subscript out of range"); }

constexpr int64_t kMostCells = int64_t{1} << 24;

class FlexGrid : public Object<FlexGrid> {
 public:
  explicit FlexGrid(bool hierarchical) : hierarchical_(hierarchical), cells_(4) {}
  static const Members<FlexGrid>& members();
  std::string typeName() const override { return hierarchical_ ? "MSHFlexGrid" : "MSFlexGrid"; }

  int32_t rows() const { return rows_; }
  int32_t cols() const { return cols_; }
  int32_t fixedRows() const { return fixedRows_; }
  int32_t fixedCols() const { return fixedCols_; }
  int32_t row() const { return row_; }
  int32_t col() const { return col_; }

  void setRows(int32_t n) {
    if (n < std::max(fixedRows_, 0)) invalidRow();
    resize(n, cols_);
  }
  void setCols(int32_t n) {
    if (n < std::max(fixedCols_, 0)) invalidCol();
    resize(rows_, n);
  }
  void setFixedRows(int32_t n) {
    if (n < 0 || n > rows_) invalidRow();
    fixedRows_ = n;
  }
  void setFixedCols(int32_t n) {
    if (n < 0 || n > cols_) invalidCol();
    fixedCols_ = n;
  }
  void setRow(int32_t r) {
    if (r < 0 || r >= rows_) invalidRow();
    row_ = r;
  }
  void setCol(int32_t c) {
    if (c < 0 || c >= cols_) invalidCol();
    col_ = c;
  }

  BStr& cell(int32_t r, int32_t c) {
    if (r < 0 || r >= rows_ || c < 0 || c >= cols_) subscriptOutOfRange();
    return cells_[static_cast<size_t>(r) * static_cast<size_t>(cols_) + static_cast<size_t>(c)];
  }
  BStr& cellAt(int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= cells_.size()) subscriptOutOfRange();
    return cells_[static_cast<size_t>(index)];
  }
  BStr& current() { return cell(row_, col_); }
  void clear() { std::fill(cells_.begin(), cells_.end(), BStr()); }

 private:
  // Cells inside both the old and the new size keep their text.
  void resize(int32_t rows, int32_t cols) {
    if (int64_t{rows} * cols > kMostCells) throw ComError(hr::basicError(7), "Out of memory");
    std::vector<BStr> next(static_cast<size_t>(rows) * static_cast<size_t>(cols));
    for (int32_t r = 0, rr = std::min(rows, rows_); r < rr; ++r)
      for (int32_t c = 0, cc = std::min(cols, cols_); c < cc; ++c)
        next[static_cast<size_t>(r) * cols + c] = std::move(cells_[static_cast<size_t>(r) * cols_ + c]);
    cells_ = std::move(next);
    rows_ = rows;
    cols_ = cols;
    row_ = std::clamp(row_, 0, std::max(rows_ - 1, 0));
    col_ = std::clamp(col_, 0, std::max(cols_ - 1, 0));
  }

  bool hierarchical_;
  int32_t rows_ = 2, cols_ = 2, fixedRows_ = 1, fixedCols_ = 1, row_ = 1, col_ = 1;
  std::vector<BStr> cells_;  // row by row
};

template <int32_t (FlexGrid::*get)() const, void (FlexGrid::*set)(int32_t)>
void sizeProperty(Members<FlexGrid>& m, const char* name) {
  m.property(
      name, [](FlexGrid& s, Args&) { return Variant((s.*get)()); },
      [](FlexGrid& s, Args&, const Variant& v) { (s.*set)(toI4(v)); });
}

const Members<FlexGrid>& FlexGrid::members() {
  static const Members<FlexGrid> table = [] {
    Members<FlexGrid> m;
    sizeProperty<&FlexGrid::rows, &FlexGrid::setRows>(m, "Rows");
    sizeProperty<&FlexGrid::cols, &FlexGrid::setCols>(m, "Cols");
    sizeProperty<&FlexGrid::fixedRows, &FlexGrid::setFixedRows>(m, "FixedRows");
    sizeProperty<&FlexGrid::fixedCols, &FlexGrid::setFixedCols>(m, "FixedCols");
    sizeProperty<&FlexGrid::row, &FlexGrid::setRow>(m, "Row");
    sizeProperty<&FlexGrid::col, &FlexGrid::setCol>(m, "Col");
    m.property(
        "TextMatrix", [](FlexGrid& s, Args& a) { return Variant(s.cell(toI4(a[0]), toI4(a[1]))); },
        [](FlexGrid& s, Args& a, const Variant& v) { s.cell(toI4(a[0]), toI4(a[1])) = toBStr(v); },
        {"Row", "Col"});
    m.property(
        "TextArray", [](FlexGrid& s, Args& a) { return Variant(s.cellAt(toI4(a[0]))); },
        [](FlexGrid& s, Args& a, const Variant& v) { s.cellAt(toI4(a[0])) = toBStr(v); }, {"Index"});
    m.property(
        "Text", [](FlexGrid& s, Args&) { return Variant(s.current()); },
        [](FlexGrid& s, Args&, const Variant& v) { s.current() = toBStr(v); });
    m.method("Clear", {}, [](FlexGrid& s, Args&) {
      s.clear();
      return Variant();
    });
    m.byDefault("Text");
    return m;
  }();
  return table;
}

}  // namespace

void registerFlexGrids() {
  registerClass("MSFlexGridLib.MSFlexGrid", [] { return ObjRef(new FlexGrid(false)); });
  registerClass("MSHierarchicalFlexGridLib.MSHFlexGrid", [] { return ObjRef(new FlexGrid(true)); });
}

}  // namespace tlx::platform::forms
