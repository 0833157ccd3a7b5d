#include "docs.h"

#include <sstream>

#include <fmt/format.h>

#include "talvex/convert.h"
#include "automation/strings.h"

namespace tlx::python {

namespace {

// The Python type of a declared type, as the stubs write it.
std::string pythonType(const std::string& typeName, VarType type) {
  if (findEnumeration(typeName)) return typeName + " | int";
  switch (type) {
    case vtString: return "str";
    case vtI2:
    case vtI4: return "int";
    case vtR4:
    case vtR8: return "float";
    case vtBoolean: return "bool";
    case vtDispatch: return "Object";
    case vtEmpty: return "None";
    default: return "Any";
  }
}

std::string pythonLiteral(const Variant& v) {
  switch (v.type()) {
    case vtString: {
      std::string text = "\"";
      for (char c : u8(v.str())) text += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
      return text + "\"";
    }
    case vtBoolean: return v.boolean() ? "True" : "False";
    default: return u8(toBStr(v));
  }
}

// "name=default" or "name=..." (left out, the control reads the declared default).
std::string parameterText(const ParamInfo& p, bool typed) {
  std::string text = p.name;
  if (typed) {
    const std::string type = pythonType(p.typeName, p.type);
    text += ": " + type + (p.byVal || type == "Any" ? "" : " | Ref[Any]");
  }
  if (p.optional) text += typed ? " = ..." : "=" + (p.defaultValue ? pythonLiteral(*p.defaultValue) : "...");
  return text;
}

std::string parameterList(const MethodInfo& m, bool typed) {
  std::string text = "self";
  for (const ParamInfo& p : m.params) text += ", " + parameterText(p, typed);
  return text;
}

std::string parameterLine(const ParamInfo& p) {
  std::string line = fmt::format("  {}: {}", p.name, pythonType(p.typeName, p.type));
  if (const EnumInfo* e = findEnumeration(p.typeName)) {
    std::string names;
    for (auto& [name, value] : e->constants) names += fmt::format("{}{}={}", names.empty() ? "" : ", ", name, value);
    if (!names.empty() && e->constants.size() <= 8) line += " (" + names + ")";
  }
  if (!p.byVal) line += ", by reference";
  if (p.optional) line += p.defaultValue ? ", optional (default " + pythonLiteral(*p.defaultValue) + ")" : ", optional";
  return line + "\n";
}

// The status codes and their meanings, as the type library declares them.
std::string statusCodes(const MethodInfo& m) {
  std::string text;
  for (const StatusCode& c : m.statusCodes) text += fmt::format("  {:>3}  {}\n", c.code, c.meaning);
  return text.empty() ? text : "\nStatus codes:\n" + text;
}

std::string indented(const std::string& text, const std::string& margin) {
  std::istringstream in(text);
  std::string out, line;
  while (std::getline(in, line)) out += line.empty() ? "\n" : margin + line + "\n";
  return out;
}

void writeEnumerations(std::ostream& out) {
  std::string constants;
  for (const EnumInfo& e : enumerations()) {
    out << "class " << e.name << "(enum.IntEnum):\n";
    if (e.constants.empty()) out << "    ...\n";
    for (auto& [name, value] : e.constants) {
      out << fmt::format("    {} = {}\n", name, value);
      constants += fmt::format("{}: {}\n", name, e.name);
    }
    out << "\n";
  }
  out << constants << "\n";
}

}  // namespace

std::string methodDoc(const MethodInfo& m) {
  std::string doc = fmt::format("{}({})\n--\n\n{}\n\n", m.name, parameterList(m, false), m.signature());
  bool byReference = false;
  for (const ParamInfo& p : m.params) {
    doc += parameterLine(p);
    byReference = byReference || !p.byVal;
  }
  if (!m.resultTypeName.empty())
    doc += fmt::format("Returns {} ({}).\n", pythonType(m.resultTypeName, m.resultType), m.resultTypeName);
  if (byReference) doc += "A by-reference parameter takes a value, or a talvex.Ref that receives what the method leaves.\n";
  return doc + statusCodes(m);
}

std::string stubText() {
  std::ostringstream out;
  out << R"(# The native module of talvex, written from the control's type library when it is built.
import enum
from typing import Any, Iterator

from ._values import Ref

__version__: str

class Object:
    """An outside object: attributes are its properties, calls its methods."""
    def __getattr__(self, name: str) -> Any: ...
    def __setattr__(self, name: str, value: Any) -> None: ...
    def __call__(self, *args: Any, **kwargs: Any) -> Any: ...
    def __getitem__(self, key: Any) -> Any: ...
    def __setitem__(self, key: Any, value: Any) -> None: ...
    def __iter__(self) -> Iterator[Any]: ...

def create(prog_id: str) -> Object: ...
def get_object(prog_id: str) -> Object: ...

)";
  writeEnumerations(out);
  out << R"(class Control:
    """The TALVEX control: one method per method of its type library."""
    messages: list[str]
    def __init__(self) -> None: ...
    def picks(self, *points: tuple[float, float] | tuple[float, float, float]) -> None: ...
)";
  for (const MethodInfo& m : typeLibrary()) {
    const std::string result = m.resultTypeName.empty() ? "None" : pythonType(m.resultTypeName, m.resultType);
    out << fmt::format("    def {}({}) -> {}:\n", m.name, parameterList(m, true), result);
    std::string doc = methodDoc(m);
    doc = doc.substr(doc.find("--\n\n") + 4);
    for (size_t at = 0; (at = doc.find("\\", at)) != std::string::npos; at += 2) doc.insert(at, "\\");
    out << "        \"\"\"" << indented(doc, "        ").substr(8) << "        \"\"\"\n";
  }
  return out.str();
}

}  // namespace tlx::python
