// talvex: the command-line host of the TALVEX control.
//
//   talvex session [--max-line BYTES] [--max-depth N] [--trace FILE]
//                             JSON requests on standard input, one JSON answer per line
//   talvex call [--quiet] METHOD ARG...
//                             one call with JSON arguments; prints the answer
//   talvex methods [--json]   the type library: identifiers, signatures, which are built
//   talvex methods NAME       one method's declaration, parameters and status codes
//   talvex --help             all of this, with the request forms
//   talvex --version          the version
#include <pthread.h>
#include <unistd.h>

#include <charconv>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <optional>
#include <string>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "automation/text_file.h"
#include "control/talvex.h"
#include "control/type_library.h"
#include "help.h"
#include "json_writer.h"
#include "line_reader.h"
#include "platform/app/recovery.h"
#include "progress.h"
#include "session.h"
#include "trace.h"

using namespace tlx;
using namespace tlx::host;

namespace {

using Answer = nlohmann::ordered_json;

// One answer and its line end; false when standard output no longer takes answers.
bool printLine(std::string_view answer) {
  JsonWriter out(STDOUT_FILENO);
  return out.raw(answer).raw("\n").flush();
}

// Exit statuses (the manual page and the README list them).
constexpr int kFailed = 1;        // the call raised an error or could not be made
constexpr int kUsage = 2;         // the command line was wrong
constexpr int kFailureCode = 3;   // the method returned one of its failure codes

// A command line that cannot be followed: what was wrong, then how to write it.
struct UsageError {
  std::string what;
};

void usage() {
  std::cerr << "usage: talvex session [--max-line BYTES] [--max-depth N] [--trace FILE] | "
               "talvex call [--quiet] METHOD [ARG...] | talvex methods [--json | NAME] | talvex --help | "
               "talvex --version\n";
}

// A whole number from `least` to `most`, the value of `option`.
long long readCount(const std::string& option, const std::string& value, long long least, long long most) {
  long long n = 0;
  const char* end = value.data() + value.size();
  const auto [stop, error] = std::from_chars(value.data(), end, n);
  if (error == std::errc::invalid_argument || stop != end)
    throw UsageError{fmt::format("talvex session: {} {}: not a whole number", option, value)};
  if (error == std::errc::result_out_of_range || n > most)
    throw UsageError{fmt::format("talvex session: {} {}: at most {}", option, value, most)};
  if (n < least) throw UsageError{fmt::format("talvex session: {} {}: at least {}", option, value, least)};
  return n;
}

// "--max-line BYTES", "--max-depth N" and "--trace FILE".
void readSessionOptions(int argc, char** argv, Limits& limits, std::string& traceFile) {
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    if (option != "--max-line" && option != "--max-depth" && option != "--trace")
      throw UsageError{fmt::format("talvex session: unknown option '{}'", option)};
    if (i + 1 >= argc || !*argv[i + 1]) throw UsageError{fmt::format("talvex session: {} needs a value", option)};
    const std::string value = argv[++i];
    if (option == "--trace") traceFile = value;
    if (option == "--max-line") limits.maxLineBytes = static_cast<size_t>(readCount(option, value, 1, LLONG_MAX));
    if (option == "--max-depth") limits.maxDepth = static_cast<int>(readCount(option, value, 1, 5000));
  }
}

// "[--quiet] METHOD": the position of METHOD in argv.
int readCallOptions(int argc, char** argv, bool& quiet) {
  int at = 2;
  for (; at < argc && argv[at][0] == '-'; ++at) {
    if (std::string(argv[at]) != "--quiet" && std::string(argv[at]) != "-q")
      throw UsageError{fmt::format("talvex call: unknown option '{}'", argv[at])};
    quiet = true;
  }
  if (at >= argc) throw UsageError{"talvex call: no METHOD given"};
  return at;
}

// "", "--json" or a method's NAME.
std::string readMethodsOptions(int argc, char** argv) {
  if (argc > 3) throw UsageError{fmt::format("talvex methods: unexpected '{}'", argv[3])};
  const std::string what = argc > 2 ? argv[2] : "";
  if (what.starts_with("-") && what != "--json")
    throw UsageError{fmt::format("talvex methods: unknown option '{}'", what)};
  return what;
}

