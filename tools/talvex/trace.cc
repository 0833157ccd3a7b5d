#include "trace.h"

#include <cctype>
#include <stdexcept>

#include "control/type_library.h"

namespace tlx::host {

namespace {

const char* const kMask = "***";

std::string lower(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool saysPassword(std::string_view name) {
  const std::string n = lower(name);
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
  const std::string low = lower(text);
  std::string out;
  size_t pos = 0;
  for (size_t at = low.find(key); at != std::string::npos; at = low.find(key, at + 1)) {
    if (at < pos || (at > 0 && std::isalnum(static_cast<unsigned char>(text[at - 1])))) continue;
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

template <class J>
void maskIfString(J& value) {
  if (value.is_string()) value = kMask;
}

}  // namespace

std::string maskConnectionSecrets(std::string text) {
  text = maskKeyValues(maskKeyValues(text, "password="), "pwd=");
  maskUrlPasswords(text);
  return text;
}

Answer maskRequest(const Answer& request) {
  Answer masked = request;
  maskStrings(masked);
  if (!masked.is_object()) return masked;
  if (masked.contains("call") && !masked.contains("on") && masked["call"].is_string() &&
      masked.contains("args") && masked["args"].is_array()) {
    if (const MethodInfo* m = findMethod(masked["call"].get<std::string>()))
      for (size_t i = 0; i < masked["args"].size() && i < m->params.size(); ++i)
        if (saysPassword(m->params[i].name)) maskIfString(masked["args"][i]);
  }
  if (masked.contains("named") && masked["named"].is_object())
    for (auto& [name, value] : masked["named"].items())
      if (saysPassword(name)) maskIfString(value);
  if (masked.contains("let") && masked["let"].is_string() && saysPassword(masked["let"].get<std::string>()) &&
      masked.contains("value"))
    maskIfString(masked["value"]);
  return masked;
}

Answer maskAnswer(const Answer& answer) {
  Answer masked = answer;
  maskStrings(masked);
  if (masked.contains("vars") && masked["vars"].is_object())
    for (auto& [name, value] : masked["vars"].items())
      if (saysPassword(name)) maskIfString(value);
  return masked;
}

Trace::Trace(const std::string& path, int maxDepth)
    : out_(path, std::ios::binary | std::ios::trunc), maxDepth_(maxDepth) {
  if (!out_) throw std::runtime_error("cannot write the trace file \"" + path + "\"");
}

void Trace::request(const std::string& line) {
  // A line the session refuses for its depth is not parsed here either.
  // Parsed in order, so that the trace shows the request's members as they were sent.
  const Answer parsed =
      nestsDeeperThan(line, maxDepth_) ? Answer(Answer::value_t::discarded) : Answer::parse(line, nullptr, false);
  const std::string text = parsed.is_discarded() ? maskConnectionSecrets(line)
                                                 : maskRequest(parsed).dump(-1, ' ', false, Answer::error_handler_t::replace);
  out_ << "> " << text << '\n' << std::flush;
}

void Trace::answer(const Answer& answer) {
  out_ << "< " << maskAnswer(answer).dump(-1, ' ', false, json::error_handler_t::replace) << '\n' << std::flush;
}

}  // namespace tlx::host
