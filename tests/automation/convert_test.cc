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

TEST(ConvertToString, EachScalarType) {
  const double jan31 = makeDate(2024, 1, 31);
  EXPECT_EQ(jan31, 45322);
  const struct {
    Variant value;
    const char* text;
  } cases[] = {
      // Doubles: fifteen digits, the exponent form only at the extremes.
      {0.1, "0.1"}, {1e20, "1E+20"}, {1.5e-7, "1.5E-07"}, {123456789012345.0, "123456789012345"},
      {1234567890123456.0, "1.23456789012346E+15"}, {1.0 / 3, "0.333333333333333"}, {-2.5, "-2.5"},
      {0.0001, "0.0001"}, {-0.0, "0"}, {1e100, "1E+100"},
      {0.1 + 0.2, "0.3"},  // the 17th digit is not shown
      // Singles: seven.
      {1.0f / 3, "0.3333333"}, {1234567.0f, "1234567"}, {16777216.0f, "1.677722E+07"},
      {Variant(), ""}, {true, "True"}, {false, "False"}, {int16_t{-7}, "-7"}, {int32_t{100000}, "100000"},
      {uint8_t{255}, "255"}, {"x", "x"},
      {Currency{15000}, "1.5"}, {Currency{-1}, "-0.0001"}, {Currency{20000}, "2"},
      {Currency{INT64_MIN}, "-922337203685477.5808"},
      // Dates in their three forms: date, date and time, time alone.
      {Date{jan31}, "1/31/2024"}, {Date{makeDate(2024, 1, 31, 13, 5)}, "1/31/2024 1:05:00 PM"},
      {Date{makeDate(2024, 12, 1, 0, 0, 9)}, "12/1/2024 12:00:09 AM"},
      {Date{makeDate(1899, 12, 30, 13, 5)}, "1:05:00 PM"}, {Date{0}, "12:00:00 AM"}, {Date{0.5}, "12:00:00 PM"},
      // Before the epoch the time is still a positive fraction after the day.
      {Date{-1.25}, "12/29/1899 6:00:00 AM"},
      // Rounding to the second can carry into the next day.
      {Date{jan31 + 0.9999999}, "2/1/2024"},
  };
  for (const auto& c : cases) EXPECT_EQ(text(c.value), c.text);
}

