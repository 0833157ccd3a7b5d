// Shared pieces of the drawing end-to-end tests: sample drawings made and read by ezdxf, and the
// requests of a host session.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "support/scratch.h"

namespace tlxtest {

namespace fs = std::filesystem;
using json = nlohmann::json;

inline std::string runPython(const std::string& args) { return python("tests/cad_e2e/drawings.py", args); }
inline void makeDrawing(const fs::path& path) {
  runPython("make '" + path.string() + "'");
  if (!fs::exists(path)) throw std::runtime_error("ezdxf did not write " + path.string());
}
// What an independent reader finds in the file.
inline json facts(const fs::path& path) { return json::parse(runPython("facts '" + path.string() + "'")); }
// The model and paper space entities with their geometry, as that reader sees them.
inline json entities(const fs::path& path) { return json::parse(runPython("entities '" + path.string() + "'")); }

// A session request: a method of the control, its result kept as `as` when given.
inline json call(const std::string& method, json args = json::array(), std::string as = "") {
  json r{{"call", method}, {"args", std::move(args)}};
  if (!as.empty()) r["as"] = as;
  return r;
}
inline json get(const std::string& obj, const std::string& member) { return {{"on", obj}, {"get", member}}; }

}  // namespace tlxtest
