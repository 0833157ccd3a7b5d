#include "platform/spreadsheet/number_format.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "talvex/convert.h"
#include "automation/strings.h"

namespace tlx::platform::spreadsheet {

namespace {

constexpr const char* kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// The format's sections, split at ';' outside quotes, escapes and brackets.
std::vector<std::string_view> sections(std::string_view code) {
  std::vector<std::string_view> out;
  size_t start = 0;
  bool quoted = false;
  int bracket = 0;
  for (size_t i = 0; i < code.size(); ++i) {
    char c = code[i];
    if (c == '"') quoted = !quoted;
    else if (quoted) continue;
    else if (c == '\\' || c == '_' || c == '*') ++i;
    else if (c == '[') ++bracket;
    else if (c == ']') bracket = std::max(0, bracket - 1);
    else if (c == ';' && bracket == 0) {
      out.push_back(code.substr(start, i - start));
      start = i + 1;
    }
  }
  out.push_back(code.substr(start));
  return out;
}

// One piece of a section: a literal text, or a placeholder run (kept as its characters).
struct Token {
  enum Kind { Literal, Code } kind;
  std::string text;
};

// Splits a section into literals and code characters; colours and conditions are dropped,
// "[$€-407]" gives its currency text, "[h]" / "[mm]" / "[ss]" stay code.
std::vector<Token> tokenize(std::string_view s) {
  std::vector<Token> out;
  auto literal = [&](std::string_view t) {
    if (!out.empty() && out.back().kind == Token::Literal) out.back().text += t;
    else out.push_back({Token::Literal, std::string(t)});
  };
  auto code = [&](std::string_view t) {
    if (!out.empty() && out.back().kind == Token::Code) out.back().text += t;
    else out.push_back({Token::Code, std::string(t)});
  };
  auto startsNoCase = [&](size_t i, std::string_view word) {
    if (s.size() - i < word.size()) return false;
    for (size_t k = 0; k < word.size(); ++k)
      if (asciiLower(s[i + k]) != word[k]) return false;
    return true;
  };
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (startsNoCase(i, "am/pm") || startsNoCase(i, "a/p")) {
      size_t n = startsNoCase(i, "am/pm") ? 5 : 3;
      code(s.substr(i, n));
      i += n - 1;
    } else if (c == '"') {
      size_t end = s.find('"', i + 1);
      if (end == std::string_view::npos) end = s.size();
      literal(s.substr(i + 1, end - i - 1));
      i = end;
    } else if (c == '\\' && i + 1 < s.size()) {
      literal(s.substr(++i, 1));
    } else if (c == '_' && i + 1 < s.size()) {
      literal(" ");
      ++i;
    } else if (c == '*' && i + 1 < s.size()) {
      ++i;  // fill character: no width to fill here
    } else if (c == '[') {
      size_t end = s.find(']', i);
      if (end == std::string_view::npos) end = s.size();
      std::string_view inner = s.substr(i + 1, end - i - 1);
      if (!inner.empty() && inner[0] == '$') {
        size_t dash = inner.find('-');
        literal(inner.substr(1, dash == std::string_view::npos ? std::string_view::npos : dash - 1));
      } else if (!inner.empty() && (asciiLower(inner[0]) == 'h' || asciiLower(inner[0]) == 'm' || asciiLower(inner[0]) == 's')) {
        code("[" + std::string(inner) + "]");
      }
      i = end;
    } else if (std::string_view("0#?.,%Ee+-/").find(c) != std::string_view::npos ||
               std::string_view("yYmMdDhHsSaApP").find(c) != std::string_view::npos) {
      if ((c == '+' || c == '-') && !(i > 0 && (s[i - 1] == 'E' || s[i - 1] == 'e'))) literal(s.substr(i, 1));
      else if (c == '/' && !(i > 0 && std::string_view("0#?").find(s[i - 1]) != std::string_view::npos)) literal("/");
      else code(s.substr(i, 1));
    } else if (c == '@') {
      code("@");
    } else {
      literal(s.substr(i, 1));
    }
  }
  return out;
}

bool hasDateCode(const std::vector<Token>& tokens) {
  for (auto& t : tokens) {
    if (t.kind != Token::Code) continue;
    for (char c : t.text)
      if (std::string_view("ymdhs").find(asciiLower(c)) != std::string_view::npos) return true;
  }
  return false;
}

// Halves round away from zero, as the spreadsheet shows them (not to even).
std::string fixed(double v, int decimals) {
  double scale = std::pow(10.0, decimals);
  if (std::fabs(v) * scale < 1e15) v = std::round(v * scale) / scale;
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return std::string(buf, r.ptr);
}

std::string withThousands(const std::string& digits) {
  std::string out;
  int n = static_cast<int>(digits.size());
  for (int i = 0; i < n; ++i) {
    out += digits[static_cast<size_t>(i)];
    if ((n - i - 1) % 3 == 0 && i != n - 1) out += ',';
  }
  return out;
}

// Digit placeholders of one side of the decimal point, applied to `digits` from the right
// (integer side) or from the left (decimals).
std::string fillInteger(const std::string& pattern, std::string digits, bool thousands) {
  size_t need = std::count(pattern.begin(), pattern.end(), '0');
  size_t spaces = std::count(pattern.begin(), pattern.end(), '?');
  if (digits == "0" && need == 0) digits.clear();
  while (digits.size() < need) digits.insert(digits.begin(), '0');
  std::string out = thousands ? withThousands(digits) : digits;
  while (out.size() < need + spaces) out.insert(out.begin(), ' ');
  return out;
}

std::string fillDecimals(const std::string& pattern, const std::string& digits) {
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) out += digits[i];
  // Trailing zeros under '#' vanish, under '?' become spaces.
  for (size_t i = pattern.size(); i-- > 0;) {
    if (out[i] != '0' || pattern[i] == '0') break;
    out[i] = pattern[i] == '?' ? ' ' : '\0';
  }
  out.erase(std::remove(out.begin(), out.end(), '\0'), out.end());
  return out;
}

