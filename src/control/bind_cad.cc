// The drawing-application methods.
#include "cad/cad_methods.h"
#include "control/bind.h"

namespace tlx {

std::span<const Binding> cadBindings() {
  static constexpr Binding bindings[] = {
      // Application control.
      bind<"IsAutoCADUp", IsAutoCADUp>(),
      bind<"SwitchToAutoCAD", SwitchToAutoCAD>(),
      bind<"GetAutoCADObject", GetAutoCADObject>(),
      bind<"GetVersion", GetVersion>(),
      bind<"HideAutoCAD", HideAutoCAD>(),
      bind<"UnhideAutoCAD", UnhideAutoCAD>(),
      bind<"CloseAutoCAD", CloseAutoCAD>(),
      // Documents.
      bind<"OpenDocument", OpenDocument>(),
      bind<"AddDocument", AddDocument>(),
      bind<"ActivateDocument", ActivateDocument>(),
      bind<"ActiveDocumentName", ActiveDocumentName>(),
      bind<"ActiveDocumentPath", ActiveDocumentPath>(),
      bind<"GetDocumentObject", GetDocumentObject>(),
      bind<"DocumentCount", DocumentCount>(),
      bind<"GetDocumentNames", GetDocumentNames>(),
      bind<"SaveDocument", SaveDocument>(),
      bind<"CloseDocument", CloseDocument>(),
      // Zoom and regeneration.
      bind<"Zoom", Zoom>(),
      bind<"ZoomCenter", ZoomCenter>(),
      bind<"ZoomScaled", ZoomScaled>(),
      bind<"ZoomPick", ZoomPick>(),
      bind<"ZoomAll", ZoomAll>(),
      bind<"ZoomExtents", ZoomExtents>(),
      bind<"ZoomPrevious", ZoomPrevious>(),
      bind<"Regenerate", Regenerate>(),
      // Named views, viewports and grid.
      bind<"CreateView", CreateView>(),
      bind<"CreateViewPort", CreateViewPort>(),
      bind<"DeleteView", DeleteView>(),
      bind<"SetViewPort", SetViewPort>(),
      bind<"SetGridSpacing", SetGridSpacing>(),
      bind<"DeleteViewPort", DeleteViewPort>(),
      // Entity creation.
      bind<"CreateLine", CreateLine>(),
      bind<"CreateArc", CreateArc>(),
      bind<"CreateCircle", CreateCircle>(),
      bind<"CreateEllipse", CreateEllipse>(),
      bind<"CreateCone", CreateCone>(),
      bind<"CreateBox", CreateBox>(),
      bind<"CreateMultilineText", CreateMultilineText>(),
      bind<"CreateText", CreateText>(),
      bind<"CreateMultilineTextFromOneDArray", CreateMultilineTextFromOneDArray>(),
      bind<"CreateMultilineTextFromTwoDArray", CreateMultilineTextFromTwoDArray>(),
  };
  return bindings;
}

}  // namespace tlx
