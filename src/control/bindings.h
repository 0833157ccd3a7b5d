// Bindings from the type library's methods to the families that implement them: one table per
// family in bind_<family>.cc, written with bind() (control/bind.h).
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "talvex/convert.h"
#include "talvex/variant.h"

namespace tlx {

class TALVEX;

// The arguments of one call, already coerced to their declared types and in declaration order.
// By-reference parameters are written back to the caller's variables after the call.
class CallArgs {
 public:
  explicit CallArgs(std::vector<Variant>& values) : values_(values) {}
  size_t size() const { return values_.size(); }
  Variant& var(size_t i) { return values_.at(i); }  // a Variant parameter, or any by reference
  BStr& str(size_t i) { return values_.at(i).str(); }
  int16_t i2(size_t i) const { return values_.at(i).i2(); }
  int32_t i4(size_t i) const { return values_.at(i).i4(); }
  double r8(size_t i) const { return values_.at(i).r8(); }
  float r4(size_t i) const { return values_.at(i).r4(); }
  bool boolean(size_t i) const { return values_.at(i).boolean(); }
  ObjRef obj(size_t i) const { return values_.at(i).isObject() ? values_.at(i).obj() : ObjRef(); }

 private:
  std::vector<Variant>& values_;
};

using Invoker = Variant (*)(TALVEX& control, CallArgs& args);

struct Binding {
  std::string_view method;
  Invoker invoke;
};

std::span<const Binding> controlBindings();  // AboutBox
std::span<const Binding> cadBindings();
std::span<const Binding> attributesBindings();
std::span<const Binding> dxfBindings();
std::span<const Binding> officeBindings();
std::span<const Binding> dataBindings();
std::span<const Binding> transferBindings();
std::span<const Binding> arraysBindings();
std::span<const Binding> controlsBindings();
std::span<const Binding> htmlBindings();
std::span<const Binding> pdfBindings();
std::span<const Binding> xmlBindings();

}  // namespace tlx
