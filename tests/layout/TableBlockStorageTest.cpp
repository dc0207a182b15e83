// What blocks, list items and table cells keep once loaded: the resolved box reused across
// layouts, the records made only for the few that need them, and the indent managers lent for
// a layout instead of kept.
#include <gtest/gtest.h>

#include "TableTestSupport.h"
#include "images/BitmapCache.h"
#include "layout/IndentManager.h"

namespace korva::test {
namespace {

// A body without margins holding what `build` makes, laid out at `width`.
template <class F>
void LayoutBody(TLayoutFixture& f, int width, F build) {
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TTableBuilder tb(t);
  build(t, tb);
  t.Close();
  f.Layout(width);
}

ThtmlTable* TableOf(TBlock* b) { return static_cast<TTableBlock*>(b)->FTable; }

TEST(BlockStorage, BoxResolvedOnceStillCentresAtEveryWidth) {
  // The box has no percentage, so it is resolved once; its auto margins must still follow the
  // width of each layout, and measuring between layouts must not disturb them.
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TBlock* centred = t.Open("div", "width: 200px; margin: 0 auto; padding: 10px");
  t.Line();
  t.Close();
  TBlock* right = t.Open("div", "width: 100px; margin-left: auto");
  t.Line();
  t.Close();
  t.Close();
  const struct {
    int Width, CentredLeft, RightLeft;
  } cases[] = {{600, 190, 500}, {400, 90, 300}, {600, 190, 500}};
  for (const auto& c : cases) {
    f.Layout(c.Width);
    EXPECT_EQ(c.CentredLeft, centred->BorderBox().Left) << c.Width;
    EXPECT_EQ(c.RightLeft, right->FContentLeft) << c.Width;
    int mn = 0, mx = 0;
    centred->MeasureMinMax(f.Canvas, mn, mx);
    EXPECT_EQ(220, mn);
  }
}

TEST(BlockStorage, TagClassTitleAndBackgroundOnlyWhereGiven) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body();
  TBlock* plain = t.Open("div");
  t.Close();
  TBlock* styled = t.Open("p", "background-image: url(b.png)", "note");
  t.Close();
  t.Close();
  EXPECT_EQ("div", plain->DumpTag());
  EXPECT_EQ("p.note", styled->DumpTag());
  EXPECT_EQ("p", styled->TagName());
  EXPECT_EQ(nullptr, plain->BackImage());
  ASSERT_NE(nullptr, styled->BackImage());
  EXPECT_EQ("b.png", styled->BackImage()->Name);
  EXPECT_TRUE(plain->TitleText().empty());
  // The copy for printing keeps them.
  auto copy = styled->CloneForPrint(&f.Doc);
  auto* b = static_cast<TBlock*>(copy.get());
  EXPECT_EQ("p.note", b->DumpTag());
  ASSERT_NE(nullptr, b->BackImage());
  EXPECT_EQ("b.png", b->BackImage()->Name);
}

TEST(BlockStorage, ListInsideAClassedItemStillLosesItsTopMargin) {
  // The item's content cell names its owner by the tag alone, not "li.x".
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  t.Open("ul");
  TProperties& p = f.Push("li", {}, "x");
  TBlockLI* li = t.Enter(std::make_unique<TBlockLI>(&f.Doc, nullptr, &t.Cell(), p, syUl, 1, 1), "li");
  t.Line();
  TBlock* inner = t.Open("ul");
  t.Close();
  t.Close();
  t.Close();
  t.Close();
  EXPECT_EQ("li", li->FInnerCell->OwnerTag());
  EXPECT_EQ(0, inner->FBoxValues[piMarginTop]);
}

TEST(BlockStorage, PrintCopyOfAListItemOwnsItsMarkerFont) {
  auto source = std::make_unique<TLayoutFixture>();
  TTreeBuilder t(*source);
  t.Body();
  t.Open("ol");
  TBlockLI* a = t.Item(syOl, 1, 1, '1', "color: red");
  t.Close();
  TBlockLI* b = t.Item(syOl, 2, 1, '1', "color: red");
  t.Close();
  t.Close();
  t.Close();
  // Items styled alike share the document's font.
  EXPECT_EQ(&a->MarkerFont(), &b->MarkerFont());
  TLayoutFixture target;
  auto copy = a->CloneForPrint(&target.Doc);
  const TColor red = a->MarkerFont().Color();
  source.reset();  // the source document and its fonts go first
  EXPECT_EQ(red, static_cast<TBlockLI*>(copy.get())->MarkerFont().Color());
}

TEST(ScratchIndents, NestedLayoutsBorrowSeparateClearedManagers) {
  TScratchIndents outer;
  outer->PlaceFloatBlock(0, 50, false, 40);
  {
    TScratchIndents inner;
    EXPECT_NE(&*outer, &*inner);
    EXPECT_EQ(0, inner->FloatsBottom());
    inner->PlaceFloatBlock(0, 10, true, 90);
    EXPECT_EQ(90, inner->FloatsBottom());
  }
  {
    TScratchIndents again;  // the same manager, cleared
    EXPECT_EQ(0, again->FloatsBottom());
    EXPECT_EQ(again->LeftLimit, again->LeftEdgeAt(5));
  }
  EXPECT_EQ(40, outer->FloatsBottom());
}

TEST(ScratchIndents, FloatsInANestedCellStayInIt) {
  // A cell's floats end with its layout: the next cell at the same depth starts clear.
  TLayoutFixture f;
  TCellObj* first = nullptr;
  TCellObj* second = nullptr;
  LayoutBody(f, 400, [&](TTreeBuilder& t, TTableBuilder& tb) {
    tb.Table({"CELLSPACING=0", "CELLPADDING=0"});
    first = tb.Cell();
    t.Open("div", "float: left; width: 50px; height: 100px");
    t.Close();
    t.Line();
    tb.Row();
    second = tb.Cell();
    t.Line();
    tb.End();
  });
  auto* firstLine = static_cast<TLineProbe*>((*first->FCell)[1]);
  auto* secondLine = static_cast<TLineProbe*>((*second->FCell)[0]);
  EXPECT_EQ(first->ContentLeft() + 50, firstLine->Left);
  EXPECT_EQ(second->ContentLeft(), secondLine->Left);
  EXPECT_EQ(100, first->FCellVSize);  // the float extends its cell
}

TEST(CellStorage, BackgroundPicturesComeFromTheCellElseTheRow) {
  TLayoutFixture f;
  TCellObj* own = nullptr;
  TCellObj* fromRow = nullptr;
  TCellObj* none = nullptr;
  LayoutBody(f, 400, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table();
    tb.Row({"BACKGROUND=row.png"});
    own = tb.ProbeCell(10, 10, {"BACKGROUND=cell.png"});
    fromRow = tb.ProbeCell(10, 10);
    tb.Row();
    none = tb.ProbeCell(10, 10);
    tb.End();
  });
  EXPECT_EQ("cell.png", own->BackImageName());
  EXPECT_EQ("row.png", fromRow->BackImageName());
  EXPECT_EQ("", none->BackImageName());
}

