#include "automation/operations.h"

#include <gtest/gtest.h>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "automation/test_objects.h"

namespace tlx {
namespace {

const Variant kEmpty;
const Variant kNull = Variant::null();
Variant i2(int v) { return Variant(static_cast<int16_t>(v)); }
Variant i4(int32_t v) { return Variant(v); }
Variant ui1(int v) { return Variant(static_cast<uint8_t>(v)); }
Variant cy(int64_t scaled) { return Variant(Currency{scaled}); }

TEST(VarAdd, StringsNumbersAndEmpty) {
  EXPECT_EQ(VarAdd(Variant("2"), i2(1)), Variant(3.0));  // a numeric string gives a Double
  EXPECT_EQ(VarAdd(i2(1), Variant(" 2.5 ")), Variant(3.5));
  EXPECT_EQ(VarAdd(Variant("a"), Variant("b")), Variant("ab"));
  EXPECT_EQ(VarAdd(Variant("2"), Variant("3")), Variant("23"));  // two strings always join
  EXPECT_EQ(VarAdd(Variant("a"), kEmpty), Variant("a"));
  EXPECT_EQ(VarAdd(kEmpty, Variant("2")), Variant("2"));
  EXPECT_EQ(VarAdd(kEmpty, kEmpty), i2(0));
  EXPECT_EQ(VarAdd(kEmpty, i4(5)), i4(5));
  EXPECT_EQ(VarAdd(kEmpty, 1.0), Variant(1.0));
  EXPECT_EQ(VarAdd(Variant("2"), true), Variant(1.0));
  EXPECT_EQ(errorOf([] { VarAdd(Variant("a"), i2(1)); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { VarAdd(i2(1), Variant::missing()); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { VarAdd(Variant(SafeArray::vector(1)), i2(1)); }), hr::DISP_E_TYPEMISMATCH);
}

TEST(VarAdd, NullPropagates) {
  EXPECT_TRUE(VarAdd(kNull, i2(1)).isNull());
  EXPECT_TRUE(VarAdd(Variant("a"), kNull).isNull());
  EXPECT_TRUE(VarSub(kEmpty, kNull).isNull());
  EXPECT_TRUE(VarMul(kNull, kNull).isNull());
  EXPECT_TRUE(VarDiv(kNull, i2(0)).isNull());  // Null wins over the zero divisor
}

TEST(VarAdd, IntegerResultsWidenOnOverflow) {
  EXPECT_EQ(VarAdd(i2(1), i2(2)), i2(3));
  EXPECT_EQ(VarAdd(i2(32767), i2(1)), i4(32768));
  EXPECT_EQ(VarSub(i2(-32768), i2(1)), i4(-32769));
  EXPECT_EQ(VarMul(i2(200), i2(200)), i4(40000));
  EXPECT_EQ(VarAdd(i4(2147483647), i2(1)), Variant(2147483648.0));
  EXPECT_EQ(VarMul(i4(65536), i4(65536)), Variant(4294967296.0));
  EXPECT_EQ(VarAdd(ui1(200), ui1(50)), ui1(250));
  EXPECT_EQ(VarAdd(ui1(200), ui1(100)), i2(300));
  EXPECT_EQ(VarSub(ui1(1), ui1(2)), i2(-1));
  EXPECT_EQ(VarAdd(ui1(1), kEmpty), ui1(1));
  EXPECT_EQ(VarAdd(ui1(1), i2(1)), i2(2));
  EXPECT_EQ(VarAdd(true, true), i2(-2));  // True is -1
  EXPECT_EQ(VarMul(true, i4(3)), i4(-3));
}

TEST(VarAdd, FloatingAndCurrency) {
  EXPECT_EQ(VarAdd(1.5f, i2(1)), Variant(2.5f));
  EXPECT_EQ(VarAdd(1.5f, i4(1)), Variant(2.5));  // Single with Long gives Double
  EXPECT_EQ(VarMul(3e38f, 10.0f).type(), vtR8);  // a Single result past its range widens
  EXPECT_EQ(VarAdd(1.5, i2(1)), Variant(2.5));
  EXPECT_EQ(VarAdd(cy(15000), i2(1)), cy(25000));
  EXPECT_EQ(VarAdd(cy(15000), 0.25), cy(17500));
  EXPECT_EQ(VarMul(cy(15000), cy(15000)), cy(22500));
  EXPECT_EQ(VarMul(cy(1), cy(5000)), cy(0));  // 0.00005 rounds half to even
  EXPECT_EQ(VarSub(cy(0), cy(1)), cy(-1));
  EXPECT_EQ(errorOf([] { VarAdd(cy(INT64_MAX), cy(1)); }), hr::DISP_E_OVERFLOW);
  EXPECT_EQ(errorOf([] { VarMul(1e308, 10.0); }), hr::DISP_E_OVERFLOW);
}

TEST(VarAdd, DatesStayDatesUntilSubtractedFromDates) {
  const Variant jan31(Date{45322});
  EXPECT_EQ(VarAdd(jan31, i2(1)), Variant(Date{45323}));
  EXPECT_EQ(VarAdd(0.5, jan31), Variant(Date{45322.5}));
  EXPECT_EQ(VarSub(jan31, 1.0), Variant(Date{45321}));
  EXPECT_EQ(VarSub(jan31, Variant(Date{45300})), Variant(22.0));
  EXPECT_EQ(VarAdd(jan31, Variant("1")), Variant(Date{45323}));
  EXPECT_EQ(VarMul(jan31, i2(1)), Variant(45322.0));
  EXPECT_EQ(errorOf([&] { VarAdd(jan31, 1e7); }), hr::DISP_E_OVERFLOW);
}

TEST(VarDiv, ResultTypesAndZero) {
  EXPECT_EQ(VarDiv(i2(1), i2(2)), Variant(0.5));
  EXPECT_EQ(VarDiv(i4(6), i4(3)), Variant(2.0));
  EXPECT_EQ(VarDiv(Variant("3"), i2(2)), Variant(1.5));
  EXPECT_EQ(VarDiv(1.0f, 4.0f), Variant(0.25f));
  EXPECT_EQ(VarDiv(1.0f, i2(4)), Variant(0.25f));
  EXPECT_EQ(VarDiv(1.0f, i4(4)), Variant(0.25));
  EXPECT_EQ(VarDiv(cy(10000), i2(4)), cy(2500));
  EXPECT_EQ(VarDiv(kEmpty, i2(4)), Variant(0.0));
  EXPECT_EQ(errorOf([] { VarDiv(i2(1), i2(0)); }), hr::DISP_E_DIVBYZERO);
  EXPECT_EQ(errorOf([] { VarDiv(1.0, kEmpty); }), hr::DISP_E_DIVBYZERO);
  EXPECT_EQ(errorOf([] { VarDiv(i2(0), 0.0); }), hr::DISP_E_DIVBYZERO);
  EXPECT_EQ(errorOf([] { VarDiv(cy(1), Variant("0")); }), hr::DISP_E_DIVBYZERO);
  try {
    VarDiv(i2(1), i2(0));
  } catch (const ComError& e) {
    EXPECT_EQ(e.description(), "Division by zero");
  }
}

TEST(VarAdd, ArrayElementStepsOfTheComputeMethods) {
  // Element op Double, as the array arithmetic applies it.
  EXPECT_EQ(VarAdd(i2(1), 1.0), Variant(2.0));
  EXPECT_EQ(VarAdd(Variant("2"), 1.0), Variant(3.0));
  EXPECT_EQ(VarAdd(kEmpty, 1.0), Variant(1.0));
  EXPECT_EQ(VarMul(Variant("1,000"), 2.0), Variant(2000.0));
  EXPECT_EQ(errorOf([] { VarSub(Variant("x"), 1.0); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { VarDiv(i2(3), 0.0); }), hr::DISP_E_DIVBYZERO);
}

TEST(VarAdd, ObjectsTakeNoPart) {
  EXPECT_EQ(errorOf([] { VarAdd(testing::boxed(i2(2)), i2(3)); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { VarAdd(testing::plain(), i2(3)); }), hr::DISP_E_TYPEMISMATCH);
}

TEST(VarCmp, NumbersBeforeStrings) {
  EXPECT_EQ(VarCmp(i2(10), Variant("9")), Cmp::Lt);
  EXPECT_EQ(VarCmp(Variant("9"), i2(10)), Cmp::Gt);
  EXPECT_EQ(VarCmp(Variant("1"), i2(1)), Cmp::Gt);
  EXPECT_EQ(VarCmp(Variant(Date{1}), Variant("a")), Cmp::Lt);
}

TEST(VarCmp, StringsByCodeUnit) {
  EXPECT_EQ(VarCmp(Variant("B"), Variant("a")), Cmp::Lt);
  EXPECT_EQ(VarCmp(Variant("b"), Variant("B")), Cmp::Gt);
  EXPECT_EQ(VarCmp(Variant("ab"), Variant("a")), Cmp::Gt);
  EXPECT_EQ(VarCmp(Variant("a"), Variant("a")), Cmp::Eq);
  EXPECT_EQ(VarCmp(Variant(u"\u00e9"), Variant("z")), Cmp::Gt);
  // A surrogate (0xD83D) sorts below a high BMP character (0xFF21).
  EXPECT_EQ(VarCmp(Variant(u"\U0001F600"), Variant(u"\uFF21")), Cmp::Lt);
}

TEST(VarCmp, NumbersByValueAcrossTypes) {
  EXPECT_EQ(VarCmp(i2(1), Variant(1.0)), Cmp::Eq);
  EXPECT_EQ(VarCmp(i4(70000), i2(5)), Cmp::Gt);
  EXPECT_EQ(VarCmp(true, i2(0)), Cmp::Lt);  // True is -1
  EXPECT_EQ(VarCmp(cy(15000), i2(1)), Cmp::Gt);
  EXPECT_EQ(VarCmp(cy(INT64_MAX), i4(2147483647)), Cmp::Gt);
  EXPECT_EQ(VarCmp(cy(10000), 1.0), Cmp::Eq);
  EXPECT_EQ(VarCmp(Variant(Date{45322}), i4(45322)), Cmp::Eq);
  EXPECT_EQ(VarCmp(2.5f, 2.4), Cmp::Gt);
}

TEST(VarCmp, EmptyNullAndRefusals) {
  EXPECT_EQ(VarCmp(kEmpty, i2(0)), Cmp::Eq);
  EXPECT_EQ(VarCmp(kEmpty, i2(-1)), Cmp::Gt);
  EXPECT_EQ(VarCmp(kEmpty, Variant("")), Cmp::Eq);
  EXPECT_EQ(VarCmp(kEmpty, Variant("a")), Cmp::Lt);
  EXPECT_EQ(VarCmp(Variant("a"), kEmpty), Cmp::Gt);
  EXPECT_EQ(VarCmp(kEmpty, kEmpty), Cmp::Eq);
  EXPECT_EQ(VarCmp(kNull, i2(1)), Cmp::Null);
  EXPECT_EQ(VarCmp(Variant("a"), kNull), Cmp::Null);
  EXPECT_EQ(VarCmp(kNull, kNull), Cmp::Null);
  EXPECT_EQ(errorOf([] { VarCmp(testing::boxed(1), i2(1)); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { VarCmp(Variant(SafeArray::vector(1)), i2(1)); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([] { VarCmp(Variant::missing(), i2(1)); }), hr::DISP_E_TYPEMISMATCH);
}

}  // namespace
}  // namespace tlx
