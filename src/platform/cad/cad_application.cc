#include <filesystem>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "platform/app/documents.h"
#include "platform/cad/cad_model.h"
#include "platform/cad/drawing_application.h"
#include "platform/app/recovery.h"

namespace tlx::platform::cad {

namespace {

constexpr const char* kProgId = "AutoCAD.Application";
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005);
constexpr HRESULT FILE_MISSING = static_cast<HRESULT>(0x80070002);

int windowStateArg(const Variant& v) {
  int32_t s = toI4(v);
  if (s < 1 || s > 3) throw ComError(hr::E_INVALIDARG, "Invalid window state: " + std::to_string(s));
  return s;
}

// The height that shows all of `b` in a view of the given width / height.
double fitHeight(const Box& b, double aspect) {
  return std::max(b.maxY - b.minY, (b.maxX - b.minX) / aspect);
}

void zoomToBox(DocCore& d, const Box& b) {
  ViewState v = d.drawing->view();
  double h = fitHeight(b, v.aspect);
  v.cx = (b.minX + b.maxX) / 2;
  v.cy = (b.minY + b.maxY) / 2;
  if (h > 0) v.height = h;
  d.zoomTo(v);
}

Box extentsOrLimits(Document& drawing) {
  Box b = drawing.modelExtents();
  return b.empty() ? drawing.limits() : b;
}

// At process exit the running-object table lets go of applications after the desktop is gone.
bool desktopGone = false;
struct DesktopWatch {
  ~DesktopWatch() { desktopGone = true; }
};

P3 pick(const char* prompt) {
  auto p = Desktop::instance().pick(u16(prompt));
  if (!p) throw ComError(E_ABORT, "The point pick was cancelled");
  return {(*p)[0], (*p)[1], (*p)[2]};
}

}  // namespace

// ---- state ------------------------------------------------------------------------------------

void DocCore::save(const std::string& path) {
  try {
    drawing->save(path);
  } catch (const std::exception& e) {
    throw ComError(hr::E_FAIL, e.what());
  }
  saved = true;
}

void DocCore::zoomTo(const ViewState& v) {
  if (!(v.height > 0) || !std::isfinite(v.height) || !std::isfinite(v.cx) || !std::isfinite(v.cy))
    throw ComError(hr::E_INVALIDARG, "Invalid view");
  history.push_back(drawing->view());
  if (history.size() > 100) history.erase(history.begin());
  drawing->setView(v);
  saved = false;
}

std::u16string AppCore::caption() const {
  return std::u16string(active ? u16("AutoCAD - [" + active->name + "]") : BStr(u"AutoCAD"));
}

void AppCore::refreshCaption() {
  if (window) Desktop::instance().setTitle(window, caption());
}

void AppCore::activate(const DocPtr& doc) {
  active = doc;
  refreshCaption();
}

void AppCore::close(const DocPtr& listed) {
  closeDocument(listed)->drawing.reset();
  refreshCaption();
}

DocCore& AppCore::activeDoc() {
  if (!active) throw ComError(hr::E_FAIL, "No document is open");
  return *active;
}

// An opened or new drawing joins the open ones, active, and is listed for saving at host exit
// while it has unsaved changes.
DocPtr AppCore::keep(const DocPtr& doc) {
  adopt(doc, ".dxf", [](DocCore& d, const std::string& path) { d.drawing->save(path); });
  refreshCaption();
  return doc;
}

std::shared_ptr<DocCore> AppCore::addDocument(const std::string& templatePath) {
  auto doc = std::make_shared<DocCore>();
  try {
    doc->drawing = templatePath.empty() ? Document::create() : Document::load(absolutePath(templatePath));
  } catch (const DxfError& e) {
    throw ComError(hr::E_FAIL, "Invalid template \"" + templatePath + "\": " + e.what());
  } catch (const std::exception& e) {
    throw ComError(FILE_MISSING, "Template not found: \"" + templatePath + "\"");
  }
  doc->name = "Drawing" + std::to_string(nextNumber++) + ".dwg";
  std::error_code ec;
  doc->folder = std::filesystem::current_path(ec).string();
  if (doc->folder == "/") doc->folder.clear();
  return keep(doc);
}

std::shared_ptr<DocCore> AppCore::openDocument(const std::string& path, bool readOnly) {
  if (path.empty()) throw ComError(hr::E_INVALIDARG, "No file name given");
  std::string full = absolutePath(path);
  for (auto& d : docs)
    if (d->fullName() == full) {
      activate(d);
      return d;
    }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(full, ec))
    throw ComError(FILE_MISSING, "File not found: \"" + path + "\"");
  auto doc = std::make_shared<DocCore>();
  try {
    doc->drawing = Document::load(full);
  } catch (const std::exception& e) {
    throw ComError(hr::E_FAIL, "Cannot open \"" + path + "\": " + e.what());
  }
  std::filesystem::path p(full);
  doc->name = p.filename().string();
  doc->folder = p.parent_path().string();
  if (doc->folder == "/") doc->folder.clear();
  doc->readOnly = readOnly;
  return keep(doc);
}


