// Displayed text through number formats, against what the spreadsheet shows.
#include <gtest/gtest.h>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "platform/spreadsheet/number_format.h"

namespace tlx::platform::spreadsheet {
namespace {

std::string num(double v, std::string_view code) { return u8(formatNumber(v, code)); }
std::string date(int y, int m, int d, int h, int mi, int s, std::string_view code) {
  return u8(formatDateSerial(makeDate(y, m, d, h, mi, s), code));
}

TEST(GeneralFormat, ElevenCharactersThenExponent) {
  EXPECT_EQ(num(0, "General"), "0");
  EXPECT_EQ(num(1, "General"), "1");
  EXPECT_EQ(num(-2.5, "General"), "-2.5");
  EXPECT_EQ(num(0.1 + 0.2, "General"), "0.3");
  EXPECT_EQ(num(1234567.891234, "General"), "1234567.891");
  EXPECT_EQ(num(0.123456789012, "General"), "0.123456789");
  EXPECT_EQ(num(12345678901.0, "General"), "12345678901");
  EXPECT_EQ(num(123456789012.0, "General"), "1.23457E+11");
  EXPECT_EQ(num(1e12, "General"), "1E+12");
  EXPECT_EQ(num(0.0001, "General"), "0.0001");
  EXPECT_EQ(num(0.000012345, "General"), "1.2345E-05");
  EXPECT_EQ(num(-1e-20, "General"), "-1E-20");
}

TEST(NumberFormat, DecimalsGroupingPercentExponentAndSections) {
  EXPECT_EQ(num(3.14159, "0.00"), "3.14");
  EXPECT_EQ(num(2.5, "0"), "3");  // half away from zero
  EXPECT_EQ(num(1234567.891, "#,##0.00"), "1,234,567.89");
  EXPECT_EQ(num(-1234.5, "#,##0"), "-1,235");
  EXPECT_EQ(num(0.256, "0%"), "26%");
  EXPECT_EQ(num(-0.25, "0.00%"), "-25.00%");
  EXPECT_EQ(num(12345, "0.00E+00"), "1.23E+04");
  EXPECT_EQ(num(0.00012, "0.00E+00"), "1.20E-04");
  EXPECT_EQ(num(5, "000"), "005");
  EXPECT_EQ(num(1.5, "#.##"), "1.5");
  EXPECT_EQ(num(1234567, "#,##0,\"K\""), "1,235K");
  EXPECT_EQ(num(-1234, "#,##0 ;(#,##0)"), "(1,234)");
  EXPECT_EQ(num(0, "0.00;-0.00;\"zero\""), "zero");
  EXPECT_EQ(num(12.5, "[$$-409]#,##0.00"), "$12.50");
  EXPECT_EQ(num(7, "[Red]0.0"), "7.0");
  EXPECT_EQ(num(7, "\"No. \"0"), "No. 7");
}

TEST(DateFormat, BuiltInAndCustomCodes) {
  EXPECT_EQ(date(2024, 1, 31, 13, 5, 0, builtinFormat(14)), "1/31/2024");
  EXPECT_EQ(date(2024, 1, 31, 13, 5, 0, builtinFormat(22)), "1/31/2024 13:05");
  EXPECT_EQ(date(2024, 1, 31, 13, 5, 9, builtinFormat(19)), "1:05:09 PM");
  EXPECT_EQ(date(2024, 1, 31, 0, 0, 0, builtinFormat(15)), "31-Jan-24");
  EXPECT_EQ(date(2024, 1, 31, 0, 0, 0, "yyyy-mm-dd"), "2024-01-31");
  EXPECT_EQ(date(2024, 1, 31, 0, 0, 0, "dddd, mmmm d, yyyy"), "Wednesday, January 31, 2024");
  EXPECT_EQ(date(2024, 1, 31, 8, 7, 6, "hh:mm:ss"), "08:07:06");
  EXPECT_EQ(date(2024, 1, 31, 8, 7, 6, "h:mm AM/PM"), "8:07 AM");
  EXPECT_EQ(u8(formatDateSerial(1.5, "[h]:mm")), "36:00");
  EXPECT_TRUE(isDateFormat("yyyy-mm-dd"));
  EXPECT_TRUE(isDateFormat("[h]:mm:ss"));
  EXPECT_FALSE(isDateFormat("General"));
  EXPECT_FALSE(isDateFormat("0.00E+00"));
  EXPECT_FALSE(isDateFormat("\"day\" 0"));
}

TEST(TextFormat, AtSignAndTextSection) {
  EXPECT_EQ(u8(formatText(u"abc", "@")), "abc");
  EXPECT_EQ(u8(formatText(u"abc", "0.00")), "abc");
  EXPECT_EQ(u8(formatText(u"abc", "0;-0;0;\"<\"@\">\"")), "<abc>");
  EXPECT_EQ(num(42, "@"), "42");
}

}  // namespace
}  // namespace tlx::platform::spreadsheet
