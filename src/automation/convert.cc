// VariantChangeType in the fixed en-US locale.
#include "talvex/convert.h"

#include <cerrno>
#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "talvex/dispatch.h"
#include "automation/strings.h"

namespace tlx {

namespace {

[[noreturn]] void typeMismatch() { throw ComError(hr::DISP_E_TYPEMISMATCH); }
[[noreturn]] void overflow() { throw ComError(hr::DISP_E_OVERFLOW, "Overflow"); }

// OLE dates run from 1 Jan 100 to 31 Dec 9999.
constexpr double kMinDate = -657434.0;
constexpr double kMaxDate = 2958465.99999999;
// Serial 0 is 30 Dec 1899, which is 25569 days before 1 Jan 1970.
constexpr int64_t kEpochShift = 25569;

// Days since 1 Jan 1970 of a proleptic Gregorian date (month 1..12).
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int daysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

// Day count and the time of day in whole seconds, rounded to the nearest second.
// Negative serials hold the time as a positive fraction after the (negative) day.
void splitSerial(double serial, int64_t& days, int64_t& seconds) {
  if (!(serial >= kMinDate - 1 && serial <= kMaxDate + 1)) overflow();
  double whole = std::trunc(serial);
  days = static_cast<int64_t>(whole);
  seconds = std::llround(std::fabs(serial - whole) * 86400.0);
  if (seconds >= 86400) {
    seconds -= 86400;
    days += serial < 0 ? -1 : 1;
  }
}

BStr ascii(std::string_view s) {
  BStr out = BStr::ofLength(s.size());
  std::copy(s.begin(), s.end(), out.mutableData());
  return out;
}

size_t copyAscii(std::string_view s, char16_t* out) {
  std::copy(s.begin(), s.end(), out);
  return s.size();
}

// The %.*G form of printf with `digits` significant digits (the shortest of fixed and exponent
// form, trailing zeros dropped), which to_chars gives exactly and many times faster.
size_t formatReal(double d, int digits, char16_t* out) {
  if (std::isnan(d)) return copyAscii("NaN", out);
  if (std::isinf(d)) return copyAscii(d > 0 ? "1.#INF" : "-1.#INF", out);
  if (d == 0) return copyAscii("0", out);  // also negative zero
  char buf[kNumberChars];
  const auto end = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, digits).ptr;
  std::replace(buf, end, 'e', 'E');
  return copyAscii(std::string_view(buf, static_cast<size_t>(end - buf)), out);
}

template <class Int>
size_t formatInteger(Int i, char16_t* out) {
  char buf[kNumberChars];
  const auto end = std::to_chars(buf, buf + sizeof buf, i).ptr;
  return copyAscii(std::string_view(buf, static_cast<size_t>(end - buf)), out);
}

std::string currencyChars(int64_t scaled) {
  const bool negative = scaled < 0;
  // Magnitude as unsigned so that the most negative value is safe.
  uint64_t mag = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  uint64_t whole = mag / 10000, frac = mag % 10000;
  std::string s = (negative ? "-" : "") + std::to_string(whole);
  if (frac) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04u", static_cast<unsigned>(frac));
    std::string f = buf;
    while (!f.empty() && f.back() == '0') f.pop_back();
    s += "." + f;
  }
  return s;
}

BStr formatCurrency(int64_t scaled) { return ascii(currencyChars(scaled)); }

// Banker's rounding of a finite double to an integer-valued double.
double roundEven(double d) {
  double r = std::round(d);  // half away from zero
  if (std::fabs(d - std::trunc(d)) == 0.5) r = 2.0 * std::round(d / 2.0);
  return r;
}

int64_t roundCurrencyToInteger(int64_t scaled) {
  int64_t q = scaled / 10000, rem = scaled % 10000;
  if (rem > 5000 || (rem == 5000 && (q & 1))) ++q;
  if (rem < -5000 || (rem == -5000 && (q & 1))) --q;
  return q;
}

