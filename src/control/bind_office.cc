#include "control/bindings.h"
#include "control/talvex.h"
#include "office/office_methods.h"
#include "office/word_methods.h"

namespace tlx {

namespace {

using A = CallArgs;

Variant code(int16_t c) { return Variant(c); }

// The table parameters of the word-processor methods, from argument `k` on.
WordTable wordTable(A& a, size_t k) {
  WordTable t;
  t.strDocument = a.str(k);
  t.blnSave = a.boolean(k + 1);
  t.blnClose = a.boolean(k + 2);
  t.lngTableType = a.i4(k + 3);
  t.blnBold = a.boolean(k + 4);
  t.strFont = a.str(k + 5);
  t.intSize = a.i2(k + 6);
  t.intSpaceAfter = a.i2(k + 7);
  t.lngParagraphAlign = a.i4(k + 8);
  t.intColumnWidth = a.i2(k + 9);
  bool* flags[] = {&t.blnBorders, &t.blnShading, &t.blnFont, &t.blnColor, &t.blnHeadingRows,
                   &t.blnLastRow, &t.blnFirstColumn, &t.blnLastColumn, &t.blnAutoFit};
  for (size_t i = 0; i < std::size(flags); ++i) *flags[i] = a.boolean(k + 10 + i);
  t.lngPageOrientation = a.i4(k + 19);
  return t;
}

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
      // TextToWord(strText, [strDocument], [blnSave], [blnClose], [blnBold], [strFont], [intSize],
      //   [intSpaceAfter], [lngParagraphAlign], [lngPageOrientation])
      {"TextToWord",
       [](TALVEX&, A& a) {
         return code(TextToWord(a.str(0), a.str(1), a.boolean(2), a.boolean(3), a.boolean(4), a.str(5), a.i2(6),
                                a.i2(7), a.i4(8), a.i4(9)));
       }},
      // OneDArrayToWord / TwoDArrayToWord(varArray, table parameters);
      // RecordsetToWord(objRecd, [blnIncludeHeadings], table parameters)
      {"OneDArrayToWord", [](TALVEX&, A& a) { return code(OneDArrayToWord(a.var(0), wordTable(a, 1))); }},
      {"TwoDArrayToWord", [](TALVEX&, A& a) { return code(TwoDArrayToWord(a.var(0), wordTable(a, 1))); }},
      {"RecordsetToWord",
       [](TALVEX&, A& a) { return code(RecordsetToWord(a.obj(0), a.boolean(1), wordTable(a, 2))); }},
  };
  return bindings;
}

}  // namespace tlx
