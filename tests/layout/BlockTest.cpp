// Block boxes: margin collapsing, widths and auto margins, display and visibility, measuring,
// copying and untrusted nesting depth.
#include <gtest/gtest.h>

#include "BlockTestSupport.h"
#include "core/Attributes.h"

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
  t.Open("div", "width: 50px; margin: 0 20px");  // content wider than the width overflows it
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

TEST(BlockTest, RuleBlocksSizeAndAlignTheirRule) {
  struct TCase {
    const char* Style;
    int Align, Width, Left, Laid;
  } cases[] = {
      {"", 2, 300, 0, 300},                              // as wide as the room
      {"", 2, 10, 0, 15},                                // but never narrower than 15
      {"width: 100px", 1, 300, 0, 100},                  // left
      {"width: 100px", 2, 300, 100, 100},                // centred
      {"width: 100px", 3, 300, 200, 100},                // right
      {"width: 50%", 2, 300, 75, 150},                   // a share of the room
      {"width: 500px", 2, 300, 0, 300},                  // no wider than the room
      {"width: 100px; position: absolute", 3, 300, 0, 100},  // positioned rules stay left
  };
  for (const TCase& c : cases) {
    TLayoutFixture f;
    TProperties& p = f.Push("hr", c.Style);
    auto* hr = static_cast<THRBlock*>(f.Doc.AddSection(std::make_unique<THRBlock>(&f.Doc, nullptr, &f.Doc, p, c.Align)));
    TSectionBase* rule = hr->SetRule(std::make_unique<TLineProbe>(&f.Doc, 0, 0, 2));
    f.Pop("hr");
    f.Layout(c.Width);
    EXPECT_EQ(c.Left, hr->FContentLeft) << c.Style << " align " << c.Align;
    EXPECT_EQ(c.Laid, hr->FLaidWidth) << c.Style << " align " << c.Align;
    EXPECT_EQ(hr->FDocY, rule->FDocY);
  }
}

TEST(BlockTest, TheBodyHandsItsBackgroundToTheDocument) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("background-color: #ff0000; background-image: url(back.gif); background-repeat: repeat-y");
  t.Line();
  t.Close();
  EXPECT_EQ(TColor(0x0000FF) | PaletteMatchFlag, f.Doc.BackgroundColor());
  EXPECT_EQ("back.gif", f.Doc.BackgroundSource());
  EXPECT_FALSE(f.Doc.BackgroundPos()[0].Repeat);
  f.Layout(200);
  EXPECT_EQ("", f.Draw());  // the viewer paints the document's background
}

TEST(BlockTest, AnIdNamesTheBlock) {
  TLayoutFixture f;
  TAttributeList attrs;
  attrs.Add(syId, "ID", 0, "intro");
  TTreeBuilder t(f);
  t.Body();
  t.Line();
  TProperties& p = f.Push("div");
  TBlock* b = t.Enter(std::make_unique<TBlock>(&f.Doc, &attrs, &t.Cell(), p), "div");
  t.Close();
  t.Close();
  f.Layout(200);
  EXPECT_EQ(b, f.Doc.IDNameList().Find("intro"));
  EXPECT_EQ(21, f.Doc.IDNameList().Find("intro")->DocumentY());
}

TEST(BlockTest, DrawingVisitsOnlyWhatMeetsTheClip) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  std::vector<TLineProbe*> lines;
  for (int i = 0; i < 100; ++i) {
    t.Open("div", i == 20 ? "position: relative; top: 500px" : "");
    lines.push_back(t.Line());
    t.Close();
  }
  t.Close();
  f.Layout(300);
  f.Draw({0, 801, 300, 831});
  int drawn = 0;
  for (TLineProbe* l : lines) drawn += l->Draws;
  // Lines 50 (800..816) and 51 meet it, and line 20, which is drawn 500 pixels lower.
  EXPECT_EQ(1, lines[50]->Draws);
  EXPECT_EQ(1, lines[51]->Draws);
  EXPECT_EQ(1, lines[20]->Draws);
  EXPECT_EQ(3, drawn);
}

// A stand-in for a table wrapper, for the page-break rule of tables.
class TTableLikeBlock : public TBlock {
 public:
  using TBlock::TBlock;
  bool IsTableBlock() const override { return true; }
};

TEST(BlockTest, PrintingBreaksPagesAroundBlocks) {
  // A page of 100 pixels from the top; the block under test follows a spacer.
  struct TCase {
    const char* Name;
    int Top;
    const char* Style;
    bool Table;
    int PageBottom;
    bool Drawn;
  } cases[] = {
      {"break before", 40, "page-break-before: always; height: 30px", false, 40, false},
      {"break before at the page top", 0, "page-break-before: always; height: 30px", false, 100, true},
      {"avoid inside, crossing", 80, "page-break-inside: avoid; height: 50px", false, 80, false},
      {"avoid inside, too tall for a page", 80, "page-break-inside: avoid; height: 150px", false, 100, true},
      {"avoid inside, fits", 20, "page-break-inside: avoid; height: 50px", false, 100, true},
      {"break after", 20, "page-break-after: always; height: 30px", false, 50, true},
      {"table in the lowest third, crossing", 70, "height: 50px", true, 70, false},
      {"table higher up, crossing", 50, "height: 60px", true, 100, true},
      {"table in the lowest third, fitting", 70, "height: 20px", true, 100, true},
      {"absolute blocks never break", 40, "page-break-before: always; height: 30px; width: 10px; position: absolute; top: 40px",
       false, 100, true},
  };
  for (const TCase& c : cases) {
    TLayoutFixture f;
    TTreeBuilder t(f);
    t.Body("margin: 0");
    t.Open("div", c.Top ? "height: " + std::to_string(c.Top) + "px" : "display: none");
    t.Close();
    TProperties& p = f.Push("div", std::string(c.Style) + "; background-color: #00ff00");
    if (c.Table)
      t.Enter(std::make_unique<TTableLikeBlock>(&f.Doc, nullptr, &t.Cell(), p), "div");
    else
      t.Enter(std::make_unique<TBlock>(&f.Doc, nullptr, &t.Cell(), p), "div");
    t.Close();
    t.Close();
    f.Layout(300);
    f.Doc.FPrinting = true;
    f.Doc.FPrintBackground = true;
    f.Doc.FPageBottom = 100;
    std::string drawn = f.Draw({0, 0, 300, 100});
    EXPECT_EQ(c.PageBottom, f.Doc.FPageBottom) << c.Name;
    EXPECT_EQ(c.Drawn, drawn.find("#00FF00") != std::string::npos) << c.Name << "\n" << drawn;
  }
  // Backgrounds are printed only when asked for.
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Open("div", "height: 10px; background-color: #00ff00; border: 1px solid black");
  t.Close();
  f.Layout(100);
  f.Doc.FPrinting = true;
  f.Doc.FPageBottom = 100;
  std::string drawn = f.Draw({0, 0, 100, 100});
  EXPECT_EQ(std::string::npos, drawn.find("FillRect")) << drawn;
  EXPECT_NE(std::string::npos, drawn.find("Line")) << drawn;
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
  ASSERT_EQ(MaxLayoutDepth + 1, beyond->Depth());
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
