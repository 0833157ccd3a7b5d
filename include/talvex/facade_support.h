// What the typed C++ facade of the control (talvex/control.h, generated from the type library)
// is built on: conversions between its parameter types and Variants, and the argument holders
// that give each parameter its passing.
#pragma once

#include <concepts>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "talvex/convert.h"
#include "talvex/dispatch.h"
#include "talvex/host_site.h"

namespace tlx::facade {

// The control, made and called through the library so that its class stays private: a new
// control on `site`, and one call of a method by its dispatch identifier.
ObjRef newControl(HostSite& site);
Variant invoke(Dispatch& control, int32_t dispid, DispParams& params);

// The automation type of a parameter type, and its reader from a Variant of that type.
template <class T, VarType V, auto Read>
struct TypedAs {
  static constexpr VarType type = V;
  static T get(const Variant& v) { return (v.*Read)(); }
};
template <class T>
struct Typed;
template <> struct Typed<int16_t> : TypedAs<int16_t, vtI2, &Variant::i2> {};
template <> struct Typed<int32_t> : TypedAs<int32_t, vtI4, &Variant::i4> {};
template <> struct Typed<double> : TypedAs<double, vtR8, &Variant::r8> {};
template <> struct Typed<float> : TypedAs<float, vtR4, &Variant::r4> {};
template <> struct Typed<bool> : TypedAs<bool, vtBoolean, &Variant::boolean> {};
template <>
struct Typed<BStr> : TypedAs<BStr, vtString, static_cast<const BStr& (Variant::*)() const>(&Variant::str)> {};

template <class T>
Variant toVariant(const T& value) {
  if constexpr (std::is_enum_v<T>) return Variant(static_cast<int32_t>(value));
  else return Variant(value);
}

template <class T>
T fromVariant(const Variant& v) {
  if constexpr (std::is_same_v<T, Variant>) {
    return v;
  } else if constexpr (std::is_same_v<T, ObjRef>) {
    return v.isObject() ? v.obj() : ObjRef();
  } else if constexpr (std::is_enum_v<T>) {
    return static_cast<T>(fromVariant<int32_t>(v));
  } else {
    return v.type() == Typed<T>::type ? Typed<T>::get(v) : Typed<T>::get(changeType(v, Typed<T>::type));
  }
}

// A by-reference parameter: the caller's variable, which receives what the method leaves in it;
// or a value (a literal, a temporary) that the method may change without anyone seeing; or, for
// an optional parameter, nothing at all. A Variant variable is passed itself, never copied.
template <class T>
class ByRef {
 public:
  ByRef() = default;
  ByRef(T& variable) : target_(&variable), given_(true) {
    if constexpr (!std::is_same_v<T, Variant>) value_ = toVariant(variable);
  }
  template <class U>
    requires std::constructible_from<T, U&&> && (!std::same_as<std::remove_cvref_t<U>, ByRef>)
  ByRef(U&& value) : value_(toVariant(T(std::forward<U>(value)))), given_(true) {}

  Variant* slot() {
    if (!given_) return nullptr;
    if constexpr (std::is_same_v<T, Variant>) {
      if (target_) return target_;
    }
    return &value_;
  }
  void writeBack() {
    if constexpr (!std::is_same_v<T, Variant>) {
      if (target_) *target_ = fromVariant<T>(value_);
    }
  }

 private:
  T* target_ = nullptr;
  Variant value_;
  bool given_ = false;
};

// A by-value parameter, or an optional one left out.
class ByVal {
 public:
  template <class T>
  ByVal(const T& value) : value_(toVariant(value)), given_(true) {}
  template <class T>
  ByVal(const std::optional<T>& value) : given_(value.has_value()) {
    if (value) value_ = toVariant(*value);
  }
  Variant* slot() { return given_ ? &value_ : nullptr; }
  void writeBack() {}

 private:
  Variant value_;
  bool given_;
};

// One late-bound call with the parameters in declaration order; by-reference values are written
// back on a failure too, as the control leaves them.
template <class... Args>
Variant call(Dispatch& control, int32_t dispid, Args&&... args) {
  DispParams params;
  params.positional = {args.slot()...};
  Variant result;
  try {
    result = invoke(control, dispid, params);
  } catch (...) {
    (args.writeBack(), ...);
    throw;
  }
  (args.writeBack(), ...);
  return result;
}

}  // namespace tlx::facade
