// The shared text primitives: ASCII folding touches A-Z and a-z only, whatever the locale, and
// Basic's Trim removes spaces and nothing else.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "automation/strings.h"

namespace tlx {
namespace {

TEST(AsciiFolding, ChangesLettersOnlyInAnyLocale) {
  // Bytes of other text (0xC9 is E acute in Latin-1) and the neighbours of the letters stay.
  EXPECT_EQ(asciiLower("Sheet1 \xC9[Z]@`{"), "sheet1 \xC9[z]@`{");
  EXPECT_EQ(asciiUpper("sheet1 \xE9[z]@`{"), "SHEET1 \xE9[Z]@`{");

  struct Case {
    std::u16string a, b;
    bool equal;
  } cases[] = {
      {u"Excel.Application", u"EXCEL.application", true},
      {u"\u00C9t\u00E9", u"\u00E9T\u00C9", false},  // Latin-1 letters are not ASCII
      {u"[", u"{", false},                          // 0x5B and 0x7B differ by 32 but are no letters
      {u"abc", u"abcd", false},
      {u"", u"", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(equalsNoCaseAscii(c.a, c.b), c.equal) << u8(c.a) << " / " << u8(c.b);
    EXPECT_EQ(equalsNoCaseAscii(u8(c.a), u8(c.b)), c.equal) << u8(c.a) << " / " << u8(c.b);
  }

  std::map<std::string, int, LessNoCaseAscii> names{{"Word.Application", 1}, {"ADODB.Recordset", 2}};
  EXPECT_EQ(names.count("word.APPLICATION"), 1u);
  EXPECT_EQ(names.begin()->second, 2);
}

TEST(TrimSpaces, RemovesLeadingAndTrailingSpacesOnly) {
  struct Case {
    std::u16string in, out;
  } cases[] = {
      {u"  a b  ", u"a b"}, {u"   ", u""}, {u"", u""}, {u"\ta\r\n", u"\ta\r\n"}, {u"\u00A0a\u3000", u"\u00A0a\u3000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(trimSpaces(std::u16string_view(c.in)), c.out) << u8(c.in);
    EXPECT_EQ(trimSpaces(std::string_view(u8(c.in))), u8(c.out)) << u8(c.in);
  }
}

}  // namespace
}  // namespace tlx
