// Delimited text and text files, called directly.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "arrays/arrays.h"
#include "arrays/arrays_fixture.h"
#include "talvex/convert.h"
#include "automation/text_file.h"

using namespace tlx;
using tlxtest::mat;
using tlxtest::str;
using tlxtest::vec;

namespace {

class TextFiles : public tlxtest::ScratchTest {
 protected:
  Variant readArray(const std::string& bytes, BStr delimiter = u",", bool removeQuotes = false,
                    int16_t expect = 1) {
    write("in.txt", bytes);
    Variant v = Variant::unallocatedArray();
    EXPECT_EQ(TextFileToArray(wpath("in.txt"), v, delimiter, removeQuotes), expect);
    return v;
  }
};

// The rows of a 2-D array as text, Empty shown as "<E>".
std::vector<std::vector<std::string>> rowsOf(const Variant& v) {
  const SafeArray& a = v.arrayRef();
  std::vector<std::vector<std::string>> rows;
  for (int32_t r = a.lbound(1); r <= a.ubound(1); ++r) {
    rows.emplace_back();
    for (int32_t c = a.lbound(2); c <= a.ubound(2); ++c) {
      const Variant& e = a.at(r, c);
      rows.back().push_back(e.isEmpty() ? "<E>" : u8(e.str()));
    }
  }
  return rows;
}

using Rows = std::vector<std::vector<std::string>>;

TEST_F(TextFiles, ShapeComesFromLinesAndMostDelimiters) {
  Variant v = readArray("a,b,c\r\nd\r\n\r\n");
  EXPECT_EQ(rowsOf(v), (Rows{{"a", "b", "c"}, {"d", "<E>", "<E>"}, {"", "<E>", "<E>"}}));
  // Strings, not other types, and lower bounds 0.
  EXPECT_EQ(v.arrayRef().at(0, 0).type(), vtString);
  EXPECT_EQ(v.arrayRef().lbound(1), 0);
  EXPECT_EQ(v.arrayRef().lbound(2), 0);
  // A trailing delimiter adds no field, but it counts for the width.
  EXPECT_EQ(rowsOf(readArray("a,b,\r\nc")), (Rows{{"a", "b", "<E>"}, {"c", "<E>", "<E>"}}));
}

// A file with any CR keeps CR and CR LF as its line ends, a lone LF being data; a file without
// any CR has LF line ends. Both readers, in both the bytewise and the decoding path.
TEST_F(TextFiles, LineEndsFollowTheFile) {
  struct Case {
    const char* what;
    std::string bytes;
    Rows rows;
  };
  const Case cases[] = {
      {"LF only", "a,b\nc\n\nd", {{"a", "b"}, {"c", "<E>"}, {"", "<E>"}, {"d", "<E>"}}},
      {"CR LF", "a,b\r\nc\r\n", {{"a", "b"}, {"c", "<E>"}}},
      {"CR", "a\rb\r", {{"a"}, {"b"}}},
      {"mixed", "a\rb\r\nc\nd", {{"a"}, {"b"}, {"c\nd"}}},
      {"LF in a field of a CR LF file", "x,\"p\nq\"\r\ny,z\r\n", {{"x", "\"p\nq\""}, {"y", "z"}}},
      {"a lone CR at the end", "a\nb\r", {{"a\nb"}}},
  };
  for (const char* page : {"UTF-8", "ISO646-DE"}) {
    setenv("TALVEX_CODEPAGE", page, 1);
    reloadCodePage();
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + " in " + page);
      EXPECT_EQ(rowsOf(readArray(c.bytes)), c.rows);
      Variant lines = vec({});
      ASSERT_EQ(TextFileToOneDArray(wpath("in.txt"), lines), 1);
      EXPECT_EQ(size_t(lines.arrayRef().ubound(1) + 1), c.rows.size());
    }
  }
  unsetenv("TALVEX_CODEPAGE");
  reloadCodePage();
}

