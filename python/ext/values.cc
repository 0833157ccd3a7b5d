#include "values.h"

#include <datetime.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <string>

#include <pybind11/pybind11.h>

#include "talvex/convert.h"
#include "talvex/dispatch.h"
#include "automation/strings.h"

namespace py = pybind11;

namespace tlx::python {

namespace {

struct ValueTypes {
  PyObject* array;       // talvex.Array
  PyObject* ref;         // talvex.Ref
  PyObject* errorValue;  // talvex.ErrorValue
  PyObject* empty;
  PyObject* missing;
  PyObject* nothing;
  PyObject* decimal;     // decimal.Decimal
  PyObject* comError;
};
ValueTypes types;

[[noreturn]] void raise(PyObject* type, const std::string& message) {
  PyErr_SetString(type, message.c_str());
  throw py::error_already_set();
}

PyObject* checked(PyObject* made) {
  if (!made) throw py::error_already_set();
  return made;
}

// ---- Python to Variant ------------------------------------------------------------------------

BStr bstrOf(PyObject* text) {
  const Py_ssize_t n = PyUnicode_GET_LENGTH(text);
  const int kind = PyUnicode_KIND(text);
  const void* data = PyUnicode_DATA(text);
  if (kind == PyUnicode_2BYTE_KIND) return BStr(std::u16string_view(static_cast<const char16_t*>(data), size_t(n)));
  size_t units = size_t(n);
  if (kind == PyUnicode_4BYTE_KIND)
    for (Py_ssize_t i = 0; i < n; ++i) units += static_cast<const Py_UCS4*>(data)[i] > 0xFFFF;
  BStr s = BStr::ofLength(units);
  char16_t* out = s.mutableData();
  if (kind == PyUnicode_1BYTE_KIND) {
    const Py_UCS1* in = static_cast<const Py_UCS1*>(data);
    for (Py_ssize_t i = 0; i < n; ++i) out[i] = in[i];
    return s;
  }
  for (Py_ssize_t i = 0; i < n; ++i) {
    const Py_UCS4 c = static_cast<const Py_UCS4*>(data)[i];
    if (c > 0xFFFF) {
      *out++ = char16_t(0xD800 + ((c - 0x10000) >> 10));
      *out++ = char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      *out++ = char16_t(c);
    }
  }
  return s;
}

Variant integerOf(PyObject* value) {
  int overflow = 0;
  const long long n = PyLong_AsLongLongAndOverflow(value, &overflow);
  if (n == -1 && PyErr_Occurred()) throw py::error_already_set();
  if (!overflow && n >= INT16_MIN && n <= INT16_MAX) return Variant(int16_t(n));
  if (!overflow && n >= INT32_MIN && n <= INT32_MAX) return Variant(int32_t(n));
  // Wider integers travel as Doubles, as in the host protocol.
  const double d = PyLong_AsDouble(value);
  if (d == -1.0 && PyErr_Occurred()) throw py::error_already_set();
  return Variant(d);
}

void checkYear(int year) {
  if (year < 100 || year > 9999) raise(PyExc_OverflowError, "a date must lie between the years 100 and 9999");
}

Variant dateOf(PyObject* value) {
  checkYear(PyDateTime_GET_YEAR(value));
  if (!PyDateTime_Check(value))
    return Variant(Date{makeDate(PyDateTime_GET_YEAR(value), PyDateTime_GET_MONTH(value), PyDateTime_GET_DAY(value))});
  const double seconds = PyDateTime_DATE_GET_SECOND(value) + PyDateTime_DATE_GET_MICROSECOND(value) / 1e6;
  return Variant(Date{makeDate(PyDateTime_GET_YEAR(value), PyDateTime_GET_MONTH(value), PyDateTime_GET_DAY(value),
                               PyDateTime_DATE_GET_HOUR(value), PyDateTime_DATE_GET_MINUTE(value), seconds)});
}

Variant currencyOf(PyObject* value) {
  py::str text = py::reinterpret_steal<py::str>(checked(PyObject_Str(value)));
  try {
    return changeType(Variant(bstrOf(text.ptr())), vtCurrency);
  } catch (const ComError& e) {
    if (e.number() == hr::DISP_E_OVERFLOW) raise(PyExc_OverflowError, "a Decimal out of the Currency range");
    raise(PyExc_ValueError, "a Decimal that is no Currency value: " + std::string(text));
  }
}

Variant bytesOf(PyObject* value) {
  Py_buffer view;
  if (PyObject_GetBuffer(value, &view, PyBUF_SIMPLE) != 0) throw py::error_already_set();
  const auto* bytes = static_cast<const uint8_t*>(view.buf);
  if (view.len > INT32_MAX) {
    PyBuffer_Release(&view);
    raise(PyExc_OverflowError, "too many bytes for one array");
  }
  auto a = std::make_unique<SafeArray>(std::vector<Bound>{{0, int32_t(view.len)}}, vtUI1);
  for (Py_ssize_t i = 0; i < view.len; ++i) a->elements()[size_t(i)] = Variant(bytes[i]);
  PyBuffer_Release(&view);
  return Variant(std::move(a));
}

Variant toVariant(PyObject* value, int depth);

bool isArrayObject(PyObject* value) { return PyObject_TypeCheck(value, (PyTypeObject*)types.array); }

// The element counts of a rectangular nest of lists (or tuples), `dims` deep, outermost first;
// false when it is not rectangular that deep. Below the top, a talvex.Array is an element.
bool shapeOf(PyObject* value, int dims, std::vector<int32_t>& counts) {
  counts.assign(size_t(dims), -1);
  auto walk = [&](auto& self, PyObject* v, int level) -> bool {
    if (!(PyList_Check(v) || PyTuple_Check(v)) || (level > 0 && isArrayObject(v))) return false;
    const Py_ssize_t n = PySequence_Fast_GET_SIZE(v);
    if (n > INT32_MAX) return false;
    if (counts[size_t(level)] < 0) counts[size_t(level)] = int32_t(n);
    if (counts[size_t(level)] != n) return false;
    if (level + 1 == dims) return true;
    PyObject** items = PySequence_Fast_ITEMS(v);
    for (Py_ssize_t i = 0; i < n; ++i)
      if (!self(self, items[i], level + 1)) return false;
    return true;
  };
  return walk(walk, value, 0);
}

// Fills `a` from nested sequences of the given shape (dimension 1 outermost), element (i, j, ...)
// at subscripts lower + (i, j, ...). Depth counts lists, so a 2-D array takes two levels.
void fillFrom(PyObject* value, SafeArray& a, int depth) {
  const int dims = a.dims();
  std::vector<size_t> stride(size_t(dims), 1);
  for (int d = 1; d < dims; ++d) stride[size_t(d)] = stride[size_t(d) - 1] * size_t(a.count(d));
  auto walk = [&](auto& self, PyObject* v, int level, size_t offset) -> void {
    const Py_ssize_t n = PySequence_Fast_GET_SIZE(v);
    PyObject** items = PySequence_Fast_ITEMS(v);
    for (Py_ssize_t i = 0; i < n; ++i) {
      const size_t at = offset + size_t(i) * stride[size_t(level)];
      if (level + 1 == dims) a.elements()[at] = toVariant(items[i], depth + dims);
      else self(self, items[i], level + 1, at);
    }
  };
  walk(walk, value, 0, 0);
}

[[noreturn]] void tooDeep() {
  raise(PyExc_ValueError, "arrays nest deeper than " + std::to_string(kMaxDepth) + " levels");
}

// A list of rows of one length is a 2-D array; any other list or tuple a 1-D array.
Variant arrayOfSequence(PyObject* value, int depth) {
  std::vector<int32_t> counts;
  const Py_ssize_t n = PySequence_Fast_GET_SIZE(value);
  if (n > INT32_MAX) raise(PyExc_OverflowError, "too many elements for one array");
  const bool rows = n > 0 && shapeOf(value, 2, counts) && counts[1] > 0;
  if (!rows) counts = {int32_t(n)};
  std::vector<Bound> bounds;
  for (int32_t c : counts) bounds.push_back({0, c});
  auto a = std::make_unique<SafeArray>(std::move(bounds));
  fillFrom(value, *a, depth);
  return Variant(std::move(a));
}

std::vector<int32_t> intsOf(PyObject* sequence, const char* what) {
  py::object items = py::reinterpret_steal<py::object>(checked(PySequence_Fast(sequence, what)));
  std::vector<int32_t> out;
  for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(items.ptr()); ++i) {
    const long n = PyLong_AsLong(PySequence_Fast_ITEMS(items.ptr())[i]);
    if (n == -1 && PyErr_Occurred()) throw py::error_already_set();
    if (n < INT32_MIN / 2 || n > INT32_MAX / 2) raise(PyExc_OverflowError, std::string(what) + " out of range");
    out.push_back(int32_t(n));
  }
  return out;
}

// talvex.Array: nested lists `dims` deep with a lower bound per dimension, or unallocated.
Variant arrayOfArray(PyObject* value, int depth) {
  py::handle v(value);
  if (!v.attr("allocated").cast<bool>()) return Variant::unallocatedArray();
  const int dims = v.attr("dims").cast<int>();
  if (dims < 1 || dims > 60) raise(PyExc_ValueError, "an Array has 1 to 60 dimensions");
  const std::vector<int32_t> lower = intsOf(v.attr("lbound").ptr(), "lbound");
  std::vector<int32_t> counts;
  if (int(lower.size()) != dims) raise(PyExc_ValueError, "an Array needs one lower bound per dimension");
  if (PySequence_Fast_GET_SIZE(value) == 0) counts.assign(size_t(dims), 0);
  else if (!shapeOf(value, dims, counts)) raise(PyExc_ValueError, "an Array's lists must be rectangular");
  std::vector<Bound> bounds;
  for (int d = 0; d < dims; ++d) bounds.push_back({lower[size_t(d)], counts[size_t(d)]});
  auto a = std::make_unique<SafeArray>(std::move(bounds));
  if (a->size()) fillFrom(value, *a, depth);
  return Variant(std::move(a));
}

Variant toVariant(PyObject* value, int depth) {
  if (depth > kMaxDepth) tooDeep();
  if (PyUnicode_CheckExact(value)) return Variant(bstrOf(value));
  if (value == Py_None) return Variant::null();
  if (PyBool_Check(value)) return Variant(value == Py_True);
  if (PyFloat_CheckExact(value)) return Variant(PyFloat_AS_DOUBLE(value));
  if (PyObject_TypeCheck(value, (PyTypeObject*)types.errorValue))
    return Variant(ErrorValue{HRESULT(PyLong_AsUnsignedLongMask(value))});
  if (PyLong_Check(value)) return integerOf(value);
  if (isArrayObject(value)) return arrayOfArray(value, depth);
  if (PyList_Check(value) || PyTuple_Check(value)) return arrayOfSequence(value, depth);
  if (PyUnicode_Check(value)) return Variant(bstrOf(value));
  if (PyFloat_Check(value)) return Variant(PyFloat_AsDouble(value));
  if (value == types.empty) return Variant();
  if (value == types.missing) return Variant::missing();
  if (value == types.nothing) return Variant(ObjRef());
  if (PyDate_Check(value)) return dateOf(value);
  if (PyObject_TypeCheck(value, (PyTypeObject*)types.decimal)) return currencyOf(value);
  if (PyBytes_Check(value) || PyByteArray_Check(value) || PyMemoryView_Check(value)) return bytesOf(value);
  if (const ObjRef* obj = proxiedObject(value)) return Variant(*obj);
  if (PyObject_TypeCheck(value, (PyTypeObject*)types.ref))
    raise(PyExc_TypeError, "talvex.Ref is an argument of its own, not a value inside another");
  raise(PyExc_TypeError, std::string("talvex cannot pass a ") + Py_TYPE(value)->tp_name);
}

// ---- Variant to Python ------------------------------------------------------------------------

PyObject* fromText(const char16_t* s, size_t n) {
  char16_t any = 0;  // every bit set in some character: tells the narrowest kind that holds them
  for (size_t i = 0; i < n; ++i) any |= s[i];
  if (any < 0x100) {
    if (n == 1) return PyUnicode_FromOrdinal(s[0]);  // Python's shared one-character strings
    PyObject* u = PyUnicode_New(Py_ssize_t(n), any < 0x80 ? 0x7F : 0xFF);
    if (!u) return nullptr;
    Py_UCS1* out = PyUnicode_1BYTE_DATA(u);
    for (size_t i = 0; i < n; ++i) out[i] = Py_UCS1(s[i]);
    return u;
  }
  for (size_t i = 0; i < n; ++i)
    if (s[i] >= 0xD800 && s[i] <= 0xDFFF) {
      // Pairs become one character; a lone surrogate stays as it is, as the Variant holds it.
      int order = -1;
      return PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(s), Py_ssize_t(n * 2), "surrogatepass", &order);
    }
  PyObject* u = PyUnicode_New(Py_ssize_t(n), 0xFFFF);
  if (u) std::copy(s, s + n, reinterpret_cast<char16_t*>(PyUnicode_2BYTE_DATA(u)));
  return u;
}

