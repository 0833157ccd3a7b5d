// The standard controls of the host's forms, as automation objects created by identifier:
// list and combo boxes, directory, drive and file list boxes over the real file system, text
// and rich text boxes, list view, tree view, flex grids and the data grid.
#pragma once

namespace tlx {

// Registers every control class under its programmatic identifier. Idempotent.
void registerFormControls();

}  // namespace tlx
