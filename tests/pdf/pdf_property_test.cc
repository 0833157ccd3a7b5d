// Hundreds of generated texts, each converted and checked: sound structure, every character
// back in the text items in order, pieces no wider than the wrap width, escapes whole, and
// `qpdf --check` content with every file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "automation/strings.h"
#include "pdf/pdf_writer.h"
#include "pdf_check.h"

namespace tlx {
namespace {

using namespace pdftest;

const bool kCodePageSet = [] { return setenv("TALVEX_CODEPAGE", "UTF-8", 1) == 0; }();

// One character of a generated line: its UTF-8 input and the WinAnsi bytes expected back.
struct Unit {
  const char* input;
  const char* shown;
};

const std::vector<Unit> kSpecial = {
    {"(", "("},   {")", ")"},   {"\\", "\\"},        {"\f", "\f"},       {" ", " "},
    {"\t", "\t"}, {"\n", "\n"}, {"\xC3\xA9", "\xE9"}, {"\xE2\x82\xAC", "\x80"},
    {"\xE6\x97\xA5", "?"},      {"\xF0\x9F\x98\x80", "?"},
    {"\xE2\x80\x94", "\x97"},   {"\xC2\xA0", "\xA0"},
};
const std::string kBreaks = "*&^%$#,.;<=>[]}!\"";

struct Sample {
  std::string input;     // file bytes
  std::string expected;  // every line encoded and trimmed, concatenated
  std::u16string font;
  int16_t size;
  int16_t rotation;
  float width, height;
};

class Generator {
 public:
  explicit Generator(uint32_t seed) : rng_(seed) {}

  Sample next() {
    Sample s;
    const char16_t* fonts[] = {u"Courier", u"Arial", u"Helvetica", u"Times Roman"};
    s.font = fonts[pick(4)];
    s.rotation = static_cast<int16_t>(90 * pick(4));
    if (pick(50) == 0) {  // one character a line: the narrowest page the writer accepts
      s.size = 40;
      s.width = 0.4f;
      s.height = 3.0f;
    } else {
      s.size = static_cast<int16_t>(pick(3) ? 6 + pick(10) : 1 + pick(40));
      s.width = 1.5f + static_cast<float>(pick(126)) / 10;
      s.height = 2.0f + static_cast<float>(pick(180)) / 10;
    }
    int lines = pick(25) == 0 ? 100 + pick(150) : pick(10) == 0 ? pick(3) : pick(40);
    std::vector<std::string> in(lines);
    for (int i = 0; i < lines; ++i) {
      std::string shown;
      line(in[i], shown);
      size_t a = shown.find_first_not_of(' ');
      if (a != std::string::npos) s.expected += shown.substr(a, shown.find_last_not_of(' ') - a + 1);
    }
    for (int i = 0; i < lines; ++i) {
      s.input += in[i];
      bool last = i + 1 == lines;
      // A carriage return alone must not meet a line feed that opens the next line.
      bool lfNext = !last && !in[i + 1].empty() && in[i + 1][0] == '\n';
      if (!last || pick(2)) s.input += (pick(3) || lfNext) ? "\r\n" : "\r";
    }
    return s;
  }

 private:
  int pick(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }

  void line(std::string& in, std::string& shown) {
    int kind = pick(6);
    int length = kind == 0 ? 0 : kind == 1 ? 100 + pick(300) : pick(140);
    for (int i = 0; i < length; ++i) {
      int what = kind == 1 ? pick(40) : pick(10);  // long words: few specials or breaks
      if (what == 5 || what == 6) {
        const Unit& u = kSpecial[pick(static_cast<int>(kSpecial.size()))];
        in += u.input;
        shown += u.shown;
        continue;
      }
      const char c = what == 7 ? kBreaks[pick(static_cast<int>(kBreaks.size()))]
                               : static_cast<char>((what < 5 ? 'a' : 'A') + pick(26));
      in += c;
      shown += c;
    }
  }

  std::mt19937 rng_;
};

// A piece must hold whole escapes only: no lone parenthesis, no backslash left open.
bool wholeEscapes(const std::string& item) {
  for (size_t i = 0; i < item.size(); ++i) {
    if (item[i] == '\\') {
      if (i + 1 == item.size()) return false;
      char next = item[i + 1];
      if (next != '\\' && next != '(' && next != ')') return false;
      ++i;
    } else if (item[i] == '(' || item[i] == ')') {
      return false;
    }
  }
  return true;
}

TEST(PdfProperty, GeneratedTextsAllGiveSoundPdfs) {
  const char* seedText = std::getenv("TALVEX_PDF_SEED");
  const uint32_t seed = seedText ? static_cast<uint32_t>(std::strtoul(seedText, nullptr, 10))
                                 : 20240611u;
  const int count = 500;
  Generator generate(seed);
  TempDir dir;
  PdfWriterState state;
  const std::string txt = dir.file("in.txt");
  int failures = 0;
  for (int n = 0; n < count && failures < 5; ++n) {
    Sample s = generate.next();
    writeFile(txt, s.input);
    const std::string pdf = dir.file("t" + std::to_string(n) + ".pdf");
    int16_t result = CreatePDFFromFile(state, u16(txt), u16(pdf), s.font, s.size, s.rotation,
                                       s.width, s.height, u"a(uthor", u"c)reator", u"k\\",
                                       u"s\u00e9", u"t");
    SCOPED_TRACE("seed " + std::to_string(seed) + " sample " + std::to_string(n));
    if (result != 1) {
      ADD_FAILURE() << "result " << result;
      ++failures;
      continue;
    }
    std::string bytes = readFile(pdf);
    auto sound = wellFormed(bytes);
    std::string joined;
    bool piecesOk = true;
    const size_t widest = state.charsPerLine == 1 ? 2 : static_cast<size_t>(state.charsPerLine);
    for (auto& page : textItems(bytes)) {
      for (auto& item : page) {
        piecesOk = piecesOk && wholeEscapes(item) && item.size() <= widest;
        joined += unescape(item);
      }
    }
    if (!sound || !piecesOk || joined != s.expected) {
      ADD_FAILURE() << (sound ? "" : sound.message()) << (piecesOk ? "" : " bad piece")
                    << (joined == s.expected ? "" : " text differs");
      ++failures;
    }
  }
  ASSERT_EQ(failures, 0);

  // One qpdf per file, two at a time; the names of the files it finds fault with come back.
  CommandResult checked = runCommand("cd " + shellQuote(dir.path().string()) +
                        " && ls | grep '\\.pdf$' | xargs -P 2 -n 100 sh -c "
                        "'for f; do qpdf --check \"$f\" >/dev/null 2>&1 || echo \"$f\"; done' _");
  EXPECT_EQ(checked.exitCode, 0);
  EXPECT_EQ(checked.out, "") << "qpdf --check failed on these (seed " << seed << ")";
}

}  // namespace
}  // namespace tlx
