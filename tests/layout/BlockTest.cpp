// Block boxes: margin collapsing, widths and auto margins, display and visibility, measuring,
// copying and untrusted nesting depth.
#include <gtest/gtest.h>

#include "BlockTestSupport.h"

namespace korva::test {
namespace {

TEST(BlockTest, MarginsCollapseWithTheBlockBefore) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body();
  t.Open("p");  // first in the body: its automatic top margin goes
  t.Line();
  t.Close();
  t.Open("p");  // two paragraphs: 14 apart, not 28
  t.Line();
  t.Close();
  t.Open("div", "margin-top: 20px; margin-bottom: -10px");  // 20 beats the paragraph's 14
  t.Line();
  t.Close();
  t.Open("div", "margin-top: 20px; margin-bottom: -5px");  // one negative: 20 - 10
  t.Line();
  t.Close();
  t.Open("div", "margin-top: -20px");  // both negative: the more negative
  t.Line();
  t.Close();
  t.Open("p");  // the last automatic bottom margin goes when the body closes
  t.Line();
  t.Close();
  t.Close();
  ExpectDump("block-margins", f.Layout(400));
}

TEST(BlockTest, FirstBlockInTheBodyGivesUpTheBodysMargin) {
  // A margin that is not automatic keeps what exceeds the body's own top margin.
  struct TCase {
    const char* Style;
    int Top;
  } cases[] = {{"margin-top: 19px", 5 + 14}, {"margin-top: 3px", 5}, {"", 19}};
  for (const TCase& c : cases) {
    TLayoutFixture f;
    TTreeBuilder t(f);
    t.Body();
    TBlock* h = t.Open("h1", c.Style);
    t.Line();
    t.Close();
    t.Close();
    f.Layout(300);
    EXPECT_EQ(c.Top, h->FDocY) << c.Style;
  }
}

TEST(BlockTest, MarginsInsideAListItem) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body();
  t.Open("ul");
  t.Item(syUl, 1);
  t.Line();
  t.Open("p");  // after text in an item: keeps its margin
  t.Line();
  t.Close();
  t.Close();
  t.Item(syUl, 2);
  t.Line();
  t.Open("ul");  // a nested list right after text: no top margin
  t.Item(syUl, 1, 2);
  t.Line();
  t.Close();
  t.Close();
  t.Close();
  t.Close();
  t.Close();
  ExpectDump("block-margins-li", f.Layout(400));
}

TEST(BlockTest, AutoMarginsAndCentring) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  // 200 wide in 600: margins of 200 each, less borders and paddings.
  t.Open("div", "width: 200px; margin: 0 auto");
  t.Line();
  t.Close();
  t.Open("div", "width: 200px; margin: 0 auto; padding: 10px; border: 5px solid black");
  t.Line();
  t.Close();
  t.Open("div", "width: 100px; margin-left: auto");  // pushed to the right
  t.Line();
  t.Close();
  t.Open("div", "width: 100px; margin-right: auto");  // stays left
  t.Line();
  t.Close();
  t.Open("div", "margin-left: auto; margin-right: 50px");  // auto width: the margin is 0
  t.Line();
  t.Close();
  t.Open("div", "width: 50px; margin: 0 20px");  // content wider than the width wins
  t.Line(120, 120);
  t.Close();
  t.Close();
  ExpectDump("block-auto-margins", f.Layout(600));
}

TEST(BlockTest, PercentWidthsAndPaddings) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  t.Open("div", "width: 50%");
  t.Open("div", "width: 50%; padding-left: 10%");  // 10% of the 300 available
  t.Line();
  t.Close();
  t.Close();
  // 100% with paddings is limited to what the paddings leave.
  t.Open("div", "width: 100%; padding: 0 10px; margin-left: 5px");
  t.Line();
  t.Close();
  t.Close();
  ExpectDump("block-percent", f.Layout(600));
  // The same blocks at another width follow it.
  std::string narrow = f.Layout(200);
  EXPECT_NE(std::string::npos, narrow.find("block div 0,0 100x16")) << narrow;
}

TEST(BlockTest, HiddenKeepsItsSpaceDisplayNoneTakesNone) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  t.Open("div", "height: 20px; background-color: #ff0000");
  t.Close();
  TBlock* hidden = t.Open("div", "height: 30px; visibility: hidden; background-color: #0000ff");
  TLineProbe* hiddenLine = t.Line();
  t.Close();
  TBlock* none = t.Open("div", "height: 40px; display: none; background-color: #00ff00");
  TLineProbe* noneLine = t.Line();
  t.Close();
  t.Open("div", "height: 10px; background-color: #ffff00");
  t.Close();
  t.Close();
  ExpectDump("block-visibility", f.Layout(100));
  EXPECT_EQ("FillRect 0,0,100,20 #FF0000\n"
            "FillRect 0,50,100,60 #FFFF00\n",
            f.Draw());
  EXPECT_EQ(0, hiddenLine->Draws);
  EXPECT_EQ(0, noneLine->Draws);
  int mn = -1, mx = -1;
  none->MeasureMinMax(f.Canvas, mn, mx);
  EXPECT_EQ(0, mn);
  EXPECT_EQ(0, mx);
  hidden->MeasureMinMax(f.Canvas, mn, mx);
  EXPECT_EQ(0, mn);
}

