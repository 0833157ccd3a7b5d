#include "session.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include <fmt/format.h>

#include "talvex/convert.h"
#include "automation/frame.h"
#include "talvex/registry.h"
#include "automation/strings.h"

namespace tlx::host {

std::string utf8(const BStr& s) { return u8(s); }

namespace {

[[noreturn]] void malformed(const std::string& what) { throw MalformedRequest(what); }

const json* member(const json& object, const char* key) {
  auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

std::string stringField(const json& request, const char* key) {
  const json* v = member(request, key);
  if (!v || !v->is_string()) malformed(fmt::format("\"{}\" must be a string", key));
  return v->get<std::string>();
}

int32_t integerIn(const json& v, int64_t lo, int64_t hi, const char* what) {
  if (!v.is_number_integer() || v.get<int64_t>() < lo || v.get<int64_t>() > hi)
    malformed(fmt::format("{} must be an integer from {} to {}", what, lo, hi));
  return static_cast<int32_t>(v.get<int64_t>());
}

std::vector<int32_t> lowerBounds(const json& tagged, size_t dims) {
  std::vector<int32_t> lb(dims, 0);
  if (const json* l = member(tagged, "lbound")) {
    if (!l->is_array() || l->size() != dims) malformed(fmt::format("\"lbound\" must list {} bound(s)", dims));
    for (size_t i = 0; i < dims; ++i)
      lb[i] = integerIn((*l)[i], std::numeric_limits<int32_t>::min() / 2, std::numeric_limits<int32_t>::max() / 2,
                        "a lower bound");
  }
  return lb;
}

// "2024-01-31T13:05:00", "2024-01-31", or any form the runtime's date parser reads.
double parseIsoDate(const std::string& text) {
  int y, mo, d, h = 0, mi = 0;
  double s = 0;
  // Widths keep the numbers from overflowing; dates run from the year 100 to 9999.
  int n = std::sscanf(text.c_str(), "%5d-%2d-%2dT%2d:%2d:%lf", &y, &mo, &d, &h, &mi, &s);
  if (n == 3 || n == 6) {
    if (y < 100 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 ||
        !(s >= 0 && s < 60))
      malformed("date out of range: " + text);
    return makeDate(y, mo, d, h, mi, s);
  }
  try {
    return parseDate(u16(text));
  } catch (const ComError&) {
    malformed("not a date: " + text);
  }
}

// Only the years that the decoder reads back, so that every answer can be sent back unchanged.
std::string isoDate(double serial) {
  CivilTime t{};
  try {
    t = splitDate(serial);
  } catch (const ComError&) {
  }
  if (t.year < 100 || t.year > 9999)
    throw ComError(hr::DISP_E_OVERFLOW, "Overflow: a date outside the years 100 to 9999 cannot be answered");
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}", t.year, t.month, t.day, t.hour, t.minute, t.second);
}

// The start of a value, for a message about it.
std::string excerpt(const json& v) {
  std::string text = v.dump(-1, ' ', false, json::error_handler_t::replace);
  return text.size() <= 80 ? text : text.substr(0, 80) + "...";
}

// Arrays within arrays: 0 for a scalar. Stops counting past `limit`.
int arrayDepth(const Variant& v, int limit) {
  if (!v.isArray() || !v.array() || limit < 0) return 0;
  int deepest = 0;
  for (const Variant& e : v.array()->elements()) {
    deepest = std::max(deepest, arrayDepth(e, limit - 1));
    if (deepest > limit) break;
  }
  return deepest + 1;
}

// A double as JSON: plain when it reads back as a Double, tagged otherwise.
Answer doubleJson(double d, const char* tag) {
  if (!std::isfinite(d)) return Answer{{tag, std::isnan(d) ? "NaN" : (d > 0 ? "Infinity" : "-Infinity")}};
  if (std::string_view(tag) == "r8" && (d != std::floor(d) || std::fabs(d) >= 2147483648.0)) return Answer(d);
  return Answer{{tag, d}};
}

// A request that failed, with the error's number and description.
Answer failure(const ComError& e) {
  Answer answer{{"ok", false}};
  std::string description = e.description().empty() ? standardDescription(e.number()) : e.description();
  answer["error"] = {{"number", e.number()}, {"description", description}};
  answer["vars"] = Answer::object();
  answer["messages"] = Answer::array();
  return answer;
}

}  // namespace

bool nestsDeeperThan(std::string_view text, int maxDepth) {
  int depth = 0;
  bool inString = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > maxDepth) return true;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

Session::Session(Limits limits) : limits_(limits), control_(makeRef<TALVEX>(site_)) {}

Session::~Session() {
  vars_.clear();
  control_.reset();
}

// ---- values -------------------------------------------------------------------------------

Variant Session::fromJson(const json& v) { return fromJson(v, 0); }

// `depth`: how many arrays hold this value.
Variant Session::fromJson(const json& v, int depth) {
  auto element = [&](const json& e) {
    if (depth >= limits_.maxDepth) malformed(fmt::format("arrays nest deeper than {} levels", limits_.maxDepth));
    return fromJson(e, depth + 1);
  };
  switch (v.type()) {
    case json::value_t::null: return Variant::null();
    case json::value_t::boolean: return Variant(v.get<bool>());
    case json::value_t::string: return Variant(u16(v.get<std::string>()));
    case json::value_t::number_integer:
    case json::value_t::number_unsigned: {
      if (v.is_number_unsigned() && v.get<uint64_t>() > uint64_t(std::numeric_limits<int64_t>::max()))
        return Variant(v.get<double>());
      int64_t n = v.get<int64_t>();
      if (n >= INT16_MIN && n <= INT16_MAX) return Variant(static_cast<int16_t>(n));
      if (n >= INT32_MIN && n <= INT32_MAX) return Variant(static_cast<int32_t>(n));
      return Variant(static_cast<double>(n));
    }
    case json::value_t::number_float: return Variant(v.get<double>());
    case json::value_t::array: {
      auto a = SafeArray::vector(static_cast<int32_t>(v.size()));
      for (size_t i = 0; i < v.size(); ++i) a->at(static_cast<int32_t>(i)) = element(v[i]);
      return Variant(std::move(a));
    }
    case json::value_t::object: break;
    default: malformed("unsupported JSON value");
  }
  auto number = [&](const char* key) -> const json& {
    const json& x = v.at(key);
    if (!x.is_number() && !x.is_string()) malformed(fmt::format("\"{}\" needs a number", key));
    return x;
  };
  auto asDouble = [&](const json& x) {
    if (x.is_number()) return x.get<double>();
    const std::string s = x.get<std::string>();
    if (s == "NaN") return std::numeric_limits<double>::quiet_NaN();
    if (s == "Infinity") return std::numeric_limits<double>::infinity();
    if (s == "-Infinity") return -std::numeric_limits<double>::infinity();
    malformed("not a number: " + s);
  };
  if (v.contains("i2")) return Variant(static_cast<int16_t>(integerIn(v["i2"], INT16_MIN, INT16_MAX, "\"i2\"")));
  if (v.contains("i4")) return Variant(integerIn(v["i4"], INT32_MIN, INT32_MAX, "\"i4\""));
  if (v.contains("ui1")) return Variant(static_cast<uint8_t>(integerIn(v["ui1"], 0, 255, "\"ui1\"")));
  if (v.contains("r8")) return Variant(asDouble(number("r8")));
  if (v.contains("r4")) return Variant(static_cast<float>(asDouble(number("r4"))));
  if (v.contains("date")) {
    if (!v["date"].is_string()) malformed("\"date\" needs a string");
    return Variant(Date{parseIsoDate(v["date"].get<std::string>())});
  }
  if (v.contains("cy")) {
    try {
      const json& c = v["cy"];
      Variant text = c.is_string() ? Variant(u16(c.get<std::string>())) : Variant(c.get<double>());
      return changeType(text, vtCurrency);
    } catch (const ComError&) {
      malformed("not a currency value");
    } catch (const json::exception&) {
      malformed("not a currency value");
    }
  }
  if (v.contains("error")) return Variant(ErrorValue{integerIn(v["error"], INT32_MIN, UINT32_MAX, "\"error\"")});
  if (v.contains("empty")) return Variant();
  if (v.contains("missing")) return Variant::missing();
  if (v.contains("var")) {
    if (!v["var"].is_string()) malformed("\"var\" needs a variable name");
    auto it = vars_.find(v["var"].get<std::string>());
    if (it == vars_.end()) malformed("no session variable \"" + v["var"].get<std::string>() + "\"");
    // A variable placed inside an array: the whole must stay within the limit, or a few
    // requests could stack one variable into itself past it.
    if (depth + arrayDepth(it->second, limits_.maxDepth) > limits_.maxDepth)
      malformed(fmt::format("arrays nest deeper than {} levels", limits_.maxDepth));
    return it->second;
  }
  if (v.contains("obj")) {
    if (v["obj"].is_null()) return Variant(ObjRef());
    if (!v["obj"].is_string()) malformed("\"obj\" needs a variable name");
    auto it = vars_.find(v["obj"].get<std::string>());
    if (it == vars_.end() || !it->second.isObject())
      malformed("no object in session variable \"" + v["obj"].get<std::string>() + "\"");
    return it->second;
  }
  if (v.contains("array")) {
    const json& items = v["array"];
    if (items.is_null()) return Variant::unallocatedArray();
    if (!items.is_array()) malformed("\"array\" needs a JSON array or null");
    auto lb = lowerBounds(v, 1);
    auto a = SafeArray::vector(static_cast<int32_t>(items.size()), lb[0]);
    for (size_t i = 0; i < items.size(); ++i) a->at(lb[0] + static_cast<int32_t>(i)) = element(items[i]);
    return Variant(std::move(a));
  }
  if (v.contains("array2d")) {
    const json& rows = v["array2d"];
    if (!rows.is_array()) malformed("\"array2d\" needs an array of rows");
    size_t cols = rows.empty() ? 0 : (rows[0].is_array() ? rows[0].size() : 0);
    for (auto& row : rows)
      if (!row.is_array() || row.size() != cols) malformed("\"array2d\" rows must be arrays of equal length");
    auto lb = lowerBounds(v, 2);
    auto a = std::make_unique<SafeArray>(
        std::vector<Bound>{{lb[0], static_cast<int32_t>(rows.size())}, {lb[1], static_cast<int32_t>(cols)}});
    for (size_t r = 0; r < rows.size(); ++r)
      for (size_t c = 0; c < cols; ++c)
        a->at(lb[0] + static_cast<int32_t>(r), lb[1] + static_cast<int32_t>(c)) = element(rows[r][c]);
    return Variant(std::move(a));
  }
  if (v.contains("array3d")) {
    const json& planes = v["array3d"];
    size_t n1 = planes.is_array() ? planes.size() : 0, n2 = 0, n3 = 0;
    if (!planes.is_array()) malformed("\"array3d\" needs nested arrays");
    if (n1) {
      if (!planes[0].is_array()) malformed("\"array3d\" needs nested arrays");
      n2 = planes[0].size();
      if (n2) n3 = planes[0][0].is_array() ? planes[0][0].size() : 0;
    }
    for (auto& p : planes) {
      if (!p.is_array() || p.size() != n2) malformed("\"array3d\" must be rectangular");
      for (auto& r : p)
        if (!r.is_array() || r.size() != n3) malformed("\"array3d\" must be rectangular");
    }
    auto lb = lowerBounds(v, 3);
    auto a = std::make_unique<SafeArray>(std::vector<Bound>{{lb[0], static_cast<int32_t>(n1)},
                                                            {lb[1], static_cast<int32_t>(n2)},
                                                            {lb[2], static_cast<int32_t>(n3)}});
    for (size_t i = 0; i < n1; ++i)
      for (size_t j = 0; j < n2; ++j)
        for (size_t k = 0; k < n3; ++k)
          a->at(lb[0] + int32_t(i), lb[1] + int32_t(j), lb[2] + int32_t(k)) = element(planes[i][j][k]);
    return Variant(std::move(a));
  }
  malformed("unknown value form " + excerpt(v));
}

std::string Session::objectName(const ObjRef& obj, const std::string& preferredName) {
  if (!preferredName.empty()) {
    auto it = vars_.find(preferredName);
    if (it != vars_.end() && it->second.isObject() && it->second.obj() == obj) return preferredName;
  }
  for (auto& [name, value] : vars_)
    if (value.isObject() && value.obj() == obj) return name;
  std::string name = "$" + std::to_string(nextAuto_++);
  vars_[name] = Variant(obj);
  return name;
}

Answer Session::toJson(const Variant& v, const std::string& preferredName) {
  Answer out;
  try {
    write(v, out, preferredName);
  } catch (...) {
    release(out);
    throw;
  }
  return out;
}

// Each element is written in its place in `out`, so that a failure leaves what was written
// where the caller releases it.
void Session::write(const Variant& v, Answer& out, const std::string& preferredName) {
  if (!v.isArray()) {
    out = scalarJson(v, preferredName);
    return;
  }
  const SafeArray* a = v.array();
  if (!a) {
    out = Answer{{"array", nullptr}};
    return;
  }
  const int dims = a->dims();
  Answer lb = Answer::array();
  bool zero = true;
  for (int d = 1; d <= dims; ++d) {
    lb.push_back(a->lbound(d));
    zero = zero && a->lbound(d) == 0;
  }
  auto append = [&](Answer& list, const Variant& e) {
    list.push_back(nullptr);
    write(e, list.back(), {});
  };
  auto newList = [](Answer& list) -> Answer& {
    list.push_back(Answer::array());
    return list.back();
  };
  if (dims == 1 && zero) {
    out = Answer::array();
    for (int32_t i = a->lbound(1); i <= a->ubound(1); ++i) append(out, a->at(i));
    return;
  }
  // More dimensions than the protocol spells out: elements in storage order, with their counts.
  const char* tag = dims == 1 ? "array" : dims == 2 ? "array2d" : dims == 3 ? "array3d" : "arrayNd";
  out = Answer::object();
  Answer& items = out[tag] = Answer::array();
  if (dims == 1) {
    for (int32_t i = a->lbound(1); i <= a->ubound(1); ++i) append(items, a->at(i));
  } else if (dims == 2) {
    for (int32_t r = a->lbound(1); r <= a->ubound(1); ++r) {
      Answer& row = newList(items);
      for (int32_t c = a->lbound(2); c <= a->ubound(2); ++c) append(row, a->at(r, c));
    }
  } else if (dims == 3) {
    for (int32_t i = a->lbound(1); i <= a->ubound(1); ++i) {
      Answer& plane = newList(items);
      for (int32_t j = a->lbound(2); j <= a->ubound(2); ++j) {
        Answer& row = newList(plane);
        for (int32_t k = a->lbound(3); k <= a->ubound(3); ++k) append(row, a->at(i, j, k));
      }
    }
  } else {
    for (auto& e : a->elements()) append(items, e);
    Answer& counts = out["counts"] = Answer::array();
    for (auto& b : a->bounds()) counts.push_back(b.count);
  }
  if (!zero || dims > 3) out["lbound"] = std::move(lb);
}

Answer Session::scalarJson(const Variant& v, const std::string& preferredName) {
  switch (v.type()) {
    case vtEmpty: return Answer{{"empty", true}};
    case vtNull: return nullptr;
    case vtI2: return v.i2();
    case vtI4:
      if (v.i4() >= INT16_MIN && v.i4() <= INT16_MAX) return Answer{{"i4", v.i4()}};
      return v.i4();
    case vtR4: return doubleJson(std::stod(fmt::format("{}", v.r4())), "r4");
    case vtR8: return doubleJson(v.r8(), "r8");
    case vtCurrency: return Answer{{"cy", utf8(toBStr(v))}};
    case vtDate: return Answer{{"date", isoDate(v.date())}};
    case vtString: return utf8(v.str());
    case vtBoolean: return v.boolean();
    case vtUI1: return Answer{{"ui1", v.ui1()}};
    case vtError:
      if (v.isMissing()) return Answer{{"missing", true}};
      return Answer{{"error", v.scode()}};
    case vtDispatch: {
      const ObjRef& obj = v.obj();
      if (!obj) return Answer{{"obj", nullptr}};
      return Answer{{"obj", objectName(obj, preferredName)}};
    }
    default: return Answer{{"vartype", int(v.type())}};
  }
}

std::vector<std::string> Session::parameterNames(const std::string& var, const std::string& member) const {
  auto it = vars_.find(var);
  if (it == vars_.end() || !it->second.isObject() || !it->second.obj()) return {};
  return it->second.obj()->parameterNames(member);
}

// ---- requests -----------------------------------------------------------------------------

Variant* Session::argument(const json& value, std::deque<Variant>& temps, Before& before) {
  if (value.is_object() && value.size() == 1 && value.contains("var")) {
    if (!value["var"].is_string()) malformed("\"var\" needs a variable name");
    const std::string name = value["var"].get<std::string>();
    const bool known = vars_.count(name) > 0;
    Variant& var = vars_[name];  // a variable not yet set reads as Empty, as in Basic
    before.try_emplace(name, known ? std::optional<Variant>(var) : std::nullopt);
    return &var;
  }
  temps.push_back(fromJson(value));
  return &temps.back();
}

DispParams Session::params(const json& request, std::deque<Variant>& temps, Before& before) {
  DispParams p;
  if (const json* args = member(request, "args")) {
    if (!args->is_array()) malformed("\"args\" must be an array");
    for (auto& a : *args) p.positional.push_back(argument(a, temps, before));
  }
  if (const json* named = member(request, "named")) {
    if (!named->is_object()) malformed("\"named\" must be an object");
    for (auto& [name, value] : named->items()) p.named.push_back({name, argument(value, temps, before)});
  }
  return p;
}

Variant Session::callControl(const json& request, std::deque<Variant>& temps, Before& before) {
  const std::string method = stringField(request, "call");
  DispParams p = params(request, temps, before);
  return control_->invoke(method, InvokeKind::Method, p);
}

Variant Session::callObject(const json& request, std::deque<Variant>& temps, Before& before) {
  const std::string target = stringField(request, "on");
  auto it = vars_.find(target);
  if (it == vars_.end() || !it->second.isObject() || !it->second.obj())
    malformed("no object in session variable \"" + target + "\"");
  ObjRef obj = it->second.obj();
  if (request.contains("call")) {
    const std::string name = stringField(request, "call");
    DispParams p = params(request, temps, before);
    return obj->invoke(name, InvokeKind::Method, p);
  }
  if (request.contains("get")) {
    const std::string name = stringField(request, "get");
    DispParams p = params(request, temps, before);
    return obj->invoke(name, InvokeKind::PropertyGet, p);
  }
  if (request.contains("put")) {
    const std::string name = stringField(request, "put");
    if (!request.contains("value")) malformed("\"put\" needs a \"value\"");
    DispParams p = params(request, temps, before);
    p.positional.push_back(argument(request["value"], temps, before));
    obj->invoke(name, InvokeKind::PropertyPut, p);
    return Variant();
  }
  if (request.contains("member")) {
    // Lets a client tell a property from a method before it touches either.
    switch (obj->memberKind(stringField(request, "member"))) {
      case MemberKind::Property: return Variant(u"property");
      case MemberKind::Method: return Variant(u"method");
      case MemberKind::Unknown: return Variant(u"unknown");
    }
  }
  malformed("\"on\" needs \"call\", \"get\", \"put\" or \"member\"");
}

std::optional<Variant> Session::run(const json& request, Before& before, std::string& as) {
  if (!request.is_object()) malformed("a request must be a JSON object");
  if (const json* a = member(request, "as")) {
    if (!a->is_string() || a->get<std::string>().empty()) malformed("\"as\" must be a variable name");
    as = a->get<std::string>();
  }
  std::deque<Variant> temps;
  Variant result;
  bool hasResult = true;
  if (request.contains("on")) {
    result = callObject(request, temps, before);
  } else if (request.contains("call")) {
    result = callControl(request, temps, before);
  } else if (request.contains("let")) {
    const std::string name = stringField(request, "let");
    if (!request.contains("value")) malformed("\"let\" needs a \"value\"");
    Variant value = fromJson(request["value"]);
    before.try_emplace(name, vars_.count(name) ? std::optional<Variant>(vars_[name]) : std::nullopt);
    vars_[name] = std::move(value);
    hasResult = false;
  } else if (request.contains("create")) {
    result = Variant(createObject(stringField(request, "create")));
  } else if (request.contains("getobject")) {
    result = Variant(getObject(stringField(request, "getobject")));
  } else if (request.contains("picks")) {
    const json& picks = request["picks"];
    if (!picks.is_array()) malformed("\"picks\" must be an array of points");
    std::vector<Point3> points;
    for (auto& p : picks) {
      if (!p.is_array() || p.size() < 2 || p.size() > 3) malformed("a pick is [x, y] or [x, y, z]");
      Point3 pt{0, 0, 0};
      for (size_t i = 0; i < p.size(); ++i) {
        if (!p[i].is_number()) malformed("pick coordinates must be numbers");
        pt[i] = p[i].get<double>();
      }
      points.push_back(pt);
    }
    for (auto& pt : points) site_.queuePick(pt);
    hasResult = false;
  } else if (request.contains("clipboard")) {
    result = Variant(site_.clipboardText());
  } else {
    malformed("unknown request: expected call, let, create, getobject, on, picks or clipboard");
  }
  if (!hasResult) return std::nullopt;
  if (!as.empty()) {
    before.try_emplace(as, vars_.count(as) ? std::optional<Variant>(vars_[as]) : std::nullopt);
    vars_[as] = result;
  }
  return result;
}

Answer Session::handle(const json& request) {
  Before before;
  std::optional<Variant> result;
  std::string as;
  Answer answer{{"ok", true}};
  try {
    result = run(request, before, as);
  } catch (const MalformedRequest& e) {
    answer = Session::malformedLine(e.what());
  } catch (...) {
    answer = failure(currentError());
  }
  try {
    encode(answer, result, as, before);
  } catch (...) {
    // No memory for the answer, or a value the protocol cannot write: the request fails, and
    // the variables it touched are as they were, so that the client's picture stays true.
    ComError error = currentError();
    release(answer);
    restore(before);
    answer = failure(error);
  }
  return answer;
}

void Session::encode(Answer& answer, const std::optional<Variant>& result, const std::string& as,
                     const Before& before) {
  if (result) write(*result, answer["result"], as);
  // Session variables that the request changed, in their tagged forms.
  Answer& vars = answer["vars"] = Answer::object();
  for (auto& [name, old] : before) {
    auto it = vars_.find(name);
    if (it == vars_.end()) continue;
    bool same = false;
    try {
      same = old && *old == it->second;
    } catch (...) {
    }
    if (!same) write(it->second, vars[name], name);
  }
  Answer messages = Answer::array();
  for (auto& m : site_.takeMessages()) messages.push_back(utf8(m));
  answer["messages"] = std::move(messages);
  if (auto text = site_.takeClipboardChange()) answer["clipboard"] = utf8(*text);
}

void Session::restore(Before& before) noexcept {
  for (auto& [name, old] : before) {
    if (old) vars_[name] = std::move(*old);
    else vars_.erase(name);
  }
}

Answer Session::malformedLine(const std::string& why) {
  Answer answer{{"ok", false}};
  answer["error"] = {{"number", hr::E_INVALIDARG}, {"description", "Malformed request: " + why}};
  answer["vars"] = Answer::object();
  answer["messages"] = Answer::array();
  return answer;
}

Answer Session::handleLine(const std::string& line) {
  if (line.size() > limits_.maxLineBytes)
    return malformedLine(fmt::format("line longer than {} bytes", limits_.maxLineBytes));
  if (nestsDeeperThan(line, limits_.maxDepth))
    return malformedLine(fmt::format("brackets nest deeper than {} levels", limits_.maxDepth));
  json request;
  Released<json> guard(request);
  try {
    parseInto(line, request);
  } catch (const json::exception& e) {  // also numbers too large for a double ("1e400")
    return malformedLine(std::string("not a JSON line (") + e.what() + ")");
  } catch (...) {  // no memory for the parsed line
    return failure(currentError());
  }
  return handle(request);
}

}  // namespace tlx::host
