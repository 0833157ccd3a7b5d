// The control's word-processor methods: a paragraph of text, or an array or a recordset as a
// table, at the end of a new or an opened document. Status codes: 1 done, -1 no word processor;
// TextToWord and RecordsetToWord -2 any later failure; the array methods -2 no array, -3 any
// later failure.
#pragma once

#include <cstdint>

#include "talvex/dispatch.h"
#include "talvex/variant.h"

namespace tlx {

// The parameters the three table methods share, in their declared order.
struct WordTable {
  BStr strDocument;
  bool blnSave = false, blnClose = false;
  int32_t lngTableType = 0;
  bool blnBold = false;
  BStr strFont = u"Times New Roman";
  int16_t intSize = 12, intSpaceAfter = 10;
  int32_t lngParagraphAlign = 0;
  int16_t intColumnWidth = 0;
  bool blnBorders = false, blnShading = false, blnFont = false, blnColor = false, blnHeadingRows = false,
       blnLastRow = false, blnFirstColumn = false, blnLastColumn = false, blnAutoFit = false;
  int32_t lngPageOrientation = 0;
};

int16_t TextToWord(const BStr& strText, const BStr& strDocument = u"", bool blnSave = false, bool blnClose = false,
                   bool blnBold = false, const BStr& strFont = u"Times New Roman", int16_t intSize = 12,
                   int16_t intSpaceAfter = 10, int32_t lngParagraphAlign = 0, int32_t lngPageOrientation = 0);
int16_t OneDArrayToWord(Variant& varArray, const WordTable& table = {});
int16_t TwoDArrayToWord(Variant& varArray, const WordTable& table = {});
int16_t RecordsetToWord(const ObjRef& objRecd, bool blnIncludeHeadings = false, const WordTable& table = {});

}  // namespace tlx
