// VarAdd, VarSub, VarMul, VarDiv and VarCmp.
#include "automation/operations.h"

#include <cfloat>
#include <cmath>
#include <cstdint>

#include "talvex/convert.h"
#include "talvex/dispatch.h"

namespace tlx {

namespace {

[[noreturn]] void typeMismatch() { throw ComError(hr::DISP_E_TYPEMISMATCH); }
[[noreturn]] void overflow() { throw ComError(hr::DISP_E_OVERFLOW, "Overflow"); }
[[noreturn]] void divByZero() { throw ComError(hr::DISP_E_DIVBYZERO, "Division by zero"); }

enum class Op { Add, Sub, Mul, Div };

// Arrays, objects and Error values take no part in arithmetic.
Variant operand(const Variant& v) {
  if (v.isArray() || v.isObject() || v.type() == vtError) typeMismatch();
  return v;
}

bool isIntegral(VarType t) { return t == vtI2 || t == vtI4 || t == vtUI1 || t == vtBoolean || t == vtEmpty; }

int64_t integerOf(const Variant& v) {
  switch (v.type()) {
    case vtI2: return v.i2();
    case vtI4: return v.i4();
    case vtUI1: return v.ui1();
    case vtBoolean: return v.boolean() ? -1 : 0;
    default: return 0;  // Empty
  }
}

// The narrowest of `start`, then I2, I4, R8 that holds an integer result.
Variant fitInteger(int64_t r, VarType start) {
  if (start == vtUI1 && r >= 0 && r <= 255) return Variant(static_cast<uint8_t>(r));
  if ((start == vtUI1 || start == vtI2) && r >= INT16_MIN && r <= INT16_MAX)
    return Variant(static_cast<int16_t>(r));
  if (r >= INT32_MIN && r <= INT32_MAX) return Variant(static_cast<int32_t>(r));
  return Variant(static_cast<double>(r));
}

double roundEven(double d) {
  double r = std::round(d);
  if (std::fabs(d - std::trunc(d)) == 0.5) r = 2.0 * std::round(d / 2.0);
  return r;
}

Variant currencyFromDouble(double scaled) {
  if (!std::isfinite(scaled)) overflow();
  scaled = roundEven(scaled);
  if (scaled >= 9223372036854775808.0 || scaled < -9223372036854775808.0) overflow();
  return Variant(Currency{static_cast<int64_t>(scaled)});
}

Variant checkedDouble(double r, double a, double b) {
  if (std::isinf(r) && std::isfinite(a) && std::isfinite(b)) overflow();
  return Variant(r);
}

Variant checkedDate(double r) {
  if (!(r >= -657434.0 && r < 2958466.0)) overflow();
  return Variant(Date{r});
}

// The result type of an operation on two non-Null, non-string-pair operands.
VarType resultType(Op op, VarType ta, VarType tb) {
  auto either = [&](VarType t) { return ta == t || tb == t; };
  if (op == Op::Div) {
    if (ta == vtCurrency) return vtCurrency;
    auto smallR4 = [](VarType t) {
      return t == vtR4 || t == vtI2 || t == vtUI1 || t == vtBoolean || t == vtEmpty;
    };
    if (either(vtR4) && smallR4(ta) && smallR4(tb)) return vtR4;
    return vtR8;
  }
  if (either(vtDate)) {
    if (op == Op::Mul) return vtR8;
    if (op == Op::Sub && ta == vtDate && tb == vtDate) return vtR8;
    return vtDate;
  }
  if (either(vtCurrency)) return vtCurrency;
  if (either(vtR8) || either(vtString)) return vtR8;
  if (either(vtR4)) return either(vtI4) ? vtR8 : vtR4;
  if (either(vtI4)) return vtI4;
  if (either(vtI2) || either(vtBoolean) || (ta == vtEmpty && tb == vtEmpty)) return vtI2;
  if (either(vtUI1)) return vtUI1;
  typeMismatch();
}

// Currency product with the exact 128-bit intermediate where both sides are exact.
Variant currencyMul(const Variant& a, const Variant& b) {
  auto exact = [](const Variant& v) { return v.type() == vtCurrency || isIntegral(v.type()); };
  if (exact(a) && exact(b)) {
    __int128 x = toCurrency(a), y = toCurrency(b);
    __int128 p = x * y;  // scaled twice
    __int128 q = p / 10000, rem = p % 10000;
    if (rem > 5000 || (rem == 5000 && (q & 1))) ++q;
    if (rem < -5000 || (rem == -5000 && (q & 1))) --q;
    if (q > INT64_MAX || q < INT64_MIN) overflow();
    return Variant(Currency{static_cast<int64_t>(q)});
  }
  const Variant& cy = a.type() == vtCurrency ? a : b;
  const Variant& other = a.type() == vtCurrency ? b : a;
  return currencyFromDouble(static_cast<double>(cy.currency()) * toDouble(other));
}

Variant arith(Op op, const Variant& a0, const Variant& b0) {
  Variant a = operand(a0), b = operand(b0);
  if (a.isNull() || b.isNull()) return Variant::null();
  const VarType ta = a.type(), tb = b.type();

  if (op == Op::Add) {
    // Two strings concatenate; Empty joins a string as "".
    if (ta == vtString && (tb == vtString || tb == vtEmpty)) return Variant(a.str() + (tb == vtString ? b.str() : BStr()));
    if (tb == vtString && ta == vtEmpty) return b;
  }

  const VarType rt = resultType(op, ta, tb);
  if (op == Op::Div && toDouble(b) == 0) divByZero();

  switch (rt) {
    case vtUI1:
    case vtI2:
    case vtI4: {
      const int64_t x = integerOf(a), y = integerOf(b);
      const int64_t r = op == Op::Add ? x + y : op == Op::Sub ? x - y : x * y;
      return fitInteger(r, rt);
    }
    case vtR4: {
      const double x = toDouble(a), y = toDouble(b);
      const double r = op == Op::Add ? x + y : op == Op::Sub ? x - y : op == Op::Mul ? x * y : x / y;
      if (std::fabs(r) > FLT_MAX) return checkedDouble(r, x, y);
      return Variant(static_cast<float>(r));
    }
    case vtCurrency: {
      if (op == Op::Mul) return currencyMul(a, b);
      if (op == Op::Div) return currencyFromDouble(static_cast<double>(a.currency()) / toDouble(b));
      const int64_t x = toCurrency(a), y = toCurrency(b);
      int64_t r;
      if (op == Op::Add ? __builtin_add_overflow(x, y, &r) : __builtin_sub_overflow(x, y, &r)) overflow();
      return Variant(Currency{r});
    }
    case vtDate: {
      const double x = toDouble(a), y = toDouble(b);
      return checkedDate(op == Op::Add ? x + y : x - y);
    }
    default: {
      const double x = toDouble(a), y = toDouble(b);
      const double r = op == Op::Add ? x + y : op == Op::Sub ? x - y : op == Op::Mul ? x * y : x / y;
      return checkedDouble(r, x, y);
    }
  }
}

int sign3(double x, double y) { return x < y ? -1 : x > y ? 1 : 0; }

}  // namespace

Variant VarAdd(const Variant& a, const Variant& b) { return arith(Op::Add, a, b); }
Variant VarSub(const Variant& a, const Variant& b) { return arith(Op::Sub, a, b); }
Variant VarMul(const Variant& a, const Variant& b) { return arith(Op::Mul, a, b); }
Variant VarDiv(const Variant& a, const Variant& b) { return arith(Op::Div, a, b); }

Cmp VarCmp(const Variant& a, const Variant& b) {
  auto refuse = [](const Variant& v) { return v.isArray() || v.isObject() || v.type() == vtError; };
  if (refuse(a) || refuse(b)) typeMismatch();
  if (a.isNull() || b.isNull()) return Cmp::Null;

  auto asCmp = [](int s) { return s < 0 ? Cmp::Lt : s > 0 ? Cmp::Gt : Cmp::Eq; };
  const bool sa = a.isString(), sb = b.isString();
  if (sa || sb) {
    if (sa && sb) return asCmp(a.str().compare(b.str()));
    // Empty meets a string as ""; any number sorts before every string.
    if (a.isEmpty()) return b.str().empty() ? Cmp::Eq : Cmp::Lt;
    if (b.isEmpty()) return a.str().empty() ? Cmp::Eq : Cmp::Gt;
    return sa ? Cmp::Gt : Cmp::Lt;
  }

  const VarType ta = a.type(), tb = b.type();
  if (isIntegral(ta) && isIntegral(tb)) {
    const int64_t x = integerOf(a), y = integerOf(b);
    return asCmp(x < y ? -1 : x > y ? 1 : 0);
  }
  if ((ta == vtCurrency || isIntegral(ta)) && (tb == vtCurrency || isIntegral(tb))) {
    const __int128 x = toCurrency(a), y = toCurrency(b);
    return asCmp(x < y ? -1 : x > y ? 1 : 0);
  }
  return asCmp(sign3(toDouble(a), toDouble(b)));
}

}  // namespace tlx
