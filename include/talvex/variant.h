// The OLE Automation value: Variant, with its COM type tags, and SafeArray.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "talvex/bstr.h"
#include "talvex/com_error.h"
#include "talvex/ref.h"

namespace tlx {

// COM type tags (the values of VARTYPE).
enum VarType : uint16_t {
  vtEmpty = 0,
  vtNull = 1,
  vtI2 = 2,
  vtI4 = 3,
  vtR4 = 4,
  vtR8 = 5,
  vtCurrency = 6,
  vtDate = 7,
  vtString = 8,
  vtDispatch = 9,
  vtError = 10,
  vtBoolean = 11,
  vtVariant = 12,
  vtUI1 = 17,
  vtArray = 0x2000,
};

class Dispatch;
class SafeArray;
using ObjRef = Ref<Dispatch>;

// Tag types for the constructors whose C++ type is shared with another tag.
struct Currency {
  int64_t scaled;  // value times 10,000
};
struct Date {
  double serial;  // days since 30 Dec 1899, time as the fraction
};
struct ErrorValue {
  HRESULT scode;
};

class Variant {
 public:
  Variant() noexcept : type_(vtEmpty), i8_(0) {}
  Variant(int16_t v) noexcept : type_(vtI2), i8_(0) { i2_ = v; }
  Variant(int32_t v) noexcept : type_(vtI4), i8_(0) { i4_ = v; }
  Variant(float v) noexcept : type_(vtR4), i8_(0) { r4_ = v; }
  Variant(double v) noexcept : type_(vtR8) { r8_ = v; }
  Variant(bool v) noexcept : type_(vtBoolean), i8_(0) { bool_ = v; }
  Variant(uint8_t v) noexcept : type_(vtUI1), i8_(0) { ui1_ = v; }
  Variant(Currency v) noexcept : type_(vtCurrency) { i8_ = v.scaled; }
  Variant(Date v) noexcept : type_(vtDate) { r8_ = v.serial; }
  Variant(ErrorValue v) noexcept : type_(vtError), i8_(0) { i4_ = v.scode; }
  Variant(BStr s) : type_(vtString) { new (&str_) BStr(std::move(s)); }
  Variant(const char16_t* s) : Variant(BStr(s)) {}
  Variant(std::u16string_view s) : Variant(BStr(s)) {}
  Variant(const std::u16string& s) : Variant(BStr(s)) {}
  Variant(const char* utf8);  // convenience: UTF-8 text becomes a 16-bit string
  Variant(ObjRef obj) noexcept;  // an empty reference gives a Dispatch Variant holding Nothing
  Variant(std::nullptr_t) = delete;  // say Variant::null() or Variant(ObjRef()) (Nothing)
  // An array Variant takes the array over; element type comes from the array.
  explicit Variant(std::unique_ptr<SafeArray> array) noexcept;

  static Variant null() { Variant v; v.type_ = vtNull; return v; }
  // The "missing argument" value: vtError with DISP_E_PARAMNOTFOUND.
  static Variant missing() { return Variant(ErrorValue{hr::DISP_E_PARAMNOTFOUND}); }
  // A dynamic array that was declared but never dimensioned: holds an array, with no storage.
  static Variant unallocatedArray(VarType elementType = vtVariant);

  Variant(const Variant& other);
  Variant(Variant&& other) noexcept;
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept;
  ~Variant() { reset(); }

  VarType type() const { return type_; }          // with the vtArray flag, if any
  VarType baseType() const { return VarType(type_ & ~vtArray); }
  bool isEmpty() const { return type_ == vtEmpty; }
  bool isNull() const { return type_ == vtNull; }
  bool isMissing() const { return type_ == vtError && i4_ == hr::DISP_E_PARAMNOTFOUND; }
  bool isString() const { return type_ == vtString; }
  bool isObject() const { return type_ == vtDispatch; }
  // "Holds an array": the array flag is set, whether or not the array is allocated.
  bool isArray() const { return (type_ & vtArray) != 0; }
  bool isNumeric() const;  // I2, I4, R4, R8, Currency, UI1, Boolean (not Date, not String)

  // Raw access to the stored value; the type must match (no conversion; see convert.h).
  int16_t i2() const { return i2_; }
  int32_t i4() const { return i4_; }
  float r4() const { return r4_; }
  double r8() const { return r8_; }
  int64_t currency() const { return i8_; }
  double date() const { return r8_; }
  bool boolean() const { return bool_; }
  uint8_t ui1() const { return ui1_; }
  HRESULT scode() const { return i4_; }
  const BStr& str() const;  // throws DISP_E_TYPEMISMATCH unless a string
  BStr& str();
  const ObjRef& obj() const;  // throws DISP_E_TYPEMISMATCH unless an object
  SafeArray* array() { return isArray() ? arr_ : nullptr; }  // null when unallocated
  const SafeArray* array() const { return isArray() ? arr_ : nullptr; }
  SafeArray& arrayRef();  // throws DISP_E_TYPEMISMATCH / "Subscript out of range" when none
  const SafeArray& arrayRef() const;

