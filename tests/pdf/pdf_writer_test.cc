#include "pdf/pdf_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "automation/strings.h"
#include "pdf_check.h"

namespace tlx {
namespace {

using namespace pdftest;

// Input files in these tests are UTF-8 text.
const bool kCodePageSet = [] { return setenv("TALVEX_CODEPAGE", "UTF-8", 1) == 0; }();

struct Options {
  std::u16string font = u"Courier";
  int16_t size = 10;
  int16_t rotation = 0;
  float width = 8.5f;
  float height = 11.0f;
  std::u16string author, creator, keywords, subject, title;
};

class PdfWriterTest : public ::testing::Test {
 protected:
  int16_t convert(const std::string& textFile, const std::string& target, const Options& o = {}) {
    return CreatePDFFromFile(state, u16(textFile), u16(target), o.font, o.size, o.rotation, o.width,
                             o.height, o.author, o.creator, o.keywords, o.subject, o.title);
  }
  std::string output() const { return readFile(pdf); }

  // Converts `text` and checks that the result is a sound PDF; returns its bytes.
  std::string good(const std::string& text, const Options& o = {}) {
    writeFile(txt, text);
    EXPECT_EQ(convert(txt, pdf, o), 1);
    std::string bytes = output();
    EXPECT_TRUE(wellFormed(bytes));
    CommandResult check = qpdfCheck(pdf);
    EXPECT_EQ(check.exitCode, 0) << check.out;
    return bytes;
  }

