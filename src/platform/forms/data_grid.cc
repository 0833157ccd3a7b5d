// Data grid (being written).
namespace tlx::forms {
void registerDataGrid() {}
}  // namespace tlx::forms
