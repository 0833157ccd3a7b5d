// Sorting and element arithmetic, called directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

#include "arrays/arrays.h"
#include "arrays/arrays_fixture.h"
#include "automation/collection.h"
#include "talvex/convert.h"
#include "automation/operations.h"

using namespace tlx;
using tlxtest::mat;
using tlxtest::str;
using tlxtest::vec;

namespace {

Variant i2(int v) { return Variant(int16_t(v)); }

// The arrangement of equal elements is fixed by the sort's steps, not only the order of values:
// a plain recursive transcription of those steps must give the very same array. Integers and
// Doubles of equal value, Empty beside 0 and "", and Null make equal elements distinguishable.
class DescribedSort {
 public:
  DescribedSort(std::vector<Variant>& a, int64_t lower) : a_(a), lower_(lower) {}
  void run() {
    int64_t lo = lower_, hi = lower_ + int64_t(a_.size()) - 1;
    quick(lo, hi);
    insertion(lo, hi);
  }

 private:
  Variant& at(int64_t i) { return a_.at(size_t(i - lower_)); }
  static bool gt(const Variant& x, const Variant& y) { return VarCmp(x, y) == Cmp::Gt; }
  static bool lt(const Variant& x, const Variant& y) { return VarCmp(x, y) == Cmp::Lt; }
  void swap(int64_t i, int64_t j) { std::swap(at(i), at(j)); }
  void quick(int64_t lo, int64_t hi) {
    if (hi - lo <= 4) return;
    int64_t mid = int64_t(std::nearbyint(double(lo + hi) / 2));  // ties to even
    if (gt(at(lo), at(mid))) swap(lo, mid);
    if (gt(at(lo), at(hi))) swap(lo, hi);
    if (gt(at(mid), at(hi))) swap(mid, hi);
    swap(mid, hi - 1);
    const Variant pivot = at(hi - 1);
    int64_t i = lo, j = hi - 1;
    for (;;) {
      do ++i;
      while (lt(at(i), pivot));
      do --j;
      while (gt(at(j), pivot));
      if (j < i) break;
      swap(i, j);
    }
    swap(i, hi - 1);
    quick(lo, j);
    quick(i + 1, hi);
  }
  void insertion(int64_t lo, int64_t hi) {
    for (int64_t i = lo + 1; i <= hi; ++i) {
      Variant t = at(i);
      int64_t j = i;
      while (j > lo && gt(at(j - 1), t)) {
        at(j) = at(j - 1);
        --j;
      }
      at(j) = t;
    }
  }
  std::vector<Variant>& a_;
  int64_t lower_;
};

// Sorts `items` in every order and compares with the described steps: descending is their exact
// reverse, and any other order code sorts ascending.
void expectDescribedOrder(const std::vector<Variant>& items, int32_t lower) {
  std::vector<Variant> want = items;
  DescribedSort(want, lower).run();
  Variant up = vec(items, lower), other = vec(items, lower), down = vec(items, lower);
  ASSERT_EQ(SortOneDArray(up, tlxAscending), 1);
  ASSERT_EQ(up, vec(want, lower));
  ASSERT_EQ(SortOneDArray(other, 7), 1);
  ASSERT_EQ(other, vec(want, lower));
  std::reverse(want.begin(), want.end());
  ASSERT_EQ(SortOneDArray(down, tlxDescending), 1);
  ASSERT_EQ(down, vec(want, lower));
}

TEST(Sort, EqualElementsEndWhereTheDescribedStepsPutThem) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    const size_t n = rng() % 60;
    const int32_t lower = int32_t(rng() % 7) - 3;
    std::vector<Variant> items;
    for (size_t k = 0; k < n; ++k) {
      int v = int(rng() % 4);
      switch (rng() % 8) {
        case 0: items.push_back(i2(v)); break;
        case 1: items.push_back(Variant(double(v))); break;
        case 2: items.push_back(Variant(int32_t(v))); break;
        case 3: items.push_back(Variant()); break;
        case 4: items.push_back(str(v % 2 ? "a" : "")); break;
        case 5: items.push_back(Variant(float(v))); break;
        case 6: items.push_back(round % 3 == 0 ? Variant::null() : i2(v)); break;
        default: items.push_back(Variant(v % 2 == 1)); break;
      }
    }
    SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(n) + " elements");
    expectDescribedOrder(items, lower);
  }
}

