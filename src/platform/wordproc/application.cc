// The word processor's state, its Documents collection and the Application object.
#include <filesystem>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "platform/app/documents.h"
#include "platform/wordproc/word_application.h"
#include "platform/wordproc/word_model.h"

namespace tlx::platform::wordproc {

namespace {

constexpr const char* kProgId = "Word.Application";

using app::absolutePath;

// A path in the working folder that no file holds yet.
std::string freeName(const std::string& stem) {
  namespace fs = std::filesystem;
  fs::path p = fs::current_path() / (stem + ".docx");
  for (int n = 2; fs::exists(p); ++n) p = fs::current_path() / (stem + " (" + std::to_string(n) + ").docx");
  return p.string();
}

}  // namespace

void DocCore::saveAs(const std::string& path) {
  std::string full = absolutePath(path);
  try {
    doc->save(full);
  } catch (const opc::PackageError& e) {
    throw ComError(BAD_DOCUMENT, e.what());
  }
  name = std::filesystem::path(full).filename().string();
  fullName = full;
  onDisk = true;
  markedSaved = false;
}

void DocCore::save() { saveAs(onDisk ? fullName : freeName(name)); }

DocPtr AppCore::add() {
  auto d = std::make_shared<DocCore>();
  d->doc = Document::create();
  d->name = d->fullName = "Document" + std::to_string(nextNumber++);
  return keep(d);
}

DocPtr AppCore::open(const std::string& path) {
  if (path.empty()) throw ComError(NO_FILE, "No file name given");
  std::string full = absolutePath(path);
  for (auto& d : docs)
    if (d->onDisk && d->fullName == full) return active = d;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(full, ec))
    throw ComError(NO_FILE, "This file could not be found. (" + path + ")");
  auto d = std::make_shared<DocCore>();
  try {
    d->doc = Document::load(opc::Package::open(full));
  } catch (const opc::PackageError& e) {
    throw ComError(BAD_DOCUMENT, "The file \"" + path + "\" cannot be opened: " + e.what());
  }
  d->name = std::filesystem::path(full).filename().string();
  d->fullName = full;
  d->onDisk = true;
  return keep(d);
}

DocPtr AppCore::keep(const DocPtr& d) {
  adopt(d, ".docx", [](DocCore& c, const std::string& path) { c.doc->save(path); });
  return d;
}

namespace {

class DocumentsObj : public AppObject<DocumentsObj> {
 public:
  using AppObject::AppObject;
  std::string typeName() const override { return "Documents"; }
  std::vector<Variant> enumerate() override {
    return app::objectsOf(app->docs, [&](const DocPtr& d) { return documentObject(app, d); });
  }
  static const Members<DocumentsObj>& members() {
    static const Members<DocumentsObj> m = [] {
      Members<DocumentsObj> t;
      t.property("Count", [](DocumentsObj& s, Args&) { return Variant(int32_t(s.app->docs.size())); });
      t.method("Item", {"Index"}, [](DocumentsObj& s, Args& a) {
        auto missing = [](const Variant&) { return ComError(NO_MEMBER, "The requested member of the collection does not exist."); };
        auto& d = app::itemByKey(s.app->docs, a[0], 1, [](const DocCore& c) { return c.name; }, missing);
        return Variant(documentObject(s.app, d));
      });
      t.method("Add", {"Template", "NewTemplate", "DocumentType", "Visible"},
               [](DocumentsObj& s, Args&) { return Variant(documentObject(s.app, s.app->add())); });
      // Declared in full, so that a password given by position is known as one.
      t.method("Open",
               {"FileName", "ConfirmConversions", "ReadOnly", "AddToRecentFiles", "PasswordDocument",
                "PasswordTemplate", "Revert", "WritePasswordDocument", "WritePasswordTemplate", "Format"},
               [](DocumentsObj& s, Args& a) {
        return Variant(documentObject(s.app, s.app->open(toUtf8(a[0]))));
      });
      t.method("Save", {"NoPrompt", "OriginalFormat"}, [](DocumentsObj& s, Args&) {
        for (auto& d : std::vector<DocPtr>(s.app->docs))
          if (!d->saved() || !d->onDisk) d->save();
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

  void quit(Args& a) {
    bool save = a.has(0) && toI4(a.value(0)) != 0;
    app::endApplication(kProgId, this, *app, [&](const DocPtr& d) {
      if (save && !d->saved()) d->save();
      app->close(d);
    });
  }

  static const Members<ApplicationObj>& members() {
    static const Members<ApplicationObj> m = [] {
      Members<ApplicationObj> t;
      t.property("Name", [](ApplicationObj&, Args&) { return Variant(u"Word"); });
      t.property(
          "Visible", [](ApplicationObj& s, Args&) { return Variant(s.app->visible); },
          [](ApplicationObj& s, Args&, const Variant& v) { s.app->visible = toBool(v); });
      t.property("Documents", [](ApplicationObj& s, Args&) { return Variant(ObjRef(makeRef<DocumentsObj>(s.app))); });
      t.property("ActiveDocument", [](ApplicationObj& s, Args&) {
        if (!s.app->active) throw ComError(hr::basicError(4248), "This command is not available because no document is open.");
        return Variant(documentObject(s.app, s.app->active));
      });
      t.method("Quit", {"SaveChanges", "OriginalFormat", "RouteDocument"}, [](ApplicationObj& s, Args& a) {
        s.quit(a);
        return Variant();
      });
      t.byDefault("Name");
      return t;
    }();
    return m;
  }
};

}  // namespace

}  // namespace tlx::platform::wordproc

namespace tlx {

void registerWordApplication() {
  platform::app::registerApplication(platform::wordproc::kProgId, [] { return ObjRef(makeRef<platform::wordproc::ApplicationObj>()); });
}

}  // namespace tlx
