// Named views (VIEW table) and viewport configurations (VPORT table).
#include "talvex/convert.h"
#include "automation/strings.h"
#include "platform/cad/cad_model.h"

namespace tlx::platform::cad {


namespace {

constexpr const char* kActive = "*Active";

// The settings that make up a viewport configuration (everything but its name and identity).
using namespace group;
constexpr int kViewportCodes[] = {
    kLowerLeft,  y(kLowerLeft),  kUpperRight,  y(kUpperRight),  kViewCenter, y(kViewCenter),
    kSnapBase,   y(kSnapBase),   kSnapSpacing, y(kSnapSpacing), kGridSpacing, y(kGridSpacing),
    kVportDirection, y(kVportDirection), z(kVportDirection), kVportTarget, y(kVportTarget), z(kVportTarget),
    kVportHeight, kAspect, kLensLength, kFrontClip, kBackClip, kSnapRotation, kVportTwist, kViewMode,
    kCircleZoom, kFastZoom, kUcsIcon, kSnapOn, kGridOn, kSnapStyle, kSnapIsoPair};

// A record's tags as a body for a copy: without handle, owner, application groups and name.
Body copyBody(const Entity& src, const std::string& name) {
  Body b;
  const auto& tags = src.tags;
  for (size_t i = 1; i < tags.size(); ++i) {
    int c = tags[i].code;
    std::string_view v = src.pool().view(tags[i]);
    if (c == kAppGroup && !trim(v).empty() && trim(v).front() == '{') {
      while (i + 1 < tags.size() && !(tags[i + 1].code == kAppGroup && trim(src.pool().view(tags[i + 1])) == "}")) ++i;
      ++i;
      continue;
    }
    if (c == kXDataApp) break;  // extended data belongs to the original
    if (c == kHandle || c == kDimStyleHandle || c == kOwner || c == kDictionary) continue;
    b.push_back({c, c == kName ? name : std::string(v)});
  }
  return b;
}

}  // namespace

class ViewObj : public DocObject<ViewObj> {
 public:
  ViewObj(AppPtr a, DocPtr d, std::string n) : DocObject(std::move(a), std::move(d)), name(std::move(n)) {}
  std::string typeName() const override { return "IAcadView"; }
  Entity& entry() {
    Entity* e = doc->drawing->tableEntry("VIEW", name);
    if (!e) throw ComError(hr::E_FAIL, "The view \"" + name + "\" was deleted");
    return *e;
  }
  static const Members<ViewObj>& members() {
    static const Members<ViewObj> m = [] {
      Members<ViewObj> t;
      t.property("Name", [](ViewObj& s, Args&) { return Variant(fromDrawing(trim(s.entry().str(kName)), *s.doc->drawing)); });
      t.property("Center", [](ViewObj& s, Args&) { return pointVariant(s.entry().point(kCenter), 2); });
      t.property("Height", [](ViewObj& s, Args&) { return Variant(s.entry().real(kViewHeight)); });
      t.property("Width", [](ViewObj& s, Args&) { return Variant(s.entry().real(kViewWidth)); });
      t.method("Delete", {}, [](ViewObj& s, Args&) {
        s.entry();
        s.doc->drawing->removeTableEntries("VIEW", s.name);
        s.doc->saved = false;
        return Variant();
      });
      t.byDefault("Name");
      return t;
    }();
    return m;
  }
  std::string name;
};

class ViewsObj : public DocObject<ViewsObj> {
 public:
  using DocObject::DocObject;
  std::string typeName() const override { return "IAcadViews"; }
  std::vector<std::string> names() {
    std::vector<std::string> out;
    if (Table* t = doc->drawing->table("VIEW"))
      for (auto& e : t->entries) out.emplace_back(trim(e->str(kName)));
    return out;
  }
  std::vector<Variant> enumerate() override {
    check();
    std::vector<Variant> out;
    for (auto& n : names()) out.emplace_back(ObjRef(makeRef<ViewObj>(app, doc, n)));
    return out;
  }
  static const Members<ViewsObj>& members() {
    static const Members<ViewsObj> m = [] {
      Members<ViewsObj> t;
      t.property("Count", [](ViewsObj& s, Args&) { return Variant(int32_t(s.names().size())); });
      t.method("Item", {"Index"}, [](ViewsObj& s, Args& a) {
        auto names = s.names();
        if (a[0].isString()) {
          std::string n = toDrawing(a[0].str(), *s.doc->drawing);
          for (auto& x : names)
            if (equalsNoCaseAscii(x, trim(n))) return Variant(ObjRef(makeRef<ViewObj>(s.app, s.doc, x)));
          throw ComError(hr::DISP_E_BADINDEX, "No view is named \"" + n + "\"");
        }
        int32_t i = toI4(a[0]);
        if (i < 0 || i >= static_cast<int32_t>(names.size()))
          throw ComError(hr::DISP_E_BADINDEX, "No view has the index " + std::to_string(i));
        return Variant(ObjRef(makeRef<ViewObj>(s.app, s.doc, names[static_cast<size_t>(i)])));
      });
      t.method("Add", {"Name"}, [](ViewsObj& s, Args& a) {
        std::string name = toDrawing(u16(checkName(a[0], "view")), *s.doc->drawing);
        Document& d = *s.doc->drawing;
        if (d.tableEntry("VIEW", name)) throw ComError(hr::E_INVALIDARG, "Duplicate view name \"" + name + "\"");
        ViewState v = d.view();
        Body b;
        if (d.modern()) b = {{kSubclass, "AcDbSymbolTableRecord"}, {kSubclass, "AcDbViewTableRecord"}};
        Body rest = {{kName, name}, {kFlags, "0"}, {kViewHeight, realText(v.height)},
                     {kCenter, realText(v.cx)}, {y(kCenter), realText(v.cy)}, {kViewWidth, realText(v.height * v.aspect)},
                     {kViewDirection, "0.0"}, {y(kViewDirection), "0.0"}, {z(kViewDirection), "1.0"},
                     {kViewTarget, "0.0"}, {y(kViewTarget), "0.0"}, {z(kViewTarget), "0.0"},
                     {kLensLength, "50.0"}, {kFrontClip, "0.0"}, {kBackClip, "0.0"}, {kViewTwist, "0.0"},
                     {kViewMode, "0"}};
        b.insert(b.end(), rest.begin(), rest.end());
        d.addTableEntry("VIEW", "VIEW", b);
        s.doc->saved = false;
        return Variant(ObjRef(makeRef<ViewObj>(s.app, s.doc, name)));
      });
      t.byDefault("Item");
      return t;
    }();
    return m;
  }
};

ObjRef viewsObject(const AppPtr& app, const DocPtr& doc) { return ObjRef(makeRef<ViewsObj>(app, doc)); }

// A viewport: the active one (the "*Active" entry), or a saved configuration by name.
class ViewportObj : public DocObject<ViewportObj> {
 public:
  ViewportObj(AppPtr a, DocPtr d, std::string n, bool act)
      : DocObject(std::move(a), std::move(d)), name(std::move(n)), active(act) {}
  std::string typeName() const override { return "IAcadViewport"; }
  Entity& entry() {
    if (active) return doc->drawing->activeViewport();
    Entity* e = doc->drawing->tableEntry("VPORT", name);
    if (!e) throw ComError(hr::E_FAIL, "The viewport configuration \"" + name + "\" was deleted");
    return *e;
  }
  static const Members<ViewportObj>& members() {
    static const Members<ViewportObj> m = [] {
      Members<ViewportObj> t;
      using S = ViewportObj;
      t.property("Name", [](S& s, Args&) {
        return Variant(fromDrawing(s.active ? s.doc->activeConfig : s.name, *s.doc->drawing));
      });
      t.property("Center", [](S& s, Args&) { return pointVariant(s.entry().point(kViewCenter), 3); });
      t.property("Height", [](S& s, Args&) { return Variant(s.entry().real(kVportHeight, 1)); });
      t.property("Width", [](S& s, Args&) { return Variant(s.entry().real(kVportHeight, 1) * s.entry().real(kAspect, 1)); });
      t.property(
          "GridOn", [](S& s, Args&) { return Variant(s.entry().integer(kGridOn) != 0); },
          [](S& s, Args&, const Variant& v) {
            s.entry().setInt(kGridOn, toBool(v) ? 1 : 0);
            s.doc->saved = false;
          });
      t.property(
          "SnapOn", [](S& s, Args&) { return Variant(s.entry().integer(kSnapOn) != 0); },
          [](S& s, Args&, const Variant& v) {
            s.entry().setInt(kSnapOn, toBool(v) ? 1 : 0);
            s.doc->saved = false;
          });
      t.method("SetGridSpacing", {"XSpacing", "YSpacing"}, [](S& s, Args& a) {
        double x = toDouble(a[0]), y = toDouble(a[1]);
        if (!(x > 0) || !(y > 0) || !std::isfinite(x) || !std::isfinite(y))
          throw ComError(hr::E_INVALIDARG, "The grid spacing must be positive");
        Entity& e = s.entry();
        e.setPoint(kGridSpacing, {x, y, 0}, false);
        s.doc->saved = false;
        return Variant();
      });
      t.method("GetGridSpacing", {"XSpacing", "YSpacing"}, [](S& s, Args& a) {
        P3 p = s.entry().point(kGridSpacing, {10, 10, 0});
        a[0] = Variant(p[0]);
        a[1] = Variant(p[1]);
        return Variant();
      });
      t.byDefault("Name");
      return t;
    }();
    return m;
  }
  std::string name;
  bool active;
};

class ViewportsObj : public DocObject<ViewportsObj> {
 public:
  using DocObject::DocObject;
  std::string typeName() const override { return "IAcadViewports"; }
  // Saved configurations by name, each once, after the active viewport.
  std::vector<std::string> names() {
    std::vector<std::string> out;
    doc->drawing->activeViewport();
    for (auto& e : doc->drawing->table("VPORT")->entries) {
      std::string n(trim(e->str(kName)));
      bool seen = false;
      for (auto& x : out) seen = seen || equalsNoCaseAscii(x, n);
      if (!seen) out.push_back(n);
    }
    return out;
  }
  ObjRef make(const std::string& n) {
    bool act = equalsNoCaseAscii(n, kActive);
    return ObjRef(makeRef<ViewportObj>(app, doc, act ? std::string(kActive) : n, act));
  }
  std::vector<Variant> enumerate() override {
    check();
    std::vector<Variant> out;
    for (auto& n : names()) out.emplace_back(make(n));
    return out;
  }
  static const Members<ViewportsObj>& members() {
    static const Members<ViewportsObj> m = [] {
      Members<ViewportsObj> t;
      using S = ViewportsObj;
      t.property("Count", [](S& s, Args&) { return Variant(int32_t(s.names().size())); });
      t.method("Item", {"Index"}, [](S& s, Args& a) {
        auto names = s.names();
        if (a[0].isString()) {
          std::string n = toDrawing(a[0].str(), *s.doc->drawing);
          for (auto& x : names)
            if (equalsNoCaseAscii(x, trim(n))) return Variant(s.make(x));
          throw ComError(hr::DISP_E_BADINDEX, "No viewport is named \"" + n + "\"");
        }
        int32_t i = toI4(a[0]);
        if (i < 0 || i >= static_cast<int32_t>(names.size()))
          throw ComError(hr::DISP_E_BADINDEX, "No viewport has the index " + std::to_string(i));
        return Variant(s.make(names[static_cast<size_t>(i)]));
      });
      t.method("Add", {"Name"}, [](S& s, Args& a) {
        std::string name = toDrawing(u16(checkName(a[0], "viewport")), *s.doc->drawing);
        Document& d = *s.doc->drawing;
        if (d.tableEntry("VPORT", name)) throw ComError(hr::E_INVALIDARG, "Duplicate viewport name \"" + name + "\"");
        // A new configuration starts as a copy of what the active viewport shows.
        Body b = copyBody(d.activeViewport(), name);
        d.addTableEntry("VPORT", "VPORT", b);
        s.doc->saved = false;
        return Variant(s.make(name));
      });
      t.method("DeleteConfiguration", {"Name"}, [](S& s, Args& a) {
        std::string name = toDrawing(toBStr(a[0]), *s.doc->drawing);
        if (equalsNoCaseAscii(trim(name), kActive))
          throw ComError(hr::E_INVALIDARG, "The active viewport cannot be deleted");
        if (s.doc->drawing->removeTableEntries("VPORT", name) == 0)
          throw ComError(hr::DISP_E_BADINDEX, "No viewport configuration is named \"" + name + "\"");
        if (equalsNoCaseAscii(s.doc->activeConfig, trim(name))) s.doc->activeConfig = kActive;
        s.doc->saved = false;
        return Variant();
      });
      t.byDefault("Item");
      return t;
    }();
    return m;
  }
};

ObjRef viewportsObject(const AppPtr& app, const DocPtr& doc) { return ObjRef(makeRef<ViewportsObj>(app, doc)); }

ObjRef activeViewportObject(const AppPtr& app, const DocPtr& doc) {
  return ObjRef(makeRef<ViewportObj>(app, doc, std::string(kActive), true));
}

void setActiveViewport(const DocPtr& doc, const Variant& v) {
  auto vp = refCast<ViewportObj>(objectOf(v));
  if (!vp || vp->doc != doc) throw ComError(hr::E_INVALIDARG, "Not a viewport of this document");
  vp->check();
  if (vp->active) return;
  Entity& src = vp->entry();
  Entity& dst = doc->drawing->activeViewport();
  for (int code : kViewportCodes) {
    int i = src.find(code);
    if (i >= 0) dst.set(code, std::string(src.pool().view(src.tags[static_cast<size_t>(i)])));
  }
  doc->activeConfig = vp->name;
  doc->history.clear();  // the previous views belonged to the other configuration
  doc->saved = false;
}

}  // namespace tlx::platform::cad
