// Keyboard focus through a page: Tab and Shift+Tab move a visible focus over the links, and
// Enter follows the focused one.
#include <QApplication>
#include <QWheelEvent>

#include "ViewerTestSupport.h"
#include "layout/SectionList.h"

namespace korva::test {
namespace {

class FocusTest : public ViewerTest {};

TEST_F(FocusTest, TabReachesTheLinksInOrderAndEnterFollows) {
  V->LoadStream("<p>Start <a href=\"one.html\">one</a> and <a href=\"two.html\">two</a>.</p>", "");
  V->show();
  QApplication::setActiveWindow(V.get());
  V->setFocus();
  Settle();
  std::string followed;
  V->OnHotSpotClick = [&](TPageViewer*, const std::string& url, bool& handled) {
    followed = url;
    handled = true;
  };
  QWidget* before = QApplication::focusWidget();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  Settle();
  QWidget* first = QApplication::focusWidget();
  ASSERT_NE(first, nullptr);
  EXPECT_NE(first, before);
  EXPECT_TRUE(V->isAncestorOf(first));
  QTest::keyClick(first, Qt::Key_Return);
  Settle();
  EXPECT_EQ(followed, "one.html");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  Settle();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  Settle();
  EXPECT_EQ(followed, "two.html");
}

// The status line's link target follows the page when the wheel moves it under a still mouse.
TEST_F(FocusTest, WheelScrollTellsWhatTheMouseIsOverNow) {
  std::string page = "<p><a href=\"top.html\">a link at the top of the page</a></p>";
  for (int i = 0; i < 100; ++i) page += "<p>line " + std::to_string(i) + "</p>";
  V->LoadStream(page, "");
  std::vector<std::string> covered;
  V->OnHotSpotCovered = [&](TPageViewer*, const std::string& url) { covered.push_back(url); };
  const QPoint over(40, 14);
  Move(over);
  ASSERT_EQ(covered, (std::vector<std::string>{"top.html"}));
  QWheelEvent wheel(QPointF(over), QPointF(V->mapToGlobal(over)), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(V.get(), &wheel);
  ASSERT_GT(V->Position(), 0);
  EXPECT_EQ(covered, (std::vector<std::string>{"top.html", ""}));
}

}  // namespace
}  // namespace korva::test
