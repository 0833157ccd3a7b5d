// Tests of the form controls and their adapters: controls created by identifier, members called
// by name, and a scratch directory tree.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "automation/test_objects.h"  // errorOf
#include "platform/forms/form_controls.h"
#include "support/scratch.h"

namespace tlxtest {

namespace fs = std::filesystem;
using namespace tlx;

inline ObjRef control(const char* progId) {
  registerFormControls();
  return createObject(progId);
}

inline Variant get(const ObjRef& o, const char* member, std::vector<Variant> args = {}) {
  return getProperty(o, member, std::move(args));
}
inline std::string text(const ObjRef& o, const char* member, std::vector<Variant> args = {}) {
  return u8(toBStr(getProperty(o, member, std::move(args))));
}
inline void put(const ObjRef& o, const char* member, std::vector<Variant> args) {
  DispParams p;
  for (Variant& a : args) p.positional.push_back(&a);
  o->invoke(member, InvokeKind::PropertyPut, p);
}

// A list control's entries, List(0) to List(ListCount - 1).
inline std::vector<std::string> entries(const ObjRef& lb) {
  std::vector<std::string> out;
  for (int32_t i = 0, n = toI4(get(lb, "ListCount")); i < n; ++i) out.push_back(text(lb, "List", {i}));
  return out;
}

// A scratch folder filled by relative names, folders made on the way.
struct ScratchTree : ScratchDir {
  ScratchTree() : ScratchDir("talvex-forms"), root(path()) {}
  fs::path file(const std::string& name, const std::string& bytes = "x") const {
    fs::create_directories((root / name).parent_path());
    std::ofstream(root / name) << bytes;
    return root / name;
  }
  fs::path dir(const std::string& name) const {
    fs::create_directories(root / name);
    return root / name;
  }
  fs::path root;
};

}  // namespace tlxtest
