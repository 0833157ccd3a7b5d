// Shared helpers of the array tests: a scratch folder, raw file contents, array builders.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "automation/strings.h"
#include "talvex/variant.h"
#include "support/scratch.h"

namespace tlxtest {

// A test with a scratch folder of its own.
class ScratchTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return dir_.file(name); }
  tlx::BStr wpath(const std::string& name) const { return tlx::u16(path(name)); }
  std::string write(const std::string& name, const std::string& bytes) const { return dir_.write(name, bytes); }
  std::string read(const std::string& name) const { return readFile(path(name)); }

  ScratchDir dir_{"talvex-arrays"};
};

// A 1-D array of Variants with the given lower bound.
inline tlx::Variant vec(std::vector<tlx::Variant> items, int32_t lower = 0) {
  auto a = tlx::SafeArray::vector(static_cast<int32_t>(items.size()), lower);
  for (size_t i = 0; i < items.size(); ++i) a->elements()[i] = items[i];
  return tlx::Variant(std::move(a));
}

// A 2-D array from rows, with the given lower bounds.
inline tlx::Variant mat(std::vector<std::vector<tlx::Variant>> rows, int32_t rowLower = 0,
                        int32_t colLower = 0) {
  int32_t n = static_cast<int32_t>(rows.size());
  int32_t m = n ? static_cast<int32_t>(rows[0].size()) : 0;
  auto a = std::make_unique<tlx::SafeArray>(
      std::vector<tlx::Bound>{tlx::Bound{rowLower, n}, tlx::Bound{colLower, m}});
  for (int32_t r = 0; r < n; ++r)
    for (int32_t c = 0; c < m; ++c) a->at(rowLower + r, colLower + c) = rows[r][c];
  return tlx::Variant(std::move(a));
}

inline tlx::Variant str(const char* s) { return tlx::Variant(tlx::u16(s)); }

}  // namespace tlxtest
