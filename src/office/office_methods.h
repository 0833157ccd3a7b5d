// The control's spreadsheet exchange methods: a two-dimensional array into a worksheet, and a
// block of cells into a one- or two-dimensional array. Status codes: 1 done, -1 no spreadsheet
// application, -2 no array, -3 workbook not opened, -4 no such worksheet, -5 other failures.
#pragma once

#include <cstdint>

#include "talvex/variant.h"

namespace tlx {

int16_t TwoDArrayToExcel(Variant& varArray, const BStr& strWorkbook, const Variant& varWorksheet, int32_t lngRow,
                         int32_t lngCol, const BStr& strPassword, const BStr& strWriteResPassword,
                         int32_t lngDisplay, bool blnAutoFit, bool blnFixData);
int16_t ExcelToOneDArray(const BStr& strWorkbook, const Variant& varWorksheet, int32_t lngStartRow,
                         int32_t lngStartCol, int32_t lngEndRow, int32_t lngEndCol, Variant& varArray,
                         bool blnCellValue, const BStr& strPassword, const BStr& strWriteResPassword);
int16_t ExcelToTwoDArray(const BStr& strWorkbook, const Variant& varWorksheet, int32_t lngStartRow,
                         int32_t lngStartCol, int32_t lngEndRow, int32_t lngEndCol, Variant& varArray,
                         bool blnCellValue, const BStr& strPassword, const BStr& strWriteResPassword);

}  // namespace tlx
