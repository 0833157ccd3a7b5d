// Displayed text through number formats, against what the spreadsheet shows.
#include <gtest/gtest.h>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "platform/spreadsheet/number_format.h"

namespace tlx::platform::spreadsheet {
namespace {

TEST(NumberFormat, NumbersAsTheirCodesShowThem) {
  const struct {
    double value;
    std::string_view code, shown;
  } cases[] = {
      // General: eleven characters, then an exponent.
      {0, "General", "0"}, {-2.5, "General", "-2.5"}, {0.1 + 0.2, "General", "0.3"},
      {1234567.891234, "General", "1234567.891"}, {0.123456789012, "General", "0.123456789"},
      {12345678901.0, "General", "12345678901"}, {123456789012.0, "General", "1.23457E+11"},
      {1e12, "General", "1E+12"}, {0.0001, "General", "0.0001"}, {0.000012345, "General", "1.2345E-05"},
      {-1e-20, "General", "-1E-20"},
      {3.14159, "0.00", "3.14"}, {2.5, "0", "3"},  // half away from zero
      {1234567.891, "#,##0.00", "1,234,567.89"}, {-1234.5, "#,##0", "-1,235"},
      {0.256, "0%", "26%"}, {-0.25, "0.00%", "-25.00%"},
      {12345, "0.00E+00", "1.23E+04"}, {0.00012, "0.00E+00", "1.20E-04"},
      {5, "000", "005"}, {1.5, "#.##", "1.5"}, {1234567, "#,##0,\"K\"", "1,235K"},
      {-1234, "#,##0 ;(#,##0)", "(1,234)"}, {0, "0.00;-0.00;\"zero\"", "zero"},
      {12.5, "[$$-409]#,##0.00", "$12.50"}, {7, "[Red]0.0", "7.0"}, {7, "\"No. \"0", "No. 7"}, {42, "@", "42"},
  };
  for (auto& c : cases) EXPECT_EQ(u8(formatNumber(c.value, c.code)), c.shown) << c.value << " as " << c.code;
}

TEST(NumberFormat, DatesAndTextAsTheirCodesShowThem) {
  const double afternoon = makeDate(2024, 1, 31, 13, 5, 9), morning = makeDate(2024, 1, 31, 8, 7, 6);
  const struct {
    double serial;
    std::string_view code, shown;
  } cases[] = {
      {makeDate(2024, 1, 31, 13, 5, 0), builtinFormat(14), "1/31/2024"},
      {makeDate(2024, 1, 31, 13, 5, 0), builtinFormat(22), "1/31/2024 13:05"},
      {afternoon, builtinFormat(19), "1:05:09 PM"}, {afternoon, builtinFormat(15), "31-Jan-24"},
      {afternoon, "yyyy-mm-dd", "2024-01-31"}, {afternoon, "dddd, mmmm d, yyyy", "Wednesday, January 31, 2024"},
      {morning, "hh:mm:ss", "08:07:06"}, {morning, "h:mm AM/PM", "8:07 AM"}, {1.5, "[h]:mm", "36:00"},
  };
  for (auto& c : cases) EXPECT_EQ(u8(formatDateSerial(c.serial, c.code)), c.shown) << c.code;
  for (std::string_view code : {"yyyy-mm-dd", "[h]:mm:ss"}) EXPECT_TRUE(isDateFormat(code)) << code;
  for (std::string_view code : {"General", "0.00E+00", "\"day\" 0"}) EXPECT_FALSE(isDateFormat(code)) << code;

  EXPECT_EQ(u8(formatText(u"abc", "@")), "abc");
  EXPECT_EQ(u8(formatText(u"abc", "0.00")), "abc");
  EXPECT_EQ(u8(formatText(u"abc", "0;-0;0;\"<\"@\">\"")), "<abc>");
}

}  // namespace
}  // namespace tlx::platform::spreadsheet
