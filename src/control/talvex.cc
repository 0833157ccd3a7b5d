#include "control/talvex.h"

#include <cctype>
#include <string>
#include <unordered_map>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "control/type_library.h"
#include "platform/registry/components.h"

namespace tlx {

namespace {

std::string lowerAscii(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Method name (lower case) to its implementation, gathered from every family's table.
std::unordered_map<std::string, Invoker>& bindingTable() {
  static std::unordered_map<std::string, Invoker> table = [] {
    std::unordered_map<std::string, Invoker> t;
    for (auto family : {controlBindings, cadBindings, attributesBindings, dxfBindings, officeBindings,
                        dataBindings, transferBindings, arraysBindings, controlsBindings, htmlBindings,
                        pdfBindings, xmlBindings})
      for (const Binding& b : family())
        if (b.invoke) t[lowerAscii(b.method)] = b.invoke;
    return t;
  }();
  return table;
}

Invoker bindingOf(std::string_view method) {
  auto& table = bindingTable();
  auto it = table.find(lowerAscii(method));
  return it == table.end() ? nullptr : it->second;
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

TALVEX::TALVEX(HostSite& site) : site_(site) { registerPlatformComponents(); }

TALVEX::~TALVEX() {
  objAcadDoc.reset();
  objAcadApp.reset();
}

bool TALVEX::isBuilt(std::string_view method) { return bindingOf(method) != nullptr; }

Invoker TALVEX::replaceBinding(std::string_view method, Invoker invoker) {
  auto& table = bindingTable();
  const std::string key = lowerAscii(method);
  Invoker previous = bindingOf(method);
  if (invoker)
    table[key] = invoker;
  else
    table.erase(key);
  return previous;
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

  // Place positional arguments, then named ones by parameter name.
  const size_t n = m->params.size();
  if (params.positional.size() > n)
    throw ComError(hr::DISP_E_BADPARAMCOUNT, "Wrong number of arguments: " + m->name);
  std::vector<Variant*> slots(n, nullptr);
  for (size_t i = 0; i < params.positional.size(); ++i) slots[i] = params.positional[i];
  for (const NamedArg& a : params.named) {
    size_t i = 0;
    while (i < n && !equalsNoCaseAscii(m->params[i].name, a.name)) ++i;
    if (i == n) throw ComError(hr::DISP_E_PARAMNOTFOUND, "Named argument not found: " + a.name);
    if (slots[i]) throw ComError(hr::DISP_E_PARAMNOTFOUND, "Argument given twice: " + a.name);
    slots[i] = a.value;
  }

  Invoker invoker = bindingOf(m->name);
  if (!invoker) throw ComError(hr::E_NOTIMPL, "Not implemented: " + m->name);

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
