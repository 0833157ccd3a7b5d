// HTML export, bound in declaration order of the parameters.
#include "control/bindings.h"
#include "control/talvex.h"
#include "html/html_export.h"

namespace tlx {

namespace {

using A = CallArgs;

// The table parameters from position i on: lngTableAlign, strBackground, strBackgroundColor,
// intBorder, strBorderColor, intCellSpacing, intCellPadding, intWidthPct, lngTableCellAlign,
// blnWrapCellData, blnBoldFirstRow and, for two-dimensional tables, blnBoldFirstColumn.
TableFormat tableFormat(A& a, size_t i, bool twoD) {
  TableFormat f;
  f.lngTableAlign = a.i4(i);
  f.strBackground = a.str(i + 1);
  f.strBackgroundColor = a.str(i + 2);
  f.intBorder = a.i2(i + 3);
  f.strBorderColor = a.str(i + 4);
  f.intCellSpacing = a.i2(i + 5);
  f.intCellPadding = a.i2(i + 6);
  f.intWidthPct = a.i2(i + 7);
  f.lngTableCellAlign = a.i4(i + 8);
  f.blnWrapCellData = a.boolean(i + 9);
  f.blnBoldFirstRow = a.boolean(i + 10);
  if (twoD) f.blnBoldFirstColumn = a.boolean(i + 11);
  return f;
}

// strPageHeading, strPageTitle, strPageBackground, strPageBackgroundColor from position 2.
PageFormat pageFormat(A& a) { return PageFormat{a.str(2), a.str(3), a.str(4), a.str(5)}; }

}  // namespace

std::span<const Binding> htmlBindings() {
  static const std::vector<Binding> bindings = {
      // XDArrayToHTMLTable(varArray, strTable, table parameters...)
      {"OneDArrayToHTMLTable",
       [](TALVEX&, A& a) { return Variant(OneDArrayToHTMLTable(a.var(0), a.str(1), tableFormat(a, 2, false))); }},
      {"TwoDArrayToHTMLTable",
       [](TALVEX&, A& a) { return Variant(TwoDArrayToHTMLTable(a.var(0), a.str(1), tableFormat(a, 2, true))); }},
      // XDArrayToHTMLFile(varArray, strHTMLFile, page parameters..., table parameters...)
      {"OneDArrayToHTMLFile",
       [](TALVEX&, A& a) {
         return Variant(OneDArrayToHTMLFile(a.var(0), a.str(1), pageFormat(a), tableFormat(a, 6, false)));
       }},
      {"TwoDArrayToHTMLFile",
       [](TALVEX&, A& a) {
         return Variant(TwoDArrayToHTMLFile(a.var(0), a.str(1), pageFormat(a), tableFormat(a, 6, true)));
       }},
  };
  return bindings;
}

}  // namespace tlx
