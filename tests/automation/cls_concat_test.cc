#include "automation/cls_concat.h"

#include <gtest/gtest.h>

namespace tlx {
namespace {

TEST(StringBuilder, NewAndEmptyAppends) {
  clsConcat b;
  EXPECT_EQ(b.GetString(), u"");
  clsConcat c;
  c.SConcat(u"");
  EXPECT_EQ(c.GetString(), u"");
  clsConcat d;
  d.SConcat(u"ab");
  d.SConcat(u"");
  d.SConcat(u"c");
  EXPECT_EQ(d.length(), 3);
  EXPECT_EQ(d.GetString(), u"abc");
}

TEST(StringBuilder, PiecesAroundTheGrowthQuantum) {
  const std::u16string big(20000, u'x');
  clsConcat b;
  b.SConcat(big);
  b.SConcat(u"y");
  EXPECT_EQ(b.GetString(), big + u"y");

  // Exactly filling the capacity still extends it: the content never gains NULs.
  clsConcat c;
  c.SConcat(std::u16string(clsConcat::kGrowth - 1, u'a'));
  c.SConcat(u"b");
  c.SConcat(u"c");
  BStr out = c.GetString();
  ASSERT_EQ(out.size(), static_cast<size_t>(clsConcat::kGrowth + 1));
  EXPECT_EQ(out.substr(out.size() - 2), u"bc");
}

TEST(StringBuilder, CharacterAppendsKeepOrderWithoutNuls) {
  clsConcat b;
  std::u16string expected;
  for (int i = 0; i < 40000; ++i) {
    const char16_t ch = static_cast<char16_t>(u'a' + i % 26);
    b.SConcat(ch);
    expected.push_back(ch);
  }
  const BStr out = b.GetString();
  EXPECT_EQ(out, expected);
  EXPECT_EQ(out.find(u'\0'), BStr::npos);
}

TEST(StringBuilder, TakenStateAndReInit) {
  clsConcat b;
  b.SConcat(u"first");
  EXPECT_EQ(b.GetString(), u"first");
  EXPECT_EQ(b.GetString(), u"");  // taken: storage released
  EXPECT_EQ(b.length(), 5);       // the count is stale until ReInit
  b.ReInit();
  b.SConcat(u"x");
  EXPECT_EQ(b.GetString(), u"x");

  // Appending straight after GetString starts afresh instead of leaving NULs in front.
  clsConcat c;
  c.SConcat(u"abc");
  c.GetString();
  c.SConcat(u"z");
  EXPECT_EQ(c.GetString(), u"z");
}

TEST(StringBuilder, SetStringReplacesTheContent) {
  clsConcat b;
  b.SConcat(u"old");
  b.SetString(u"new");
  b.SConcat(u"er");
  EXPECT_EQ(b.GetString(), u"newer");
  b.SetString(u"");
  EXPECT_EQ(b.GetString(), u"");
}

TEST(StringBuilder, ContentPastTheLimitOverflows) {
  clsConcat b;
  b.SConcat(u"abc");
  // The length check comes before any copy, so the view's storage is never read.
  char16_t one = u'x';
  std::u16string_view huge(&one, static_cast<size_t>(INT32_MAX) - 2);
  try {
    b.SConcat(huge);
    FAIL() << "no overflow";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), hr::DISP_E_OVERFLOW);
  }
  EXPECT_EQ(b.GetString(), u"abc");  // unchanged by the refused append
}

}  // namespace
}  // namespace tlx
