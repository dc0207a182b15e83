// What a loaded page keeps per object: a block's style box goes once it is resolved for good,
// its content cell lives inside it, and its nesting depth stays bounded; none of it may change
// what is laid out or drawn.
#include <gtest/gtest.h>

#include "TableTestSupport.h"

namespace korva::test {
namespace {

constexpr const char* BorderStyle =
    "color: #ff0000; border: 3px solid; border-left-color: #00ff00; border-bottom-style: dashed; "
    "padding: 2px; background-color: #0000ff; height: 20px";

// A body without margins holding one bordered div of the given width, laid out at 300 then 200.
struct TBorderedPage {
  TLayoutFixture F;
  TBlock* Div = nullptr;
  std::string Dump300, Dump200, Drawn;

  explicit TBorderedPage(const std::string& width) {
    TTreeBuilder t(F);
    t.Body("margin: 0");
    Div = t.Open("div", std::string(BorderStyle) + "; " + width);
    t.Line();
    t.Close();
    t.Close();
    Dump300 = F.Layout(300);
    Dump200 = F.Layout(200);
    Drawn = F.Draw();
  }
};

TEST(BlockBoxStorage, StyleBoxGoesOnceResolvedAndNothingDrawnChanges) {
  // "width: 100%" keeps the style box for every layout; an auto width frees it at the first
  // layout. At full width both must lay out and draw alike: the border side colours and the
  // percentage test come from what the block kept.
  TBorderedPage kept("width: 100%");
  TBorderedPage freed("width: auto");
  EXPECT_TRUE(kept.Div->HoldsStyleBox());
  EXPECT_FALSE(freed.Div->HoldsStyleBox());
  EXPECT_EQ(kept.Dump300, freed.Dump300);
  EXPECT_EQ(kept.Dump200, freed.Dump200);
  EXPECT_EQ(kept.Drawn, freed.Drawn);
  EXPECT_NE(std::string::npos, freed.Drawn.find("#00FF00")) << freed.Drawn;  // its own left colour
  EXPECT_NE(std::string::npos, freed.Drawn.find("#FF0000")) << freed.Drawn;  // the element's colour
}

TEST(BlockBoxStorage, PrintCopyOfAResolvedBlockLaysOutAsTheSource) {
  const struct {
    const char* Width;
    bool KeepsBox;
  } cases[] = {{"width: 120px; margin-left: auto", false}, {"width: 60%", true}};
  for (const auto& c : cases) {
    TBorderedPage page(c.Width);
    ASSERT_EQ(c.KeepsBox, page.Div->HoldsStyleBox()) << c.Width;
    TLayoutFixture target;
    for (const auto& s : page.F.Doc) target.Doc.AddSection(s->CloneForPrint(&target.Doc));
    EXPECT_EQ(page.Dump300, target.Layout(300)) << c.Width;
    EXPECT_EQ(page.Dump200, target.Layout(200)) << c.Width;
  }
}

TEST(BlockBoxStorage, TableBlocksKeepTheStyleWidthTheyReadAtEachLayout) {
  // The style's width of a table is read at every layout: it must still apply at the second,
  // though the prepared box is freed once resolved.
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TTableBuilder tb(t);
  TBlock* table = tb.Table({}, "width: 150px");
  tb.ProbeCell(10, 10);
  tb.End();
  t.Close();
  for (int width : {400, 300}) {
    f.Layout(width);
    EXPECT_FALSE(table->HoldsStyleBox());
    EXPECT_EQ(150, table->BorderBox().Width()) << width;
  }
}

TEST(BlockDepth, CountingStopsPastTheLayoutLimit) {
  // A hand-made tree far deeper than the limit: depths stay bounded (and so fit their field),
  // and everything past the limit is still too deep.
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body();
  t.Cell().FDepth = 40000;
  TBlock* deep = t.Open("div");
  TBlock* deeper = t.Open("div");
  t.Close();
  t.Close();
  t.Close();
  for (TBlock* b : {deep, deeper}) {
    EXPECT_TRUE(b->TooDeep());
    EXPECT_EQ(MaxLayoutDepth + 1, b->Depth());
    EXPECT_EQ(MaxLayoutDepth + 1, b->FInnerCell->FDepth);
  }
  f.Layout(300);
  EXPECT_EQ(0, deep->FBoxHeight);
}

TEST(BlockStorage, ContentCellIsHeldInsideTheBlock) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body();
  TBlock* div = t.Open("div");
  t.Close();
  t.Close();
  const auto* cell = reinterpret_cast<const char*>(div->FInnerCell.get());
  const auto* block = reinterpret_cast<const char*>(div);
  EXPECT_TRUE(cell >= block && cell < block + sizeof(TBlock));
  EXPECT_EQ(div, div->FInnerCell->ParentBlock());
}

TEST(CellStorage, StyledCellsAndTheirPrintCopiesDrawAlike) {
  // Style borders and colours live in a record made only for the cells that have them; the copy
  // for printing must carry it, and plain cells beside them draw as before.
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TTableBuilder tb(t);
  tb.Table({"BORDER", "CELLSPACING=2", "CELLPADDING=3", "BGCOLOR=#ffff00"});
  tb.ProbeCell(20, 20, {}, "border: 2px solid #123456; border-left-color: #00ff00");
  tb.ProbeCell(20, 20, {"BGCOLOR=#00ffff"});
  tb.Row();
  tb.ProbeCell(20, 20, {}, "border: 3px outset #808080; padding: 5px");
  tb.ProbeCell(20, 20);
  TBlock* block = tb.End();
  t.Close();
  f.Layout(300);
  const std::string drawn = f.Draw();
  for (const char* colour : {"#123456", "#00FF00", "#00FFFF", "#FFFF00"})
    EXPECT_NE(std::string::npos, drawn.find(colour)) << colour << "\n" << drawn;
  TLayoutFixture g;
  g.Doc.AddSection(block->CloneForPrint(&g.Doc));
  // The copy holds the table block without a body; the body had no margins, so nothing moves.
  g.Layout(300);
  EXPECT_EQ(drawn, g.Draw());
}

}  // namespace
}  // namespace korva::test
