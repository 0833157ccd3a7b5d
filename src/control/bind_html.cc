// HTML export.
#include "control/bind.h"
#include "html/html_export.h"

namespace tlx {

static_assert(declaresConstants("TableAlignType", {tlxTableAlignLeft, tlxTableAlignCenter, tlxTableAlignRight}));

template <>
struct ParamGroup<TableFormat> {  // @HtmlTable
  static constexpr std::tuple fields{&TableFormat::lngTableAlign,     &TableFormat::strBackground,
                                     &TableFormat::strBackgroundColor, &TableFormat::intBorder,
                                     &TableFormat::strBorderColor,     &TableFormat::intCellSpacing,
                                     &TableFormat::intCellPadding,     &TableFormat::intWidthPct,
                                     &TableFormat::lngTableCellAlign,  &TableFormat::blnWrapCellData,
                                     &TableFormat::blnBoldFirstRow};
};

template <>
struct ParamGroup<PageFormat> {
  static constexpr std::tuple fields{&PageFormat::strPageHeading, &PageFormat::strPageTitle,
                                     &PageFormat::strPageBackground, &PageFormat::strPageBackgroundColor};
};

std::span<const Binding> htmlBindings() {
  static constexpr Binding bindings[] = {
      bind<"OneDArrayToHTMLTable", OneDArrayToHTMLTable>(),
      bind<"TwoDArrayToHTMLTable", TwoDArrayToHTMLTable>(),
      bind<"OneDArrayToHTMLFile", OneDArrayToHTMLFile>(),
      bind<"TwoDArrayToHTMLFile", TwoDArrayToHTMLFile>(),
  };
  return bindings;
}

}  // namespace tlx