// Everything the command line says, read before anything runs.
struct CommandLine {
  std::string command;
  Limits limits;          // session
  std::string traceFile;  // session
  bool quiet = false;     // call
  int methodAt = 0;       // call: where METHOD stands in argv
  std::string methods;    // methods: "", "--json" or NAME
};

CommandLine readCommandLine(int argc, char** argv) {
  CommandLine line;
  line.command = argc > 1 ? argv[1] : "";
  if (line.command.empty()) throw UsageError{"talvex: no command given"};
  if (line.command == "session") readSessionOptions(argc, argv, line.limits, line.traceFile);
  else if (line.command == "call") line.methodAt = readCallOptions(argc, argv, line.quiet);
  else if (line.command == "methods") line.methods = readMethodsOptions(argc, argv);
  else throw UsageError{fmt::format("talvex: unknown command '{}'", line.command)};
  return line;
}

// One request's answer to `out`; with a trace, through a copy that the trace shows too.
void answerLine(Session& session, std::optional<Trace>& trace, const std::string& line, JsonWriter& out) {
  if (!trace) {
    session.handleLine(line, out);
    return;
  }
  JsonWriter copy;
  try {
    session.handleLine(line, copy);
  } catch (const std::bad_alloc&) {
    copy.clear();
    copy.raw(kOutOfMemoryAnswer);
  }
  trace->answer(copy.text());
  out.raw(copy.text());
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
  JsonWriter out(STDOUT_FILENO);
  std::string line;
  for (;;) {
    const LineReader::Result got = reader.next(line);
    if (got == LineReader::End) break;
    if (got == LineReader::TooLong) {
      JsonWriter answer;
      Session::malformedLine(fmt::format("line longer than {} bytes (see --max-line)", limits.maxLineBytes), answer);
      if (trace) trace->request(fmt::format("(a line longer than {} bytes)", limits.maxLineBytes));
      if (trace) trace->answer(answer.text());
      out.raw(answer.text());
    } else if (got == LineReader::NoMemory) {
      if (trace) trace->request("(a line with no memory to hold it)");
      if (trace) trace->answer(kOutOfMemoryAnswer);
      out.raw(kOutOfMemoryAnswer);
    } else {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.find_first_not_of(" \t") == std::string::npos) continue;
      if (trace) trace->request(line);
      try {
        answerLine(session, trace, line, out);
      } catch (const std::bad_alloc&) {
        // Nothing was written: a request fails before it writes a byte of its answer, and
        // the session changed nothing (a request whose answer cannot be made restores what
        // it touched).
        out.raw(kOutOfMemoryAnswer);
      }
      std::string().swap(line);  // a long line's memory goes back now, not at the next long one
    }
    if (!out.raw("\n").flush()) {
      std::cerr << "talvex session: standard output is closed; session ended\n";
      return kFailed;
    }
  }
  if (reader.failed()) {
    std::cerr << "talvex session: standard input could not be read; session ended\n";
    return kFailed;
  }
  return 0;
}

// The exit status of a call, saying on stderr what failed: a raised error, or a negative status
// code of a method that reports by status code.
int callStatus(const std::string& method, const Outcome& outcome) {
  if (!outcome.ok) {
    std::cerr << fmt::format("talvex: {} failed: {} (error {})\n", method, outcome.description, outcome.errorNumber);
    return kFailed;
  }
  const MethodInfo* m = findMethod(method);
  const std::optional<int64_t> code = outcome.integerResult;
  if (!m || m->statusCodes.empty() || !code || *code >= 0) return 0;
  const StatusCode* known = findStatusCode(*m, static_cast<int32_t>(*code));
  std::cerr << fmt::format("talvex: {} returned {}{}{}\n", m->name, *code, known ? ": " : "",
                           known ? known->meaning : std::string());
  return kFailureCode;
}

