#include "help.h"

#include <fmt/format.h>

namespace tlx::host {

namespace {

const EnumInfo* enumerationNamed(const std::string& name) {
  for (const EnumInfo& e : enumerations())
    if (e.name == name) return &e;
  return nullptr;
}

std::string constantsText(const EnumInfo& e) {
  std::string text;
  for (auto& [name, value] : e.constants) text += fmt::format("{}{} = {}", text.empty() ? "" : ", ", name, value);
  return text;
}

std::string parameterLine(const ParamInfo& p) {
  std::string how = p.optional ? "optional" : "required";
  if (p.defaultValue) how += ", default " + literalText(*p.defaultValue);
  how += p.byVal ? ", by value" : ", by reference";
  std::string line = fmt::format("  {:<22} {:<16} {}\n", p.name, p.typeName, how);
  if (const EnumInfo* e = enumerationNamed(p.typeName); e && !e->constants.empty())
    line += fmt::format("  {:<22} {:<16} {}\n", "", "", constantsText(*e));
  return line;
}

}  // namespace

std::string dispidText(int32_t dispid) {
  return dispid < 0 ? std::to_string(dispid) : fmt::format("0x{:08X}", static_cast<uint32_t>(dispid));
}

std::string methodDescription(const MethodInfo& m) {
  std::string text = m.signature() + "\n";
  text += fmt::format("  dispatch identifier {}, built\n", dispidText(m.dispid));
  for (const ParamInfo& p : m.params) text += parameterLine(p);
  text += fmt::format("  {:<22} {}", "returns", m.resultTypeName.empty() ? "nothing" : m.resultTypeName);
  if (m.statusCodes.empty()) return text + "\n";
  const bool counts = m.statusCodes.front().code < 1;
  text += counts ? ", a count (0 or more) or one of these status codes:\n" : ", one of these status codes:\n";
  for (const StatusCode& c : m.statusCodes) text += fmt::format("  {:<22} {}\n", c.code, c.meaning);
  return text;
}

std::string helpText() {
  return R"(talvex: the command-line host of the TALVEX control

usage:
  talvex session [--max-line BYTES] [--max-depth N] [--trace FILE]
      One JSON request per line on standard input, one JSON answer per line on standard
      output, one control and its session variables for the whole session.
      --max-line BYTES   longest request line read (default 33554432)
      --max-depth N      deepest nesting of brackets and arrays, 1 to 5000 (default 1000)
      --trace FILE       write every request ("> ") and answer ("< ") to FILE, with
                         passwords masked
  talvex call [--quiet] METHOD [ARG...]
      One call; each ARG is JSON (text that is not JSON passes as a string). On a terminal,
      a call that takes longer than a second shows what it has read and written so far on
      standard error; --quiet (-q) shows nothing.
  talvex methods [--json]
      The type library: dispatch identifiers, whether built, declarations.
  talvex methods NAME
      One method's declaration, parameters, result and status codes.
  talvex --help | --version
      This text; the version.

exit statuses:
  0  done (a session: input ended)
  1  talvex call: the method raised an error or the call could not be made (the error on
     standard error); talvex session: standard output closed or standard input unreadable
  2  the command line was wrong (what was wrong on standard error)
  3  talvex call: the method returned a failure status code (the code and its meaning on
     standard error)

environment:
  TALVEX_CODEPAGE      code page of text files (an iconv name; default UTF-8)
  TALVEX_RECOVERY_DIR  where work left unsaved at exit goes (default ./talvex-recovery)
  TALVEX_NO_TTY        when set, a point pick with no queued point is a cancel

requests:
  {"call": "Method", "args": [...], "named": {"param": value}}   call the control
  {"let": "name", "value": value}                                 set a session variable
  {"get": "name"}                                                 a session variable's value
  {"create": "ProgId"}  {"getobject": "ProgId"}                   outside objects
  {"on": "obj", "call" | "get": "Member", "args": [...]}          call a member of an object
  {"on": "obj", "put": "Member", "value": value}                  set a property
  {"on": "obj", "member": "Member"}          "property", "method" or "unknown" (call it)
  {"picks": [[x, y, z], ...]}                                     points for interactive picks
  {"clipboard": true}                                             the session clipboard's text
  Any request may carry "as": "name" to keep its result in a session variable, and
  "echo": false to have its answer name the variables it changed ("changed": [names])
  without their values, and leave out a result that "as" keeps.

values:
  strings, true/false, null (Null), numbers (16-bit, else 32-bit integers, else Double),
  JSON arrays (1-D arrays from 0), and the tagged forms {"i2": n} {"i4": n} {"r4": x}
  {"r8": x} {"cy": "1.25"} {"date": "2024-01-31T13:05:00"} {"empty": true} {"missing": true}
  {"array": [...], "lbound": [1]} {"array2d": [[...]], "lbound": [1, 0]} {"array3d": ...}
  {"var": "name"} (a session variable, by reference) {"obj": "name"} (an object).

answers:
  {"ok": true, "result": value, "vars": {changed variables}, "messages": [message boxes]}
  {"ok": false, "error": {"number": N, "description": "..."}, "vars": {...}, "messages": [...]}
)";
}

}  // namespace tlx::host
