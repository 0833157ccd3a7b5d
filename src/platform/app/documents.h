// What the desktop applications (drawing, spreadsheet, word processor) keep alike: one running
// instance from creation until Quit, the open documents with the active one, collections whose
// Item takes a name or a position, and file names made absolute. Header only: templates over
// each application's own document state.
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

namespace tlx::app {

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

// Quit's common part: every open document closed by `close`, the application marked ended (so
// that every object still held fails) and no longer the running instance.
template <class Core, class Docs, class Close>
void endApplication(const std::string& progId, Dispatch* self, Core& app, const Docs& docs, Close close) {
  ObjRef keep(self);  // the running table may hold the last reference
  for (auto& d : Docs(docs)) close(d);
  app.alive = false;
  revokeRunning(progId, self);
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

// The objects of a collection, for enumeration.
template <class Ptr, class MakeObject>
std::vector<Variant> objectsOf(const std::vector<Ptr>& items, MakeObject make) {
  std::vector<Variant> out;
  for (auto& item : items) out.emplace_back(make(item));
  return out;
}

// Takes a closed document out of the open ones (the one opened last becomes active if it was)
// and returns it: `doc` may be an element of the list, gone with it.
template <class Ptr>
[[nodiscard]] Ptr dropDocument(std::vector<Ptr>& docs, Ptr& active, Ptr doc) {
  std::erase(docs, doc);
  if (active == doc) active = docs.empty() ? nullptr : docs.back();
  return doc;
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

}  // namespace tlx::app
