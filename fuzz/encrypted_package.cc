// The compound-file reader and the decryption of encrypted packages: any bytes as an encrypted
// workbook; a bad file is refused with an error. Few hash rounds, so each input stays quick.
#include "fuzz_input.h"
#include "platform/opc/encrypted_package.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    tlx::platform::opc::decryptPackage(std::string_view(reinterpret_cast<const char*>(data), size), u"secret", 1000);
  } catch (const tlx::platform::opc::PackageError&) {
  }
  return 0;
}
