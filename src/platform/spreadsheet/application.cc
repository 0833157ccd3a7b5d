#include <filesystem>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "platform/app/documents.h"
#include "platform/app/recovery.h"
#include "platform/spreadsheet/spreadsheet_application.h"
#include "platform/spreadsheet/spreadsheet_model.h"

namespace tlx::platform::spreadsheet {

namespace {

constexpr const char* kProgId = "Excel.Application";
constexpr int kNewBookSheets = 3;

using app::absolutePath;

// A password argument as text; missing or Empty is no password.
std::u16string passwordText(const Variant& v) {
  return v.isMissing() || v.isEmpty() ? std::u16string() : std::u16string(toBStr(v).view());
}

}  // namespace

void BookCore::saveAs(const std::string& path) {
  try {
    book->save(path);
  } catch (const opc::PackageError& e) {
    throw ComError(kAppError, e.what());
  }
  std::filesystem::path p(path);
  name = p.filename().string();
  fullName = path;
  onDisk = true;
  readOnly = false;
  markedSaved = false;
  source = SourceFormat::Xlsx;
}

std::shared_ptr<BookCore> AppCore::add() {
  auto b = std::make_shared<BookCore>();
  b->book = Workbook::create(kNewBookSheets);
  b->name = b->fullName = "Book" + std::to_string(nextNumber++);
  keep(b);
  return b;
}

std::shared_ptr<BookCore> AppCore::open(const std::string& path, bool readOnly, const Variant& password,
                                        const Variant& writeResPassword) {
  if (path.empty()) throw ComError(kAppError, "No file name given");
  std::string full = absolutePath(path);
  for (auto& b : docs)
    if (b->onDisk && b->fullName == full) {
      active = b;
      return b;
    }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(full, ec))
    throw ComError(kAppError, "'" + path + "' could not be found. Check the spelling of the file name.");
  auto b = std::make_shared<BookCore>();
  try {
    OpenedWorkbook opened = openWorkbookFile(full, passwordText(password));
    b->book = std::move(opened.book);
    b->source = opened.format;
  } catch (const opc::PackageError& e) {
    throw ComError(kAppError, "Cannot open \"" + path + "\": " + e.what());
  }
  if (b->book->writeReserved() && !readOnly) {
    std::u16string given = writeResPassword.isMissing() || writeResPassword.isEmpty()
                               ? std::u16string()
                               : std::u16string(toBStr(writeResPassword).view());
    if (!b->book->checkWriteReservation(given))
      throw ComError(kAppError, "The password you supplied is not correct. Verify that the CAPS LOCK key is off "
                                "and be sure to use the correct capitalization.");
  }
  std::filesystem::path p(full);
  b->name = p.filename().string();
  b->fullName = full;
  b->onDisk = true;
  b->readOnly = readOnly;
  keep(b);
  return b;
}

void AppCore::keep(const std::shared_ptr<BookCore>& b) {
  adopt(b, ".xlsx", [](BookCore& c, const std::string& path) { c.book->save(path); });
}

namespace {

class WorkbooksObj : public AppObject<WorkbooksObj> {
 public:
  using AppObject::AppObject;
  std::string typeName() const override { return "Workbooks"; }
  std::vector<Variant> enumerate() override {
    return app::objectsOf(app->docs, [&](const BookPtr& b) { return workbookObject(app, b); });
  }
  static const Members<WorkbooksObj>& members() {
    static const Members<WorkbooksObj> m = [] {
      Members<WorkbooksObj> t;
      t.property("Count", [](WorkbooksObj& s, Args&) { return Variant(int32_t(s.app->docs.size())); });
      t.method("Item", {"Index"}, [](WorkbooksObj& s, Args& a) {
        auto missing = [](const Variant&) { return ComError(hr::DISP_E_BADINDEX, "Subscript out of range"); };
        auto& b = app::itemByKey(s.app->docs, a[0], 1, [](const BookCore& c) { return c.name; }, missing);
        return Variant(workbookObject(s.app, b));
      });
      t.method("Add", {"Template"}, [](WorkbooksObj& s, Args&) { return Variant(workbookObject(s.app, s.app->add())); });
      t.method("Open", {"Filename", "UpdateLinks", "ReadOnly", "Format", "Password", "WriteResPassword"},
               [](WorkbooksObj& s, Args& a) {
                 bool ro = a.has(2) && toBool(a.value(2));
                 auto b = s.app->open(toUtf8(a[0]), ro, a.value(4, Variant::missing()), a.value(5, Variant::missing()));
                 return Variant(workbookObject(s.app, b));
               });
      t.method("Close", {}, [](WorkbooksObj& s, Args&) {
        while (!s.app->docs.empty()) s.app->close(s.app->docs.back());
        return Variant();
      });
      t.byDefault("Item");
      return t;
    }();
    return m;
  }
};

class ApplicationObj : public app::ApplicationObject<ApplicationObj, AppCore> {
 public:
  std::string typeName() const override { return "Application"; }

  void quit() {
    app::endApplication(kProgId, this, *app, [&](const BookPtr& b) { app->close(b); });
  }

  static const Members<ApplicationObj>& members() {
    static const Members<ApplicationObj> m = [] {
      Members<ApplicationObj> t;
      t.property("Name", [](ApplicationObj&, Args&) { return Variant(u"Microsoft Excel"); });
      t.property(
          "Visible", [](ApplicationObj& s, Args&) { return Variant(s.app->visible); },
          [](ApplicationObj& s, Args&, const Variant& v) { s.app->visible = toBool(v); });
      t.property("Workbooks", [](ApplicationObj& s, Args&) { return Variant(ObjRef(makeRef<WorkbooksObj>(s.app))); });
      t.property("ActiveWorkbook", [](ApplicationObj& s, Args&) {
        return s.app->active ? Variant(workbookObject(s.app, s.app->active)) : Variant(ObjRef());
      });
      t.property("ActiveSheet", [](ApplicationObj& s, Args&) {
        if (!s.app->active) return Variant(ObjRef());
        auto& b = s.app->active;
        return Variant(worksheetObject(s.app, b, b->book->sheets().at(b->activeSheet).get()));
      });
      t.property("Application", [](ApplicationObj& s, Args&) { return Variant(ObjRef(&s)); });
      t.method("Quit", {}, [](ApplicationObj& s, Args&) {
        s.quit();
        return Variant();
      });
      t.byDefault("Name");
      return t;
    }();
    return m;
  }
};

}  // namespace

}  // namespace tlx::platform::spreadsheet

namespace tlx {

void registerSpreadsheetApplication() {
  platform::app::registerApplication(platform::spreadsheet::kProgId, [] { return ObjRef(makeRef<platform::spreadsheet::ApplicationObj>()); });
}

}  // namespace tlx
