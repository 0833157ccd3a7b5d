// XML tests: files written to a scratch directory, the real components created by identifier,
// and recordsets and arrays read back as text.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "platform/registry/components.h"
#include "support/scratch.h"

namespace tlxtest {

namespace fs = std::filesystem;
using namespace tlx;
using Rows = std::vector<std::vector<std::string>>;

class XmlTest : public ::testing::Test {
 protected:
  void SetUp() override { registerPlatformComponents(); }
  ScratchDir scratch{"talvex-xml"};
  const fs::path dir = scratch.path();

  std::string file(const std::string& name, const std::string& content) { return scratch.write(name, content); }

  // An XML recordset opened on a file; raises as Open does.
  static ObjRef openXml(const std::string& path) {
    ObjRef rs = createObject("ADODB.Recordset");
    putProperty(rs, "ActiveConnection", Variant(u"Provider=MSDAOSP; Data Source=MSXML2.DSOControl;"));
    callMethod(rs, "Open", {Variant(u16(path))});
    return rs;
  }
};

// What a script beside these tests prints, run by Debian's Python with one argument.
inline std::string pythonOutput(const std::string& script, const std::string& argument) {
  return python("tests/xml_files/" + script, shellQuote(argument));
}

inline std::string show(const Variant& v) {
  if (v.isNull()) return "<null>";
  if (v.isEmpty()) return "<empty>";
  if (v.isObject()) return "<object>";
  return u8(toBStr(v));
}

inline ObjRef fieldOf(const ObjRef& rs, int i) { return objectOf(getProperty(rs, "Fields", {Variant(int32_t(i))})); }
inline int fieldCount(const ObjRef& rs) { return toI4(getProperty(objectOf(getProperty(rs, "Fields")), "Count")); }

// Field names, each with its type code.
inline std::vector<std::pair<std::string, int>> fieldsOf(const ObjRef& rs) {
  std::vector<std::pair<std::string, int>> out;
  for (int i = 0; i < fieldCount(rs); ++i)
    out.emplace_back(u8(toBStr(getProperty(fieldOf(rs, i), "Name"))), toI4(getProperty(fieldOf(rs, i), "Type")));
  return out;
}

// Every record's values from the current one on, chapters shown as "<object>".
inline Rows recordsOf(const ObjRef& rs) {
  Rows out;
  while (!toBool(getProperty(rs, "EOF"))) {
    auto& row = out.emplace_back();
    for (int i = 0; i < fieldCount(rs); ++i) row.push_back(show(getProperty(fieldOf(rs, i), "Value")));
    callMethod(rs, "MoveNext");
  }
  return out;
}

inline Rows rowsOf(const Variant& array) {
  Rows out;
  const SafeArray& a = array.arrayRef();
  for (int32_t r = a.lbound(1); r <= a.ubound(1); ++r) {
    auto& row = out.emplace_back();
    for (int32_t c = a.lbound(2); c <= a.ubound(2); ++c) row.push_back(show(a.at(r, c)));
  }
  return out;
}

}  // namespace tlxtest
