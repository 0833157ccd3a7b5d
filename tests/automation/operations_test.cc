#include "automation/operations.h"

#include <gtest/gtest.h>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "automation/test_objects.h"

namespace tlx {
namespace {

const Variant kEmpty;
const Variant kNull = Variant::null();
const Variant kDivByZero(ErrorValue{hr::DISP_E_DIVBYZERO});
Variant i2(int v) { return Variant(static_cast<int16_t>(v)); }
Variant i4(int32_t v) { return Variant(v); }
Variant ui1(int v) { return Variant(static_cast<uint8_t>(v)); }
Variant cy(int64_t scaled) { return Variant(Currency{scaled}); }

Variant apply(const Variant& a, char op, const Variant& b) {
  switch (op) {
    case '+': return VarAdd(a, b);
    case '-': return VarSub(a, b);
    case '*': return VarMul(a, b);
    default: return VarDiv(a, b);
  }
}

TEST(VarAdd, ResultTypesAndValues) {
  const Variant jan31(Date{45322});
  const struct {
    Variant a;
    char op;
    Variant b, result;  // or the error raised
  } cases[] = {
      // Strings, numbers and Empty: a numeric string gives a Double, two strings always join.
      {"2", '+', i2(1), 3.0}, {i2(1), '+', " 2.5 ", 3.5}, {"a", '+', "b", "ab"}, {"2", '+', "3", "23"},
      {"a", '+', kEmpty, "a"}, {kEmpty, '+', "2", "2"}, {kEmpty, '+', kEmpty, i2(0)},
      {kEmpty, '+', i4(5), i4(5)}, {kEmpty, '+', 1.0, 1.0}, {"2", '+', true, 1.0}, {"a", '+', i2(1), kMismatch},
      {i2(1), '+', Variant::missing(), kMismatch}, {Variant(SafeArray::vector(1)), '+', i2(1), kMismatch},
      // Element op Double, as the array arithmetic of the compute methods applies it.
      {"1,000", '*', 2.0, 2000.0}, {"x", '-', 1.0, kMismatch},
      // Null propagates, and wins over a zero divisor.
      {kNull, '+', i2(1), kNull}, {"a", '+', kNull, kNull}, {kEmpty, '-', kNull, kNull},
      {kNull, '*', kNull, kNull}, {kNull, '/', i2(0), kNull},
      // Integer results widen on overflow; True is -1.
      {i2(1), '+', i2(2), i2(3)}, {i2(32767), '+', i2(1), i4(32768)}, {i2(-32768), '-', i2(1), i4(-32769)},
      {i2(200), '*', i2(200), i4(40000)}, {i4(2147483647), '+', i2(1), 2147483648.0},
      {i4(65536), '*', i4(65536), 4294967296.0}, {ui1(200), '+', ui1(50), ui1(250)},
      {ui1(200), '+', ui1(100), i2(300)}, {ui1(1), '-', ui1(2), i2(-1)}, {ui1(1), '+', kEmpty, ui1(1)},
      {ui1(1), '+', i2(1), i2(2)}, {true, '+', true, i2(-2)}, {true, '*', i4(3), i4(-3)},
      // Floating point and Currency.
      {1.5f, '+', i2(1), 2.5f}, {1.5f, '+', i4(1), 2.5},  // Single with Long gives Double
      {1.5, '+', i2(1), 2.5}, {cy(15000), '+', i2(1), cy(25000)}, {cy(15000), '+', 0.25, cy(17500)},
      {cy(15000), '*', cy(15000), cy(22500)}, {cy(1), '*', cy(5000), cy(0)},  // half to even
      {cy(0), '-', cy(1), cy(-1)}, {cy(INT64_MAX), '+', cy(1), kOverflow}, {1e308, '*', 10.0, kOverflow},
      // Dates stay dates until subtracted from dates.
      {jan31, '+', i2(1), Date{45323}}, {0.5, '+', jan31, Date{45322.5}}, {jan31, '-', 1.0, Date{45321}},
      {jan31, '-', Date{45300}, 22.0}, {jan31, '+', "1", Date{45323}}, {jan31, '*', i2(1), 45322.0},
      {jan31, '+', 1e7, kOverflow},
      // Division gives a Double, a Single from small types, Currency from Currency.
      {i2(1), '/', i2(2), 0.5}, {i4(6), '/', i4(3), 2.0}, {"3", '/', i2(2), 1.5}, {1.0f, '/', 4.0f, 0.25f},
      {1.0f, '/', i2(4), 0.25f}, {1.0f, '/', i4(4), 0.25}, {cy(10000), '/', i2(4), cy(2500)},
      {kEmpty, '/', i2(4), 0.0}, {i2(1), '/', i2(0), kDivByZero}, {1.0, '/', kEmpty, kDivByZero},
      {i2(0), '/', 0.0, kDivByZero}, {cy(1), '/', "0", kDivByZero},
      // Objects take no part, default member or not.
      {testing::boxed(i2(2)), '+', i2(3), kMismatch}, {testing::plain(), '+', i2(3), kMismatch},
  };
  for (const auto& c : cases)
    EXPECT_EQ(outcome([&] { return apply(c.a, c.op, c.b); }), c.result)
        << ::testing::PrintToString(c.a) << ' ' << c.op << ' ' << ::testing::PrintToString(c.b);
  EXPECT_EQ(VarMul(3e38f, 10.0f).type(), vtR8);  // a Single result past its range widens
  try {
    VarDiv(i2(1), i2(0));
  } catch (const ComError& e) {
    EXPECT_EQ(e.description(), "Division by zero");
  }
}

TEST(VarCmp, NumbersByValueBeforeStringsByCodeUnit) {
  const struct {
    Variant a, b;
    Cmp result;
  } cases[] = {
      {i2(10), "9", Cmp::Lt}, {"9", i2(10), Cmp::Gt}, {"1", i2(1), Cmp::Gt}, {Date{1}, "a", Cmp::Lt},
      {"B", "a", Cmp::Lt}, {"b", "B", Cmp::Gt}, {"ab", "a", Cmp::Gt}, {"a", "a", Cmp::Eq},
      {u"\u00e9", "z", Cmp::Gt},
      {u"\U0001F600", u"\uFF21", Cmp::Lt},  // a surrogate (0xD83D) sorts below 0xFF21
      {i2(1), 1.0, Cmp::Eq}, {i4(70000), i2(5), Cmp::Gt}, {true, i2(0), Cmp::Lt}, {cy(15000), i2(1), Cmp::Gt},
      {cy(INT64_MAX), i4(2147483647), Cmp::Gt}, {cy(10000), 1.0, Cmp::Eq}, {Date{45322}, i4(45322), Cmp::Eq},
      {2.5f, 2.4, Cmp::Gt},
      // Empty meets a string as "" and a number as 0; Null makes no order.
      {kEmpty, i2(0), Cmp::Eq}, {kEmpty, i2(-1), Cmp::Gt}, {kEmpty, "", Cmp::Eq}, {kEmpty, "a", Cmp::Lt},
      {"a", kEmpty, Cmp::Gt}, {kEmpty, kEmpty, Cmp::Eq}, {kNull, i2(1), Cmp::Null}, {"a", kNull, Cmp::Null},
      {kNull, kNull, Cmp::Null},
  };
  for (const auto& c : cases)
    EXPECT_EQ(VarCmp(c.a, c.b), c.result)
        << ::testing::PrintToString(c.a) << " / " << ::testing::PrintToString(c.b);
  for (const Variant& refused : {testing::boxed(1), Variant(SafeArray::vector(1)), Variant::missing()})
    EXPECT_EQ(errorOf([&] { VarCmp(refused, i2(1)); }), hr::DISP_E_TYPEMISMATCH);
}

}  // namespace
}  // namespace tlx
