// The OpenDocument spreadsheet reader: any bytes as the content part of a package (the zip
// around it is the package reader's, fuzzed with the XLSX workbooks).
#include "talvex/com_error.h"
#include "fuzz_input.h"
#include "platform/spreadsheet/import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tlx::platform::opc::Package package;
  package.write("content.xml", std::string(reinterpret_cast<const char*>(data), size));
  try {
    auto book = tlx::platform::spreadsheet::readOds(package);
    FUZZ_CHECK(!book->sheets().empty());
  } catch (const tlx::platform::opc::PackageError&) {
  } catch (const tlx::ComError&) {
  }
  return 0;
}