TEST_F(TextFiles, QuotesAndDelimiters) {
  Variant v = readArray("\"x\",\"y,z\"\r\n\"a\r\n\"\"q\"\"\"\r\n\"", u",", true);
  // Quotes have no meaning to the splitter; only a field wrapped in them loses them.
  EXPECT_EQ(rowsOf(v), (Rows{{"x", "\"y", "z\""}, {"\"a", "<E>", "<E>"}, {"\"q\"\"", "<E>", "<E>"},
                             {"\"", "<E>", "<E>"}}));
  EXPECT_EQ(rowsOf(readArray("\"x\",y", u",", false)), (Rows{{"\"x\"", "y"}}));
  // Another delimiter makes commas ordinary; the delimiter is compared exactly.
  EXPECT_EQ(rowsOf(readArray("1|2,3\r\n", u"|")), (Rows{{"1", "2,3"}}));
  EXPECT_EQ(rowsOf(readArray("aXbxc", u"x")), (Rows{{"aXb", "c"}}));
  // An empty delimiter is the comma.
  EXPECT_EQ(rowsOf(readArray("p,q", u"")), (Rows{{"p", "q"}}));
}

TEST_F(TextFiles, MultiCharacterDelimiterSplitsAtTheWholeString) {
  EXPECT_EQ(rowsOf(readArray("a::b:c::\r\n::", u"::")), (Rows{{"a", "b:c", "<E>"}, {"", "<E>", "<E>"}}));
  EXPECT_EQ(rowsOf(readArray("xaaa", u"aa")), (Rows{{"x", "a"}}));
  Variant one = vec({});
  ASSERT_EQ(MultiLineTextToOneDArray(u"1<>2<>", one, u"<>"), 1);
  EXPECT_EQ(one, vec({str("1"), str("2")}));
}

TEST_F(TextFiles, NonAsciiTextAndDelimiter) {
  // UTF-8 by default: a character outside ASCII as data and as the delimiter.
  EXPECT_EQ(rowsOf(readArray("é§ü\r\nplain", u"§")), (Rows{{"é", "ü"}, {"plain", "<E>"}}));
  EXPECT_EQ(rowsOf(readArray("Ωmega,ok\r\nx,y")), (Rows{{"Ωmega", "ok"}, {"x", "y"}}));
}

TEST_F(TextFiles, ByteOrderMarkIsNoPartOfTheText) {
  EXPECT_EQ(rowsOf(readArray("\xEF\xBB\xBF" "a,b\r\nc")), (Rows{{"a", "b"}, {"c", "<E>"}}));
  write("bom.txt", "\xEF\xBB\xBF" "one\r\ntwo");
  Variant v = vec({});
  ASSERT_EQ(TextFileToOneDArray(wpath("bom.txt"), v), 1);
  EXPECT_EQ(v, vec({str("one"), str("two")}));
}

// Random bytes (line ends, delimiters, quotes, UTF-8 and invalid bytes) across several read
// blocks: the array holds exactly the lines TextReader gives, split at the delimiter.
TEST_F(TextFiles, AgreesWithTheLineReaderOnRandomFiles) {
  const std::vector<std::string> pieces = {"a", "bc", ",", "\r", "\r", "\r\n", "\n", "\"", "\xC3\xA9", "\xFF", "xyz"};
  uint32_t seed = 12345;
  std::string bytes;
  while (bytes.size() < 1300000) {
    seed = seed * 1103515245 + 12345;
    bytes += pieces[(seed >> 16) % pieces.size()];
  }
  write("random.txt", bytes);
  std::vector<std::vector<std::u16string>> expected;
  size_t width = 0;
  {
    TextReader reader(wpath("random.txt"));
    std::u16string line;
    while (reader.readLine(line)) {
      std::vector<std::u16string> fields{std::u16string()};
      for (char16_t ch : line) {
        if (ch == u',')
          fields.emplace_back();
        else
          fields.back() += ch;
      }
      size_t delimiters = fields.size() - 1;
      if (delimiters > 0 && fields.back().empty()) fields.pop_back();
      width = std::max(width, delimiters + 1);
      expected.push_back(fields);
    }
  }
  Variant v = vec({});
  ASSERT_EQ(TextFileToArray(wpath("random.txt"), v), 1);
  const SafeArray& a = v.arrayRef();
  ASSERT_EQ(size_t(a.ubound(1) + 1), expected.size());
  ASSERT_EQ(size_t(a.ubound(2) + 1), width);
  SafeArray want({Bound{0, int32_t(expected.size())}, Bound{0, int32_t(width)}});
  for (size_t r = 0; r < expected.size(); ++r)
    for (size_t c = 0; c < expected[r].size(); ++c) want.at(int32_t(r), int32_t(c)) = Variant(expected[r][c]);
  if (!(a == want)) {
    size_t i = 0;
    while (a.elements()[i] == want.elements()[i]) ++i;
    FAIL() << "first difference at element " << i << " (row " << i % expected.size() << ")";
  }
  Variant lines = vec({});
  ASSERT_EQ(TextFileToOneDArray(wpath("random.txt"), lines), 1);
  EXPECT_EQ(size_t(lines.arrayRef().ubound(1) + 1), expected.size());
}

