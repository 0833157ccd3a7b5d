// The string builder: in-place appends into spare capacity.
#include "automation/cls_concat.h"

#include "talvex/convert.h"

#include <algorithm>
#include <cstdint>

namespace tlx {

namespace {

constexpr int64_t kMaxContent = INT32_MAX;

[[noreturn]] void overflow() { throw ComError(hr::DISP_E_OVERFLOW, "Overflow"); }

}  // namespace

void clsConcat::ReInit() {
  BStr().swap(buffer_);
  used_ = 0;
}

BStr clsConcat::GetString() {
  // In the taken state the buffer is already released, so this yields "". The buffer itself
  // becomes the content: cut to its length, not copied.
  buffer_.resize(std::min<size_t>(static_cast<size_t>(used_), buffer_.size()));
  return std::move(buffer_);
}

void clsConcat::SetString(const BStr& Source) {
  if (static_cast<int64_t>(Source.size()) > kMaxContent) overflow();
  BStr next = BStr::ofLength(Source.size() + kGrowth);
  std::copy(Source.begin(), Source.end(), next.mutableData());
  buffer_.swap(next);
  used_ = static_cast<int32_t>(Source.size());
}

void clsConcat::SConcat(std::u16string_view Source) {
  // Appending after GetString without ReInit would leave the stale length in front of the new
  // text as NUL characters; start afresh instead.
  if (buffer_.empty()) used_ = 0;
  const int64_t L = static_cast<int64_t>(Source.size());
  const int64_t need = static_cast<int64_t>(used_) + L;
  if (need > kMaxContent) overflow();
  const int64_t capacity = static_cast<int64_t>(buffer_.size());
  if (need >= capacity) {
    // At least the quantum (or the piece), and at least doubling, so that long texts built
    // from many pieces cost amortised constant time per piece.
    int64_t grown = capacity + std::max<int64_t>(L, kGrowth);
    grown = std::max(grown, std::min<int64_t>(capacity * 2, kMaxContent + 1));
    buffer_.resize(static_cast<size_t>(grown));
  }
  std::copy(Source.begin(), Source.end(), buffer_.mutableData() + used_);
  used_ = static_cast<int32_t>(need);
}

void clsConcat::SConcat(char16_t c) {
  if (buffer_.empty()) used_ = 0;
  if (static_cast<size_t>(used_) + 1 >= buffer_.size()) {
    if (used_ == kMaxContent) overflow();
    SConcat(std::u16string_view(&c, 1));
    return;
  }
  buffer_.mutableData()[used_] = c;
  ++used_;
}

void clsConcat::SConcatText(const Variant& v) {
  if (v.isString()) return SConcat(v.str().view());
  char16_t number[kNumberChars];
  if (size_t n = formatNumber(v, number)) return SConcat(std::u16string_view(number, n));
  SConcat(toBStr(v).view());
}

}  // namespace tlx
