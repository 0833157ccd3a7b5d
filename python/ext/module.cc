// talvex._talvex: the control in process. Its methods are not written here one by one: each
// method of the type library becomes a member of Control that calls it by dispatch identifier,
// with the method's signature and docstring.
#include <deque>
#include <fstream>
#include <memory>
#include <sstream>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "automation/strings.h"
#include "automation/text_file.h"
#include "control/talvex.h"
#include "control/type_library.h"
#include "core.h"
#include "docs.h"
#include "host_site.h"
#include "platform/app/recovery.h"
#include "platform/registry/components.h"
#include "proxy.h"
#include "values.h"

namespace tlx::python {

namespace {

// One control with its site: message boxes are kept in `messages`, point picks come from the
// queue given to picks() (else the terminal, as in the command-line host).
class Control {
 public:
  Control() {
    inCore([&] {
      site_ = std::make_unique<host::CliSite>();  // a window on the shared desktop
      control_ = makeRef<TALVEX>(*site_);
      return 0;
    });
  }
  ~Control() {
    dropInCore([&] {
      control_.reset();
      site_.reset();
    });
  }

  py::object call(int32_t dispid, const py::args& args, const py::kwargs& kwargs) {
    CallArgs call(args, kwargs);
    py::object result;
    try {
      result = call.call([&](DispParams& p) { return control_->invoke(dispid, p); });
    } catch (...) {
      takeMessages();
      throw;
    }
    takeMessages();
    return result;
  }

  void picks(const std::vector<std::vector<double>>& points) {
    for (const auto& p : points)
      if (p.size() < 2 || p.size() > 3) throw py::value_error("a pick is (x, y) or (x, y, z)");
    inCore([&] {
      for (const auto& p : points) site_->queuePick({p[0], p[1], p.size() == 3 ? p[2] : 0});
      return 0;
    });
  }

  py::list messages;

 private:
  void takeMessages() {
    for (const BStr& text : inCore([&] { return site_->takeMessages(); })) messages.append(py::str(u8(text)));
  }

  std::unique_ptr<host::CliSite> site_;
  Ref<TALVEX> control_;
};

void bindControl(py::module_& m) {
  py::class_<Control> control(m, "Control", "The TALVEX control: one method per method of its type library.");
  control.def(py::init<>())
      .def_readonly("messages", &Control::messages, "The message boxes the control showed, oldest first.")
      .def("picks", [](Control& self, py::args points) { self.picks(points.cast<std::vector<std::vector<double>>>()); },
           "Points for the control's interactive picks, (x, y) or (x, y, z) each, used in turn.");
  static std::deque<std::string> docs;  // the docstrings are referred to, not copied
  for (const MethodInfo& method : typeLibrary()) {
    docs.push_back(methodDoc(method));
    const int32_t dispid = method.dispid;
    control.def(method.name.c_str(),
                [dispid](Control& self, py::args args, py::kwargs kwargs) { return self.call(dispid, args, kwargs); },
                docs.back().c_str());
  }
}

// Each enumeration as an IntEnum, its constants also at the top of the module.
void bindEnumerations(py::module_& m) {
  py::object intEnum = py::module_::import("enum").attr("IntEnum");
  for (const EnumInfo& e : enumerations()) {
    py::list members;
    for (auto& [name, value] : e.constants) members.append(py::make_tuple(name, value));
    py::object type = intEnum(e.name, members, py::arg("module") = "talvex");
    m.attr(e.name.c_str()) = type;
    for (auto& [name, value] : e.constants) m.attr(name.c_str()) = type.attr(name.c_str());
  }
}

// What the command-line host would print on stderr when it ends: unsaved documents saved to the
// recovery folder, one line each.
std::vector<std::string> recoverUnsaved() {
  std::ostringstream log;
  inCore([&] { return platform::app::recoverUnsaved(platform::app::recoveryFolder(), log); });
  std::vector<std::string> lines;
  std::istringstream in(log.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

}  // namespace tlx::python

PYBIND11_MODULE(_talvex, m) {
  using namespace tlx::python;
  // Each method's docstring starts with its own signature line.
  py::options options;
  options.disable_function_signatures();
  loadValueTypes();
  tlx::registerPlatformComponents();  // create() may come before any control
  bindProxies(m);
  bindEnumerations(m);
  bindControl(m);
  m.attr("__version__") = TALVEX_VERSION;
  m.def("_recover_unsaved", &recoverUnsaved);
  m.def("_codepage_problem", [] { return tlx::codePageProblem(); });
  m.def("_write_stubs", [](const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << stubText();
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
  });
}
