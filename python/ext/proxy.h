// The proxies of outside objects, and talvex.create / talvex.get_object.
#pragma once

#include <pybind11/pybind11.h>

#include "talvex/dispatch.h"

namespace tlx::python {

// A reference to an outside object held by Python; the last one is dropped under the core lock,
// since dropping it may end an application.
struct Proxy {
  explicit Proxy(ObjRef o) : obj(std::move(o)) {}
  Proxy(Proxy&& other) noexcept = default;
  Proxy(const Proxy&) = delete;
  ~Proxy();
  ObjRef obj;
};

void bindProxies(pybind11::module_& m);

}  // namespace tlx::python
