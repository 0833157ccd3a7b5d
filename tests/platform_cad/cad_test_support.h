// Shared by the drawing tests: the error a call fails with, the sample drawing made by ezdxf and
// what that independent reader finds in a drawing (tests/cad_e2e/drawings.py, shared with the
// end-to-end tests).
#pragma once

#include <gtest/gtest.h>

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
// What that reader finds of one kind (drawings.py entities or solids).
inline nlohmann::json read(const std::string& what, const std::string& path) {
  return nlohmann::json::parse(drawings(what + " " + tlxtest::shellQuote(path)));
}
inline nlohmann::json entities(const std::string& path) { return read("entities", path); }

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
