// The extraction template reader: any bytes; only its documented result codes come back.
#include "attributes/extraction_template.h"
#include "fuzz_input.h"

using namespace tlx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ExtractionTemplate t;
  const int16_t rc = readExtractionTemplateBytes(t, std::string_view(reinterpret_cast<const char*>(data), size));
  FUZZ_CHECK(rc == 1 || (rc <= -2 && rc >= -5));
  return 0;
}