// A numeric section: placeholders, point, grouping, scaling, percent, exponent.
std::string numberSection(double v, const std::vector<Token>& tokens) {
  std::string code;
  for (auto& t : tokens)
    if (t.kind == Token::Code) code += t.text;
  size_t e = code.find_first_of("Ee");
  std::string mantissa = code.substr(0, e);
  int percent = static_cast<int>(std::count(code.begin(), code.end(), '%'));
  size_t point = mantissa.find('.');
  std::string intPart = mantissa.substr(0, point), decPart = point == std::string::npos ? "" : mantissa.substr(point + 1);
  // Commas after the last placeholder divide by 1000; between placeholders they group.
  int scale = 0;
  while (!intPart.empty() && intPart.back() == ',') intPart.pop_back(), ++scale;
  while (!decPart.empty() && decPart.back() == ',') decPart.pop_back(), ++scale;
  bool thousands = intPart.find(',') != std::string::npos;
  auto keep = [](std::string s) {
    s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return c != '0' && c != '#' && c != '?'; }), s.end());
    return s;
  };
  intPart = keep(intPart), decPart = keep(decPart);
  v *= std::pow(100.0, percent) / std::pow(1000.0, scale);
  int exponent = 0;
  std::string expText;
  if (e != std::string::npos) {
    if (v != 0) {
      int step = std::max<int>(1, static_cast<int>(intPart.size()));
      exponent = static_cast<int>(std::floor(std::log10(std::fabs(v))));
      exponent = step > 1 ? static_cast<int>(std::floor(double(exponent) / step)) * step : exponent - int(intPart.size()) + 1;
      v /= std::pow(10.0, exponent);
      if (std::fabs(std::stod(fixed(v, int(decPart.size())))) >= std::pow(10.0, std::max<size_t>(intPart.size(), 1)))
        v /= 10, ++exponent;
    }
    std::string expPattern = keep(code.substr(e + 2));
    std::string digits = std::to_string(std::abs(exponent));
    while (digits.size() < expPattern.size()) digits.insert(digits.begin(), '0');
    bool plus = e + 1 < code.size() && code[e + 1] == '+';
    expText = std::string(1, code[e]) + (exponent < 0 ? "-" : plus ? "+" : "") + digits;
  }
  std::string number = fixed(std::fabs(v), static_cast<int>(decPart.size()));
  size_t dot = number.find('.');
  std::string whole = number.substr(0, dot), frac = dot == std::string::npos ? "" : number.substr(dot + 1);
  std::string body = fillInteger(intPart, whole, thousands);
  if (point != std::string::npos) {
    std::string d = fillDecimals(decPart, frac);
    body += "." + d;
  }
  body += expText;
  // Lay the number where its first code token stands; literals keep their places.
  std::string out;
  bool placed = false;
  for (auto& t : tokens) {
    if (t.kind == Token::Literal) {
      out += t.text;
    } else if (!placed) {
      out += body;
      placed = true;
      for (int i = 0; i < percent; ++i) out += '%';
    }
  }
  return out;
}

