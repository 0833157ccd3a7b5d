// Text split at a delimiter: any 16-bit text and delimiter; the fields joined again give the text.
// Input: the delimiter's length in units, then 16-bit units (delimiter first, then the text).
#include <string>

#include "arrays/arrays.h"
#include "fuzz_input.h"

using namespace tlx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tlxfuzz::Input in(data, size);
  const size_t delimiterUnits = in.byte() % 8;
  std::u16string units;
  for (std::string_view rest = in.rest(); rest.size() >= 2; rest.remove_prefix(2))
    units.push_back(static_cast<char16_t>(uint8_t(rest[0]) | (uint8_t(rest[1]) << 8)));
  std::u16string delimiter = units.substr(0, delimiterUnits);
  const std::u16string text = units.substr(std::min(delimiterUnits, units.size()));

  Variant fields = Variant::unallocatedArray();
  FUZZ_CHECK(MultiLineTextToOneDArray(BStr(text), fields, BStr(delimiter)) == 1);
  if (delimiter.empty()) delimiter = u",";
  const SafeArray* a = fields.array();
  FUZZ_CHECK(a && a->dims() == 1 && a->lbound(1) == 0);
  std::u16string joined;
  for (int32_t i = 0; i <= a->ubound(1); ++i) {
    if (i > 0) joined += delimiter;
    joined += a->at(i).str().view();
  }
  FUZZ_CHECK(joined == text || joined + delimiter == text);
  return 0;
}