// An integer from any value, checked against [lo, hi].
int64_t toInteger(const Variant& v, int64_t lo, int64_t hi);


bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == 0xA0; }

std::u16string_view trim(std::u16string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool isAlpha(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

bool parseBool(std::u16string_view s, bool& out) {
  s = trim(s);
  if (equalsNoCase(s, u"True")) return out = true, true;
  if (equalsNoCase(s, u"False")) return out = false, true;
  return false;
}

// Strings convert to dates by their date form; a plain number is taken as a serial.
double dateFromString(std::u16string_view s) {
  try {
    return parseDate(s);
  } catch (const ComError&) {
  }
  double d = parseNumber(s);
  if (!(d >= kMinDate && d <= kMaxDate)) overflow();
  return d;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Text forms


namespace {

// The text of a date serial, written into `buf`: its length.
size_t dateChars(double serial, char (&buf)[64]) {
  int64_t days, secs;
  splitSerial(serial, days, secs);
  int y, m, d;
  civilFromDays(days - kEpochShift, y, m, d);
  if (y < 100 || y > 9999) overflow();
  const int h = static_cast<int>(secs / 3600), mi = static_cast<int>(secs / 60 % 60),
            s = static_cast<int>(secs % 60);
  const char* ampm = h < 12 ? "AM" : "PM";
  const int h12 = h % 12 == 0 ? 12 : h % 12;
  int n;
  if (days == 0)
    n = std::snprintf(buf, sizeof buf, "%d:%02d:%02d %s", h12, mi, s, ampm);
  else if (secs == 0)
    n = std::snprintf(buf, sizeof buf, "%d/%d/%d", m, d, y);
  else
    n = std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%02d:%02d %s", m, d, y, h12, mi, s, ampm);
  return static_cast<size_t>(n);
}

}  // namespace

BStr formatDate(double serial) {
  char buf[64];
  return ascii(std::string_view(buf, dateChars(serial, buf)));
}

// ---------------------------------------------------------------------------------------------
// Calendar

double makeDate(int year, int month, int day, int hour, int minute, double second) {
  // Months outside 1..12 carry into the year, days outside the month into the next ones,
  // as DateSerial does.
  int64_t m0 = static_cast<int64_t>(month) - 1;
  int64_t y = year + (m0 >= 0 ? m0 / 12 : (m0 - 11) / 12);
  m0 -= (y - year) * 12;
  const int64_t days = daysFromCivil(y, m0 + 1, 1) + (day - 1) + kEpochShift;
  const double t = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  // A negative serial keeps the time as a positive fraction after its day.
  if (days < 0) return static_cast<double>(days) - t;
  return static_cast<double>(days) + t;
}

CivilTime splitDate(double serial) {
  int64_t days, secs;
  splitSerial(serial, days, secs);
  CivilTime c{};
  civilFromDays(days - kEpochShift, c.year, c.month, c.day);
  c.hour = static_cast<int>(secs / 3600);
  c.minute = static_cast<int>(secs / 60 % 60);
  c.second = static_cast<int>(secs % 60);
  return c;
}

// ---------------------------------------------------------------------------------------------
// Parsing

double parseNumber(std::u16string_view text) {
  std::u16string_view s = trim(text);
  if (s.empty()) typeMismatch();

  // &H hex and &O (or bare &) octal: 32-bit patterns, so &HFFFFFFFF is -1.
  if (s[0] == u'&') {
    size_t i = 1;
    int base = 8;
    if (i < s.size() && (s[i] == u'H' || s[i] == u'h')) base = 16, ++i;
    else if (i < s.size() && (s[i] == u'O' || s[i] == u'o')) ++i;
    if (i == s.size()) typeMismatch();
    uint64_t value = 0;
    for (; i < s.size(); ++i) {
      char16_t c = s[i];
      int digit;
      if (isDigit(c)) digit = c - u'0';
      else if (base == 16 && c >= u'a' && c <= u'f') digit = c - u'a' + 10;
      else if (base == 16 && c >= u'A' && c <= u'F') digit = c - u'A' + 10;
      else typeMismatch();
      if (digit >= base) typeMismatch();
      value = value * base + digit;
      if (value > 0xFFFFFFFFull) overflow();
    }
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value)));
  }

  std::string clean;
  size_t i = 0;
  bool negative = false, parens = false;
  auto skipBlanks = [&] {
    while (i < s.size() && isBlank(s[i])) ++i;
  };
  if (s[i] == u'(') parens = true, ++i, skipBlanks();
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) negative = s[i] == u'-', ++i, skipBlanks();
  if (i < s.size() && s[i] == u'$') ++i, skipBlanks();
  if (!parens && i < s.size() && (s[i] == u'+' || s[i] == u'-') && !negative)
    negative = s[i] == u'-', ++i, skipBlanks();

  size_t intDigits = 0, fracDigits = 0;
  while (i < s.size() && (isDigit(s[i]) || (s[i] == u',' && intDigits > 0))) {
    if (s[i] != u',') clean.push_back(static_cast<char>(s[i])), ++intDigits;
    ++i;
  }
  if (i < s.size() && s[i] == u'.') {
    clean.push_back('.');
    ++i;
    while (i < s.size() && isDigit(s[i])) clean.push_back(static_cast<char>(s[i++])), ++fracDigits;
  }
  if (intDigits + fracDigits == 0) typeMismatch();
  if (i < s.size() && (s[i] == u'E' || s[i] == u'e' || s[i] == u'D' || s[i] == u'd')) {
    clean.push_back('E');
    ++i;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) clean.push_back(static_cast<char>(s[i++]));
    size_t expDigits = 0;
    while (i < s.size() && isDigit(s[i])) clean.push_back(static_cast<char>(s[i++])), ++expDigits;
    if (!expDigits) typeMismatch();
  }
  skipBlanks();
  if (parens) {
    if (negative || i >= s.size() || s[i] != u')') typeMismatch();
    negative = true;
    ++i;
    skipBlanks();
  }
  if (i != s.size()) typeMismatch();

  errno = 0;
  double d = std::strtod(clean.c_str(), nullptr);
  if (std::isinf(d)) overflow();
  return negative ? -d : d;
}

