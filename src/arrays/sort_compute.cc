// Sorting a one-dimensional array and element-wise arithmetic with one number.
#include <cmath>
#include <utility>
#include <vector>

#include "arrays/arrays.h"
#include "automation/operations.h"

namespace tlx {

namespace {

constexpr HRESULT kSubscriptOutOfRange = hr::basicError(9);

// The one-dimensional array addressed by its own subscripts; a subscript outside its bounds (or a
// single subscript on an array of more dimensions) raises, as indexing the Variant would.
class Elements {
 public:
  explicit Elements(SafeArray& a) : a_(a), first_(a.lbound(1)), last_(a.ubound(1)) {}
  int32_t first() const { return first_; }
  int32_t last() const { return last_; }
  Variant& operator()(int64_t i) {
    if (i < first_ || i > last_ || a_.dims() != 1) throw ComError(kSubscriptOutOfRange, "Subscript out of range");
    return a_.elements()[static_cast<size_t>(i - first_)];
  }
  void swap(int64_t i, int64_t j) { tlx::swap((*this)(i), (*this)(j)); }

 private:
  SafeArray& a_;
  int32_t first_, last_;
};

// Automation comparison; two Doubles (the common case) compared directly, with the same result.
Cmp compare(const Variant& x, const Variant& y) {
  if (x.type() == vtR8 && y.type() == vtR8 && !std::isnan(x.r8()) && !std::isnan(y.r8()))
    return x.r8() < y.r8() ? Cmp::Lt : (x.r8() > y.r8() ? Cmp::Gt : Cmp::Eq);
  return VarCmp(x, y);
}
bool greater(const Variant& x, const Variant& y) { return compare(x, y) == Cmp::Gt; }
bool less(const Variant& x, const Variant& y) { return compare(x, y) == Cmp::Lt; }

// (lo + hi) / 2 stored in a Long: halves round to the even integer.
int64_t middle(int64_t lo, int64_t hi) {
  int64_t s = lo + hi;
  int64_t down = s >= 0 ? s / 2 : -((-s + 1) / 2);
  if (s % 2 == 0) return down;
  return down % 2 == 0 ? down : down + 1;
}

// Median-of-three quicksort that leaves ranges of at most cutoff + 1 elements for the insertion
// pass. The pending ranges sit on a heap stack in the order recursion would visit them, so a
// deep partition cannot exhaust the call stack.
void partialQuickSort(Elements& a, int64_t lo0, int64_t hi0, int64_t cutoff) {
  std::vector<std::pair<int64_t, int64_t>> pending{{lo0, hi0}};
  while (!pending.empty()) {
    auto [lo, hi] = pending.back();
    pending.pop_back();
    if (hi - lo <= cutoff) continue;
    int64_t mid = middle(lo, hi);
    if (greater(a(lo), a(mid))) a.swap(lo, mid);
    if (greater(a(lo), a(hi))) a.swap(lo, hi);
    if (greater(a(mid), a(hi))) a.swap(mid, hi);
    a.swap(mid, hi - 1);
    const Variant pivot = a(hi - 1);
    int64_t i = lo, j = hi - 1;
    for (;;) {
      do ++i;
      while (less(a(i), pivot));
      do --j;
      while (greater(a(j), pivot));
      if (j < i) break;
      a.swap(i, j);
    }
    a.swap(i, hi - 1);
    pending.emplace_back(i + 1, hi);
    pending.emplace_back(lo, j);
  }
}

void insertionSort(Elements& a, int64_t lo, int64_t hi) {
  for (int64_t i = lo + 1; i <= hi; ++i) {
    Variant t = std::move(a(i));
    int64_t j = i;
    try {
      while (j > lo && greater(a(j - 1), t)) {
        a(j) = std::move(a(j - 1));
        --j;
      }
    } catch (...) {
      // A failed comparison leaves the hole filled: no element is lost or doubled.
      a(j) = std::move(t);
      throw;
    }
    a(j) = std::move(t);
  }
}

Variant apply(int32_t lngCompute, const Variant& element, const Variant& number) {
  switch (lngCompute) {
    case tlxAdd: return VarAdd(element, number);
    case tlxSubtract: return VarSub(element, number);
    case tlxMultiply: return VarMul(element, number);
    default: return VarDiv(element, number);
  }
}

bool validCompute(int32_t lngCompute) { return lngCompute >= tlxAdd && lngCompute <= tlxDivide; }

}  // namespace

int16_t SortOneDArray(Variant& varArray, int32_t lngSortOrder) {
  if (!varArray.isArray()) return -1;
  if (lngSortOrder != tlxAscending && lngSortOrder != tlxDescending) lngSortOrder = tlxAscending;
  try {
    Elements a(varArray.arrayRef());
    int64_t lo = a.first(), hi = a.last();
    partialQuickSort(a, lo, hi, 4);
    insertionSort(a, lo, hi);
    if (lngSortOrder == tlxDescending)
      for (; lo < hi; ++lo, --hi) a.swap(lo, hi);
    return 1;
  } catch (...) {
    return -2;
  }
}

namespace {

// The frame the three Compute methods share: their checks, then `walk` visits the elements in
// the method's own order and each visited element gets the operation applied in place.
template <class Walk>
int16_t computeEach(Variant& varArray, int32_t lngCompute, double dblNumber, Walk&& walk) {
  if (!varArray.isArray()) return -1;
  if (!validCompute(lngCompute)) return -2;
  try {
    SafeArray& a = varArray.arrayRef();
    const Variant number(dblNumber);
    walk(a, [&](Variant& e) { e = apply(lngCompute, e, number); });
    return 1;
  } catch (...) {
    return -3;
  }
}

}  // namespace

int16_t ComputeOneDArray(Variant& varArray, int32_t lngCompute, double dblNumber) {
  return computeEach(varArray, lngCompute, dblNumber, [](SafeArray& a, auto&& update) {
    for (int32_t i = a.lbound(1), iLast = a.ubound(1); i <= iLast; ++i) update(a.at(i));
  });
}

int16_t ComputeTwoDArray(Variant& varArray, int32_t lngCompute, double dblNumber) {
  return computeEach(varArray, lngCompute, dblNumber, [](SafeArray& a, auto&& update) {
    for (int32_t i = a.lbound(1), iLast = a.ubound(1); i <= iLast; ++i)
      for (int32_t j = a.lbound(2), jLast = a.ubound(2); j <= jLast; ++j) update(a.at(i, j));
  });
}

int16_t ComputeThreeDArray(Variant& varArray, int32_t lngCompute, double dblNumber) {
  return computeEach(varArray, lngCompute, dblNumber, [](SafeArray& a, auto&& update) {
    for (int32_t i = a.lbound(1), iLast = a.ubound(1); i <= iLast; ++i)
      for (int32_t j = a.lbound(2), jLast = a.ubound(2); j <= jLast; ++j)
        for (int32_t k = a.lbound(3), kLast = a.ubound(3); k <= kLast; ++k) update(a.at(i, j, k));
  });
}

}  // namespace tlx
