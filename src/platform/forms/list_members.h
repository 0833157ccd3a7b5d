// Members every list-type control shares, over its ListModel (Self::list()).
#pragma once

#include "talvex/convert.h"
#include "talvex/dispatch.h"
#include "platform/forms/list_model.h"

namespace tlx::platform::forms {

template <class Self>
void addListReading(Members<Self>& m) {
  m.property("List", [](Self& s, Args& a) { return Variant(s.list().text(toI4(a[0]))); }, {}, {"Index"});
  m.property("ListCount", [](Self& s, Args&) { return Variant(s.list().count()); });
  m.property(
      "ListIndex", [](Self& s, Args&) { return Variant(s.list().listIndex()); },
      [](Self& s, Args&, const Variant& v) { s.list().setListIndex(toI4(v)); });
  m.property(
      "Selected", [](Self& s, Args& a) { return Variant(s.list().selected(toI4(a[0]))); },
      [](Self& s, Args& a, const Variant& v) { s.list().setSelected(toI4(a[0]), toBool(v)); }, {"Index"});
  m.property(
      "MultiSelect", [](Self& s, Args&) { return Variant(s.list().multiSelect()); },
      [](Self& s, Args&, const Variant& v) { s.list().setMultiSelect(toI4(v)); });
}

}  // namespace tlx::platform::forms
