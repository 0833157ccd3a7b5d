// Automation's arithmetic and comparison (VarAdd, VarSub, VarMul, VarDiv, VarCmp).
//
// Result types follow OLE Automation: the wider of the two operand types, overflowing from
// I2 to I4 to R8; a numeric string gives Double (VarAdd of two strings concatenates); Empty acts
// as 0; Null propagates; Date +/- number stays Date; division always gives Double (Single for
// two Singles, Currency for Currency / number) and raises DISP_E_DIVBYZERO on zero.
#pragma once

#include "talvex/variant.h"

namespace tlx {

Variant VarAdd(const Variant& a, const Variant& b);
Variant VarSub(const Variant& a, const Variant& b);
Variant VarMul(const Variant& a, const Variant& b);
Variant VarDiv(const Variant& a, const Variant& b);

// VarCmp results.
enum class Cmp { Lt = 0, Eq = 1, Gt = 2, Null = 3 };

// Comparison of two Variants the way Basic's < and > compare Variants: numbers (and dates,
// Booleans, numeric values of any kind) by value, before all strings; strings by 16-bit code
// unit (binary compare); Empty as 0 against a number and as "" against a string; anything
// with Null gives Cmp::Null (which no relational test treats as true). Objects, arrays and
// Error values raise DISP_E_TYPEMISMATCH.
Cmp VarCmp(const Variant& a, const Variant& b);

}  // namespace tlx
