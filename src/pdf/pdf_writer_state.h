// The PDF writer's state, kept in the control between its private steps.
#pragma once

namespace tlx {

struct PdfWriterState {};

}  // namespace tlx
