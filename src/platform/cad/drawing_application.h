// The drawing application: an automation object model ("AutoCAD.Application") over DXF drawings.
//
// Application: Caption, Visible (r/w), WindowState (r/w, 1 normal, 2 minimized, 3 maximized),
//   Version, Name, ActiveDocument (r/w), Documents, ZoomWindow(p1, p2), ZoomCenter(center,
//   magnify), ZoomScaled(scale, type), ZoomPickWindow(), ZoomAll(), ZoomExtents(), ZoomPrevious(),
//   Quit(), Application.
// Documents: Count, Item(index from 0 | name), Add([template]), Open(name, [readOnly]), Close(),
//   enumeration.
// Document: Activate(), Name, Path, FullName, ReadOnly, Saved, Save(), SaveAs(name, [type]),
//   Close([saveChanges], [fileName]), WindowState (r/w), Regen(which), ModelSpace, PaperSpace,
//   Utility, Views, Viewports, ActiveViewport (r/w), Application.
// Utility: GetPoint([basePoint], [prompt]).
// ModelSpace / PaperSpace: Count, Item(index), Name, enumeration, AddLine(start, end),
//   AddArc(center, radius, startAngle, endAngle), AddCircle(center, radius),
//   AddEllipse(center, majorAxis, radiusRatio), AddText(text, insertionPoint, height),
//   AddMText(insertionPoint, width, text), AddBox(origin, length, width, height),
//   AddCone(center, baseRadius, height) (solids centred on the point given; R2000 to R2010).
// Views / Viewports: Count, Item(name | index), Add(name), enumeration;
//   Viewports.DeleteConfiguration(name); View: Name, Center, Height, Width, Delete();
//   Viewport: Name, Center, Height, Width, GridOn (r/w), SnapOn (r/w), SetGridSpacing(x, y),
//   GetGridSpacing(x, y).
// Entities: EntityType, EntityName, ObjectName, Handle, ObjectID, OwnerID, Layer, Color, Linetype,
//   LinetypeScale, Lineweight, Visible, HasExtensionDictionary, Update(), Delete(), and by kind:
//   StartPoint, EndPoint, Center, Radius, StartAngle, EndAngle, MajorAxis, RadiusRatio,
//   TextString, InsertionPoint, Height, Width, Rotation, Name, XScaleFactor, YScaleFactor,
//   ZScaleFactor, HasAttributes, GetAttributes(), TagString.
// Points are arrays of three Doubles; angles are radians.
#pragma once

#include "talvex/dispatch.h"

namespace tlx {

// The class: createObject("AutoCAD.Application") starts a new instance with one untouched
// drawing, "Drawing1.dwg", and registers it as the running one.
void registerDrawingApplication();

// A new instance that is not registered as running.
ObjRef newDrawingApplication();

}  // namespace tlx
