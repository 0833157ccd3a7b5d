// Choosing the held document: open, add, activate, save and close drawings, and reading the
// held document's name, path and the open documents.
#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "cad/acad_steps.h"
#include "cad/cad_methods.h"

namespace tlx {

using namespace cad;

namespace {

// The name a freshly started application gives its untouched first drawing.
constexpr std::u16string_view kUntouchedDrawing = u"drawing1.dwg";

ObjRef documents(const AcadContext& ctx) { return objectProperty(ctx.objAcadApp, "Documents"); }
ObjRef activeDocument(const AcadContext& ctx) { return objectProperty(ctx.objAcadApp, "ActiveDocument"); }

// Without a file name: the untouched first drawing of a new instance, else a new drawing.
int16_t holdNewDrawing(const AcadContext& ctx, ErrorFrame& f, bool blnSwitchToAutoCAD,
                       int32_t lngWindowStateDocument) {
  BStr activeName;
  // No active document at all is not a failure here: there is simply no untouched drawing.
  ErrorFrame probe;
  probe.step([&] { activeName = lcase(toBStr(getProperty(activeDocument(ctx), "Name"))); });
  if (activeName == kUntouchedDrawing)
    f.step([&] { ctx.objAcadDoc = activeDocument(ctx); });
  else
    f.step([&] { ctx.objAcadDoc = objectOf(callMethod(documents(ctx), "Add")); });
  f.step([&] { putProperty(ctx.objAcadDoc, "WindowState", clampWindowState(lngWindowStateDocument)); });
  if (blnSwitchToAutoCAD)
    f.step([&] { activateAcadWindow(ctx); });
  else
    f.step([&] { activateHostWindow(ctx); });
  if (!f.pending()) return 1;
  ctx.site.messageBox(u16(f.error().description()));
  return -3;
}

// The open document whose folder and name match `strDocument` without regard to case; a bare
// name is looked for in the active document's folder.
ObjRef findOpenDocument(const AcadContext& ctx, ErrorFrame& f, const BStr& strDocument) {
  int32_t count = 0;
  f.step([&] { count = toI4(getProperty(documents(ctx), "Count")); });
  if (count <= 0) return {};
  BStr folder;
  if (!f.step([&] { folder = lcase(toBStr(getProperty(activeDocument(ctx), "Path"))); })) {
    f.enter();
    return {};
  }
  BStr name = lcase(strDocument);
  if (size_t slash = strDocument.rfind(u'/'); slash != BStr::npos) {
    folder = lcase(strDocument.substr(0, slash));
    name = lcase(strDocument.substr(slash + 1));
  }
  for (int32_t i = 0; i < count; ++i) {
    ObjRef doc;
    bool same = false;
    f.step([&] {
      doc = objectOf(callMethod(documents(ctx), "Item", {Variant(i)}));
      same = lcase(toBStr(getProperty(doc, "Path"))) == folder && lcase(toBStr(getProperty(doc, "Name"))) == name;
    });
    if (same) return doc;
  }
  return {};
}

}  // namespace

int16_t OpenDocument(const AcadContext& ctx, const BStr& strDocument, bool blnSwitchToAutoCAD,
                     bool blnReadOnly, bool blnHideAutoCAD, int32_t lngWindowStateAutoCAD,
                     int32_t lngWindowStateDocument) {
  ErrorFrame f;
  f.enter();
  isAutoCADUp(ctx, f);
  if (!ctx.objAcadApp) {
    f.enter();
    f.step([&] { ctx.objAcadApp = createObject(kAcadProgId); });
    if (f.pending() || !ctx.objAcadApp) return -1;
    if (blnHideAutoCAD) {
      f.step([&] { putProperty(ctx.objAcadApp, "Visible", false); });
    } else {
      f.step([&] { putProperty(ctx.objAcadApp, "Visible", true); });
      f.step([&] { putProperty(ctx.objAcadApp, "WindowState", clampWindowState(lngWindowStateAutoCAD)); });
    }
  }
  if (strDocument.empty()) return holdNewDrawing(ctx, f, blnSwitchToAutoCAD, lngWindowStateDocument);

  if (ObjRef found = findOpenDocument(ctx, f, strDocument)) {
    f.step([&] { callMethod(found, "Activate"); });
    f.step([&] { ctx.objAcadDoc = activeDocument(ctx); });
  } else if (!f.step([&] { ctx.objAcadDoc = objectOf(callMethod(documents(ctx), "Open", {strDocument, blnReadOnly})); })) {
    ctx.objAcadApp.reset();
    return -2;
  }
  f.step([&] { putProperty(ctx.objAcadDoc, "WindowState", 3); });
  if (blnSwitchToAutoCAD)
    f.step([&] { activateAcadWindow(ctx); });
  else
    f.step([&] { activateHostWindow(ctx); });
  return 1;
}

void AddDocument(const AcadContext& ctx, const Variant& varTemplate) {
  ErrorFrame f;
  requireAttached(ctx, f);
  f.step([&] { callMethod(documents(ctx), "Add", {varTemplate}); });
  f.step([&] { ctx.objAcadDoc = activeDocument(ctx); });
  if (f.pending()) Raise("Unable to add a document.");
}

int16_t ActivateDocument(const AcadContext& ctx, const Variant& varDocument, bool blnSwitchToAutoCAD) {
  ErrorFrame f;
  f.enter();
  if (!isAutoCADUp(ctx, f)) return -1;
  // Only a non-empty string or a positive 16-bit integer names a document; anything else means
  // the active one.
  bool named = (varDocument.type() == vtString && !varDocument.str().empty()) ||
               (varDocument.type() == vtI2 && varDocument.i2() > 0);
  if (named)
    f.step([&] { ctx.objAcadDoc = objectOf(callMethod(documents(ctx), "Item", {varDocument})); });
  else
    f.step([&] { ctx.objAcadDoc = activeDocument(ctx); });
  if (f.pending()) return -2;
  f.step([&] { callMethod(ctx.objAcadDoc, "Activate"); });
  if (blnSwitchToAutoCAD) f.step([&] { activateAcadWindow(ctx); });
  return 1;
}

BStr ActiveDocumentName(const AcadContext& ctx) {
  ErrorFrame f;
  raisingGuard(ctx, f);
  BStr name;
  f.step([&] { name = toBStr(getProperty(ctx.objAcadDoc, "Name")); });
  return name;
}

BStr ActiveDocumentPath(const AcadContext& ctx) {
  ErrorFrame f;
  raisingGuard(ctx, f);
  BStr path;
  f.step([&] { path = toBStr(getProperty(ctx.objAcadDoc, "Path")); });
  return path;
}

ObjRef GetDocumentObject(const AcadContext& ctx) {
  ErrorFrame f;
  raisingGuard(ctx, f);
  return ctx.objAcadDoc;
}

int32_t DocumentCount(const AcadContext& ctx) {
  ErrorFrame f;
  if (int16_t code = guardCode(ctx, f)) return code;
  int32_t count = 0;
  f.step([&] { count = toI4(getProperty(documents(ctx), "Count")); });
  return count;
}

int16_t GetDocumentNames(const AcadContext& ctx, Variant& varArray) {
  ErrorFrame f;
  f.enter();
  ObjRef acad, active;
  f.step([&] { acad = getObject(kAcadProgId); });
  if (!acad) return -1;
  f.step([&] { active = objectProperty(acad, "ActiveDocument"); });
  if (f.pending()) return -2;
  try {
    int32_t i = 0;
    for (const Variant& doc : required(objectProperty(acad, "Documents"))->enumerate()) {
      redimPreserveVariant(varArray, {{0, i + 1}});
      varArray.arrayRef().at(i) = getProperty(objectOf(doc), "Name");
      ++i;
    }
  } catch (...) {
    return -3;
  }
  return 1;
}

int16_t SaveDocument(const AcadContext& ctx, const BStr& strDocument) {
  ErrorFrame f;
  if (int16_t code = guardCode(ctx, f)) return code;
  if (!strDocument.empty()) {
    f.step([&] { callMethod(ctx.objAcadDoc, "SaveAs", {strDocument}); });
    f.step([&] { ctx.objAcadDoc = activeDocument(ctx); });
  } else {
    f.step([&] { callMethod(ctx.objAcadDoc, "Save"); });
  }
  return f.pending() ? -3 : 1;
}

void CloseDocument(const AcadContext& ctx, bool blnSave) {
  ErrorFrame f;
  requireAttached(ctx, f);
  f.step([&] { callMethod(ctx.objAcadDoc, "Close", {blnSave}); });
  if (f.pending()) Raise("Unable to close document.");
}

}  // namespace tlx
