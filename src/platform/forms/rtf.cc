#include "platform/forms/rtf.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace tlx::platform::forms {

namespace {

constexpr std::u16string_view kHeader =
    u"{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fnil\\fcharset0 Sans Serif;}}\r\n"
    u"\\viewkind4\\uc1\\pard\\f0\\fs17 ";

void appendEscaped(std::u16string& out, char16_t c) {
  if (c == u'\\' || c == u'{' || c == u'}') {
    out += u'\\';
    out += c;
  } else if (c == u'\t') {
    out += u"\\tab ";
  } else if (c < 0x20 || c > 0x7E) {
    // Signed 16-bit code, then the one-character fallback that \uc1 announces.
    out += u"\\u" + [](int v) {
      std::u16string s;
      for (char ch : std::to_string(v)) s += static_cast<char16_t>(ch);
      return s;
    }(c > 0x7FFF ? c - 0x10000 : c);
    out += u'?';
  } else {
    out += c;
  }
}

// The code page's characters 0x80 to 0x9F; the rest of its upper half is Latin-1.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t fromCodePage(unsigned byte) {
  return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : static_cast<char16_t>(byte);
}

int hexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool isLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// Groups whose content is not text of the document.
bool isDestination(std::u16string_view word) {
  for (std::u16string_view d : {u"fonttbl", u"colortbl", u"stylesheet", u"info", u"pict", u"header",
                                u"footer", u"object", u"themedata", u"listtable", u"generator"})
    if (word == d) return true;
  return false;
}

class RtfReader {
 public:
  explicit RtfReader(std::u16string_view s) : s_(s) {}

  std::u16string text() {
    while (i_ < s_.size()) step();
    if (endsWithParagraph_ && out_.size() >= 2) out_.resize(out_.size() - 2);
    return std::move(out_);
  }

 private:
  struct Group {
    bool skip;
    int uc;
  };

  void step() {
    const char16_t c = s_[i_++];
    if (c == u'{') {
      groups_.push_back(Group{skipping(), uc()});
      groupStart_ = true;
      return;
    }
    const bool first = std::exchange(groupStart_, false);
    if (c == u'}') {
      if (!groups_.empty()) groups_.pop_back();
    } else if (c == u'\\') {
      controlWord(first);
    } else if (c != u'\r' && c != u'\n') {
      emit(c);
    }
  }

  void controlWord(bool firstInGroup) {
    if (i_ >= s_.size()) return;
    const char16_t c = s_[i_];
    if (!isLetter(c)) {
      ++i_;
      if (c == u'*' && firstInGroup) setSkip();
      else if (c == u'\'') hexByte();
      else if (c == u'~') emit(0xA0);
      else if (c == u'_') emit(0x2011);
      else if (c == u'\r' || c == u'\n') paragraph();
      else if (c == u'\\' || c == u'{' || c == u'}') emit(c);
      return;
    }
    const size_t start = i_;
    while (i_ < s_.size() && isLetter(s_[i_])) ++i_;
    const std::u16string_view word = s_.substr(start, i_ - start);
    bool hasParam = false;
    long param = 0;
    const bool negative = i_ < s_.size() && s_[i_] == u'-';
    if (negative) ++i_;
    while (i_ < s_.size() && s_[i_] >= u'0' && s_[i_] <= u'9') {
      param = param * 10 + (s_[i_++] - u'0');
      hasParam = true;
      if (param > 0xFFFFF) param = 0xFFFFF;
    }
    if (negative) param = -param;
    if (i_ < s_.size() && s_[i_] == u' ') ++i_;
    apply(word, hasParam, param, firstInGroup);
  }

  void apply(std::u16string_view word, bool hasParam, long param, bool firstInGroup) {
    if (firstInGroup && isDestination(word)) setSkip();
    else if (word == u"par") paragraph();
    else if (word == u"line") emit(u'\v');
    else if (word == u"tab") emit(u'\t');
    else if (word == u"uc" && hasParam && !groups_.empty()) groups_.back().uc = static_cast<int>(param);
    else if (word == u"u" && hasParam) unicode(param);
    else if (word == u"emdash") emit(0x2014);
    else if (word == u"endash") emit(0x2013);
    else if (word == u"lquote") emit(0x2018);
    else if (word == u"rquote") emit(0x2019);
    else if (word == u"ldblquote") emit(0x201C);
    else if (word == u"rdblquote") emit(0x201D);
    else if (word == u"bullet") emit(0x2022);
  }

  void hexByte() {
    if (i_ + 1 >= s_.size() || hexDigit(s_[i_]) < 0 || hexDigit(s_[i_ + 1]) < 0) return;
    const unsigned byte = static_cast<unsigned>(hexDigit(s_[i_]) * 16 + hexDigit(s_[i_ + 1]));
    i_ += 2;
    if (pendingFallback_ > 0) {
      --pendingFallback_;
      return;
    }
    emit(fromCodePage(byte));
  }

  void unicode(long code) {
    emit(static_cast<char16_t>(code < 0 ? code + 0x10000 : code));
    pendingFallback_ = uc();
  }

  void paragraph() {
    emit(u'\r');
    emit(u'\n');
    endsWithParagraph_ = !skipping();
  }

  void emit(char16_t c) {
    if (skipping()) return;
    if (pendingFallback_ > 0 && c != u'\r' && c != u'\n') {
      --pendingFallback_;
      return;
    }
    out_ += c;
    endsWithParagraph_ = false;
  }

  bool skipping() const { return !groups_.empty() && groups_.back().skip; }
  int uc() const { return groups_.empty() ? 1 : groups_.back().uc; }
  void setSkip() {
    if (!groups_.empty()) groups_.back().skip = true;
  }

  std::u16string_view s_;
  size_t i_ = 0;
  std::vector<Group> groups_;
  std::u16string out_;
  bool groupStart_ = false;
  bool endsWithParagraph_ = false;
  int pendingFallback_ = 0;
};

}  // namespace

std::u16string rtfOfText(std::u16string_view text) {
  std::u16string out(kHeader);
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      out += u"\\par\r\n";
    } else {
      appendEscaped(out, c);
    }
  }
  out += u"\\par\r\n}\r\n";
  return out;
}

std::u16string textOfRtf(std::u16string_view rtf) {
  if (!rtf.starts_with(u"{\\rtf")) return std::u16string(rtf);
  return RtfReader(rtf).text();
}

}  // namespace tlx::platform::forms
