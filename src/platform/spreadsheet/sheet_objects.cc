// Workbook, worksheet collection, worksheet and range objects.
#include <algorithm>
#include <filesystem>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "platform/spreadsheet/spreadsheet_model.h"

namespace tlx::platform::spreadsheet {

namespace {

constexpr HRESULT APP_ERROR = hr::basicError(1004);
constexpr int32_t kXlsxFormat = 51;

int32_t coordinate(const Variant& v, int32_t limit, const char* what) {
  double d = toDouble(v);
  if (!(d >= 1 && d <= limit)) throw ComError(APP_ERROR, std::string("Application-defined or object-defined error (") + what + ")");
  return static_cast<int32_t>(d);
}

Area areaOf(const Variant& v);

// A cell or an area given as text ("A1", "A1:C3") or as a Range object.
Area areaArg(const Variant& v) { return areaOf(v); }

Area columnsArg(const Variant& v) {
  if (v.isString()) {
    std::string s = u8(v.str());
    if (s.find(':') == std::string::npos) s += ":" + s;
    auto a = parseArea(s);
    if (!a || a->first.row != 1 || a->last.row != kMaxRows) throw ComError(APP_ERROR, "Not a column: \"" + u8(v.str()) + "\"");
    return *a;
  }
  int32_t c = coordinate(v, kMaxCols, "column");
  return Area{{1, c}, {kMaxRows, c}};
}

std::string pathWithExtension(std::string path) {
  if (std::filesystem::path(path).extension().empty()) path += ".xlsx";
  return std::filesystem::absolute(path).lexically_normal().string();
}

class RangeObj;

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
            if (s.doc->readOnly) throw ComError(APP_ERROR, "The workbook is read-only");
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
        Area first = areaArg(a[0]);
        if (!a.has(1)) return s.range(first);
        Area second = areaArg(a[1]);
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

class RangeObj : public DocObject<RangeObj> {
 public:
  RangeObj(AppPtr a, BookPtr b, Sheet* s, Area ar) : DocObject(std::move(a), std::move(b)), sheet(s), area(ar) {}
  std::string typeName() const override { return "Range"; }
  int32_t rows() const { return area.last.row - area.first.row + 1; }
  int32_t cols() const { return area.last.col - area.first.col + 1; }
  void writable() const {
    if (doc->readOnly) throw ComError(APP_ERROR, "The workbook is read-only");
  }

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
        if (r < 1 || r > kMaxRows || c < 1 || c > kMaxCols) throw ComError(APP_ERROR, "Application-defined or object-defined error");
        return s.sub(Area{{r, c}, {r, c}});
      }, {}, {"RowIndex", "ColumnIndex"});
      t.property("Columns", [](RangeObj& s, Args& a) {
        if (!a.has(0)) return s.sub(s.area);
        int32_t c = s.area.first.col + toI4(a[0]) - 1;
        if (c < 1 || c > kMaxCols) throw ComError(APP_ERROR, "Application-defined or object-defined error");
        return s.sub(Area{{s.area.first.row, c}, {s.area.last.row, c}});
      }, {}, {"Index"});
      t.property("Rows", [](RangeObj& s, Args& a) {
        if (!a.has(0)) return s.sub(s.area);
        int32_t r = s.area.first.row + toI4(a[0]) - 1;
        if (r < 1 || r > kMaxRows) throw ComError(APP_ERROR, "Application-defined or object-defined error");
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

Area areaOf(const Variant& v) {
  if (v.isObject()) {
    auto r = refCast<RangeObj>(v.obj());
    if (!r) throw ComError(hr::DISP_E_TYPEMISMATCH, "Type mismatch");
    return r->area;
  }
  std::string s = toUtf8(v);
  auto a = parseArea(s);
  if (!a) throw ComError(APP_ERROR, "Method 'Range' of object '_Worksheet' failed");
  return *a;
}

class WorksheetsObj : public DocObject<WorksheetsObj> {
 public:
  using DocObject::DocObject;
  std::string typeName() const override { return "Sheets"; }
  std::vector<Variant> enumerate() override {
    std::vector<Variant> out;
    for (auto& s : doc->book->sheets()) out.emplace_back(worksheetObject(app, doc, s.get()));
    return out;
  }
  // A sheet is read when it is picked, so that a damaged one fails here, not cell by cell.
  Sheet* item(const Variant& key) {
    Sheet* s = find(key);
    try {
      s->rows();
    } catch (const opc::PackageError& e) {
      throw ComError(APP_ERROR, e.what());
    }
    return s;
  }
  Sheet* find(const Variant& key) {
    auto& all = doc->book->sheets();
    if (key.isString()) {
      if (Sheet* s = doc->book->sheetNamed(key.str())) return s;
      throw ComError(hr::DISP_E_BADINDEX, "Subscript out of range");
    }
    if (key.isObject() || key.isArray() || key.isEmpty() || key.isNull()) throw ComError(hr::DISP_E_TYPEMISMATCH, "Type mismatch");
    int32_t i = toI4(key);
    if (i < 1 || i > static_cast<int32_t>(all.size())) throw ComError(hr::DISP_E_BADINDEX, "Subscript out of range");
    return all[static_cast<size_t>(i - 1)].get();
  }
  size_t positionOf(const Variant& v) {
    auto w = refCast<WorksheetObj>(objectOf(v));
    if (!w || w->doc != doc) throw ComError(APP_ERROR, "Method 'Add' of object 'Sheets' failed");
    return w->index();
  }
  static const Members<WorksheetsObj>& members() {
    static const Members<WorksheetsObj> m = [] {
      Members<WorksheetsObj> t;
      t.property("Count", [](WorksheetsObj& s, Args&) { return Variant(int32_t(s.doc->book->sheets().size())); });
      t.method("Item", {"Index"}, [](WorksheetsObj& s, Args& a) { return Variant(worksheetObject(s.app, s.doc, s.item(a[0]))); });
      t.method("Add", {"Before", "After", "Count", "Type"}, [](WorksheetsObj& s, Args& a) {
        if (s.doc->readOnly) throw ComError(APP_ERROR, "The workbook is read-only");
        size_t pos = a.has(0) ? s.positionOf(a[0]) : a.has(1) ? s.positionOf(a[1]) + 1 : s.doc->activeSheet;
        int32_t count = a.has(2) ? toI4(a[2]) : 1;
        if (count < 1 || count > 255) throw ComError(APP_ERROR, "Method 'Add' of object 'Sheets' failed");
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

class WorkbookObj : public DocObject<WorkbookObj> {
 public:
  using DocObject::DocObject;
  std::string typeName() const override { return "Workbook"; }

  void saveAs(const Variant& name, const Variant& format) {
    if (format.isMissing() == false && !format.isEmpty() && toI4(format) != kXlsxFormat)
      throw ComError(APP_ERROR, "Only XLSX workbooks can be saved");
    std::string path = toUtf8(name);
    if (path.empty()) throw ComError(APP_ERROR, "No file name given");
    path = pathWithExtension(path);
    for (auto& b : app->docs)
      if (b != doc && b->onDisk && b->fullName == path)
        throw ComError(APP_ERROR, "A workbook of that name is open: \"" + path + "\"");
    refuseOverSource(path);
    // Saving under a name given here is the one way a decrypted workbook goes to disk unencrypted.
    opc::Package::UnencryptedSave plainCopy(doc->book->package());
    doc->saveAs(path);
  }
  // A workbook read from another kind of file is written only as XLSX, never over its source.
  void refuseOverSource(const std::string& path) {
    static constexpr const char* kinds[] = {"an XLSX", "a legacy .xls", "an OpenDocument", "a text"};
    if (doc->source != SourceFormat::Xlsx && path == doc->fullName)
      throw ComError(APP_ERROR, "\"" + doc->name + "\" was opened from " + kinds[int(doc->source)] +
                                    " file and is not written back in that format: save it as an XLSX workbook "
                                    "with SaveAs under a new name");
  }
  void save() {
    if (doc->readOnly) throw ComError(APP_ERROR, "The workbook is read-only");
    if (doc->onDisk) refuseOverSource(doc->fullName);
    if (!doc->onDisk) saveAs(Variant(u16(doc->name)), Variant::missing());
    else doc->saveAs(doc->fullName);
  }

  static const Members<WorkbookObj>& members() {
    static const Members<WorkbookObj> m = [] {
      Members<WorkbookObj> t;
      t.property("Name", [](WorkbookObj& s, Args&) { return Variant(u16(s.doc->name)); });
      t.property("FullName", [](WorkbookObj& s, Args&) { return Variant(u16(s.doc->fullName)); });
      t.property("Path", [](WorkbookObj& s, Args&) {
        return Variant(u16(s.doc->onDisk ? std::filesystem::path(s.doc->fullName).parent_path().string() : ""));
      });
      t.property("ReadOnly", [](WorkbookObj& s, Args&) { return Variant(s.doc->readOnly); });
      t.property(
          "Saved", [](WorkbookObj& s, Args&) { return Variant(s.doc->saved()); },
          [](WorkbookObj& s, Args&, const Variant& v) { s.doc->markedSaved = toBool(v); });
      t.method("Save", {}, [](WorkbookObj& s, Args&) {
        s.save();
        return Variant();
      });
      t.method("SaveAs", {"Filename", "FileFormat"}, [](WorkbookObj& s, Args& a) {
        s.saveAs(a[0], a.value(1, Variant::missing()));
        return Variant();
      });
      t.method("Close", {"SaveChanges", "Filename"}, [](WorkbookObj& s, Args& a) {
        // Without SaveChanges nobody can be asked here: unsaved changes are dropped.
        if (a.has(0) && toBool(a.value(0))) {
          if (a.has(1) && !toUtf8(a.value(1)).empty()) s.saveAs(a.value(1), Variant::missing());
          else s.save();
        }
        AppPtr app = s.app;
        app->close(s.doc);
        return Variant();
      });
      t.method("Activate", {}, [](WorkbookObj& s, Args&) {
        s.app->active = s.doc;
        return Variant();
      });
      auto sheets = [](WorkbookObj& s, Args& a) {
        ObjRef all(makeRef<WorksheetsObj>(s.app, s.doc));
        if (!a.has(0)) return Variant(all);
        return Variant(worksheetObject(s.app, s.doc, refCast<WorksheetsObj>(all)->item(a[0])));
      };
      t.property("Worksheets", sheets, {}, {"Index"});
      t.property("Sheets", sheets, {}, {"Index"});
      t.property("ActiveSheet", [](WorkbookObj& s, Args&) {
        return Variant(worksheetObject(s.app, s.doc, s.doc->book->sheets().at(s.doc->activeSheet).get()));
      });
      t.property("Application", [](WorkbookObj& s, Args&) { return Variant(ObjRef(s.app->wrapper)); });
      t.byDefault("Name");
      return t;
    }();
    return m;
  }
};

}  // namespace

ObjRef workbookObject(const AppPtr& app, const BookPtr& doc) { return ObjRef(makeRef<WorkbookObj>(app, doc)); }
ObjRef worksheetObject(const AppPtr& app, const BookPtr& doc, Sheet* sheet) {
  return ObjRef(makeRef<WorksheetObj>(app, doc, sheet));
}
ObjRef rangeObject(const AppPtr& app, const BookPtr& doc, Sheet* sheet, Area area) {
  return ObjRef(makeRef<RangeObj>(app, doc, sheet, area));
}

}  // namespace tlx::platform::spreadsheet
