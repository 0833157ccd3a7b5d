// The control's drawing-application methods: attaching, documents, zoom, views, viewports and
// entities.
// Each takes the control's held references and host site, plus its arguments as declared.
// Status-code methods return 1 or a negative code; the others raise the control's error.
#pragma once

#include <cstdint>

#include "talvex/variant.h"
#include "cad/acad_context.h"

namespace tlx {

// Application control.
bool IsAutoCADUp(const AcadContext& ctx);
void SwitchToAutoCAD(const AcadContext& ctx);
int16_t GetAutoCADObject(const AcadContext& ctx, Variant& objAutoCADApp);
int16_t GetVersion(const AcadContext& ctx);
void HideAutoCAD(const AcadContext& ctx);
void UnhideAutoCAD(const AcadContext& ctx);
void CloseAutoCAD(const AcadContext& ctx, bool blnSave);

// Documents.
int16_t OpenDocument(const AcadContext& ctx, const BStr& strDocument, bool blnSwitchToAutoCAD,
                     bool blnReadOnly, bool blnHideAutoCAD, int32_t lngWindowStateAutoCAD,
                     int32_t lngWindowStateDocument);
void AddDocument(const AcadContext& ctx, const Variant& varTemplate);
int16_t ActivateDocument(const AcadContext& ctx, const Variant& varDocument, bool blnSwitchToAutoCAD);
BStr ActiveDocumentName(const AcadContext& ctx);
BStr ActiveDocumentPath(const AcadContext& ctx);
ObjRef GetDocumentObject(const AcadContext& ctx);
int32_t DocumentCount(const AcadContext& ctx);
int16_t GetDocumentNames(const AcadContext& ctx, Variant& varArray);
int16_t SaveDocument(const AcadContext& ctx, const BStr& strDocument);
void CloseDocument(const AcadContext& ctx, bool blnSave);

// Zoom and regeneration.
int16_t Zoom(const AcadContext& ctx, double dblStartPtX, double dblStartPtY, double dblStartPtZ,
             double dblEndPtX, double dblEndPtY, double dblEndPtZ);
int16_t ZoomCenter(const AcadContext& ctx, double dblCenterPtX, double dblCenterPtY,
                   double dblCenterPtZ, double dblMagnify);
int16_t ZoomScaled(const AcadContext& ctx, double dblScale, int32_t lngScaleType);
int16_t ZoomPick(const AcadContext& ctx);
int16_t ZoomAll(const AcadContext& ctx);
int16_t ZoomExtents(const AcadContext& ctx);
int16_t ZoomPrevious(const AcadContext& ctx);
int16_t Regenerate(const AcadContext& ctx, int32_t lngViewPort);

// Named views, viewports and grid.
ObjRef CreateView(const AcadContext& ctx, const BStr& strName);
ObjRef CreateViewPort(const AcadContext& ctx, const BStr& strName);
int16_t DeleteView(const AcadContext& ctx, const BStr& strName);
int16_t SetViewPort(const AcadContext& ctx, const BStr& strName);
int16_t SetGridSpacing(const AcadContext& ctx, double Xspace, double Yspace, const BStr& strViewPort,
                       bool blnGrid);
int16_t DeleteViewPort(const AcadContext& ctx, const BStr& strName);

// Entity creation: the new entity, or a raise.
ObjRef CreateLine(const AcadContext& ctx, int32_t lngDrawingSpace, bool blnManualInsert, bool blnSwitchToApp,
                  double dblStartPtX, double dblStartPtY, double dblStartPtZ, double dblEndPtX, double dblEndPtY,
                  double dblEndPtZ);
ObjRef CreateArc(const AcadContext& ctx, double dblRadius, double dblStartAngle, double dblEndAngle,
                 int32_t lngDrawingSpace, bool blnManualInsert, bool blnSwitchToApp, double dblCenterPtX,
                 double dblCenterPtY, double dblCenterPtZ);
ObjRef CreateCircle(const AcadContext& ctx, double dblRadius, int32_t lngDrawingSpace, bool blnManualInsert,
                    bool blnSwitchToApp, double dblCenterPtX, double dblCenterPtY, double dblCenterPtZ);
ObjRef CreateEllipse(const AcadContext& ctx, double dblRadiusRatio, int32_t lngDrawingSpace, bool blnManualInsert,
                     bool blnSwitchToApp, double dblCenterPtX, double dblCenterPtY, double dblCenterPtZ,
                     double dblMajorAxisPtX, double dblMajorAxisPtY, double dblMajorAxisPtZ);
ObjRef CreateCone(const AcadContext& ctx, double dblBaseRadius, double dblHeight, int32_t lngDrawingSpace,
                  bool blnManualInsert, bool blnSwitchToApp, double dblCenterPtX, double dblCenterPtY,
                  double dblCenterPtZ);
ObjRef CreateBox(const AcadContext& ctx, double dblLength, double dblWidth, double dblHeight, int32_t lngDrawingSpace,
                 bool blnManualInsert, bool blnSwitchToApp, double dblOriginPtX, double dblOriginPtY,
                 double dblOriginPtZ);
ObjRef CreateMultilineText(const AcadContext& ctx, double dblWidth, const BStr& strText, int32_t lngDrawingSpace,
                           bool blnManualInsert, bool blnSwitchToApp, double dblInsertPtX, double dblInsertPtY);
ObjRef CreateText(const AcadContext& ctx, double dblWidth, const BStr& strText, int32_t lngDrawingSpace,
                  bool blnManualInsert, bool blnSwitchToApp, double dblInsertPtX, double dblInsertPtY);

// Multiline text from arrays.
ObjRef CreateMultilineTextFromOneDArray(const AcadContext& ctx, double dblWidth, const Variant& varArray,
                                        int32_t lngDrawingSpace, bool blnManualInsert, bool blnSwitchToApp,
                                        bool blnShowBlankAsNA, double dblInsertPtX, double dblInsertPtY);
// An array of the entities, bounds 0 to n - 1.
Variant CreateMultilineTextFromTwoDArray(const AcadContext& ctx, double dblWidth, const Variant& varArray,
                                         const Variant& varSpacingArray, int32_t lngDrawingSpace,
                                         bool blnManualInsert, bool blnSwitchToApp, bool blnShowBlankAsNA,
                                         double dblInsertPtX, double dblInsertPtY);

}  // namespace tlx
