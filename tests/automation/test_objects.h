// Small automation objects for the runtime tests.
#pragma once

#include <ostream>

#include "talvex/convert.h"
#include "talvex/dispatch.h"
#include "automation/strings.h"

namespace tlx {

// The error number a call fails with; S_OK when it does not fail.
inline HRESULT errorOf(auto&& f) {
  try {
    f();
  } catch (const ComError& e) {
    return e.number();
  }
  return hr::S_OK;
}

// What a call returns, or the error it raises as an Error value: one column of a table.
inline Variant outcome(auto&& f) {
  try {
    return f();
  } catch (const ComError& e) {
    return Variant(ErrorValue{e.number()});
  }
}
inline const Variant kMismatch(ErrorValue{hr::DISP_E_TYPEMISMATCH});
inline const Variant kOverflow(ErrorValue{hr::DISP_E_OVERFLOW});

// Readable failure messages: the type tag and the text form where there is one.
inline void PrintTo(const Variant& v, std::ostream* os) {
  *os << "Variant(type " << v.type();
  if (v.type() == vtError) *os << ", error " << v.scode();
  try {
    *os << ", \"" << u8(toBStr(v)) << "\"";
  } catch (const ComError&) {
  }
  *os << ")";
}

}  // namespace tlx

namespace tlx::testing {

// An object whose default member returns a stored value.
class Boxed : public Object<Boxed> {
 public:
  explicit Boxed(Variant v) : value(std::move(v)) {}
  Variant value;
  static const Members<Boxed>& members() {
    static const Members<Boxed> table = [] {
      Members<Boxed> m;
      m.property("Value", [](Boxed& s, Args&) { return s.value; });
      m.byDefault("Value");
      return m;
    }();
    return table;
  }
};

// An object without a default member.
class Plain : public Object<Plain> {
 public:
  static const Members<Plain>& members() {
    static const Members<Plain> table = [] {
      Members<Plain> m;
      m.method("Ping", {}, [](Plain&, Args&) { return Variant(true); });
      return m;
    }();
    return table;
  }
};

inline Variant boxed(Variant v) { return Variant(ObjRef(new Boxed(std::move(v)))); }
inline Variant plain() { return Variant(ObjRef(new Plain())); }

}  // namespace tlx::testing
