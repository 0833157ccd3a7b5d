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
  // Writes `text` as the input file and converts it; returns the result code.
  int16_t convert(const std::string& text, const Options& o = {}) {
    writeFile(txt, text);
    return convertFile(txt, o);
  }
  int16_t convertFile(const std::string& textFile, const Options& o = {}) {
    return CreatePDFFromFile(state, u16(textFile), u16(pdf), o.font, o.size, o.rotation, o.width,
                             o.height, o.author, o.creator, o.keywords, o.subject, o.title);
  }
  std::string output() const { return readFile(pdf); }

  // Converts and checks that the result is a sound PDF; returns its bytes.
  std::string good(const std::string& text, const Options& o = {}) {
    EXPECT_EQ(convert(text, o), 1);
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
  auto stamp = [](std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "D:%Y%m%d%H%M%S", &local);
    return std::string(text);
  };
  const std::time_t before = std::time(nullptr);
  std::string bytes = good("x");
  const std::time_t after = std::time(nullptr);
  std::vector<std::string> expected;
  for (std::time_t t = before; t <= after; ++t) expected.push_back(stamp(t));
  if (oldZone) setenv("TZ", savedZone.c_str(), 1); else unsetenv("TZ");
  tzset();

  size_t at = bytes.find("\r/CreationDate (");
  ASSERT_NE(at, std::string::npos);
  const std::string written = bytes.substr(at + 16, 16);
  EXPECT_NE(std::find(expected.begin(), expected.end(), written), expected.end())
      << written << " is not the local time " << expected.front();
  EXPECT_EQ(bytes.compare(at + 32, 2, ")\r"), 0);
}

TEST_F(PdfWriterTest, SixtyLinesFillAPageAndTheSixtyFirstOpensTheNext) {
  std::string bytes = good(numberedLines(1, 61));
  EXPECT_NE(bytes.find("\r/Count 2\r"), std::string::npos);
  EXPECT_NE(bytes.find("\r/Kids [ 7 0 R 10 0 R ]\r"), std::string::npos);
  EXPECT_NE(bytes.find("\r/Size 13\r"), std::string::npos);

  auto pages = pdfText(pdf);
  ASSERT_EQ(pages.size(), 2u);
  auto first = lines(pages[0]);
  ASSERT_EQ(first.size(), 61u);
  EXPECT_EQ(first.front(), "line 1");
  EXPECT_EQ(first[59], "line 60");
  EXPECT_EQ(first.back(), "1");
  EXPECT_EQ(lines(pages[1]), (std::vector<std::string>{"line 61", "2"}));

  // Later pages hold sixty lines as well: 120 lines still fit on two pages.
  good(numberedLines(1, 120));
  EXPECT_EQ(textItems(output()).size(), 2u);
  good(numberedLines(1, 121));
  auto items = textItems(output());
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[1].size(), 60u);
  EXPECT_EQ(items[2], std::vector<std::string>{"line 121"});
}

TEST_F(PdfWriterTest, TextIsEscapedTrimmedOfBlanksAndComesBackFromAReader) {
  std::string bytes = good("a(b)c\\d\r\n   both ends   \r\n\tkept tab\r\nlone\nfeed\r");
  EXPECT_NE(bytes.find("\rT* (a\\(b\\)c\\\\d\r\n) Tj\r"), std::string::npos);
  auto items = textItems(bytes);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0], (std::vector<std::string>{"a\\(b\\)c\\\\d", "both ends", "\tkept tab",
                                                "lone\nfeed"}));
  auto text = lines(pdfText(pdf)[0]);
  EXPECT_EQ(text[0], "a(b)c\\d");
  EXPECT_EQ(text[1], "both ends");
}