TEST_F(TextFiles, OtherCodePage) {
  setenv("TALVEX_CODEPAGE", "CP1252", 1);
  reloadCodePage();
  Variant v = readArray(std::string("caf\xE9;\x80\r\nz", 9), u";");
  EXPECT_EQ(rowsOf(v), (Rows{{"café", "€"}, {"z", "<E>"}}));
  Variant out = mat({{str("ü"), str("€")}});
  ASSERT_EQ(TwoDArrayToTextFile(out, wpath("o.txt"), u";"), 1);
  EXPECT_EQ(read("o.txt"), std::string("\xFC;\x80\r\n"));
  // A code page that gives some ASCII bytes other characters reads through the line reader.
  setenv("TALVEX_CODEPAGE", "ISO646-DE", 1);
  reloadCodePage();
  EXPECT_EQ(rowsOf(readArray("a,b\r\nc[,d\r\n")), (Rows{{"a", "b"}, {"cÄ", "d"}}));
  EXPECT_EQ(rowsOf(readArray("x[y", u"Ä")), (Rows{{"x", "y"}}));
  Variant lines = vec({});
  ASSERT_EQ(TextFileToOneDArray(wpath("in.txt"), lines), 1);
  EXPECT_EQ(lines.arrayRef().ubound(1), 0);
  unsetenv("TALVEX_CODEPAGE");
  reloadCodePage();
}

TEST_F(TextFiles, LinesAcrossReadBlocks) {
  // A CR LF split between two blocks, and a line longer than one block.
  std::string head(1 << 20, 'a');
  head[(1 << 20) - 1] = '\r';
  std::string bytes = head + "\nb,c\r\n" + std::string(3 << 20, 'z') + ",end";
  write("big.txt", bytes);
  Variant v = vec({});
  ASSERT_EQ(TextFileToArray(wpath("big.txt"), v), 1);
  const SafeArray& a = v.arrayRef();
  ASSERT_EQ(a.ubound(1), 2);
  EXPECT_EQ(a.at(0, 0).str().size(), size_t((1 << 20) - 1));
  EXPECT_EQ(u8(a.at(1, 0).str()), "b");
  EXPECT_EQ(a.at(2, 0).str().size(), size_t(3 << 20));
  EXPECT_EQ(u8(a.at(2, 1).str()), "end");
}

TEST_F(TextFiles, ReaderFailuresInTheirOrder) {
  Variant notArray = Variant(int16_t(5));
  // The file is checked before the array.
  EXPECT_EQ(TextFileToArray(wpath("missing.txt"), notArray), -1);
  EXPECT_EQ(TextFileToArray(u16(dir_.path().string()), notArray), -1);
  write("f.txt", "a");
  EXPECT_EQ(TextFileToArray(wpath("f.txt"), notArray), -2);
  EXPECT_EQ(notArray, Variant(int16_t(5)));
  // A name cut at a NUL would be another, existing file.
  EXPECT_EQ(TextFileToArray(wpath("f.txt") + std::u16string(u"\0x", 2), notArray), -1);
  EXPECT_EQ(TextFileToOneDArray(wpath("missing.txt"), notArray), -1);
  EXPECT_EQ(TextFileToOneDArray(wpath("f.txt"), notArray), -2);
  // An empty file cannot be an array; the caller's array stays.
  Variant keep = vec({str("k")});
  write("empty.txt", "");
  EXPECT_EQ(TextFileToArray(wpath("empty.txt"), keep), -3);
  EXPECT_EQ(keep, vec({str("k")}));
  // More than 32767 delimiters in one line.
  write("wide.txt", std::string(32768, ','));
  EXPECT_EQ(TextFileToArray(wpath("wide.txt"), keep), -3);
  EXPECT_EQ(keep, vec({str("k")}));
  write("wide.txt", std::string(32767, ','));
  EXPECT_EQ(TextFileToArray(wpath("wide.txt"), keep), 1);
  EXPECT_EQ(keep.arrayRef().ubound(2), 32767);
}

