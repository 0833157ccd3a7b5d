// The adapters against the real form controls: arrays built and read.
#pragma once

#include "controls/controls.h"
#include "support/form_controls.h"

namespace tlxtest {

inline Variant emptyArray() { return Variant(SafeArray::vector(0)); }
inline Variant strings(std::vector<std::string> items) {
  auto a = SafeArray::vector(static_cast<int32_t>(items.size()));
  for (size_t i = 0; i < items.size(); ++i) a->elements()[i] = Variant(u16(items[i]));
  return Variant(std::move(a));
}
// A 1-D array's elements as text ("<empty>" for Empty).
inline std::vector<std::string> texts(const Variant& v) {
  std::vector<std::string> out;
  const SafeArray& a = v.arrayRef();
  for (int32_t i = a.lbound(1); i <= a.ubound(1); ++i)
    out.push_back(a.at(i).isEmpty() ? "<empty>" : u8(toBStr(a.at(i))));
  return out;
}
// A 2-D array's rows as text.
inline std::vector<std::vector<std::string>> rowsOf(const Variant& v) {
  std::vector<std::vector<std::string>> out;
  const SafeArray& a = v.arrayRef();
  for (int32_t r = a.lbound(1); r <= a.ubound(1); ++r) {
    auto& row = out.emplace_back();
    for (int32_t c = a.lbound(2); c <= a.ubound(2); ++c)
      row.push_back(a.at(r, c).isEmpty() ? "<empty>" : u8(toBStr(a.at(r, c))));
  }
  return out;
}
using Rows = std::vector<std::vector<std::string>>;
using Texts = std::vector<std::string>;

// A 2-D array of these cells, both dimensions from `lower`.
inline Variant matrix(const std::vector<std::vector<Variant>>& cells, int32_t lower = 0) {
  const auto rows = static_cast<int32_t>(cells.size()), cols = static_cast<int32_t>(cells[0].size());
  auto a = std::make_unique<SafeArray>(std::vector<Bound>{Bound{lower, rows}, Bound{lower, cols}});
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) a->at(lower + r, lower + c) = cells[r][c];
  return Variant(std::move(a));
}

}  // namespace tlxtest
