#include "core.h"

#include <optional>

#include "automation/frame.h"
#include "values.h"

namespace tlx::python {

std::mutex& coreLock() {
  static std::mutex lock;
  return lock;
}

void raiseCoreError(bool unknownIsAttribute) {
  try {
    throw;
  } catch (const py::error_already_set&) {
    throw;
  } catch (const py::builtin_exception&) {
    throw;
  } catch (...) {
    const ComError e = currentError();
    if (unknownIsAttribute && e.number() == hr::DISP_E_UNKNOWNNAME) throw py::attribute_error(e.description());
    const std::string description = e.description().empty() ? standardDescription(e.number()) : e.description();
    py::object error = py::handle(comErrorType())(e.number(), description, e.source());
    PyErr_SetObject(comErrorType(), error.ptr());
    throw py::error_already_set();
  }
}

void dropInCore(const std::function<void()>& drop) {
#if PY_VERSION_HEX >= 0x030D0000
  const bool finalizing = Py_IsFinalizing();
#else
  const bool finalizing = _Py_IsFinalizing();
#endif
  std::optional<py::gil_scoped_release> released;
  if (!finalizing) released.emplace();
  std::lock_guard<std::mutex> lock(coreLock());
  drop();
}

void releaseInCore(std::vector<Variant>& values) {
  if (!values.empty()) dropInCore([&] { values.clear(); });
}

py::object toObject(Variant&& v) {
  PyObject* made = toPython(std::move(v));
  if (!made) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(made);
}

CallArgs::CallArgs(const py::args& args, const py::kwargs& kwargs) {
  // Reserved first: the parameters point into the values.
  values_.reserve(args.size() + kwargs.size());
  auto add = [&](py::handle given) -> Variant* {
    py::object value = py::reinterpret_borrow<py::object>(given);
    if (isRef(given.ptr())) {
      refs_.emplace_back(values_.size(), value);
      value = value.attr("value");
    }
    values_.push_back(toVariant(value.ptr()));
    return &values_.back();
  };
  for (py::handle a : args) params_.positional.push_back(add(a));
  for (auto [key, value] : kwargs) params_.named.push_back({py::cast<std::string>(key), add(value)});
}

void CallArgs::writeBack() {
  for (auto& [index, ref] : refs_) ref.attr("value") = toObject(std::move(values_[index]));
  refs_.clear();
}

}  // namespace tlx::python
