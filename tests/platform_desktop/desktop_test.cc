// The session's desktop: which windows a title activates, and where point picks come from.
#include <gtest/gtest.h>

#include "automation/strings.h"
#include "platform/desktop/desktop.h"
#include "talvex/host_site.h"

namespace tlx {
namespace {

struct Site : HostSite {
  void messageBox(const BStr&) override {}
};

TEST(Desktop, OnlyAnOpenVisibleWindowWithTheWholeTitleIsActivated) {
  Desktop& d = Desktop::instance();
  const Desktop::WindowId shown = d.openWindow(u"Drawing1.dwg"), hidden = d.openWindow(u"Book1", false),
                          renamed = d.openWindow(u"Document1");
  d.setTitle(renamed, u"Report.docx");
  const struct {
    const char16_t* title;
    bool found;
  } cases[] = {{u"Drawing1.dwg", true}, {u"drawing1.dwg", false}, {u"Drawing1", false}, {u"Book1", false},
               {u"Document1", false},   {u"Report.docx", true},   {u"", false}};
  for (auto& c : cases) EXPECT_EQ(d.activate(c.title), c.found) << u8(c.title);
  d.setVisible(hidden, true);
  d.closeWindow(shown);
  EXPECT_TRUE(d.activate(u"Book1"));
  EXPECT_FALSE(d.activate(u"Drawing1.dwg"));
  EXPECT_FALSE(d.isOpen(shown));
  Site site;
  EXPECT_NO_THROW(site.activateWindow(u"Report.docx"));
  EXPECT_THROW(site.activateWindow(u"Drawing1.dwg"), ComError);
  for (auto id : {hidden, renamed}) d.closeWindow(id);
}

TEST(Desktop, PicksComeFromTheSourceTheHostInstalled) {
  Desktop& d = Desktop::instance();
  d.setPickSource(nullptr);
  EXPECT_EQ(d.pick(u"Point: "), std::nullopt);  // without a source every pick is cancelled
  d.setPickSource([](const BStr& prompt) { return prompt == BStr(u"Point: ") ? std::optional(Point3{1, 2, 3}) : std::nullopt; });
  EXPECT_EQ(d.pick(u"Point: "), (Point3{1, 2, 3}));
  EXPECT_EQ(d.pick(u"Other: "), std::nullopt);
  d.setPickSource(nullptr);
}

}  // namespace
}  // namespace tlx