PyObject* fromDate(double serial) {
  CivilTime t;
  try {
    t = splitDate(serial);
  } catch (const ComError&) {
    PyErr_SetString(PyExc_OverflowError, "a Date outside the years 100 to 9999");
    return nullptr;
  }
  return PyDateTime_FromDateAndTime(t.year, t.month, t.day, t.hour, t.minute, t.second, 0);
}

PyObject* callType(PyObject* type, PyObject* args, PyObject* kwargs = nullptr) {
  if (!args) return nullptr;
  PyObject* made = PyObject_Call(type, args, kwargs);
  Py_DECREF(args);
  return made;
}

PyObject* fromScalar(Variant& v) {
  switch (v.type()) {
    case vtEmpty: return Py_NewRef(types.empty);
    case vtNull: Py_RETURN_NONE;
    case vtI2: return PyLong_FromLong(v.i2());
    case vtI4: return PyLong_FromLong(v.i4());
    case vtUI1: return PyLong_FromLong(v.ui1());
    case vtR4: return PyFloat_FromDouble(v.r4());
    case vtR8: return PyFloat_FromDouble(v.r8());
    case vtBoolean: return PyBool_FromLong(v.boolean());
    case vtString: return fromText(v.str().data(), v.str().size());
    case vtDate: return fromDate(v.date());
    case vtCurrency: {
      const std::string text = u8(toBStr(v));
      return callType(types.decimal, Py_BuildValue("(s)", text.c_str()));
    }
    case vtError:
      if (v.isMissing()) return Py_NewRef(types.missing);
      return callType(types.errorValue, Py_BuildValue("(l)", long(v.scode())));
    case vtDispatch: return v.obj() ? proxyOf(v.obj()) : Py_NewRef(types.nothing);
    default: return PyErr_Format(PyExc_TypeError, "a Variant of type %d has no Python form", int(v.type()));
  }
}