std::string two(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// A date or time section.
std::string dateSection(double serial, const std::vector<Token>& tokens) {
  std::string code;
  for (auto& t : tokens) code += t.kind == Token::Code ? t.text : std::string();
  bool ampm = false;
  for (size_t i = 0; i + 1 < code.size(); ++i)
    if (asciiLower(code[i]) == 'a' && (asciiLower(code[i + 1]) == 'm' || code[i + 1] == '/')) ampm = true;
  int subDigits = 0;
  for (size_t p = code.find(".0"); p != std::string::npos && p + 1 + subDigits < code.size() && code[p + 1 + subDigits] == '0';)
    ++subDigits;
  double rounding = 0.5 / 86400.0 / std::pow(10.0, subDigits);
  CivilTime t = splitDate(serial + (serial >= 0 ? rounding : -rounding));
  double seconds = (serial - std::floor(serial)) * 86400.0;
  double sub = seconds - std::floor(seconds);
  double totalHours = std::floor((serial + rounding) * 24.0);
  std::string out;
  bool lastWasHour = false;
  for (auto& tok : tokens) {
    if (tok.kind == Token::Literal) {
      out += tok.text;
      continue;
    }
    const std::string& s = tok.text;
    for (size_t i = 0; i < s.size();) {
      char c = asciiLower(s[i]);
      size_t n = 1;
      while (i + n < s.size() && asciiLower(s[i + n]) == c) ++n;
      if (c == '[') {
        size_t end = s.find(']', i);
        char unit = asciiLower(s[i + 1]);
        size_t width = end - i - 1;
        double whole = unit == 'h' ? totalHours : unit == 'm' ? std::floor((serial + rounding) * 1440.0) : std::floor((serial + rounding) * 86400.0);
        std::string digits = fixed(whole, 0);
        while (digits.size() < width) digits.insert(digits.begin(), '0');
        out += digits;
        lastWasHour = unit == 'h';
        i = end + 1;
        continue;
      }
      if (c == 'y') {
        out += n <= 2 ? two(t.year % 100) : std::to_string(t.year);
      } else if (c == 'm') {
        // Minutes right after an hour or right before seconds, months otherwise.
        size_t next = i + n;
        while (next < s.size() && std::string_view(":. ").find(s[next]) != std::string_view::npos) ++next;
        bool minutes = lastWasHour || (next < s.size() && asciiLower(s[next]) == 's');
        if (minutes) out += n >= 2 ? two(t.minute) : std::to_string(t.minute);
        else if (n == 1) out += std::to_string(t.month);
        else if (n == 2) out += two(t.month);
        else if (n == 3) out += std::string(kMonths[t.month - 1]).substr(0, 3);
        else if (n == 4) out += kMonths[t.month - 1];
        else out += kMonths[t.month - 1][0];
      } else if (c == 'd') {
        int weekday = static_cast<int>(std::fmod(std::floor(serial) + 6.0, 7.0) + 7) % 7;  // 30 Dec 1899 was a Saturday
        if (n == 1) out += std::to_string(t.day);
        else if (n == 2) out += two(t.day);
        else if (n == 3) out += std::string(kDays[weekday]).substr(0, 3);
        else out += kDays[weekday];
      } else if (c == 'h') {
        int h = ampm ? (t.hour % 12 == 0 ? 12 : t.hour % 12) : t.hour;
        out += n >= 2 ? two(h) : std::to_string(h);
      } else if (c == 's') {
        out += n >= 2 ? two(t.second) : std::to_string(t.second);
      } else if (c == '.' && subDigits > 0) {
        out += fixed(sub, subDigits).substr(1);
        n = 1 + static_cast<size_t>(subDigits);
      } else if (c == 'a' || c == 'p') {
        std::string_view rest = std::string_view(s).substr(i);
        bool pm = t.hour >= 12;
        if (rest.size() >= 5 && asciiLower(rest[1]) == 'm' && rest[2] == '/') {
          out += pm ? "PM" : "AM";
          n = 5;
        } else if (rest.size() >= 3 && rest[1] == '/') {
          out += pm ? (rest[2] == 'p' ? "p" : "P") : (rest[0] == 'a' ? "a" : "A");
          n = 3;
        } else {
          out += std::string(1, s[i]);
        }
      } else {
        out += s.substr(i, n);
      }
      if (c != ':' && c != '.' && c != ' ') lastWasHour = c == 'h';
      i += n;
    }
  }
  return out;
}

bool isGeneral(std::string_view section) {
  return asciiLower(section).find("general") != std::string::npos;
}

// The section for a number and whether its sign is shown by the section itself.
std::string_view pick(const std::vector<std::string_view>& secs, double v, bool& absolute) {
  absolute = false;
  if (v < 0 && secs.size() >= 2 && !secs[1].empty()) {
    absolute = true;
    return secs[1];
  }
  if (v == 0 && secs.size() >= 3) return secs[2];
  return secs[0];
}

std::u16string widen(const std::string& s) { return std::u16string(u16(s).view()); }

}  // namespace

