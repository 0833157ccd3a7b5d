// The workbook reader: any bytes as a workbook file of any kind (XLSX, Strict, .xls, .ods, text);
// a bad one is refused with an error.
#include "talvex/com_error.h"
#include "fuzz_input.h"
#include "platform/opc/package.h"
#include "platform/spreadsheet/import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    tlx::platform::spreadsheet::readAnyWorkbookBytes(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const tlx::platform::opc::PackageError&) {
  } catch (const tlx::ComError&) {
  }
  return 0;
}
