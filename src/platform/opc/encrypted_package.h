// Packages encrypted with an open password: a compound file holding the encryption's
// description ("EncryptionInfo") and the encrypted package ("EncryptedPackage"). Agile
// encryption is read (AES in CBC mode, keys from the password by an iterated hash named in the
// description, an HMAC over the encrypted data); other schemes are refused by name. Writing
// encrypted packages is not supported.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/opc/package.h"

namespace tlx::platform::opc {

// Spin counts beyond this would let one file keep the reader busy for minutes.
constexpr uint32_t kMaxSpinCount = 10'000'000;

// The decrypted package. PackageError when the password is wrong or missing, the file is a
// compound file of another kind, the scheme is not agile encryption, or the data fail their
// integrity check.
std::string decryptPackage(std::string_view compoundFile, std::u16string_view password,
                           uint32_t maxSpinCount = kMaxSpinCount);

}  // namespace tlx::platform::opc
