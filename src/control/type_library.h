// The control's type library: every public method with its dispatch identifier, parameters and
// result type, in declaration order, and the enumerations with their tlx constants.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "talvex/variant.h"

namespace tlx {

struct ParamInfo {
  std::string name;
  std::string typeName;  // as declared: String, Integer, Long, Double, Single, Boolean, Variant,
                         // Object, an enumeration (a Long) or a class name (an object)
  VarType type;          // the automation type arguments are coerced to
  bool optional = false;
  std::optional<Variant> defaultValue;  // the declared default of an optional parameter
  bool byVal = false;
};

// A status code a method may return and what it means.
struct StatusCode {
  int16_t code;
  std::string meaning;
};

struct MethodInfo {
  std::string name;
  int32_t dispid;
  std::vector<ParamInfo> params;
  std::string resultTypeName;  // empty for a Sub
  VarType resultType;          // vtEmpty for a Sub
  // The codes of a method that reports by status code, success first; empty for the others. A
  // method that counts (0 or more) lists only its failures.
  std::vector<StatusCode> statusCodes;
  std::string signature() const;  // the Basic declaration, e.g. "Function Zoom(...) As Integer"
};

struct EnumInfo {
  std::string name;
  std::vector<std::pair<std::string, int32_t>> constants;
};

const std::vector<MethodInfo>& typeLibrary();
const MethodInfo* findMethod(std::string_view name);  // without regard to case
const MethodInfo* findMethod(int32_t dispid);
const std::vector<EnumInfo>& enumerations();
// What a status code of the method means; null when the method declares no such code.
const StatusCode* findStatusCode(const MethodInfo& method, int32_t code);
const EnumInfo* findEnumeration(std::string_view name);  // nullptr for a name that is no enumeration
// A default value as the declaration writes it: "text", True, 12.5.
std::string literalText(const Variant& v);

constexpr int32_t DISPID_ABOUTBOX = -552;

}  // namespace tlx
