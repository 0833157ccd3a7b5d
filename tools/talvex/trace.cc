#include "trace.h"

#include <new>
#include <stdexcept>

#include "automation/strings.h"
#include "control/type_library.h"
#include "session.h"

namespace tlx::host {

namespace {

const char* const kMask = "***";

// Empties a JSON value from its leaves up without taking memory. The library's own destructor
// first gathers a container's elements into a list as long as the container: out of memory, that
// fails inside a destructor and ends the process.
void release(Answer& value) noexcept {
  if (value.is_array()) {
    auto& items = value.get_ref<Answer::array_t&>();
    for (; !items.empty(); items.pop_back()) release(items.back());
  } else if (value.is_object()) {
    auto& members = value.get_ref<Answer::object_t&>();
    for (; !members.empty(); members.pop_back()) release(members.back().second);
  }
}

// Releases a value at the end of its scope, however it ends.
class Released {
 public:
  explicit Released(Answer& value) : value_(value) {}
  ~Released() { release(value_); }
  Released(const Released&) = delete;
  Released& operator=(const Released&) = delete;

 private:
  Answer& value_;
};

// Parses `text` into `into`, built in place: when memory runs out, what was read is left in
// `into` for its owner to release. Throws for text that is not JSON.
void parseInto(std::string_view text, Answer& into) {
  nlohmann::detail::json_sax_dom_parser<Answer> builder(into);
  Answer::sax_parse(text, &builder);
}

bool saysPassword(std::string_view name) {
  const std::string n = asciiLower(name);
  return n.find("password") != std::string::npos || n.find("pwd") != std::string::npos;
}

// The end of a connection-string value that starts at `from`: a braced value runs to its brace.
size_t valueEnd(const std::string& text, size_t from) {
  if (from < text.size() && text[from] == '{') {
    const size_t close = text.find('}', from);
    return close == std::string::npos ? text.size() : close + 1;
  }
  const size_t semi = text.find(';', from);
  return semi == std::string::npos ? text.size() : semi;
}

std::string maskKeyValues(const std::string& text, std::string_view key) {
  const std::string low = asciiLower(text);
  std::string out;
  size_t pos = 0;
  for (size_t at = low.find(key); at != std::string::npos; at = low.find(key, at + 1)) {
    if (at < pos || (at > 0 && asciiAlnum(text[at - 1]))) continue;
    const size_t from = at + key.size();
    out.append(text, pos, from - pos);
    out += kMask;
    pos = valueEnd(text, from);
  }
  out.append(text, pos);
  return out;
}

void maskUrlPasswords(std::string& text) {
  for (size_t at = text.find("://"); at != std::string::npos; at = text.find("://", at + 3)) {
    const size_t start = at + 3;
    const size_t authorityEnd = std::min(text.find('/', start), text.size());
    const size_t atSign = text.rfind('@', authorityEnd);
    if (atSign == std::string::npos || atSign < start) continue;
    const size_t colon = text.find(':', start);
    if (colon == std::string::npos || colon > atSign) continue;
    text.replace(colon + 1, atSign - colon - 1, kMask);
  }
}

// Every string inside `value`, at any depth.
template <class J>
void maskStrings(J& value) {
  if (value.is_string()) {
    value = maskConnectionSecrets(value.template get<std::string>());
  } else if (value.is_structured()) {
    for (auto& item : value) maskStrings(item);
  }
}

// A value passed as a password: text or a number, never a reference to a variable.
template <class J>
void maskSecret(J& value) {
  if (value.is_string() || value.is_number()) value = kMask;
}

std::string stringMember(const Answer& request, const char* key) {
  auto it = request.find(key);
  return it != request.end() && it->is_string() ? it->template get<std::string>() : std::string();
}

}  // namespace

std::string maskConnectionSecrets(std::string text) {
  text = maskKeyValues(maskKeyValues(text, "password="), "pwd=");
  maskUrlPasswords(text);
  return text;
}

void Trace::secret(Answer& value) {
  if (value.is_object() && value.contains("var") && value["var"].is_string())
    secretVars_.insert(value["var"].get<std::string>());
  else
    maskSecret(value);
}

void Trace::maskArguments(Answer& request, const std::vector<std::string>& params) {
  if (request.contains("args") && request["args"].is_array())
    for (size_t i = 0; i < request["args"].size() && i < params.size(); ++i)
      if (saysPassword(params[i])) secret(request["args"][i]);
  if (request.contains("named") && request["named"].is_object())
    for (auto& [name, value] : request["named"].items())
      if (saysPassword(name)) secret(value);
}

void Trace::maskRequest(Answer& request) {
  maskStrings(request);
  if (!request.is_object()) return;
  const std::string on = stringMember(request, "on"), as = stringMember(request, "as");
  if (on.empty()) {
    const MethodInfo* m = findMethod(stringMember(request, "call"));
    std::vector<std::string> params;
    if (m)
      for (const ParamInfo& p : m->params) params.push_back(p.name);
    maskArguments(request, params);
  } else {
    // The object's own declaration names its parameters, whatever their positions.
    const std::string member = stringMember(request, request.contains("call") ? "call"
                                                     : request.contains("get") ? "get"
                                                                               : "put");
    maskArguments(request, parameterNames_(on, member));
    if (saysPassword(member) && request.contains("put") && request.contains("value")) secret(request["value"]);
    secretResult_ = saysPassword(member) && request.contains("get");
  }
  const std::string let = stringMember(request, "let");
  if (!let.empty() && request.contains("value")) {
    const Answer& value = request["value"];
    const bool copiesSecret = value.is_object() && value.contains("var") && value["var"].is_string() &&
                              secretVars_.count(value["var"].get<std::string>());
    if (copiesSecret) secretVars_.insert(let);
    if (saysPassword(let)) secret(request["value"]);
  }
  if (secretResult_ && !as.empty()) secretVars_.insert(as);
}

void Trace::maskAnswer(Answer& answer) {
  maskStrings(answer);
  if (secretResult_ && answer.contains("result")) maskSecret(answer["result"]);
  if (answer.contains("vars") && answer["vars"].is_object())
    for (auto& [name, value] : answer["vars"].items())
      if (saysPassword(name) || secretVars_.count(name)) maskSecret(value);
}

Trace::Trace(const std::string& path, int maxDepth, ParameterNames parameterNames)
    : out_(path, std::ios::binary | std::ios::trunc), maxDepth_(maxDepth), parameterNames_(std::move(parameterNames)) {
  if (!out_) throw std::runtime_error("cannot write the trace file \"" + path + "\"");
}

void Trace::request(const std::string& line) {
  secretResult_ = false;
  try {
    // A line the session refuses for its depth is not parsed here either.
    // Parsed in order, so that the trace shows the request's members as they were sent.
    Answer parsed;
    Released guard(parsed);
    bool isJson = !nestsDeeperThan(line, maxDepth_);
    try {
      if (isJson) parseInto(line, parsed);
    } catch (const Answer::exception&) {
      isJson = false;
    }
    if (isJson) maskRequest(parsed);
    out_ << "> " << (isJson ? parsed.dump(-1, ' ', false, Answer::error_handler_t::replace) : maskConnectionSecrets(line))
         << '\n' << std::flush;
  } catch (const std::bad_alloc&) {
    secretResult_ = true;  // what the answer holds is unknown
    out_ << "> (a request the trace has no memory to show)\n" << std::flush;
  }
}

void Trace::answer(std::string_view answer) {
  try {
    Answer masked;
    Released guard(masked);
    parseInto(answer, masked);
    maskAnswer(masked);
    out_ << "< " << masked.dump(-1, ' ', false, Answer::error_handler_t::replace) << '\n' << std::flush;
  } catch (const std::bad_alloc&) {
    out_ << "< (an answer the trace has no memory to show)\n" << std::flush;
  }
}

}  // namespace tlx::host
