// Automation's standard conversions (VariantChangeType) in the fixed en-US locale.
//
// Text forms: Doubles with up to 15 significant digits, exponent form only for very large or
// small magnitudes (0.1, 1E+20, 1.5E-07); Singles with 7; Boolean "True"/"False"; Currency up to
// four decimals; Date "M/D/YYYY h:mm:ss AM/PM", with the date-only form when the time is
// midnight and the time-only form when the date is 30 Dec 1899.
// Null, Error (including missing), objects and arrays refuse conversion with DISP_E_TYPEMISMATCH;
// values out of a type's range raise DISP_E_OVERFLOW. Rounding to integers is banker's rounding.
#pragma once

#include <cstdint>
#include <string>

#include "talvex/variant.h"

namespace tlx {

BStr toBStr(const Variant& v);
std::string toUtf8(const Variant& v);  // toBStr's text in UTF-8, for file names and keys
// The text toBStr gives an I2, I4, UI1, R4 or R8, written into `out` without building a string:
// its length, or 0 for any other type.
constexpr size_t kNumberChars = 32;
size_t formatNumber(const Variant& v, char16_t (&out)[kNumberChars]);
// Appends the text toBStr gives `v` to `out`, numbers and strings without a string built.
void appendText(std::u16string& out, const Variant& v);
double toDouble(const Variant& v);
float toSingle(const Variant& v);
int16_t toI2(const Variant& v);
int32_t toI4(const Variant& v);
uint8_t toUI1(const Variant& v);
bool toBool(const Variant& v);
int64_t toCurrency(const Variant& v);  // scaled by 10,000
double toDate(const Variant& v);       // OLE date serial

// VariantChangeType to one of the scalar types (vtEmpty, vtNull, vtI2 ... vtUI1) or vtVariant
// (a copy).
Variant changeType(const Variant& v, VarType to);

// Text forms without a Variant.
BStr formatDate(double serial);

// Parsing as Automation does: leading/trailing blanks allowed, thousands separators, an
// optional exponent, "&H" hex and "&O" octal; throws DISP_E_TYPEMISMATCH on anything else.
double parseNumber(std::u16string_view s);
// Dates in the en-US forms ("1/31/2024", "1/31/2024 1:05:00 PM", "13:05", "2024-01-31", ...).
double parseDate(std::u16string_view s);

// Calendar helpers: serial <-> civil date and time (proleptic Gregorian, as OLE dates are).
double makeDate(int year, int month, int day, int hour = 0, int minute = 0, double second = 0);
struct CivilTime {
  int year, month, day, hour, minute, second;
};
CivilTime splitDate(double serial);

}  // namespace tlx
