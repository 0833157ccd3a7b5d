// Variant arrays as HTML tables and pages. Cell data is written as it is, without escaping, so
// that callers can put markup in cells.
#pragma once

#include <cstdint>

#include "talvex/variant.h"

namespace tlx {

enum TableAlignType : int32_t { tlxTableAlignLeft = 0, tlxTableAlignCenter = 1, tlxTableAlignRight = 2 };

// The table parameters, with the defaults of omitted arguments.
struct TableFormat {
  int32_t lngTableAlign = tlxTableAlignCenter;
  BStr strBackground;
  BStr strBackgroundColor;
  int16_t intBorder = 0;
  BStr strBorderColor;
  int16_t intCellSpacing = 0;
  int16_t intCellPadding = 0;
  int16_t intWidthPct = 100;
  int32_t lngTableCellAlign = tlxTableAlignRight;
  bool blnWrapCellData = false;
  bool blnBoldFirstRow = false;
};

// The page parameters of the file methods.
struct PageFormat {
  BStr strPageHeading;
  BStr strPageTitle;
  BStr strPageBackground;
  BStr strPageBackgroundColor;
};

int16_t OneDArrayToHTMLTable(Variant& varArray, BStr& strTable, const TableFormat& format = {});
int16_t TwoDArrayToHTMLTable(Variant& varArray, BStr& strTable, const TableFormat& format = {},
                             bool blnBoldFirstColumn = false);
int16_t OneDArrayToHTMLFile(Variant& varArray, const BStr& strHTMLFile, const PageFormat& page = {},
                            const TableFormat& format = {});
int16_t TwoDArrayToHTMLFile(Variant& varArray, const BStr& strHTMLFile, const PageFormat& page = {},
                            const TableFormat& format = {}, bool blnBoldFirstColumn = false);

}  // namespace tlx
