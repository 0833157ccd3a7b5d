// The host's request parser and value decoder: any line gets an answer that says ok or not, and
// a value kept in a variable comes back in a form that reads back as the same value.
// Requests that would call into the control (files, objects, windows) are left out.
#include "fuzz_input.h"
#include "session.h"

using namespace tlx::host;

namespace {

bool reachesOut(const json& request) {
  if (!request.is_object()) return false;
  for (const char* key : {"call", "on", "create", "getobject"})
    if (request.contains(key)) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  Session session(Limits{size_t(1) << 20, 200});
  if (!nestsDeeperThan(line, 200)) {
    try {
      if (reachesOut(json::parse(line))) return 0;
    } catch (const json::exception&) {
    }
  }
  const Answer answer = session.handleLine(line);
  FUZZ_CHECK(answer.contains("ok") && answer["ok"].is_boolean());
  answer.dump(-1, ' ', false, json::error_handler_t::replace);
  if (!answer["ok"].get<bool>()) FUZZ_CHECK(answer.contains("error"));

  // What the answer shows of each variable, sent back, must give the same form again.
  for (auto& [name, shown] : answer["vars"].items()) {
    const json sent = json::parse(shown.dump());
    const json back = session.toJson(session.fromJson(sent));
    FUZZ_CHECK(back == sent);
  }
  return 0;
}
