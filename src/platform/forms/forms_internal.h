// Registration of each control family under its identifiers.
#pragma once

namespace tlx::platform::forms {

void registerListBoxes();
void registerFileLists();
void registerTextBoxes();
void registerListView();
void registerTreeView();
void registerFlexGrids();
void registerDataGrid();

}  // namespace tlx::platform::forms
