// Data grid bound to a recordset (any object with EOF, MoveFirst, MoveNext, RecordCount and
// Fields whose items have Name and Value), reached through those members by name. The grid
// shows VisibleRows records from its first visible one; setting Row to the last visible row
// again brings the next record into it. Records are read forward once and kept, so moving
// about the grid never walks the recordset again.
#include <algorithm>
#include <cmath>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "platform/forms/form_errors.h"
#include "platform/forms/forms_internal.h"

namespace tlx::platform::forms {

namespace {

[[noreturn]] void invalidRowNumber() { throw ComError(hr::basicError(6148), "Invalid row number"); }
[[noreturn]] void invalidColumn() { throw ComError(hr::basicError(6149), "Invalid column index"); }

class Column : public Object<Column> {
 public:
  static const Members<Column>& members();
  std::string typeName() const override { return "Column"; }
  BStr caption, dataField;
  int32_t colIndex = 0;
  double width = 1000;
};

class DataGrid : public Object<DataGrid> {
 public:
  static const Members<DataGrid>& members();
  std::string typeName() const override { return "DataGrid"; }

  std::vector<Ref<Column>> columns;
  double height = 3165, rowHeight = 225;  // twips: a heading line and 13 rows

  const Variant& dataSource() const { return source_; }
  void bind(const Variant& source) {
    if (!source.isObject()) invalidPropertyValue();
    source_ = source;
    rebind();
  }
  // Reads the field names again and starts from the first record.
  void rebind() {
    columns.clear();
    records_.clear();
    atEnd_ = true;
    top_ = row_ = col_ = 0;
    if (!source_.isObject() || !source_.obj()) return;
    const ObjRef rs = source_.obj();
    const ObjRef fields = objectOf(getProperty(rs, "Fields"));
    for (int32_t c = 0, n = toI4(getProperty(fields, "Count")); c < n; ++c) {
      auto column = makeRef<Column>();
      column->dataField = column->caption = toBStr(getProperty(field(fields, c), "Name"));
      column->colIndex = c;
      columns.push_back(column);
    }
    try {
      callMethod(rs, "MoveFirst");
    } catch (...) {
      if (!toBool(getProperty(rs, "EOF"))) throw;  // an empty recordset may refuse to move
    }
    atEnd_ = false;
  }

  // The recordset's count when it tells one, else the records read so far.
  int32_t approxCount() {
    if (source_.isObject() && source_.obj()) {
      const int32_t n = toI4(getProperty(source_.obj(), "RecordCount"));
      if (n >= 0) return n;
    }
    return static_cast<int32_t>(records_.size());
  }
  int32_t fittingRows() const {
    if (!(rowHeight > 0)) return 0;
    return static_cast<int32_t>(std::clamp(std::floor((height - rowHeight) / rowHeight), 0.0, 32767.0));
  }
  int32_t visibleRows() {
    int32_t n = 0;
    while (n < fittingRows() && record(top_ + n)) ++n;
    return n;
  }

  int32_t row() const { return row_; }
  void setRow(int32_t r) {
    const int32_t vis = visibleRows();
    if (r < 0 || r >= vis) invalidRowNumber();
    if (r == row_ && r == vis - 1 && record(top_ + vis)) ++top_;
    row_ = r;
  }
  int32_t col() const { return col_; }
  void setCol(int32_t c) {
    if (c < 0 || c >= static_cast<int32_t>(columns.size())) invalidColumn();
    col_ = c;
  }
  Variant bookmark() {
    if (!record(top_ + row_)) return Variant::null();
    return Variant(top_ + row_ + 1);
  }
  Variant firstRow() { return record(top_) ? Variant(top_ + 1) : Variant::null(); }
  BStr text() {
    const std::vector<Variant>* rec = record(top_ + row_);
    if (!rec || static_cast<size_t>(col_) >= rec->size()) return BStr();
    const Variant& v = (*rec)[static_cast<size_t>(col_)];
    return v.isNull() ? BStr() : toBStr(v);
  }
  void scroll(int32_t cols, int32_t rows) {
    leftCol_ = std::clamp(leftCol_ + cols, 0, std::max(0, static_cast<int32_t>(columns.size()) - 1));
    if (rows < 0) top_ = std::max(0, top_ + rows);
    for (; rows > 0 && record(top_ + fittingRows()); --rows) ++top_;
    row_ = std::min(row_, std::max(0, visibleRows() - 1));
  }
  int32_t leftCol() const { return leftCol_; }

 private:
  static ObjRef field(const ObjRef& fields, int32_t c) {
    return objectOf(getProperty(fields, "Item", {Variant(c)}));
  }

  // Record k (from 0), reading forward from the recordset as far as needed; null past the end.
  const std::vector<Variant>* record(int32_t k) {
    if (k < 0) return nullptr;
    while (static_cast<int32_t>(records_.size()) <= k && !atEnd_) readNext();
    return k < static_cast<int32_t>(records_.size()) ? &records_[static_cast<size_t>(k)] : nullptr;
  }
  void readNext() {
    const ObjRef rs = source_.obj();
    if (toBool(getProperty(rs, "EOF"))) {
      atEnd_ = true;
      return;
    }
    const ObjRef fields = objectOf(getProperty(rs, "Fields"));
    std::vector<Variant> values;
    for (size_t c = 0; c < columns.size(); ++c)
      values.push_back(getProperty(field(fields, static_cast<int32_t>(c)), "Value"));
    records_.push_back(std::move(values));
    try {
      callMethod(rs, "MoveNext");
    } catch (...) {
      atEnd_ = true;  // a recordset that cannot move on has no more records for the grid
      throw;
    }
  }