// A named pipe that nobody writes to cannot be read as a text file: both readers answer -1 at
// once instead of waiting for a writer. Run in a child process, so that a wait fails the test
// instead of hanging it.
TEST_F(TextFiles, NamedPipeIsNoReadableFile) {
  ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
  const BStr name = wpath("pipe");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Variant a = vec({str("k")}), b = vec({str("k")});
    int16_t r1 = TextFileToArray(name, a), r2 = TextFileToOneDArray(name, b);
    // The same through the line reader, under a code page that remaps ASCII.
    setenv("TALVEX_CODEPAGE", "ISO646-DE", 1);
    reloadCodePage();
    int16_t r3 = TextFileToArray(name, a), r4 = TextFileToOneDArray(name, b);
    _exit(r1 == -1 && r2 == -1 && r3 == -1 && r4 == -1 && a == vec({str("k")}) && b == vec({str("k")}) ? 0 : 1);
  }
  int status = 0;
  pid_t done = 0;
  for (int waited = 0; waited < 200 && done == 0; ++waited) {
    done = waitpid(child, &status, WNOHANG);
    if (done == 0) usleep(50000);
  }
  if (done == 0) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    FAIL() << "reading a named pipe waited for a writer";
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(TextFiles, OneDReaderGrowsTheCallersArray) {
  write("three.txt", "one\r\ntwo\r\nthree");
  Variant v = vec({str("old0"), str("old1"), str("old2"), str("old3"), str("old4")});
  BStr name = wpath("three.txt");
  ASSERT_EQ(TextFileToOneDArray(name, v), 1);
  EXPECT_EQ(v, vec({str("one"), str("two"), str("three")}));
  EXPECT_EQ(name, wpath("three.txt"));
  // An empty file leaves the array as it was.
  write("empty.txt", "");
  Variant keep = vec({Variant(int16_t(1))});
  EXPECT_EQ(TextFileToOneDArray(wpath("empty.txt"), keep), 1);
  EXPECT_EQ(keep, vec({Variant(int16_t(1))}));
  // Growing keeps lower bound 0: an array that cannot be re-dimensioned so fails.
  Variant twoD = mat({{str("a")}});
  EXPECT_EQ(TextFileToOneDArray(name, twoD), -3);
  Variant unallocated = Variant::unallocatedArray();
  ASSERT_EQ(TextFileToOneDArray(name, unallocated), 1);
  EXPECT_EQ(unallocated, vec({str("one"), str("two"), str("three")}));
}

TEST(MultiLineText, PiecesBetweenDelimiters) {
  auto split = [](const char* text, BStr d = u",") {
    Variant v = vec({});
    EXPECT_EQ(MultiLineTextToOneDArray(u16(text), v, d), 1);
    return v;
  };
  EXPECT_EQ(split("a,b"), vec({str("a"), str("b")}));
  EXPECT_EQ(split("a,,b"), vec({str("a"), str(""), str("b")}));
  EXPECT_EQ(split("a,b,"), vec({str("a"), str("b")}));
  EXPECT_EQ(split(""), vec({str("")}));
  EXPECT_EQ(split("a;b", u""), vec({str("a;b")}));
  Variant none;
  EXPECT_EQ(MultiLineTextToOneDArray(u"a", none), -1);
  EXPECT_TRUE(none.isEmpty());
}

TEST(ArrayToText, DelimitersQuotesAndWrittenBackDefaults) {
  Variant a = mat({{str("a"), str("b")}, {str("c"), str("d")}});
  BStr text, d = u",", eol = u"|";
  ASSERT_EQ(TwoDArrayToText(a, text, d, eol), 1);
  EXPECT_EQ(text, u"a,b|c,d|");
  ASSERT_EQ(TwoDArrayToText(a, text, d, eol, true), 1);
  EXPECT_EQ(text, u"\"a\",\"b\"|\"c\",\"d\"|");
  // Blank delimiter and end of row are replaced, and the caller sees the replacement.
  BStr blank = u" ", none = u"";
  ASSERT_EQ(TwoDArrayToText(a, text, blank, none), 1);
  EXPECT_EQ(blank, u"\t");
  EXPECT_EQ(none, u"\r\n");
  EXPECT_EQ(text, u"a\tb\r\nc\td\r\n");

  // Any lower bounds; numbers and Empty as text.
  Variant m = mat({{Variant(1.5), Variant()}, {Variant(int32_t(-2)), Variant(true)}}, 1, 5);
  ASSERT_EQ(TwoDArrayToText(m, text, d, eol), 1);
  EXPECT_EQ(text, u"1.5,|-2,True|");

  BStr row = u";", end;
  Variant xy = vec({str("x"), str("y")});
  ASSERT_EQ(OneDArrayToText(xy, text, row, end), 1);
  EXPECT_EQ(text, u"x;y");
  end = u".";
  ASSERT_EQ(OneDArrayToText(xy, text, row, end, true), 1);
  EXPECT_EQ(text, u"\"x\";\"y\".");
  BStr spaces = u"  ";
  ASSERT_EQ(OneDArrayToText(xy, text, spaces), 1);
  EXPECT_EQ(spaces, u"\r\n");
  EXPECT_EQ(text, u"x\r\ny");
}

