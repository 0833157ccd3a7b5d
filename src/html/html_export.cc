#include "html/html_export.h"

#include <string>

#include "automation/cls_concat.h"
#include "talvex/convert.h"
#include "automation/strings.h"
#include "automation/text_file.h"

namespace tlx {

namespace {

constexpr std::u16string_view CRLF = u"\r\n";

// An alignment code outside 0..2 gets the parameter's default word.
std::u16string_view alignWord(int32_t code, std::u16string_view fallback) {
  switch (code) {
    case tlxTableAlignLeft: return u"LEFT";
    case tlxTableAlignCenter: return u"CENTER";
    case tlxTableAlignRight: return u"RIGHT";
    default: return fallback;
  }
}

BStr number(int16_t n) {
  const std::string s = std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

bool present(const BStr& s) { return !trimSpaces(s).empty(); }

class TableWriter {
 public:
  explicit TableWriter(const TableFormat& f)
      : f_(f), nowrap_(f.blnWrapCellData ? u"" : u" NOWRAP") {}

  void head() {
    add(u"<TABLE ALIGN=");
    add(alignWord(f_.lngTableAlign, u"CENTER"));
    add(u" BORDER=");
    add(number(f_.intBorder));
    add(u" CELLSPACING=");
    add(number(f_.intCellSpacing));
    add(u" CELLPADDING=");
    add(number(f_.intCellPadding));
    add(u" WIDTH='");
    add(number(f_.intWidthPct));
    add(u"%'");
    attribute(u" BACKGROUND='", f_.strBackground);
    attribute(u" BGCOLOR='", f_.strBackgroundColor);
    attribute(u" BORDERCOLOR='", f_.strBorderColor);
    add(u"><TBODY>");
    add(CRLF);
  }
  void rowOpen() {
    add(u"<TR ALIGN=");
    add(alignWord(f_.lngTableCellAlign, u"RIGHT"));
    add(nowrap_);
    add(u">");
  }
  void cell(const Variant& v, bool bold) {
    add(u"<TD");
    add(nowrap_);
    add(bold ? u"><STRONG>" : u">");
    if (v.isString())
      add(v.str());
    else
      add(toBStr(v));
    add(bold ? u"</STRONG></TD>" : u"</TD>");
  }
  void rowClose() {
    add(u"</TR>");
    add(CRLF);
  }
  BStr end() {
    add(u"</TBODY></TABLE>");
    return text_.GetString();
  }

 private:
  void add(std::u16string_view s) { text_.SConcat(s); }
  void attribute(std::u16string_view opening, const BStr& value) {
    if (!present(value)) return;
    add(opening);
    add(value);
    add(u"'");
  }

  const TableFormat& f_;
  std::u16string_view nowrap_;
  clsConcat text_;
};

int16_t writePage(const BStr& table, const BStr& strHTMLFile, const PageFormat& p) {
  try {
    clsConcat page;
    auto add = [&](std::u16string_view s) { page.SConcat(s); };
    add(u"<HTML>\r\n<HEAD>\r\n");
    if (present(p.strPageHeading)) {
      add(u"<STRONG><CENTER>");
      add(trimSpaces(p.strPageHeading));
      add(u"</CENTER></STRONG><BR>\r\n");
    }
    add(u"<TITLE>\r\n");
    if (present(p.strPageTitle)) {
      add(trimSpaces(p.strPageTitle));
      add(CRLF);
    }
    add(u"</TITLE>\r\n</HEAD>\r\n");
    add(u"<BODY ");
    if (present(p.strPageBackgroundColor)) {
      add(u" BGCOLOR='");
      add(p.strPageBackgroundColor);
      add(u"'");
    }
    if (present(p.strPageBackground)) {
      add(u" BACKGROUND='");
      add(p.strPageBackground);
      add(u"'");
    }
    add(u">\r\n");
    add(table);
    add(CRLF);
    add(u"</BODY>\r\n</HTML>\r\n");
    TextWriter out(strHTMLFile);
    out.writeLine(page.GetString());
    out.close();
    return 1;
  } catch (...) {
    return -2;
  }
}

}  // namespace

int16_t OneDArrayToHTMLTable(Variant& varArray, BStr& strTable, const TableFormat& format) {
  if (!varArray.isArray()) return -1;
  try {
    const SafeArray& a = varArray.arrayRef();
    TableWriter t(format);
    t.head();
    for (int32_t i = a.lbound(1), last = a.ubound(1); i <= last; ++i) {
      t.rowOpen();
      t.cell(a.at(i), format.blnBoldFirstRow && i == a.lbound(1));
      t.rowClose();
    }
    strTable = t.end();
    return 1;
  } catch (...) {
    return -2;
  }
}

int16_t TwoDArrayToHTMLTable(Variant& varArray, BStr& strTable, const TableFormat& format, bool blnBoldFirstColumn) {
  if (!varArray.isArray()) return -1;
  try {
    const SafeArray& a = varArray.arrayRef();
    TableWriter t(format);
    t.head();
    for (int32_t r = a.lbound(1), rLast = a.ubound(1); r <= rLast; ++r) {
      t.rowOpen();
      for (int32_t c = a.lbound(2), cLast = a.ubound(2); c <= cLast; ++c) {
        bool bold = (format.blnBoldFirstRow && r == a.lbound(1)) ||
                    (blnBoldFirstColumn && c == a.lbound(2));
        t.cell(a.at(r, c), bold);
      }
      t.rowClose();
    }
    strTable = t.end();
    return 1;
  } catch (...) {
    return -2;
  }
}

// A table that cannot be built writes no page.
int16_t OneDArrayToHTMLFile(Variant& varArray, const BStr& strHTMLFile, const PageFormat& page,
                            const TableFormat& format) {
  if (!varArray.isArray()) return -1;
  BStr table;
  if (OneDArrayToHTMLTable(varArray, table, format) != 1) return -2;
  return writePage(table, strHTMLFile, page);
}

int16_t TwoDArrayToHTMLFile(Variant& varArray, const BStr& strHTMLFile, const PageFormat& page,
                            const TableFormat& format, bool blnBoldFirstColumn) {
  if (!varArray.isArray()) return -1;
  BStr table;
  if (TwoDArrayToHTMLTable(varArray, table, format, blnBoldFirstColumn) != 1) return -2;
  return writePage(table, strHTMLFile, page);
}

}  // namespace tlx
