// Shared pieces of the drawing end-to-end tests: the requests of a host session. The sample
// drawings and what ezdxf finds in them come from the engine tests' support.
#pragma once

#include "platform_cad/cad_test_support.h"
#include "support/talvex_session.h"

namespace tlxtest {

namespace fs = std::filesystem;
using json = nlohmann::json;
using cadtest::entities;
using cadtest::makeDrawing;

// A session request: a method of the control, its result kept as `as` when given.
inline json call(const std::string& method, json args = json::array(), std::string as = "") {
  json r{{"call", method}, {"args", std::move(args)}};
  if (!as.empty()) r["as"] = as;
  return r;
}
inline json get(const std::string& obj, const std::string& member) { return {{"on", obj}, {"get", member}}; }

}  // namespace tlxtest