// Repeated short texts (categories, dates, codes) become one shared str: a Python string cannot
// change, so the sharing is invisible, and most of converting a big array is allocating strings.
class TextCache {
 public:
  TextCache() : slots_(kSlots) {}
  TextCache(const TextCache&) = delete;
  TextCache& operator=(const TextCache&) = delete;
  ~TextCache() {
    for (Slot& slot : slots_) Py_XDECREF(slot.text);
  }

  // `lane` is the element's column: columns differ in how often their texts repeat.
  PyObject* get(const char16_t* s, size_t n, size_t lane) {
    Lane& l = lanes_[lane % kLanes];
    if (n < 2 || n > kLongest || !l.worthIt()) return fromText(s, n);
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < n; ++i) hash = (hash ^ s[i]) * 16777619u;
    Slot& slot = slots_[hash & (kSlots - 1)];
    if (slot.text && slot.hash == hash && sameText(slot.text, s, n)) return ++l.hits, Py_NewRef(slot.text);
    PyObject* made = fromText(s, n);
    if (!made) return nullptr;
    Py_XSETREF(slot.text, Py_NewRef(made));
    slot.hash = hash;
    return made;
  }

 private:
  static constexpr size_t kSlots = size_t(1) << 14, kLongest = 32, kLanes = 256;
  struct Slot {
    uint32_t hash = 0;
    PyObject* text = nullptr;
  };

  // Texts that hardly ever repeat (names, keys, amounts) pay for the hashing, and push the ones
  // that do out of the cache: after a trial with fewer than one hit in sixteen, a column's texts
  // go past it.
  struct Lane {
    static constexpr size_t kTrial = 4096;
    size_t tried = 0, hits = 0;
    bool worthIt() { return tried < kTrial ? (++tried, true) : hits >= kTrial / 16; }
  };

  static bool sameText(PyObject* text, const char16_t* s, size_t n) {
    if (size_t(PyUnicode_GET_LENGTH(text)) != n) return false;
    if (PyUnicode_KIND(text) == PyUnicode_1BYTE_KIND)
      return std::equal(s, s + n, PyUnicode_1BYTE_DATA(text), [](char16_t a, Py_UCS1 b) { return a == b; });
    const int kind = PyUnicode_KIND(text);
    const void* data = PyUnicode_DATA(text);
    for (size_t i = 0; i < n; ++i)
      if (PyUnicode_READ(kind, data, i) != s[i]) return false;
    return true;
  }

  std::vector<Slot> slots_;
  std::array<Lane, kLanes> lanes_{};
};

