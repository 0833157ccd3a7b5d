#include "talvex/variant.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "talvex/dispatch.h"
#include "automation/strings.h"

namespace tlx {

namespace {

[[noreturn]] void typeMismatch() { throw ComError(hr::DISP_E_TYPEMISMATCH); }
[[noreturn]] void subscriptOutOfRange() { throw ComError(hr::DISP_E_BADINDEX); }

}  // namespace

Variant::Variant(const char* utf8) : Variant(u16(utf8)) {}

Variant::Variant(ObjRef obj) noexcept : type_(vtDispatch), i8_(0) { new (&obj_) ObjRef(std::move(obj)); }

Variant::Variant(std::unique_ptr<SafeArray> array) noexcept
    : type_(VarType(vtArray | (array ? array->elementType() : vtVariant))), i8_(0) {
  arr_ = array.release();
}

Variant Variant::unallocatedArray(VarType elementType) {
  Variant v;
  v.type_ = VarType(vtArray | elementType);
  v.arr_ = nullptr;
  return v;
}

Variant::Variant(const Variant& o) : type_(vtEmpty), i8_(0) { copyFrom(o); }

Variant::Variant(Variant&& o) noexcept : type_(vtEmpty), i8_(0) { stealFrom(o); }

Variant& Variant::operator=(const Variant& o) {
  if (this != &o) {
    Variant copy(o);
    reset();
    stealFrom(copy);
  }
  return *this;
}

Variant& Variant::operator=(Variant&& o) noexcept {
  if (this != &o) {
    reset();
    stealFrom(o);
  }
  return *this;
}

void Variant::copyFrom(const Variant& o) {
  if (o.type_ == vtString) {
    new (&str_) BStr(o.str_);
  } else if (o.type_ == vtDispatch) {
    new (&obj_) ObjRef(o.obj_);
  } else if (o.isArray()) {
    arr_ = o.arr_ ? new SafeArray(*o.arr_) : nullptr;
  } else {
    i8_ = o.i8_;
  }
  type_ = o.type_;
}

// Takes over what `o` holds and leaves `o` Empty. `this` must be Empty.
void Variant::stealFrom(Variant& o) noexcept {
  if (o.type_ == vtString) {
    new (&str_) BStr(std::move(o.str_));
    o.str_.~BStr();
  } else if (o.type_ == vtDispatch) {
    new (&obj_) ObjRef(std::move(o.obj_));
    o.obj_.~ObjRef();
  } else {
    i8_ = o.i8_;  // scalars, and the array pointer handed over
  }
  type_ = o.type_;
  o.type_ = vtEmpty;
  o.i8_ = 0;
}

void Variant::reset() noexcept {
  if (type_ == vtString) {
    str_.~BStr();
  } else if (type_ == vtDispatch) {
    obj_.~ObjRef();
  } else if (isArray()) {
    delete arr_;
  }
  type_ = vtEmpty;
  i8_ = 0;
}

void swap(Variant& a, Variant& b) noexcept {
  alignas(Variant) unsigned char t[sizeof(Variant)];
  std::memcpy(t, static_cast<void*>(&a), sizeof(Variant));
  std::memcpy(static_cast<void*>(&a), &b, sizeof(Variant));
  std::memcpy(static_cast<void*>(&b), t, sizeof(Variant));
}

bool Variant::isNumeric() const {
  switch (type_) {
    case vtI2: case vtI4: case vtR4: case vtR8: case vtCurrency: case vtUI1: case vtBoolean:
      return true;
    default:
      return false;
  }
}

const BStr& Variant::str() const {
  if (type_ != vtString) typeMismatch();
  return str_;
}

BStr& Variant::str() {
  if (type_ != vtString) typeMismatch();
  return str_;
}

const ObjRef& Variant::obj() const {
  if (type_ != vtDispatch) typeMismatch();
  return obj_;
}

SafeArray& Variant::arrayRef() {
  if (!isArray()) typeMismatch();
  if (!arr_) subscriptOutOfRange();
  return *arr_;
}

const SafeArray& Variant::arrayRef() const { return const_cast<Variant*>(this)->arrayRef(); }

bool operator==(const Variant& a, const Variant& b) {
  if (a.type_ != b.type_) return false;
  switch (a.type_) {
    case vtEmpty: case vtNull: return true;
    case vtI2: return a.i2_ == b.i2_;
    case vtI4: case vtError: return a.i4_ == b.i4_;
    case vtR4: return a.r4_ == b.r4_;
    case vtR8: case vtDate: return a.r8_ == b.r8_;
    case vtCurrency: return a.i8_ == b.i8_;
    case vtBoolean: return a.bool_ == b.bool_;
    case vtUI1: return a.ui1_ == b.ui1_;
    case vtString: return a.str_ == b.str_;
    case vtDispatch: return a.obj_.get() == b.obj_.get();
    default:
      if (a.isArray()) {
        if (!a.arr_ || !b.arr_) return a.arr_ == b.arr_;
        return *a.arr_ == *b.arr_;
      }
      return false;
  }
}

// ---- SafeArray ----

SafeArray::SafeArray(std::vector<Bound> bounds, VarType elementType)
    : bounds_(std::move(bounds)), elementType_(elementType) {
  size_t n = 1;
  for (const Bound& b : bounds_) {
    if (b.count < 0) subscriptOutOfRange();
    n *= static_cast<size_t>(b.count);
  }
  if (bounds_.empty()) n = 0;
  elements_.resize(n);
}

SafeArray::SafeArray(std::vector<Bound> bounds, std::vector<Variant> elements)
    : bounds_(std::move(bounds)), elementType_(vtVariant) {
  size_t n = 1;
  for (const Bound& b : bounds_) {
    if (b.count < 0) subscriptOutOfRange();
    n *= static_cast<size_t>(b.count);
  }
  if (bounds_.empty()) n = 0;
  if (elements.size() != n) subscriptOutOfRange();
  elements_ = std::move(elements);
}

std::unique_ptr<SafeArray> SafeArray::vector(int32_t count, int32_t lower) {
  return std::make_unique<SafeArray>(std::vector<Bound>{{lower, count}});
}

std::unique_ptr<SafeArray> SafeArray::matrix(int32_t rows, int32_t cols) {
  return std::make_unique<SafeArray>(std::vector<Bound>{{0, rows}, {0, cols}});
}

int32_t SafeArray::lbound(int dim) const {
  if (dim < 1 || dim > dims()) subscriptOutOfRange();
  return bounds_[dim - 1].lower;
}

int32_t SafeArray::ubound(int dim) const {
  if (dim < 1 || dim > dims()) subscriptOutOfRange();
  return bounds_[dim - 1].upper();
}

int32_t SafeArray::count(int dim) const {
  if (dim < 1 || dim > dims()) subscriptOutOfRange();
  return bounds_[dim - 1].count;
}

size_t SafeArray::offset(const int32_t* subscripts, size_t n) const {
  if (n != bounds_.size()) subscriptOutOfRange();
  size_t off = 0, stride = 1;
  for (size_t d = 0; d < n; ++d) {
    int64_t i = int64_t(subscripts[d]) - bounds_[d].lower;
    if (i < 0 || i >= bounds_[d].count) subscriptOutOfRange();
    off += static_cast<size_t>(i) * stride;
    stride *= static_cast<size_t>(bounds_[d].count);
  }
  return off;
}

Variant& SafeArray::at(int32_t i) { return elements_[offset(&i, 1)]; }

Variant& SafeArray::at(int32_t r, int32_t c) {
  const int32_t s[2] = {r, c};
  return elements_[offset(s, 2)];
}

Variant& SafeArray::at(int32_t i, int32_t j, int32_t k) {
  const int32_t s[3] = {i, j, k};
  return elements_[offset(s, 3)];
}

Variant& SafeArray::at(std::initializer_list<int32_t> subscripts) {
  return elements_[offset(subscripts.begin(), subscripts.size())];
}

void SafeArray::clear() noexcept {
  BStrBatchRelease strings;
  for (Variant& e : elements_)
    if (e.isString()) strings.add(e.str());
  elements_.clear();
}

void SafeArray::redim(std::vector<Bound> bounds) {
  SafeArray fresh(std::move(bounds), elementType_);
  clear();
  *this = std::move(fresh);
}

void SafeArray::redimPreserve(std::vector<Bound> bounds) {
  if (bounds.size() != bounds_.size()) subscriptOutOfRange();
  for (size_t d = 0; d + 1 < bounds.size(); ++d)
    if (bounds[d].lower != bounds_[d].lower || bounds[d].count != bounds_[d].count) subscriptOutOfRange();
  if (!bounds.empty() && bounds.back().lower != bounds_.back().lower) subscriptOutOfRange();
  // Leftmost subscript fastest: changing the last dimension only truncates or extends storage.
  size_t n = 1;
  for (const Bound& b : bounds) {
    if (b.count < 0) subscriptOutOfRange();
    n *= static_cast<size_t>(b.count);
  }
  bounds_ = std::move(bounds);
  elements_.resize(n);
}

bool operator==(const SafeArray& a, const SafeArray& b) {
  if (a.bounds_.size() != b.bounds_.size()) return false;
  for (size_t d = 0; d < a.bounds_.size(); ++d)
    if (a.bounds_[d].lower != b.bounds_[d].lower || a.bounds_[d].count != b.bounds_[d].count) return false;
  return a.elements_ == b.elements_;
}

SafeArray& redimVariant(Variant& v, std::vector<Bound> bounds) {
  v = Variant(std::make_unique<SafeArray>(std::move(bounds)));
  return *v.array();
}

SafeArray& redimPreserveVariant(Variant& v, std::vector<Bound> bounds) {
  SafeArray* a = v.array();
  if (!a || a->elementType() != vtVariant) {
    // Nothing to keep (or another element type): a fresh array, keeping what fits when typed.
    auto fresh = std::make_unique<SafeArray>(bounds);
    if (a && a->dims() == static_cast<int>(bounds.size())) {
      SafeArray copy = *a;
      copy.redimPreserve(std::move(bounds));
      fresh->elements() = std::move(copy.elements());
    }
    v = Variant(std::move(fresh));
    return *v.array();
  }
  a->redimPreserve(std::move(bounds));
  return *a;
}

}  // namespace tlx
