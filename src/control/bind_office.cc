#include "control/bindings.h"
#include "control/talvex.h"
#include "office/office_methods.h"

namespace tlx {

namespace {

using A = CallArgs;

Variant code(int16_t c) { return Variant(c); }

}  // namespace

std::span<const Binding> officeBindings() {
  static const std::vector<Binding> bindings = {
      // TwoDArrayToExcel(varArray, strWorkbook, varWorksheet, lngRow, lngCol, [strPassword],
      //   [strWriteResPassword], [ByVal lngDisplay], [blnAutoFit], [blnFixData])
      {"TwoDArrayToExcel",
       [](TALVEX&, A& a) {
         return code(TwoDArrayToExcel(a.var(0), a.str(1), a.var(2), a.i4(3), a.i4(4), a.str(5), a.str(6), a.i4(7),
                                      a.boolean(8), a.boolean(9)));
       }},
      // ExcelToOneDArray / ExcelToTwoDArray(strWorkbook, varWorksheet, rows and columns, varArray,
      //   [blnCellValue], [strPassword], [strWriteResPassword])
      {"ExcelToOneDArray",
       [](TALVEX&, A& a) {
         return code(ExcelToOneDArray(a.str(0), a.var(1), a.i4(2), a.i4(3), a.i4(4), a.i4(5), a.var(6), a.boolean(7),
                                      a.str(8), a.str(9)));
       }},
      {"ExcelToTwoDArray",
       [](TALVEX&, A& a) {
         return code(ExcelToTwoDArray(a.str(0), a.var(1), a.i4(2), a.i4(3), a.i4(4), a.i4(5), a.var(6), a.boolean(7),
                                      a.str(8), a.str(9)));
       }},
  };
  return bindings;
}

}  // namespace tlx