TEST(ArrayToText, FailuresLeaveTheTextAlone) {
  BStr text = u"before", d = u",", eol = u"|";
  Variant s = str("x");
  EXPECT_EQ(TwoDArrayToText(s, text, d, eol), -1);
  EXPECT_EQ(OneDArrayToText(s, text, eol), -1);
  Variant withNull = mat({{str("a"), Variant::null()}});
  EXPECT_EQ(TwoDArrayToText(withNull, text, d, eol), -2);
  Variant oneD = vec({str("a")});
  EXPECT_EQ(TwoDArrayToText(oneD, text, d, eol), -2);
  Variant unallocated = Variant::unallocatedArray();
  EXPECT_EQ(OneDArrayToText(unallocated, text, eol), -2);
  EXPECT_EQ(text, u"before");
}

TEST_F(TextFiles, WritersEndEveryLineWithCrLfAndReplaceTheFile) {
  write("out.txt", "old content that is longer than the new one\r\n");
  Variant a = mat({{str("a"), Variant(int16_t(1))}, {Variant(), str("d")}});
  ASSERT_EQ(TwoDArrayToTextFile(a, wpath("out.txt"), u""), 1);
  EXPECT_EQ(read("out.txt"), "a,1\r\n,d\r\n");
  ASSERT_EQ(TwoDArrayToTextFile(a, wpath("out.txt"), u"\t", true), 1);
  EXPECT_EQ(read("out.txt"), "\"a\"\t\"1\"\r\n\"\"\t\"d\"\r\n");
  Variant oneColumn = mat({{str("x")}, {str("y")}}, 3, 7);
  ASSERT_EQ(TwoDArrayToTextFile(oneColumn, wpath("out.txt")), 1);
  EXPECT_EQ(read("out.txt"), "x\r\ny\r\n");

  Variant items = vec({str("s"), Variant(), Variant(2.25), Variant::null()}, 1);
  ASSERT_EQ(OneDArrayToTextFile(items, wpath("one.txt")), 1);
  EXPECT_EQ(read("one.txt"), "s\r\n\r\n2.25\r\nNull\r\n");
  Variant plain = vec({str("s"), Variant()});
  ASSERT_EQ(OneDArrayToTextFile(plain, wpath("one.txt"), true), 1);
  EXPECT_EQ(read("one.txt"), "\"s\"\r\n\"\"\r\n");
}

TEST_F(TextFiles, WriterFailures) {
  Variant s = str("x");
  EXPECT_EQ(TwoDArrayToTextFile(s, wpath("no.txt")), -1);
  EXPECT_EQ(OneDArrayToTextFile(s, wpath("no.txt")), -1);
  EXPECT_FALSE(std::filesystem::exists(path("no.txt")));
  Variant a = mat({{str("a")}});
  EXPECT_EQ(TwoDArrayToTextFile(a, wpath("missing-dir/x.txt")), -2);
  Variant bad = vec({str("a"), Variant::null()});
  EXPECT_EQ(OneDArrayToTextFile(bad, wpath("q.txt"), true), -2);
}

TEST_F(TextFiles, WrittenFileReadsBackInTheSameShape) {
  Variant a = mat({{str("h1"), str("h2"), str("h3")}, {Variant(1.5), str("x y"), Variant()}});
  ASSERT_EQ(TwoDArrayToTextFile(a, wpath("rt.csv"), u";"), 1);
  Variant back = vec({});
  ASSERT_EQ(TextFileToArray(wpath("rt.csv"), back, u";"), 1);
  // Elements come back as strings; an empty last field of a row comes back Empty.
  EXPECT_EQ(rowsOf(back), (Rows{{"h1", "h2", "h3"}, {"1.5", "x y", "<E>"}}));
}

}  // namespace
