// Keyboard focus through a page: Tab and Shift+Tab move a visible focus over the links, and
// Enter follows the focused one.
#include <QApplication>

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

}  // namespace
}  // namespace korva::test
