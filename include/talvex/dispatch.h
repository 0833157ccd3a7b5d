// Late-bound automation objects: members found by name, without regard to case.
#pragma once

#include <atomic>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "talvex/variant.h"

namespace tlx {

enum class InvokeKind { Method, PropertyGet, PropertyPut };
// What a member is to a client that reads attributes: a property read without arguments, or
// something to call (a method, an indexed property); Unknown when the object cannot tell.
enum class MemberKind { Unknown, Method, Property };

// Interface identifiers answered by supports().
namespace iid {
constexpr std::string_view IDispatch = "{00020400-0000-0000-C000-000000000046}";
constexpr std::string_view Collection = "{A4C46780-499F-101B-BB78-00AA00383CBB}";
}  // namespace iid

// Arguments of one call, by reference so that a callee can write back to by-reference
// parameters. Positional arguments come first, in declaration order; a missing one is a
// Variant::missing(). Named arguments carry the parameter's name.
struct NamedArg {
  std::string name;
  Variant* value;
};
struct DispParams {
  std::vector<Variant*> positional;
  std::vector<NamedArg> named;
};

class Dispatch {
 public:
  Dispatch() = default;
  Dispatch(const Dispatch&) = delete;
  Dispatch& operator=(const Dispatch&) = delete;
  virtual ~Dispatch() = default;

  // Calls a member. An empty member name means the default member (DISPID_VALUE).
  // Unknown member: DISP_E_UNKNOWNNAME; put on a read-only property: DISP_E_MEMBERNOTFOUND.
  virtual Variant invoke(std::string_view member, InvokeKind kind, DispParams& params) = 0;
  // Interface type test (TypeOf ... Is ...).
  virtual bool supports(std::string_view interfaceId) const { return interfaceId == iid::IDispatch; }
  // Basic's TypeName of the object.
  virtual std::string typeName() const { return "Object"; }
  virtual MemberKind memberKind(std::string_view member) const { return MemberKind::Unknown; }
  // The parameter names a member declares, in order (none when the object cannot tell).
  virtual std::vector<std::string> parameterNames(std::string_view member) const { return {}; }
  // For Each over the object; objects that are not collections raise error 438.
  virtual std::vector<Variant> enumerate();

  void addRef() noexcept { ++refs_; }
  void release() noexcept {
    if (--refs_ == 0) delete this;
  }
  long refCount() const noexcept { return refs_; }

 private:
  std::atomic<long> refs_{0};
};

// Convenience calls with arguments by value (copies; nothing is written back).
Variant callMethod(const ObjRef& obj, std::string_view member, std::vector<Variant> args = {});
Variant getProperty(const ObjRef& obj, std::string_view member, std::vector<Variant> args = {});
void putProperty(const ObjRef& obj, std::string_view member, Variant value);
// A call whose arguments are the caller's own variables (by-reference parameters write back).
Variant callByRef(const ObjRef& obj, std::string_view member, std::initializer_list<Variant*> args);
// The object a Variant holds; raises "Object required" when it holds none.
ObjRef objectOf(const Variant& v);

// Positional access to the arguments of one member call, after named arguments were put in place.
class Args {
 public:
  explicit Args(std::vector<Variant*> slots) : slots_(std::move(slots)) {}
  size_t size() const { return slots_.size(); }
  // Given by the caller and not the "missing" value.
  bool has(size_t i) const { return i < slots_.size() && slots_[i] && !slots_[i]->isMissing(); }
  // The caller's variable; absent arguments raise DISP_E_PARAMNOTOPTIONAL.
  Variant& operator[](size_t i);
  // The argument's value, or `fallback` when it is absent.
  Variant value(size_t i, Variant fallback = Variant()) const;

 private:
  std::vector<Variant*> slots_;
};

// A table of members for objects written in C++: names, parameter names (for named arguments)
// and handlers. One static table per class.
template <class Self>
class Members {
 public:
  using Fn = std::function<Variant(Self&, Args&)>;
  using PutFn = std::function<void(Self&, Args&, const Variant&)>;
  struct Member {
    std::string name;
    std::vector<std::string> params;
    Fn call;    // method
    Fn get;     // property get
    PutFn put;  // property put (value is the last argument)
  };

