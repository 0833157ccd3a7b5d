#include "talvex/convert.h"

#include <gtest/gtest.h>

#include <cmath>

#include "automation/strings.h"
#include "automation/test_objects.h"

namespace tlx {
namespace {

using testing::boxed;
using testing::plain;

std::string text(const Variant& v) { return u8(toBStr(v)); }

TEST(ConvertToString, DoublesUseFifteenDigitsAndExponentOnlyAtTheExtremes) {
  EXPECT_EQ(text(0.1), "0.1");
  EXPECT_EQ(text(1e20), "1E+20");
  EXPECT_EQ(text(1.5e-7), "1.5E-07");
  EXPECT_EQ(text(123456789012345.0), "123456789012345");
  EXPECT_EQ(text(1234567890123456.0), "1.23456789012346E+15");
  EXPECT_EQ(text(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(text(-2.5), "-2.5");
  EXPECT_EQ(text(0.0001), "0.0001");
  EXPECT_EQ(text(-0.0), "0");
  EXPECT_EQ(text(1e100), "1E+100");
  EXPECT_EQ(text(0.1 + 0.2), "0.3");  // the 17th digit is not shown
}

TEST(ConvertToString, OtherScalarTypes) {
  EXPECT_EQ(text(Variant()), "");
  EXPECT_EQ(text(1.0f / 3), "0.3333333");
  EXPECT_EQ(text(1234567.0f), "1234567");
  EXPECT_EQ(text(16777216.0f), "1.677722E+07");  // seven significant digits
  EXPECT_EQ(text(true), "True");
  EXPECT_EQ(text(false), "False");
  EXPECT_EQ(text(int16_t{-7}), "-7");
  EXPECT_EQ(text(int32_t{100000}), "100000");
  EXPECT_EQ(text(uint8_t{255}), "255");
  EXPECT_EQ(text(Currency{15000}), "1.5");
  EXPECT_EQ(text(Currency{-1}), "-0.0001");
  EXPECT_EQ(text(Currency{20000}), "2");
  EXPECT_EQ(text(Currency{INT64_MIN}), "-922337203685477.5808");
  EXPECT_EQ(text("x"), "x");
}

TEST(ConvertToString, DatesInTheirThreeForms) {
  const double jan31 = makeDate(2024, 1, 31);
  EXPECT_EQ(jan31, 45322);
  EXPECT_EQ(text(Date{jan31}), "1/31/2024");
  EXPECT_EQ(text(Date{makeDate(2024, 1, 31, 13, 5)}), "1/31/2024 1:05:00 PM");
  EXPECT_EQ(text(Date{makeDate(2024, 12, 1, 0, 0, 9)}), "12/1/2024 12:00:09 AM");
  EXPECT_EQ(text(Date{makeDate(1899, 12, 30, 13, 5)}), "1:05:00 PM");
  EXPECT_EQ(text(Date{0}), "12:00:00 AM");
  EXPECT_EQ(text(Date{0.5}), "12:00:00 PM");
  // Before the epoch the time is still a positive fraction after the day.
  EXPECT_EQ(text(Date{-1.25}), "12/29/1899 6:00:00 AM");
  EXPECT_EQ(makeDate(1899, 12, 29, 6), -1.25);
  // Rounding to the second can carry into the next day.
  EXPECT_EQ(text(Date{jan31 + 0.9999999}), "2/1/2024");
}

TEST(ConvertToString, RefusesNullErrorsArraysAndObjectsWithoutDefault) {
  EXPECT_EQ(errorOf([] { toBStr(Variant::null()); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { toBStr(Variant::missing()); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { toBStr(Variant(ErrorValue{5})); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { toBStr(Variant(SafeArray::vector(2))); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { toBStr(plain()); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { toBStr(Variant(ObjRef())); }), hr::DISP_E_TYPEMISMATCH);
  try {
    toDouble(Variant::null());
  } catch (const ComError& e) {
    EXPECT_EQ(e.description(), "Type mismatch");
  }
}

TEST(ConvertToString, ObjectsRefuseConversionEvenWithADefaultMember) {
  EXPECT_EQ(errorOf([] { toBStr(boxed(2.5)); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { toI4(boxed("12")); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { changeType(boxed(int16_t{3}), vtR8); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(changeType(boxed(1), vtDispatch).type(), vtDispatch);
}

TEST(ParseNumber, AcceptsAutomationNumberForms) {
  EXPECT_EQ(parseNumber(u"  42  "), 42);
  EXPECT_EQ(parseNumber(u"1,234,567.5"), 1234567.5);
  EXPECT_EQ(parseNumber(u"-1.5E3"), -1500);
  EXPECT_EQ(parseNumber(u"1e-2"), 0.01);
  EXPECT_EQ(parseNumber(u".5"), 0.5);
  EXPECT_EQ(parseNumber(u"5."), 5);
  EXPECT_EQ(parseNumber(u"+7"), 7);
  EXPECT_EQ(parseNumber(u"(12)"), -12);
  EXPECT_EQ(parseNumber(u"$3.25"), 3.25);
  EXPECT_EQ(parseNumber(u"&HFF"), 255);
  EXPECT_EQ(parseNumber(u"&hff"), 255);
  EXPECT_EQ(parseNumber(u"&O17"), 15);
  EXPECT_EQ(parseNumber(u"&HFFFFFFFF"), -1);
  EXPECT_EQ(parseNumber(u"0.1"), 0.1);  // correctly rounded, not accumulated
}

TEST(ParseNumber, RejectsEverythingElse) {
  for (const char16_t* bad : {u"", u"   ", u"abc", u"1.2.3", u"1e", u"12abc", u",5", u"&H", u"&HG",
                              u"&O8", u"--1", u".", u"1 2", u"True"})
    EXPECT_EQ(errorOf([&] { parseNumber(bad); }), hr::DISP_E_TYPEMISMATCH) << u8(bad);
  EXPECT_EQ(errorOf([] { parseNumber(u"1E400"); }), hr::DISP_E_OVERFLOW);
  EXPECT_EQ(errorOf([] { parseNumber(u"&H100000000"); }), hr::DISP_E_OVERFLOW);
}

TEST(ConvertToInteger, BankersRoundingAndRange) {
  EXPECT_EQ(toI2(2.5), 2);
  EXPECT_EQ(toI2(3.5), 4);
  EXPECT_EQ(toI2(-2.5), -2);
  EXPECT_EQ(toI2(-3.5), -4);
  EXPECT_EQ(toI2(2.6), 3);
  EXPECT_EQ(toI2(Variant("2.5")), 2);
  EXPECT_EQ(toI2(Variant(Currency{25000})), 2);
  EXPECT_EQ(toI2(Variant(Currency{35000})), 4);
  EXPECT_EQ(toI2(Variant(Currency{-25001})), -3);
  EXPECT_EQ(toI2(true), -1);
  EXPECT_EQ(toI2(Variant()), 0);
  EXPECT_EQ(toI2(-32768.0), -32768);
  EXPECT_EQ(toI2(32767.4), 32767);
  EXPECT_EQ(errorOf([] { toI2(int32_t{32768}); }), hr::DISP_E_OVERFLOW);
  EXPECT_EQ(errorOf([] { toI2(32767.5); }), hr::DISP_E_OVERFLOW);  // rounds to 32768
  EXPECT_EQ(errorOf([] { toI2(-32768.6); }), hr::DISP_E_OVERFLOW);
  EXPECT_EQ(toI4(2147483647.0), 2147483647);
  EXPECT_EQ(errorOf([] { toI4(2147483648.0); }), hr::DISP_E_OVERFLOW);
  EXPECT_EQ(errorOf([] { toI4(1e300); }), hr::DISP_E_OVERFLOW);
  EXPECT_EQ(toUI1(254.5), 254);
  EXPECT_EQ(errorOf([] { toUI1(int16_t{256}); }), hr::DISP_E_OVERFLOW);
  EXPECT_EQ(errorOf([] { toUI1(int16_t{-1}); }), hr::DISP_E_OVERFLOW);
  EXPECT_EQ(errorOf([] { toI2(Variant("x")); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { toI4(Variant::null()); }), hr::DISP_E_TYPEMISMATCH);
}

TEST(ConvertToOther, BooleanCurrencySingle) {
  EXPECT_TRUE(toBool(Variant("true")));
  EXPECT_TRUE(toBool(Variant(" TRUE ")));
  EXPECT_FALSE(toBool(Variant("False")));
  EXPECT_FALSE(toBool(Variant("0")));
  EXPECT_TRUE(toBool(Variant("-1")));
  EXPECT_TRUE(toBool(0.5));
  EXPECT_FALSE(toBool(Variant()));
  EXPECT_EQ(errorOf([] { toBool(Variant("yes")); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(toCurrency(1.23456), 12346);
  EXPECT_EQ(toCurrency(-1.23456), -12346);
  EXPECT_EQ(toCurrency(Variant("1,000.5")), 10005000);
  EXPECT_EQ(errorOf([] { toCurrency(1e15); }), hr::DISP_E_OVERFLOW);
  EXPECT_EQ(toSingle(0.1), 0.1f);
  EXPECT_EQ(errorOf([] { toSingle(1e39); }), hr::DISP_E_OVERFLOW);
}

TEST(ParseDate, EnglishAndIsoForms) {
  const double jan31 = 45322;
  EXPECT_EQ(parseDate(u"1/31/2024"), jan31);
  EXPECT_EQ(parseDate(u" 01/31/2024 "), jan31);
  EXPECT_EQ(parseDate(u"2024-01-31"), jan31);
  EXPECT_EQ(parseDate(u"2024/1/31"), jan31);
  EXPECT_EQ(parseDate(u"1-31-2024"), jan31);
  EXPECT_EQ(parseDate(u"1/31/24"), jan31);
  EXPECT_EQ(parseDate(u"31/1/2024"), jan31);  // a month past 12 reads day first
  EXPECT_EQ(parseDate(u"January 31, 2024"), jan31);
  EXPECT_EQ(parseDate(u"31 Jan 2024"), jan31);
  EXPECT_EQ(parseDate(u"Wednesday, January 31, 2024"), jan31);
  EXPECT_EQ(parseDate(u"1/31/99"), makeDate(1999, 1, 31));
  EXPECT_EQ(parseDate(u"1/31/2024 1:05:00 PM"), makeDate(2024, 1, 31, 13, 5));
  EXPECT_EQ(parseDate(u"1/31/2024 13:05"), makeDate(2024, 1, 31, 13, 5));
  EXPECT_EQ(parseDate(u"2024-01-31T13:05:30"), makeDate(2024, 1, 31, 13, 5, 30));
  EXPECT_EQ(parseDate(u"2024-01-31 12:00 AM"), jan31);
  EXPECT_EQ(parseDate(u"13:05"), makeDate(1899, 12, 30, 13, 5));
  EXPECT_EQ(parseDate(u"1:05 pm"), makeDate(1899, 12, 30, 13, 5));
  EXPECT_EQ(parseDate(u"3 PM"), 15.0 / 24);
  EXPECT_EQ(parseDate(u"12:00:00 PM"), 0.5);
  EXPECT_EQ(parseDate(u"2/29/2024"), makeDate(2024, 2, 29));
  EXPECT_EQ(parseDate(u"12/29/1899 6:00:00 AM"), -1.25);
}

TEST(ParseDate, RejectsImpossibleDates) {
  for (const char16_t* bad : {u"", u"hello", u"2/30/2024", u"2/29/2023", u"13/13/2024", u"25:00",
                              u"12:60", u"13:00 PM", u"1/2/3/4", u"1/31/2024 PM", u"0/1/2024"})
    EXPECT_EQ(errorOf([&] { parseDate(bad); }), hr::DISP_E_TYPEMISMATCH) << u8(bad);
}

TEST(ConvertToDate, BothWaysAndRange) {
  for (double serial : {45322.0, 45322.5, 0.25, -1.25, 2958465.0, -657434.0, 36526.999988425923}) {
    const Variant asText(toBStr(Variant(Date{serial})));
    EXPECT_NEAR(toDate(asText), serial, 1.0 / 86400) << u8(asText.str());
  }
  EXPECT_EQ(toDate(Variant("45322")), 45322);
  EXPECT_EQ(toDate(Variant("1.5")), 1.5);  // a number, not a dotted date
  EXPECT_EQ(parseDate(u"Jan. 31, 2024"), 45322);
  EXPECT_EQ(toDate(int32_t{45322}), 45322);
  EXPECT_EQ(errorOf([] { toDate(1e7); }), hr::DISP_E_OVERFLOW);
  EXPECT_EQ(errorOf([] { toDate(Variant("not a date")); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { formatDate(1e9); }), hr::DISP_E_OVERFLOW);
  const CivilTime c = splitDate(makeDate(2024, 2, 29, 23, 59, 59));
  EXPECT_EQ(c.year, 2024);
  EXPECT_EQ(c.month, 2);
  EXPECT_EQ(c.day, 29);
  EXPECT_EQ(c.hour, 23);
  EXPECT_EQ(c.minute, 59);
  EXPECT_EQ(c.second, 59);
  // Months past December carry into the year, as DateSerial does.
  EXPECT_EQ(makeDate(2023, 13, 31), 45322);
  EXPECT_EQ(makeDate(2024, 0, 31), makeDate(2023, 12, 31));
}

TEST(ChangeType, ToEachScalarType) {
  EXPECT_EQ(changeType(Variant("2"), vtI2), Variant(int16_t{2}));
  EXPECT_EQ(changeType(Variant("1/31/2024"), vtDate), Variant(Date{45322}));
  EXPECT_EQ(changeType(Variant(), vtString), Variant(u""));
  EXPECT_EQ(changeType(Variant(), vtR8), Variant(0.0));
  EXPECT_EQ(changeType(Variant(int16_t{5}), vtBoolean), Variant(true));
  EXPECT_EQ(changeType(Variant(2.5), vtCurrency), Variant(Currency{25000}));
  EXPECT_EQ(changeType(Variant(Date{45322}), vtR8), Variant(45322.0));
  EXPECT_EQ(changeType(Variant("x"), vtVariant), Variant("x"));
  EXPECT_TRUE(changeType(Variant::null(), vtNull).isNull());
  EXPECT_EQ(errorOf([] { changeType(Variant::null(), vtString); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { changeType(Variant(1.0), vtDispatch); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { changeType(Variant(int32_t{300}), vtUI1); }), hr::DISP_E_OVERFLOW);
  Variant obj = boxed(1);
  EXPECT_EQ(changeType(obj, vtDispatch), obj);
}

}  // namespace
}  // namespace tlx
