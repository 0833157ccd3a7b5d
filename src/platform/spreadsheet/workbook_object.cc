// The Workbook object: one open workbook, its saving and closing.
#include <filesystem>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "platform/spreadsheet/spreadsheet_model.h"

namespace tlx::platform::spreadsheet {

namespace {

constexpr int32_t kXlsxFormat = 51;

std::string pathWithExtension(std::string path) {
  if (std::filesystem::path(path).extension().empty()) path += ".xlsx";
  return std::filesystem::absolute(path).lexically_normal().string();
}

class WorkbookObj : public DocObject<WorkbookObj> {
 public:
  using DocObject::DocObject;
  std::string typeName() const override { return "Workbook"; }

  void saveAs(const Variant& name, const Variant& format) {
    if (!format.isMissing() && !format.isEmpty() && toI4(format) != kXlsxFormat)
      throw ComError(kAppError, "Only XLSX workbooks can be saved");
    std::string path = toUtf8(name);
    if (path.empty()) throw ComError(kAppError, "No file name given");
    path = pathWithExtension(path);
    for (auto& b : app->docs)
      if (b != doc && b->onDisk && b->fullName == path)
        throw ComError(kAppError, "A workbook of that name is open: \"" + path + "\"");
    refuseOverSource(path);
    // Saving under a name given here is the one way a decrypted workbook goes to disk unencrypted.
    opc::Package::UnencryptedSave plainCopy(doc->book->package());
    doc->saveAs(path);
  }
  // A workbook read from another kind of file is written only as XLSX, never over its source.
  void refuseOverSource(const std::string& path) {
    static constexpr const char* kinds[] = {"an XLSX", "a legacy .xls", "an OpenDocument", "a text"};
    if (doc->source != SourceFormat::Xlsx && path == doc->fullName)
      throw ComError(kAppError, "\"" + doc->name + "\" was opened from " + kinds[int(doc->source)] +
                                    " file and is not written back in that format: save it as an XLSX workbook "
                                    "with SaveAs under a new name");
  }
  void save() {
    refuseIfReadOnly(*doc);
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
        if (!a.has(0)) return Variant(worksheetsObject(s.app, s.doc));
        return Variant(worksheetObject(s.app, s.doc, pickSheet(*s.doc, a[0])));
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

}  // namespace tlx::platform::spreadsheet
