// A workbook's worksheets: the collection and one worksheet.
#include <algorithm>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "platform/spreadsheet/spreadsheet_model.h"

namespace tlx::platform::spreadsheet {

namespace {

int32_t coordinate(const Variant& v, int32_t limit, const char* what) {
  double d = toDouble(v);
  if (!(d >= 1 && d <= limit)) throw ComError(kAppError, std::string("Application-defined or object-defined error (") + what + ")");
  return static_cast<int32_t>(d);
}

Area columnsArg(const Variant& v) {
  if (v.isString()) {
    std::string s = u8(v.str());
    if (s.find(':') == std::string::npos) s += ":" + s;
    auto a = parseArea(s);
    if (!a || a->first.row != 1 || a->last.row != kMaxRows) throw ComError(kAppError, "Not a column: \"" + u8(v.str()) + "\"");
    return *a;
  }
  int32_t c = coordinate(v, kMaxCols, "column");
  return Area{{1, c}, {kMaxRows, c}};
}

class WorksheetObj : public DocObject<WorksheetObj> {
 public:
  WorksheetObj(AppPtr a, BookPtr b, Sheet* s) : DocObject(std::move(a), std::move(b)), sheet(s) {}
  std::string typeName() const override { return "Worksheet"; }
  size_t index() const {
    auto& all = doc->book->sheets();
    for (size_t i = 0; i < all.size(); ++i)
      if (all[i].get() == sheet) return i;
    return 0;
  }
  Variant range(Area a) { return Variant(rangeObject(app, doc, sheet, a)); }

