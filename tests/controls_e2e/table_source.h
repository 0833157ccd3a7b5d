// A recordset's surface for the data grid until the data-access objects are on main: EOF,
// MoveFirst, MoveNext, RecordCount (which may be set to tell a wrong count, as an estimate
// does) and Fields(c) with Name and Value. It counts its moves so tests see how it is walked.
#pragma once

#include <string>
#include <vector>

#include "talvex/convert.h"
#include "talvex/dispatch.h"

namespace tlxtest {

using namespace tlx;

class TableSource : public Object<TableSource> {
 public:
  TableSource(std::vector<std::string> names, std::vector<std::vector<Variant>> rows)
      : names_(std::move(names)), rows_(std::move(rows)), told_(static_cast<int32_t>(rows_.size())) {}
  static const Members<TableSource>& members();

  void tellCount(int32_t n) { told_ = n; }
  int32_t moves = 0;
  size_t at = 0;
  std::vector<std::string> names_;
  std::vector<std::vector<Variant>> rows_;
  int32_t told_;
};

class SourceFields : public Object<SourceFields> {
 public:
  explicit SourceFields(Ref<TableSource> rs) : rs_(std::move(rs)) {}
  static const Members<SourceFields>& members();
  Ref<TableSource> rs_;
};

class SourceField : public Object<SourceField> {
 public:
  SourceField(Ref<TableSource> rs, size_t c) : rs_(std::move(rs)), c_(c) {}
  static const Members<SourceField>& members() {
    static const Members<SourceField> m = [] {
      Members<SourceField> t;
      t.property("Name", [](SourceField& s, Args&) { return Variant(s.rs_->names_[s.c_].c_str()); });
      t.property("Value", [](SourceField& s, Args&) {
        if (s.rs_->at >= s.rs_->rows_.size()) throw ComError(hr::basicError(3021), "Either BOF or EOF is True");
        return s.rs_->rows_[s.rs_->at][s.c_];
      });
      return t;
    }();
    return m;
  }
  Ref<TableSource> rs_;
  size_t c_;
};

inline const Members<SourceFields>& SourceFields::members() {
  static const Members<SourceFields> m = [] {
    Members<SourceFields> t;
    t.property("Count", [](SourceFields& s, Args&) { return Variant(static_cast<int32_t>(s.rs_->names_.size())); });
    t.property("Item", [](SourceFields& s, Args& a) {
      const int32_t c = toI4(a[0]);
      if (c < 0 || static_cast<size_t>(c) >= s.rs_->names_.size()) throw ComError(hr::basicError(3265), "Item not found");
      return Variant(ObjRef(new SourceField(s.rs_, static_cast<size_t>(c))));
    }, {}, {"Index"});
    t.byDefault("Item");
    return t;
  }();
  return m;
}

inline const Members<TableSource>& TableSource::members() {
  static const Members<TableSource> m = [] {
    Members<TableSource> t;
    t.property("EOF", [](TableSource& s, Args&) { return Variant(s.at >= s.rows_.size()); });
    t.property("RecordCount", [](TableSource& s, Args&) { return Variant(s.told_); });
    t.property("Fields", [](TableSource& s, Args&) { return Variant(ObjRef(new SourceFields(Ref<TableSource>(&s)))); });
    t.method("MoveFirst", {}, [](TableSource& s, Args&) {
      s.at = 0;
      ++s.moves;
      return Variant();
    });
    t.method("MoveNext", {}, [](TableSource& s, Args&) {
      if (s.at >= s.rows_.size()) throw ComError(hr::basicError(3021), "Either BOF or EOF is True");
      ++s.at;
      ++s.moves;
      return Variant();
    });
    return t;
  }();
  return m;
}

// n records of (number, "row <number>").
inline Ref<TableSource> numberedSource(int32_t n) {
  std::vector<std::vector<Variant>> rows;
  for (int32_t i = 0; i < n; ++i) rows.push_back({Variant(i), Variant(("row " + std::to_string(i)).c_str())});
  return makeRef<TableSource>(std::vector<std::string>{"id", "name"}, std::move(rows));
}

}  // namespace tlxtest
