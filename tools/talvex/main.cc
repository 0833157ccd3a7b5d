// talvex: the command-line host of the TALVEX control.
//
//   talvex session            JSON requests on standard input, one JSON answer per line
//   talvex call METHOD ARG... one call with JSON arguments; prints the answer
//   talvex methods [--json]   the type library: identifiers, signatures, which are built
#include <cstdio>
#include <iostream>
#include <string>

#include <fmt/format.h>

#include "automation/convert.h"
#include "automation/strings.h"
#include "control/talvex.h"
#include "control/type_library.h"
#include "platform/opc/recovery.h"
#include "session.h"

using namespace tlx;
using namespace tlx::host;

namespace {

void printLine(const Answer& answer) {
  std::cout << answer.dump(-1, ' ', false, json::error_handler_t::replace) << '\n' << std::flush;
}

int runSession() {
  Session session;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    printLine(session.handleLine(line));
  }
  return 0;
}

// Each argument is JSON; text that is not JSON passes as a string, so that file names need no
// quoting. Arguments are the session variables arg1, arg2, ... so that by-reference outputs show
// in the answer's "vars".
int runCall(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: talvex call METHOD [ARG...]\n";
    return 2;
  }
  Session session;
  json request{{"call", argv[2]}, {"args", json::array()}};
  for (int i = 3; i < argc; ++i) {
    const std::string name = fmt::format("arg{}", i - 2);
    json value = json::parse(argv[i], nullptr, false);
    if (value.is_discarded()) value = std::string(argv[i]);
    Answer let = session.handle(json{{"let", name}, {"value", value}});
    if (!let["ok"].get<bool>()) {
      printLine(let);
      return 1;
    }
    request["args"].push_back(json{{"var", name}});
  }
  Answer answer = session.handle(request);
  printLine(answer);
  return answer["ok"].get<bool>() ? 0 : 1;
}

std::string dispidText(int32_t dispid) {
  return dispid < 0 ? std::to_string(dispid) : fmt::format("0x{:08X}", static_cast<uint32_t>(dispid));
}

int runMethods(bool asJson) {
  if (asJson) {
    Answer list = Answer::array();
    for (const MethodInfo& m : typeLibrary()) {
      Answer params = Answer::array();
      for (const ParamInfo& p : m.params) {
        Answer param{{"name", p.name}, {"type", p.typeName}, {"optional", p.optional}};
        param["default"] = p.defaultValue ? Answer(u8(toBStr(*p.defaultValue))) : Answer(nullptr);
        if (p.defaultValue && p.defaultValue->type() == vtBoolean) param["default"] = p.defaultValue->boolean();
        if (p.defaultValue && p.defaultValue->isNumeric() && p.defaultValue->type() != vtBoolean)
          param["default"] = toDouble(*p.defaultValue);
        param["byval"] = p.byVal;
        params.push_back(std::move(param));
      }
      Answer method{{"name", m.name}, {"dispid", m.dispid}};
      method["params"] = std::move(params);
      method["result"] = m.resultTypeName.empty() ? Answer(nullptr) : Answer(m.resultTypeName);
      method["built"] = TALVEX::isBuilt(m.name);
      list.push_back(std::move(method));
    }
    std::cout << list.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
    return 0;
  }
  int built = 0;
  for (const MethodInfo& m : typeLibrary()) {
    const bool b = TALVEX::isBuilt(m.name);
    built += b;
    std::cout << fmt::format("{:<11} {:<3} {}\n", dispidText(m.dispid), b ? "yes" : "no", m.signature());
  }
  std::cout << fmt::format("{} methods, {} built\n", typeLibrary().size(), built);
  return 0;
}

void usage() {
  std::cerr << "usage: talvex session | talvex call METHOD [ARG...] | talvex methods [--json]\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    usage();
    return 2;
  }
  const std::string command = argv[1];
  try {
    // Documents left open with unsaved changes are not lost when the host ends.
    auto keepUnsaved = [](int rc) {
      opc::recoverUnsaved(opc::recoveryFolder(), std::cerr);
      return rc;
    };
    if (command == "session") return keepUnsaved(runSession());
    if (command == "call") return keepUnsaved(runCall(argc, argv));
    if (command == "methods") return runMethods(argc > 2 && std::string(argv[2]) == "--json");
  } catch (const std::exception& e) {
    std::cerr << "talvex: " << e.what() << '\n';
    return 1;
  }
  usage();
  return 2;
}
