// Outside objects (applications, recordsets, controls) as Python proxies: attributes are their
// properties, calls their methods; a name the object does not have is an AttributeError at once.
#include "proxy.h"

#include <fmt/format.h>

#include "talvex/registry.h"
#include "core.h"
#include "values.h"

namespace tlx::python {

namespace {

// One member to call: a method, or a property that takes arguments.
struct Member {
  Proxy owner;
  std::string name;
};

py::object invokeMember(const ObjRef& obj, const std::string& name, InvokeKind kind, const py::args& args,
                        const py::kwargs& kwargs = {}) {
  CallArgs call(args, kwargs);
  return call.call([&](DispParams& p) { return obj->invoke(name, kind, p); }, true);
}

py::args argsOf(const py::object& key, py::handle value = {}) {
  py::list items = py::isinstance<py::tuple>(key) ? py::list(key) : py::list();
  if (!py::isinstance<py::tuple>(key)) items.append(key);
  if (value) items.append(value);
  return py::args(py::tuple(items));
}

py::object attribute(const Proxy& self, const std::string& name) {
  if (name.empty() || name[0] == '_') throw py::attribute_error(name);
  switch (inCore([&] { return self.obj->memberKind(name); })) {
    case MemberKind::Property: return invokeMember(self.obj, name, InvokeKind::PropertyGet, py::args());
    case MemberKind::Method: return py::cast(Member{Proxy(self.obj), name});
    case MemberKind::Unknown: break;
  }
  throw py::attribute_error(fmt::format("{} object has no member '{}'", self.obj->typeName(), name));
}

void setAttribute(const Proxy& self, const std::string& name, py::handle value) {
  if (name.empty() || name[0] == '_') throw py::attribute_error(name);
  invokeMember(self.obj, name, InvokeKind::PropertyPut, argsOf(py::tuple(), value));
}

py::list items(const Proxy& self) {
  std::vector<Variant> all = inCore([&] { return self.obj->enumerate(); });
  py::list out;
  for (Variant& v : all) out.append(toObject(std::move(v)));
  return out;
}

}  // namespace

Proxy::~Proxy() {
  if (obj) dropInCore([&] { obj.reset(); });
}

const ObjRef* proxiedObject(PyObject* value) {
  py::handle h(value);
  return py::isinstance<Proxy>(h) ? &h.cast<Proxy&>().obj : nullptr;
}

PyObject* proxyOf(const ObjRef& obj) {
  try {
    return py::cast(Proxy{obj}).release().ptr();
  } catch (py::error_already_set& e) {
    e.restore();
    return nullptr;
  }
}

void bindProxies(py::module_& m) {
  py::class_<Member>(m, "Member", "A member of an outside object to call.")
      .def("__call__", [](const Member& self, py::args args, py::kwargs kwargs) {
        return invokeMember(self.owner.obj, self.name, InvokeKind::Method, args, kwargs);
      })
      .def("__repr__", [](const Member& self) {
        return fmt::format("<talvex member {}.{}>", self.owner.obj->typeName(), self.name);
      });

  py::class_<Proxy>(m, "Object", "An outside object: attributes are its properties, calls its methods.")
      .def("__getattr__", &attribute)
      .def("__setattr__", &setAttribute)
      .def("__call__", [](const Proxy& self, py::args args, py::kwargs kwargs) {
        return invokeMember(self.obj, "", InvokeKind::Method, args, kwargs);
      })
      .def("__getitem__", [](const Proxy& self, py::object key) {
        return invokeMember(self.obj, "", InvokeKind::PropertyGet, argsOf(key));
      })
      .def("__setitem__", [](const Proxy& self, py::object key, py::object value) {
        invokeMember(self.obj, "", InvokeKind::PropertyPut, argsOf(key, value));
      })
      .def("__iter__", [](const Proxy& self) { return py::iter(items(self)); })
      .def("__eq__", [](const Proxy& self, py::object other) {
        const ObjRef* o = proxiedObject(other.ptr());
        return o && o->get() == self.obj.get();
      })
      .def("__hash__", [](const Proxy& self) { return std::hash<const void*>()(self.obj.get()); })
      .def("__repr__", [](const Proxy& self) {
        return fmt::format("<talvex.Object {} at {}>", self.obj->typeName(), static_cast<const void*>(self.obj.get()));
      });

  m.def("create", [](const std::string& progId) { return toObject(Variant(inCore([&] { return createObject(progId); }))); },
        py::arg("prog_id"), "A new outside object by programmatic identifier, e.g. create(\"Excel.Application\").");
  m.def("get_object", [](const std::string& progId) { return toObject(Variant(inCore([&] { return getObject(progId); }))); },
        py::arg("prog_id"), "The running instance of an outside application, e.g. get_object(\"AutoCAD.Application\").");
}

}  // namespace tlx::python
