// The workbook reader: any bytes as an XLSX package; a bad package is refused with an error.
#include "automation/com_error.h"
#include "fuzz_input.h"
#include "platform/opc/package.h"
#include "platform/spreadsheet/workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    tlx::xlsx::readWorkbookBytes(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const tlx::opc::PackageError&) {
  } catch (const tlx::ComError&) {
  }
  return 0;
}
