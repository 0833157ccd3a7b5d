#include "control/talvex.h"

#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "control/type_library.h"
#include "platform/registry/components.h"

namespace tlx {

namespace {

// Method name, as declared, to its implementation, gathered from every family's table. Every
// method of the type library has exactly one.
std::unordered_map<std::string_view, Invoker>& bindingTable() {
  static std::unordered_map<std::string_view, Invoker> table = [] {
    std::unordered_map<std::string_view, Invoker> t;
    for (auto family : {controlBindings, cadBindings, attributesBindings, dxfBindings, officeBindings,
                        dataBindings, transferBindings, arraysBindings, controlsBindings, htmlBindings,
                        pdfBindings, xmlBindings})
      for (const Binding& b : family())
        if (!t.emplace(b.method, b.invoke).second)
          throw std::logic_error("bound twice: " + std::string(b.method));
    for (const MethodInfo& m : typeLibrary())
      if (!t.contains(m.name)) throw std::logic_error("not bound: " + m.name);
    return t;
  }();
  return table;
}

// The value an omitted optional parameter reads as: its declared default, else the zero value of
// its type; a Variant reads as missing and an object as Nothing.
Variant omittedValue(const ParamInfo& p) {
  if (p.defaultValue) return *p.defaultValue;
  switch (p.type) {
    case vtVariant: return Variant::missing();
    case vtDispatch: return Variant(ObjRef());
    case vtString: return Variant(BStr());
    default: return changeType(Variant(int16_t{0}), p.type);
  }
}

// Coerces one given argument to its declared type, as the dispatch layer does before the call.
Variant coerce(const ParamInfo& p, const Variant& given) {
  if (p.type == vtVariant) return given;
  if (p.type == vtDispatch) {
    if (!given.isObject())
      throw ComError(hr::DISP_E_TYPEMISMATCH, "Type mismatch: " + p.name + " needs an object");
    return given;
  }
  try {
    return changeType(given, p.type);
  } catch (const ComError& e) {
    if (e.number() == hr::DISP_E_OVERFLOW) throw ComError(hr::DISP_E_OVERFLOW, "Overflow: " + p.name);
    throw ComError(hr::DISP_E_TYPEMISMATCH, "Type mismatch: " + p.name);
  }
}

bool isOmitted(const Variant* v) { return v == nullptr || v->isMissing(); }

}  // namespace

TALVEX::TALVEX(HostSite& site) : site_(site) {
  registerPlatformComponents();
  bindingTable();  // a declared method left unbound stops the control here, not at its first call
}

TALVEX::~TALVEX() {
  objAcadDoc.reset();
  objAcadApp.reset();
}

Invoker TALVEX::replaceBinding(std::string_view method, Invoker invoker) {
  return std::exchange(bindingTable().at(method), invoker);
}

Variant TALVEX::invoke(std::string_view member, InvokeKind kind, DispParams& params) {
  const MethodInfo* m = findMethod(member);
  if (!m) throw ComError(hr::DISP_E_UNKNOWNNAME, "Unknown name: " + std::string(member));
  // The control has methods only; a property put reaches none of them.
  if (kind == InvokeKind::PropertyPut)
    throw ComError(hr::DISP_E_MEMBERNOTFOUND, "Member not found: " + m->name);
  return invoke(m->dispid, params);
}

Variant TALVEX::invoke(int32_t dispid, DispParams& params) {
  const MethodInfo* m = findMethod(dispid);
  if (!m) throw ComError(hr::DISP_E_MEMBERNOTFOUND, "Member not found");
  // The control stays alive for the whole call, whatever the method does with its references.
  // (Only when something already holds it: a control on the stack is not counted.)
  ObjRef self;
  if (refCount() > 0) self = ObjRef(this);

  const size_t n = m->params.size();
  if (params.positional.size() > n)
    throw ComError(hr::DISP_E_BADPARAMCOUNT, "Wrong number of arguments: " + m->name);
  std::vector<Variant*> slots =
      placeArguments(params, n, [&](size_t i) -> std::string_view { return m->params[i].name; });
  slots.resize(n, nullptr);
  Invoker invoker = bindingTable().at(m->name);

  // Coerce into the values the family sees. A by-reference Variant is moved in and back out, so
  // big arrays are not copied; a caller variable passed twice is copied instead.
  std::vector<Variant> values(n);
  std::vector<Variant> passedIn(n);  // typed by-reference arguments as the method received them
  std::vector<bool> moved(n, false);
  for (size_t i = 0; i < n; ++i) {
    const ParamInfo& p = m->params[i];
    Variant* given = slots[i];
    if (isOmitted(given)) {
      if (!p.optional) throw ComError(hr::DISP_E_PARAMNOTOPTIONAL, "Argument not optional: " + p.name);
      slots[i] = nullptr;
      values[i] = omittedValue(p);
      continue;
    }
    bool shared = false;
    for (size_t j = 0; j < n; ++j)
      if (j != i && slots[j] == given) shared = true;
    if (p.type == vtVariant && !p.byVal && !shared)
      moved[i] = true;  // taken below, once no coercion can fail any more
    else
      values[i] = coerce(p, *given);
    if (!moved[i] && !p.byVal) passedIn[i] = values[i];
  }
  for (size_t i = 0; i < n; ++i)
    if (moved[i]) values[i] = std::move(*slots[i]);

  // By-reference parameters land in the caller's variables, on a failure too (what the method
  // wrote before it failed is there, as with a variable passed by reference). A typed one that
  // the method left alone leaves the caller's variable as it was, not converted.
  auto writeBack = [&] {
    for (size_t i = 0; i < n; ++i) {
      if (!slots[i]) continue;
      if (moved[i])
        *slots[i] = std::move(values[i]);
      else if (!m->params[i].byVal && !(values[i] == passedIn[i]))
        *slots[i] = values[i];
    }
  };
  Variant result;
  try {
    CallArgs args(values);
    result = invoker(*this, args);
  } catch (...) {
    writeBack();
    throw;
  }
  writeBack();

  // A result that no path set reads as the zero value of the declared type.
  switch (m->resultType) {
    case vtEmpty: return Variant();
    case vtVariant: return result;
    case vtDispatch:
      if (result.isObject()) return result;
      if (result.isEmpty()) return Variant(ObjRef());
      throw ComError(hr::DISP_E_TYPEMISMATCH, "Type mismatch: result of " + m->name);
    default:
      return result.type() == m->resultType ? result : changeType(result, m->resultType);
  }
}

}  // namespace tlx
