#include "automation/text_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "automation/strings.h"
#include "automation/test_objects.h"
#include "support/scratch.h"

namespace tlx {
namespace {

namespace fs = std::filesystem;

class TextFiles : public ::testing::Test {
 protected:
  void TearDown() override {
    ::unsetenv("TALVEX_CODEPAGE");
    reloadCodePage();
  }

  BStr name(const std::string& leaf) const { return u16((dir_ / leaf).string()); }
  void put(const std::string& leaf, const std::string& bytes) const {
    std::ofstream(dir_ / leaf, std::ios::binary) << bytes;
  }
  std::string get(const std::string& leaf) const { return tlxtest::readFile(dir_ / leaf); }
  std::vector<BStr> lines(const std::string& leaf) const {
    TextReader r(name(leaf));
    std::vector<BStr> out;
    std::u16string line;
    while (r.readLine(line)) out.push_back(line);
    return out;
  }
  static void useCodePage(const char* cp) {
    ::setenv("TALVEX_CODEPAGE", cp, 1);
    reloadCodePage();
  }
  tlxtest::ScratchDir scratch_{"talvex-text"};
  const fs::path dir_ = scratch_.path();
};

using Lines = std::vector<BStr>;

TEST_F(TextFiles, CarriageReturnEndsALineAndALoneLineFeedDoesNot) {
  put("a.txt", "one\r\ntwo\rthree\nstill three\r\n\r\nlast");
  EXPECT_EQ(lines("a.txt"), (Lines{u"one", u"two", u"three\nstill three", u"", u"last"}));
  put("b.txt", "x\r\n");
  EXPECT_EQ(lines("b.txt"), (Lines{u"x"}));
  put("c.txt", "");
  EXPECT_EQ(lines("c.txt"), Lines{});
  put("d.txt", "\r\r\n\n");
  EXPECT_EQ(lines("d.txt"), (Lines{u"", u"", u"\n"}));
  put("e.txt", "x\r");
  EXPECT_EQ(lines("e.txt"), (Lines{u"x"}));
}

TEST_F(TextFiles, LinesAcrossReadBuffers) {
  // A CR as the last byte of one buffer and its LF as the first of the next make one line end.
  const std::string first((1 << 20) - 1, 'x');
  put("a.txt", first + "\r\ny\r\n");
  Lines got = lines("a.txt");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].size(), first.size());
  EXPECT_EQ(got[1], u"y");
  // A line longer than several buffers.
  const std::string longLine(3 * (1 << 20) + 17, 'q');
  put("b.txt", "a\r" + longLine + "\rb");
  got = lines("b.txt");
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[1].size(), longLine.size());
  EXPECT_EQ(got[2], u"b");
}

TEST_F(TextFiles, ReadAllKeepsLineEndsAfterTheCurrentLine) {
  put("a.txt", "head\r\nbody 1\r\nbody 2");
  TextReader r(name("a.txt"));
  std::u16string line;
  ASSERT_TRUE(r.readLine(line));
  EXPECT_EQ(r.readAll(), u"body 1\r\nbody 2");
  EXPECT_FALSE(r.readLine(line));
}

TEST_F(TextFiles, WriterEndsEveryLineWithCrLfAndReplacesTheFile) {
  put("out.txt", std::string(1000, 'z'));
  TextWriter w(name("out.txt"));
  w.writeLine(u"a");
  w.write(u"b");
  w.writeLine(u"c");
  w.writeLine(u"");
  w.close();
  EXPECT_EQ(get("out.txt"), "a\r\nbc\r\n\r\n");
  // Large output goes through the writer's buffer more than once.
  TextWriter big(name("big.txt"));
  const std::u16string row(1000, u'r');
  for (int i = 0; i < 500; ++i) big.writeLine(row);
  big.close();
  EXPECT_EQ(get("big.txt").size(), 500u * 1002);
  EXPECT_EQ(lines("big.txt").size(), 500u);
}

