// Hashes and ciphers through libcrypto, in the shapes the package formats use them.
#pragma once

#include <openssl/evp.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tlx::platform::opc {

using Bytes = std::vector<unsigned char>;
using ByteView = std::basic_string_view<unsigned char>;

inline ByteView view(const Bytes& b) { return ByteView(b.data(), b.size()); }
inline ByteView view(std::string_view s) { return ByteView(reinterpret_cast<const unsigned char*>(s.data()), s.size()); }

// A counter as the four little-endian bytes the key derivations hash.
inline std::array<unsigned char, 4> le32(uint32_t n) {
  return {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n >> 16),
          static_cast<unsigned char>(n >> 24)};
}
inline ByteView view(const std::array<unsigned char, 4>& a) { return ByteView(a.data(), a.size()); }

// A hash by the name a file gives it ("SHA512", "SHA-512", "SHA1", "MD5"); nullptr when unknown.
const EVP_MD* digestNamed(std::string_view name);
// The hash of the parts one after the other.
Bytes digest(const EVP_MD* md, std::initializer_list<ByteView> parts);
// Characters as little-endian 16-bit units, as passwords are hashed.
Bytes utf16le(std::u16string_view text);
Bytes fromBase64(std::string_view text);  // empty when it is not base64
std::string toBase64(ByteView data);

}  // namespace tlx::platform::opc
