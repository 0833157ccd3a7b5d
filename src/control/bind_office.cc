// Spreadsheet exchange and word-processor export.
#include "control/bind.h"
#include "office/office_methods.h"
#include "office/word_methods.h"

namespace tlx {

template <>
struct ParamGroup<WordTable> {  // @WordTable
  static constexpr std::tuple fields{
      &WordTable::strDocument,   &WordTable::blnSave,        &WordTable::blnClose,       &WordTable::lngTableType,
      &WordTable::blnBold,       &WordTable::strFont,        &WordTable::intSize,        &WordTable::intSpaceAfter,
      &WordTable::lngParagraphAlign, &WordTable::intColumnWidth, &WordTable::blnBorders, &WordTable::blnShading,
      &WordTable::blnFont,       &WordTable::blnColor,       &WordTable::blnHeadingRows, &WordTable::blnLastRow,
      &WordTable::blnFirstColumn, &WordTable::blnLastColumn, &WordTable::blnAutoFit,     &WordTable::lngPageOrientation};
};

std::span<const Binding> officeBindings() {
  static constexpr Binding bindings[] = {
      bind<"TwoDArrayToExcel", TwoDArrayToExcel>(),
      bind<"ExcelToOneDArray", ExcelToOneDArray>(),
      bind<"ExcelToTwoDArray", ExcelToTwoDArray>(),
      bind<"TextToWord", TextToWord>(),
      bind<"OneDArrayToWord", OneDArrayToWord>(),
      bind<"TwoDArrayToWord", TwoDArrayToWord>(),
      bind<"RecordsetToWord", RecordsetToWord>(),
  };
  return bindings;
}

}  // namespace tlx
