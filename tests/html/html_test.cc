// HTML tables and pages, character for character, and a page loaded in a real browser.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "automation/strings.h"
#include "html/html_export.h"
#include "support/scratch.h"

using namespace tlx;

namespace {

Variant vec(std::vector<Variant> items, int32_t lower = 0) {
  auto a = SafeArray::vector(static_cast<int32_t>(items.size()), lower);
  for (size_t i = 0; i < items.size(); ++i) a->elements()[i] = items[i];
  return Variant(std::move(a));
}

Variant mat(std::vector<std::vector<Variant>> rows, int32_t rowLower = 0, int32_t colLower = 0) {
  int32_t n = int32_t(rows.size()), m = n ? int32_t(rows[0].size()) : 0;
  auto a = std::make_unique<SafeArray>(std::vector<Bound>{{rowLower, n}, {colLower, m}});
  for (int32_t r = 0; r < n; ++r)
    for (int32_t c = 0; c < m; ++c) a->at(rowLower + r, colLower + c) = rows[r][c];
  return Variant(std::move(a));
}

Variant s(const char* t) { return Variant(u16(t)); }

std::string table1(Variant a, const TableFormat& f = {}) {
  BStr out;
  EXPECT_EQ(OneDArrayToHTMLTable(a, out, f), 1);
  return u8(out);
}
std::string table2(Variant a, const TableFormat& f = {}, bool boldFirstColumn = false) {
  BStr out;
  EXPECT_EQ(TwoDArrayToHTMLTable(a, out, f, boldFirstColumn), 1);
  return u8(out);
}

const std::string kHead = "<TABLE ALIGN=CENTER BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH='100%'><TBODY>\r\n";

TEST(HtmlTable, OneDimensionalWithDefaults) {
  EXPECT_EQ(table1(vec({s("a"), s("b")})),
            kHead +
                "<TR ALIGN=RIGHT NOWRAP><TD NOWRAP>a</TD></TR>\r\n"
                "<TR ALIGN=RIGHT NOWRAP><TD NOWRAP>b</TD></TR>\r\n"
                "</TBODY></TABLE>");
}

TEST(HtmlTable, TableAttributesInTheirOrder) {
  TableFormat f;
  f.lngTableAlign = tlxTableAlignLeft;
  f.intBorder = 1;
  f.intCellSpacing = -2;
  f.intCellPadding = 4;
  f.intWidthPct = 50;
  f.strBackground = u" bg.png ";
  f.strBackgroundColor = u"   ";  // only blanks: no attribute
  f.strBorderColor = u"#123456";
  f.lngTableCellAlign = tlxTableAlignCenter;
  f.blnWrapCellData = true;
  std::string t = table1(vec({Variant(int16_t(7))}), f);
  EXPECT_EQ(t,
            "<TABLE ALIGN=LEFT BORDER=1 CELLSPACING=-2 CELLPADDING=4 WIDTH='50%' BACKGROUND=' bg.png '"
            " BORDERCOLOR='#123456'><TBODY>\r\n"
            "<TR ALIGN=CENTER><TD>7</TD></TR>\r\n</TBODY></TABLE>");
  EXPECT_EQ(t.find("NOWRAP"), std::string::npos);
  f.strBackgroundColor = u"red";
  EXPECT_NE(table1(vec({s("x")}), f).find(" BACKGROUND=' bg.png ' BGCOLOR='red' BORDERCOLOR="), std::string::npos);
}

TEST(HtmlTable, AlignmentCodesOutsideTheRangeUseTheDefaultWord) {
  TableFormat f;
  f.lngTableAlign = 9;
  f.lngTableCellAlign = -1;
  std::string t = table1(vec({s("x")}), f);
  EXPECT_EQ(t.rfind("<TABLE ALIGN=CENTER ", 0), 0u);
  EXPECT_NE(t.find("<TR ALIGN=RIGHT NOWRAP>"), std::string::npos);
}

TEST(HtmlTable, BoldFirstRowAndColumn) {
  TableFormat f;
  f.blnBoldFirstRow = true;
  // Lower bound 1: the bold row is the row at the lower bound.
  EXPECT_EQ(table1(vec({s("h"), s("v")}, 1), f),
            kHead +
                "<TR ALIGN=RIGHT NOWRAP><TD NOWRAP><STRONG>h</STRONG></TD></TR>\r\n"
                "<TR ALIGN=RIGHT NOWRAP><TD NOWRAP>v</TD></TR>\r\n</TBODY></TABLE>");
  EXPECT_EQ(table2(mat({{s("a"), s("b")}, {s("c"), Variant(1.5)}}, -1, 3), f, true),
            kHead +
                "<TR ALIGN=RIGHT NOWRAP><TD NOWRAP><STRONG>a</STRONG></TD><TD NOWRAP><STRONG>b</STRONG></TD></TR>\r\n"
                "<TR ALIGN=RIGHT NOWRAP><TD NOWRAP><STRONG>c</STRONG></TD><TD NOWRAP>1.5</TD></TR>\r\n"
                "</TBODY></TABLE>");
  f.blnBoldFirstRow = false;
  EXPECT_EQ(table2(mat({{s("a"), Variant()}})),
            kHead + "<TR ALIGN=RIGHT NOWRAP><TD NOWRAP>a</TD><TD NOWRAP></TD></TR>\r\n</TBODY></TABLE>");
}

TEST(HtmlTable, CellDataIsNotEscaped) {
  EXPECT_NE(table1(vec({s("<b>x</b> & y")})).find("<TD NOWRAP><b>x</b> & y</TD>"), std::string::npos);
}

TEST(HtmlTable, Failures) {
  BStr out = u"unchanged";
  Variant notArray = s("x");
  EXPECT_EQ(OneDArrayToHTMLTable(notArray, out), -1);
  EXPECT_EQ(TwoDArrayToHTMLTable(notArray, out), -1);
  Variant withNull = vec({s("a"), Variant::null()});
  EXPECT_EQ(OneDArrayToHTMLTable(withNull, out), -2);
  Variant oneD = vec({s("a")});
  EXPECT_EQ(TwoDArrayToHTMLTable(oneD, out), -2);
  EXPECT_EQ(out, u"unchanged");
}

class HtmlPage : public ::testing::Test {
 protected:
  std::string read(const std::string& p) { return tlxtest::readFile(p); }
  tlxtest::ScratchDir scratch_{"talvex-html"};
  const std::filesystem::path& dir_ = scratch_.path();
};

TEST_F(HtmlPage, MinimalPage) {
  std::string file = (dir_ / "p.html").string();
  Variant a = vec({s("a")});
  ASSERT_EQ(OneDArrayToHTMLFile(a, u16(file)), 1);
  EXPECT_EQ(read(file),
            "<HTML>\r\n<HEAD>\r\n<TITLE>\r\n</TITLE>\r\n</HEAD>\r\n<BODY >\r\n" + kHead +
                "<TR ALIGN=RIGHT NOWRAP><TD NOWRAP>a</TD></TR>\r\n</TBODY></TABLE>\r\n"
                "</BODY>\r\n</HTML>\r\n\r\n");
}

TEST_F(HtmlPage, HeadingTitleAndBodyAttributes) {
  std::string file = (dir_ / "p.html").string();
  Variant a = mat({{s("x")}});
  PageFormat p{u"  Parts list ", u" Stock ", u"back.png", u" #eeeeee"};
  ASSERT_EQ(TwoDArrayToHTMLFile(a, u16(file), p), 1);
  std::string page = read(file);
  EXPECT_EQ(page.substr(0, page.find("<TABLE")),
            "<HTML>\r\n<HEAD>\r\n<STRONG><CENTER>Parts list</CENTER></STRONG><BR>\r\n<TITLE>\r\nStock\r\n"
            "</TITLE>\r\n</HEAD>\r\n<BODY  BGCOLOR=' #eeeeee' BACKGROUND='back.png'>\r\n");
  // An existing file is replaced.
  ASSERT_EQ(TwoDArrayToHTMLFile(a, u16(file)), 1);
  EXPECT_EQ(read(file).find("Parts"), std::string::npos);
}

TEST_F(HtmlPage, FailedTableWritesNoPage) {
  std::string file = (dir_ / "p.html").string();
  Variant withNull = mat({{s("a"), Variant::null()}});
  EXPECT_EQ(TwoDArrayToHTMLFile(withNull, u16(file)), -2);
  EXPECT_FALSE(std::filesystem::exists(file));
  Variant notArray;
  EXPECT_EQ(OneDArrayToHTMLFile(notArray, u16(file)), -1);
  Variant a = vec({s("a")});
  EXPECT_EQ(OneDArrayToHTMLFile(a, u16((dir_ / "no-such-dir" / "p.html").string())), -2);
}

// Headless Chromium parses the page: the table has the rows and cells that were written.
TEST_F(HtmlPage, BrowserSeesTheTable) {
  if (system("command -v chromium >/dev/null 2>&1") != 0) GTEST_SKIP() << "chromium is not installed";
  std::string file = (dir_ / "grid.html").string();
  std::vector<std::vector<Variant>> rows;
  for (int r = 0; r < 6; ++r) {
    rows.emplace_back();
    for (int c = 0; c < 4; ++c) rows.back().push_back(Variant(u16("r" + std::to_string(r) + "c" + std::to_string(c))));
  }
  Variant a = mat(rows);
  TableFormat f;
  f.blnBoldFirstRow = true;
  f.intBorder = 1;
  PageFormat p{u"Heading", u"Grid page", u"", u"white"};
  ASSERT_EQ(TwoDArrayToHTMLFile(a, u16(file), p, f), 1);

  std::string profile = (dir_ / "profile").string();
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
  EXPECT_NE(dom.find("r5c3"), std::string::npos);
  EXPECT_NE(dom.find("<title>"), std::string::npos);
  EXPECT_NE(dom.find("Grid page"), std::string::npos);
}

}  // namespace