// ---- objects ----------------------------------------------------------------------------------

class UtilityObj : public DocObject<UtilityObj> {
 public:
  using DocObject::DocObject;
  std::string typeName() const override { return "IAcadUtility"; }
  static const Members<UtilityObj>& members() {
    static const Members<UtilityObj> m = [] {
      Members<UtilityObj> t;
      t.method("GetPoint", {"Point", "Prompt"}, [](UtilityObj&, Args& a) {
        std::string prompt = a.has(1) ? toUtf8(a.value(1)) : std::string();
        return pointVariant(pick(prompt.c_str()));
      });
      return t;
    }();
    return m;
  }
};

class DocumentObj : public DocObject<DocumentObj> {
 public:
  DocumentObj(AppPtr a, DocPtr d) : DocObject(std::move(a), std::move(d)) { doc->wrapper = this; }
  ~DocumentObj() override {
    if (doc->wrapper == this) doc->wrapper = nullptr;
  }
  std::string typeName() const override { return "IAcadDocument"; }

  void saveAs(const Variant& name) {
    std::string full = absolutePath(toUtf8(name));
    if (toUtf8(name).empty()) throw ComError(hr::E_INVALIDARG, "No file name given");
    for (auto& d : app->docs)
      if (d != doc && d->fullName() == full)
        throw ComError(E_ACCESSDENIED, "\"" + full + "\" is open as another document");
    doc->save(full);
    std::filesystem::path p(full);
    doc->name = p.filename().string();
    doc->folder = p.parent_path().string();
    if (doc->folder == "/") doc->folder.clear();
    doc->readOnly = false;
    app->refreshCaption();
  }

  static const Members<DocumentObj>& members() {
    static const Members<DocumentObj> m = [] {
      Members<DocumentObj> t;
      t.method("Activate", {}, [](DocumentObj& s, Args&) {
        s.app->activate(s.doc);
        return Variant();
      });
      t.property("Name", [](DocumentObj& s, Args&) { return Variant(u16(s.doc->name)); });
      t.property("Path", [](DocumentObj& s, Args&) { return Variant(u16(s.doc->folder)); });
      t.property("FullName", [](DocumentObj& s, Args&) { return Variant(u16(s.doc->fullName())); });
      t.property("ReadOnly", [](DocumentObj& s, Args&) { return Variant(s.doc->readOnly); });
      t.property("Saved", [](DocumentObj& s, Args&) { return Variant(s.doc->saved); });
      t.method("Save", {}, [](DocumentObj& s, Args&) {
        if (s.doc->readOnly) throw ComError(E_ACCESSDENIED, "The drawing was opened read-only");
        s.doc->save(s.doc->fullName());
        return Variant();
      });
      t.method("SaveAs", {"FullFileName", "SaveAsType"}, [](DocumentObj& s, Args& a) {
        s.saveAs(a[0]);
        return Variant();
      });
      t.method("Close", {"SaveChanges", "FileName"}, [](DocumentObj& s, Args& a) {
        // Unsaved changes are dropped unless the caller asks to keep them: no one can be asked.
        if (a.has(0) && toBool(a.value(0))) {
          if (a.has(1) && !toUtf8(a.value(1)).empty()) s.saveAs(a.value(1));
          else if (s.doc->readOnly) throw ComError(E_ACCESSDENIED, "The drawing was opened read-only");
          else s.doc->save(s.doc->fullName());
        }
        AppPtr app = s.app;
        app->close(s.doc);
        return Variant();
      });
      t.property(
          "WindowState", [](DocumentObj& s, Args&) { return Variant(int32_t(s.doc->windowState)); },
          [](DocumentObj& s, Args&, const Variant& v) { s.doc->windowState = windowStateArg(v); });
      t.method("Regen", {"WhichViewports"}, [](DocumentObj& s, Args& a) {
        int32_t which = toI4(a[0]);
        if (which != 0 && which != 1) throw ComError(hr::E_INVALIDARG, "Invalid viewport selection");
        s.doc->drawing->updateExtents();
        return Variant();
      });
      t.property("ModelSpace", [](DocumentObj& s, Args&) { return Variant(spaceObject(s.app, s.doc, false)); });
      t.property("PaperSpace", [](DocumentObj& s, Args&) { return Variant(spaceObject(s.app, s.doc, true)); });
      t.property("Utility", [](DocumentObj& s, Args&) { return Variant(ObjRef(makeRef<UtilityObj>(s.app, s.doc))); });
      t.property("Views", [](DocumentObj& s, Args&) { return Variant(viewsObject(s.app, s.doc)); });
      t.property("Viewports", [](DocumentObj& s, Args&) { return Variant(viewportsObject(s.app, s.doc)); });
      t.property(
          "ActiveViewport", [](DocumentObj& s, Args&) { return Variant(activeViewportObject(s.app, s.doc)); },
          [](DocumentObj& s, Args&, const Variant& v) { setActiveViewport(s.doc, v); });
      t.property("Application", [](DocumentObj& s, Args&) { return Variant(ObjRef(s.app->wrapper)); });
      t.byDefault("Name");
      return t;
    }();
    return m;
  }
};

