// Workbooks of every kind people have, read into the workbook model: XLSX packages
// (Transitional, Strict, or encrypted with an open password), legacy .xls workbooks,
// OpenDocument spreadsheets and comma-separated text. The kind is found from the content,
// never from the file name.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/opc/package.h"
#include "platform/spreadsheet/workbook.h"

namespace tlx::platform::spreadsheet {

// What the file held, and so how the workbook may be saved: only an XLSX source is saved back
// in place; the others go to XLSX through SaveAs.
enum class SourceFormat { Xlsx, Xls, Ods, Text };

struct OpenedWorkbook {
  std::unique_ptr<Workbook> book;
  SourceFormat format = SourceFormat::Xlsx;
};

// The workbook in the file at `path`. PackageError (or ComError) when it cannot be read.
OpenedWorkbook openWorkbookFile(const std::string& path, std::u16string_view password);
// The same from a file's content; `name` names the sheet of a text file.
OpenedWorkbook openWorkbookBytes(std::string bytes, std::u16string_view password, std::string_view name);

// Reads every cell of every sheet of a file of any kind: the entry point for fuzzing.
// Throws opc::PackageError or ComError on bad input, nothing else.
void readAnyWorkbookBytes(std::string_view bytes);

// The readers of the kinds that are not XLSX, each making a new workbook.
std::unique_ptr<Workbook> readXls(const std::string& path);  // FreeXL reads from a path
std::unique_ptr<Workbook> readXlsBytes(std::string_view bytes);
std::unique_ptr<Workbook> readOds(const opc::Package& package);
std::unique_ptr<Workbook> readCsv(std::string_view bytes, std::string_view sheetName);
// A Strict package rewritten in the Transitional namespaces, in place; false when it is not
// a Strict package.
bool strictToTransitional(opc::Package& package);

// Shared by the readers: a new workbook filled a sheet at a time, then handed over unchanged.
class WorkbookFiller {
 public:
  WorkbookFiller();
  // The next sheet; a name the application would refuse, or one taken, is made acceptable.
  Sheet& addSheet(std::string_view name);
  // At least one sheet, and no changes to save until the caller makes some.
  std::unique_ptr<Workbook> finish();

 private:
  std::unique_ptr<Workbook> book_;
};

// "2024-01-15", "2024-01-15T13:05:30.25", "2024-01-15 13:05", "13:05:30" as an OLE date;
// nullopt for anything else.
std::optional<double> isoDateTime(std::string_view s);

}  // namespace tlx::platform::spreadsheet
