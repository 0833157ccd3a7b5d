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

// The members of a request line's object.
struct Session::Request {
  explicit Request(const JsonView& object) : fields(object) {}
  const JsonView* member(const char* key) const { return fields.find(key); }
  bool contains(const char* key) const { return fields.contains(key); }
  JsonObject fields;
};

namespace {

[[noreturn]] void malformed(const std::string& what) { throw MalformedRequest(what); }

std::string stringField(const JsonObject& object, const char* key) {
  const JsonView* v = object.find(key);
  if (!v || !v->isString()) malformed(fmt::format("\"{}\" must be a string", key));
  return v->string();
}

int32_t integerIn(const JsonView& v, int64_t lo, int64_t hi, const char* what) {
  const JsonView::Number n = v.isInteger() ? v.number() : JsonView::Number{JsonView::Number::Float};
  const bool fits = n.kind == JsonView::Number::Signed ? n.i >= lo && n.i <= hi
                    : n.kind == JsonView::Number::Unsigned ? n.u <= uint64_t(hi) && int64_t(n.u) >= lo
                                                           : false;
  if (!fits) malformed(fmt::format("{} must be an integer from {} to {}", what, lo, hi));
  return static_cast<int32_t>(n.kind == JsonView::Number::Signed ? n.i : int64_t(n.u));
}

std::vector<int32_t> lowerBounds(const JsonObject& tagged, size_t dims) {
  std::vector<int32_t> lb(dims, 0);
  if (const JsonView* l = tagged.find("lbound")) {
    if (!l->isArray() || l->size() != dims) malformed(fmt::format("\"lbound\" must list {} bound(s)", dims));
    size_t i = 0;
    for (const JsonView b : *l)
      lb[i++] = integerIn(b, std::numeric_limits<int32_t>::min() / 2, std::numeric_limits<int32_t>::max() / 2,
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
std::optional<CivilTime> answerableDate(double serial) {
  try {
    const CivilTime t = splitDate(serial);
    if (t.year >= 100 && t.year <= 9999) return t;
  } catch (const ComError&) {
  }
  return std::nullopt;
}

[[noreturn]] void unanswerableDate() {
  throw ComError(hr::DISP_E_OVERFLOW, "Overflow: a date outside the years 100 to 9999 cannot be answered");
}

// The start of a value, for a message about it.
std::string excerpt(const JsonView& v) {
  const std::string_view text = v.text();
  return text.size() <= 80 ? std::string(text) : std::string(text.substr(0, 80)) + "...";
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

Outcome failureOf(const ComError& e) {
  return {false, e.number(), e.description().empty() ? standardDescription(e.number()) : e.description(), {}};
}

// Currency as the runtime writes it: "-12.5", "0.0001".
std::string_view currencyText(int64_t scaled, char (&out)[32]) {
  const uint64_t mag = scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  char* end = fmt::format_to(out, "{}{}", scaled < 0 ? "-" : "", mag / 10000);
  if (const unsigned frac = mag % 10000) {
    end = fmt::format_to(end, ".{:04}", frac);
    while (end[-1] == '0') --end;
  }
  return {out, static_cast<size_t>(end - out)};
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

// ---- values from requests --------------------------------------------------------------------

// `depth`: how many arrays hold this value.
Variant Session::fromJson(const JsonView& v, int depth) {
  switch (v.type()) {
    case JsonView::Type::Null: return Variant::null();
    case JsonView::Type::Boolean: return Variant(v.boolean());
    case JsonView::Type::String: return Variant(v.string16(*arena_, scratch_));
    case JsonView::Type::Number: {
      const JsonView::Number n = v.number();
      if (n.kind == JsonView::Number::Float || (n.kind == JsonView::Number::Unsigned && n.u > uint64_t(INT64_MAX)))
        return Variant(n.asDouble());
      const int64_t i = n.kind == JsonView::Number::Signed ? n.i : int64_t(n.u);
      if (i >= INT16_MIN && i <= INT16_MAX) return Variant(static_cast<int16_t>(i));
      if (i >= INT32_MIN && i <= INT32_MAX) return Variant(static_cast<int32_t>(i));
      return Variant(static_cast<double>(i));
    }
    case JsonView::Type::Array: {
      auto a = SafeArray::vector(static_cast<int32_t>(v.size()));
      Variant* e = a->elements().data();
      for (const JsonView item : v) {
        if (depth >= limits_.maxDepth) malformed(fmt::format("arrays nest deeper than {} levels", limits_.maxDepth));
        *e++ = fromJson(item, depth + 1);
      }
      return Variant(std::move(a));
    }
    case JsonView::Type::Object: break;
  }
  return taggedValue(v, depth);
}

Variant Session::taggedValue(const JsonView& object, int depth) {
  const JsonObject v(object);
  auto element = [&](const JsonView& e) {
    if (depth >= limits_.maxDepth) malformed(fmt::format("arrays nest deeper than {} levels", limits_.maxDepth));
    return fromJson(e, depth + 1);
  };
  auto number = [&](const char* key) {
    const JsonView& x = *v.find(key);
    if (!x.isNumber() && !x.isString()) malformed(fmt::format("\"{}\" needs a number", key));
    if (x.isNumber()) return x.number().asDouble();
    const std::string s = x.string();
    if (s == "NaN") return std::numeric_limits<double>::quiet_NaN();
    if (s == "Infinity") return std::numeric_limits<double>::infinity();
    if (s == "-Infinity") return -std::numeric_limits<double>::infinity();
    malformed("not a number: " + s);
  };
  auto name = [&](const char* key) {
    const JsonView& x = *v.find(key);
    if (!x.isString()) malformed(fmt::format("\"{}\" needs a variable name", key));
    return x.string();
  };
  if (v.contains("i2")) return Variant(static_cast<int16_t>(integerIn(*v.find("i2"), INT16_MIN, INT16_MAX, "\"i2\"")));
  if (v.contains("i4")) return Variant(integerIn(*v.find("i4"), INT32_MIN, INT32_MAX, "\"i4\""));
  if (v.contains("ui1")) return Variant(static_cast<uint8_t>(integerIn(*v.find("ui1"), 0, 255, "\"ui1\"")));
  if (v.contains("r8")) return Variant(number("r8"));
  if (v.contains("r4")) return Variant(static_cast<float>(number("r4")));
  if (const JsonView* date = v.find("date")) {
    if (!date->isString()) malformed("\"date\" needs a string");
    return Variant(Date{parseIsoDate(date->string())});
  }
  if (const JsonView* c = v.find("cy")) {
    if (!c->isString() && !c->isNumber()) malformed("not a currency value");
    try {
      return changeType(c->isString() ? Variant(u16(c->string())) : Variant(c->number().asDouble()), vtCurrency);
    } catch (const ComError&) {
      malformed("not a currency value");
    }
  }
  if (v.contains("error")) return Variant(ErrorValue{integerIn(*v.find("error"), INT32_MIN, UINT32_MAX, "\"error\"")});
  if (v.contains("empty")) return Variant();
  if (v.contains("missing")) return Variant::missing();
  if (v.contains("var")) {
    const std::string var = name("var");
    auto it = vars_.find(var);
    if (it == vars_.end()) malformed("no session variable \"" + var + "\"");
    // A variable placed inside an array: the whole must stay within the limit, or a few
    // requests could stack one variable into itself past it.
    if (depth + arrayDepth(it->second, limits_.maxDepth) > limits_.maxDepth)
      malformed(fmt::format("arrays nest deeper than {} levels", limits_.maxDepth));
    return it->second;
  }
  if (v.contains("obj")) {
    if (v.find("obj")->isNull()) return Variant(ObjRef());
    const std::string var = name("obj");
    auto it = vars_.find(var);
    if (it == vars_.end() || !it->second.isObject()) malformed("no object in session variable \"" + var + "\"");
    return it->second;
  }
  if (const JsonView* items = v.find("array")) {
    if (items->isNull()) return Variant::unallocatedArray();
    if (!items->isArray()) malformed("\"array\" needs a JSON array or null");
    auto lb = lowerBounds(v, 1);
    auto a = SafeArray::vector(static_cast<int32_t>(items->size()), lb[0]);
    Variant* e = a->elements().data();
    for (const JsonView item : *items) *e++ = element(item);
    return Variant(std::move(a));
  }
  if (const JsonView* rows = v.find("array2d")) {
    if (!rows->isArray()) malformed("\"array2d\" needs an array of rows");
    const size_t count = rows->size();
    const size_t cols = count == 0 ? 0 : (*rows->begin()).isArray() ? (*rows->begin()).size() : 0;
    for (const JsonView row : *rows)
      if (!row.isArray() || row.size() != cols) malformed("\"array2d\" rows must be arrays of equal length");
    auto lb = lowerBounds(v, 2);
    auto a = std::make_unique<SafeArray>(
        std::vector<Bound>{{lb[0], static_cast<int32_t>(count)}, {lb[1], static_cast<int32_t>(cols)}});
    // Storage runs down the columns: element (r, c) at r + c * rows.
    std::vector<Variant>& cells = a->elements();
    size_t r = 0;
    for (const JsonView row : *rows) {
      size_t c = 0;
      for (const JsonView item : row) cells[r + c++ * count] = element(item);
      ++r;
    }
    return Variant(std::move(a));
  }
  if (const JsonView* planes = v.find("array3d")) {
    if (!planes->isArray()) malformed("\"array3d\" needs nested arrays");
    const size_t n1 = planes->size();
    size_t n2 = 0, n3 = 0;
    if (n1) {
      const JsonView first = *planes->begin();
      if (!first.isArray()) malformed("\"array3d\" needs nested arrays");
      n2 = first.size();
      if (n2) n3 = (*first.begin()).isArray() ? (*first.begin()).size() : 0;
    }
    for (const JsonView p : *planes) {
      if (!p.isArray() || p.size() != n2) malformed("\"array3d\" must be rectangular");
      for (const JsonView r : p)
        if (!r.isArray() || r.size() != n3) malformed("\"array3d\" must be rectangular");
    }
    auto lb = lowerBounds(v, 3);
    auto a = std::make_unique<SafeArray>(std::vector<Bound>{{lb[0], static_cast<int32_t>(n1)},
                                                            {lb[1], static_cast<int32_t>(n2)},
                                                            {lb[2], static_cast<int32_t>(n3)}});
    int32_t i = 0;
    for (const JsonView p : *planes) {
      int32_t j = 0;
      for (const JsonView r : p) {
        int32_t k = 0;
        for (const JsonView item : r) a->at(lb[0] + i, lb[1] + j, lb[2] + k++) = element(item);
        ++j;
      }
      ++i;
    }
    return Variant(std::move(a));
  }
  malformed("unknown value form " + excerpt(object));
}

std::string Session::objectName(const ObjRef& obj, const std::string& preferredName) {
  if (!preferredName.empty()) {
    auto it = vars_.find(preferredName);
    if (it != vars_.end() && it->second.isObject() && it->second.obj() == obj) return preferredName;
  }
  for (auto& [name, value] : vars_)
    if (value.isObject() && value.obj() == obj) return name;
  std::string name = fmt::format("${}", nextAuto_++);
  vars_[name] = Variant(obj);
  return name;
}

std::vector<std::string> Session::parameterNames(const std::string& var, const std::string& member) const {
  auto it = vars_.find(var);
  if (it == vars_.end() || !it->second.isObject() || !it->second.obj()) return {};
  return it->second.obj()->parameterNames(member);
}

// ---- requests -----------------------------------------------------------------------------

void Session::remember(const std::string& name, Before& before) {
  auto it = vars_.find(name);
  before.try_emplace(name, it != vars_.end() ? std::optional<Variant>(it->second) : std::nullopt);
}

Variant* Session::argument(const JsonView& value, std::deque<Variant>& temps, Before& before) {
  if (value.isObject()) {
    const JsonObject object(value);
    if (object.members().size() == 1 && object.contains("var")) {
      if (!object.find("var")->isString()) malformed("\"var\" needs a variable name");
      const std::string name = object.find("var")->string();
      remember(name, before);
      return &vars_[name];  // a variable not yet set reads as Empty, as in Basic
    }
  }
  temps.push_back(fromJson(value));
  return &temps.back();
}

DispParams Session::params(Request& request, std::deque<Variant>& temps, Before& before) {
  DispParams p;
  if (const JsonView* args = request.member("args")) {
    if (!args->isArray()) malformed("\"args\" must be an array");
    for (const JsonView a : *args) p.positional.push_back(argument(a, temps, before));
  }
  if (const JsonView* named = request.member("named")) {
    if (!named->isObject()) malformed("\"named\" must be an object");
    std::map<std::string, JsonView> byName;  // one argument a name, in the order of names
    for (auto& [name, value] : named->members()) byName.insert_or_assign(name, value);
    for (auto& [name, value] : byName) p.named.push_back({name, argument(value, temps, before)});
  }
  return p;
}

Variant Session::callControl(Request& request, std::deque<Variant>& temps, Before& before) {
  const std::string method = stringField(request.fields, "call");
  DispParams p = params(request, temps, before);
  return control_->invoke(method, InvokeKind::Method, p);
}

Variant Session::callObject(Request& request, std::deque<Variant>& temps, Before& before) {
  const std::string target = stringField(request.fields, "on");
  auto it = vars_.find(target);
  if (it == vars_.end() || !it->second.isObject() || !it->second.obj())
    malformed("no object in session variable \"" + target + "\"");
  ObjRef obj = it->second.obj();
  if (request.contains("call")) {
    const std::string name = stringField(request.fields, "call");
    DispParams p = params(request, temps, before);
    return obj->invoke(name, InvokeKind::Method, p);
  }
  if (request.contains("get")) {
    const std::string name = stringField(request.fields, "get");
    DispParams p = params(request, temps, before);
    return obj->invoke(name, InvokeKind::PropertyGet, p);
  }
  if (request.contains("put")) {
    const std::string name = stringField(request.fields, "put");
    const JsonView* value = request.member("value");
    if (!value) malformed("\"put\" needs a \"value\"");
    DispParams p = params(request, temps, before);
    p.positional.push_back(argument(*value, temps, before));
    obj->invoke(name, InvokeKind::PropertyPut, p);
    return Variant();
  }
  if (request.contains("member")) {
    // Lets a client tell a property from a method before it touches either.
    switch (obj->memberKind(stringField(request.fields, "member"))) {
      case MemberKind::Property: return Variant(u"property");
      case MemberKind::Method: return Variant(u"method");
      case MemberKind::Unknown: return Variant(u"unknown");
    }
  }
  malformed("\"on\" needs \"call\", \"get\", \"put\" or \"member\"");
}

void Session::run(Request& request, Before& before, std::optional<Variant>& result, Shown& shown) {
  std::string as;
  if (const JsonView* a = request.member("as")) {
    if (!a->isString() || (as = a->string()).empty()) malformed("\"as\" must be a variable name");
  }
  if (const JsonView* echo = request.member("echo")) {
    if (!echo->isBool()) malformed("\"echo\" must be true or false");
    shown.values = echo->boolean();
  }
  std::deque<Variant> temps;
  if (request.contains("on")) {
    result = callObject(request, temps, before);
  } else if (request.contains("call")) {
    result = callControl(request, temps, before);
  } else if (request.contains("let")) {
    const std::string name = stringField(request.fields, "let");
    const JsonView* value = request.member("value");
    if (!value) malformed("\"let\" needs a \"value\"");
    Variant v = fromJson(*value);
    remember(name, before);
    vars_[name] = std::move(v);
    return;
  } else if (request.contains("create")) {
    result = Variant(createObject(stringField(request.fields, "create")));
  } else if (request.contains("getobject")) {
    result = Variant(getObject(stringField(request.fields, "getobject")));
  } else if (const JsonView* picks = request.member("picks")) {
    if (!picks->isArray()) malformed("\"picks\" must be an array of points");
    std::vector<Point3> points;
    for (const JsonView p : *picks) {
      if (!p.isArray() || p.size() < 2 || p.size() > 3) malformed("a pick is [x, y] or [x, y, z]");
      Point3 pt{0, 0, 0};
      size_t i = 0;
      for (const JsonView c : p) {
        if (!c.isNumber()) malformed("pick coordinates must be numbers");
        pt[i++] = c.number().asDouble();
      }
      points.push_back(pt);
    }
    for (auto& pt : points) site_.queuePick(pt);
    return;
  } else if (request.contains("clipboard")) {
    result = Variant(site_.clipboardText());
  } else if (request.contains("get")) {
    const std::string name = stringField(request.fields, "get");
    auto it = vars_.find(name);
    if (it == vars_.end()) malformed("no session variable \"" + name + "\"");
    if (as.empty()) {  // shown where it is: a large array is not copied to be answered
      shown.result = &it->second;
      shown.resultName = name;
      return;
    }
    result = it->second;
  } else {
    malformed("unknown request: expected call, let, get, create, getobject, on, picks or clipboard");
  }
  if (as.empty()) {
    shown.result = &*result;
    return;
  }
  remember(as, before);
  Variant& kept = vars_[as] = std::move(*result);
  shown.result = &kept;
  shown.resultName = as;
  shown.resultKept = true;
}

// ---- answers ------------------------------------------------------------------------------

void Session::check(const Variant& v, const std::string& preferredName) {
  if (v.isArray()) {
    if (const SafeArray* a = v.array())
      for (const Variant& e : a->elements())
        if (e.type() == vtDate || e.type() == vtDispatch || e.isArray()) check(e, {});
  } else if (v.type() == vtDate) {
    if (!answerableDate(v.date())) unanswerableDate();
  } else if (v.type() == vtDispatch && v.obj()) {
    objectName(v.obj(), preferredName);
  }
}

void Session::prepare(Shown& shown, const Before& before) {
  if (shown.result && (shown.values || !shown.resultKept)) check(*shown.result, shown.resultName);
  else shown.result = nullptr;
  for (auto& [name, old] : before) {
    auto it = vars_.find(name);
    if (it == vars_.end()) continue;
    bool same = false;
    try {
      same = old && *old == it->second;
    } catch (...) {
    }
    if (same) continue;
    shown.changed.push_back(name);
    if (shown.values) check(it->second, name);
  }
  shown.messages = site_.takeMessages();
  shown.clipboard = site_.takeClipboardChange();
}

void Session::writeAnswer(const Outcome& outcome, const Shown& shown, JsonWriter& out) {
  out.raw(outcome.ok ? R"({"ok":true)" : R"({"ok":false)");
  if (!outcome.ok) {
    out.raw(R"(,"error":{"number":)").integer(outcome.errorNumber).raw(R"(,"description":)");
    out.string(outcome.description).raw("}");
  }
  if (shown.result) {
    out.raw(R"(,"result":)");
    write(*shown.result, out, shown.resultName);
  }
  out.raw(R"(,"vars":{)");
  const char* comma = "";
  for (const std::string& name : shown.values ? shown.changed : std::vector<std::string>()) {
    out.raw(std::exchange(comma, ",")).string(name).raw(":");
    write(vars_.at(name), out, name);
  }
  out.raw("}");
  if (!shown.values) {
    out.raw(R"(,"changed":[)");
    for (const std::string& name : shown.changed) out.raw(std::exchange(comma, ",")).string(name);
    out.raw("]");
  }
  out.raw(R"(,"messages":[)");
  comma = "";
  for (const BStr& m : shown.messages) out.raw(std::exchange(comma, ",")).string(m.view());
  out.raw("]");
  if (shown.clipboard) out.raw(R"(,"clipboard":)").string(shown.clipboard->view());
  out.raw("}");
}

// Arrays of lower bound 0 and one dimension as JSON arrays; others tagged with their bounds.
void Session::write(const Variant& v, JsonWriter& out, const std::string& preferredName) {
  if (!v.isArray()) return writeScalar(v, out, preferredName);
  const SafeArray* a = v.array();
  if (!a) {
    out.raw(R"({"array":null})");
    return;
  }
  const int dims = a->dims();
  bool zero = true;
  for (int d = 1; d <= dims; ++d) zero = zero && a->lbound(d) == 0;
  const std::vector<Variant>& cells = a->elements();
  auto list = [&](size_t from, size_t count, size_t stride) {
    out.raw("[");
    for (size_t i = 0; i < count; ++i) {
      if (i) out.raw(",");
      write(cells[from + i * stride], out, {});
    }
    out.raw("]");
  };
  if (dims == 1 && zero) return list(0, cells.size(), 1);
  // More dimensions than the protocol spells out: elements in storage order, with their counts.
  out.raw(dims == 1 ? R"({"array":)" : dims == 2 ? R"({"array2d":)" : dims == 3 ? R"({"array3d":)" : R"({"arrayNd":)");
  const auto& b = a->bounds();
  if (dims == 1) {
    list(0, cells.size(), 1);
  } else if (dims == 2) {
    const size_t rows = size_t(b[0].count), cols = size_t(b[1].count);
    out.raw("[");
    for (size_t r = 0; r < rows; ++r) {
      if (r) out.raw(",");
      list(r, cols, rows);
    }
    out.raw("]");
  } else if (dims == 3) {
    const size_t n1 = size_t(b[0].count), n2 = size_t(b[1].count), n3 = size_t(b[2].count);
    out.raw("[");
    for (size_t i = 0; i < n1; ++i) {
      out.raw(i ? ",[" : "[");
      for (size_t j = 0; j < n2; ++j) {
        if (j) out.raw(",");
        list(i + j * n1, n3, n1 * n2);
      }
      out.raw("]");
    }
    out.raw("]");
  } else {
    list(0, cells.size(), 1);
    out.raw(R"(,"counts":[)");
    for (int d = 0; d < dims; ++d) (d ? out.raw(",") : out).integer(b[d].count);
    out.raw("]");
  }
  if (!zero || dims > 3) {
    out.raw(R"(,"lbound":[)");
    for (int d = 0; d < dims; ++d) (d ? out.raw(",") : out).integer(b[d].lower);
    out.raw("]");
  }
  out.raw("}");
}

void Session::writeScalar(const Variant& v, JsonWriter& out, const std::string& preferredName) {
  // A double as JSON: plain when it reads back as a Double, tagged otherwise.
  auto real = [&](double d, const char* tag) {
    const bool readsAsDouble = d != std::floor(d) || std::fabs(d) >= 2147483648.0;
    if (!std::isfinite(d)) {
      out.raw(tag).string(std::isnan(d) ? "NaN" : d > 0 ? "Infinity" : "-Infinity").raw("}");
    } else if (v.type() == vtR8 && readsAsDouble) {
      out.number(d);
    } else {
      out.raw(tag).number(d).raw("}");
    }
  };
  switch (v.type()) {
    case vtEmpty: out.raw(R"({"empty":true})"); return;
    case vtNull: out.raw("null"); return;
    case vtI2: out.integer(v.i2()); return;
    case vtI4:
      if (v.i4() >= INT16_MIN && v.i4() <= INT16_MAX) out.raw(R"({"i4":)").integer(v.i4()).raw("}");
      else out.integer(v.i4());
      return;
    case vtR4: {
      // The float's shortest text, read back as the double it stands for.
      char text[32];
      *fmt::format_to(text, "{}", v.r4()) = '\0';
      return real(std::strtod(text, nullptr), R"({"r4":)");
    }
    case vtR8: return real(v.r8(), R"({"r8":)");
    case vtCurrency: {
      char text[32];
      out.raw(R"({"cy":)").string(currencyText(v.currency(), text)).raw("}");
      return;
    }
    case vtDate: {
      const CivilTime t = answerableDate(v.date()).value();  // checked before the answer began
      char text[32];
      const char* end = fmt::format_to(text, "{:04}-{:02}-{:02}T{:02}:{:02}:{:02}", t.year, t.month, t.day, t.hour,
                                        t.minute, t.second);
      out.raw(R"({"date":)").string(std::string_view(text, size_t(end - text))).raw("}");
      return;
    }
    case vtString: out.string(v.str().view()); return;
    case vtBoolean: out.boolean(v.boolean()); return;
    case vtUI1: out.raw(R"({"ui1":)").integer(v.ui1()).raw("}"); return;
    case vtError:
      if (v.isMissing()) out.raw(R"({"missing":true})");
      else out.raw(R"({"error":)").integer(v.scode()).raw("}");
      return;
    case vtDispatch:
      if (!v.obj()) out.raw(R"({"obj":null})");
      else out.raw(R"({"obj":)").string(objectName(v.obj(), preferredName)).raw("}");
      return;
    default: out.raw(R"({"vartype":)").integer(int(v.type())).raw("}");
  }
}

void Session::restore(Before& before) noexcept {
  for (auto& [name, old] : before) {
    if (old) vars_[name] = std::move(*old);
    else vars_.erase(name);
  }
}

Outcome Session::malformedLine(const std::string& why, JsonWriter& out) {
  const Outcome outcome{false, hr::E_INVALIDARG, "Malformed request: " + why, {}};
  out.raw(R"({"ok":false,"error":{"number":)").integer(outcome.errorNumber).raw(R"(,"description":)");
  out.string(outcome.description).raw(R"(},"vars":{},"messages":[]})");
  return outcome;
}

Outcome Session::handleLine(std::string_view line, JsonWriter& out) {
  if (line.size() > limits_.maxLineBytes)
    return malformedLine(fmt::format("line longer than {} bytes", limits_.maxLineBytes), out);
  if (nestsDeeperThan(line, limits_.maxDepth))
    return malformedLine(fmt::format("brackets nest deeper than {} levels", limits_.maxDepth), out);
  try {
    checkJson(line);
  } catch (const JsonSyntaxError& e) {
    return malformedLine(std::string("not a JSON line (") + e.what() + ")", out);
  }
  Outcome outcome;
  Before before;
  std::optional<Variant> result;
  Shown shown;
  {
    StringArena arena;
    arena_ = &arena;
    try {
      const JsonView root = JsonView::root(line);
      if (!root.isObject()) malformed("a request must be a JSON object");
      Request request(root);
      run(request, before, result, shown);
    } catch (const MalformedRequest& e) {
      outcome = Outcome{false, hr::E_INVALIDARG, std::string("Malformed request: ") + e.what(), {}};
    } catch (...) {
      outcome = failureOf(currentError());
    }
    arena_ = nullptr;
  }
  if (!outcome.ok) shown.result = nullptr;
  try {
    prepare(shown, before);
  } catch (...) {
    // No memory for the answer, or a value the protocol cannot write: the request fails, and
    // the variables it touched are as they were, so that the client's picture stays true.
    ComError error = currentError();
    restore(before);
    outcome = failureOf(error);
    shown = Shown{};
  }
  if (const Variant* r = shown.result; r && (r->type() == vtI2 || r->type() == vtI4))
    outcome.integerResult = r->type() == vtI2 ? r->i2() : r->i4();
  try {
    writeAnswer(outcome, shown, out);
  } catch (...) {
    // Only an answer written into memory can run out of it: the request then changes nothing.
    restore(before);
    throw;
  }
  return outcome;
}

}  // namespace tlx::host