ObjRef documentObject(const AppPtr& app, const DocPtr& doc) {
  if (doc->wrapper) return ObjRef(doc->wrapper);
  return ObjRef(makeRef<DocumentObj>(app, doc));
}

class DocumentsObj : public AppObject<DocumentsObj> {
 public:
  using AppObject::AppObject;
  std::string typeName() const override { return "IAcadDocuments"; }
  std::vector<Variant> enumerate() override {
    check();
    return app::objectsOf(app->docs, [&](const DocPtr& d) { return documentObject(app, d); });
  }
  static const Members<DocumentsObj>& members() {
    static const Members<DocumentsObj> m = [] {
      Members<DocumentsObj> t;
      t.property("Count", [](DocumentsObj& s, Args&) { return Variant(int32_t(s.app->docs.size())); });
      // Positions count from 0 here.
      t.method("Item", {"Index"}, [](DocumentsObj& s, Args& a) {
        auto missing = [](const Variant& key) {
          return ComError(hr::DISP_E_BADINDEX, key.isString() ? "No document is named \"" + u8(key.str()) + "\""
                                                              : "No document has the index " + std::to_string(toI4(key)));
        };
        auto& d = app::itemByKey(s.app->docs, a[0], 0, [](const DocCore& c) { return c.name; }, missing);
        return Variant(documentObject(s.app, d));
      });
      t.method("Add", {"TemplateName"}, [](DocumentsObj& s, Args& a) {
        std::string tmpl = a.has(0) ? toUtf8(a.value(0)) : std::string();
        return Variant(documentObject(s.app, s.app->addDocument(tmpl)));
      });
      t.method("Open", {"Name", "ReadOnly", "Password"}, [](DocumentsObj& s, Args& a) {
        bool ro = a.has(1) && toBool(a.value(1));
        return Variant(documentObject(s.app, s.app->openDocument(toUtf8(a[0]), ro)));
      });
      t.method("Close", {}, [](DocumentsObj& s, Args&) {
        while (!s.app->docs.empty()) s.app->close(s.app->docs.back());
        return Variant();
      });
      t.property("Application", [](DocumentsObj& s, Args&) { return Variant(ObjRef(s.app->wrapper)); });
      t.byDefault("Item");
      return t;
    }();
    return m;
  }
};

class ApplicationObj : public app::ApplicationObject<ApplicationObj, AppCore> {
 public:
  ApplicationObj() {
    Desktop::instance();
    static DesktopWatch watch;  // made after the desktop, so ended before it
    app->addDocument("");
    app->window = Desktop::instance().openWindow(app->caption(), app->visible);
  }
  ~ApplicationObj() override {
    if (app->alive && app->window && !desktopGone) Desktop::instance().closeWindow(app->window);
  }
  std::string typeName() const override { return "IAcadApplication"; }

  void quit() {
    ObjRef keep(this);  // ending the application may let go of the last other reference
    app::endApplication(kProgId, this, *app, [&](const DocPtr& d) { app->close(d); });
    if (app->window) Desktop::instance().closeWindow(app->window);
    app->window = 0;
  }

