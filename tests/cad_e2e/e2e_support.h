// Shared pieces of the drawing end-to-end tests: sample drawings made and read by ezdxf, a
// scratch folder, and the control called late-bound as a host would.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "talvex/dispatch.h"
#include "automation/strings.h"
#include "control/talvex.h"
#include "platform/desktop/desktop.h"
#include "support/scratch.h"

namespace tlxtest {

using namespace tlx;
namespace fs = std::filesystem;
using json = nlohmann::json;

inline std::string runPython(const std::string& args) { return python("tests/cad_e2e/drawings.py", args); }
inline void makeDrawing(const fs::path& path) {
  runPython("make '" + path.string() + "'");
  if (!fs::exists(path)) throw std::runtime_error("ezdxf did not write " + path.string());
}
// What an independent reader finds in the file.
inline json facts(const fs::path& path) { return json::parse(runPython("facts '" + path.string() + "'")); }
// The model and paper space entities with their geometry, as that reader sees them.
inline json entities(const fs::path& path) { return json::parse(runPython("entities '" + path.string() + "'")); }

// The form that hosts the control: a window on the desktop; message boxes are recorded.
class FormSite : public HostSite {
 public:
  FormSite() : window_(Desktop::instance().openWindow(u"Form1")) {}
  ~FormSite() override { Desktop::instance().closeWindow(window_); }
  void messageBox(const BStr& text) override { messages.push_back(u8(text)); }
  std::vector<std::string> messages;

 private:
  Desktop::WindowId window_;
};

// The control, called by method name with the host's own variables.
class Control {
 public:
  Control() : control_(makeRef<TALVEX>(site)) {}
  Variant call(std::string_view method, std::vector<Variant> args = {}) {
    DispParams p;
    for (Variant& a : args) p.positional.push_back(&a);
    return control_->invoke(method, InvokeKind::Method, p);
  }
  Variant callRef(std::string_view method, std::initializer_list<Variant*> args) {
    DispParams p{std::vector<Variant*>(args), {}};
    return control_->invoke(method, InvokeKind::Method, p);
  }
  int code(std::string_view method, std::vector<Variant> args = {}) {
    Variant r = call(method, std::move(args));
    return r.type() == vtI4 ? r.i4() : r.i2();
  }
  FormSite site;

 private:
  Ref<TALVEX> control_;
};

inline Variant str(const fs::path& p) { return Variant(u16(p.string())); }

}  // namespace tlxtest
