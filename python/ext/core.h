// How Python reaches the control: one lock for everything the core does, taken with the GIL
// released, and the core's errors raised as talvex.ComError.
//
// The control's applications share state across controls (running instances, the desktop, the
// recovery list), so calls run one at a time whichever thread makes them; other Python threads
// go on meanwhile.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include <pybind11/pybind11.h>

#include "talvex/dispatch.h"

namespace tlx::python {

namespace py = pybind11;

std::mutex& coreLock();
[[noreturn]] void raiseCoreError(bool unknownIsAttribute);

// Runs `body` under the core lock with the GIL released; a failure becomes talvex.ComError
// (AttributeError for a name the object does not have, when `unknownIsAttribute`).
template <class Body>
auto inCore(Body&& body, bool unknownIsAttribute = false) {
  try {
    py::gil_scoped_release released;
    std::lock_guard<std::mutex> lock(coreLock());
    return body();
  } catch (...) {
    raiseCoreError(unknownIsAttribute);
  }
}

// A Variant as a Python object (consumed), raising what conversion failed with.
py::object toObject(Variant&& v);

// Runs `drop`, a release of core objects, under the core lock with the GIL released: the last
// reference to an object may wait on a server (an FTP object says QUIT) that a thread of this
// interpreter runs. While the interpreter shuts down, the GIL is kept.
void dropInCore(const std::function<void()>& drop);
// Drops values that may hold the last reference to an outside object.
void releaseInCore(std::vector<Variant>& values);

// The arguments of one call: positional ones, then keywords by parameter name. A talvex.Ref is
// passed as its value and receives what the member leaves in it, on a failure too.
class CallArgs {
 public:
  CallArgs(const py::args& args, const py::kwargs& kwargs);
  ~CallArgs() { releaseInCore(values_); }
  // Calls `member` in the core, writes the outputs back and returns the result as Python.
  template <class Member>
  py::object call(Member&& member, bool unknownIsAttribute = false) {
    Variant result;
    try {
      result = inCore([&] { return member(params_); }, unknownIsAttribute);
    } catch (...) {
      writeBack();
      throw;
    }
    writeBack();
    return toObject(std::move(result));
  }

 private:
  void writeBack();  // the by-reference outputs into their Ref objects

  std::vector<Variant> values_;
  std::vector<std::pair<size_t, py::object>> refs_;  // value index, Ref
  DispParams params_;
};

}  // namespace tlx::python
