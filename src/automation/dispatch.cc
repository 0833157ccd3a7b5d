#include "talvex/dispatch.h"

namespace tlx {

std::vector<Variant> Dispatch::enumerate() { throw ComError(hr::basicError(438)); }

void throwUnknownName(std::string_view member) {
  throw ComError(hr::DISP_E_UNKNOWNNAME, "Unknown name: " + std::string(member));
}

void throwMemberNotFound(std::string_view member) {
  throw ComError(hr::DISP_E_MEMBERNOTFOUND, "Member not found: " + std::string(member));
}

std::vector<Variant*> placeArguments(DispParams& params, size_t count,
                                     const std::function<std::string_view(size_t)>& nameOf) {
  std::vector<Variant*> slots = params.positional;
  for (const NamedArg& arg : params.named) {
    size_t pos = 0;
    while (pos < count && !equalsNoCaseAscii(nameOf(pos), arg.name)) ++pos;
    if (pos == count) throw ComError(hr::DISP_E_PARAMNOTFOUND, "Named argument not found: " + arg.name);
    if (slots.size() <= pos) slots.resize(pos + 1, nullptr);
    if (slots[pos]) throw ComError(hr::DISP_E_PARAMNOTFOUND, "Argument given twice: " + arg.name);
    slots[pos] = arg.value;
  }
  return slots;
}

// Positions no argument reaches read as missing (backed by `missingStore`, which must outlive the call).
std::vector<Variant*> placeArguments(const std::vector<std::string>& paramNames, DispParams& params,
                                     std::vector<Variant>& missingStore) {
  if (params.named.empty()) return params.positional;
  std::vector<Variant*> slots =
      placeArguments(params, paramNames.size(), [&](size_t i) -> std::string_view { return paramNames[i]; });
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
