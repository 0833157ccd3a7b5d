#include <gtest/gtest.h>

#include "automation/test_objects.h"
#include "talvex/variant.h"

namespace tlx {
namespace {

TEST(SafeArray, NonZeroLowerBounds) {
  SafeArray a({{1, 3}, {-2, 2}});  // (1 To 3, -2 To -1)
  EXPECT_EQ((std::vector<int32_t>{a.dims(), a.lbound(1), a.ubound(1), a.lbound(2), a.ubound(2)}),
            (std::vector<int32_t>{2, 1, 3, -2, -1}));
  for (int r = 1; r <= 3; ++r)
    for (int c = -2; c <= -1; ++c) a.at(r, c) = Variant(int32_t{r * 10 + c});
  EXPECT_EQ(a.at(3, -1), Variant(int32_t{29}));
  // Leftmost subscript varies fastest in storage.
  EXPECT_EQ(a.elements()[1], Variant(int32_t{18}));
  EXPECT_EQ(a.elements()[3], Variant(int32_t{9}));  // (1, -1)
  const HRESULT outOfRange = errorOf([&] { a.at(0, -2); });
  EXPECT_NE(outOfRange, hr::S_OK);
  EXPECT_EQ(errorOf([&] { a.at(4, -2); }), outOfRange);
  EXPECT_EQ(errorOf([&] { a.at(1, 0); }), outOfRange);
  EXPECT_EQ(errorOf([&] { a.at(1); }), outOfRange);  // wrong number of subscripts
  EXPECT_EQ(errorOf([&] { a.lbound(3); }), outOfRange);
  EXPECT_EQ(errorOf([&] { a.ubound(0); }), outOfRange);
}

TEST(SafeArray, RedimPreserveKeepsElementsOfTheLastDimension) {
  SafeArray a({{0, 2}, {1, 2}});
  a.at(0, 1) = Variant("a");
  a.at(1, 1) = Variant("b");
  a.at(0, 2) = Variant("c");
  a.at(1, 2) = Variant("d");
  a.redimPreserve({{0, 2}, {1, 3}});
  EXPECT_EQ(a.at(1, 2), Variant("d"));
  EXPECT_TRUE(a.at(1, 3).isEmpty());
  a.redimPreserve({{0, 2}, {1, 1}});
  EXPECT_EQ(a.at(0, 1), Variant("a"));
  EXPECT_EQ(a.at(1, 1), Variant("b"));
  EXPECT_NE(errorOf([&] { a.at(0, 2); }), hr::S_OK);
  // Only the last dimension may change, and only in its upper bound.
  EXPECT_NE(errorOf([&] { a.redimPreserve({{0, 3}, {1, 1}}); }), hr::S_OK);
  EXPECT_NE(errorOf([&] { a.redimPreserve({{0, 2}, {0, 2}}); }), hr::S_OK);
  EXPECT_EQ(a.at(0, 1), Variant("a"));
  a.redim({{5, 1}});
  EXPECT_EQ(a.dims(), 1);
  EXPECT_TRUE(a.at(5).isEmpty());
}

TEST(SafeArray, CallersVariantIsRedimensionedInPlace) {
  Variant v = Variant::unallocatedArray();
  EXPECT_TRUE(v.isArray());
  EXPECT_EQ(v.array(), nullptr);
  redimPreserveVariant(v, {{0, 1}}).at(0) = Variant("first");
  redimPreserveVariant(v, {{0, 2}}).at(1) = Variant("second");
  EXPECT_EQ(v.arrayRef().at(0), Variant("first"));
  EXPECT_EQ(v.arrayRef().ubound(), 1);
  // A longer array is cut at the first grown step.
  redimPreserveVariant(v, {{0, 1}});
  EXPECT_EQ(v.arrayRef().size(), 1u);
  SafeArray& fresh = redimVariant(v, {{0, 2}, {0, 3}});
  EXPECT_EQ(fresh.dims(), 2);
  EXPECT_TRUE(v.arrayRef().at(0, 0).isEmpty());
  EXPECT_EQ(v.type(), VarType(vtArray | vtVariant));
}

TEST(Variant, IsTheTagAndEightBytesAndCopiesArraysDeep) {
  static_assert(sizeof(Variant) == 16);
  Variant left(u"left"), seven(int32_t{7});
  swap(left, seven);
  EXPECT_EQ(left, Variant(int32_t{7}));
  EXPECT_EQ(seven.str(), u"left");

  // An array copy is deep, and equality compares element by element.
  Variant a(SafeArray::vector(2, 1));
  a.arrayRef().at(1) = Variant("x");
  Variant b = a;
  b.arrayRef().at(2) = Variant(int16_t{2});
  EXPECT_TRUE(a.arrayRef().at(2).isEmpty());
  EXPECT_FALSE(a == b);
  a.arrayRef().at(2) = Variant(int16_t{2});
  EXPECT_TRUE(a == b);
}

}  // namespace
}  // namespace tlx
