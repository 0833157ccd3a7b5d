#include "platform/opc/encrypted_package.h"

#include <openssl/crypto.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <memory>

#include "platform/opc/compound_file.h"
#include "platform/opc/crypto.h"
#include "platform/opc/xml_parts.h"

namespace tlx::platform::opc {

namespace {

constexpr size_t kSegment = 4096;
constexpr unsigned char kVerifierInputBlock[] = {0xfe, 0xa7, 0xd2, 0x76, 0x3b, 0x4b, 0x9e, 0x79};
constexpr unsigned char kVerifierHashBlock[] = {0xd7, 0xaa, 0x0f, 0x6d, 0x30, 0x61, 0x34, 0x4e};
constexpr unsigned char kKeyValueBlock[] = {0x14, 0x6e, 0x0b, 0xe7, 0xab, 0xac, 0xd0, 0xd6};
constexpr unsigned char kHmacKeyBlock[] = {0x5f, 0xb2, 0xad, 0x01, 0x0c, 0xb9, 0xe1, 0xf6};
constexpr unsigned char kHmacValueBlock[] = {0xa0, 0x67, 0x7f, 0x02, 0xb2, 0x2c, 0x84, 0x33};
constexpr const char* kPasswordEncryptor = "http://schemas.microsoft.com/office/2006/keyEncryptor/password";

[[noreturn]] void refuse(const std::string& why) { throw PackageError(why); }

// How one key is used: the attributes shared by keyData and the password's encryptedKey.
struct CipherParams {
  const EVP_MD* md = nullptr;
  size_t hashSize = 0, blockSize = 0, keyBytes = 0, saltSize = 0;
  Bytes salt;
};

CipherParams cipherParams(const pugi::xml_node& n) {
  CipherParams p;
  if (std::string_view(n.attribute("cipherAlgorithm").value()) != "AES")
    refuse("The file is encrypted with a cipher other than AES (" + std::string(n.attribute("cipherAlgorithm").value()) + ")");
  if (std::string_view(n.attribute("cipherChaining").value()) != "ChainingModeCBC")
    refuse("The file's encryption uses a chaining mode other than CBC");
  p.md = digestNamed(n.attribute("hashAlgorithm").value());
  if (!p.md) refuse("The file's encryption uses an unknown hash (" + std::string(n.attribute("hashAlgorithm").value()) + ")");
  p.hashSize = static_cast<size_t>(EVP_MD_get_size(p.md));
  p.blockSize = n.attribute("blockSize").as_uint();
  p.keyBytes = n.attribute("keyBits").as_uint() / 8;
  p.saltSize = n.attribute("saltSize").as_uint();
  p.salt = fromBase64(n.attribute("saltValue").value());
  if (p.blockSize != 16 || (p.keyBytes != 16 && p.keyBytes != 24 && p.keyBytes != 32) || p.salt.empty() ||
      n.attribute("hashSize").as_uint() != p.hashSize)
    refuse("The file's encryption description is damaged");
  return p;
}

// Hash output cut or padded (with 0x36) to the length a key or an initialisation vector needs.
Bytes fit(Bytes b, size_t n) {
  b.resize(n, 0x36);
  return b;
}

Bytes blockIv(const CipherParams& p, ByteView blockKey) { return fit(digest(p.md, {view(p.salt), blockKey}), p.blockSize); }

class AesCbc {
 public:
  explicit AesCbc(const Bytes& key) : ctx_(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free), key_(key) {
    const EVP_CIPHER* c = key.size() == 16 ? EVP_aes_128_cbc() : key.size() == 24 ? EVP_aes_192_cbc() : EVP_aes_256_cbc();
    EVP_DecryptInit_ex(ctx_.get(), c, nullptr, nullptr, nullptr);
    EVP_CIPHER_CTX_set_padding(ctx_.get(), 0);
  }
  // Decrypts whole blocks; the data's length must be a multiple of the block size.
  void decrypt(ByteView data, const Bytes& iv, Bytes& out) {
    if (data.size() % 16 != 0) refuse("The encrypted data are damaged (not whole cipher blocks)");
    EVP_DecryptInit_ex(ctx_.get(), nullptr, nullptr, key_.data(), iv.data());
    size_t at = out.size();
    out.resize(at + data.size());
    int n = 0;
    EVP_DecryptUpdate(ctx_.get(), out.data() + at, &n, data.data(), static_cast<int>(data.size()));
  }
  Bytes decrypt(ByteView data, const Bytes& iv) {
    Bytes out;
    decrypt(data, iv, out);
    return out;
  }