namespace {

int monthFromName(std::u16string_view word) {
  static const char16_t* names[] = {u"january", u"february", u"march",     u"april",
                                    u"may",     u"june",     u"july",      u"august",
                                    u"september", u"october", u"november", u"december"};
  if (word.size() < 3) return 0;
  BStr w = lcase(word);
  for (int m = 0; m < 12; ++m) {
    std::u16string_view full = names[m];
    if (w.size() <= full.size() && full.substr(0, w.size()) == w) return m + 1;
    if (w == u"sept" && m == 8) return 9;
  }
  return 0;
}

bool isWeekday(std::u16string_view word) {
  static const char16_t* names[] = {u"sunday",   u"monday", u"tuesday", u"wednesday",
                                    u"thursday", u"friday", u"saturday"};
  if (word.size() < 3) return false;
  BStr w = lcase(word);
  for (auto* n : names) {
    std::u16string_view full = n;
    if (w.size() <= full.size() && full.substr(0, w.size()) == w) return true;
  }
  return false;
}

int expandYear(int y, size_t digits) {
  if (digits <= 2) return y < 30 ? 2000 + y : 1900 + y;
  return y;
}

int currentYear() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return tm.tm_year + 1900;
}

}  // namespace

double parseDate(std::u16string_view text) {
  std::u16string_view s = trim(text);
  if (s.empty()) typeMismatch();

  struct Num {
    long value;
    size_t digits;
  };
  std::vector<Num> nums;
  int monthName = 0;
  bool hasTime = false;
  int hour = 0, minute = 0;
  double second = 0;
  int ampm = 0;  // 1 AM, 2 PM

  size_t i = 0;
  auto readNumber = [&](size_t& digits) {
    long v = 0;
    digits = 0;
    while (i < s.size() && isDigit(s[i])) {
      if (digits < 9) v = v * 10 + (s[i] - u'0');
      ++digits, ++i;
    }
    return v;
  };
  while (i < s.size()) {
    char16_t c = s[i];
    if (isDigit(c)) {
      size_t digits;
      long v = readNumber(digits);
      if (digits > 4) typeMismatch();
      if (i < s.size() && s[i] == u':') {
        if (hasTime) typeMismatch();
        hasTime = true;
        hour = static_cast<int>(v);
        ++i;
        size_t d2;
        if (i >= s.size() || !isDigit(s[i])) typeMismatch();
        minute = static_cast<int>(readNumber(d2));
        if (d2 > 2) typeMismatch();
        if (i < s.size() && s[i] == u':') {
          ++i;
          if (i >= s.size() || !isDigit(s[i])) typeMismatch();
          second = static_cast<double>(readNumber(d2));
          if (d2 > 2) typeMismatch();
          if (i < s.size() && s[i] == u'.') {
            ++i;
            double scale = 0.1;
            while (i < s.size() && isDigit(s[i])) second += (s[i++] - u'0') * scale, scale /= 10;
          }
        }
      } else {
        nums.push_back({v, digits});
      }
    } else if (isAlpha(c)) {
      size_t start = i;
      while (i < s.size() && isAlpha(s[i])) ++i;
      std::u16string_view word = s.substr(start, i - start);
      if (equalsNoCase(word, u"AM") || equalsNoCase(word, u"A")) {
        if (ampm) typeMismatch();
        ampm = 1;
      } else if (equalsNoCase(word, u"PM") || equalsNoCase(word, u"P")) {
        if (ampm) typeMismatch();
        ampm = 2;
      } else if (equalsNoCase(word, u"T") && !nums.empty() && !hasTime) {
        // ISO separator between date and time.
      } else if (int m = monthFromName(word)) {
        if (monthName) typeMismatch();
        monthName = m;
      } else if (isWeekday(word)) {
      } else {
        typeMismatch();
      }
      if (ampm && !hasTime) {
        // "1 PM": the number before the marker is the hour.
        if (nums.empty()) typeMismatch();
        hasTime = true;
        hour = static_cast<int>(nums.back().value);
        nums.pop_back();
      }
    } else if (c == u'/' || c == u'-' || c == u',' || isBlank(c)) {
      ++i;
    } else if (c == u'.' && i > 0 && isAlpha(s[i - 1])) {
      ++i;  // "Jan. 31": en-US has no dotted dates, so "1.5" stays a number
    } else {
      typeMismatch();
    }
  }

  // Time of day.
  double t = 0;
  if (hasTime) {
    if (ampm) {
      if (hour < 1 || hour > 12) typeMismatch();
      hour = hour % 12 + (ampm == 2 ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second >= 60) typeMismatch();
    t = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  } else if (ampm) {
    typeMismatch();
  }

  // Date.
  int y = 0, m = 0, d = 0;
  bool hasDate = true;
  if (monthName) {
    m = monthName;
    if (nums.size() == 2) {
      // "January 31, 2024" / "31 Jan 2024" / "2024 Jan 31"
      if (nums[0].digits > 2) y = expandYear(nums[0].value, nums[0].digits), d = nums[1].value;
      else d = nums[0].value, y = expandYear(nums[1].value, nums[1].digits);
    } else if (nums.size() == 1) {
      if (nums[0].value > 31 || nums[0].digits > 2) y = expandYear(nums[0].value, nums[0].digits), d = 1;
      else d = nums[0].value, y = currentYear();
    } else {
      typeMismatch();
    }
  } else if (nums.size() == 3) {
    if (nums[0].digits > 2) {  // year first: ISO and yyyy/mm/dd
      y = nums[0].value, m = nums[1].value, d = nums[2].value;
    } else {
      m = nums[0].value, d = nums[1].value, y = expandYear(nums[2].value, nums[2].digits);
      // A month past 12 with a day that could be a month reads day first.
      if (m > 12 && d <= 12) std::swap(m, d);
    }
  } else if (nums.size() == 2) {
    if (nums[1].value > 31 || nums[1].digits > 2) {
      m = nums[0].value, d = 1, y = expandYear(nums[1].value, nums[1].digits);
    } else {
      m = nums[0].value, d = nums[1].value, y = currentYear();
      if (m > 12 && d <= 12) std::swap(m, d);
    }
  } else if (nums.empty()) {
    if (!hasTime) typeMismatch();
    hasDate = false;
  } else {
    typeMismatch();
  }
  if (!hasDate) return t;
  if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m)) typeMismatch();
  const double days = static_cast<double>(daysFromCivil(y, m, d) + kEpochShift);
  return days < 0 ? days - t : days + t;
}