TEST_F(PdfWriterTest, LongLinesWrapAtTheWidthOrAfterABreakCharacter) {
  const std::string letters(100, 'x');
  std::string blankAt80 = std::string(79, 'y') + " " + std::string(20, 'z');
  // A blank in the first half of the piece is too early: the cut stays hard.
  std::string blankAt40 = std::string(39, 'w') + " " + std::string(60, 'v');
  std::string threePieces(250, 'q');
  good(letters + "\r\n" + blankAt80 + "\r\n" + blankAt40 + "\r\n" + threePieces + "\r\n");
  auto items = textItems(output())[0];
  ASSERT_EQ(items.size(), 9u);
  EXPECT_EQ(items[0], std::string(92, 'x'));
  EXPECT_EQ(items[1], std::string(8, 'x'));
  EXPECT_EQ(items[2], std::string(79, 'y') + " ");
  EXPECT_EQ(items[3], std::string(20, 'z'));
  EXPECT_EQ(items[4].size(), 92u);
  EXPECT_EQ(items[5], std::string(8, 'v'));
  EXPECT_EQ(items[6].size(), 92u);
  EXPECT_EQ(items[7].size(), 92u);
  EXPECT_EQ(items[8].size(), 66u);
  auto text = lines(pdfText(pdf)[0]);
  EXPECT_EQ(text[0], std::string(92, 'x'));
  EXPECT_EQ(text[1], std::string(8, 'x'));

  // Every break character cuts; the last one found from the right wins.
  for (char c : std::string("*&^%$#,.;<=>[]}!\"")) {
    std::string line = std::string(60, 'a') + c + std::string(60, 'b');
    good(line + "\r\n");
    EXPECT_EQ(textItems(output())[0][0], std::string(60, 'a') + c) << c;
  }
  good(std::string(60, 'a') + ")" + std::string(60, 'b'));
  EXPECT_EQ(textItems(output())[0][0], std::string(60, 'a') + "\\)");
}

TEST_F(PdfWriterTest, AHardCutNeverPartsABackslashFromWhatItEscapes) {
  for (const std::string& special : {std::string("\\"), std::string("("), std::string(")")}) {
    // Escaped, the pair would straddle the 92nd character.
    std::string line = std::string(91, 'a') + special + std::string(20, 'b');
    good(line);
    auto items = textItems(output())[0];
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0], std::string(91, 'a'));
    EXPECT_EQ(items[1], "\\" + special + std::string(20, 'b'));
    EXPECT_EQ(lines(pdfText(pdf)[0])[1], special + std::string(20, 'b'));
  }
  // A run of escapes: every piece ends on a whole pair.
  good(std::string(301, '\\'));
  std::string joined;
  auto pieces = textItems(output())[0];
  for (const std::string& item : pieces) {
    EXPECT_EQ(item.size() % 2, 0u);
    EXPECT_LE(item.size(), 92u);
    joined += item;
  }
  EXPECT_EQ(unescape(joined), std::string(301, '\\'));
}

TEST_F(PdfWriterTest, WrappedPiecesCountAsLinesAndCanOpenAPage) {
  good(numberedLines(1, 59) + std::string(200, 'k') + "\r\n");
  auto items = textItems(output());
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].size(), 60u);
  EXPECT_EQ(items[0].back(), std::string(92, 'k'));
  EXPECT_EQ(items[1], (std::vector<std::string>{std::string(92, 'k'), std::string(16, 'k')}));
  EXPECT_EQ(lines(pdfText(pdf)[1]).back(), "2");
}

TEST_F(PdfWriterTest, AFormFeedStartsANewPageBeforeItsLine) {
  good("a\r\n\fb\r\nc\r\n");
  auto items = textItems(output());
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0], std::vector<std::string>{"a"});
  EXPECT_EQ(items[1], (std::vector<std::string>{"\fb", "c"}));
  auto pages = pdfText(pdf);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(lines(pages[1]).back(), "2");

  // Inside a long line: a new page before the line, and one after each piece while the rest
  // still holds the form feed.
  std::string line = std::string(150, 'm') + "\f" + std::string(49, 'n');
  good("first\r\n" + line);
  items = textItems(output());
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0], std::vector<std::string>{"first"});
  EXPECT_EQ(items[1], std::vector<std::string>{std::string(92, 'm')});
  ASSERT_EQ(items[2].size(), 2u);
  EXPECT_EQ(items[2][0], std::string(58, 'm') + "\f" + std::string(33, 'n'));
  EXPECT_EQ(items[2][1], std::string(16, 'n'));
}

TEST_F(PdfWriterTest, FontNameChoosesTheWrapWidthAndIsWrittenAsGiven) {
  Options arial;
  arial.font = u"ARIAL";
  std::string bytes = good(std::string(130, 'a'), arial);
  EXPECT_NE(bytes.find("\r/BaseFont /ARIAL\r"), std::string::npos);
  EXPECT_EQ(textItems(bytes)[0][0].size(), 122u);

  Options other;
  other.font = u"Helvetica";
  bytes = good(std::string(140, 'a'), other);
  EXPECT_NE(bytes.find("\r/BaseFont /Helvetica\r"), std::string::npos);
  EXPECT_EQ(textItems(bytes)[0][0].size(), 135u);

  Options courier;
  courier.font = u"cOuRiEr";
  EXPECT_EQ(textItems(good(std::string(100, 'a'), courier))[0][0].size(), 92u);

  // A name that is not a plain PDF name is spelled with #xx so the file stays sound.
  Options spaced;
  spaced.font = u"Times Roman/(x)";
  bytes = good("text", spaced);
  EXPECT_NE(bytes.find("\r/BaseFont /Times#20Roman#2F#28x#29\r"), std::string::npos);
}

