#include "platform/opc/crypto.h"

#include <algorithm>
#include <memory>

#include "automation/strings.h"

namespace tlx::platform::opc {

const EVP_MD* digestNamed(std::string_view name) {
  std::string plain;
  for (char c : name)
    if (c != '-') plain += asciiUpper(c);
  if (plain == "SHA512") return EVP_sha512();
  if (plain == "SHA384") return EVP_sha384();
  if (plain == "SHA256") return EVP_sha256();
  if (plain == "SHA1") return EVP_sha1();
  if (plain == "MD5") return EVP_md5();
  return nullptr;
}

Bytes digest(const EVP_MD* md, std::initializer_list<ByteView> parts) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  EVP_DigestInit_ex(ctx.get(), md, nullptr);
  for (ByteView p : parts) EVP_DigestUpdate(ctx.get(), p.data(), p.size());
  Bytes out(static_cast<size_t>(EVP_MD_get_size(md)));
  unsigned int len = 0;
  EVP_DigestFinal_ex(ctx.get(), out.data(), &len);
  out.resize(len);
  return out;
}

Bytes utf16le(std::u16string_view text) {
  Bytes out;
  out.reserve(text.size() * 2);
  for (char16_t c : text) {
    out.push_back(static_cast<unsigned char>(c & 0xFF));
    out.push_back(static_cast<unsigned char>(c >> 8));
  }
  return out;
}

Bytes fromBase64(std::string_view text) {
  std::string clean;
  for (char c : text)
    if (!asciiSpace(c)) clean += c;
  if (clean.size() % 4 != 0) return {};
  Bytes out(clean.size() / 4 * 3 + 3);
  int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(clean.data()), static_cast<int>(clean.size()));
  if (n < 0) return {};
  size_t pad = 0;
  for (size_t i = clean.size(); i > 0 && clean[i - 1] == '='; --i) ++pad;
  out.resize(static_cast<size_t>(n) - std::min(pad, static_cast<size_t>(n)));
  return out;
}

std::string toBase64(ByteView data) {
  std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
  int len = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data.data(), static_cast<int>(data.size()));
  out.resize(static_cast<size_t>(len));
  return out;
}

}  // namespace tlx::platform::opc
