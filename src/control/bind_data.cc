#include "control/bindings.h"
#include "control/talvex.h"
#include "data/data.h"

namespace tlx {

namespace {

using A = CallArgs;

Variant code(int16_t c) { return Variant(c); }

}  // namespace

std::span<const Binding> dataBindings() {
  static const std::vector<Binding> bindings = {
      // DatabaseTableToArray(strDSN, strSQL, varArray, [strUserID], [strPassword], [blnIncludeHeadings])
      {"DatabaseTableToArray",
       [](TALVEX&, A& a) {
         return code(DatabaseTableToArray(a.str(0), a.str(1), a.var(2), a.str(3), a.str(4), a.boolean(5)));
       }},
      // RecordsetToArray(objRecd, varArray, [blnIncludeHeadings])
      {"RecordsetToArray", [](TALVEX&, A& a) { return code(RecordsetToArray(a.obj(0), a.var(1), a.boolean(2))); }},
      // RecordsetToTextFile(objRecd, strTextFile, [blnIncludeHeadings], [ByVal strDelimiter], [blnQuotes])
      {"RecordsetToTextFile",
       [](TALVEX&, A& a) {
         return code(RecordsetToTextFile(a.obj(0), a.str(1), a.boolean(2), a.str(3), a.boolean(4)));
       }},
      // DatabaseTableToTextFile(strDSN, strSQL, strTextFile, [strUserID], [strPassword],
      //   [blnIncludeHeadings], [ByVal strDelimiter], [blnQuotes])
      {"DatabaseTableToTextFile",
       [](TALVEX&, A& a) {
         return code(DatabaseTableToTextFile(a.str(0), a.str(1), a.str(2), a.str(3), a.str(4), a.boolean(5),
                                             a.str(6), a.boolean(7)));
       }},
  };
  return bindings;
}

}  // namespace tlx
