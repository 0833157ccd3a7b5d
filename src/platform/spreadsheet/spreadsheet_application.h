// The spreadsheet application: an automation object model ("Excel.Application") over XLSX
// workbooks.
//
// Application: Visible (r/w), Name, Workbooks, ActiveWorkbook, ActiveSheet, Quit().
// Workbooks: Count, Item(1-based index | name), Add(), Open(Filename, UpdateLinks, ReadOnly,
//   Format, Password, WriteResPassword), enumeration.
// Workbook: Name, FullName, Path, Saved (r/w), ReadOnly, Save(), SaveAs(Filename, FileFormat),
//   Close([SaveChanges], [Filename]), Activate(), Worksheets, Sheets, ActiveSheet.
// Worksheets: Count, Item(1-based index | name without regard to case), Add([Before], [After],
//   [Count]), enumeration.
// Worksheet: Name (r/w), Index, Activate(), Select(), Cells([row, col]), Range(cell1, [cell2]),
//   Columns([index]), Rows([index]), UsedRange.
// Range: Value (r/w; one cell, or an array laid over the range), Value2, Text, Formula (read),
//   Row, Column, Count, Address, Cells(row, col), Columns([index]), Rows([index]),
//   ColumnWidth (r/w), AutoFit(), Activate(), Select(), ClearContents().
// Strings written through Value stay text (no conversion to numbers, dates or formulas).
#pragma once

#include "talvex/dispatch.h"

namespace tlx {

// createObject("Excel.Application") starts an instance without workbooks, hidden, and
// registers it as the running one.
void registerSpreadsheetApplication();

}  // namespace tlx