// A cell's background picture (its own, or its row's) is fetched at layout and tiled under the
// cell; without pictures shown it is not fetched at all.
TEST(CellStorage, BackgroundPicturesAreFetchedAndDrawn) {
  for (bool show : {true, false}) {
    TLayoutFixture f;
    f.Host.ShowImages = show;
    TImageGraphic g;
    g.Bitmap = TBitmap::Create(16, 16, 24);
    f.Doc.ImageCache().AddEntry(ImageCacheKey("cell.png"), std::make_unique<TBitmapItem>(g, nullptr, trNone));
    TCellObj* own = nullptr;
    TCellObj* fromRow = nullptr;
    LayoutBody(f, 400, [&](TTreeBuilder&, TTableBuilder& tb) {
      tb.Table({"CELLSPACING=0", "CELLPADDING=0"});
      own = tb.ProbeCell(10, 10, {"BACKGROUND=cell.png", "WIDTH=20", "HEIGHT=20"});
      tb.Row({"BACKGROUND=cell.png"});
      fromRow = tb.ProbeCell(10, 10, {"WIDTH=20", "HEIGHT=20"});
      tb.End();
    });
    const std::string drawn = f.Draw();
    int tiles = 0;
    for (std::size_t at = drawn.find("from 24bpp"); at != std::string::npos; at = drawn.find("from 24bpp", at + 1))
      ++tiles;
    if (show) {
      EXPECT_GE(tiles, 2) << drawn;  // both cells, each tiled at least once
      EXPECT_NE(std::string::npos, drawn.find("BitBlt " + std::to_string(own->Box().Left) + "," +
                                              std::to_string(own->Box().Top)))
          << drawn;
      EXPECT_NE(std::string::npos, drawn.find("BitBlt " + std::to_string(fromRow->Box().Left) + "," +
                                              std::to_string(fromRow->Box().Top)))
          << drawn;
    } else {
      EXPECT_EQ(0, tiles) << drawn;
    }
  }
}

