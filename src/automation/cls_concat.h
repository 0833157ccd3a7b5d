// The string builder of the conversion methods: appends in place into spare capacity, growing
// by at least 15000 characters at a time.
#pragma once

#include <cstdint>

#include "talvex/variant.h"

namespace tlx {

class clsConcat {
 public:
  static constexpr int32_t kGrowth = 15000;

  void ReInit();                     // empty content, storage released
  BStr GetString();                  // the content; then storage released, used kept (taken state)
  void SetString(const BStr& Source);  // Source becomes the whole content
  void SConcat(std::u16string_view Source);  // appends; a content past 2^31-1 raises overflow
  void SConcat(char16_t c);          // one character, the field-by-field splitter's step
  // The value's text form (convert.h); numbers go in without a string built for them. A value
  // without a text form (Null, an object) raises as toBStr does.
  void SConcatText(const Variant& v);

  int32_t length() const { return used_; }

 private:
  BStr buffer_;  // its size is the capacity; the spare part is NUL characters
  int32_t used_ = 0;
};

}  // namespace tlx
