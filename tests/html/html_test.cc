// HTML tables and pages, character for character, and a page loaded in a real browser.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "arrays/arrays_fixture.h"
#include "html/html_export.h"

using namespace tlx;
using tlxtest::mat;
using tlxtest::vec;
using tlxtest::str;

namespace {

const std::string kHead = "<TABLE ALIGN=CENTER BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH='100%'><TBODY>\r\n";
const std::string kEnd = "</TBODY></TABLE>";

// A row and a cell as the defaults write them.
std::string tr(const std::string& cells) { return "<TR ALIGN=RIGHT NOWRAP>" + cells + "</TR>\r\n"; }
std::string td(const std::string& text) { return "<TD NOWRAP>" + text + "</TD>"; }

TEST(HtmlTable, CharacterForCharacter) {
  const struct {
    const char* what;
    Variant array;
    TableFormat format;
    bool boldFirstColumn;
    std::string html;
  } cases[] = {
      {"defaults", vec({str("a"), str("b")}), {}, false, kHead + tr(td("a")) + tr(td("b")) + kEnd},
      {"cell data is not escaped", vec({str("<b>x</b> & y")}), {}, false, kHead + tr(td("<b>x</b> & y")) + kEnd},
      {"every attribute, in its order",
       vec({Variant(int16_t(7))}),
       {.lngTableAlign = tlxTableAlignLeft, .strBackground = u" bg.png ", .strBackgroundColor = u"red", .intBorder = 1,
        .strBorderColor = u"#123456", .intCellSpacing = -2, .intCellPadding = 4, .intWidthPct = 50,
        .lngTableCellAlign = tlxTableAlignCenter, .blnWrapCellData = true},
       false,
       "<TABLE ALIGN=LEFT BORDER=1 CELLSPACING=-2 CELLPADDING=4 WIDTH='50%' BACKGROUND=' bg.png ' BGCOLOR='red'"
       " BORDERCOLOR='#123456'><TBODY>\r\n<TR ALIGN=CENTER><TD>7</TD></TR>\r\n" + kEnd},
      // Alignment codes outside the range get the default word; only blanks give no attribute.
      {"defaults for odd values", vec({str("x")}),
       {.lngTableAlign = 9, .strBackgroundColor = u"   ", .lngTableCellAlign = -1}, false,
       kHead + tr(td("x")) + kEnd},
      // The bold row is the row at the lower bound.
      {"bold first row", vec({str("h"), str("v")}, 1), {.blnBoldFirstRow = true}, false,
       kHead + tr(td("<STRONG>h</STRONG>")) + tr(td("v")) + kEnd},
      {"bold first row and column", mat({{str("a"), str("b")}, {str("c"), Variant(1.5)}}, -1, 3),
       {.blnBoldFirstRow = true}, true,
       kHead + tr(td("<STRONG>a</STRONG>") + td("<STRONG>b</STRONG>")) + tr(td("<STRONG>c</STRONG>") + td("1.5")) +
           kEnd},
      {"two dimensions, Empty", mat({{str("a"), Variant()}}), {}, false, kHead + tr(td("a") + td("")) + kEnd},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Variant a = c.array;
    BStr out;
    if (a.arrayRef().dims() == 2)
      ASSERT_EQ(TwoDArrayToHTMLTable(a, out, c.format, c.boldFirstColumn), 1);
    else
      ASSERT_EQ(OneDArrayToHTMLTable(a, out, c.format), 1);
    EXPECT_EQ(u8(out), c.html);
  }
}

TEST(Html, FailuresLeaveTextAndFilesAlone) {
  tlxtest::ScratchDir dir("talvex-html");
  const BStr file = u16(dir.file("p.html"));
  BStr out = u"unchanged";
  Variant notArray = str("x"), withNull = vec({str("a"), Variant::null()}), oneD = vec({str("a")}),
          twoDWithNull = mat({{str("a"), Variant::null()}});
  EXPECT_EQ(OneDArrayToHTMLTable(notArray, out), -1);
  EXPECT_EQ(TwoDArrayToHTMLTable(notArray, out), -1);
  EXPECT_EQ(OneDArrayToHTMLTable(withNull, out), -2);
  EXPECT_EQ(TwoDArrayToHTMLTable(oneD, out), -2);
  EXPECT_EQ(out, u"unchanged");
  // A table that cannot be built writes no page.
  EXPECT_EQ(OneDArrayToHTMLFile(notArray, file), -1);
  EXPECT_EQ(TwoDArrayToHTMLFile(notArray, file), -1);
  EXPECT_EQ(OneDArrayToHTMLFile(withNull, file), -2);
  EXPECT_EQ(TwoDArrayToHTMLFile(twoDWithNull, file), -2);
  EXPECT_FALSE(std::filesystem::exists(dir.file("p.html")));
  EXPECT_EQ(OneDArrayToHTMLFile(oneD, u16(dir.file("no-such-dir/p.html"))), -2);
}

TEST(HtmlPage, MinimalPageThenOneWithHeadingTitleAndBody) {
  tlxtest::ScratchDir dir("talvex-html");
  const std::string file = dir.file("p.html");
  Variant a = vec({str("a")});
  ASSERT_EQ(OneDArrayToHTMLFile(a, u16(file)), 1);
  EXPECT_EQ(tlxtest::readFile(file), "<HTML>\r\n<HEAD>\r\n<TITLE>\r\n</TITLE>\r\n</HEAD>\r\n<BODY >\r\n" + kHead +
                                         tr(td("a")) + kEnd + "\r\n</BODY>\r\n</HTML>\r\n\r\n");
  // The page replaces the first one; heading and title are trimmed, the body's values are not.
  Variant m = mat({{str("x")}});
  ASSERT_EQ(TwoDArrayToHTMLFile(m, u16(file), {u"  Parts list ", u" Stock ", u"back.png", u" #eeeeee"}), 1);
  EXPECT_EQ(tlxtest::readFile(file),
            "<HTML>\r\n<HEAD>\r\n<STRONG><CENTER>Parts list</CENTER></STRONG><BR>\r\n<TITLE>\r\nStock\r\n"
            "</TITLE>\r\n</HEAD>\r\n<BODY  BGCOLOR=' #eeeeee' BACKGROUND='back.png'>\r\n" +
                kHead + tr(td("x")) + kEnd + "\r\n</BODY>\r\n</HTML>\r\n\r\n");
}

// Headless Chromium parses the page: the table has the rows and cells that were written.
TEST(HtmlPage, BrowserSeesTheTable) {
  if (system("command -v chromium >/dev/null 2>&1") != 0) GTEST_SKIP() << "chromium is not installed";
  tlxtest::ScratchDir dir("talvex-html");
  std::string file = dir.file("grid.html");
  std::vector<std::vector<Variant>> rows(6);
  for (int r = 0; r < 6; ++r)
    for (int c = 0; c < 4; ++c) rows[r].push_back(Variant(u16("r" + std::to_string(r) + "c" + std::to_string(c))));
  Variant a = mat(rows);
  const PageFormat page{u"Heading", u"Grid page", u"", u"white"};
  ASSERT_EQ(TwoDArrayToHTMLFile(a, u16(file), page, {.intBorder = 1, .blnBoldFirstRow = true}), 1);

  std::string profile = dir.file("profile");
  std::string cmd = "timeout 120 chromium --headless --no-sandbox --disable-gpu --no-first-run "
                    "--disable-background-networking --disable-component-update --disable-sync "
                    "--user-data-dir=" + profile + " --dump-dom file://" + file + " 2>/dev/null";
  std::string dom = tlxtest::shell(cmd, false);
  ASSERT_FALSE(dom.empty());
  auto count = [&](const std::string& pattern) {
    std::regex re(pattern, std::regex::icase);
    return std::distance(std::sregex_iterator(dom.begin(), dom.end(), re), std::sregex_iterator());
  };
  EXPECT_EQ(count("<table[ >]"), 1);
  EXPECT_EQ(count("<tr[ >]"), 6);
  EXPECT_EQ(count("<td[ >]"), 24);
  EXPECT_EQ(count("<strong>r0c[0-3]</strong>"), 4);
  EXPECT_NE(dom.find("Grid page"), std::string::npos);
}

}  // namespace
