// Form controls in the text: their sizes, their place in a line, percentage widths, and where the
// native controls are before and after their line is drawn.
#include <gtest/gtest.h>

#include "FormTestSupport.h"
#include "layout/LayoutLimits.h"

namespace korva::test {
namespace {

TEST(FormLayoutTest, ControlsInALine) {
  TFormFixture f;
  f.OpenForm();
  f.OpenParagraph();
  f.Text(u"Name: ");
  auto* e = f.Add(syInput, {{syName, "NAME", "n"}, {sySize, "SIZE", "5"}});
  f.Text(u" ");
  auto* b = f.Add(syInput, {{syType, "TYPE", "submit"}}, "margin-left: 4px; margin-right: 2px");
  f.Text(u" ");
  auto* c = f.Add(syInput, {{syType, "TYPE", "checkbox"}});
  f.Text(u" end");
  ExpectDump("form-line", f.LayoutAt(400));
  // Width of "0" times the size plus 20; height the edit's own (text height plus frame).
  EXPECT_EQ(e->Width, CharW(e) * 5 + 20);
  EXPECT_EQ(e->Height, TextH(e) + 8);
  EXPECT_EQ(b->Width, CharW(b) * 6 + 20);  // "Submit" plus 20
  EXPECT_EQ(b->HSpaceL, 4);
  EXPECT_EQ(c->Width, 13);

  // Laid out but not drawn: off screen, yet shown so that it has a window.
  for (TFormControlObj* x : {static_cast<TFormControlObj*>(e), b, c}) {
    EXPECT_EQ(x->Control()->Bounds().Left, -4000);
    EXPECT_TRUE(x->Control()->Visible());
  }
  f.Draw();
  EXPECT_EQ(e->Control()->Bounds(), Bounds(e->Left, e->Top, e->Width, e->Height));
  EXPECT_EQ(b->Control()->Bounds(), Bounds(b->Left, b->Top, b->Width, b->Height));

  // Scrolled so that the line is outside the clip: the controls go back off screen; the ones
  // drawn take the scroll position off their y.
  f.Doc.SetScrollTop(30);
  f.Draw(TRect{0, 1000, 400, 1200});
  EXPECT_EQ(e->Control()->Bounds().Left, -4000);
  f.Doc.SetScrollTop(2);
  f.Draw();
  EXPECT_EQ(e->Control()->Bounds(), Bounds(e->Left, e->Top - 2, e->Width, e->Height));
}

TEST(FormLayoutTest, PrintingDrawsPicturesAndLeavesTheWidgetsAlone) {
  TFormFixture f;
  f.OpenParagraph();
  auto* e = f.Add(syInput, {{syName, "NAME", "e"}, {syValue, "VALUE", "abc"}});
  auto* p = f.Add(syInput, {{syType, "TYPE", "password"}, {syValue, "VALUE", "pw"}});
  f.Text(u" after");
  f.LayoutAt(400);
  f.Doc.FPrinting = true;
  f.Doc.FPageBottom = 100000;
  const std::string drawn = f.Draw();
  f.Doc.FPrinting = false;
  EXPECT_NE(drawn.find("\"abc\""), std::string::npos) << drawn;
  EXPECT_NE(drawn.find("\"**\""), std::string::npos) << drawn;  // a password is not printed
  EXPECT_EQ(drawn.find("pw"), std::string::npos) << drawn;
  EXPECT_EQ(e->Control()->Bounds().Left, -4000);
  EXPECT_EQ(p->Control()->Bounds().Left, -4000);
}

TEST(FormLayoutTest, AFocusedCheckBoxGetsAFocusRectangle) {
  TFormFixture f;
  auto* c = f.Add(syInput, {{syType, "TYPE", "checkbox"}});
  f.LayoutAt(400);
  EXPECT_EQ(f.Draw().find("FocusRect"), std::string::npos);
  Native(c).SetFocus();
  EXPECT_NE(f.Draw().find("FocusRect"), std::string::npos);
}

TEST(FormLayoutTest, PercentWidthsTakeTheLineAndAbove100AreIgnored) {
  constexpr int Auto = -1;  // the width of 15 characters plus 20
  struct {
    const char* style;
    bool percent;
    int width;  // at a line of 400
  } cases[] = {
      {"width: 50%", true, 200},
      {"width: 100%", true, 400 - 6},  // not more than the line less the spaces
      {"width: 150%", false, Auto},
      {"width: 90px", false, 90},
      {"width: 5px", false, Auto},  // below 10 pixels: the automatic width
  };
  for (const auto& c : cases) {
    TFormFixture f;
    std::string style = std::string(c.style) + "; margin-left: 3px; margin-right: 3px";
    auto* e = f.Add(syInput, {{syName, "NAME", "e"}}, style);
    f.LayoutAt(400);
    EXPECT_EQ(e->PercentSized(), c.percent) << c.style;
    EXPECT_EQ(e->Width, c.width == Auto ? CharW(e) * 15 + 20 : c.width) << c.style;
    EXPECT_EQ(e->HSpaceL + e->HSpaceR, 6) << c.style;
  }
}

TEST(FormLayoutTest, APercentControlDoesNotRaiseTheMinimumWidth) {
  TFormFixture f;
  auto* wide = f.Add(syInput, {{syName, "NAME", "w"}}, "width: 300px");
  f.CloseParagraph();
  auto* pct = f.Add(syInput, {{syName, "NAME", "p"}}, "width: 5%");
  f.CloseParagraph();
  (void)wide;
  f.Layout(50);
  EXPECT_EQ(pct->Width, 10);  // a narrow line still leaves it 10 pixels
  int mn = 0, mx = 0;
  f.Doc.MeasureMinMax(f.Canvas, mn, mx);
  EXPECT_EQ(mn, 300);
}

TEST(FormLayoutTest, SizesOfListsAndTextAreas) {
  TFormFixture f;
  auto* combo = f.Add(sySelect, {{syName, "NAME", "c"}}, {}, {{"short", false}, {"a longer one", false}});
  auto* list = f.Add(sySelect, {{syName, "NAME", "l"}, {sySize, "SIZE", "3"}}, {}, {{"ab", false}});
  auto* autoRows = f.Add(sySelect, {{syName, "NAME", "m"}, {syMultiple, "MULTIPLE", ""}}, {},
                         {{"1", false}, {"2", false}, {"3", false}, {"4", false}, {"5", false}, {"6", false},
                          {"7", false}, {"8", false}, {"9", false}, {"10", false}});
  auto* area = f.Add(syTextarea, {{syName, "NAME", "t"}, {syRows, "ROWS", "2"}, {syCols, "COLS", "4"}}, {}, {}, {});
  auto* sized = f.Add(syTextarea, {{syName, "NAME", "u"}}, "width: 120px; height: 40px", {}, {});
  f.LayoutAt(800);
  // Automatic widths: scroll bar, the widest option and 10.
  const int cw = CharW(combo), th = TextH(combo);
  EXPECT_EQ(combo->Width, 16 + cw * 12 + 10);
  EXPECT_EQ(combo->Height, th + 8);
  EXPECT_EQ(list->Width, 16 + cw * 2 + 10);
  EXPECT_EQ(list->Height, th * 3 + 4);
  EXPECT_EQ(autoRows->Height, th * 8 + 4);  // at most eight rows without SIZE
  // Columns of "s" plus 5, rows of text plus 5, with the frame and the vertical scroll bar.
  EXPECT_EQ(area->Width, CharW(area, u's') * 4 + 5 + 4 + 16);
  EXPECT_EQ(area->Height, th * 2 + 5 + 4);
  EXPECT_EQ(sized->Width, 120);
  EXPECT_EQ(sized->Height, 40);
}


// Counts from the page as large as an int holds: sizes stay in layout range instead of
// overflowing (the sanitized build stops at an overflow).
TEST(FormLayoutTest, HugeCountsAreKeptInRange) {
  TFormFixture f;
  const std::string huge = "2147483647";
  auto* edit = f.Add(syInput, {{syName, "NAME", "e"}, {sySize, "SIZE", huge}});
  auto* list = f.Add(sySelect, {{syName, "NAME", "l"}, {sySize, "SIZE", huge}}, {}, {{"ab", false}});
  auto* area = f.Add(syTextarea, {{syName, "NAME", "t"}, {syRows, "ROWS", huge}, {syCols, "COLS", huge}}, {}, {}, {});
  f.LayoutAt(800);
  for (TFormControlObj* c : {static_cast<TFormControlObj*>(edit), list, area}) {
    EXPECT_GT(c->Width, 0);
    EXPECT_LE(c->Width, MaxLayoutCoord);
    EXPECT_GT(c->Height, 0);
    EXPECT_LE(c->Height, MaxLayoutCoord);
  }
  EXPECT_GT(area->Width, 1000000);  // wide, not wrapped round
  EXPECT_GT(list->Height, 1000000);
}

}  // namespace
}  // namespace korva::test
