// Shared by the drawing tests: the error a call fails with, the sample drawing made by ezdxf and
// what that independent reader finds in a drawing (tests/cad_e2e/drawings.py, shared with the
// end-to-end tests), and one-off reader scripts.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "support/scratch.h"
#include "talvex/com_error.h"

namespace cadtest {

inline std::string drawings(const std::string& args) { return tlxtest::python("tests/cad_e2e/drawings.py", args); }
// The sample drawing as `path`, of the given version.
inline void makeDrawing(const std::string& path, const std::string& version = "R2000") {
  drawings("make " + tlxtest::shellQuote(path) + " " + version);
}
inline nlohmann::json inspect(const std::string& path) {
  return nlohmann::json::parse(drawings("facts " + tlxtest::shellQuote(path)));
}

// Runs a reader script with Debian's ezdxf; its report, the last line of its output (warnings may
// come before it).
inline nlohmann::json runScript(const std::string& dir, const std::string& script, const std::string& args) {
  std::string path = dir + "/script.py";
  std::ofstream(path) << script;
  auto [rc, out] = tlxtest::runCommand("/usr/bin/python3 " + path + " " + args + " 2>&1");
  if (rc != 0) ADD_FAILURE() << "python failed: " << out;
  std::string line = out;
  while (!line.empty() && line.back() == '\n') line.pop_back();
  if (auto nl = line.rfind('\n'); nl != std::string::npos) line = line.substr(nl + 1);
  try {
    return nlohmann::json::parse(line);
  } catch (...) {
    ADD_FAILURE() << "reader output: " << out;
    return nlohmann::json::object();
  }
}

// The error number a call fails with, 0 when it succeeds.
inline tlx::HRESULT failure(const std::function<void()>& call) {
  try {
    call();
  } catch (const tlx::ComError& e) {
    return e.number();
  }
  return 0;
}

using tlxtest::ScratchDir;

}  // namespace cadtest
