// The adapters against the real form controls: controls created by identifier, members called
// by name, arrays built and read, a scratch directory tree.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "automation/convert.h"
#include "automation/registry.h"
#include "automation/strings.h"
#include "controls/controls.h"
#include "platform/forms/form_controls.h"

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
// The number of the error a call raises, 0 when it succeeds.
template <class F>
HRESULT errorOf(F&& f) {
  try {
    f();
    return 0;
  } catch (const ComError& e) {
    return e.number();
  }
}

inline Variant emptyArray() { return Variant(SafeArray::vector(0)); }
inline Variant strings(std::vector<std::string> items) {
  auto a = SafeArray::vector(static_cast<int32_t>(items.size()));
  for (size_t i = 0; i < items.size(); ++i) a->elements()[i] = Variant(u16(items[i]));
  return Variant(std::move(a));
}
// A 1-D array's elements as text ("<empty>" for Empty).
inline std::vector<std::string> texts(const Variant& v) {
  std::vector<std::string> out;
  const SafeArray& a = v.arrayRef();
  for (int32_t i = a.lbound(1); i <= a.ubound(1); ++i)
    out.push_back(a.at(i).isEmpty() ? "<empty>" : u8(toBStr(a.at(i))));
  return out;
}
// A 2-D array's rows as text.
inline std::vector<std::vector<std::string>> rowsOf(const Variant& v) {
  std::vector<std::vector<std::string>> out;
  const SafeArray& a = v.arrayRef();
  for (int32_t r = a.lbound(1); r <= a.ubound(1); ++r) {
    auto& row = out.emplace_back();
    for (int32_t c = a.lbound(2); c <= a.ubound(2); ++c)
      row.push_back(a.at(r, c).isEmpty() ? "<empty>" : u8(toBStr(a.at(r, c))));
  }
  return out;
}
using Rows = std::vector<std::vector<std::string>>;
using Texts = std::vector<std::string>;

struct ScratchTree {
  ScratchTree() {
    char tmpl[] = "/tmp/talvex-forms-XXXXXX";
    root = mkdtemp(tmpl);
  }
  ~ScratchTree() {
    std::error_code ec;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root, ec);
  }
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