TEST(Sort, FailuresKeepEveryElement) {
  Variant unallocated = Variant::unallocatedArray();
  EXPECT_EQ(SortOneDArray(unallocated), -2);
  // An object cannot be compared: the sort stops, and no element is lost or doubled, whether the
  // partitioning or (in five elements) the insertion pass meets it.
  auto numbers = [](const std::vector<Variant>& elements) {
    std::multiset<int32_t> out;  // the object as -1, anything else but a Long as -2
    for (auto& v : elements) out.insert(v.isObject() ? -1 : v.type() == vtI4 ? v.i4() : -2);
    return out;
  };
  for (int n : {5, 40}) {
    std::vector<Variant> items;
    for (int i = 0; i < n; ++i) items.emplace_back(int32_t((i * 17) % 40));
    items[size_t(n / 2 + 1)] = Variant(newCollection());
    Variant a = vec(items);
    EXPECT_EQ(SortOneDArray(a), -2);
    EXPECT_EQ(numbers(a.arrayRef().elements()), numbers(items)) << n << " elements";
  }
  // A two-dimensional array is not indexed with one subscript.
  Variant m = mat({{i2(2), i2(1)}, {i2(0), i2(3)}});
  EXPECT_EQ(SortOneDArray(m), -2);
}

TEST(Compute, OperationsAndResultTypes) {
  Variant a = vec({i2(1), str("2"), Variant()});
  ASSERT_EQ(ComputeOneDArray(a, tlxAdd, 1), 1);
  EXPECT_EQ(a, vec({Variant(2.0), Variant(3.0), Variant(1.0)}));
  ASSERT_EQ(ComputeOneDArray(a, tlxSubtract, 0.5), 1);
  ASSERT_EQ(ComputeOneDArray(a, tlxMultiply, 4), 1);
  ASSERT_EQ(ComputeOneDArray(a, tlxDivide, 2), 1);
  EXPECT_EQ(a, vec({Variant(3.0), Variant(5.0), Variant(1.0)}));
  Variant withNull = vec({Variant::null()});
  ASSERT_EQ(ComputeOneDArray(withNull, tlxAdd, 1), 1);
  EXPECT_TRUE(withNull.arrayRef().at(0).isNull());

  Variant m = mat({{i2(1), i2(2)}, {i2(3), i2(4)}}, 2, -1);
  ASSERT_EQ(ComputeTwoDArray(m, tlxMultiply, 10), 1);
  EXPECT_EQ(m, mat({{Variant(10.0), Variant(20.0)}, {Variant(30.0), Variant(40.0)}}, 2, -1));

  auto cube = std::make_unique<SafeArray>(std::vector<Bound>{{1, 2}, {0, 2}, {5, 2}});
  for (auto& e : cube->elements()) e = i2(6);
  Variant c(std::move(cube));
  ASSERT_EQ(ComputeThreeDArray(c, tlxDivide, 3), 1);
  for (auto& e : c.arrayRef().elements()) EXPECT_EQ(e, Variant(2.0));
}

TEST(Compute, CodesAndPartialWork) {
  Variant m = mat({{i2(1)}});
  EXPECT_EQ(ComputeTwoDArray(m, 4, 1), -2);
  EXPECT_EQ(ComputeTwoDArray(m, -1, 1), -2);
  EXPECT_EQ(m, mat({{i2(1)}}));
  Variant nums = vec({i2(1), i2(2)});
  EXPECT_EQ(ComputeOneDArray(nums, tlxDivide, 0), -3);
  // Elements before the failing one stay changed.
  Variant partial = vec({i2(1), str("x"), i2(3)});
  EXPECT_EQ(ComputeOneDArray(partial, tlxMultiply, 2), -3);
  EXPECT_EQ(partial, vec({Variant(2.0), str("x"), i2(3)}));
  // Fewer dimensions than the method expects, or more.
  Variant oneD = vec({i2(1)});
  EXPECT_EQ(ComputeTwoDArray(oneD, tlxAdd, 1), -3);
  EXPECT_EQ(ComputeThreeDArray(m, tlxAdd, 1), -3);
  EXPECT_EQ(ComputeOneDArray(m, tlxAdd, 1), -3);
}

}  // namespace
