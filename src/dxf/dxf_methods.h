// DXF import: a drawing's group codes and values laid out in a workbook, one sheet a section.
#pragma once

#include <cstdint>

#include "talvex/variant.h"

namespace tlx {

// 1 when the file was read up to its "EOF" value, -1 on any error. The spreadsheet application
// stays open and visible with the workbook unsaved.
int16_t DXFToExcel(const BStr& strDXFfile, const BStr& strWorkbook);

}  // namespace tlx
