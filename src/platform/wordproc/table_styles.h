// The 43 table formats as table styles of the styles part: borders, fills and header fonts in
// the spirit of each format's name, with conditional parts (header row, last row, first and
// last column, bands) that the table's look switches on.
#pragma once

#include <pugixml.hpp>

#include <string>

namespace tlx::platform::wordproc {

constexpr int kTableFormats = 43;

// Which parts of a format a table takes.
struct StyleParts {
  bool borders = true, shading = true, font = true, color = true;
};

// The style's id ("TalvexGrid1", with a suffix when parts are left out); format 0 is a plain
// grid of single lines.
std::string tableStyleId(int format, StyleParts parts);
// Adds the style to <w:styles> unless it is there; `w` and `a` are the main namespace's prefixes
// for elements and attributes ("w:" both, unless the part's elements use the default namespace).
void addTableStyle(pugi::xml_node styles, const std::string& w, const std::string& a, int format, StyleParts parts);

}  // namespace tlx::platform::wordproc