  static const Members<ApplicationObj>& members() {
    static const Members<ApplicationObj> m = [] {
      Members<ApplicationObj> t;
      t.property("Caption", [](ApplicationObj& s, Args&) { return Variant(s.app->caption()); });
      t.property("Name", [](ApplicationObj&, Args&) { return Variant(u"AutoCAD"); });
      t.property("Version", [](ApplicationObj&, Args&) { return Variant(u"16.0s (LMS Tech)"); });
      t.property(
          "Visible", [](ApplicationObj& s, Args&) { return Variant(s.app->visible); },
          [](ApplicationObj& s, Args&, const Variant& v) {
            s.app->visible = toBool(v);
            Desktop::instance().setVisible(s.app->window, s.app->visible);
          });
      t.property(
          "WindowState", [](ApplicationObj& s, Args&) { return Variant(int32_t(s.app->windowState)); },
          [](ApplicationObj& s, Args&, const Variant& v) { s.app->windowState = windowStateArg(v); });
      t.property(
          "ActiveDocument",
          [](ApplicationObj& s, Args&) {
            s.app->activeDoc();
            return Variant(documentObject(s.app, s.app->active));
          },
          [](ApplicationObj& s, Args&, const Variant& v) {
            auto d = refCast<DocumentObj>(objectOf(v));
            if (!d || d->app != s.app) throw ComError(hr::E_INVALIDARG, "Not a document of this application");
            d->check();
            s.app->activate(d->doc);
          });
      t.property("Documents", [](ApplicationObj& s, Args&) { return Variant(ObjRef(makeRef<DocumentsObj>(s.app))); });
      t.property("Application", [](ApplicationObj& s, Args&) { return Variant(ObjRef(&s)); });
      t.method("Update", {}, [](ApplicationObj&, Args&) { return Variant(); });
      t.method("ZoomWindow", {"LowerLeft", "UpperRight"}, [](ApplicationObj& s, Args& a) {
        DocCore& d = s.app->activeDoc();
        P3 p1 = toPoint(a[0]), p2 = toPoint(a[1]);
        double w = std::abs(p2[0] - p1[0]), h = std::abs(p2[1] - p1[1]);
        if (w == 0 && h == 0) throw ComError(hr::E_INVALIDARG, "The zoom window has no area");
        ViewState v = d.drawing->view();
        v.cx = (p1[0] + p2[0]) / 2, v.cy = (p1[1] + p2[1]) / 2;
        v.height = std::max(h, w / v.aspect);
        d.zoomTo(v);
        return Variant();
      });
      t.method("ZoomCenter", {"Center", "Magnify"}, [](ApplicationObj& s, Args& a) {
        DocCore& d = s.app->activeDoc();
        P3 c = toPoint(a[0]);
        double mag = toDouble(a[1]);
        if (mag < 0 || !std::isfinite(mag)) throw ComError(hr::E_INVALIDARG, "Invalid view height");
        ViewState v = d.drawing->view();
        v.cx = c[0], v.cy = c[1];
        if (mag > 0) v.height = mag;  // 0 keeps the current height
        d.zoomTo(v);
        return Variant();
      });
      t.method("ZoomScaled", {"Scale", "ScaleType"}, [](ApplicationObj& s, Args& a) {
        DocCore& d = s.app->activeDoc();
        double scale = toDouble(a[0]);
        int32_t type = toI4(a[1]);
        if (!(scale > 0) || !std::isfinite(scale)) throw ComError(hr::E_INVALIDARG, "Invalid zoom scale");
        if (type < 0 || type > 2) throw ComError(hr::E_INVALIDARG, "Invalid zoom scale type");
        ViewState v = d.drawing->view();
        // Absolute scales are relative to the drawing limits; the model has no paper space
        // viewport scale here, so relative-to-paper-space scales the current view.
        v.height = type == 0 ? fitHeight(d.drawing->limits(), v.aspect) / scale : v.height / scale;
        d.zoomTo(v);
        return Variant();
      });
      t.method("ZoomPickWindow", {}, [](ApplicationObj& s, Args&) {
        DocCore& d = s.app->activeDoc();
        P3 p1 = pick("Specify first corner: ");
        P3 p2 = pick("Specify opposite corner: ");
        Box b;
        b.add(p1[0], p1[1]);
        b.add(p2[0], p2[1]);
        if (b.maxX == b.minX && b.maxY == b.minY) throw ComError(hr::E_INVALIDARG, "The zoom window has no area");
        zoomToBox(d, b);
        return Variant();
      });
      t.method("ZoomAll", {}, [](ApplicationObj& s, Args&) {
        DocCore& d = s.app->activeDoc();
        Box b = d.drawing->limits();
        b.add(d.drawing->modelExtents());
        zoomToBox(d, b);
        return Variant();
      });
      t.method("ZoomExtents", {}, [](ApplicationObj& s, Args&) {
        DocCore& d = s.app->activeDoc();
        zoomToBox(d, extentsOrLimits(*d.drawing));
        return Variant();
      });
      t.method("ZoomPrevious", {}, [](ApplicationObj& s, Args&) {
        DocCore& d = s.app->activeDoc();
        if (d.history.empty()) throw ComError(hr::E_FAIL, "No previous view to restore");
        d.drawing->setView(d.history.back());
        d.history.pop_back();
        d.saved = false;
        return Variant();
      });
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

}  // namespace tlx::platform::cad

namespace tlx {

ObjRef newDrawingApplication() { return ObjRef(makeRef<platform::cad::ApplicationObj>()); }

void registerDrawingApplication() { platform::app::registerApplication(platform::cad::kProgId, newDrawingApplication); }

}  // namespace tlx