  static const Members<WorksheetObj>& members() {
    static const Members<WorksheetObj> m = [] {
      Members<WorksheetObj> t;
      t.property(
          "Name", [](WorksheetObj& s, Args&) { return Variant(u16(s.sheet->name)); },
          [](WorksheetObj& s, Args&, const Variant& v) {
            refuseIfReadOnly(*s.doc);
            s.doc->book->rename(*s.sheet, std::u16string(toBStr(v).view()));
          });
      t.property("Index", [](WorksheetObj& s, Args&) { return Variant(int32_t(s.index() + 1)); });
      auto activate = [](WorksheetObj& s, Args&) {
        s.doc->activeSheet = s.index();
        s.app->active = s.doc;
        return Variant();
      };
      t.method("Activate", {}, activate);
      t.method("Select", {"Replace"}, activate);
      t.property("Cells", [](WorksheetObj& s, Args& a) {
        if (!a.has(0)) return s.range(Area{{1, 1}, {kMaxRows, kMaxCols}});
        int32_t r = coordinate(a[0], kMaxRows, "row");
        int32_t c = a.has(1) ? coordinate(a[1], kMaxCols, "column") : 1;
        return s.range(Area{{r, c}, {r, c}});
      }, {}, {"RowIndex", "ColumnIndex"});
      t.property("Range", [](WorksheetObj& s, Args& a) {
        Area first = areaOf(a[0]);
        if (!a.has(1)) return s.range(first);
        Area second = areaOf(a[1]);
        return s.range(Area{{std::min(first.first.row, second.first.row), std::min(first.first.col, second.first.col)},
                            {std::max(first.last.row, second.last.row), std::max(first.last.col, second.last.col)}});
      }, {}, {"Cell1", "Cell2"});
      t.property("Columns", [](WorksheetObj& s, Args& a) {
        return s.range(a.has(0) ? columnsArg(a[0]) : Area{{1, 1}, {kMaxRows, kMaxCols}});
      }, {}, {"Index"});
      t.property("Rows", [](WorksheetObj& s, Args& a) {
        int32_t r = a.has(0) ? coordinate(a[0], kMaxRows, "row") : 1;
        return s.range(a.has(0) ? Area{{r, 1}, {r, kMaxCols}} : Area{{1, 1}, {kMaxRows, kMaxCols}});
      }, {}, {"Index"});
      t.property("UsedRange", [](WorksheetObj& s, Args&) {
        auto& rows = s.sheet->rows();
        int32_t minC = kMaxCols, maxC = 1;
        for (auto& [r, row] : rows)
          if (!row.cells.empty()) minC = std::min(minC, row.cells.front().col), maxC = std::max(maxC, row.cells.back().col);
        if (rows.empty()) return s.range(Area{{1, 1}, {1, 1}});
        return s.range(Area{{rows.begin()->first, minC}, {rows.rbegin()->first, maxC}});
      });
      t.property("Parent", [](WorksheetObj& s, Args&) { return Variant(workbookObject(s.app, s.doc)); });
      t.byDefault("Name");
      return t;
    }();
    return m;
  }
  Sheet* sheet;
};

class WorksheetsObj : public DocObject<WorksheetsObj> {
 public:
  using DocObject::DocObject;
  std::string typeName() const override { return "Sheets"; }
  std::vector<Variant> enumerate() override {
    std::vector<Variant> out;
    for (auto& s : doc->book->sheets()) out.emplace_back(worksheetObject(app, doc, s.get()));
    return out;
  }
  size_t positionOf(const Variant& v) {
    auto w = refCast<WorksheetObj>(objectOf(v));
    if (!w || w->doc != doc) throw ComError(kAppError, "Method 'Add' of object 'Sheets' failed");
    return w->index();
  }
  static const Members<WorksheetsObj>& members() {
    static const Members<WorksheetsObj> m = [] {
      Members<WorksheetsObj> t;
      t.property("Count", [](WorksheetsObj& s, Args&) { return Variant(int32_t(s.doc->book->sheets().size())); });
      t.method("Item", {"Index"}, [](WorksheetsObj& s, Args& a) { return Variant(worksheetObject(s.app, s.doc, pickSheet(*s.doc, a[0]))); });
      t.method("Add", {"Before", "After", "Count", "Type"}, [](WorksheetsObj& s, Args& a) {
        refuseIfReadOnly(*s.doc);
        size_t pos = a.has(0) ? s.positionOf(a[0]) : a.has(1) ? s.positionOf(a[1]) + 1 : s.doc->activeSheet;
        int32_t count = a.has(2) ? toI4(a[2]) : 1;
        if (count < 1 || count > 255) throw ComError(kAppError, "Method 'Add' of object 'Sheets' failed");
        Sheet* made = nullptr;
        for (int32_t i = 0; i < count; ++i) made = &s.doc->book->addSheet(pos);
        s.doc->activeSheet = pos;
        return Variant(worksheetObject(s.app, s.doc, made));
      });
      t.byDefault("Item");
      return t;
    }();
    return m;
  }
};

Sheet* findSheet(BookCore& doc, const Variant& key) {
  auto& all = doc.book->sheets();
  if (key.isString()) {
    if (Sheet* s = doc.book->sheetNamed(key.str())) return s;
    throw ComError(hr::DISP_E_BADINDEX, "Subscript out of range");
  }
  if (key.isObject() || key.isArray() || key.isEmpty() || key.isNull()) throw ComError(hr::DISP_E_TYPEMISMATCH, "Type mismatch");
  int32_t i = toI4(key);
  if (i < 1 || i > static_cast<int32_t>(all.size())) throw ComError(hr::DISP_E_BADINDEX, "Subscript out of range");
  return all[static_cast<size_t>(i - 1)].get();
}

}  // namespace

// A sheet is read when it is picked, so that a damaged one fails here, not cell by cell.
Sheet* pickSheet(BookCore& doc, const Variant& key) {
  Sheet* s = findSheet(doc, key);
  try {
    s->rows();
  } catch (const opc::PackageError& e) {
    throw ComError(kAppError, e.what());
  }
  return s;
}

ObjRef worksheetObject(const AppPtr& app, const BookPtr& doc, Sheet* sheet) {
  return ObjRef(makeRef<WorksheetObj>(app, doc, sheet));
}
ObjRef worksheetsObject(const AppPtr& app, const BookPtr& doc) { return ObjRef(makeRef<WorksheetsObj>(app, doc)); }

}  // namespace tlx::platform::spreadsheet
