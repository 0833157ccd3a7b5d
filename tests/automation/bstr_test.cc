// The shared string and the arena: copies share text, writes never reach another holder, and
// arena strings live exactly as long as their last holder, wherever they went.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "talvex/bstr.h"
#include "talvex/variant.h"

namespace tlx {
namespace {

TEST(BStr, CopiesShareTheTextAndWritesCopyItFirst) {
  EXPECT_EQ(BStr().data(), nullptr);  // the empty string holds nothing
  EXPECT_EQ(BStr(u"").data(), nullptr);

  BStr a(u"hello");
  BStr b = a;
  EXPECT_EQ(a.data(), b.data());
  b.mutableData()[0] = u'j';
  EXPECT_EQ(a, u"hello");
  EXPECT_EQ(b, u"jello");
  // Held alone, the text is written in place.
  const char16_t* own = b.data();
  b.mutableData()[1] = u'a';
  EXPECT_EQ(b.data(), own);
  EXPECT_EQ(b, u"jallo");

  BStr c = a;
  c.resize(8);  // extending a shared text copies it, the new characters NUL
  EXPECT_EQ(c.view(), std::u16string_view(u"hello\0\0\0", 8));
  c.resize(2);
  EXPECT_EQ(c, u"he");
  EXPECT_EQ(a, u"hello");
  c.resize(0);
  EXPECT_TRUE(c.empty());
}

TEST(BStr, ComparesAndHashesAsItsText) {
  const BStr a(u"key"), b(std::u16string(u"key"));
  EXPECT_EQ(a, b);
  EXPECT_LT(BStr(u"abc"), BStr(u"abd"));
  EXPECT_EQ(std::hash<BStr>()(a), std::hash<std::u16string_view>()(u"key"));
  EXPECT_EQ(a + u"s", std::u16string(u"keys"));
  EXPECT_EQ(BStr(u"a,b").find(u','), 1u);
  EXPECT_EQ(BStr(u"a,b").substr(2), u"b");
}

TEST(StringArena, StringsOutliveTheArenaAndTravelLikeAnyOther) {
  std::vector<BStr> kept;
  Variant moved, copied;
  {
    StringArena arena;
    // Enough text for several blocks, and a string too long to sit in one.
    for (int i = 0; i < 300000; ++i) kept.push_back(arena.widen("field " + std::to_string(i)));
    kept.push_back(arena.copy(std::u16string(200000, u'w')));
    kept.push_back(arena.copy(u""));
    Variant v(arena.copy(u"\u00e9t\u00e9"));
    copied = v;
    moved = std::move(v);
  }
  EXPECT_EQ(kept[0], u"field 0");
  EXPECT_EQ(kept[299999], u"field 299999");
  EXPECT_EQ(kept[300000].size(), 200000u);
  EXPECT_TRUE(kept[300001].empty());
  EXPECT_EQ(moved.str(), u"\u00e9t\u00e9");
  EXPECT_EQ(copied, moved);

  // Released in a scattered order, each block goes with the last of its strings (the
  // sanitizer build keeps blocks on the heap, where a use after release is caught).
  std::shuffle(kept.begin(), kept.end(), std::mt19937(7));
  kept.resize(kept.size() / 7);
  for (const BStr& k : kept)
    EXPECT_TRUE(k.empty() || k.size() == 200000 || k.view().substr(0, 6) == u"field ") << k.size();

  // An arena string written to becomes the writer's own copy (made after the arena's first,
  // heap-given strings, so that it sits in a block).
  StringArena arena;
  BStr s;
  for (int i = 0; i < 10000; ++i) s = arena.copy(u"abc");
  BStr t = s;
  t.mutableData()[0] = u'x';
  EXPECT_EQ(s, u"abc");
  EXPECT_EQ(t, u"xbc");
}

TEST(StringArena, ArraysOfArenaStringsCopyResizeAndFree) {
  auto a = SafeArray::vector(100000);
  {
    StringArena arena;
    for (int i = 0; i < 100000; ++i) a->elements()[size_t(i)] = Variant(arena.widen(std::to_string(i)));
  }
  Variant whole(std::move(a));
  Variant copy = whole;  // the copy shares the blocks
  Variant one = whole.arrayRef().at(77);
  whole.arrayRef().at(5) = Variant(u"replaced");
  redimPreserveVariant(whole, {Bound{0, 200000}});
  EXPECT_EQ(whole.arrayRef().at(99999).str(), u"99999");
  EXPECT_TRUE(whole.arrayRef().at(150000).isEmpty());
  redimPreserveVariant(whole, {Bound{0, 10}});
  whole = Variant();
  EXPECT_EQ(copy.arrayRef().at(5).str(), u"5");
  EXPECT_EQ(copy.arrayRef().at(99999).str(), u"99999");
  redimVariant(copy, {Bound{1, 3}});
  EXPECT_TRUE(copy.arrayRef().at(1).isEmpty());
  EXPECT_EQ(one.str(), u"77");
}

}  // namespace
}  // namespace tlx
