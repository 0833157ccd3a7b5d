// 16-bit string helpers: UTF-8 at the edges, case rules of Automation's text compare.
#pragma once

#include <string>
#include <string_view>

#include "talvex/variant.h"

namespace tlx {

bool validUtf8(std::string_view s);
// The character of a byte in the Western Windows code page (1252): Latin-1 but for 0x80-0x9F.
char16_t windows1252Char(unsigned char c);

// Case folding of Basic's LCase / UCase and text compare (ASCII and Latin-1 letters).
char16_t lowerChar(char16_t c);
char16_t upperChar(char16_t c);
BStr lcase(std::u16string_view s);
BStr ucase(std::u16string_view s);
bool equalsNoCase(std::u16string_view a, std::u16string_view b);

}  // namespace tlx
