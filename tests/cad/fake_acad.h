// A scripted stand-in for the drawing application, registered under its identifier, whose
// members can be made to fail one by one. It records every member call so that tests can see
// what the control asked for and in which order.
#pragma once

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "talvex/convert.h"
#include "talvex/dispatch.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "talvex/host_site.h"

namespace tlxtest {

using namespace tlx;

// Every member call of every fake, as "Object.Member" (puts as "Object.Member=").
struct CallLog {
  std::vector<std::string> calls;
  bool has(const std::string& call) const { return std::find(calls.begin(), calls.end(), call) != calls.end(); }
  size_t count(const std::string& call) const { return std::count(calls.begin(), calls.end(), call); }
  // Position of the first such call, or -1.
  long index(const std::string& call) const {
    auto it = std::find(calls.begin(), calls.end(), call);
    return it == calls.end() ? -1 : it - calls.begin();
  }
};

// An object whose members are handlers; a member listed in `failing` raises instead.
class Fake : public Dispatch {
 public:
  using Handler = std::function<Variant(std::vector<Variant>&)>;
  using PutHandler = std::function<void(const Variant&)>;

  Fake(std::string label, std::shared_ptr<CallLog> log) : label_(std::move(label)), log_(std::move(log)) {}

  void on(std::string member, Handler h) { handlers_[asciiLower(member)] = std::move(h); }
  void onPut(std::string member, PutHandler h) { puts_[asciiLower(member)] = std::move(h); }
  void fail(std::string member) { failing_.insert(asciiLower(member)); }
  // Every member fails (a reference to an application that has ended).
  void disconnect() { dead_ = true; }
  std::function<std::vector<Variant>()> enumerator;
  std::string label_;

  Variant invoke(std::string_view member, InvokeKind kind, DispParams& params) override {
    std::string key = asciiLower(member);
    log_->calls.push_back(label_ + "." + std::string(member) + (kind == InvokeKind::PropertyPut ? "=" : ""));
    if (dead_) throw ComError(hr::RPC_E_DISCONNECTED, "The object has disconnected from its clients.");
    if (failing_.count(key)) throw ComError(hr::E_FAIL, label_ + "." + std::string(member) + " failed");
    std::vector<Variant> args;
    for (Variant* p : params.positional) args.push_back(*p);
    if (kind == InvokeKind::PropertyPut) {
      auto it = puts_.find(key);
      if (it == puts_.end()) throwMemberNotFound(member);
      it->second(args.back());
      return Variant();
    }
    auto it = handlers_.find(key);
    if (it == handlers_.end()) throwUnknownName(member);
    return it->second(args);
  }
  std::vector<Variant> enumerate() override {
    log_->calls.push_back(label_ + ".<enumerate>");
    if (dead_) throw ComError(hr::RPC_E_DISCONNECTED);
    if (failing_.count("<enumerate>")) throw ComError(hr::E_FAIL, "enumeration failed");
    return enumerator ? enumerator() : Dispatch::enumerate();
  }

 private:
  std::shared_ptr<CallLog> log_;
  std::map<std::string, Handler> handlers_;
  std::map<std::string, PutHandler> puts_;
  std::set<std::string> failing_;
  bool dead_ = false;
};

struct Grid {
  bool on = true;
  double x = 0.5, y = 0.5;
};

class FakeAcad;

// A document with its named views and viewport configurations.
struct FakeDoc {
  Ref<Fake> obj, views, viewports;
  BStr name, path;
  bool closed = false;
  int32_t windowState = 0;
  std::vector<Variant> closeFlags;
  std::vector<BStr> savedAs;
  int saves = 0;
  std::vector<int32_t> regens;
  std::set<BStr> viewNames;
  std::map<BStr, Ref<Fake>> viewportObjs;  // by upper-case name
  std::map<Fake*, Grid> grids;
  Ref<Fake> activeViewport;
};

// The application: documents, window, zooms. Registered as running by `run()`.
class FakeAcad {
 public:
  static constexpr std::string_view kProgId = "AutoCAD.Application";

  explicit FakeAcad(std::shared_ptr<CallLog> log = std::make_shared<CallLog>()) : log(std::move(log)) {
    app = makeRef<Fake>("App", this->log);
    documents = makeRef<Fake>("Documents", this->log);
    buildApp();
    buildDocuments();
  }
  ~FakeAcad() { revokeRunning(kProgId, app.get()); }

  void run() { registerRunning(std::string(kProgId), app); }