  Members& method(std::string name, std::vector<std::string> params, Fn fn) {
    entry(std::move(name), std::move(params)).call = std::move(fn);
    return *this;
  }
  Members& property(std::string name, Fn get, PutFn put = {}, std::vector<std::string> params = {}) {
    auto& m = entry(std::move(name), std::move(params));
    m.get = std::move(get);
    m.put = std::move(put);
    return *this;
  }
  // The member that an empty name (the default member) reaches.
  Members& byDefault(std::string name) {
    default_ = std::move(name);
    return *this;
  }

  Variant invoke(Self& self, std::string_view name, InvokeKind kind, DispParams& params) const;
  MemberKind kindOf(std::string_view name) const {
    const Member* m = find(name);
    if (!m) return MemberKind::Unknown;
    return m->get && !m->call && m->params.empty() ? MemberKind::Property : MemberKind::Method;
  }
  std::vector<std::string> paramsOf(std::string_view name) const {
    const Member* m = find(name);
    return m ? m->params : std::vector<std::string>{};
  }

 private:
  Member& entry(std::string name, std::vector<std::string> params);
  const Member* find(std::string_view name) const;

  std::vector<Member> members_;
  std::string default_;
};

// Base for C++ objects: Self provides `static const Members<Self>& members();`.
template <class Self>
class Object : public Dispatch {
 public:
  Variant invoke(std::string_view member, InvokeKind kind, DispParams& params) override {
    return Self::members().invoke(static_cast<Self&>(*this), member, kind, params);
  }
  MemberKind memberKind(std::string_view member) const override { return Self::members().kindOf(member); }
  std::vector<std::string> parameterNames(std::string_view member) const override {
    return Self::members().paramsOf(member);
  }
};

// Shared by every member table: member names are ASCII and found without the locale (the
// runtime's one ASCII case folding), and named arguments are placed by parameter name.
bool equalsNoCaseAscii(std::string_view a, std::string_view b);
// Puts the positional arguments, then the named ones by parameter name (nameOf(i), i < count),
// into their parameters' slots; a slot that no argument reaches is null. An unknown name, or an
// argument given twice, raises DISP_E_PARAMNOTFOUND.
std::vector<Variant*> placeArguments(DispParams& params, size_t count,
                                     const std::function<std::string_view(size_t)>& nameOf);
std::vector<Variant*> placeArguments(const std::vector<std::string>& paramNames, DispParams& params,
                                     std::vector<Variant>& missingStore);
[[noreturn]] void throwUnknownName(std::string_view member);
[[noreturn]] void throwMemberNotFound(std::string_view member);

template <class Self>
typename Members<Self>::Member& Members<Self>::entry(std::string name, std::vector<std::string> params) {
  for (auto& m : members_)
    if (equalsNoCaseAscii(m.name, name)) {
      if (!params.empty()) m.params = std::move(params);
      return m;
    }
  members_.push_back(Member{std::move(name), std::move(params), {}, {}, {}});
  return members_.back();
}

template <class Self>
const typename Members<Self>::Member* Members<Self>::find(std::string_view name) const {
  if (name.empty()) name = default_;
  for (auto& m : members_)
    if (equalsNoCaseAscii(m.name, name)) return &m;
  return nullptr;
}

template <class Self>
Variant Members<Self>::invoke(Self& self, std::string_view name, InvokeKind kind,
                              DispParams& params) const {
  const Member* m = find(name);
  if (!m) throwUnknownName(name);
  std::vector<Variant> missing;
  if (kind == InvokeKind::PropertyPut) {
    if (!m->put) throwMemberNotFound(name);
    // The new value is the last positional argument; the ones before it are indexes.
    if (params.positional.empty()) throw ComError(hr::DISP_E_BADPARAMCOUNT);
    Variant* value = params.positional.back();
    DispParams rest{{params.positional.begin(), params.positional.end() - 1}, params.named};
    Args args(placeArguments(m->params, rest, missing));
    m->put(self, args, *value);
    return Variant();
  }
  // A property get may be called as a method and the other way round, as in Basic.
  const Fn& fn = (kind == InvokeKind::PropertyGet && m->get) ? m->get : (m->call ? m->call : m->get);
  if (!fn) throwMemberNotFound(name);
  Args args(placeArguments(m->params, params, missing));
  return fn(self, args);
}

}  // namespace tlx
