// The legacy workbook reader: any bytes as an .xls file; a bad one is refused with an error.
#include "talvex/com_error.h"
#include "fuzz_input.h"
#include "platform/spreadsheet/import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    auto book = tlx::platform::spreadsheet::readXlsBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    FUZZ_CHECK(!book->sheets().empty());
  } catch (const tlx::platform::opc::PackageError&) {
  } catch (const tlx::ComError&) {
  }
  return 0;
}