  Variant source_{ObjRef()};
  std::vector<std::vector<Variant>> records_;
  bool atEnd_ = true;
  int32_t top_ = 0, row_ = 0, col_ = 0, leftCol_ = 0;
};

// The grid's Columns, 0-based, by number or by caption.
class Columns : public Object<Columns> {
 public:
  explicit Columns(Ref<DataGrid> grid) : grid_(std::move(grid)) {}
  static const Members<Columns>& members();
  std::string typeName() const override { return "Columns"; }
  std::vector<Variant> enumerate() override {
    std::vector<Variant> out;
    for (const Ref<Column>& c : grid_->columns) out.push_back(Variant(ObjRef(c)));
    return out;
  }
  Ref<Column> item(const Variant& index) const {
    auto& list = grid_->columns;
    if (index.isString()) {
      for (const Ref<Column>& c : list)
        if (c->caption == index.str().view() || c->dataField == index.str().view()) return c;
      invalidColumn();
    }
    const int32_t i = toI4(index);
    if (i < 0 || i >= static_cast<int32_t>(list.size())) invalidColumn();
    return list[static_cast<size_t>(i)];
  }
  int32_t count() const { return static_cast<int32_t>(grid_->columns.size()); }

 private:
  Ref<DataGrid> grid_;
};

const Members<Column>& Column::members() {
  static const Members<Column> table = [] {
    Members<Column> m;
    m.property(
        "Caption", [](Column& s, Args&) { return Variant(s.caption); },
        [](Column& s, Args&, const Variant& v) { s.caption = toBStr(v); });
    m.property("DataField", [](Column& s, Args&) { return Variant(s.dataField); });
    m.property("ColIndex", [](Column& s, Args&) { return Variant(s.colIndex); });
    m.property(
        "Width", [](Column& s, Args&) { return Variant(s.width); },
        [](Column& s, Args&, const Variant& v) { s.width = toDouble(v); });
    m.byDefault("Caption");
    return m;
  }();
  return table;
}

const Members<Columns>& Columns::members() {
  static const Members<Columns> table = [] {
    Members<Columns> m;
    m.property("Count", [](Columns& s, Args&) { return Variant(s.count()); });
    m.property("Item", [](Columns& s, Args& a) { return Variant(ObjRef(s.item(a[0]))); }, {}, {"Index"});
    m.byDefault("Item");
    return m;
  }();
  return table;
}

template <int32_t (DataGrid::*get)() const, void (DataGrid::*set)(int32_t)>
void cellProperty(Members<DataGrid>& m, const char* name) {
  m.property(
      name, [](DataGrid& s, Args&) { return Variant(toI2(Variant((s.*get)()))); },
      [](DataGrid& s, Args&, const Variant& v) { (s.*set)(toI4(v)); });
}

void sizeProperty(Members<DataGrid>& m, const char* name, double DataGrid::*field) {
  m.property(
      name, [field](DataGrid& s, Args&) { return Variant(s.*field); },
      [field](DataGrid& s, Args&, const Variant& v) {
        const double d = toDouble(v);
        if (!(d >= 0)) invalidPropertyValue();
        s.*field = d;
      });
}

const Members<DataGrid>& DataGrid::members() {
  static const Members<DataGrid> table = [] {
    Members<DataGrid> m;
    m.property(
        "DataSource", [](DataGrid& s, Args&) { return s.dataSource(); },
        [](DataGrid& s, Args&, const Variant& v) { s.bind(v); });
    m.method("ReBind", {}, [](DataGrid& s, Args&) {
      s.rebind();
      return Variant();
    });
    m.method("Refresh", {}, [](DataGrid& s, Args&) {
      s.rebind();
      return Variant();
    });
    m.property("Columns", [](DataGrid& s, Args&) { return Variant(ObjRef(new Columns(Ref<DataGrid>(&s)))); });
    m.property("ApproxCount", [](DataGrid& s, Args&) { return Variant(s.approxCount()); });
    // Integers, as the grid's own properties are.
    m.property("VisibleRows", [](DataGrid& s, Args&) { return Variant(static_cast<int16_t>(s.visibleRows())); });
    cellProperty<&DataGrid::row, &DataGrid::setRow>(m, "Row");
    cellProperty<&DataGrid::col, &DataGrid::setCol>(m, "Col");
    m.property("LeftCol", [](DataGrid& s, Args&) { return Variant(s.leftCol()); });
    m.property("Text", [](DataGrid& s, Args&) { return Variant(s.text()); });
    m.property("Bookmark", [](DataGrid& s, Args&) { return s.bookmark(); });
    m.property("FirstRow", [](DataGrid& s, Args&) { return s.firstRow(); });
    m.method("Scroll", {"ColsToScroll", "RowsToScroll"}, [](DataGrid& s, Args& a) {
      s.scroll(toI4(a[0]), toI4(a[1]));
      return Variant();
    });
    sizeProperty(m, "Height", &DataGrid::height);
    sizeProperty(m, "RowHeight", &DataGrid::rowHeight);
    m.byDefault("Text");
    return m;
  }();
  return table;
}

}  // namespace

void registerDataGrid() {
  registerClass("MSDataGridLib.DataGrid", [] { return ObjRef(new DataGrid()); });
}

}  // namespace tlx::platform::forms
