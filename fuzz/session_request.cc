// The host's request reader, value decoder and answer writer: any line gets an answer that is
// JSON and says ok or not, and a value kept in a variable comes back in a form that reads back
// as the same value, through "let" and through "get". The same request with "echo": false
// names the variables it changed without their values. Requests that would call into the
// control (files, objects, windows) are left out.
#include <nlohmann/json.hpp>

#include "fuzz_input.h"
#include "session.h"

using namespace tlx::host;
using json = nlohmann::json;

namespace {

bool reachesOut(const json& request) {
  if (!request.is_object()) return false;
  for (const char* key : {"call", "on", "create", "getobject"})
    if (request.contains(key)) return true;
  return false;
}

json answer(Session& session, const std::string& line) {
  JsonWriter out;
  const Outcome outcome = session.handleLine(line, out);
  json parsed = json::parse(out.text());
  FUZZ_CHECK(parsed["ok"] == outcome.ok);
  FUZZ_CHECK(outcome.ok || parsed.contains("error"));
  return parsed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const Limits limits{size_t(1) << 20, 200};
  json request;
  if (!nestsDeeperThan(line, 200)) {
    request = json::parse(line, nullptr, false);
    if (reachesOut(request)) return 0;
  }
  Session session(limits);
  const json shown = answer(session, line);
  for (auto& [name, value] : shown["vars"].items()) {
    const json back = answer(session, json{{"let", "sent back"}, {"value", value}}.dump());
    FUZZ_CHECK(back["vars"]["sent back"] == value);
    FUZZ_CHECK(answer(session, json{{"get", name}}.dump())["result"] == value);
  }
  if (request.is_object() && !request.contains("echo")) {
    Session quiet(limits);
    request["echo"] = false;
    const json names = answer(quiet, request.dump());
    FUZZ_CHECK(names["ok"] == shown["ok"] && names["vars"].empty());
    json expected = json::array();
    for (auto& [name, value] : shown["vars"].items()) expected.push_back(name);
    FUZZ_CHECK(names.value("changed", json::array()) == expected);
  }
  return 0;
}
