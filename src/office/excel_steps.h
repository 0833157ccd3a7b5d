// Steps shared by the spreadsheet methods: obtaining the application, opening the workbook,
// choosing the worksheet, and the clean-up of the failure paths.
#pragma once

#include <cstdint>
#include <string_view>

#include "talvex/dispatch.h"
#include "automation/frame.h"

namespace tlx::office {

inline constexpr std::string_view kExcelProgId = "Excel.Application";
inline constexpr int32_t kMaxRows = 1048576;
inline constexpr int32_t kMaxCols = 16384;

// The running application, else a new one; empty (with the error pending in `f`) when neither.
ObjRef obtainExcel(ErrorFrame& f);
// Workbooks.Open(strWorkbook, Password:=, WriteResPassword:=) as one step.
ObjRef openWorkbook(ErrorFrame& f, const ObjRef& xl, const BStr& strWorkbook, const BStr& strPassword,
                    const BStr& strWriteResPassword);
// A 16-bit Integer above 0 or a non-empty String; decided by the type tag alone.
bool validSelector(const Variant& varWorksheet);
ObjRef worksheet(ErrorFrame& f, const ObjRef& wb, const Variant& varWorksheet);
// Each clean-up call is tried whatever happened before; references are let go afterwards.
void closeWorkbook(ObjRef& wb, bool passSaveChangesFalse);
void quitExcel(ObjRef& xl);
// Cells(row, col) of a worksheet.
ObjRef cell(const ObjRef& ws, int32_t row, int32_t col);
// Whether every coordinate of a block lies inside the sheet.
bool insideSheet(int32_t row1, int32_t col1, int32_t row2, int32_t col2);

}  // namespace tlx::office