 private:
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx_;
  Bytes key_;
};

Bytes attributeBytes(const pugi::xml_node& n, const char* name) {
  Bytes b = fromBase64(n.attribute(name).value());
  if (b.empty()) refuse(std::string("The file's encryption description lacks ") + name);
  return b;
}

// The key that the package's data are encrypted with, recovered with the password; empty when
// the password is wrong.
Bytes secretKey(const pugi::xml_node& encryptedKey, std::u16string_view password, uint32_t maxSpinCount) {
  CipherParams p = cipherParams(encryptedKey);
  uint32_t spin = encryptedKey.attribute("spinCount").as_uint();
  if (spin > maxSpinCount) refuse("The file's encryption asks for too many hash rounds");
  Bytes h = digest(p.md, {view(p.salt), view(utf16le(password))});
  for (uint32_t i = 0; i < spin; ++i) {
    h = digest(p.md, {view(le32(i)), view(h)});
  }
  auto keyFor = [&](ByteView block) { return fit(digest(p.md, {view(h), block}), p.keyBytes); };
  Bytes iv = fit(p.salt, p.blockSize);
  Bytes input = AesCbc(keyFor(ByteView(kVerifierInputBlock, 8))).decrypt(view(attributeBytes(encryptedKey, "encryptedVerifierHashInput")), iv);
  Bytes expected = AesCbc(keyFor(ByteView(kVerifierHashBlock, 8))).decrypt(view(attributeBytes(encryptedKey, "encryptedVerifierHashValue")), iv);
  if (input.size() < p.saltSize || expected.size() < p.hashSize) refuse("The file's password verifier is damaged");
  input.resize(p.saltSize);
  Bytes got = digest(p.md, {view(input)});
  if (CRYPTO_memcmp(got.data(), expected.data(), p.hashSize) != 0) return {};
  Bytes key = AesCbc(keyFor(ByteView(kKeyValueBlock, 8))).decrypt(view(attributeBytes(encryptedKey, "encryptedKeyValue")), iv);
  if (key.size() < p.keyBytes) refuse("The file's encrypted key is damaged");
  key.resize(p.keyBytes);
  return key;
}

void checkIntegrity(const pugi::xml_node& integrity, const CipherParams& data, const Bytes& key, std::string_view package) {
  if (!integrity) return;  // older writers leave it out
  AesCbc aes(key);
  Bytes hmacKey = aes.decrypt(view(attributeBytes(integrity, "encryptedHmacKey")), blockIv(data, ByteView(kHmacKeyBlock, 8)));
  Bytes expected = aes.decrypt(view(attributeBytes(integrity, "encryptedHmacValue")), blockIv(data, ByteView(kHmacValueBlock, 8)));
  // The key is as long as a hash; anything after it is cipher padding.
  size_t keyLength = std::min(hmacKey.size(), data.hashSize);
  if (keyLength == 0 || expected.size() < data.hashSize) refuse("The file's integrity check is damaged");
  unsigned char got[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  HMAC(data.md, hmacKey.data(), static_cast<int>(keyLength), reinterpret_cast<const unsigned char*>(package.data()),
       package.size(), got, &len);
  if (len != data.hashSize || CRYPTO_memcmp(got, expected.data(), len) != 0)
    refuse("The encrypted package is damaged: it fails its integrity check");
}

std::string decryptSegments(std::string_view package, const CipherParams& data, const Bytes& key) {
  if (package.size() < 8) refuse("The encrypted package is damaged: it is too short");
  uint64_t size = 0;
  for (int i = 7; i >= 0; --i) size = size << 8 | static_cast<unsigned char>(package[static_cast<size_t>(i)]);
  ByteView cipher = view(package.substr(8));
  if (size > cipher.size() || size > Package::kMaxPartSize) refuse("The encrypted package is damaged: its size is wrong");
  AesCbc aes(key);
  Bytes plain;
  plain.reserve(cipher.size());
  for (uint32_t n = 0; plain.size() < size; ++n) {
    ByteView segment = cipher.substr(size_t(n) * kSegment, kSegment);
    // The last segment is padded to whole blocks; anything after the stated size is padding.
    segment = segment.substr(0, std::min(segment.size(), (size - plain.size() + 15) / 16 * 16));
    aes.decrypt(segment, blockIv(data, view(le32(n))), plain);
  }
  plain.resize(size);
  return std::string(plain.begin(), plain.end());
}

}  // namespace

std::string decryptPackage(std::string_view file, std::u16string_view password, uint32_t maxSpinCount) {
  CompoundFile cf(file);
  std::optional<std::string> info = cf.stream(u"EncryptionInfo");
  std::optional<std::string> package = cf.stream(u"EncryptedPackage");
  if (!info || !package) refuse("The file is a compound file but not an encrypted package (an older binary format?)");
  if (info->size() < 8) refuse("The file's encryption description is damaged");
  uint16_t major = static_cast<uint16_t>(static_cast<unsigned char>((*info)[0]) | static_cast<unsigned char>((*info)[1]) << 8);
  uint16_t minor = static_cast<uint16_t>(static_cast<unsigned char>((*info)[2]) | static_cast<unsigned char>((*info)[3]) << 8);
  if (major != 4 || minor != 4)
    refuse(minor == 2 ? "The file uses the older standard encryption, which is not supported; only agile encryption is"
                      : "The file uses an unknown encryption scheme");
  pugi::xml_document doc = parseXml(std::string_view(*info).substr(8), "EncryptionInfo");
  pugi::xml_node root = doc.document_element();
  pugi::xml_node encryptedKey;
  for (pugi::xml_node ke : child(root, "keyEncryptors").children())
    if (std::string_view(ke.attribute("uri").value()) == kPasswordEncryptor) encryptedKey = child(ke, "encryptedKey");
  if (localName(root) != "encryption" || !child(root, "keyData") || !encryptedKey)
    refuse("The file is encrypted without a password key (by certificate?), which is not supported");
  CipherParams data = cipherParams(child(root, "keyData"));
  Bytes key = secretKey(encryptedKey, password, maxSpinCount);
  if (key.empty())
    refuse(password.empty() ? "The file is protected by an open password and none was given"
                            : "The password you supplied is not correct");
  checkIntegrity(child(root, "dataIntegrity"), data, key, *package);
  return decryptSegments(*package, data, key);
}

}  // namespace tlx::platform::opc