  // Adds an open document and makes it active.
  FakeDoc& addDoc(BStr name, BStr path = u"") {
    auto d = std::make_unique<FakeDoc>();
    d->name = std::move(name);
    d->path = std::move(path);
    d->obj = makeRef<Fake>("Doc:" + u8(d->name), log);
    d->views = makeRef<Fake>("Views:" + u8(d->name), log);
    d->viewports = makeRef<Fake>("Viewports:" + u8(d->name), log);
    FakeDoc& doc = *d;
    buildDoc(doc);
    docs.push_back(std::move(d));
    active = &doc;
    return doc;
  }
  FakeDoc* find(const BStr& name) {
    for (auto& d : docs)
      if (equalsNoCase(d->name, name)) return d.get();
    return nullptr;
  }
  FakeDoc* byObj(const ObjRef& o) {
    for (auto& d : docs)
      if (d->obj.get() == o.get()) return d.get();
    for (auto& d : closed)
      if (d->obj.get() == o.get()) return d.get();
    return nullptr;
  }

  std::shared_ptr<CallLog> log;
  Ref<Fake> app, documents;
  std::vector<std::unique_ptr<FakeDoc>> docs, closed;
  FakeDoc* active = nullptr;
  BStr caption = u"FakeCAD - [Drawing1.dwg]";
  BStr version = u"15.0s (LMS Tech)";
  std::vector<Variant> visible, windowState;
  std::set<std::string> openable;  // files Documents.Open accepts
  std::vector<std::pair<std::string, std::vector<Variant>>> zooms;
  bool quit = false;
  int added = 0;

 private:
  void buildApp() {
    app->on("Caption", [this](auto&) { return Variant(caption); });
    app->on("Version", [this](auto&) { return Variant(version); });
    app->onPut("Visible", [this](const Variant& v) { visible.push_back(v); });
    app->onPut("WindowState", [this](const Variant& v) { windowState.push_back(v); });
    app->on("Documents", [this](auto&) { return Variant(ObjRef(documents)); });
    app->on("ActiveDocument", [this](auto&) -> Variant {
      if (!active) throw ComError(hr::E_FAIL, "No document is active");
      return Variant(ObjRef(active->obj));
    });
    for (const char* z : {"ZoomWindow", "ZoomCenter", "ZoomScaled", "ZoomPickWindow", "ZoomAll", "ZoomExtents",
                          "ZoomPrevious"})
      app->on(z, [this, z](std::vector<Variant>& a) {
        zooms.push_back({z, a});
        return Variant();
      });
    app->on("Quit", [this](auto&) {
      while (!docs.empty()) closeDoc(*docs.front(), Variant(false));
      quit = true;
      revokeRunning(kProgId, app.get());
      app->disconnect();
      documents->disconnect();
      return Variant();
    });
  }

  void buildDocuments() {
    documents->on("Count", [this](auto&) { return Variant(static_cast<int32_t>(docs.size())); });
    documents->on("Item", [this](std::vector<Variant>& a) -> Variant {
      if (a.at(0).isString()) {
        if (FakeDoc* d = find(a[0].str())) return Variant(ObjRef(d->obj));
        throw ComError(hr::E_INVALIDARG, "No such document");
      }
      int32_t i = toI4(a.at(0));
      if (i < 0 || i >= static_cast<int32_t>(docs.size())) throw ComError(hr::E_INVALIDARG, "Index out of range");
      return Variant(ObjRef(docs[i]->obj));
    });
    documents->on("Add", [this](std::vector<Variant>&) {
      ++added;
      return Variant(ObjRef(addDoc(u"Drawing" + u16(std::to_string(docs.size() + closed.size() + 1)) + u".dwg").obj));
    });
    documents->on("Open", [this](std::vector<Variant>& a) -> Variant {
      std::string file = u8(a.at(0).str());
      if (!openable.count(file)) throw ComError(hr::E_FAIL, "Cannot open " + file);
      std::filesystem::path p(file);
      return Variant(ObjRef(addDoc(u16(p.filename().string()), u16(p.parent_path().string())).obj));
    });
    documents->enumerator = [this] {
      std::vector<Variant> r;
      for (auto& d : docs) r.push_back(Variant(ObjRef(d->obj)));
      return r;
    };
  }

  void closeDoc(FakeDoc& d, const Variant& flag) {
    d.closeFlags.push_back(flag);
    d.closed = true;
    for (auto it = docs.begin(); it != docs.end(); ++it)
      if (it->get() == &d) {
        closed.push_back(std::move(*it));
        docs.erase(it);
        break;
      }
    if (active == &d) active = docs.empty() ? nullptr : docs.back().get();
  }

  Ref<Fake> newViewport(FakeDoc& d, const BStr& name) {
    auto vp = makeRef<Fake>("Viewport:" + u8(name), log);
    Fake* key = vp.get();
    vp->on("Name", [name](auto&) { return Variant(name); });
    vp->onPut("GridOn", [&d, key](const Variant& v) { d.grids[key].on = toBool(v); });
    vp->on("SetGridSpacing", [&d, key](std::vector<Variant>& a) {
      d.grids[key].x = toDouble(a.at(0));
      d.grids[key].y = toDouble(a.at(1));
      return Variant();
    });
    d.viewportObjs[ucase(name)] = vp;
    return vp;
  }