TEST_F(TextFiles, OpenFailuresCarryBasicErrorNumbers) {
  EXPECT_EQ(errorOf([&] { TextReader r(name("missing.txt")); }), hr::FILE_NOT_FOUND);
  EXPECT_EQ(errorOf([&] { TextReader r(name("no/such/dir.txt")); }), hr::PATH_NOT_FOUND);
  EXPECT_EQ(errorOf([&] { TextReader r(u16(dir_.string())); }), hr::basicError(75));
  EXPECT_EQ(errorOf([&] { TextWriter w(name("no/such/out.txt")); }), hr::PATH_NOT_FOUND);
  EXPECT_EQ(errorOf([&] { TextWriter w(u16(dir_.string())); }), hr::basicError(75));
  EXPECT_EQ(errorOf([&] { TextReader r(u""); }), hr::BAD_FILE_NAME);
  // The system reads a name only up to a NUL: such a name would reach another file.
  EXPECT_EQ(errorOf([&] { TextWriter w(name("out.txt") + std::u16string(u"\0x", 2)); }), hr::BAD_FILE_NAME);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "out.txt"));
  // A pipe with no reader is refused at once rather than waited on.
  ASSERT_EQ(::mkfifo((dir_ / "pipe").c_str(), 0600), 0);
  EXPECT_EQ(errorOf([&] { TextWriter w(name("pipe")); }), hr::basicError(75));
  try {
    TextReader r(name("missing.txt"));
  } catch (const ComError& e) {
    EXPECT_EQ(e.description(), "File not found");
  }
}

TEST_F(TextFiles, Utf8ByDefault) {
  EXPECT_EQ(codePage(), "UTF-8");
  EXPECT_EQ(encodeText(u"h\u00e9\u20ac\U0001F600"), "h\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(decodeText("h\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), u"h\u00e9\u20ac\U0001F600");
  EXPECT_EQ(encodeText(std::u16string(1, char16_t(0xD800)) + u"x"), "?x");  // lone surrogate
  EXPECT_EQ(decodeText("a\xFF" "b\xC3"), u"a\uFFFDb\uFFFD");
  // A byte-order mark does not become part of the first line.
  put("bom.txt", "\xEF\xBB\xBFone\r\ntwo");
  EXPECT_EQ(lines("bom.txt"), (Lines{u"one", u"two"}));
}

TEST_F(TextFiles, SingleByteCodePage) {
  useCodePage("CP1252");
  EXPECT_EQ(codePage(), "CP1252");
  EXPECT_EQ(encodeText(u"caf\u00e9 \u20ac \u0436"), "caf\xE9 \x80 ?");
  EXPECT_EQ(decodeText("caf\xE9 \x80"), u"caf\u00e9 \u20ac");
  EXPECT_EQ(decodeText("\x81"), u"\uFFFD");  // a byte the page leaves undefined
  TextWriter w(name("cp.txt"));
  w.writeLine(u"\u00fcber");
  w.writeLine(u"\U0001F600");  // one character in two units: one "?"
  w.close();
  EXPECT_EQ(get("cp.txt"), "\xFC" "ber\r\n?\r\n");
  EXPECT_EQ(lines("cp.txt"), (Lines{u"\u00fcber", u"?"}));
}

TEST_F(TextFiles, MultiByteCodePageThroughIconv) {
  useCodePage("SHIFT_JIS");
  EXPECT_EQ(decodeText(encodeText(u"\u65e5\u672c abc")), u"\u65e5\u672c abc");
  EXPECT_EQ(encodeText(u"\u00e9x"), "?x");
  EXPECT_EQ(encodeText(u"\U0001F600x"), "?x");  // a surrogate pair is one unmappable character
  put("sj.txt", encodeText(u"\u65e5\r\n\u672c"));
  EXPECT_EQ(lines("sj.txt"), (Lines{u"\u65e5", u"\u672c"}));
}

TEST_F(TextFiles, UnknownCodePageIsReportedNotGuessed) {
  useCodePage("NO-SUCH-PAGE");
  EXPECT_EQ(errorOf([] { encodeText(u"x"); }), hr::E_INVALIDARG);
  put("a.txt", "x");
  EXPECT_EQ(errorOf([&] { TextReader r(name("a.txt")); }), hr::E_INVALIDARG);
  useCodePage("UTF-16");
  EXPECT_EQ(errorOf([] { decodeText("x"); }), hr::E_INVALIDARG);
}

}  // namespace
}  // namespace tlx
