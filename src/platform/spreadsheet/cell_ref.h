// A1-style cell references.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tlx::platform::spreadsheet {

struct CellRef {
  int32_t row = 0, col = 0;  // 1-based
};
struct Area {
  CellRef first, last;  // first <= last in both coordinates
};

// "B7", "$B$7"; nullopt when not a reference inside the sheet's limits.
std::optional<CellRef> parseCell(std::string_view ref);
// "A1:C3", "A1", "A:A" (whole columns), "3:3" (whole rows).
std::optional<Area> parseArea(std::string_view ref);
// Column letters of a column number: 1 -> "A", 28 -> "AB".
std::string columnName(int32_t col);
std::optional<int32_t> parseColumn(std::string_view letters);
std::string cellName(int32_t row, int32_t col);

}  // namespace tlx::platform::spreadsheet