// Dates repeat as texts do (days of orders, of bookings): one shared datetime per day and time,
// which cannot change either.
class DateCache {
 public:
  DateCache() : slots_(kSlots) {}
  DateCache(const DateCache&) = delete;
  DateCache& operator=(const DateCache&) = delete;
  ~DateCache() {
    for (Slot& slot : slots_) Py_XDECREF(slot.date);
  }

  PyObject* get(double serial) {
    uint64_t bits;
    std::memcpy(&bits, &serial, sizeof bits);
    Slot& slot = slots_[(bits * 0x9E3779B97F4A7C15u) >> (64 - kBits)];
    if (slot.date && slot.bits == bits) return Py_NewRef(slot.date);
    PyObject* made = fromDate(serial);
    if (!made) return nullptr;
    Py_XSETREF(slot.date, Py_NewRef(made));
    slot.bits = bits;
    return made;
  }

 private:
  static constexpr int kBits = 14;
  static constexpr size_t kSlots = size_t(1) << kBits;
  struct Slot {
    uint64_t bits = 0;
    PyObject* date = nullptr;
  };
  std::vector<Slot> slots_;
};

// Takes an array's elements over as they are converted, and gives back to the system the pages
// of its storage that conversion has passed: a zeroed Variant is Empty, so what the array
// destroys later costs nothing. Without this a 13-million-field array would be held in full
// beside the Python lists made from it.
class Drain {
 public:
  explicit Drain(SafeArray& a) : first_(a.elements().data()), size_(a.size()) {
    if (size_ >= kCacheFrom) texts_ = std::make_unique<TextCache>(), dates_ = std::make_unique<DateCache>();
  }

