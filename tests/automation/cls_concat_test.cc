#include "automation/cls_concat.h"

#include <gtest/gtest.h>

namespace tlx {
namespace {

TEST(StringBuilder, AppendsAroundTheGrowthQuantumNeverGainNuls) {
  clsConcat empty;
  EXPECT_EQ(empty.GetString(), u"");
  clsConcat d;
  for (const char16_t* piece : {u"", u"ab", u"", u"c"}) d.SConcat(piece);
  EXPECT_EQ(d.length(), 3);
  EXPECT_EQ(d.GetString(), u"abc");

  const std::u16string big(20000, u'x');
  clsConcat b;
  b.SConcat(big);
  b.SConcat(u"y");
  EXPECT_EQ(b.GetString(), big + u"y");

  // Exactly filling the capacity still extends it.
  clsConcat c;
  c.SConcat(std::u16string(clsConcat::kGrowth - 1, u'a'));
  c.SConcat(u"b");
  c.SConcat(u"c");
  BStr out = c.GetString();
  ASSERT_EQ(out.size(), static_cast<size_t>(clsConcat::kGrowth + 1));
  EXPECT_EQ(out.substr(out.size() - 2), u"bc");

  clsConcat chars;
  std::u16string expected;
  for (int i = 0; i < 40000; ++i) {
    const char16_t ch = static_cast<char16_t>(u'a' + i % 26);
    chars.SConcat(ch);
    expected.push_back(ch);
  }
  EXPECT_EQ(chars.GetString(), expected);
}

TEST(StringBuilder, TakenStateReInitAndSetString) {
  clsConcat b;
  b.SConcat(u"first");
  EXPECT_EQ(b.GetString(), u"first");
  EXPECT_EQ(b.GetString(), u"");  // taken: storage released
  EXPECT_EQ(b.length(), 5);       // the count is stale until ReInit
  b.ReInit();
  b.SConcat(u"x");
  EXPECT_EQ(b.GetString(), u"x");
  // Appending straight after GetString starts afresh instead of leaving NULs in front.
  b.SConcat(u"z");
  EXPECT_EQ(b.GetString(), u"z");

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
