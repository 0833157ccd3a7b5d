// TextFileToArray on files large enough to be read as two halves at once: the array must be
// exactly the one a single reader going through the lines in order would make.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "arrays/arrays.h"
#include "arrays/arrays_fixture.h"
#include "automation/text_file.h"

using namespace tlx;
using tlxtest::str;
using tlxtest::vec;

namespace {

class TextFileHalves : public tlxtest::ScratchTest {
 protected:
  // The array one reader makes of the file: TextReader's lines split at the delimiter.
  SafeArray expected(const std::string& name, std::u16string_view d, char lineEnd) {
    std::vector<std::vector<BStr>> rows;
    size_t width = 0;
    TextReader reader(wpath(name), lineEnd);
    std::u16string line;
    while (reader.readLine(line)) {
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
    return want;
  }

  void expectSameAsOneReader(const std::string& bytes, BStr d = u",") {
    write("h.txt", bytes);
    Variant v = vec({str("old")});
    ASSERT_EQ(TextFileToArray(wpath("h.txt"), v, d), 1);
    const SafeArray want = expected("h.txt", d, bytes.find('\r') == bytes.npos ? '\n' : '\r');
    const SafeArray& got = v.arrayRef();
    ASSERT_EQ(got.bounds().size(), 2u);
    ASSERT_EQ(got.count(1), want.count(1));
    ASSERT_EQ(got.count(2), want.count(2));
    for (size_t i = 0; i < want.size(); ++i)
      ASSERT_EQ(got.elements()[i], want.elements()[i]) << "row " << i % size_t(want.count(1));
  }
};

// Lines of about 1.5 MB in all, with the middle byte at the given place of a line end.
std::string aroundTheMiddle(const std::string& middle) {
  std::string half;
  for (int i = 0; half.size() < 750000; ++i) half += "r" + std::to_string(i) + ",x,\"q\"\r\n";
  return half + middle + half.substr(0, half.size() - middle.size() % 2);
}

TEST_F(TextFileHalves, SplitAtAnyKindOfLineEnd) {
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
}

TEST_F(TextFileHalves, RandomFilesAgreeWithOneReader) {
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

TEST_F(TextFileHalves, AFailureInEitherHalfLeavesTheCallersArray) {
  const std::string wide(32768, ',');
  for (const std::string& bytes : {wide + "\r\n" + aroundTheMiddle("\r\n"), aroundTheMiddle("\r\n") + wide}) {
    write("bad.txt", bytes);
    Variant keep = vec({str("k")});
    EXPECT_EQ(TextFileToArray(wpath("bad.txt"), keep), -3);
    EXPECT_EQ(keep, vec({str("k")}));
  }
}

}  // namespace
