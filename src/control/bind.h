// Binds a method of the type library to the family function that implements it:
//
//   bind<"TextFileToArray", TextFileToArray>()
//
// The function's parameters are, in order: what it works on from the control (AcadContext,
// ExtractionTemplate&, PdfWriterState&, HostSite&), then one C++ parameter per declared
// parameter, or one struct for a run of them (a ParamGroup). The compiler checks each against the
// declaration, and the result against the declared result, so a binding that disagrees with its
// declaration does not build:
//
//   String BStr   Integer int16_t   Long, enumerations int32_t   Double double   Single float
//   Boolean bool   Variant Variant   Object, Collection ObjRef (by reference also Variant&)
//
// taken by value or const reference; a non-const reference only where the declaration passes by
// reference, since only those are written back to the caller. A Sub returns void.
#pragma once

#include <array>
#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

#include "control/bindings.h"
#include "control/declaration.h"
#include "control/talvex.h"

namespace tlx {

// A method name as a template argument.
template <size_t N>
struct MethodName {
  char text[N];
  constexpr MethodName(const char (&s)[N]) {
    for (size_t i = 0; i < N; ++i) text[i] = s[i];
  }
  constexpr std::string_view view() const { return {text, N - 1}; }
};

// A struct standing for a run of declared parameters: specialize with
// `static constexpr std::tuple fields{&G::first, &G::second, ...};` in declaration order.
template <class G>
struct ParamGroup;

namespace bind_detail {

template <class T>
using Plain = std::remove_cvref_t<T>;

template <class T>
constexpr bool isContext = std::is_same_v<Plain<T>, AcadContext> || std::is_same_v<Plain<T>, ExtractionTemplate> ||
                           std::is_same_v<Plain<T>, PdfWriterState> || std::is_same_v<Plain<T>, HostSite>;

template <class T>
decltype(auto) contextOf(TALVEX& control) {
  if constexpr (std::is_same_v<Plain<T>, AcadContext>) return control.acad();
  else if constexpr (std::is_same_v<Plain<T>, ExtractionTemplate>) return control.extractionTemplate();
  else if constexpr (std::is_same_v<Plain<T>, PdfWriterState>) return control.pdfState();
  else return control.site();
}

template <class T>
concept Grouped = requires { ParamGroup<Plain<T>>::fields; };

// How many declared parameters a C++ parameter takes.
template <class T>
constexpr size_t width() {
  if constexpr (isContext<T>) return 0;
  else if constexpr (Grouped<T>) return std::tuple_size_v<std::remove_const_t<decltype(ParamGroup<Plain<T>>::fields)>>;
  else return 1;
}

template <class T>
constexpr bool isType(VarType type) {
  switch (type) {
    case vtString: return std::is_same_v<T, BStr>;
    case vtI2: return std::is_same_v<T, int16_t>;
    case vtI4: return std::is_same_v<T, int32_t>;
    case vtR8: return std::is_same_v<T, double>;
    case vtR4: return std::is_same_v<T, float>;
    case vtBoolean: return std::is_same_v<T, bool>;
    case vtVariant: return std::is_same_v<T, Variant>;
    case vtDispatch: return std::is_same_v<T, ObjRef>;
    default: return false;
  }
}

// Whether C++ parameter type T may receive the declared parameter p.
template <class T>
constexpr bool receives(const ParamDeclaration& p) {
  constexpr bool writes = std::is_lvalue_reference_v<T> && !std::is_const_v<std::remove_reference_t<T>>;
  const VarType type = declaredType(p.type);
  if (writes && p.byVal) return false;
  if (type == vtDispatch && writes && std::is_same_v<T, Variant&>) return true;  // sets the caller's object
  return isType<Plain<T>>(type);
}

template <class R>
constexpr bool returnsAs(std::string_view result) {
  return result.empty() ? std::is_void_v<R> : isType<R>(declaredType(result));
}

template <MethodName Name>
inline constexpr MethodDeclaration kDeclaration = declarationOf(Name.view());

// Declared parameter K, as the C++ parameter type T receives it.
template <MethodName Name, class T, size_t K>
decltype(auto) argument(CallArgs& a) {
  static_assert(receives<T>(kDeclaration<Name>.params[K]), "C++ parameter type differs from the declaration");
  using U = Plain<T>;
  if constexpr (std::is_same_v<U, Variant>) return a.var(K);
  else if constexpr (std::is_same_v<U, BStr>) return a.str(K);
  else if constexpr (std::is_same_v<U, ObjRef>) return a.obj(K);
  else if constexpr (std::is_same_v<U, int16_t>) return a.i2(K);
  else if constexpr (std::is_same_v<U, int32_t>) return a.i4(K);
  else if constexpr (std::is_same_v<U, double>) return a.r8(K);
  else if constexpr (std::is_same_v<U, float>) return a.r4(K);
  else return a.boolean(K);
}

// Declared parameters K on, gathered into the struct G.
template <MethodName Name, class G, size_t K>
G group(CallArgs& a) {
  G g;
  constexpr auto& fields = ParamGroup<G>::fields;
  [&]<size_t... I>(std::index_sequence<I...>) {
    ((g.*std::get<I>(fields) = argument<Name, std::remove_reference_t<decltype(g.*std::get<I>(fields))>, K + I>(a)),
     ...);
  }(std::make_index_sequence<width<G>()>());
  return g;
}

// The C++ parameter that starts at declared parameter K.
template <MethodName Name, class T, size_t K>
decltype(auto) parameter(TALVEX& control, CallArgs& a) {
  if constexpr (isContext<T>) return contextOf<T>(control);
  else if constexpr (Grouped<T>) return group<Name, Plain<T>, K>(a);
  else return argument<Name, T, K>(a);
}

// Where each C++ parameter starts among the declared ones; the last entry is their count.
template <class... P>
constexpr std::array<size_t, sizeof...(P) + 1> startsOf() {
  constexpr std::array<size_t, sizeof...(P)> widths{width<P>()...};
  std::array<size_t, sizeof...(P) + 1> at{};
  for (size_t j = 0; j < widths.size(); ++j) at[j + 1] = at[j] + widths[j];
  return at;
}
template <class... P>
inline constexpr auto kStarts = startsOf<P...>();

template <MethodName Name, auto Fn, class R, class... P>
Variant invoke(TALVEX& control, CallArgs& a) {
  static_assert(kStarts<P...>.back() == kDeclaration<Name>.paramCount,
                "C++ parameter count differs from the declaration");
  static_assert(returnsAs<R>(kDeclaration<Name>.result), "C++ result type differs from the declaration");
  return [&]<size_t... J>(std::index_sequence<J...>) {
    if constexpr (std::is_void_v<R>) {
      Fn(parameter<Name, P, kStarts<P...>[J]>(control, a)...);
      return Variant();
    } else {
      return Variant(Fn(parameter<Name, P, kStarts<P...>[J]>(control, a)...));
    }
  }(std::index_sequence_for<P...>());
}

template <MethodName Name, auto Fn, class R, class... P>
constexpr Invoker invokerOf(R (*)(P...)) {
  return &invoke<Name, Fn, R, P...>;
}

}  // namespace bind_detail

template <MethodName Name, auto Fn>
constexpr Binding bind() {
  static_assert(isDeclared(Name.view()), "no such method in the type library");
  return {Name.view(), bind_detail::invokerOf<Name, Fn>(Fn)};
}

}  // namespace tlx
