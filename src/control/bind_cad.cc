// The drawing-application methods, bound in declaration order of their parameters.
#include "cad/cad_methods.h"
#include "control/bindings.h"
#include "control/talvex.h"

namespace tlx {

namespace {

using A = CallArgs;

Variant none() { return Variant(); }

}  // namespace

std::span<const Binding> cadBindings() {
  static const std::vector<Binding> bindings = {
      // Application control.
      {"IsAutoCADUp", [](TALVEX& t, A&) { return Variant(IsAutoCADUp(t.acad())); }},
      {"SwitchToAutoCAD", [](TALVEX& t, A&) { SwitchToAutoCAD(t.acad()); return none(); }},
      {"GetAutoCADObject", [](TALVEX& t, A& a) { return Variant(GetAutoCADObject(t.acad(), a.var(0))); }},
      {"GetVersion", [](TALVEX& t, A&) { return Variant(GetVersion(t.acad())); }},
      {"HideAutoCAD", [](TALVEX& t, A&) { HideAutoCAD(t.acad()); return none(); }},
      {"UnhideAutoCAD", [](TALVEX& t, A&) { UnhideAutoCAD(t.acad()); return none(); }},
      {"CloseAutoCAD", [](TALVEX& t, A& a) { CloseAutoCAD(t.acad(), a.boolean(0)); return none(); }},
      // Documents.
      {"OpenDocument",
       [](TALVEX& t, A& a) {
         return Variant(OpenDocument(t.acad(), a.str(0), a.boolean(1), a.boolean(2), a.boolean(3), a.i4(4), a.i4(5)));
       }},
      {"AddDocument", [](TALVEX& t, A& a) { AddDocument(t.acad(), a.var(0)); return none(); }},
      {"ActivateDocument",
       [](TALVEX& t, A& a) { return Variant(ActivateDocument(t.acad(), a.var(0), a.boolean(1))); }},
      {"ActiveDocumentName", [](TALVEX& t, A&) { return Variant(ActiveDocumentName(t.acad())); }},
      {"ActiveDocumentPath", [](TALVEX& t, A&) { return Variant(ActiveDocumentPath(t.acad())); }},
      {"GetDocumentObject", [](TALVEX& t, A&) { return Variant(GetDocumentObject(t.acad())); }},
      {"DocumentCount", [](TALVEX& t, A&) { return Variant(DocumentCount(t.acad())); }},
      {"GetDocumentNames", [](TALVEX& t, A& a) { return Variant(GetDocumentNames(t.acad(), a.var(0))); }},
      {"SaveDocument", [](TALVEX& t, A& a) { return Variant(SaveDocument(t.acad(), a.str(0))); }},
      {"CloseDocument", [](TALVEX& t, A& a) { CloseDocument(t.acad(), a.boolean(0)); return none(); }},
      // Zoom and regeneration.
      {"Zoom",
       [](TALVEX& t, A& a) {
         return Variant(Zoom(t.acad(), a.r8(0), a.r8(1), a.r8(2), a.r8(3), a.r8(4), a.r8(5)));
       }},
      {"ZoomCenter",
       [](TALVEX& t, A& a) { return Variant(ZoomCenter(t.acad(), a.r8(0), a.r8(1), a.r8(2), a.r8(3))); }},
      {"ZoomScaled", [](TALVEX& t, A& a) { return Variant(ZoomScaled(t.acad(), a.r8(0), a.i4(1))); }},
      {"ZoomPick", [](TALVEX& t, A&) { return Variant(ZoomPick(t.acad())); }},
      {"ZoomAll", [](TALVEX& t, A&) { return Variant(ZoomAll(t.acad())); }},
      {"ZoomExtents", [](TALVEX& t, A&) { return Variant(ZoomExtents(t.acad())); }},
      {"ZoomPrevious", [](TALVEX& t, A&) { return Variant(ZoomPrevious(t.acad())); }},
      {"Regenerate", [](TALVEX& t, A& a) { return Variant(Regenerate(t.acad(), a.i4(0))); }},
      // Named views, viewports and grid.
      {"CreateView", [](TALVEX& t, A& a) { return Variant(CreateView(t.acad(), a.str(0))); }},
      {"CreateViewPort", [](TALVEX& t, A& a) { return Variant(CreateViewPort(t.acad(), a.str(0))); }},
      {"DeleteView", [](TALVEX& t, A& a) { return Variant(DeleteView(t.acad(), a.str(0))); }},
      {"SetViewPort", [](TALVEX& t, A& a) { return Variant(SetViewPort(t.acad(), a.str(0))); }},
      {"SetGridSpacing",
       [](TALVEX& t, A& a) {
         return Variant(SetGridSpacing(t.acad(), a.r8(0), a.r8(1), a.str(2), a.boolean(3)));
       }},
      {"DeleteViewPort", [](TALVEX& t, A& a) { return Variant(DeleteViewPort(t.acad(), a.str(0))); }},
      // Entity creation.
      {"CreateLine",
       [](TALVEX& t, A& a) {
         return Variant(CreateLine(t.acad(), a.i4(0), a.boolean(1), a.boolean(2), a.r8(3), a.r8(4), a.r8(5), a.r8(6),
                                   a.r8(7), a.r8(8)));
       }},
      {"CreateArc",
       [](TALVEX& t, A& a) {
         return Variant(CreateArc(t.acad(), a.r8(0), a.r8(1), a.r8(2), a.i4(3), a.boolean(4), a.boolean(5), a.r8(6),
                                  a.r8(7), a.r8(8)));
       }},
      {"CreateCircle",
       [](TALVEX& t, A& a) {
         return Variant(CreateCircle(t.acad(), a.r8(0), a.i4(1), a.boolean(2), a.boolean(3), a.r8(4), a.r8(5), a.r8(6)));
       }},
      {"CreateEllipse",
       [](TALVEX& t, A& a) {
         return Variant(CreateEllipse(t.acad(), a.r8(0), a.i4(1), a.boolean(2), a.boolean(3), a.r8(4), a.r8(5), a.r8(6),
                                      a.r8(7), a.r8(8), a.r8(9)));
       }},
      {"CreateCone",
       [](TALVEX& t, A& a) {
         return Variant(CreateCone(t.acad(), a.r8(0), a.r8(1), a.i4(2), a.boolean(3), a.boolean(4), a.r8(5), a.r8(6),
                                   a.r8(7)));
       }},
      {"CreateBox",
       [](TALVEX& t, A& a) {
         return Variant(CreateBox(t.acad(), a.r8(0), a.r8(1), a.r8(2), a.i4(3), a.boolean(4), a.boolean(5), a.r8(6),
                                  a.r8(7), a.r8(8)));
       }},
      {"CreateMultilineText",
       [](TALVEX& t, A& a) {
         return Variant(CreateMultilineText(t.acad(), a.r8(0), a.str(1), a.i4(2), a.boolean(3), a.boolean(4), a.r8(5),
                                            a.r8(6)));
       }},
      {"CreateText",
       [](TALVEX& t, A& a) {
         return Variant(CreateText(t.acad(), a.r8(0), a.str(1), a.i4(2), a.boolean(3), a.boolean(4), a.r8(5), a.r8(6)));
       }},
      // Multiline text from arrays.
      {"CreateMultilineTextFromOneDArray",
       [](TALVEX& t, A& a) {
         return Variant(CreateMultilineTextFromOneDArray(t.acad(), a.r8(0), a.var(1), a.i4(2), a.boolean(3),
                                                         a.boolean(4), a.boolean(5), a.r8(6), a.r8(7)));
       }},
      {"CreateMultilineTextFromTwoDArray",
       [](TALVEX& t, A& a) {
         return CreateMultilineTextFromTwoDArray(t.acad(), a.r8(0), a.var(1), a.var(2), a.i4(3), a.boolean(4),
                                                 a.boolean(5), a.boolean(6), a.r8(7), a.r8(8));
       }},
  };
  return bindings;
}

}  // namespace tlx
