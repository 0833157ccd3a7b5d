// Displayed text of a cell value through its number format code: General, digit placeholders
// with decimals, thousands separators, scaling, percent and exponents, literal text, the date
// and time codes, and "@". Sections: positive;negative;zero;text. Colours and locale tags are
// read and ignored; the locale is en-US.
#pragma once

#include <string>
#include <string_view>

namespace tlx::platform::spreadsheet {

// The code of a built-in format id ("0.00" for 2), "" for an id without one.
std::string_view builtinFormat(int id);
// Whether a code shows a date or time (so that a cell holding a number reads back as a Date).
bool isDateFormat(std::string_view code);

std::u16string formatNumber(double value, std::string_view code);
// Dates: `serial` is an OLE date serial (days since 30 Dec 1899).
std::u16string formatDateSerial(double serial, std::string_view code);
std::u16string formatText(std::u16string_view text, std::string_view code);
// General alone: at most 11 characters, exponent form for large and small magnitudes.
std::u16string formatGeneral(double value);

}  // namespace tlx::platform::spreadsheet