TEST(BlockTest, MinimumAndMaximumWidths) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  struct TCase {
    const char* Style;
    int Min, Max;
  } cases[] = {
      {"", 100, 300},
      {"padding: 0 5px; border: 2px solid black; margin: 0 3px", 120, 320},
      {"width: 200px; padding: 0 5px", 210, 210},  // a given width fixes the maximum
      {"width: 50px", 100, 100},                   // never below the content's minimum
      {"margin: 0 auto", 100, 300},                // auto margins count as 0
      {"width: 50%", 100, 300},                    // percentages of nothing
  };
  for (const TCase& c : cases) {
    TBlock* b = t.Open("div", c.Style);
    t.Line(100, 300);
    t.Close();
    int mn = -1, mx = -1;
    b->MeasureMinMax(f.Canvas, mn, mx);
    EXPECT_EQ(c.Min, mn) << c.Style;
    EXPECT_EQ(c.Max, mx) << c.Style;
  }
}

TEST(BlockTest, ParagraphsEndTheirCopiedTextWithALineBreak) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body();
  t.Open("p");
  t.Line();
  t.Close();
  t.Open("div");
  t.Line();
  t.Close();
  t.Open("p");
  t.Line();
  t.Close();
  t.Close();
  f.Layout(300);
  f.Doc.FSelB = 0;
  f.Doc.FSelE = 3;
  std::u16string text;
  f.Doc.AppendSelectedText(text);
  // The second paragraph ends where the selection does: no line break after it.
  EXPECT_EQ(u"\r\n", text);
}

TEST(BlockTest, PrintCopyLaysOutAsTheOriginal) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body();
  t.Open("div", "width: 120px; border: 3px double red; float: right; height: 40px");
  t.Line();
  t.Close();
  t.Open("p", "margin-left: 25px");
  t.Line();
  t.Close();
  t.Close();
  std::string original = f.Layout(400);
  TSectionList copy;
  copy.ApplyDefaults({});
  copy.FIsCopy = true;
  for (const auto& s : f.Doc) copy.AddSection(s->CloneForPrint(&copy));
  int sw = 0;
  copy.DoLayout(f.Canvas, 400, 0, sw);
  EXPECT_EQ(original, copy.LayoutDump());
}

TEST(BlockTest, DeepNestingNeitherRecursesNorLeaks) {
  // A tree far deeper than any page the builder makes: layout, drawing, measuring, queries and
  // freeing stay within a bounded stack, and blocks below the limit count as empty.
  constexpr int Depth = 100000;
  TLayoutFixture f;
  TProperties& p = f.Push("div", "padding: 1px 0; background-color: #102030");
  TCellBasic* cell = &f.Doc;
  TBlock* atLimit = nullptr;
  TBlock* beyond = nullptr;
  for (int i = 1; i <= Depth; ++i) {
    auto* b = static_cast<TBlock*>(cell->AddSection(std::make_unique<TBlock>(&f.Doc, nullptr, cell, p)));
    if (i == MaxLayoutDepth) atLimit = b;
    if (i == MaxLayoutDepth + 1) beyond = b;
    cell = b->FInnerCell.get();
  }
  cell->AddSection(std::make_unique<TLineProbe>(&f.Doc, 10, 10));
  ASSERT_EQ(MaxLayoutDepth + 1, beyond->FDepth);
  int sw = 0;
  int height = f.Doc.DoLayout(f.Canvas, 300, 0, sw);
  EXPECT_EQ(2 * (MaxLayoutDepth - 1), height - atLimit->FBoxHeight);
  EXPECT_EQ(2, atLimit->FBoxHeight);  // its only content lies beyond the limit
  EXPECT_EQ(0, beyond->FBoxHeight);
  f.Draw();
  EXPECT_EQ(std::size_t(MaxLayoutDepth), f.Canvas.Lines().size());
  THotSpot spot;
  EXPECT_FALSE(f.Doc.DocHotSpotAt(f.Canvas, 5, 5, spot));
  int mn = 0, mx = 0;
  f.Doc[0]->MeasureMinMax(f.Canvas, mn, mx);
  EXPECT_EQ(0, mn);
  std::string dump = f.Doc.LayoutDump();
  EXPECT_EQ(std::size_t(MaxLayoutDepth + 2), std::size_t(std::count(dump.begin(), dump.end(), '\n')));
  std::u16string text;
  f.Doc.FSelB = 0;
  f.Doc.FSelE = 10;
  f.Doc.AppendSelectedText(text);
  f.Pop("div");
  f.Doc.Clear();
  EXPECT_EQ(0, f.Doc.Count());
}

}  // namespace
}  // namespace korva::test