TEST(ConvertToString, RefusesNullErrorsArraysAndObjectsEvenWithADefaultMember) {
  for (const Variant& v : {Variant::null(), Variant::missing(), Variant(ErrorValue{5}),
                           Variant(SafeArray::vector(2)), plain(), Variant(ObjRef()), boxed(2.5)})
    EXPECT_EQ(outcome([&] { return Variant(toBStr(v)); }), kMismatch) << ::testing::PrintToString(v);
  EXPECT_EQ(errorOf([] { toI4(boxed("12")); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { changeType(boxed(int16_t{3}), vtR8); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(changeType(boxed(1), vtDispatch).type(), vtDispatch);
  try {
    toDouble(Variant::null());
  } catch (const ComError& e) {
    EXPECT_EQ(e.description(), "Type mismatch");
  }
}

TEST(ParseNumber, AcceptsAutomationNumberForms) {
  const struct {
    const char16_t* text;
    double value;
  } cases[] = {
      {u"  42  ", 42}, {u"1,234,567.5", 1234567.5}, {u"-1.5E3", -1500}, {u"1e-2", 0.01}, {u".5", 0.5},
      {u"5.", 5}, {u"+7", 7}, {u"(12)", -12}, {u"$3.25", 3.25}, {u"&HFF", 255}, {u"&hff", 255},
      {u"&O17", 15}, {u"&HFFFFFFFF", -1},
      {u"0.1", 0.1},  // correctly rounded, not accumulated
  };
  for (const auto& c : cases) EXPECT_EQ(parseNumber(c.text), c.value) << u8(c.text);
}

TEST(ParseNumber, RejectsEverythingElse) {
  for (const char16_t* bad : {u"", u"   ", u"abc", u"1.2.3", u"1e", u"12abc", u",5", u"&H", u"&HG",
                              u"&O8", u"--1", u".", u"1 2", u"True"})
    EXPECT_EQ(errorOf([&] { parseNumber(bad); }), hr::DISP_E_TYPEMISMATCH) << u8(bad);
  EXPECT_EQ(errorOf([] { parseNumber(u"1E400"); }), hr::DISP_E_OVERFLOW);
  EXPECT_EQ(errorOf([] { parseNumber(u"&H100000000"); }), hr::DISP_E_OVERFLOW);
}

TEST(ChangeType, ToEachScalarType) {
  const Variant obj = boxed(1);
  const struct {
    Variant from;
    VarType to;
    Variant result;  // or the error raised
  } cases[] = {
      // Integers round half to even and check their range after rounding.
      {2.5, vtI2, int16_t{2}}, {3.5, vtI2, int16_t{4}}, {-2.5, vtI2, int16_t{-2}}, {-3.5, vtI2, int16_t{-4}},
      {2.6, vtI2, int16_t{3}}, {"2.5", vtI2, int16_t{2}}, {"2", vtI2, int16_t{2}},
      {Currency{25000}, vtI2, int16_t{2}}, {Currency{35000}, vtI2, int16_t{4}},
      {Currency{-25001}, vtI2, int16_t{-3}}, {true, vtI2, int16_t{-1}}, {Variant(), vtI2, int16_t{0}},
      {-32768.0, vtI2, int16_t{-32768}}, {32767.4, vtI2, int16_t{32767}},
      {int32_t{32768}, vtI2, kOverflow}, {32767.5, vtI2, kOverflow}, {-32768.6, vtI2, kOverflow},
      {2147483647.0, vtI4, int32_t{2147483647}}, {2147483648.0, vtI4, kOverflow}, {1e300, vtI4, kOverflow},
      {254.5, vtUI1, uint8_t{254}}, {int16_t{256}, vtUI1, kOverflow}, {int16_t{-1}, vtUI1, kOverflow},
      {int32_t{300}, vtUI1, kOverflow}, {"x", vtI2, kMismatch}, {Variant::null(), vtI4, kMismatch},
      // Booleans from their names and from numbers.
      {"true", vtBoolean, true}, {" TRUE ", vtBoolean, true}, {"False", vtBoolean, false},
      {"0", vtBoolean, false}, {"-1", vtBoolean, true}, {0.5, vtBoolean, true}, {int16_t{5}, vtBoolean, true},
      {Variant(), vtBoolean, false}, {"yes", vtBoolean, kMismatch},
      {1.23456, vtCurrency, Currency{12346}}, {-1.23456, vtCurrency, Currency{-12346}},
      {"1,000.5", vtCurrency, Currency{10005000}}, {2.5, vtCurrency, Currency{25000}},
      {1e15, vtCurrency, kOverflow}, {0.1, vtR4, 0.1f}, {1e39, vtR4, kOverflow},
      {"1/31/2024", vtDate, Date{45322}}, {Date{45322}, vtR8, 45322.0}, {Variant(), vtR8, 0.0},
      {Variant(), vtString, u""}, {"x", vtVariant, "x"}, {Variant::null(), vtString, kMismatch},
      {1.0, vtDispatch, kMismatch}, {obj, vtDispatch, obj},
  };
  for (const auto& c : cases)
    EXPECT_EQ(outcome([&] { return changeType(c.from, c.to); }), c.result)
        << ::testing::PrintToString(c.from) << " to type " << c.to;
  EXPECT_TRUE(changeType(Variant::null(), vtNull).isNull());
}

TEST(ParseDate, EnglishAndIsoForms) {
  const double jan31 = 45322, jan31At1305 = makeDate(2024, 1, 31, 13, 5);
  const double at1305 = makeDate(1899, 12, 30, 13, 5);
  const struct {
    const char16_t* text;
    double serial;
  } cases[] = {
      {u"1/31/2024", jan31}, {u" 01/31/2024 ", jan31}, {u"2024-01-31", jan31}, {u"2024/1/31", jan31},
      {u"1-31-2024", jan31}, {u"1/31/24", jan31},
      {u"31/1/2024", jan31},  // a month past 12 reads day first
      {u"January 31, 2024", jan31}, {u"31 Jan 2024", jan31}, {u"Wednesday, January 31, 2024", jan31},
      {u"Jan. 31, 2024", jan31}, {u"1/31/99", makeDate(1999, 1, 31)}, {u"1/31/2024 1:05:00 PM", jan31At1305},
      {u"1/31/2024 13:05", jan31At1305}, {u"2024-01-31T13:05:30", makeDate(2024, 1, 31, 13, 5, 30)},
      {u"2024-01-31 12:00 AM", jan31}, {u"13:05", at1305}, {u"1:05 pm", at1305}, {u"3 PM", 15.0 / 24},
      {u"12:00:00 PM", 0.5}, {u"2/29/2024", makeDate(2024, 2, 29)}, {u"12/29/1899 6:00:00 AM", -1.25},
  };
  for (const auto& c : cases) EXPECT_EQ(parseDate(c.text), c.serial) << u8(c.text);
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
  EXPECT_EQ(toDate(int32_t{45322}), 45322);
  EXPECT_EQ(errorOf([] { toDate(1e7); }), hr::DISP_E_OVERFLOW);
  EXPECT_EQ(errorOf([] { toDate(Variant("not a date")); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { formatDate(1e9); }), hr::DISP_E_OVERFLOW);
  const CivilTime c = splitDate(makeDate(2024, 2, 29, 23, 59, 59));
  EXPECT_EQ((std::vector<int>{c.year, c.month, c.day, c.hour, c.minute, c.second}),
            (std::vector<int>{2024, 2, 29, 23, 59, 59}));
  // Months past December carry into the year, as DateSerial does; before the epoch the time
  // counts forward from the day.
  EXPECT_EQ(makeDate(2023, 13, 31), 45322);
  EXPECT_EQ(makeDate(2024, 0, 31), makeDate(2023, 12, 31));
  EXPECT_EQ(makeDate(1899, 12, 29, 6), -1.25);
}

}  // namespace
}  // namespace tlx