// ---------------------------------------------------------------------------------------------
// Conversions

BStr toBStr(const Variant& v) {
  switch (v.type()) {
    case vtEmpty: return BStr();
    case vtI2: case vtI4: case vtUI1: case vtR4: case vtR8: {
      char16_t buf[kNumberChars];
      return BStr(std::u16string_view(buf, formatNumber(v, buf)));
    }
    case vtCurrency: return formatCurrency(v.currency());
    case vtDate: return formatDate(v.date());
    case vtString: return v.str();
    case vtBoolean: return v.boolean() ? u"True" : u"False";
    default: typeMismatch();
  }
}

std::string toUtf8(const Variant& v) { return u8(toBStr(v)); }

size_t formatNumber(const Variant& v, char16_t (&out)[kNumberChars]) {
  switch (v.type()) {
    case vtI2: return formatInteger(v.i2(), out);
    case vtI4: return formatInteger(v.i4(), out);
    case vtUI1: return formatInteger(v.ui1(), out);
    case vtR4: return formatReal(v.r4(), 7, out);
    case vtR8: return formatReal(v.r8(), 15, out);
    default: return 0;
  }
}

void appendText(std::u16string& out, const Variant& v) {
  char16_t number[kNumberChars];
  char date[64];
  switch (v.type()) {
    case vtString: out += v.str().view(); break;
    case vtBoolean: out += v.boolean() ? u"True" : u"False"; break;
    case vtCurrency: {
      const std::string text = currencyChars(v.currency());
      out.append(text.begin(), text.end());
      break;
    }
    case vtDate: out.append(date, date + dateChars(v.date(), date)); break;
    default:
      if (size_t n = formatNumber(v, number)) out.append(number, n);
      else out += toBStr(v).view();
  }
}

