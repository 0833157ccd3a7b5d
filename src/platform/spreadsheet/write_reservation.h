// The write-reservation password of a workbook (its fileSharing element): the legacy 16-bit
// password hash, or a salted hash repeated spinCount times.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace tlx::platform::spreadsheet {

bool hasWriteReservation(const pugi::xml_node& fileSharing);
bool matchesWriteReservation(const pugi::xml_node& fileSharing, std::u16string_view password);

// The legacy hash as four hexadecimal digits ("CC1A").
std::string legacyPasswordHash(std::u16string_view password);
// Base64 of the iterated hash: H0 = H(salt + password as UTF-16LE), Hn = H(Hn-1 + n as 4 bytes
// little-endian). `algorithm` is "SHA-512", "SHA-256", "SHA-1" or "MD5"; "" when unknown.
std::string iteratedPasswordHash(std::string_view algorithm, std::string_view saltBase64,
                                 uint32_t spinCount, std::u16string_view password);

}  // namespace tlx::platform::spreadsheet
