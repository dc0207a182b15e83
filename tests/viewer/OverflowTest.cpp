// Content wider than the pane: blocks keep the pane's width, the page's scroll width grows, and
// the horizontal bar moves the page.
#include <QImage>

#include "ViewerTestSupport.h"
#include "layout/SectionList.h"

namespace korva::test {
namespace {

class OverflowTest : public ViewerTest {
 protected:
  // Columns of the panel's row y whose pixel is pure red.
  std::vector<int> RedColumns(int y) {
    const QImage image = V->PaintPanel()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    std::vector<int> xs;
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) == 0xFF0000) xs.push_back(x);
    return xs;
  }
};

TEST_F(OverflowTest, ALongLineWidensTheScrollWidthAndTheBarScrollsThePage) {
  const std::string longLine(400, 'x');
  V->LoadStream("<body style=\"margin:0\"><div style=\"background:#ff0000; height:20px\"></div>"
                "<p>A paragraph of ordinary words that wraps at the pane's width.</p><pre>" + longLine + "</pre>",
                "");
  Settle();
  const int pane = V->PaintPanel()->width();
  EXPECT_GT(V->ScrollWidth(), pane);
  // The paragraph and the coloured block are laid out at the pane's width, not the line's.
  const std::vector<int> before = RedColumns(10);
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(before.front(), 0);
  EXPECT_EQ(before.back(), pane - 1);
  EXPECT_LE(V->Document().LaidWidth(), pane);
  // Scrolled right by 100: the block's right end comes 100 pixels nearer.
  V->SetHScrollPos(100);
  Settle();
  EXPECT_EQ(V->HScrollPos(), 100);
  const std::vector<int> after = RedColumns(10);
  ASSERT_FALSE(after.empty());
  EXPECT_EQ(after.back(), pane - 1 - 100);
}

}  // namespace
}  // namespace korva::test