TEST(CellStorage, SpansKeepTheirFullRange) {
  // Spans are kept in narrow fields: the largest allowed must survive the grid.
  TLayoutFixture f;
  TCellObj* wide = nullptr;
  TCellObj* tall = nullptr;
  ThtmlTable* table = nullptr;
  LayoutBody(f, 400, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table({"CELLSPACING=0", "CELLPADDING=0"});
    wide = tb.ProbeCell(1, 1, {"COLSPAN=5000"});
    tall = tb.ProbeCell(1, 1, {"ROWSPAN=70000"});
    for (int r = 0; r < 3; ++r) {
      tb.Row();
      tb.ProbeCell(1, 1);
    }
    table = TableOf(tb.End());
  });
  EXPECT_EQ(MaxColSpan, wide->FColSpan);
  EXPECT_EQ(4, tall->FRowSpan);  // cut at the last row
  EXPECT_EQ(MaxColSpan + 1, table->FNumCols);
}

// The cell covering every grid position, worked out from the cells' own spans.
TCellObj* CoverFromSpans(const ThtmlTable& t, int row, int col) {
  for (std::size_t r = 0; r < t.FRows.size(); ++r)
    for (std::size_t k = 0; k < t.FRows[r]->FCells.size(); ++k) {
      const TCellObj* c = t.FRows[r]->FCells[k].get();
      const int cr = int(r), cc = int(k);
      if (c && cr <= row && row < cr + int(c->FRowSpan) && cc <= col && col < cc + int(c->FColSpan))
        return t.FRows[r]->FCells[k].get();
    }
  return nullptr;
}

// Only rows a span from above reaches into keep a cover; every row, and the print copy whose
// cover must lead to its own cells, answers for every position the cell the spans say.
TEST(CellStorage, RowsFindTheCellCoveringEachPosition) {
  TLayoutFixture f;
  ThtmlTable* table = nullptr;
  TBlock* block = nullptr;
  LayoutBody(f, 400, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table({"BORDER", "CELLSPACING=0"});
    tb.ProbeCell(5, 5, {"ROWSPAN=2", "COLSPAN=2"});  // rows 0-1, columns 0-1
    tb.ProbeCell(5, 5, {"COLSPAN=3"});               // columns 2-4
    tb.Row();
    tb.ProbeCell(5, 5);  // column 2; 3 and 4 are missing
    tb.Row();
    tb.ProbeCell(5, 5, {"COLSPAN=2"});
    tb.ProbeCell(5, 5, {"ROWSPAN=2"});  // column 2, rows 2-3
    tb.Row();
    tb.ProbeCell(5, 5);  // column 0
    tb.ProbeCell(5, 5);  // column 1; column 2 is covered from above
    block = tb.End();
    table = TableOf(block);
  });
  ASSERT_EQ(5, table->FNumCols);
  const std::vector<bool> keepsCover{false, true, false, true};
  for (int r = 0; r < 4; ++r) EXPECT_EQ(keepsCover[std::size_t(r)], !table->FRows[std::size_t(r)]->FCover.empty()) << r;

  TLayoutFixture g;
  auto copied = block->CloneForPrint(&g.Doc);
  const ThtmlTable* copy = static_cast<TTableBlock*>(copied.get())->FTable;
  for (const ThtmlTable* t : {static_cast<const ThtmlTable*>(table), copy})
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 6; ++c) {
        TCellObj* expected = CoverFromSpans(*t, r, c);
        EXPECT_EQ(expected, t->FRows[std::size_t(r)]->CoverAt(c)) << (t == copy ? "copy " : "") << r << "," << c;
      }
}

// A border of the cell's own style lives in the cell's extra record; a bordered table's plain
// cells get their 1-pixel border from a flag. Both survive the print copy.
TEST(CellStorage, CellBordersFromStyleOrFromTheTable) {
  TLayoutFixture f;
  TCellObj* styled = nullptr;
  TCellObj* plain = nullptr;
  TBlock* block = nullptr;
  LayoutBody(f, 400, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table({"BORDER", "CELLPADDING=0"});
    styled = tb.ProbeCell(5, 5, {}, "border: 3px solid; border-left-width: 7px");
    plain = tb.ProbeCell(5, 5);
    block = tb.End();
  });
  EXPECT_EQ((std::array<int, 4>{3, 3, 3, 7}), styled->Borders());
  EXPECT_EQ((std::array<int, 4>{1, 1, 1, 1}), plain->Borders());
  EXPECT_EQ(10, styled->HorzSpace());
  EXPECT_EQ(6, styled->VertSpace());
  TLayoutFixture g;
  auto copied = block->CloneForPrint(&g.Doc);
  const ThtmlTable* copy = static_cast<TTableBlock*>(copied.get())->FTable;
  EXPECT_EQ(styled->Borders(), copy->CellAt(0, 0)->Borders());
  EXPECT_EQ(plain->Borders(), copy->CellAt(0, 1)->Borders());
}

}  // namespace
}  // namespace korva::test
