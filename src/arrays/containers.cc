// Two-dimensional arrays to and from Dictionary and Collection objects, through their members.
#include "arrays/arrays.h"
#include "talvex/convert.h"

namespace tlx {

namespace {

constexpr HRESULT kSubscriptOutOfRange = hr::basicError(9);

bool isCollection(const ObjRef& obj) { return obj && obj->supports(iid::Collection); }

void requireObject(const ObjRef& obj) {
  if (!obj) throw ComError(hr::OBJECT_VARIABLE_NOT_SET, "Object variable or With block variable not set");
}

// The first of the two columns, held in a 16-bit integer; the second one follows it.
int16_t firstColumn(const SafeArray& a) {
  int32_t L = a.lbound(2);
  if (L < -32768 || L + 1 > 32767) throw ComError(hr::basicError(6), "Overflow");
  return static_cast<int16_t>(L);
}

// The elements of the array a container member returned, in index order.
std::vector<Variant> listOf(const Variant& v) {
  const SafeArray& a = v.arrayRef();
  std::vector<Variant> out;
  for (int32_t i = a.lbound(1), last = a.ubound(1); i <= last; ++i) out.push_back(a.at(i));
  return out;
}

SafeArray& redimRows(Variant& varArray, int32_t n, int32_t columns) {
  if (n < 1) throw ComError(kSubscriptOutOfRange, "Subscript out of range");
  if (columns == 0) return redimVariant(varArray, {Bound{0, n}});
  return redimVariant(varArray, {Bound{0, n}, Bound{0, columns}});
}

}  // namespace

int16_t TwoDArrayToDictionary(Variant& varArray, const ObjRef& dt) {
  if (!varArray.isArray()) return -1;
  try {
    const SafeArray& a = varArray.arrayRef();
    const int16_t L = firstColumn(a);
    for (int32_t r = a.lbound(1), last = a.ubound(1); r <= last; ++r) {
      requireObject(dt);
      callMethod(dt, "Add", {a.at(r, L), Variant(toBStr(a.at(r, L + 1)))});
    }
    return 1;
  } catch (...) {
    return -2;
  }
}

int16_t TwoDArrayToCollection(Variant& varArray, const ObjRef& cl) {
  if (!varArray.isArray()) return -1;
  if (!isCollection(cl)) return -2;
  try {
    const SafeArray& a = varArray.arrayRef();
    const int16_t L = firstColumn(a);
    for (int32_t r = a.lbound(1), last = a.ubound(1); r <= last; ++r)
      callMethod(cl, "Add", {a.at(r, L), Variant(toBStr(a.at(r, L + 1)))});
    return 1;
  } catch (...) {
    return -3;
  }
}

int16_t DictionaryToArray(const ObjRef& dt, Variant& varArray, bool blnIncludeKeys) {
  if (!varArray.isArray()) return -1;
  try {
    requireObject(dt);
    const int32_t n = toI4(getProperty(dt, "Count"));
    if (blnIncludeKeys) {
      SafeArray& a = redimRows(varArray, n, 2);
      int32_t i = 0;
      for (Variant& key : listOf(callMethod(dt, "Keys"))) a.at(i++, 0) = std::move(key);
      i = 0;
      for (Variant& item : listOf(callMethod(dt, "Items"))) a.at(i++, 1) = std::move(item);
    } else {
      SafeArray& a = redimRows(varArray, n, 0);
      int32_t i = 0;
      for (Variant& item : listOf(callMethod(dt, "Items"))) a.at(i++) = std::move(item);
    }
    return 1;
  } catch (...) {
    return -2;
  }
}

int16_t CollectionToOneDArray(const ObjRef& cl, Variant& varArray) {
  if (!isCollection(cl)) return -1;
  if (!varArray.isArray()) return -2;
  try {
    const int32_t n = toI4(getProperty(cl, "Count"));
    SafeArray& a = redimRows(varArray, n, 0);
    int32_t i = 0;
    for (Variant& item : cl->enumerate()) a.at(i++) = std::move(item);
    return 1;
  } catch (...) {
    return -3;
  }
}

}  // namespace tlx
