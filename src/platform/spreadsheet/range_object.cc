// The Range object: a rectangle of cells on one worksheet.
#include <algorithm>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "platform/spreadsheet/spreadsheet_model.h"

namespace tlx::platform::spreadsheet {

namespace {

class RangeObj : public DocObject<RangeObj> {
 public:
  RangeObj(AppPtr a, BookPtr b, Sheet* s, Area ar) : DocObject(std::move(a), std::move(b)), sheet(s), area(ar) {}
  std::string typeName() const override { return "Range"; }
  int32_t rows() const { return area.last.row - area.first.row + 1; }
  int32_t cols() const { return area.last.col - area.first.col + 1; }
  void writable() const { refuseIfReadOnly(*doc); }

  Variant value() const {
    if (rows() == 1 && cols() == 1) return sheet->value(area.first.row, area.first.col);
    if (int64_t(rows()) * cols() > 16'000'000) throw ComError(hr::E_OUTOFMEMORY, "Out of memory");
    auto arr = std::make_unique<SafeArray>(std::vector<Bound>{{1, rows()}, {1, cols()}});
    for (int32_t i = 0; i < rows(); ++i)
      for (int32_t j = 0; j < cols(); ++j) arr->at(i + 1, j + 1) = sheet->value(area.first.row + i, area.first.col + j);
    return Variant(std::move(arr));
  }