double toDouble(const Variant& v) {
  switch (v.type()) {
    case vtEmpty: return 0;
    case vtI2: return v.i2();
    case vtI4: return v.i4();
    case vtUI1: return v.ui1();
    case vtR4: return v.r4();
    case vtR8: return v.r8();
    case vtCurrency: return static_cast<double>(v.currency()) / 10000.0;
    case vtDate: return v.date();
    case vtBoolean: return v.boolean() ? -1 : 0;
    case vtString: return parseNumber(v.str());
    default: typeMismatch();
  }
}

float toSingle(const Variant& v) {
  if (v.type() == vtR4) return v.r4();
  double d = toDouble(v);
  if (std::isfinite(d) && std::fabs(d) > FLT_MAX) overflow();
  return static_cast<float>(d);
}

namespace {

int64_t toInteger(const Variant& v, int64_t lo, int64_t hi) {
  int64_t r;
  switch (v.type()) {
    case vtEmpty: r = 0; break;
    case vtI2: r = v.i2(); break;
    case vtI4: r = v.i4(); break;
    case vtUI1: r = v.ui1(); break;
    case vtBoolean: r = v.boolean() ? -1 : 0; break;
    case vtCurrency: r = roundCurrencyToInteger(v.currency()); break;
    default: {
      double d = toDouble(v);
      if (!std::isfinite(d)) overflow();
      d = roundEven(d);
      if (d < static_cast<double>(lo) || d > static_cast<double>(hi)) overflow();
      r = static_cast<int64_t>(d);
    }
  }
  if (r < lo || r > hi) overflow();
  return r;
}

}  // namespace