// Each argument is JSON; text that is not JSON passes as a string, so that file names need no
// quoting. Arguments are the session variables arg1, arg2, ... so that by-reference outputs show
// in the answer's "vars".
int runCall(int argc, char** argv, int methodAt, bool quiet) {
  const std::string method = argv[methodAt];
  Session session;
  JsonWriter request;
  request.raw(R"({"call":)").string(method).raw(R"(,"args":[)");
  for (int i = methodAt + 1; i < argc; ++i) {
    const std::string name = fmt::format("arg{}", i - methodAt);
    JsonWriter answer;
    if (nestsDeeperThan(argv[i], session.limits().maxDepth)) {
      Session::malformedLine(fmt::format("{} nests deeper than {} levels", name, session.limits().maxDepth), answer);
      printLine(answer.text());
      return kFailed;
    }
    JsonWriter let;
    let.raw(R"({"let":")").raw(name).raw(R"(","value":)");
    try {
      checkJson(argv[i]);
      let.raw(argv[i]);
    } catch (const JsonSyntaxError&) {
      let.string(argv[i]);
    }
    if (!session.handleLine(let.raw("}").text(), answer).ok) {
      printLine(answer.text());
      return kFailed;
    }
    request.raw(i > methodAt + 1 ? "," : "").raw(R"({"var":")").raw(name).raw(R"("})");
  }
  JsonWriter answer;
  Outcome outcome;
  {
    std::optional<Progress> progress;
    if (!quiet) progress.emplace(STDERR_FILENO);
    outcome = session.handleLine(request.raw("]}").text(), answer);
  }
  printLine(answer.text());
  return callStatus(method, outcome);
}

// One method's declaration, identifier and parameters; 1 when the type library has no such name.
int describeMethod(const std::string& name) {
  const MethodInfo* m = findMethod(name);
  if (!m) {
    std::cerr << "talvex methods: no method \"" << name << "\" (talvex methods lists them)\n";
    return kFailed;
  }
  std::cout << methodDescription(*m);
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
      method["built"] = true;  // every method is bound (the control checks it as it starts)
      Answer codes = Answer::array();
      for (const StatusCode& c : m.statusCodes) codes.push_back(Answer{{"code", c.code}, {"meaning", c.meaning}});
      method["status_codes"] = std::move(codes);
      list.push_back(std::move(method));
    }
    std::cout << list.dump(-1, ' ', false, Answer::error_handler_t::replace) << '\n';
    return 0;
  }
  for (const MethodInfo& m : typeLibrary())
    std::cout << fmt::format("{:<11} yes {}\n", dispidText(m.dispid), m.signature());
  std::cout << fmt::format("{0} methods, {0} built\n", typeLibrary().size());
  return 0;
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
  // Past a file-size limit a write fails with EFBIG and takes its writer's failure path (the old
  // file kept, no temporary left) instead of ending the host and every unsaved document with it.
  std::signal(SIGXFSZ, SIG_IGN);
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "--help" || first == "-h" || first == "help") {
    std::cout << helpText();
    return 0;
  }
  if (first == "--version" || first == "version") {
    std::cout << "talvex " << TALVEX_VERSION << '\n';
    return 0;
  }
  CommandLine line;
  try {
    line = readCommandLine(argc, argv);
  } catch (const UsageError& e) {
    std::cerr << e.what << '\n';
    usage();
    return kUsage;
  }
  // Every text method would fail on an unusable code page: say why once, up front.
  if (std::string problem = codePageProblem(); !problem.empty() && line.command != "methods")
    std::cerr << "talvex: TALVEX_CODEPAGE: " << problem << "; text files cannot be read or written\n";
  // Documents left open with unsaved changes are not lost when the host ends.
  auto keepUnsaved = [](int rc) {
    platform::app::recoverUnsaved(platform::app::recoveryFolder(), std::cerr);
    return rc;
  };
  return onLargeStack(line.limits, [&] {
    try {
      if (line.command == "session") return keepUnsaved(runSession(line.limits, line.traceFile));
      if (line.command == "call") return keepUnsaved(runCall(argc, argv, line.methodAt, line.quiet));
      if (line.methods.empty() || line.methods == "--json") return runMethods(!line.methods.empty());
      return describeMethod(line.methods);
    } catch (const std::exception& e) {
      std::cerr << "talvex: " << e.what() << '\n';
      return kFailed;
    }
  });
}
