// Runs the real command-line host (`talvex session`) with request lines and returns its answers,
// one parsed JSON object per answer line. Header-only, for end-to-end tests of every family.
//
//   auto answers = tlxtest::runSession({R"({"call":"AboutBox"})"});
//   EXPECT_TRUE(answers[0]["ok"]);
//
// Options: extra environment variables, a working directory, the binary to run, resource limits.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/scratch.h"

#ifndef TALVEX_BINARY
#error "TALVEX_BINARY must name the built talvex host"
#endif

namespace tlxtest {

struct SessionOptions {
  std::map<std::string, std::string> env;  // added to (or replacing in) the inherited environment
  std::string workDir;                     // empty: the test's current directory
  std::string binary = TALVEX_BINARY;
  std::map<int, rlim_t> limits;            // resource limits of the host (RLIMIT_AS, ...)
};

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the host with the given arguments and standard input; collects both output streams.
inline ProcessResult runHost(const std::vector<std::string>& args, const std::string& input,
                             const SessionOptions& options = {}) {
  namespace fs = std::filesystem;
  const fs::path tmp = makeTempDir("talvex-session");
  const fs::path inPath = tmp / "in", outPath = tmp / "out", errPath = tmp / "err";
  writeFile(inPath, input);
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int in = open(inPath.c_str(), O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    // No controlling terminal for the host: a pick with an empty queue is a cancel, not a prompt.
    setsid();
    // Work left unsaved at exit is recovered into the scratch folder unless a test asks where.
    setenv("TALVEX_RECOVERY_DIR", (tmp / "recovered").c_str(), 1);
    for (auto& [k, v] : options.env) setenv(k.c_str(), v.c_str(), 1);
    if (!options.workDir.empty() && chdir(options.workDir.c_str()) != 0) _exit(126);
    for (auto& [resource, limit] : options.limits) {
      const rlimit both{limit, limit};
      if (setrlimit(resource, &both) != 0) _exit(126);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(options.binary.c_str()));
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(options.binary.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  ProcessResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = readFile(outPath);
  r.err = readFile(errPath);
  std::error_code ec;
  fs::remove_all(tmp, ec);
  return r;
}

// Parses every non-empty output line as JSON; a line that does not parse throws.
inline std::vector<nlohmann::json> parseAnswers(const std::string& out) {
  std::vector<nlohmann::json> answers;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) answers.push_back(nlohmann::json::parse(line));
  return answers;
}

// One answer per request line, in order. Throws when the host does not exit 0.
inline std::vector<nlohmann::json> runSession(const std::vector<std::string>& requests,
                                              const SessionOptions& options = {}) {
  std::string input;
  for (auto& r : requests) input += r + "\n";
  ProcessResult r = runHost({"session"}, input, options);
  if (r.exitCode != 0)
    throw std::runtime_error("talvex session exited " + std::to_string(r.exitCode) + ": " + r.err);
  return parseAnswers(r.out);
}

// The same with requests given as JSON values.
inline std::vector<nlohmann::json> runSession(const std::vector<nlohmann::json>& requests,
                                              const SessionOptions& options = {}) {
  std::vector<std::string> lines;
  for (auto& r : requests) lines.push_back(r.dump());
  return runSession(lines, options);
}

}  // namespace tlxtest
