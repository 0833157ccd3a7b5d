// What an object that holds rows (a recordset) may offer besides its members: its rows read in
// one pass, as reading every field's Value and calling MoveNext until EOF would, without a member
// call per value. Callers fall back to the members for objects that do not offer it.
#pragma once

#include <functional>

#include "talvex/dispatch.h"

namespace tlx {

class RowReader {
 public:
  virtual ~RowReader() = default;
  // Calls `visit` with the values of each row from the current one to the last, in field order
  // (the visitor may take them), and leaves the object at EOF. A value that cannot be read
  // raises, as reading its Value would.
  virtual void readRows(const std::function<void(Variant* values)>& visit) = 0;
};

inline RowReader* rowReaderOf(const ObjRef& obj) { return dynamic_cast<RowReader*>(obj.get()); }

}  // namespace tlx
