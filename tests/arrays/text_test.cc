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
  Variant readArray(const std::string& bytes, BStr delimiter = u",", bool removeQuotes = false) {
    write("in.txt", bytes);
    Variant v = Variant::unallocatedArray();
    EXPECT_EQ(TextFileToArray(wpath("in.txt"), v, delimiter, removeQuotes), 1);
    return v;
  }

  // Both readers against TextReader: TextFileToOneDArray gives its lines, TextFileToArray those
  // lines split at the delimiter, however the file is read (in blocks, or as two halves at once).
  void expectSameAsOneReader(const std::string& bytes, BStr d = u",") {
    write("h.txt", bytes);
    std::vector<Variant> lines;
    std::vector<std::vector<BStr>> rows;
    size_t width = 0;
    TextReader reader(wpath("h.txt"), bytes.find('\r') == bytes.npos ? '\n' : '\r');
    for (std::u16string line; reader.readLine(line);) {
      lines.emplace_back(BStr(line));
      std::vector<BStr> fields;
      size_t delimiters = 0, start = 0;
      for (size_t p = line.find(d); p != line.npos; p = line.find(d, start)) {
        fields.emplace_back(line.substr(start, p - start));
        start = p + d.size();
        ++delimiters;
      }
      if (start < line.size() || start == 0) fields.emplace_back(line.substr(start));
      width = std::max(width, delimiters + 1);
      rows.push_back(std::move(fields));
    }
    SafeArray want({Bound{0, int32_t(rows.size())}, Bound{0, int32_t(width)}});
    for (size_t r = 0; r < rows.size(); ++r)
      for (size_t c = 0; c < rows[r].size(); ++c) want.at(int32_t(r), int32_t(c)) = Variant(rows[r][c]);

    Variant v = vec({str("old")});
    ASSERT_EQ(TextFileToArray(wpath("h.txt"), v, d), 1);
    const SafeArray& got = v.arrayRef();
    ASSERT_EQ(got.bounds().size(), 2u);
    ASSERT_EQ(got.count(1), want.count(1));
    ASSERT_EQ(got.count(2), want.count(2));
    for (size_t i = 0; i < want.size(); ++i)
      ASSERT_EQ(got.elements()[i], want.elements()[i]) << "row " << i % size_t(want.count(1));
    Variant oneD = vec({});
    ASSERT_EQ(TextFileToOneDArray(wpath("h.txt"), oneD), 1);
    EXPECT_TRUE(oneD == vec(lines)) << "the lines differ";
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

// Lines of about 1.5 MB in all, with the middle byte at the given place of a line end.
std::string aroundTheMiddle(const std::string& middle) {
  std::string half;
  for (int i = 0; half.size() < 750000; ++i) half += "r" + std::to_string(i) + ",x,\"q\"\r\n";
  return half + middle + half.substr(0, half.size() - middle.size() % 2);
}

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

TEST_F(TextFiles, NonAsciiTextDelimiterAndByteOrderMark) {
  // UTF-8 by default: a character outside ASCII as data and as the delimiter.
  EXPECT_EQ(rowsOf(readArray("é§ü\r\nplain", u"§")), (Rows{{"é", "ü"}, {"plain", "<E>"}}));
  EXPECT_EQ(rowsOf(readArray("Ωmega,ok\r\nx,y")), (Rows{{"Ωmega", "ok"}, {"x", "y"}}));
  // A byte-order mark is no part of the text.
  EXPECT_EQ(rowsOf(readArray("\xEF\xBB\xBF" "a,b\r\nc")), (Rows{{"a", "b"}, {"c", "<E>"}}));
  expectSameAsOneReader("\xEF\xBB\xBF" "one\r\ntwo");
}

// From 1 MB a file is read as two halves at once, split where a line starts; the reader itself
// reads in blocks of 1 MB.
TEST_F(TextFiles, LargeFilesGiveTheArrayOfOneReader) {
  // The middle on a CR LF, a lone CR, a lone LF (data), inside a long line, on non-ASCII text.
  for (const std::string& middle :
       {std::string("mid\r\n"), std::string("\r\n"), std::string("a\rb"), std::string("c\nd,e"),
        std::string(200000, 'z') + ",end", std::string("\xC3\xA9,\xFF\r\n\r\n")}) {
    SCOPED_TRACE(middle.substr(0, 12));
    expectSameAsOneReader(aroundTheMiddle(middle));
  }
  // A byte-order mark, a delimiter of several characters, and one line end at the very end.
  expectSameAsOneReader("\xEF\xBB\xBF" + aroundTheMiddle("::a::b::") + "\r", u"::");
  // A file written here, LF alone ending its lines.
  std::string lf = aroundTheMiddle("mid\n");
  std::erase(lf, '\r');
  expectSameAsOneReader(lf);
  // No line end after the middle at all: the whole file is one part.
  expectSameAsOneReader(std::string(600000, 'a') + "\r\n" + std::string(900000, 'b') + ",c");
  // A CR LF split between two blocks, and a line longer than one block.
  std::string head(1 << 20, 'a');
  head.back() = '\r';
  expectSameAsOneReader(head + "\nb,c\r\n" + std::string(3 << 20, 'z') + ",end");
}

// Random bytes: line ends, delimiters, quotes, UTF-8 and invalid bytes.
TEST_F(TextFiles, RandomFilesGiveTheArrayOfOneReader) {
  const std::vector<std::string> pieces = {"a", "bc", ",", "\r", "\r\n", "\n", "\"", "\xC3\xA9", "\xFF", "xyz,"};
  for (uint32_t seed : {1u, 2u, 3u}) {
    std::string bytes;
    while (bytes.size() < 1200000) {
      seed = seed * 1103515245 + 12345;
      bytes += pieces[(seed >> 16) % pieces.size()];
    }
    expectSameAsOneReader(bytes);
  }
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

TEST_F(TextFiles, ReaderFailuresInTheirOrder) {
  // The file is checked before the array; a name cut at a NUL would be another, existing file.
  write("f.txt", "a");
  Variant notArray = Variant(int16_t(5));
  for (const BStr& name :
       {wpath("missing.txt"), BStr(u16(dir_.path().string())), BStr(wpath("f.txt") + std::u16string(u"\0x", 2))}) {
    EXPECT_EQ(TextFileToArray(name, notArray), -1);
    EXPECT_EQ(TextFileToOneDArray(name, notArray), -1);
  }
  // No array from an empty file, nor from more than 32767 delimiters in one line (in either half
  // of a large file): the caller's array stays.
  const std::string wide(32768, ',');
  for (const std::string& bytes :
       {std::string(), wide, wide + "\r\n" + aroundTheMiddle("\r\n"), aroundTheMiddle("\r\n") + wide}) {
    write("bad.txt", bytes);
    Variant keep = vec({str("k")});
    EXPECT_EQ(TextFileToArray(wpath("bad.txt"), keep), -3);
    EXPECT_EQ(keep, vec({str("k")}));
  }
  write("wide.txt", std::string(32767, ','));
  Variant v = vec({});
  EXPECT_EQ(TextFileToArray(wpath("wide.txt"), v), 1);
  EXPECT_EQ(v.arrayRef().ubound(2), 32767);
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
  // A folder that is not there; Null has no quoted form.
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