int16_t toI2(const Variant& v) { return static_cast<int16_t>(toInteger(v, INT16_MIN, INT16_MAX)); }
int32_t toI4(const Variant& v) { return static_cast<int32_t>(toInteger(v, INT32_MIN, INT32_MAX)); }
uint8_t toUI1(const Variant& v) { return static_cast<uint8_t>(toInteger(v, 0, 255)); }

bool toBool(const Variant& v) {
  switch (v.type()) {
    case vtEmpty: return false;
    case vtBoolean: return v.boolean();
    case vtI2: return v.i2() != 0;
    case vtI4: return v.i4() != 0;
    case vtUI1: return v.ui1() != 0;
    case vtCurrency: return v.currency() != 0;
    case vtString: {
      bool b;
      if (parseBool(v.str(), b)) return b;
      return parseNumber(v.str()) != 0;
    }
    default: return toDouble(v) != 0;
  }
}

int64_t toCurrency(const Variant& v) {
  switch (v.type()) {
    case vtCurrency: return v.currency();
    case vtI2: return int64_t{v.i2()} * 10000;
    case vtI4: return int64_t{v.i4()} * 10000;
    case vtUI1: return int64_t{v.ui1()} * 10000;
    case vtBoolean: return v.boolean() ? -10000 : 0;
    case vtEmpty: return 0;
    default: {
      double d = toDouble(v) * 10000.0;
      if (!std::isfinite(d)) overflow();
      d = roundEven(d);
      // 2^63 is exactly representable; anything at or past it is out of range.
      if (d >= 9223372036854775808.0 || d < -9223372036854775808.0) overflow();
      return static_cast<int64_t>(d);
    }
  }
}

double toDate(const Variant& v) {
  double d;
  switch (v.type()) {
    case vtDate: return v.date();
    case vtString: return dateFromString(v.str());
    default: d = toDouble(v);
  }
  if (!(d >= kMinDate && d <= kMaxDate)) overflow();
  return d;
}

Variant changeType(const Variant& v, VarType to) {
  if (to == vtVariant) return v;
  if (v.isArray()) typeMismatch();
  if (to == vtDispatch) {
    if (v.isObject()) return v;
    typeMismatch();
  }
  if (to == vtError) {
    if (v.type() == vtError) return v;
    typeMismatch();
  }
  if (v.isObject()) typeMismatch();  // objects hold no value of their own to convert
  if (to == v.type()) return v;
  if (to == vtEmpty) return Variant();
  if (to == vtNull) {
    if (v.isNull() || v.isEmpty()) return Variant::null();
    typeMismatch();
  }
  if (v.isNull() || v.type() == vtError) typeMismatch();
  switch (to) {
    case vtI2: return Variant(toI2(v));
    case vtI4: return Variant(toI4(v));
    case vtR4: return Variant(toSingle(v));
    case vtR8: return Variant(toDouble(v));
    case vtCurrency: return Variant(Currency{toCurrency(v)});
    case vtDate: return Variant(Date{toDate(v)});
    case vtString: return Variant(toBStr(v));
    case vtBoolean: return Variant(toBool(v));
    case vtUI1: return Variant(toUI1(v));
    default: typeMismatch();
  }
}

}  // namespace tlx
