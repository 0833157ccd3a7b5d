// talvex: the command-line host of the TALVEX control.
//
//   talvex session [--max-line BYTES] [--max-depth N] [--trace FILE]
//                             JSON requests on standard input, one JSON answer per line
//   talvex call METHOD ARG... one call with JSON arguments; prints the answer
//   talvex methods [--json]   the type library: identifiers, signatures, which are built
//   talvex methods NAME       one method's declaration and parameters
//   talvex --help             all of this, with the request forms
#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "automation/convert.h"
#include "automation/strings.h"
#include "automation/text_file.h"
#include "control/talvex.h"
#include "control/type_library.h"
#include "help.h"
#include "line_reader.h"
#include "platform/app/recovery.h"
#include "session.h"
#include "trace.h"

using namespace tlx;
using namespace tlx::host;

namespace {

// The answer to a request that ran out of memory, written without taking any.
constexpr const char* kOutOfMemory =
    R"({"ok":false,"error":{"number":-2146828281,"description":"Out of memory"},"vars":{},"messages":[]})";

// False when standard output no longer takes answers.
bool printLine(const Answer& answer) {
  try {
    std::cout << answer.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
  } catch (const std::bad_alloc&) {
    std::cout.clear();
    std::cout << kOutOfMemory << '\n';
  }
  return static_cast<bool>(std::cout << std::flush);
}

// "--max-line BYTES", "--max-depth N" and "--trace FILE"; false (with a message) on anything else.
bool readLimits(int argc, char** argv, Limits& limits, std::string& traceFile) {
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--trace" && i + 1 < argc && *argv[i + 1]) {
      traceFile = argv[++i];
      continue;
    }
    char* end = nullptr;
    const long long n = i + 1 < argc ? std::strtoll(argv[i + 1], &end, 10) : 0;
    if ((option != "--max-line" && option != "--max-depth") || !end || *end || n < 1 ||
        (option == "--max-depth" && n > 5000)) {
      std::cerr << "talvex session: expected --max-line BYTES or --max-depth N (1 to 5000) or --trace FILE, not \""
                << option << "\"\n";
      return false;
    }
    if (option == "--max-line") limits.maxLineBytes = static_cast<size_t>(n);
    else limits.maxDepth = static_cast<int>(n);
    ++i;
  }
  return true;
}

int runSession(const Limits& limits, const std::string& traceFile) {
  // A reader that went away shows as a failed write (and a message), not as a silent signal.
  std::signal(SIGPIPE, SIG_IGN);
  Session session(limits);
  std::optional<Trace> trace;
  if (!traceFile.empty())
    trace.emplace(traceFile, limits.maxDepth,
                  [&](const std::string& var, const std::string& member) { return session.parameterNames(var, member); });
  LineReader reader(stdin, limits.maxLineBytes);
  std::string line;
  for (;;) {
    const LineReader::Result got = reader.next(line);
    if (got == LineReader::End) break;
    Answer answer;
    Released<Answer> guard(answer);
    try {
      if (got == LineReader::TooLong) {
        answer = Session::malformedLine(fmt::format("line longer than {} bytes (see --max-line)", limits.maxLineBytes));
        if (trace) trace->request(fmt::format("(a line longer than {} bytes)", limits.maxLineBytes));
      } else if (got == LineReader::NoMemory) {
        answer = Answer::parse(kOutOfMemory);
        if (trace) trace->request("(a line with no memory to hold it)");
      } else {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        if (trace) trace->request(line);
        answer = session.handleLine(line);
      }
      std::string().swap(line);  // the request's memory is free for the answer
      if (trace) trace->answer(answer);
    } catch (const std::bad_alloc&) {
      // The session changed nothing: a request that runs out of memory fails before it touches
      // a variable, and one whose answer cannot be encoded restores what it touched.
      release(answer);
      std::string().swap(line);
      answer = Answer::parse(kOutOfMemory);
    }
    if (!printLine(answer)) {
      std::cerr << "talvex session: standard output is closed; session ended\n";
      return 1;
    }
  }
  if (reader.failed()) {
    std::cerr << "talvex session: standard input could not be read; session ended\n";
    return 1;
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
    if (nestsDeeperThan(argv[i], session.limits().maxDepth)) {
      printLine(Session::malformedLine(fmt::format("{} nests deeper than {} levels", name, session.limits().maxDepth)));
      return 1;
    }
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

// One method's declaration, identifier and parameters; 1 when the type library has no such name.
int describeMethod(const std::string& name) {
  const MethodInfo* m = findMethod(name);
  if (!m) {
    std::cerr << "talvex methods: no method \"" << name << "\" (talvex methods lists them)\n";
    return 1;
  }
  std::cout << methodDescription(*m, TALVEX::isBuilt(m->name));
  return 0;
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
  std::cerr << "usage: talvex session [--max-line BYTES] [--max-depth N] [--trace FILE] | talvex call METHOD [ARG...] | "
               "talvex methods [--json | NAME] | talvex --help\n";
}

// Values are decoded and encoded recursively, as deep as --max-depth allows: the commands run on
// a thread whose stack has room for that, whatever the frame sizes of the build (sanitizers
// triple them). Only the pages used are ever touched.
int onLargeStack(const Limits& limits, const std::function<int()>& body) {
  const size_t bytes = (size_t(8) << 20) + size_t(limits.maxDepth) * (32 << 10);
  struct Job {
    const std::function<int()>* body;
    int result;
  } job{&body, 1};
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_t thread;
  const bool started = pthread_attr_setstacksize(&attr, bytes) == 0 &&
                       pthread_create(&thread, &attr, [](void* p) -> void* {
                         auto* j = static_cast<Job*>(p);
                         j->result = (*j->body)();
                         return nullptr;
                       }, &job) == 0;
  pthread_attr_destroy(&attr);
  if (!started) return body();
  pthread_join(thread, nullptr);
  return job.result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    usage();
    return 2;
  }
  // Past a file-size limit a write fails with EFBIG and takes its writer's failure path (the old
  // file kept, no temporary left) instead of ending the host and every unsaved document with it.
  std::signal(SIGXFSZ, SIG_IGN);
  const std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << helpText();
    return 0;
  }
  Limits limits;
  std::string traceFile;
  if (command == "session" && !readLimits(argc, argv, limits, traceFile)) return 2;
  // Every text method would fail on an unusable code page: say why once, up front.
  if (std::string problem = codePageProblem(); !problem.empty() && (command == "session" || command == "call"))
    std::cerr << "talvex: TALVEX_CODEPAGE: " << problem << "; text files cannot be read or written\n";
  // Documents left open with unsaved changes are not lost when the host ends.
  auto keepUnsaved = [](int rc) {
    app::recoverUnsaved(app::recoveryFolder(), std::cerr);
    return rc;
  };
  return onLargeStack(limits, [&] {
    try {
      if (command == "session") return keepUnsaved(runSession(limits, traceFile));
      if (command == "call") return keepUnsaved(runCall(argc, argv));
      if (command == "methods" && argc > 2 && std::string(argv[2]) != "--json") return describeMethod(argv[2]);
      if (command == "methods") return runMethods(argc > 2 && std::string(argv[2]) == "--json");
    } catch (const std::exception& e) {
      std::cerr << "talvex: " << e.what() << '\n';
      return 1;
    }
    usage();
    return 2;
  });
}