TEST_F(PdfWriterTest, PageSizeFontSizeAndRotationShapeEveryPage) {
  Options a4;
  a4.width = 8.27f;   // 595.44 points
  a4.height = 11.69f;  // 841.68 points
  a4.size = 12;
  a4.rotation = 90;
  std::string bytes = good(numberedLines(1, 54), a4);
  EXPECT_NE(bytes.find("\r/MediaBox [ 0 0 595 842 ]\r"), std::string::npos);
  EXPECT_NE(bytes.find("\r/F1 12 Tf\r1 0 0 1 50 802 Tm\r14.4 TL\r"), std::string::npos);
  EXPECT_NE(bytes.find("\r1 0 0 1 297.5 25 Tm\r(1) Tj\r"), std::string::npos);
  EXPECT_NE(bytes.find("\r/Rotate 90\r"), std::string::npos);
  auto items = textItems(bytes);
  ASSERT_EQ(items.size(), 2u);  // (842 - 72) / 14.4 = 53.47: 53 lines a page
  EXPECT_EQ(state.linesPerPage, 53);
  EXPECT_EQ(state.charsPerLine, 74);  // 595 * 1.5 / 12 = 74.375
  EXPECT_EQ(runCommand("pdfinfo " + shellQuote(pdf) + " | grep -c 'Page rot: *90'").out, "1\n");
}

TEST_F(PdfWriterTest, HalfwayLineCountsAndWidthsRoundToEven) {
  // (693 - 72) / 10.8 is 57.5 exactly: 58 lines a page, though a double division says 57.49...
  Options nine;
  nine.size = 9;
  nine.height = 9.625f;
  auto items = textItems(good(numberedLines(1, 59), nine));
  EXPECT_EQ(state.linesPerPage, 58);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].size(), 58u);

  // 450 * 2.2 / 12 is 82.5 exactly: 82 characters, though a double product says 82.50...01.
  Options narrow;
  narrow.font = u"Helvetica";
  narrow.size = 12;
  narrow.width = 6.25f;
  items = textItems(good(std::string(100, 'h'), narrow));
  EXPECT_EQ(state.charsPerLine, 82);
  EXPECT_EQ(items[0][0], std::string(82, 'h'));
}

TEST_F(PdfWriterTest, InformationStringsAreEscapedAndReadBack) {
  Options o;
  o.title = u"Report (draft) \\ v2";
  o.author = u"M\u00fcller \u20ac";
  o.subject = u")(";
  o.keywords = u"a\\";
  o.creator = u"\u65e5";
  std::string bytes = good("x", o);
  EXPECT_NE(bytes.find("\r/Title (Report \\(draft\\) \\\\ v2)\r"), std::string::npos);
  EXPECT_NE(bytes.find("\r/Subject (\\)\\()\r"), std::string::npos);
  EXPECT_NE(bytes.find("\r/Keywords (a\\\\)\r"), std::string::npos);
  EXPECT_NE(bytes.find("\r/Creator (?)\r"), std::string::npos);
  std::string info = runCommand("pdfinfo -enc UTF-8 " + shellQuote(pdf)).out;
  EXPECT_NE(info.find("Title:           Report (draft) \\ v2\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Author:          M\xC3\xBCller \xE2\x82\xAC\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Subject:         )(\n"), std::string::npos) << info;
}

TEST_F(PdfWriterTest, TextIsWrittenInWinAnsiWhateverItsSource) {
  // caf\u00e9, an en dash, the euro sign, two CJK characters and one character outside the BMP.
  std::string bytes = good("caf\xC3\xA9 \xE2\x80\x93 \xE2\x82\xAC" "5 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80\r\n");
  EXPECT_EQ(textItems(bytes)[0][0], "caf\xE9 \x96 \x80" "5 ?? ?");
  EXPECT_EQ(lines(pdfText(pdf)[0])[0], "caf\xC3\xA9 \xE2\x80\x93 \xE2\x82\xAC" "5 ?? ?");
  // Byte positions count bytes written, not characters read.
  EXPECT_EQ(state.bytePosition, static_cast<int64_t>(bytes.size()));
}