  // Strict equality: same type and same value (arrays compared element by element).
  friend bool operator==(const Variant& a, const Variant& b);
  // Exchanges the two values as they are: nothing a Variant holds depends on its own address.
  friend void swap(Variant& a, Variant& b) noexcept;

 private:
  void reset() noexcept;
  void copyFrom(const Variant& o);
  void stealFrom(Variant& o) noexcept;

  VarType type_;
  union {
    int16_t i2_;
    int32_t i4_;
    float r4_;
    double r8_;
    int64_t i8_;
    bool bool_;
    uint8_t ui1_;
    BStr str_;
    ObjRef obj_;
    SafeArray* arr_;
  };
};
void swap(Variant& a, Variant& b) noexcept;

// The type tag and an 8-byte value, as the platform's VARIANT on 32-bit machines.
static_assert(sizeof(Variant) == 16);

// One dimension of a SafeArray.
struct Bound {
  int32_t lower = 0;
  int32_t count = 0;  // number of elements; upper bound = lower + count - 1
  int32_t upper() const { return lower + count - 1; }
};

// An array of Variants with one to many dimensions, each with its own lower bound.
// Dimension 1 is the leftmost subscript (the row of a two-dimensional array). Elements are stored
// with the leftmost subscript varying fastest, as a SAFEARRAY does, so ReDim Preserve of the last
// dimension keeps every element in place.
class SafeArray {
 public:
  // Bounds are listed dimension 1 first. `elementType` is vtVariant for the control's arrays;
  // other types are kept so that a typed array reports its type.
  SafeArray(std::vector<Bound> bounds, VarType elementType = vtVariant);
  // An array of Variants that takes over elements already built, in storage order (leftmost
  // subscript fastest); their number must match the bounds. Lets a caller prepare the storage of
  // a large array (e.g. have its pages mapped ahead) before the array exists.
  SafeArray(std::vector<Bound> bounds, std::vector<Variant> elements);

  SafeArray(const SafeArray&) = default;
  SafeArray(SafeArray&&) noexcept = default;
  SafeArray& operator=(const SafeArray&) = default;
  SafeArray& operator=(SafeArray&&) noexcept = default;
  ~SafeArray() { clear(); }

  static std::unique_ptr<SafeArray> vector(int32_t count, int32_t lower = 0);  // 1-D
  static std::unique_ptr<SafeArray> matrix(int32_t rows, int32_t cols);        // 2-D, 0-based

  int dims() const { return static_cast<int>(bounds_.size()); }
  VarType elementType() const { return elementType_; }
  // Basic's LBound / UBound; `dim` counts from 1. A bad dimension raises "Subscript out of range".
  int32_t lbound(int dim = 1) const;
  int32_t ubound(int dim = 1) const;
  int32_t count(int dim) const;
  const std::vector<Bound>& bounds() const { return bounds_; }
  size_t size() const { return elements_.size(); }

  // Element access by subscripts, checked ("Subscript out of range" when outside the bounds or
  // when the number of subscripts differs from the number of dimensions).
  Variant& at(int32_t i);
  Variant& at(int32_t r, int32_t c);
  Variant& at(int32_t i, int32_t j, int32_t k);
  Variant& at(std::initializer_list<int32_t> subscripts);
  const Variant& at(int32_t i) const { return const_cast<SafeArray*>(this)->at(i); }
  const Variant& at(int32_t r, int32_t c) const { return const_cast<SafeArray*>(this)->at(r, c); }
  const Variant& at(int32_t i, int32_t j, int32_t k) const {
    return const_cast<SafeArray*>(this)->at(i, j, k);
  }

  // Storage order: leftmost subscript fastest.
  std::vector<Variant>& elements() { return elements_; }
  const std::vector<Variant>& elements() const { return elements_; }

  // Basic's ReDim (contents discarded) and ReDim Preserve (only the last dimension may change;
  // elements inside the new bounds are kept, the rest dropped, new ones Empty).
  void redim(std::vector<Bound> bounds);
  void redimPreserve(std::vector<Bound> bounds);

  friend bool operator==(const SafeArray& a, const SafeArray& b);

 private:
  size_t offset(const int32_t* subscripts, size_t n) const;
  void clear() noexcept;  // drops every element, the strings a block at a time

  std::vector<Bound> bounds_;
  VarType elementType_;
  std::vector<Variant> elements_;
};

// The array a Variant holds, re-dimensioned in place as an array of Variants (ReDim on the
// caller's variable): contents discarded, lower bounds as given.
SafeArray& redimVariant(Variant& v, std::vector<Bound> bounds);
// ReDim Preserve on the caller's variable: allocates when the Variant's array is unallocated.
SafeArray& redimPreserveVariant(Variant& v, std::vector<Bound> bounds);

}  // namespace tlx
