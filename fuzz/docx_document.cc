// The document reader: any bytes as a DOCX package; a bad package is refused with an error.
#include "fuzz_input.h"
#include "platform/opc/package.h"
#include "platform/wordproc/document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    tlx::platform::wordproc::readDocumentBytes(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const tlx::platform::opc::PackageError&) {
  }
  return 0;
}