  void buildDoc(FakeDoc& d) {
    FakeDoc* dp = &d;
    d.obj->on("Activate", [this, dp](auto&) {
      if (dp->closed) throw ComError(hr::E_FAIL, "Document is closed");
      active = dp;
      return Variant();
    });
    d.obj->on("Name", [dp](auto&) { return Variant(dp->name); });
    d.obj->on("Path", [dp](auto&) { return Variant(dp->path); });
    d.obj->onPut("WindowState", [dp](const Variant& v) { dp->windowState = toI4(v); });
    d.obj->on("Save", [dp](auto&) {
      ++dp->saves;
      return Variant();
    });
    d.obj->on("SaveAs", [dp](std::vector<Variant>& a) {
      dp->savedAs.push_back(a.at(0).str());
      std::filesystem::path p(u8(a[0].str()));
      dp->name = u16(p.filename().string());
      dp->path = u16(p.parent_path().string());
      return Variant();
    });
    d.obj->on("Close", [this, dp](std::vector<Variant>& a) {
      if (dp->closed) throw ComError(hr::E_FAIL, "Document is closed");
      closeDoc(*dp, a.empty() ? Variant::missing() : a[0]);
      return Variant();
    });
    d.obj->on("Regen", [dp](std::vector<Variant>& a) {
      dp->regens.push_back(toI4(a.at(0)));
      return Variant();
    });
    d.obj->on("Views", [dp](auto&) { return Variant(ObjRef(dp->views)); });
    d.obj->on("Viewports", [dp](auto&) { return Variant(ObjRef(dp->viewports)); });
    d.activeViewport = newViewport(d, u"*Active");
    d.obj->on("ActiveViewport", [dp](auto&) { return Variant(ObjRef(dp->activeViewport)); });
    d.obj->onPut("ActiveViewport", [dp](const Variant& v) {
      ObjRef o = objectOf(v);
      if (!o) throw ComError(hr::E_INVALIDARG, "Nothing is not a viewport");
      dp->activeViewport = Ref<Fake>(static_cast<Fake*>(o.get()));
    });

    d.views->on("Add", [this, dp](std::vector<Variant>& a) -> Variant {
      BStr name = a.at(0).str();
      if (name.empty() || dp->viewNames.count(ucase(name))) throw ComError(hr::E_INVALIDARG, "Bad or duplicate name");
      dp->viewNames.insert(ucase(name));
      auto view = makeRef<Fake>("View:" + u8(name), log);
      view->on("Name", [name](auto&) { return Variant(name); });
      return Variant(ObjRef(view));
    });
    d.views->on("Item", [this, dp](std::vector<Variant>& a) -> Variant {
      BStr key = ucase(a.at(0).str());
      if (!dp->viewNames.count(key)) throw ComError(hr::E_INVALIDARG, "No such view");
      auto view = makeRef<Fake>("View:" + u8(key), log);
      view->on("Delete", [dp, key](auto&) {
        dp->viewNames.erase(key);
        return Variant();
      });
      return Variant(ObjRef(view));
    });
    d.viewports->on("Add", [this, dp](std::vector<Variant>& a) -> Variant {
      BStr name = a.at(0).str();
      if (name.empty() || dp->viewportObjs.count(ucase(name))) throw ComError(hr::E_INVALIDARG, "Bad or duplicate name");
      return Variant(ObjRef(newViewport(*dp, name)));
    });
    d.viewports->on("Item", [dp](std::vector<Variant>& a) -> Variant {
      auto it = dp->viewportObjs.find(ucase(a.at(0).str()));
      if (it == dp->viewportObjs.end()) throw ComError(hr::E_INVALIDARG, "No such viewport");
      return Variant(ObjRef(it->second));
    });
    d.viewports->on("DeleteConfiguration", [dp](std::vector<Variant>& a) {
      if (!dp->viewportObjs.erase(ucase(a.at(0).str()))) throw ComError(hr::E_INVALIDARG, "No such configuration");
      return Variant();
    });
  }
};

// A host site that records what the control asked of the desktop.
class RecordingSite : public HostSite {
 public:
  void messageBox(const BStr& text) override { messages.push_back(u8(text)); }
  void activateWindow(const BStr& title) override {
    activated.push_back(u8(title));
    if (refuse.count(u8(title))) throw ComError(hr::INVALID_PROCEDURE_CALL, "No visible window has that title");
  }
  BStr formCaption() override { return u"Form1"; }

  std::vector<std::string> messages, activated;
  std::set<std::string> refuse;
};

}  // namespace tlxtest
