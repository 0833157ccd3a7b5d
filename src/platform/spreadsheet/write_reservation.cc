#include "platform/spreadsheet/write_reservation.h"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace tlx::xlsx {

namespace {

// Spin counts beyond this would let one file keep the reader busy for minutes.
constexpr uint32_t kMaxSpinCount = 10'000'000;

const EVP_MD* digestNamed(std::string_view name) {
  if (name == "SHA-512") return EVP_sha512();
  if (name == "SHA-384") return EVP_sha384();
  if (name == "SHA-256") return EVP_sha256();
  if (name == "SHA-1") return EVP_sha1();
  if (name == "MD5") return EVP_md5();
  return nullptr;
}

std::vector<unsigned char> fromBase64(std::string_view text) {
  std::vector<unsigned char> out(text.size() / 4 * 3 + 3);
  int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
  if (n < 0) return {};
  size_t pad = 0;
  for (size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) ++pad;
  out.resize(static_cast<size_t>(n) - std::min(pad, static_cast<size_t>(n)));
  return out;
}

std::string toBase64(const unsigned char* data, size_t n) {
  std::string out(4 * ((n + 2) / 3) + 1, '\0');
  int len = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data, static_cast<int>(n));
  out.resize(static_cast<size_t>(len));
  return out;
}

bool equalsNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

bool hasWriteReservation(const pugi::xml_node& fs) {
  return fs && (fs.attribute("reservationPassword") || fs.attribute("hashValue"));
}

std::string legacyPasswordHash(std::u16string_view password) {
  uint16_t hash = 0;
  for (size_t i = password.size(); i-- > 0;) {
    // The hash uses the low byte of each character.
    uint16_t c = static_cast<uint16_t>(password[i] & 0xFF);
    hash = static_cast<uint16_t>(((hash >> 14) & 0x01) | ((hash << 1) & 0x7FFF));
    hash ^= c;
  }
  hash = static_cast<uint16_t>(((hash >> 14) & 0x01) | ((hash << 1) & 0x7FFF));
  hash ^= static_cast<uint16_t>(password.size());
  hash ^= 0xCE4B;
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", hash);
  return buf;
}

std::string iteratedPasswordHash(std::string_view algorithm, std::string_view saltBase64, uint32_t spinCount,
                                 std::u16string_view password) {
  const EVP_MD* md = digestNamed(algorithm);
  if (!md || spinCount > kMaxSpinCount) return "";
  std::vector<unsigned char> buf = fromBase64(saltBase64);
  for (char16_t c : password) {
    buf.push_back(static_cast<unsigned char>(c & 0xFF));
    buf.push_back(static_cast<unsigned char>(c >> 8));
  }
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  unsigned char hash[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_DigestInit_ex(ctx.get(), md, nullptr);
  EVP_DigestUpdate(ctx.get(), buf.data(), buf.size());
  EVP_DigestFinal_ex(ctx.get(), hash, &len);
  for (uint32_t i = 0; i < spinCount; ++i) {
    unsigned char iter[4] = {static_cast<unsigned char>(i), static_cast<unsigned char>(i >> 8),
                             static_cast<unsigned char>(i >> 16), static_cast<unsigned char>(i >> 24)};
    EVP_DigestInit_ex(ctx.get(), md, nullptr);
    EVP_DigestUpdate(ctx.get(), hash, len);
    EVP_DigestUpdate(ctx.get(), iter, 4);
    EVP_DigestFinal_ex(ctx.get(), hash, &len);
  }
  return toBase64(hash, len);
}

bool matchesWriteReservation(const pugi::xml_node& fs, std::u16string_view password) {
  if (!hasWriteReservation(fs)) return true;
  if (pugi::xml_attribute legacy = fs.attribute("reservationPassword"))
    return !password.empty() && equalsNoCaseAscii(legacyPasswordHash(password), legacy.value());
  std::string expected = fs.attribute("hashValue").value();
  std::string got = iteratedPasswordHash(fs.attribute("algorithmName").value(), fs.attribute("saltValue").value(),
                                         fs.attribute("spinCount").as_uint(), password);
  return !got.empty() && got == expected;
}

}  // namespace tlx::xlsx
