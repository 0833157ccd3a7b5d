// What the desktop applications (drawing, spreadsheet, word processor) keep alike: one running
// instance from creation until Quit, the open documents with the active one, objects that fail
// once what they belong to is gone, collections whose Item takes a name or a position, and file
// names made absolute. Header only: templates over each application's own state.
#pragma once

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "talvex/convert.h"
#include "talvex/dispatch.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "platform/app/recovery.h"

namespace tlx::platform::app {

// Each creation makes an instance with `make` and registers it as the running one, so that
// GetObject attaches to the instance created last.
template <class Make>
void registerApplication(const std::string& progId, Make make) {
  registerClass(progId, [progId, make] {
    ObjRef app = make();
    registerRunning(progId, app);
    return app;
  });
}

// Takes a closed document out of the open ones (the one opened last becomes active if it was)
// and returns it: `doc` may be an element of the list, gone with it.
template <class Ptr>
[[nodiscard]] Ptr dropDocument(std::vector<Ptr>& docs, Ptr& active, Ptr doc) {
  std::erase(docs, doc);
  if (active == doc) active = docs.empty() ? nullptr : docs.back();
  return doc;
}

// What every application keeps of a document: its name, whether it is still open, and its ticket
// in the recovery list while it is.
struct DocumentState {
  std::string name;
  bool open = true;
  int recoveryTicket = 0;
};

// What every running application keeps: whether it still runs (false after Quit), its
// Application object while one exists, the open documents with the active one, and the number
// of the next new document ("Book2", "Document3", "Drawing4.dwg"). Each application adds its
// own and names its "object is gone" errors in kEnded and kClosed.
template <class DocState>
struct Instance {
  using Doc = DocState;
  using DocPtr = std::shared_ptr<Doc>;
  bool alive = true;
  Dispatch* wrapper = nullptr;
  std::vector<DocPtr> docs;
  DocPtr active;
  int nextNumber = 1;

  // A new or opened document joins the open ones, active, listed for saving at host exit while
  // it is open; `save(doc, path)` writes it there.
  template <class Save>
  void adopt(const DocPtr& d, const std::string& extension, Save save) {
    docs.push_back(d);
    active = d;
    d->recoveryTicket = listForRecovery(d, d->name, extension, save);
  }
  // The document leaves the open ones: every object that still holds it fails from now on.
  DocPtr closeDocument(const DocPtr& listed) {
    DocPtr d = dropDocument(docs, active, listed);
    d->open = false;
    if (d->recoveryTicket) unlistUnsaved(d->recoveryTicket);
    d->recoveryTicket = 0;
    return d;
  }
};

// Quit's common part: every open document closed by `close`, the application marked ended (so
// that every object still held fails) and no longer the running instance.
template <class App, class Close>
void endApplication(const std::string& progId, Dispatch* self, App& app, Close close) {
  ObjRef keep(self);  // the running table may hold the last reference
  for (auto& d : std::vector(app.docs)) close(d);
  app.alive = false;
  revokeRunning(progId, self);
}

// The "object is gone" errors: the application has ended, or the document was closed.
template <class App>
void checkRunning(const std::shared_ptr<App>& app) {
  if (!app || !app->alive) throw ComError(hr::RPC_E_DISCONNECTED, App::kEnded);
}

template <class App>
void checkOpen(const std::shared_ptr<App>& app, const std::shared_ptr<typename App::Doc>& doc) {
  checkRunning(app);
  if (!doc || !doc->open) throw ComError(hr::RPC_E_DISCONNECTED, App::kClosed);
}

// An object of an application: every member first checks (Self::check) that what it belongs to
// still exists, so that a reference held after Quit or Close fails instead of reaching freed state.
template <class Self>
class Live : public Object<Self> {
 public:
  Variant invoke(std::string_view member, InvokeKind kind, DispParams& params) override {
    static_cast<Self&>(*this).check();
    return Object<Self>::invoke(member, kind, params);
  }
};

// An object that belongs to the application as a whole (a collection of its documents, the
// Application itself): it fails once the application has ended.
template <class Self, class App>
class AppObject : public Live<Self> {
 public:
  explicit AppObject(std::shared_ptr<App> a) : app(std::move(a)) {}
  void check() const { checkRunning(app); }
  std::shared_ptr<App> app;
};

// An object inside one document: it fails once the application has ended or the document was
// closed.
template <class Self, class App>
class DocObject : public AppObject<Self, App> {
 public:
  DocObject(std::shared_ptr<App> a, std::shared_ptr<typename App::Doc> d)
      : AppObject<Self, App>(std::move(a)), doc(std::move(d)) {}
  void check() const { checkOpen(this->app, doc); }
  std::shared_ptr<typename App::Doc> doc;
};

// The Application object: it makes the instance, and the instance ends with it.
template <class Self, class App>
class ApplicationObject : public AppObject<Self, App> {
 public:
  ApplicationObject() : AppObject<Self, App>(std::make_shared<App>()) { this->app->wrapper = this; }
  ~ApplicationObject() override {
    this->app->alive = false;
    this->app->wrapper = nullptr;
  }
};

// The objects of a collection, for enumeration.
template <class Ptr, class MakeObject>
std::vector<Variant> objectsOf(const std::vector<Ptr>& items, MakeObject make) {
  std::vector<Variant> out;
  for (auto& item : items) out.emplace_back(make(item));
  return out;
}

// A collection's Item: a string by name, ignoring case, a number by position counted from
// `first`. `missing(key)` gives the collection's own error for a key that names nothing.
template <class Ptr, class NameOf, class Missing>
const Ptr& itemByKey(const std::vector<Ptr>& items, const Variant& key, int32_t first, NameOf nameOf,
                     Missing missing) {
  if (key.isString()) {
    for (auto& item : items)
      if (equalsNoCase(u16(nameOf(*item)), key.str())) return item;
    throw missing(key);
  }
  int32_t i = toI4(key) - first;
  if (i < 0 || i >= static_cast<int32_t>(items.size())) throw missing(key);
  return items[static_cast<size_t>(i)];
}

inline std::string absolutePath(const std::string& path) {
  // The system would read the name only up to a NUL: another file than the one asked for.
  if (path.find('\0') != std::string::npos) throw ComError(hr::BAD_FILE_NAME, "Bad file name or number");
  std::error_code ec;
  auto p = std::filesystem::absolute(std::filesystem::path(path), ec);
  if (ec) throw ComError(hr::BAD_FILE_NAME, "Bad file name: \"" + path + "\"");
  return p.lexically_normal().string();
}

}  // namespace tlx::platform::app