  PyObject* take(size_t i, size_t lane = 0) {
    Variant& v = first_[i];
    if (v.isString()) {
      const BStr& text = v.str();
      PyObject* out = texts_ ? texts_->get(text.data(), text.size(), lane) : fromText(text.data(), text.size());
      strings_.add(v.str());
      return out;
    }
    PyObject* out = v.isArray()                        ? toPython(std::move(v))
                    : dates_ && v.type() == vtDate ? dates_->get(v.date())
                                                   : fromScalar(v);
    v = Variant();
    return out;
  }
  // Elements [from, to) are taken: the whole pages among them are given back.
  void passed(size_t from, size_t to) {
    if (size_ * sizeof(Variant) < kWorthIt) return;
    static const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(first_ + from) + page - 1) & ~(page - 1);
    const uintptr_t end = reinterpret_cast<uintptr_t>(first_ + to) & ~(page - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
  }

 private:
  static constexpr size_t kWorthIt = size_t(64) << 20, kCacheFrom = 4096;
  Variant* first_;
  size_t size_;
  BStrBatchRelease strings_;
  std::unique_ptr<TextCache> texts_;
  std::unique_ptr<DateCache> dates_;
};

}  // namespace

Variant toVariant(PyObject* value) { return toVariant(value, 0); }