  TempDir dir;
  std::string txt = dir.file("in.txt");
  std::string pdf = dir.file("out.pdf");
  PdfWriterState state;
};

std::string numberedLines(int from, int to) {
  std::string text;
  for (int i = from; i <= to; ++i) text += "line " + std::to_string(i) + "\r\n";
  return text;
}

// The items "line <from>" to "line <to>", then `more`.
std::vector<std::string> numbered(int from, int to, std::vector<std::string> more = {}) {
  std::vector<std::string> items;
  for (int i = from; i <= to; ++i) items.push_back("line " + std::to_string(i));
  items.insert(items.end(), more.begin(), more.end());
  return items;
}

std::string rep(size_t n, char c) { return std::string(n, c); }

using Pages = std::vector<std::vector<std::string>>;

// A text, the options, and the text items every page must show.
struct Layout {
  const char* what;
  std::string text;
  Options options;
  Pages pages;
  bool plain = true;  // the reader shows each item as a line of its own
};

std::vector<Layout> layouts() {
  const std::string b = rep(92, '\\');
  return {
      {"sixty lines a page", numberedLines(1, 61), {}, {numbered(1, 60), numbered(61, 61)}},
      {"later pages too", numberedLines(1, 121), {}, {numbered(1, 60), numbered(61, 120), numbered(121, 121)}},
      // A blank in the first half of a piece is too early: the cut stays hard.
      {"cuts at the width or after a break character",
       rep(100, 'x') + "\r\n" + rep(79, 'y') + " " + rep(20, 'z') + "\r\n" + rep(39, 'w') + " " + rep(60, 'v') +
           "\r\n" + rep(250, 'q') + "\r\n",
       {},
       {{rep(92, 'x'), rep(8, 'x'), rep(79, 'y') + " ", rep(20, 'z'), rep(39, 'w') + " " + rep(52, 'v'), rep(8, 'v'),
         rep(92, 'q'), rep(92, 'q'), rep(66, 'q')}}},
      {"an escaped break character", rep(60, 'a') + ")" + rep(60, 'b'), {}, {{rep(60, 'a') + "\\)", rep(60, 'b')}}},
      // Escaped, the pair would straddle the 92nd character: a hard cut never parts it.
      {"a backslash at the cut", rep(91, 'a') + "\\" + rep(20, 'b'), {}, {{rep(91, 'a'), "\\\\" + rep(20, 'b')}}},
      {"an opening parenthesis at the cut", rep(91, 'a') + "(" + rep(20, 'b'), {}, {{rep(91, 'a'), "\\(" + rep(20, 'b')}}},
      {"a closing parenthesis at the cut", rep(91, 'a') + ")" + rep(20, 'b'), {}, {{rep(91, 'a'), "\\)" + rep(20, 'b')}}},
      {"a run of escapes", rep(301, '\\'), {}, {{b, b, b, b, b, b, rep(50, '\\')}}},
      {"escaped, trimmed of blanks", "a(b)c\\d\r\n   both ends   \r\n", {}, {{"a\\(b\\)c\\\\d", "both ends"}}},
      {"a tab and a lone LF kept", "\tkept tab\r\nlone\nfeed\r", {}, {{"\tkept tab", "lone\nfeed"}}, false},
      // caf\u00e9, an en dash, the euro sign, two CJK characters and one outside the BMP.
      {"WinAnsi whatever the source",
       "caf\xC3\xA9 \xE2\x80\x93 \xE2\x82\xAC" "5 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80\r\n", {},
       {{"caf\xE9 \x96 \x80" "5 ?? ?"}}, false},
      {"wrapped pieces count as lines and open a page", numberedLines(1, 59) + rep(200, 'k') + "\r\n", {},
       {numbered(1, 59, {rep(92, 'k')}), {rep(92, 'k'), rep(16, 'k')}}},
      {"a form feed opens a page before its line", "a\r\n\fb\r\nc\r\n", {}, {{"a"}, {"\fb", "c"}}, false},
      // In a long line: a new page before the line, and one after each piece while the rest
      // still holds the form feed.
      {"a form feed in a long line", "first\r\n" + rep(150, 'm') + "\f" + rep(49, 'n'), {},
       {{"first"}, {rep(92, 'm')}, {rep(58, 'm') + "\f" + rep(33, 'n'), rep(16, 'n')}}, false},
      {"Arial in any case", rep(130, 'a'), {.font = u"ARIAL"}, {{rep(122, 'a'), rep(8, 'a')}}, false},
      {"any other font", rep(140, 'a'), {.font = u"Helvetica"}, {{rep(135, 'a'), rep(5, 'a')}}, false},
      {"Courier in any case", rep(100, 'a'), {.font = u"cOuRiEr"}, {{rep(92, 'a'), rep(8, 'a')}}},
      {"one character a line takes an escape pair whole", "(\r\n(\r\n(\r\n(\r\n(\r\n(\r\n",
       {.width = 0.1f, .height = 2.0f}, {{"\\(", "\\(", "\\(", "\\(", "\\(", "\\("}}, false},
      // (693 - 72) / 10.8 is 57.5 exactly: 58 lines a page, though a double division says 57.49...
      {"half a line rounds to even", numberedLines(1, 59), {.size = 9, .height = 9.625f},
       {numbered(1, 58), numbered(59, 59)}, false},
      // 450 * 2.2 / 12 is 82.5 exactly: 82 characters, though a double product says 82.50...01.
      {"half a character rounds to even", rep(100, 'h'), {.font = u"Helvetica", .size = 12, .width = 6.25f},
       {{rep(82, 'h'), rep(18, 'h')}}, false},
      // A4 at 12 points: (842 - 72) / 14.4 = 53.47 lines, 595 * 1.5 / 12 = 74.375 characters.
      {"A4 at 12 points", numberedLines(1, 54) + rep(80, 'c'),
       {.size = 12, .rotation = 90, .width = 8.27f, .height = 11.69f},
       {numbered(1, 53), {"line 54", rep(74, 'c'), rep(6, 'c')}}, false},
  };
}

TEST_F(PdfWriterTest, EmptyFileGivesOnePageWithItsFooter) {
  std::string bytes = withoutDate(good(""));
  const std::string expected =
      "%PDF-1.2\r%\xE2\xE3\xCF\xD3\r"
      "1 0 obj\r<<\r/Author ()\r/CreationDate (D:YYYYMMDDHHMMSS)\r/Creator ()\r"
      "/Producer (Fenwrit)\r/Title ()\r/Subject ()\r/Keywords ()\r>>\rendobj\r"
      "4 0 obj\r<<\r/Type /Font\r/Subtype /Type1\r/Name /F1\r/Encoding 5 0 R\r"
      "/BaseFont /Courier\r>>\rendobj\r"
      "5 0 obj\r<<\r/Type /Encoding\r/BaseEncoding /WinAnsiEncoding\r>>\rendobj\r"
      "6 0 obj\r<<\r  /Font << /F1 4 0 R >>\r  /ProcSet [ /PDF /Text ]\r>>\rendobj\r"
      "7 0 obj\r<<\r/Type /Page\r/Parent 3 0 R\r/Resources 6 0 R\r/Contents 8 0 R\r/Rotate 0\r"
      ">>\rendobj\r"
      "8 0 obj\r<<\r/Length 9 0 R\r>>\rstream\r\n"
      "BT\r/F1 10 Tf\r1 0 0 1 50 752 Tm\r12 TL\r1 0 0 1 306 25 Tm\r(1) Tj\r/F1 10 Tf\rET\r"
      "endstream\rendobj\r9 0 obj\r75\rendobj\r"
      "2 0 obj\r<<\r/Type /Catalog\r/Pages 3 0 R\r>>\rendobj\r"
      "3 0 obj\r<<\r/Type /Pages\r/Count 1\r/MediaBox [ 0 0 612 792 ]\r/Kids [ 7 0 R ]\r>>\r"
      "endobj\rxref\r0 10\r0000000000 65535 f \r";
  EXPECT_EQ(bytes.substr(0, expected.size()), expected);
  EXPECT_NE(bytes.find("trailer\r<<\r/Size 10\r/Root 2 0 R\r/Info 1 0 R\r>>\rstartxref\r"),
            std::string::npos);
  auto pages = pdfText(pdf);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(lines(pages[0]), std::vector<std::string>{"1"});

  EXPECT_EQ(state.pageCount, 1);
  EXPECT_EQ(state.objectCounter, 9);
  EXPECT_EQ(state.bytePosition, static_cast<int64_t>(bytes.size()));
}

TEST_F(PdfWriterTest, CreationDateIsTheLocalTimeOfTheCall) {
  // A zone far from UTC, spelled out so that no zone database is needed.
  const char* oldZone = std::getenv("TZ");
  const std::string savedZone = oldZone ? oldZone : "";
  setenv("TZ", "TLX-5:45", 1);
  tzset();
  const std::time_t before = std::time(nullptr);
  const std::string bytes = good("x");
  std::vector<std::string> expected;
  for (std::time_t t = before; t <= std::time(nullptr); ++t) {
    std::tm local{};
    localtime_r(&t, &local);
    char text[40];
    std::strftime(text, sizeof text, "\r/CreationDate (D:%Y%m%d%H%M%S)\r", &local);
    expected.push_back(text);
  }
  if (oldZone) setenv("TZ", savedZone.c_str(), 1); else unsetenv("TZ");
  tzset();
  EXPECT_TRUE(std::any_of(expected.begin(), expected.end(),
                          [&](const std::string& date) { return bytes.find(date) != std::string::npos; }))
      << "not the local time " << expected.front();
}

TEST_F(PdfWriterTest, LinesWrapAndFillPagesAsLaidDown) {
  for (const Layout& row : layouts()) {
    SCOPED_TRACE(row.what);
    const std::string bytes = good(row.text, row.options);
    EXPECT_EQ(textItems(bytes), row.pages);
    // Byte positions count bytes written, not characters read.
    EXPECT_EQ(state.bytePosition, static_cast<int64_t>(bytes.size()));
    // The reader finds the pages, each ending with its number (on a line of its own unless the
    // page is full), and in plain text the lines.
    auto shown = pdfText(pdf);
    ASSERT_EQ(shown.size(), row.pages.size());
    for (size_t p = 0; p < shown.size(); ++p) {
      const std::string number = std::to_string(p + 1);
      auto got = lines(shown[p]);
      ASSERT_FALSE(got.empty());
      EXPECT_EQ(got.back().substr(got.back().find_last_of(' ') + 1), number);
      std::string items;
      for (const std::string& item : row.pages[p]) items += unescape(item) + "\n";
      if (row.plain) EXPECT_EQ(got, lines(items + number)) << "page " << number;
    }
  }
}

TEST_F(PdfWriterTest, EveryBreakCharacterCutsAfterItself) {
  for (char c : std::string("*&^%$#,.;<=>[]}!\"")) {
    good(rep(60, 'a') + c + rep(60, 'b') + "\r\n");
    EXPECT_EQ(textItems(output())[0][0], rep(60, 'a') + c) << c;
  }
}

// Font, page and document entries; the host test checks those its arguments set alone.
TEST_F(PdfWriterTest, EntriesAreEscapedAndComeBackFromAReader) {
  Options o{.font = u"Times Roman/(x)", .size = 12, .rotation = 90, .width = 8.27f, .height = 11.69f};
  o.title = u"Report (draft) \\ v2";
  o.author = u"M\u00fcller \u20ac";
  o.subject = u")(";
  o.keywords = u"a\\";
  o.creator = u"\u65e5";
  std::string bytes = good("x", o);
  // A font name that is not a plain PDF name is spelled with #xx so the file stays sound.
  for (const char* entry : {"\r/BaseFont /Times#20Roman#2F#28x#29\r", "\r/F1 12 Tf\r1 0 0 1 50 802 Tm\r14.4 TL\r",
                            "\r1 0 0 1 297.5 25 Tm\r(1) Tj\r", "\r/Title (Report \\(draft\\) \\\\ v2)\r",
                            "\r/Subject (\\)\\()\r", "\r/Keywords (a\\\\)\r", "\r/Creator (?)\r"})
    EXPECT_NE(bytes.find(entry), std::string::npos) << entry;
  std::string info = runCommand("pdfinfo -enc UTF-8 " + shellQuote(pdf)).out;
  for (const char* line : {"Title:           Report (draft) \\ v2\n", "Author:          M\xC3\xBCller \xE2\x82\xAC\n",
                           "Subject:         )(\n", "Page rot:        90\n"})
    EXPECT_NE(info.find(line), std::string::npos) << info;
}

// Past five thousand objects, and many flushes of the buffer.
TEST_F(PdfWriterTest, LongTextsGoPastFiveThousandObjects) {
  std::string text;
  for (int i = 1; i <= 1700; ++i) text += "\fpage " + std::to_string(i) + "\r\n";
  std::string bytes = good(text);
  // The first line's form feed leaves page 1 empty.
  EXPECT_NE(bytes.find("\r/Count 1701\r"), std::string::npos);
  EXPECT_EQ(state.objectCounter, 6 + 3 * 1701);
  EXPECT_NE(bytes.find("\r/Size 5110\r"), std::string::npos);
  EXPECT_EQ(state.bytePosition, static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(runCommand("pdfinfo " + shellQuote(pdf) + " | grep -c '^Pages: *1701$'").out, "1\n");
}

// Nothing to read gives -1, any other failure -2: either way the folder holds what it held, an
// existing PDF as it was, and no working file is left behind.
TEST_F(PdfWriterTest, FailuresTouchNoFile) {
  writeFile(txt, "some text\r\n");
  writeFile(pdf, "previous");
  fs::create_directory(dir.file("taken"));
  writeFile(dir.file("taken/inside"), "kept");
  const std::string nul(1, '\0');
  struct Case {
    const char* what;
    std::string text, target;
    Options options;
    int16_t code;
  };
  std::vector<Case> cases = {
      {"a missing text file", dir.file("absent.txt"), pdf, {}, -1},
      {"a folder has no length", dir.path().string(), pdf, {}, -1},
      {"a name cut at a NUL would be another, existing file", txt + nul + "more", pdf, {}, -1},
      {"font size 0", txt, pdf, {.size = 0}, -2},
      {"a negative font size", txt, pdf, {.size = -4}, -2},
      {"72 points leave no room for a line", txt, pdf, {.height = 1.0f}, -2},
      {"not one character wide", txt, pdf, {.width = 0.01f}, -2},
      {"no page is that tall", txt, pdf, {.height = 1e30f}, -2},
      {"a folder that is not there", txt, dir.file("no/such/folder/out.pdf"), {}, -2},
      {"no name", txt, "", {}, -2},
      {"a NUL in the name", txt, dir.file("cut.pdf") + nul + "x", {}, -2},
      {"a folder by that name", txt, dir.file("taken"), {}, -2},
  };
  if (geteuid() != 0) {  // root writes anywhere
    fs::create_directory(dir.file("locked"));
    fs::permissions(dir.file("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    cases.push_back({"a folder without write permission", txt, dir.file("locked/out.pdf"), {}, -2});
  }
  const auto before = dir.entries();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(convert(c.text, c.target, c.options), c.code);
    EXPECT_EQ(output(), "previous");
    EXPECT_EQ(dir.entries(), before);
  }
  EXPECT_EQ(readFile(dir.file("taken/inside")), "kept");
}

TEST_F(PdfWriterTest, AnExistingPdfIsReplaced) {
  std::string old;
  for (int i = 0; i < 10000; ++i) old += "OLDCONTENT";
  writeFile(pdf, old);
  std::string bytes = good("new");
  EXPECT_EQ(bytes.find("OLDCONTENT"), std::string::npos);
  EXPECT_LT(bytes.size(), 2000u);
  EXPECT_EQ(dir.entries().size(), 2u);

  // The working file beside a PDF whose name is near the length limit still fits.
  const std::string longName = dir.file(std::string(250, 'n') + ".pdf");
  EXPECT_EQ(convert(txt, longName), 1);
  EXPECT_EQ(qpdfCheck(longName).exitCode, 0);
  EXPECT_EQ(dir.entries().size(), 3u);
}

}  // namespace
}  // namespace tlx
