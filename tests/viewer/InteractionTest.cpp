// Scrolling by wheel and keys, the mouse over links and text, link clicks the owner handles or
// leaves to the viewer, selection by dragging (with the automatic scroll) and double-clicking,
// middle-button scrolling.
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QWheelEvent>

#include "ViewerTestSupport.h"
#include "layout/SectionList.h"
#include "platform/System.h"

namespace korva::test {
namespace {

class InteractionTest : public ViewerTest {
 protected:
  void Wheel(int delta) {
    const QPoint at(50, 50);
    QWheelEvent e(QPointF(at), QPointF(V->mapToGlobal(at)), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(V.get(), &e);
  }
};

TEST_F(InteractionTest, WheelStepsFollowTheSystemSetting) {
  V->LoadStream(Paragraphs(100), "");
  // Qt keeps no setting of 0 lines (it falls back to its default), so the viewer is told.
  int lines = 3;
  V->WheelScrollLines = [&] { return lines; };
  struct Case {
    int lines, start, delta, expected;
  } cases[] = {
      {3, 200, -120, 248},  // a notch down: 3 lines of 16 pixels
      {3, 200, 120, 152},   // up
      {3, 200, -1, 248},    // the size of the delta does not matter
      {0, 200, 120, 140},   // no line setting: half the delta, up for a positive one
      {0, 200, -120, 260},
      {3, 10, 120, 0},      // clamped at the top
  };
  for (const Case& c : cases) {
    lines = c.lines;
    V->SetPosition(c.start);
    Wheel(c.delta);
    EXPECT_EQ(V->Position(), c.expected) << c.lines << " lines, delta " << c.delta;
  }
}

TEST_F(InteractionTest, WheelReadsTheApplicationSettingByDefault) {
  V->LoadStream(Paragraphs(100), "");
  QApplication::setWheelScrollLines(2);
  Wheel(-120);
  EXPECT_EQ(V->Position(), 32);
}

TEST_F(InteractionTest, KeysScrollAndStopAtTheEnds) {
  V->LoadStream(Paragraphs(100), "");
  const int page = V->PaintPanel()->height() - 16;
  Key(Qt::Key_Down);
  EXPECT_EQ(V->Position(), 16);
  Key(Qt::Key_PageDown);
  EXPECT_EQ(V->Position(), 16 + page);
  Key(Qt::Key_Up);
  EXPECT_EQ(V->Position(), page);
  Key(Qt::Key_Home);
  EXPECT_EQ(V->Position(), 0);
  Key(Qt::Key_Up);
  EXPECT_EQ(V->Position(), 0);
  Key(Qt::Key_End);
  EXPECT_EQ(V->Position(), V->MaxVertical());
  // Page Down at the end: no movement and nothing painted again.
  Settle();
  const int paints = V->PaintCount();
  Key(Qt::Key_PageDown);
  Settle();
  EXPECT_EQ(V->Position(), V->MaxVertical());
  EXPECT_EQ(V->PaintCount(), paints);
}

TEST_F(InteractionTest, VerticalBarStepsAreTheViewersOwn) {
  V->LoadStream(Paragraphs(100), "");
  V->VScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(V->Position(), 16);
  V->VScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(V->Position(), 16 + V->PaintPanel()->height() - 16);
  V->VScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(V->Position(), V->DocHeight() - V->PaintPanel()->height());
  EXPECT_EQ(V->VScrollBar()->value(), V->Position());
}

// The first line of each page below starts at the top-left; characters are 8 pixels wide and
// lines 16 pixels high.
TEST_F(InteractionTest, HoverShowsTheHandAndReportsTheLink) {
  V->LoadStream("<a href=\"other.html\">link</a> plain text", "");
  std::vector<std::string> covered;
  V->OnHotSpotCovered = [&](TPageViewer*, const std::string& src) { covered.push_back(src); };
  Move(QPoint(10, 8));
  EXPECT_EQ(V->PanelCursorId(), 1);
  EXPECT_EQ(V->OverURL(), "other.html");
  EXPECT_TRUE(V->HoverTimer()->isActive());
  Move(QPoint(10 + 8 * 7, 8));  // over "plain"
  EXPECT_EQ(V->PanelCursorId(), 2);
  EXPECT_FALSE(V->HoverTimer()->isActive());
  Move(QPoint(10, 8));
  // The mouse leaves the panel: the next timer tick reports leaving the link.
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(Panel(), &leave);
  EXPECT_TRUE(WaitUntil([&] { return covered.size() == 4; }));
  EXPECT_EQ(covered, (std::vector<std::string>{"other.html", "", "other.html", ""}));
  EXPECT_FALSE(V->HoverTimer()->isActive());
  // Below the text: the arrow.
  Move(QPoint(10, 150));
  EXPECT_EQ(V->PanelCursorId(), 0);
}

TEST_F(InteractionTest, ALinkHandledByTheOwnerStopsTheViewer) {
  V->LoadStream("<a href=\"#end\">to the end</a>" + Paragraphs(60) + "<p><a name=end></a>End", "");
  std::vector<std::string> clicks;
  bool handle = true;
  V->OnHotSpotClick = [&](TPageViewer*, const std::string& src, bool& handled) {
    clicks.push_back(src);
    handled = handle;
  };
  Click(QPoint(10, 8));
  EXPECT_EQ(clicks, std::vector<std::string>{"#end"});
  EXPECT_EQ(V->Position(), 0);
  EXPECT_TRUE(V->Visited().empty());
  // Left to the viewer: it follows the link itself.
  handle = false;
  Click(QPoint(10, 8));
  EXPECT_EQ(clicks.size(), 2u);
  EXPECT_EQ(V->Position(), V->MaxVertical());
  ASSERT_FALSE(V->Visited().empty());
  EXPECT_EQ(V->Visited()[0], "#end");
}

TEST_F(InteractionTest, ASummaryClickOpensAndClosesItsBox) {
  V->LoadStream("<details><summary>Options</summary><p>one<p>two<p>three</details>after", "");
  std::vector<std::string> clicks;
  V->OnHotSpotClick = [&](TPageViewer*, const std::string& src, bool&) { clicks.push_back(src); };
  const int closed = V->DocHeight();
  Click(QPoint(200, 8));  // right of the summary's text, still on its box
  EXPECT_GT(V->DocHeight(), closed + 3 * 16);
  Click(QPoint(200, 8));
  EXPECT_EQ(V->DocHeight(), closed);
  EXPECT_TRUE(clicks.empty());  // no link was followed
}

TEST_F(InteractionTest, ALinkToAMissingAnchorChangesNothing) {
  V->LoadStream("<a href=\"#nowhere\">x</a>" + Paragraphs(60), "");
  V->SetPosition(0);
  Click(QPoint(4, 8));
  EXPECT_EQ(V->Position(), 0);
  EXPECT_TRUE(V->Visited().empty());
}

TEST_F(InteractionTest, LinkedFilesOpenByTheirExtension) {
  TTempFolder dir;
  std::string gif;
  ASSERT_TRUE(FileExists(std::string(KORVA_SAMPLES_DIR) + "/banner.gif"));
  {
    std::ifstream in(std::string(KORVA_SAMPLES_DIR) + "/banner.gif", std::ios::binary);
    gif.assign(std::istreambuf_iterator<char>(in), {});
  }
  dir.Write("picture.gif", gif);
  dir.Write("page.htmlx", "<p>the other page");
  const std::string start = dir.Write("start.html", "<a href=\"page.htmlx\">page</a><br><a href=\"picture.gif#x\">pic</a>"
                                                    "<br><a href=\"notes.txt\">txt</a><br><a href=\"gone.html\">gone</a>");
  struct Case {
    int line;
    const char* file;  // what the viewer shows after the click
    int kind;
  } cases[] = {
      {0, "page.htmlx", dkHtml},   // only five characters of the extension count
      {1, "picture.gif", dkImage}, // the anchor is dropped
      {2, "start.html", dkHtml},   // other extensions: nothing
  };
  for (const Case& c : cases) {
    V->LoadDocumentFile(start, dkHtml);
    Click(QPoint(4, 8 + 16 * c.line));
    EXPECT_EQ(V->CurrentFile(), dir.Path() + "/" + c.file) << c.line;
    EXPECT_EQ(V->DocType(), c.kind) << c.line;
  }
  EXPECT_GT(V->DocHeight(), 0);
  // A page that is not there is reported, and the viewer keeps its page.
  V->LoadDocumentFile(start, dkHtml);
  Click(QPoint(4, 8 + 16 * 3));
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_NE(Errors[0].find("gone.html"), std::string::npos);
  EXPECT_EQ(V->CurrentFile(), start);
}

TEST_F(InteractionTest, DoubleClickSelectsTheWordUnderThePoint) {
  // "alpha beta42gamma delta": alpha 0-4, blank 5, beta42gamma 6-16, delta 18-22.
  V->LoadStream("<p>alpha beta42gamma delta</p>", "");
  struct Case {
    int x;
    int start, length;
  } cases[] = {
      {100, 6, 11},  // inside a run of letters and digits: the whole run
      {38, 0, 5},    // the right half of the last letter still selects its word
      {44, -1, 0},   // the blank: nothing
  };
  for (const Case& c : cases) {
    V->Document().FSelB = V->Document().FSelE = -1;
    DoubleClick(QPoint(c.x, 8));
    EXPECT_EQ(V->SelLength(), c.length) << c.x;
    if (c.length) {
      EXPECT_EQ(V->SelStart(), c.start) << c.x;
    }
  }
}

TEST_F(InteractionTest, DoubleClickOnALinkFollowsItWithoutSelecting) {
  V->LoadStream("<a href=\"x.html\">word</a>", "");
  V->OnHotSpotClick = [](TPageViewer*, const std::string&, bool& handled) { handled = true; };
  DoubleClick(QPoint(10, 8));
  EXPECT_EQ(V->SelLength(), 0);
}

TEST_F(InteractionTest, DraggingSelectsText) {
  V->LoadStream("<p>alpha beta gamma</p>", "");
  Press(QPoint(1, 8));
  Move(QPoint(8 * 10 + 1, 8), Qt::LeftButton);
  Release(QPoint(8 * 10 + 1, 8));
  EXPECT_EQ(V->SelStart(), 0);
  EXPECT_EQ(V->SelLength(), 10);
  // With NoSelect the drag selects nothing.
  V->SetNoSelect(true);
  EXPECT_EQ(V->SelLength(), 0);
  Press(QPoint(1, 8));
  Move(QPoint(8 * 10 + 1, 8), Qt::LeftButton);
  Release(QPoint(8 * 10 + 1, 8));
  EXPECT_EQ(V->SelLength(), 0);
}

TEST_F(InteractionTest, DraggingAboveTheWindowScrollsUp) {
  V->LoadStream(Paragraphs(100), "");
  struct Case {
    int y, step;
  } cases[] = {{-5, 16}, {0, 16}, {-20, 128}};
  for (const Case& c : cases) {
    V->SetPosition(1000);
    Press(QPoint(20, 50));
    Move(QPoint(20, c.y), Qt::LeftButton);
    // The button comes up once the scroll loop has taken its first step.
    QMouseEvent* up = new QMouseEvent(QEvent::MouseButtonRelease, QPointF(20, c.y),
                                      QPointF(Panel()->mapToGlobal(QPoint(20, c.y))), Qt::LeftButton, Qt::NoButton,
                                      Qt::NoModifier);
    QTimer::singleShot(0, Panel(), [this, up] { QApplication::postEvent(Panel(), up); });
    EXPECT_TRUE(WaitUntil([&] { return V->Position() != 1000; })) << c.y;
    EXPECT_TRUE(WaitUntil([&] { return !V->AutoScrolling(); })) << c.y;
    const int moved = 1000 - V->Position();
    EXPECT_GE(moved, c.step) << c.y;
    EXPECT_EQ(moved % c.step, 0) << c.y;
    // The selection runs from the press to the text now under the top.
    EXPECT_GT(V->SelLength(), 0) << c.y;
  }
}

TEST_F(InteractionTest, DraggingBelowTheWindowScrollsDown) {
  V->LoadStream(Paragraphs(100), "");
  Press(QPoint(20, 50));
  const int below = V->height() + 20;
  Move(QPoint(20, below), Qt::LeftButton);
  EXPECT_TRUE(WaitUntil([&] { return V->Position() >= 128; }));
  Release(QPoint(20, below));
  EXPECT_TRUE(WaitUntil([&] { return !V->AutoScrolling(); }));
  EXPECT_EQ(V->Position() % 128, 0);
}

TEST_F(InteractionTest, MiddleClickWithoutMovingKeepsPanning) {
  V->LoadStream(Paragraphs(100), "");
  Press(QPoint(50, 50), Qt::MiddleButton);
  Release(QPoint(50, 50), Qt::MiddleButton);
  EXPECT_TRUE(V->PanMode());
  EXPECT_EQ(V->PanelCursorId(), 3);
  // Far below the start: the view moves down by 32 a step, with the down-only cursor.
  Move(QPoint(50, 150));
  EXPECT_TRUE(WaitUntil([&] { return V->Position() >= 64; }));
  EXPECT_EQ(V->PanelCursorId(), 5);
  EXPECT_EQ(V->Position() % 32, 0);
  // Back near the start: the loop stops, the up-and-down cursor returns.
  Move(QPoint(50, 60));
  EXPECT_TRUE(WaitUntil([&] { return !V->AutoScrolling(); }));
  EXPECT_EQ(V->PanelCursorId(), 3);
  // A key ends the mode.
  Key(Qt::Key_Down);
  EXPECT_FALSE(V->PanMode());
  EXPECT_EQ(V->PanelCursorId(), 0);
}

TEST_F(InteractionTest, RightClickReportsTheLinkAndTheWord) {
  V->LoadStream("<a href=\"a.html\">anchor</a> words", "");
  std::vector<TRightClickParameters> reports;
  V->OnRightClick = [&](TPageViewer*, const TRightClickParameters& p) { reports.push_back(p); };
  Press(QPoint(10, 8), Qt::RightButton);
  Release(QPoint(10, 8), Qt::RightButton);
  Press(QPoint(8 * 8 + 2, 8), Qt::RightButton);
  Release(QPoint(8 * 8 + 2, 8), Qt::RightButton);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].URL, "a.html");
  EXPECT_EQ(reports[0].ClickedWord, u"anchor");
  EXPECT_EQ(reports[1].URL, "");
  EXPECT_EQ(reports[1].ClickedWord, u"words");
}

TEST_F(InteractionTest, EnterOnAFocusedLinkFollowsItFromTheEventQueue) {
  V->LoadStream(Paragraphs(60) + "<p><a href=\"far.html\">far away</a>", "");
  QWidget* stop = nullptr;
  for (QObject* c : V->PaintPanel()->children()) {
    auto* w = qobject_cast<QWidget*>(c);
    if (w && w->focusPolicy() == Qt::TabFocus) stop = w;
  }
  ASSERT_NE(stop, nullptr);
  std::vector<std::string> clicks;
  V->OnHotSpotClick = [&](TPageViewer*, const std::string& src, bool& handled) {
    clicks.push_back(src);
    handled = true;
  };
  // Taking the focus brings the link, far below the window, to the middle of it.
  QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(stop, &in);
  EXPECT_GT(V->Position(), 0);
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(stop, &enter);
  EXPECT_TRUE(clicks.empty());
  Settle();
  EXPECT_EQ(clicks, std::vector<std::string>{"far.html"});
}

TEST_F(InteractionTest, BorderFollowsTheFocus) {
  V->LoadStream("<p>x", "");
  V->activateWindow();
  V->setFocus();
  EXPECT_TRUE(WaitUntil([&] { return V->hasFocus(); }));
  Settle();
  EXPECT_TRUE(V->BorderShown());
  V->SetBorderStyle(THtBorderStyle::htNone);
  EXPECT_FALSE(V->BorderShown());
  EXPECT_EQ(V->PaintPanel()->pos(), QPoint(0, 0));
  EXPECT_EQ(V->PaintPanel()->width(), 300);
  V->SetBorderStyle(THtBorderStyle::htSingle);
  V->clearFocus();
  Settle();
  EXPECT_TRUE(V->BorderShown());
}

}  // namespace
}  // namespace korva::test
