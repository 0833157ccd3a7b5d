// The JSON lines session of the command-line host: one request per line, one answer per line,
// one control and the named session variables for the whole session.
#pragma once

#include <deque>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "control/talvex.h"
#include "host_site.h"

namespace tlx::host {

using json = nlohmann::json;
using Answer = nlohmann::ordered_json;

// A request that the host cannot read: answered with ok false, and the session goes on.
class MalformedRequest : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Session variables that a request touched, with their values before it (none: new).
using Before = std::map<std::string, std::optional<Variant>>;

// What one request may hold. Deeper nesting would exhaust the stack of the recursive value
// conversions; the line limit bounds the memory a single request can claim.
struct Limits {
  size_t maxLineBytes = size_t(32) << 20;
  int maxDepth = 1000;  // brackets in a request line, and arrays within arrays in a value
};

// Empties a JSON value from its leaves up without taking memory. The library's own destructor
// first gathers a container's elements into a list as long as the container: out of memory, that
// fails inside a destructor and ends the process.
template <class J>
void release(J& value) noexcept {
  if (value.is_array()) {
    auto& items = value.template get_ref<typename J::array_t&>();
    for (; !items.empty(); items.pop_back()) release(items.back());
  } else if (value.is_object()) {
    auto& members = value.template get_ref<typename J::object_t&>();
    while (!members.empty()) {
      auto last = std::prev(members.end());
      release(last->second);
      members.erase(last);
    }
  }
}

// Releases a value at the end of its scope, however it ends.
template <class J>
class Released {
 public:
  explicit Released(J& value) : value_(value) {}
  ~Released() { release(value_); }
  Released(const Released&) = delete;
  Released& operator=(const Released&) = delete;

 private:
  J& value_;
};

// Parses `text` into `into`, built in place: when memory runs out, what was read is left in
// `into` for its owner to release. Throws J::exception for text that is not JSON.
template <class J>
void parseInto(std::string_view text, J& into) {
  nlohmann::detail::json_sax_dom_parser<J> builder(into);
  J::sax_parse(text, &builder);
}

// True when brackets ([ and {) outside strings nest deeper than `maxDepth`.
bool nestsDeeperThan(std::string_view jsonText, int maxDepth);

class Session {
 public:
  explicit Session(Limits limits = {});
  ~Session();

  // One request line to one answer (never throws).
  Answer handleLine(const std::string& line);
  Answer handle(const json& request);
  // The answer to a request that cannot be read at all.
  static Answer malformedLine(const std::string& why);
  const Limits& limits() const { return limits_; }

  // Values between JSON and Variants, in the tagged forms of the protocol.
  Variant fromJson(const json& value);
  Answer toJson(const Variant& value, const std::string& preferredName = {});

  Variant& variable(const std::string& name) { return vars_[name]; }
  // The parameters that `member` of the object in variable `var` declares (none when unknown).
  std::vector<std::string> parameterNames(const std::string& var, const std::string& member) const;
  CliSite& site() { return site_; }

 private:
  Variant fromJson(const json& value, int depth);
  void write(const Variant& value, Answer& out, const std::string& preferredName);
  Answer scalarJson(const Variant& value, const std::string& preferredName);
  // The request's result (none for let and picks), and in `as` the variable that keeps it.
  std::optional<Variant> run(const json& request, Before& before, std::string& as);
  // Result, changed variables, messages and clipboard into the answer; throws when a value
  // cannot be written.
  void encode(Answer& answer, const std::optional<Variant>& result, const std::string& as, const Before& before);
  // Every variable the request touched back to its value before it.
  void restore(Before& before) noexcept;
  Variant callControl(const json& request, std::deque<Variant>& temps, Before& before);
  Variant callObject(const json& request, std::deque<Variant>& temps, Before& before);
  // Arguments: {"var": name} is the session variable itself (by reference); anything else a
  // temporary. Variables passed are remembered with their value before the call.
  Variant* argument(const json& value, std::deque<Variant>& temps, Before& before);
  DispParams params(const json& request, std::deque<Variant>& temps, Before& before);
  std::string objectName(const ObjRef& obj, const std::string& preferredName);

  Limits limits_;
  CliSite site_;
  ObjRef control_;
  std::map<std::string, Variant> vars_;
  int nextAuto_ = 1;
};

std::string utf8(const BStr& s);

}  // namespace tlx::host
