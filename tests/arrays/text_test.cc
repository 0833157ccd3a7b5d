// Delimited text and text files, called directly.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

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

// The code page of the text files, for one scope.
struct CodePage {
  explicit CodePage(const char* page) {
    setenv("TALVEX_CODEPAGE", page, 1);
    reloadCodePage();
  }
  ~CodePage() {
    unsetenv("TALVEX_CODEPAGE");
    reloadCodePage();
  }
};

// Lines of about 1.5 MB in all, with the middle byte at the given place of a line end.
std::string aroundTheMiddle(const std::string& middle) {
  std::string half;
  for (int i = 0; half.size() < 750000; ++i) half += "r" + std::to_string(i) + ",x,\"q\"\r\n";
  return half + middle + half.substr(0, half.size() - middle.size() % 2);
}

// How lines split into fields, Empty shown as "<E>". Rows of ASCII that a code page remapping some
// ASCII bytes leaves alone are read under it too, which goes through the line reader.
TEST_F(TextFiles, LinesAndFields) {
  struct Case {
    const char* what;
    std::string bytes;
    Rows rows;
    std::u16string delimiter = u",";
    bool removeQuotes = false;
  };
  const Case cases[] = {
      // The shape comes from the lines and the most delimiters in one line; a trailing delimiter
      // adds no field, but it counts for the width.
      {"shape", "a,b,c\r\nd\r\n\r\n", {{"a", "b", "c"}, {"d", "<E>", "<E>"}, {"", "<E>", "<E>"}}},
      {"a trailing delimiter", "a,b,\r\nc", {{"a", "b", "<E>"}, {"c", "<E>", "<E>"}}},
      // A file with any CR keeps CR and CR LF as its line ends, a lone LF being data; a file
      // without any CR has LF line ends.
      {"LF only", "a,b\nc\n\nd", {{"a", "b"}, {"c", "<E>"}, {"", "<E>"}, {"d", "<E>"}}},
      {"CR LF", "a,b\r\nc\r\n", {{"a", "b"}, {"c", "<E>"}}},
      {"CR", "a\rb\r", {{"a"}, {"b"}}},
      {"mixed", "a\rb\r\nc\nd", {{"a"}, {"b"}, {"c\nd"}}},
      {"LF in a field of a CR LF file", "x,\"p\nq\"\r\ny,z\r\n", {{"x", "\"p\nq\""}, {"y", "z"}}},
      {"a lone CR at the end", "a\nb\r", {{"a\nb"}}},
      // Quotes have no meaning to the splitter; only a field wrapped in them loses them.
      {"quotes removed", "\"x\",\"y,z\"\r\n\"a\r\n\"\"q\"\"\"\r\n\"",
       {{"x", "\"y", "z\""}, {"\"a", "<E>", "<E>"}, {"\"q\"\"", "<E>", "<E>"}, {"\"", "<E>", "<E>"}}, u",", true},
      {"quotes kept", "\"x\",y", {{"\"x\"", "y"}}},
      // Another delimiter makes commas ordinary; it is compared exactly, as a whole string.
      {"another delimiter", "1|2,3\r\n", {{"1", "2,3"}}, u"|"},
      {"case matters", "aXbxc", {{"aXb", "c"}}, u"x"},
      {"an empty delimiter is the comma", "p,q", {{"p", "q"}}, u""},
      {"several characters", "a::b:c::\r\n::", {{"a", "b:c", "<E>"}, {"", "<E>", "<E>"}}, u"::"},
      {"no overlaps", "xaaa", {{"x", "a"}}, u"aa"},
      // UTF-8 by default: characters outside ASCII as data and as the delimiter. A byte-order mark
      // is no part of the text.
      {"non-ASCII delimiter", "é§ü\r\nplain", {{"é", "ü"}, {"plain", "<E>"}}, u"§"},
      {"non-ASCII data", "Ωmega,ok\r\nx,y", {{"Ωmega", "ok"}, {"x", "y"}}},
      {"byte-order mark", "\xEF\xBB\xBF" "a,b\r\nc", {{"a", "b"}, {"c", "<E>"}}},
  };
  for (const char* page : {"UTF-8", "ISO646-DE"}) {
    CodePage codePage(page);
    for (const Case& c : cases) {
      const bool remapped = std::any_of(c.bytes.begin(), c.bytes.end(), [](unsigned char b) {
        return b >= 0x80 || std::string_view("@[\\]{|}~").find(char(b)) != std::string_view::npos;
      });
      if (page != std::string_view("UTF-8") && remapped) continue;
      SCOPED_TRACE(std::string(c.what) + " in " + page);
      Variant v = readArray(c.bytes, c.delimiter, c.removeQuotes);
      EXPECT_EQ(rowsOf(v), c.rows);
      EXPECT_TRUE(v.arrayRef().lbound(1) == 0 && v.arrayRef().lbound(2) == 0);
      Variant lines = vec({});
      ASSERT_EQ(TextFileToOneDArray(wpath("in.txt"), lines), 1);
      EXPECT_EQ(size_t(lines.arrayRef().ubound(1) + 1), c.rows.size());
    }
  }
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

TEST_F(TextFiles, OtherCodePage) {
  std::optional<CodePage> page;
  page.emplace("CP1252");
  Variant v = readArray(std::string("caf\xE9;\x80\r\nz", 9), u";");
  EXPECT_EQ(rowsOf(v), (Rows{{"café", "€"}, {"z", "<E>"}}));
  Variant out = mat({{str("ü"), str("€")}});
  ASSERT_EQ(TwoDArrayToTextFile(out, wpath("o.txt"), u";"), 1);
  EXPECT_EQ(read("o.txt"), std::string("\xFC;\x80\r\n"));
  // A code page that gives some ASCII bytes other characters reads through the line reader.
  page.emplace("ISO646-DE");
  EXPECT_EQ(rowsOf(readArray("a,b\r\nc[,d\r\n")), (Rows{{"a", "b"}, {"cÄ", "d"}}));
  EXPECT_EQ(rowsOf(readArray("x[y", u"Ä")), (Rows{{"x", "y"}}));
  Variant lines = vec({});
  ASSERT_EQ(TextFileToOneDArray(wpath("in.txt"), lines), 1);
  EXPECT_EQ(lines.arrayRef().ubound(1), 0);
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
// once instead of waiting for a writer. Run in a child process that an alarm ends, so that a wait
// fails the test instead of hanging it.
TEST_F(TextFiles, NamedPipeIsNoReadableFile) {
  ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
  const BStr name = wpath("pipe");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    alarm(60);
    bool refused = true;
    // The second code page remaps ASCII, so the pipe is met by the line reader.
    for (const char* page : {"UTF-8", "ISO646-DE"}) {
      CodePage codePage(page);
      Variant a = vec({str("k")}), b = vec({str("k")});
      refused = refused && TextFileToArray(name, a) == -1 && TextFileToOneDArray(name, b) == -1 &&
                a == vec({str("k")}) && b == vec({str("k")});
    }
    _exit(refused ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status)) << "reading a named pipe waited for a writer";
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

}  // namespace