  // A scalar fills every cell; an array is laid over the range from its first element, cells
  // beyond the array's extent get #N/A.
  void setValue(const Variant& v) {
    writable();
    const SafeArray* arr = v.array();
    if (v.isArray() && !arr) throw ComError(hr::DISP_E_TYPEMISMATCH, "Type mismatch");
    if (!arr) {
      if (int64_t(rows()) * cols() > 17'179'869'184LL / 1024) throw ComError(hr::E_OUTOFMEMORY, "Out of memory");
      for (int32_t i = 0; i < rows(); ++i)
        for (int32_t j = 0; j < cols(); ++j) sheet->setValue(area.first.row + i, area.first.col + j, v);
      return;
    }
    if (arr->dims() > 2) throw ComError(hr::DISP_E_TYPEMISMATCH, "Type mismatch");
    int32_t n1 = arr->dims() == 2 ? arr->count(1) : 1;
    int32_t n2 = arr->dims() == 2 ? arr->count(2) : arr->count(1);
    const Variant na{ErrorValue{hr::basicError(2042)}};
    for (int32_t i = 0; i < rows(); ++i) {
      sheet->reserve(area.first.row + i, cols());
      for (int32_t j = 0; j < cols(); ++j) {
        bool inside = i < n1 && j < n2;
        const Variant& e = !inside ? na
                           : arr->dims() == 2 ? arr->at(arr->lbound(1) + i, arr->lbound(2) + j)
                                              : arr->at(arr->lbound(1) + j);
        sheet->setValue(area.first.row + i, area.first.col + j, e);
      }
    }
  }

  Variant sub(Area a) { return Variant(rangeObject(app, doc, sheet, a)); }

  static const Members<RangeObj>& members() {
    static const Members<RangeObj> m = [] {
      Members<RangeObj> t;
      auto get = [](RangeObj& s, Args&) { return s.value(); };
      auto put = [](RangeObj& s, Args&, const Variant& v) { s.setValue(v); };
      t.property("Value", get, put, {"RangeValueDataType"});
      t.property("Value2", get, put);
      t.property("Text", [](RangeObj& s, Args&) { return Variant(s.sheet->text(s.area.first.row, s.area.first.col)); });
      t.property("Formula", [](RangeObj& s, Args&) {
        const Cell* c = s.sheet->find(s.area.first.row, s.area.first.col);
        if (c && c->formula >= 0) {
          std::string f = s.sheet->formulas()[static_cast<size_t>(c->formula)];
          size_t open = f.find('>'), close = f.rfind("</");
          if (open != std::string::npos && close != std::string::npos && close > open)
            return Variant(u16("=" + f.substr(open + 1, close - open - 1)));
        }
        return Variant(toBStr(s.sheet->value(s.area.first.row, s.area.first.col)));
      });
      t.property("Row", [](RangeObj& s, Args&) { return Variant(s.area.first.row); });
      t.property("Column", [](RangeObj& s, Args&) { return Variant(s.area.first.col); });
      t.property("Count", [](RangeObj& s, Args&) { return Variant(double(s.rows()) * s.cols()); });
      t.property("Address", [](RangeObj& s, Args&) {
        auto abs = [](int32_t r, int32_t c) { return "$" + columnName(c) + "$" + std::to_string(r); };
        std::string a = abs(s.area.first.row, s.area.first.col);
        if (s.rows() > 1 || s.cols() > 1) a += ":" + abs(s.area.last.row, s.area.last.col);
        return Variant(u16(a));
      });
      t.property("Cells", [](RangeObj& s, Args& a) {
        if (!a.has(0)) return s.sub(s.area);
        int32_t r = s.area.first.row + toI4(a[0]) - 1;
        int32_t c = s.area.first.col + (a.has(1) ? toI4(a[1]) : 1) - 1;
        if (r < 1 || r > kMaxRows || c < 1 || c > kMaxCols) throw ComError(kAppError, "Application-defined or object-defined error");
        return s.sub(Area{{r, c}, {r, c}});
      }, {}, {"RowIndex", "ColumnIndex"});
      t.property("Columns", [](RangeObj& s, Args& a) {
        if (!a.has(0)) return s.sub(s.area);
        int32_t c = s.area.first.col + toI4(a[0]) - 1;
        if (c < 1 || c > kMaxCols) throw ComError(kAppError, "Application-defined or object-defined error");
        return s.sub(Area{{s.area.first.row, c}, {s.area.last.row, c}});
      }, {}, {"Index"});
      t.property("Rows", [](RangeObj& s, Args& a) {
        if (!a.has(0)) return s.sub(s.area);
        int32_t r = s.area.first.row + toI4(a[0]) - 1;
        if (r < 1 || r > kMaxRows) throw ComError(kAppError, "Application-defined or object-defined error");
        return s.sub(Area{{r, s.area.first.col}, {r, s.area.last.col}});
      }, {}, {"Index"});
      t.property(
          "ColumnWidth", [](RangeObj& s, Args&) { return Variant(s.sheet->columnWidth(s.area.first.col)); },
          [](RangeObj& s, Args&, const Variant& v) {
            s.writable();
            double w = toDouble(v);
            for (int32_t c = s.area.first.col; c <= s.area.last.col; ++c) s.sheet->setColumnWidth(c, w);
          });
      t.method("AutoFit", {}, [](RangeObj& s, Args&) {
        s.writable();
        s.sheet->autoFit(s.area.first.row, s.area.first.col, s.area.last.row, s.area.last.col);
        return Variant(true);
      });
      auto activate = [](RangeObj& s, Args&) {
        auto& all = s.doc->book->sheets();
        for (size_t i = 0; i < all.size(); ++i)
          if (all[i].get() == s.sheet) s.doc->activeSheet = i;
        return Variant(true);
      };
      t.method("Activate", {}, activate);
      t.method("Select", {}, activate);
      t.method("ClearContents", {}, [](RangeObj& s, Args&) {
        s.writable();
        auto& rows = s.sheet->rows();
        for (auto it = rows.lower_bound(s.area.first.row); it != rows.end() && it->first <= s.area.last.row; ++it)
          for (Cell& c : it->second.cells)
            if (c.col >= s.area.first.col && c.col <= s.area.last.col) s.sheet->setValue(it->first, c.col, Variant());
        return Variant(true);
      });
      t.property("Worksheet", [](RangeObj& s, Args&) { return Variant(worksheetObject(s.app, s.doc, s.sheet)); });
      t.byDefault("Value");
      return t;
    }();
    return m;
  }
  Sheet* sheet;
  Area area;
};

}  // namespace

Area areaOf(const Variant& v) {
  if (v.isObject()) {
    auto r = refCast<RangeObj>(v.obj());
    if (!r) throw ComError(hr::DISP_E_TYPEMISMATCH, "Type mismatch");
    return r->area;
  }
  std::string s = toUtf8(v);
  auto a = parseArea(s);
  if (!a) throw ComError(kAppError, "Method 'Range' of object '_Worksheet' failed");
  return *a;
}

ObjRef rangeObject(const AppPtr& app, const BookPtr& doc, Sheet* sheet, Area area) {
  return ObjRef(makeRef<RangeObj>(app, doc, sheet, area));
}

}  // namespace tlx::platform::spreadsheet