std::string_view builtinFormat(int id) {
  switch (id) {
    case 0: return "General";
    case 1: return "0";
    case 2: return "0.00";
    case 3: return "#,##0";
    case 4: return "#,##0.00";
    case 9: return "0%";
    case 10: return "0.00%";
    case 11: return "0.00E+00";
    case 12: return "# ?/?";
    case 13: return "# \?\?/\?\?";
    case 14: return "m/d/yyyy";
    case 15: return "d-mmm-yy";
    case 16: return "d-mmm";
    case 17: return "mmm-yy";
    case 18: return "h:mm AM/PM";
    case 19: return "h:mm:ss AM/PM";
    case 20: return "h:mm";
    case 21: return "h:mm:ss";
    case 22: return "m/d/yyyy h:mm";
    case 37: return "#,##0 ;(#,##0)";
    case 38: return "#,##0 ;[Red](#,##0)";
    case 39: return "#,##0.00;(#,##0.00)";
    case 40: return "#,##0.00;[Red](#,##0.00)";
    case 45: return "mm:ss";
    case 46: return "[h]:mm:ss";
    case 47: return "mmss.0";
    case 48: return "##0.0E+0";
    case 49: return "@";
    default: return "";
  }
}

bool isDateFormat(std::string_view code) {
  if (code.empty() || isGeneral(code)) return false;
  return hasDateCode(tokenize(sections(code)[0]));
}

std::u16string formatGeneral(double v) {
  if (v == 0 || !std::isfinite(v)) return u"0";
  const char* sign = v < 0 ? "-" : "";
  double a = std::fabs(v);
  int exp = static_cast<int>(std::floor(std::log10(a)));
  if (exp >= -4 && exp < 11) {
    int decimals = std::max(0, exp >= 0 ? 9 - exp : 9);
    std::string s = fixed(a, decimals);
    if (s.find('.') != std::string::npos) {
      while (s.back() == '0') s.pop_back();
      if (s.back() == '.') s.pop_back();
    }
    if (s.size() <= 11 && s != "0") return widen(sign + s);
    if (s == "0") return widen(std::string(sign) + "0");
  }
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 5);
  std::string s(buf, r.ptr);
  size_t e = s.find('e');
  std::string mant = s.substr(0, e), ex = s.substr(e + 1);
  while (mant.back() == '0') mant.pop_back();
  if (mant.back() == '.') mant.pop_back();
  int expo = std::stoi(ex);
  std::string digits = std::to_string(std::abs(expo));
  if (digits.size() < 2) digits.insert(digits.begin(), '0');
  return widen(sign + mant + "E" + (expo < 0 ? "-" : "+") + digits);
}

std::u16string formatNumber(double v, std::string_view code) {
  if (!std::isfinite(v)) return u"#NUM!";
  auto secs = sections(code);
  bool absolute = false;
  std::string_view sec = pick(secs, v, absolute);
  if (isGeneral(sec) || sec.empty()) {
    // "General" stands for the number; the literals around it stay.
    std::string lowered = asciiLower(sec);
    size_t at = sec.empty() ? 0 : lowered.find("general");
    auto literals = [](std::string_view part) {
      std::u16string out;
      for (auto& t : tokenize(part)) out += widen(t.text);
      return out;
    };
    return literals(sec.substr(0, at)) + formatGeneral(absolute ? std::fabs(v) : v) +
           literals(sec.empty() ? std::string_view() : sec.substr(at + 7));
  }
  auto tokens = tokenize(sec);
  if (hasDateCode(tokens)) return widen(dateSection(v, tokens));
  bool hasDigits = false;
  for (auto& t : tokens)
    if (t.kind == Token::Code && t.text.find_first_of("0#?") != std::string::npos) hasDigits = true;
  if (!hasDigits) {
    for (auto& t : tokens)
      if (t.kind == Token::Code && t.text.find('@') != std::string::npos) return formatGeneral(v);
    std::string out;
    for (auto& t : tokens) out += t.kind == Token::Literal ? t.text : "";
    return widen(out);
  }
  std::string body = numberSection(v, tokens);
  bool negative = v < 0 && !absolute && body.find_first_of("123456789") != std::string::npos;
  return widen((negative ? "-" : "") + body);
}

std::u16string formatDateSerial(double serial, std::string_view code) {
  auto tokens = tokenize(sections(code)[0]);
  if (!hasDateCode(tokens)) return formatNumber(serial, code);
  if (serial < 0) return u"########";  // no negative dates in the 1900 date system
  return widen(dateSection(serial, tokens));
}

std::u16string formatText(std::u16string_view text, std::string_view code) {
  auto secs = sections(code);
  if (secs.size() < 4 && !(secs.size() == 1 && secs[0].find('@') != std::string_view::npos)) return std::u16string(text);
  std::string_view sec = secs.size() >= 4 ? secs[3] : secs[0];
  std::u16string out;
  for (auto& t : tokenize(sec)) out += t.kind == Token::Literal ? widen(t.text) : std::u16string(text);
  return out;
}

}  // namespace tlx::platform::spreadsheet
