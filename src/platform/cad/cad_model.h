// Inside the drawing application: the state behind the automation objects.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "talvex/dispatch.h"
#include "platform/app/documents.h"
#include "platform/cad/dxf_document.h"
#include "platform/desktop/desktop.h"

namespace tlx::cad {

struct AppCore;

struct DocCore {
  std::weak_ptr<AppCore> app;
  std::unique_ptr<dxf::Document> drawing;
  std::string name;    // "Drawing1.dwg"
  std::string folder;  // without a trailing "/"
  bool open = true;
  bool readOnly = false;
  bool saved = true;   // no change since the last save
  int recoveryTicket = 0;  // listed for saving at host exit while open
  int windowState = 1;
  std::vector<dxf::ViewState> history;
  std::string activeConfig = "*Active";  // the viewport configuration last made active
  Dispatch* wrapper = nullptr;           // the Document object, while one exists
  // Deleted entities stay allocated while the document lives: objects may still point at them.
  std::vector<std::unique_ptr<dxf::Entity>> erased;

  std::string fullName() const { return folder + "/" + name; }
  void save(const std::string& path);
  // Changes the active view, remembering the one before for ZoomPrevious.
  void zoomTo(const dxf::ViewState& v);
};

struct AppCore {
  bool alive = true;
  bool visible = true;
  int windowState = 1;
  int nextNumber = 1;
  Desktop::WindowId window = 0;
  std::vector<std::shared_ptr<DocCore>> docs;
  std::shared_ptr<DocCore> active;
  Dispatch* wrapper = nullptr;

  std::u16string caption() const;
  void refreshCaption();
  void activate(const std::shared_ptr<DocCore>& doc);
  void close(const std::shared_ptr<DocCore>& doc);
  std::shared_ptr<DocCore> addDocument(const std::string& templatePath);
  std::shared_ptr<DocCore> openDocument(const std::string& path, bool readOnly);
  DocCore& activeDoc();

 private:
  std::shared_ptr<DocCore> keep(const std::shared_ptr<DocCore>& doc);
};

using AppPtr = std::shared_ptr<AppCore>;
using DocPtr = std::shared_ptr<DocCore>;

// Raised by every member of an object whose application has quit or whose document was closed.
[[noreturn]] void disconnected(const char* what);
void checkApp(const AppPtr& app);
void checkDoc(const AppPtr& app, const DocPtr& doc);

using app::Live;

// Values across the automation boundary.
dxf::P3 toPoint(const Variant& v);
Variant pointVariant(const dxf::P3& p, int n = 3);
std::string text8(const Variant& v);  // any value as UTF-8 text
// Drawing text <-> automation text: UTF-8 in R2007 and later, otherwise the code page with
// \U+XXXX escapes for what it cannot hold.
BStr fromDrawing(std::string_view s, const dxf::Document& doc);
std::string toDrawing(std::u16string_view s, const dxf::Document& doc);
// A symbol table name ("Plan 1"): not empty, no reserved characters; raises E_INVALIDARG.
std::string checkName(const Variant& v, const char* what);
using app::absolutePath;

ObjRef documentObject(const AppPtr& app, const DocPtr& doc);
ObjRef spaceObject(const AppPtr& app, const DocPtr& doc, bool paper);
ObjRef entityObject(const AppPtr& app, const DocPtr& doc, dxf::Entity* e);
ObjRef viewsObject(const AppPtr& app, const DocPtr& doc);
ObjRef viewportsObject(const AppPtr& app, const DocPtr& doc);
ObjRef activeViewportObject(const AppPtr& app, const DocPtr& doc);
void setActiveViewport(const DocPtr& doc, const Variant& viewport);

}  // namespace tlx::cad
