// Inside the drawing application: the state behind the automation objects.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "talvex/dispatch.h"
#include "platform/app/documents.h"
#include "platform/cad/dxf_document.h"
#include "platform/desktop/desktop.h"

namespace tlx::platform::cad {

struct AppCore;

// Named "Drawing1.dwg" until saved, then by its file name.
struct DocCore : app::DocumentState {
  std::weak_ptr<AppCore> app;
  std::unique_ptr<Document> drawing;
  std::string folder;  // without a trailing "/"
  bool readOnly = false;
  bool saved = true;   // no change since the last save
  int windowState = 1;
  std::vector<ViewState> history;
  std::string activeConfig = "*Active";  // the viewport configuration last made active
  Dispatch* wrapper = nullptr;           // the Document object, while one exists
  // Deleted entities stay allocated while the document lives: objects may still point at them.
  std::vector<std::unique_ptr<Entity>> erased;

  std::string fullName() const { return folder + "/" + name; }
  void save(const std::string& path);
  // Changes the active view, remembering the one before for ZoomPrevious.
  void zoomTo(const ViewState& v);
};

struct AppCore : app::Instance<DocCore> {
  static constexpr const char* kEnded = "The drawing application has ended";
  static constexpr const char* kClosed = "The document has been closed";
  bool visible = true;
  int windowState = 1;
  Desktop::WindowId window = 0;

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

// The objects of the application as a whole, and those inside one document.
template <class Self>
using AppObject = app::AppObject<Self, AppCore>;
template <class Self>
using DocObject = app::DocObject<Self, AppCore>;

// Values across the automation boundary.
P3 toPoint(const Variant& v);
Variant pointVariant(const P3& p, int n = 3);
// Drawing text <-> automation text: UTF-8 in R2007 and later, otherwise the code page with
// \U+XXXX escapes for what it cannot hold.
BStr fromDrawing(std::string_view s, const Document& doc);
std::string toDrawing(std::u16string_view s, const Document& doc);
// A symbol table name ("Plan 1"): not empty, no reserved characters; raises E_INVALIDARG.
std::string checkName(const Variant& v, const char* what);
using app::absolutePath;

ObjRef documentObject(const AppPtr& app, const DocPtr& doc);
ObjRef spaceObject(const AppPtr& app, const DocPtr& doc, bool paper);
ObjRef entityObject(const AppPtr& app, const DocPtr& doc, Entity* e);
ObjRef viewsObject(const AppPtr& app, const DocPtr& doc);
ObjRef viewportsObject(const AppPtr& app, const DocPtr& doc);
ObjRef activeViewportObject(const AppPtr& app, const DocPtr& doc);
void setActiveViewport(const DocPtr& doc, const Variant& viewport);

}  // namespace tlx::platform::cad
