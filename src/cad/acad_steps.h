// Steps shared by the drawing-application methods: attaching, the document guard in its
// status-code and raising forms, points, and window activation.
#pragma once

#include <cstdint>
#include <string_view>

#include "talvex/dispatch.h"
#include "automation/frame.h"
#include "cad/acad_context.h"

namespace tlx::cad {

inline constexpr std::string_view kAcadProgId = "AutoCAD.Application";

// IsAutoCADUp as a step of another method: a failed attach stays pending in `f` even when an
// earlier reference is still held (the guard then fails on the document).
bool isAutoCADUp(const AcadContext& ctx, ErrorFrame& f);

enum class Guard { Ok, NotAttached, NotActive };
// Enters continue-on-error mode, attaches, then activates the held document.
Guard documentGuard(const AcadContext& ctx, ErrorFrame& f);
// Status-code form: 0 when the body may go on, else -1 (not attached) or -2 (not active).
int16_t guardCode(const AcadContext& ctx, ErrorFrame& f);
// Raising form: "AutoCAD is not active." or "Document is not active.".
void raisingGuard(const AcadContext& ctx, ErrorFrame& f);
// Attach only, raising "AutoCAD is not active." when nothing is held afterwards.
void requireAttached(const AcadContext& ctx, ErrorFrame& f);

// A point: a fresh array of three Doubles X, Y, Z, indices 0 to 2.
Variant point(double x, double y, double z);
// An object-valued property (collections, documents, viewports).
ObjRef objectProperty(const ObjRef& obj, std::string_view name);
// An object to pass on; an empty one fails the step instead of reaching the application as
// Nothing.
const ObjRef& required(const ObjRef& obj);

// Brings the application's main window (its Caption) or the host's form to the front.
void activateAcadWindow(const AcadContext& ctx);
void activateHostWindow(const AcadContext& ctx);

// The entity pipeline. A pick from the held document's Utility with `prompt`: a fresh point,
// left at (0, 0, 0) when the pick fails (the failure stays pending in `f`).
inline constexpr std::u16string_view kInsertionPrompt = u"Select Insertion Point: ";
Variant pickPoint(const AcadContext& ctx, ErrorFrame& f, std::u16string_view prompt);
// ModelSpace for 0, PaperSpace for any other value.
ObjRef drawingSpace(const AcadContext& ctx, int32_t lngDrawingSpace);
// Update on a new entity, and the host's form back in front: neither can fail a method.
void updateEntity(const ObjRef& entity);
void returnToHost(const AcadContext& ctx);

// Window states 1 to 3 pass unchanged; anything else becomes 1 (normal).
int32_t clampWindowState(int32_t state);

}  // namespace tlx::cad
