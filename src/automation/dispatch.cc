#include "talvex/dispatch.h"

#include <cctype>

namespace tlx {

std::vector<Variant> Dispatch::enumerate() { throw ComError(hr::basicError(438)); }

namespace {
// Member names are ASCII; folding them by hand keeps every late-bound call clear of the locale.
char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
}  // namespace

bool equalsNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i]))
      return false;
  return true;
}

void throwUnknownName(std::string_view member) {
  throw ComError(hr::DISP_E_UNKNOWNNAME, "Unknown name: " + std::string(member));
}

void throwMemberNotFound(std::string_view member) {
  throw ComError(hr::DISP_E_MEMBERNOTFOUND, "Member not found: " + std::string(member));
}

// Puts named arguments into their parameters' positions; positions no argument reaches read as
// missing (backed by `missingStore`, which must outlive the call).
std::vector<Variant*> placeArguments(const std::vector<std::string>& paramNames, DispParams& params,
                                     std::vector<Variant>& missingStore) {
  std::vector<Variant*> slots = params.positional;
  if (params.named.empty()) return slots;
  for (const NamedArg& arg : params.named) {
    size_t pos = paramNames.size();
    for (size_t i = 0; i < paramNames.size(); ++i)
      if (equalsNoCaseAscii(paramNames[i], arg.name)) pos = i;
    if (pos == paramNames.size())
      throw ComError(hr::DISP_E_PARAMNOTFOUND, "Named argument not found: " + arg.name);
    if (pos < params.positional.size())
      throw ComError(hr::DISP_E_PARAMNOTFOUND, "Argument given twice: " + arg.name);
    if (slots.size() <= pos) slots.resize(pos + 1, nullptr);
    slots[pos] = arg.value;
  }
  missingStore.reserve(slots.size());
  for (Variant*& s : slots)
    if (!s) s = &missingStore.emplace_back(Variant::missing());
  return slots;
}

Variant& Args::operator[](size_t i) {
  if (i >= slots_.size() || !slots_[i] || slots_[i]->isMissing())
    throw ComError(hr::DISP_E_PARAMNOTOPTIONAL);
  return *slots_[i];
}

Variant Args::value(size_t i, Variant fallback) const {
  return has(i) ? *slots_[i] : std::move(fallback);
}

namespace {

ObjRef checked(const ObjRef& obj) {
  if (!obj) throw ComError(hr::OBJECT_VARIABLE_NOT_SET);
  return obj;
}

Variant invokeByValue(const ObjRef& obj, std::string_view member, InvokeKind kind, std::vector<Variant>& args) {
  DispParams params;
  for (Variant& a : args) params.positional.push_back(&a);
  return checked(obj)->invoke(member, kind, params);
}

}  // namespace

Variant callMethod(const ObjRef& obj, std::string_view member, std::vector<Variant> args) {
  return invokeByValue(obj, member, InvokeKind::Method, args);
}

Variant getProperty(const ObjRef& obj, std::string_view member, std::vector<Variant> args) {
  return invokeByValue(obj, member, InvokeKind::PropertyGet, args);
}

void putProperty(const ObjRef& obj, std::string_view member, Variant value) {
  std::vector<Variant> args{std::move(value)};
  invokeByValue(obj, member, InvokeKind::PropertyPut, args);
}

Variant callByRef(const ObjRef& obj, std::string_view member, std::initializer_list<Variant*> args) {
  DispParams params{std::vector<Variant*>(args), {}};
  return checked(obj)->invoke(member, InvokeKind::Method, params);
}

ObjRef objectOf(const Variant& v) {
  if (!v.isObject()) throw ComError(hr::OBJECT_REQUIRED);
  return v.obj();
}

}  // namespace tlx
