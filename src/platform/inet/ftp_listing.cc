#include "platform/inet/ftp_listing.h"

#include <array>
#include <optional>

namespace tlx::platform::inet {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Words of a line with the position where each starts, so that a name can be cut from the
// original text with its inner blanks kept.
struct Word {
  std::string_view text;
  size_t start;
};

std::vector<Word> splitWords(std::string_view line, size_t maxWords) {
  std::vector<Word> words;
  size_t i = 0;
  while (words.size() < maxWords) {
    while (i < line.size() && isSpace(line[i])) ++i;
    if (i == line.size()) break;
    size_t start = i;
    while (i < line.size() && !isSpace(line[i])) ++i;
    words.push_back({line.substr(start, i - start), start});
  }
  return words;
}

std::optional<int64_t> parseSize(std::string_view s) {
  if (s.empty() || s.size() > 18) return std::nullopt;
  int64_t n = 0;
  for (char c : s) {
    if (!isDigit(c)) return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

bool isMonth(std::string_view s) {
  static constexpr std::array<std::string_view, 12> months = {"jan", "feb", "mar", "apr", "may", "jun",
                                                               "jul", "aug", "sep", "oct", "nov", "dec"};
  if (s.size() != 3) return false;
  for (auto m : months) {
    bool same = true;
    for (size_t k = 0; k < 3; ++k) same = same && (s[k] | 0x20) == m[k];
    if (same) return true;
  }
  return false;
}

// "12:00" or "2024"
bool isTimeOrYear(std::string_view s) {
  if (s.size() == 4) return isDigit(s[0]) && isDigit(s[1]) && isDigit(s[2]) && isDigit(s[3]);
  size_t colon = s.find(':');
  return colon != std::string_view::npos && colon >= 1 && colon <= 2 && s.size() == colon + 3 &&
         isDigit(s[0]) && isDigit(s[colon + 1]) && isDigit(s[colon + 2]);
}

bool isUnixMode(std::string_view s) {
  return s.size() >= 10 && std::string_view("-dlbcps").find(s[0]) != std::string_view::npos;
}

// The name is everything after the one blank that follows the time or year.
std::string_view nameAfter(std::string_view line, const Word& last) {
  size_t at = last.start + last.text.size() + 1;
  return at < line.size() ? line.substr(at) : std::string_view();
}

// mode links owner [group] size month day time|year name: found by the date, wherever the
// owner and group columns leave it.
std::optional<FtpListEntry> parseUnixLine(std::string_view line) {
  std::vector<Word> w = splitWords(line, 9);
  if (w.size() < 6 || !isUnixMode(w[0].text)) return std::nullopt;
  for (size_t m = 2; m + 2 < w.size(); ++m) {
    if (!isMonth(w[m].text) || !isTimeOrYear(w[m + 2].text)) continue;
    std::optional<int64_t> size = parseSize(w[m - 1].text);
    std::string_view name = nameAfter(line, w[m + 2]);
    if (!size || name.empty()) return std::nullopt;
    FtpListEntry e{std::string(name), w[0].text[0] == 'd', *size};
    if (w[0].text[0] == 'l') {
      size_t arrow = e.name.find(" -> ");
      if (arrow != std::string::npos) e.name.resize(arrow);
    }
    return e;
  }
  return std::nullopt;
}

// date time <DIR>|size name, the name after the blanks that follow the third word.
std::optional<FtpListEntry> parseDosLine(std::string_view line) {
  std::vector<Word> w = splitWords(line, 4);
  if (w.size() < 4) return std::nullopt;
  std::string_view date = w[0].text, time = w[1].text;
  if (date.size() < 8 || !isDigit(date[0]) || (date[2] != '-' && date[2] != '/')) return std::nullopt;
  if (time.size() < 4 || !isDigit(time[0]) || time.find(':') == std::string_view::npos) return std::nullopt;
  FtpListEntry e;
  if (w[2].text == "<DIR>") {
    e.isDirectory = true;
  } else if (auto size = parseSize(w[2].text)) {
    e.size = *size;
  } else {
    return std::nullopt;
  }
  e.name = std::string(line.substr(w[3].start));
  return e;
}

}  // namespace

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
  }
  return lines;
}

std::vector<FtpListEntry> parseFtpListing(std::string_view text) {
  std::vector<FtpListEntry> entries;
  for (std::string_view line : splitLines(text)) {
    std::optional<FtpListEntry> e = parseUnixLine(line);
    if (!e) e = parseDosLine(line);
    if (e && e->name != "." && e->name != "..") entries.push_back(std::move(*e));
  }
  return entries;
}

std::string formatDirResult(const std::vector<FtpListEntry>& entries) {
  std::string out;
  for (const FtpListEntry& e : entries) {
    out += e.name;
    if (e.isDirectory) out += '/';
    out += "\r\n";
  }
  return out;
}

}  // namespace tlx::platform::inet
