#include "platform/spreadsheet/write_reservation.h"

#include <cstdio>
#include <memory>

#include "automation/strings.h"
#include "platform/opc/crypto.h"
#include "platform/opc/encrypted_package.h"

namespace tlx::platform::spreadsheet {

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
  const EVP_MD* md = opc::digestNamed(algorithm);
  if (!md || spinCount > opc::kMaxSpinCount) return "";
  opc::Bytes hash = opc::digest(md, {opc::view(opc::fromBase64(saltBase64)), opc::view(opc::utf16le(password))});
  for (uint32_t i = 0; i < spinCount; ++i) {
    hash = opc::digest(md, {opc::view(hash), opc::view(opc::le32(i))});
  }
  return opc::toBase64(opc::view(hash));
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

}  // namespace tlx::platform::spreadsheet
