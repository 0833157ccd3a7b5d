// Cell values across the boundary: error values, date serials, and the text escapes of the
// file format.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "talvex/variant.h"

namespace tlx::platform::spreadsheet {

// "#N/A" <-> the Error Variant CVErr(2042), and the other error values.
std::optional<HRESULT> errorCode(std::string_view text);
std::string_view errorText(HRESULT scode);  // "" when not a cell error

// Serial numbers of the cell (1900 or 1904 date system) <-> OLE date serials.
double cellSerialToDate(double serial, bool date1904);
double dateToCellSerial(double date, bool date1904);

// Cell text as stored (UTF-8 with _xHHHH_ escapes) <-> 16-bit text.
BStr decodeCellText(std::string_view utf8);
// Appends `s` as XML character data (escaped, UTF-8).
void appendXmlText(std::string& out, std::u16string_view s);
void appendXmlText(std::string& out, std::string_view utf8);  // attribute values we kept

}  // namespace tlx::platform::spreadsheet
