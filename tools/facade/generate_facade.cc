// Writes the typed C++ facade of the control, talvex/control.h, from the type library, so that
// every method of the interface has a typed member without anyone writing it by hand.
//
//   talvex_facade_gen OUTPUT
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

#include <fmt/format.h>

#include "control/type_library.h"

using namespace tlx;

namespace {

std::string cppType(const std::string& typeName, VarType type) {
  if (findEnumeration(typeName)) return "typelib::" + typeName;
  switch (type) {
    case vtString: return "BStr";
    case vtI2: return "int16_t";
    case vtI4: return "int32_t";
    case vtR8: return "double";
    case vtR4: return "float";
    case vtBoolean: return "bool";
    case vtVariant: return "Variant";
    case vtDispatch: return "ObjRef";
    default: throw std::logic_error("no C++ type for " + typeName);
  }
}

std::string parameter(const ParamInfo& p) {
  const std::string type = cppType(p.typeName, p.type);
  if (!p.byVal) return fmt::format("facade::ByRef<{}> {}{}", type, p.name, p.optional ? " = {}" : "");
  if (p.optional) return fmt::format("std::optional<{}> {} = std::nullopt", type, p.name);
  return fmt::format("{} {}", type, p.name);
}

std::string argument(const ParamInfo& p) { return p.byVal ? fmt::format("facade::ByVal({})", p.name) : p.name; }

void writeEnumerations(std::ostream& out) {
  out << "namespace typelib {\n\n";
  std::set<std::string> seen;
  for (const EnumInfo& e : enumerations()) {
    out << "enum " << e.name << " : int32_t {\n";
    for (auto& [name, value] : e.constants) {
      if (!seen.insert(name).second) throw std::logic_error("constant named twice: " + name);
      out << fmt::format("  {} = {},\n", name, value);
    }
    out << "};\n\n";
  }
  out << "}  // namespace typelib\n\n";
}

void writeMethod(std::ostream& out, const MethodInfo& m) {
  const std::string result = m.resultTypeName.empty() ? "void" : cppType(m.resultTypeName, m.resultType);
  std::string params, args;
  for (const ParamInfo& p : m.params) {
    params += (params.empty() ? "" : ", ") + parameter(p);
    args += ", " + argument(p);
  }
  const std::string call = fmt::format("facade::call(*control_, 0x{:08X}{})", static_cast<uint32_t>(m.dispid), args);
  out << "  // " << m.signature() << "\n";
  if (!m.statusCodes.empty()) out << "  // Status codes:\n";
  for (const StatusCode& c : m.statusCodes) out << fmt::format("  //   {:>2} {}\n", c.code, c.meaning);
  out << fmt::format("  {} {}({}) {{\n", result, m.name, params);
  if (result == "void") out << "    " << call << ";\n";
  else out << fmt::format("    return facade::fromVariant<{}>({});\n", result, call);
  out << "  }\n";
}

std::string header() {
  std::ostringstream out;
  out << R"(// The TALVEX control with one typed member per method, written from the type library when
// the control is built; do not edit. Parameters have their declared types; a by-reference one
// takes a variable (which receives what the method leaves in it) or a value; an optional one may
// be left out (by value: std::nullopt). Failures raise ComError as the control does.
//
//   tlx::Control c(site);
//   tlx::Variant rows = tlx::Variant::unallocatedArray();
//   int16_t rc = c.TextFileToArray(u"f.csv", rows);
#pragma once

#include <cstdint>
#include <optional>

#include "talvex/facade_support.h"

namespace tlx {

)";
  writeEnumerations(out);
  out << R"(class Control {
 public:
  explicit Control(HostSite& site) : control_(facade::newControl(site)) {}

  // The control itself, for late-bound calls by name.
  Dispatch& object() { return *control_; }

)";
  for (const MethodInfo& m : typeLibrary()) {
    writeMethod(out, m);
    out << "\n";
  }
  out << R"( private:
  ObjRef control_;
};

}  // namespace tlx
)";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: talvex_facade_gen OUTPUT\n";
    return 2;
  }
  try {
    const std::filesystem::path output = argv[1];
    std::filesystem::create_directories(output.parent_path());
    // Written beside and renamed, so that a failed run leaves no half header for the build.
    const std::filesystem::path partial = output.string() + ".partial";
    {
      std::ofstream out(partial, std::ios::binary | std::ios::trunc);
      out << header();
      if (!out.flush()) throw std::runtime_error("cannot write " + partial.string());
    }
    std::filesystem::rename(partial, output);
  } catch (const std::exception& e) {
    std::cerr << "talvex_facade_gen: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