namespace {

// A 1-D array as a list, its storage given back as it is passed.
PyObject* itemsOf(Drain& drain, const SafeArray& a) {
  const size_t n = a.size();
  PyObject* out = PyList_New(Py_ssize_t(n));
  if (!out) return nullptr;
  for (size_t i = 0; i < n; ++i) {
    PyObject* item = drain.take(i);
    if (!item) return Py_DECREF(out), nullptr;
    PyList_SET_ITEM(out, Py_ssize_t(i), item);
    if ((i + 1) % 65536 == 0 || i + 1 == n) drain.passed(i + 1 - (i % 65536 + 1), i + 1);
  }
  return out;
}

// Lists of lists, dimension 1 outermost; `stride` elements apart in storage per level.
PyObject* nestedLists(Drain& drain, const SafeArray& a, int level, size_t offset, std::vector<size_t>& stride) {
  const int32_t n = a.count(level + 1);
  PyObject* list = PyList_New(n);
  if (!list) return nullptr;
  for (int32_t i = 0; i < n; ++i) {
    const size_t at = offset + size_t(i) * stride[size_t(level)];
    PyObject* item = level + 1 == a.dims() ? drain.take(at) : nestedLists(drain, a, level + 1, at, stride);
    if (!item) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SET_ITEM(list, i, item);
  }
  return list;
}

// A 2-D array as rows. Storage runs down the columns, so each row reads one element from each of
// them: as many steady streams as columns, which the cache follows. Every few thousand rows the
// storage passed in every column is given back.
PyObject* rowsOf(Drain& drain, const SafeArray& a) {
  const size_t rows = size_t(a.count(1)), cols = size_t(a.count(2));
  PyObject* out = PyList_New(Py_ssize_t(rows));
  if (!out) return nullptr;
  size_t released = 0;
  for (size_t r = 0; r < rows; ++r) {
    PyObject* row = PyList_New(Py_ssize_t(cols));
    if (!row) return Py_DECREF(out), nullptr;
    PyList_SET_ITEM(out, Py_ssize_t(r), row);
    for (size_t c = 0; c < cols; ++c) {
      PyObject* item = drain.take(r + c * rows, c);
      if (!item) return Py_DECREF(out), nullptr;
      PyList_SET_ITEM(row, Py_ssize_t(c), item);
    }
    if (r + 1 - released >= 65536 || r + 1 == rows) {
      for (size_t c = 0; c < cols; ++c) drain.passed(c * rows + released, c * rows + r + 1);
      released = r + 1;
    }
  }
  return out;
}

PyObject* bytesOf(const SafeArray& a) {
  PyObject* out = PyBytes_FromStringAndSize(nullptr, Py_ssize_t(a.size()));
  if (!out) return nullptr;
  char* bytes = PyBytes_AS_STRING(out);
  for (size_t i = 0; i < a.size(); ++i) bytes[i] = char(a.elements()[i].ui1());
  return out;
}

PyObject* fromArray(Variant& v) {
  SafeArray* a = v.array();
  if (!a) {
    PyObject* kwargs = Py_BuildValue("{s:O}", "allocated", Py_False);
    PyObject* made = kwargs ? callType(types.array, PyTuple_New(0), kwargs) : nullptr;
    Py_XDECREF(kwargs);
    return made;
  }
  bool zeroBased = true;
  for (const Bound& b : a->bounds()) zeroBased = zeroBased && b.lower == 0;
  if (a->elementType() == vtUI1 && a->dims() == 1 && zeroBased) return bytesOf(*a);
  // Python's collector would walk the growing lists again and again while they are built.
  const int collecting = PyGC_Disable();
  PyObject* lists;
  {
    Drain drain(*a);
    if (a->dims() == 1) {
      lists = itemsOf(drain, *a);
    } else if (a->dims() == 2) {
      lists = rowsOf(drain, *a);
    } else {
      std::vector<size_t> stride(size_t(a->dims()), 1);
      for (int d = 1; d < a->dims(); ++d) stride[size_t(d)] = stride[size_t(d) - 1] * size_t(a->count(d));
      lists = nestedLists(drain, *a, 0, 0, stride);
    }
  }
  if (collecting) PyGC_Enable();
  if (!lists || (zeroBased && a->dims() <= 2)) return lists;
  PyObject* lbound = PyTuple_New(a->dims());
  if (!lbound) return Py_DECREF(lists), nullptr;
  for (int d = 0; d < a->dims(); ++d) PyTuple_SET_ITEM(lbound, d, PyLong_FromLong(a->bounds()[size_t(d)].lower));
  PyObject* kwargs = Py_BuildValue("{s:N,s:i}", "lbound", lbound, "dims", a->dims());
  PyObject* made = callType(types.array, Py_BuildValue("(N)", lists), kwargs);
  Py_XDECREF(kwargs);
  return made;
}

}  // namespace

PyObject* toPython(Variant&& value) {
  Variant v = std::move(value);
  return v.isArray() ? fromArray(v) : fromScalar(v);
}

bool isRef(PyObject* value) { return PyObject_TypeCheck(value, (PyTypeObject*)types.ref); }
PyObject* comErrorType() { return types.comError; }

void loadValueTypes() {
  PyDateTime_IMPORT;
  if (!PyDateTimeAPI) throw py::error_already_set();
  py::module_ values = py::module_::import("talvex._values");
  auto keep = [](py::object o) { return o.release().ptr(); };  // held for the life of the process
  types = {keep(values.attr("Array")),   keep(values.attr("Ref")),     keep(values.attr("ErrorValue")),
           keep(values.attr("Empty")),   keep(values.attr("Missing")), keep(values.attr("Nothing")),
           keep(py::module_::import("decimal").attr("Decimal")), keep(values.attr("ComError"))};
}

}  // namespace tlx::python
