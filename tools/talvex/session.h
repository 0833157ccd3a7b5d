// The JSON lines session of the command-line host: one request per line, one answer per line,
// one control and the named session variables for the whole session. Requests are read where
// they stand in the line and answers written as they are made: no JSON tree on either side.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "control/talvex.h"
#include "host_site.h"
#include "json_reader.h"
#include "json_writer.h"

namespace tlx::host {

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

// How a request ended, beside its answer's text: what `talvex call` needs for its exit status.
struct Outcome {
  bool ok = true;
  int32_t errorNumber = 0;
  std::string description;
  std::optional<int64_t> integerResult;  // an Integer or Long result
};

// The answer to a request that ran out of memory, written without taking any.
inline constexpr std::string_view kOutOfMemoryAnswer =
    R"({"ok":false,"error":{"number":-2146828281,"description":"Out of memory"},"vars":{},"messages":[]})";

// True when brackets ([ and {) outside strings nest deeper than `maxDepth`.
bool nestsDeeperThan(std::string_view jsonText, int maxDepth);

class Session {
 public:
  explicit Session(Limits limits = {});
  ~Session();

  // One request line to its answer, written whole to `out` (no line end). Throws std::bad_alloc
  // only when memory runs out before the answer begins, or while an answer written into a string
  // grows: the request has then changed nothing, and kOutOfMemoryAnswer stands for its answer.
  Outcome handleLine(std::string_view line, JsonWriter& out);
  // The answer to a request that cannot be read at all.
  static Outcome malformedLine(const std::string& why, JsonWriter& out);
  const Limits& limits() const { return limits_; }

  // The parameters that `member` of the object in variable `var` declares (none when unknown).
  std::vector<std::string> parameterNames(const std::string& var, const std::string& member) const;
  CliSite& site() { return site_; }

 private:
  struct Request;
  // What an answer shows: the result, the variables changed, the messages and clipboard.
  struct Shown {
    const Variant* result = nullptr;
    std::string resultName;  // the variable that holds the result, if any
    bool resultKept = false;  // kept by "as"
    std::vector<std::string> changed;
    bool values = true;  // false: "echo": false, the changed variables named only
    std::vector<BStr> messages;
    std::optional<BStr> clipboard;
  };

  Variant fromJson(const JsonView& value, int depth = 0);
  Variant taggedValue(const JsonView& value, int depth);
  // The request's result (none for let and picks) into `shown`.
  void run(Request& request, Before& before, std::optional<Variant>& result, Shown& shown);
  // What the answer shows, checked to be writable and with objects named, so that writing
  // it cannot fail half-way.
  void prepare(Shown& shown, const Before& before);
  void check(const Variant& value, const std::string& preferredName);
  void writeAnswer(const Outcome& outcome, const Shown& shown, JsonWriter& out);
  void write(const Variant& value, JsonWriter& out, const std::string& preferredName);
  void writeScalar(const Variant& value, JsonWriter& out, const std::string& preferredName);
  // Every variable the request touched back to its value before it.
  void restore(Before& before) noexcept;
  Variant callControl(Request& request, std::deque<Variant>& temps, Before& before);
  Variant callObject(Request& request, std::deque<Variant>& temps, Before& before);
  // Arguments: {"var": name} is the session variable itself (by reference); anything else a
  // temporary. Variables passed are remembered with their value before the call.
  Variant* argument(const JsonView& value, std::deque<Variant>& temps, Before& before);
  DispParams params(Request& request, std::deque<Variant>& temps, Before& before);
  std::string objectName(const ObjRef& obj, const std::string& preferredName);
  void remember(const std::string& name, Before& before);

  Limits limits_;
  CliSite site_;
  ObjRef control_;
  std::map<std::string, Variant> vars_;
  int nextAuto_ = 1;
  StringArena* arena_ = nullptr;  // the strings of the request being read
  std::u16string scratch_;
};

}  // namespace tlx::host