TEST_F(PdfWriterTest, LongTextsGoPastFiveThousandObjects) {
  std::string text;
  for (int i = 1; i <= 1700; ++i) text += "\fpage " + std::to_string(i) + "\r\n";
  std::string bytes = good(text);
  // The first line's form feed leaves page 1 empty.
  EXPECT_NE(bytes.find("\r/Count 1701\r"), std::string::npos);
  EXPECT_EQ(state.objectCounter, 6 + 3 * 1701);
  EXPECT_NE(bytes.find("\r/Size 5110\r"), std::string::npos);
  EXPECT_EQ(runCommand("pdfinfo " + shellQuote(pdf) + " | grep -c '^Pages: *1701$'").out, "1\n");
}

TEST_F(PdfWriterTest, ManyFlushesKeepEveryOffsetRight) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += std::string(i % 130, char('a' + i % 26)) + "\r\n";
  std::string bytes = good(text);
  EXPECT_GT(bytes.size(), 10u * 32000);
  EXPECT_EQ(state.bytePosition, static_cast<int64_t>(bytes.size()));
}

TEST_F(PdfWriterTest, EveryCallStartsAfresh) {
  std::string first = withoutDate(good(numberedLines(1, 70)));
  std::string second = withoutDate(good(numberedLines(1, 70)));
  EXPECT_EQ(first, second);
  EXPECT_TRUE(state.buffer.empty());
}

TEST_F(PdfWriterTest, AMissingTextFileGivesMinusOneAndTouchesNothing) {
  writeFile(pdf, "previous");
  EXPECT_EQ(convertFile(dir.file("absent.txt")), -1);
  EXPECT_EQ(convertFile(dir.path().string()), -1);  // a folder has no length
  EXPECT_EQ(output(), "previous");
  // A name cut short at a NUL would be another, existing file.
  writeFile(txt, "text");
  EXPECT_EQ(convertFile(txt + std::string(1, '\0') + "more"), -1);
  EXPECT_EQ(output(), "previous");
}

TEST_F(PdfWriterTest, SetupFailuresGiveMinusTwoAndLeaveNoFileBehind) {
  writeFile(txt, "some text\r\n");
  std::vector<Options> bad(5);
  bad[0].size = 0;
  bad[1].size = -4;
  bad[2].height = 1.0f;   // 72 points leave no room for a line
  bad[3].width = 0.01f;   // not one character wide
  bad[4].height = 1e30f;  // no page is that tall
  for (const Options& o : bad) {
    EXPECT_EQ(convertFile(txt, o), -2);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.txt"});
  }
  // An existing PDF stays as it was.
  writeFile(pdf, "previous");
  EXPECT_EQ(convertFile(txt, bad[0]), -2);
  EXPECT_EQ(output(), "previous");
  auto names = dir.entries();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"in.txt", "out.pdf"}));
}

TEST_F(PdfWriterTest, AnUnwritablePdfGivesMinusTwo) {
  writeFile(txt, "x\r\n");
  auto call = [&](const std::string& target) {
    return CreatePDFFromFile(state, u16(txt), u16(target), u"Courier", 10, 0, 8.5f, 11.0f, u"",
                             u"", u"", u"", u"");
  };
  EXPECT_EQ(call(dir.file("no/such/folder/out.pdf")), -2);
  EXPECT_EQ(call(""), -2);
  EXPECT_EQ(call(dir.file("cut.pdf") + std::string(1, '\0') + "x"), -2);
  EXPECT_FALSE(fs::exists(dir.file("cut.pdf")));
  fs::create_directory(dir.file("taken"));
  writeFile(dir.file("taken/inside"), "kept");
  EXPECT_EQ(call(dir.file("taken")), -2);
  EXPECT_EQ(readFile(dir.file("taken/inside")), "kept");
  auto names = dir.entries();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"in.txt", "taken"}));

  if (geteuid() != 0) {  // root writes anywhere
    fs::create_directory(dir.file("locked"));
    fs::permissions(dir.file("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(call(dir.file("locked/out.pdf")), -2);
    fs::permissions(dir.file("locked"), fs::perms::owner_all);
  }
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
  EXPECT_EQ(CreatePDFFromFile(state, u16(txt), u16(longName), u"Courier", 10, 0, 8.5f, 11.0f, u"",
                              u"", u"", u"", u""),
            1);
  EXPECT_EQ(qpdfCheck(longName).exitCode, 0);
  EXPECT_EQ(dir.entries().size(), 3u);
}

}  // namespace
}  // namespace tlx
