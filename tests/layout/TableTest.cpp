// Tables: the column width algorithms, row heights, grid normalisation, captions and nesting,
// through layout dumps and the table's own results.
#include <gtest/gtest.h>

#include "TableTestSupport.h"

namespace korva::test {
namespace {

// The widths or heights of a table as a vector, to compare with the expected ones.
std::vector<int> Ints(const TCompactVector<int>& v) { return std::vector<int>(v.begin(), v.end()); }

// A body without margins holding what `build` makes, laid out at `width`.
template <class F>
std::string LayoutBody(TLayoutFixture& f, int width, F build) {
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TTableBuilder tb(t);
  build(t, tb);
  t.Close();
  return f.Layout(width);
}

ThtmlTable* TableOf(TBlock* b) { return static_cast<TTableBlock*>(b)->FTable; }

TEST(TableTest, ExtraWidthFollowsMaxMinusMin) {
  // Minimums 50 and 50, maximums 100 and 300, 250 available: 150 shared as 25 : 125.
  TLayoutFixture f;
  ThtmlTable* table = nullptr;
  std::string dump = LayoutBody(f, 250, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table({"CELLSPACING=0", "CELLPADDING=0"});
    tb.ProbeCell(50, 100);
    tb.ProbeCell(50, 300);
    table = TableOf(tb.End());
  });
  EXPECT_EQ((std::vector<int>{75, 175}), Ints(table->FWidths));
  ExpectDump("table-share-extra", dump);
}

TEST(TableTest, PercentColumnBesideAnAutoColumn) {
  // 50% (maximum 80) beside a column of maximum 100: both need 200, so each gets 100.
  TLayoutFixture f;
  ThtmlTable* table = nullptr;
  std::string dump = LayoutBody(f, 400, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table({"CELLSPACING=0", "CELLPADDING=0"});
    tb.ProbeCell(20, 80, {"WIDTH=50%"});
    tb.ProbeCell(20, 100);
    table = TableOf(tb.End());
  });
  EXPECT_EQ((std::vector<int>{100, 100}), Ints(table->FWidths));
  EXPECT_EQ(200, table->FTableWidth);
  ExpectDump("table-percent-auto", dump);
}

TEST(TableTest, FullWidthTableInsideItsMarginsBordersAndPaddings) {
  TLayoutFixture f;
  std::string dump = LayoutBody(f, 600, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table({"WIDTH=100%", "BORDER=3", "CELLPADDING=2"}, "margin: 0 10px; padding: 5px");
    tb.ProbeCell(30, 60);
    tb.ProbeCell(30, 90);
    tb.End();
  });
  // 600 - 2 x 10 margin - 2 x 3 border - 2 x 5 padding.
  EXPECT_NE(dump.find("table 18,8 564x"), std::string::npos) << dump;
  ExpectDump("table-width-100", dump);
}

TEST(TableTest, GivenTableHeightIsSharedByTheRows) {
  TLayoutFixture f;
  ThtmlTable* table = nullptr;
  std::string dump = LayoutBody(f, 300, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table({"HEIGHT=300"});
    tb.Row();
    tb.ProbeCell(10, 50);
    tb.Row();
    tb.ProbeCell(10, 50, {}, {}, 31);
    table = TableOf(tb.End());
  });
  // 298 for the rows: desired 2+1+16+1 = 20 and 35, the 243 left shared 121 and 122.
  EXPECT_EQ((std::vector<int>{141, 157}), Ints(table->FHeights));
  EXPECT_EQ(300, table->FBoxHeight);
  ExpectDump("table-height-300", dump);
}

TEST(TableTest, RowsKeepTheirDesiredHeightsWithoutAGivenHeight) {
  TLayoutFixture f;
  ThtmlTable* table = nullptr;
  LayoutBody(f, 300, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table();
    tb.Row();
    tb.ProbeCell(10, 50);
    tb.Row();
    tb.ProbeCell(10, 50, {}, {}, 31);
    table = TableOf(tb.End());
  });
  EXPECT_EQ((std::vector<int>{20, 35}), Ints(table->FHeights));
}

TEST(TableTest, SpecifiedRowHeightsTakeTheirShare) {
  // Rows of 100 and 50% of a 400 table: the percentage refers to the height less the spacing.
  TLayoutFixture f;
  ThtmlTable* table = nullptr;
  LayoutBody(f, 300, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table({"HEIGHT=400", "CELLSPACING=0"});
    tb.Row({"HEIGHT=100"});
    tb.ProbeCell(10, 50);
    tb.Row({"HEIGHT=50%"});
    tb.ProbeCell(10, 50);
    tb.Row();
    tb.ProbeCell(10, 50);
    table = TableOf(tb.End());
  });
  // Specified 102 (100 + paddings) and 200, the row without one takes what is left.
  EXPECT_EQ((std::vector<int>{102, 200, 98}), Ints(table->FHeights));
}

TEST(TableTest, FloatedTableTakesHspaceAsSideMargins) {
  TLayoutFixture f;
  TBlock* block = nullptr;
  std::string dump = LayoutBody(f, 400, [&](TTreeBuilder& t, TTableBuilder& tb) {
    tb.Table({"ALIGN=right", "HSPACE=10", "VSPACE=300"});
    tb.ProbeCell(40, 80);
    block = tb.End();
    t.Line(0, 0);
  });
  EXPECT_EQ(10, block->FBoxValues[piMarginLeft]);
  EXPECT_EQ(10, block->FBoxValues[piMarginRight]);
  EXPECT_EQ(200, block->FBoxValues[piMarginTop]);  // VSPACE is at most 200
  ExpectDump("table-hspace-float", dump);
}

TEST(TableTest, CentredTableBetweenEqualMargins) {
  TLayoutFixture f;
  TBlock* block = nullptr;
  LayoutBody(f, 400, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table({"ALIGN=center", "CELLSPACING=0", "CELLPADDING=0"});
    tb.ProbeCell(40, 100);
    block = tb.End();
  });
  EXPECT_EQ(150, block->FContentLeft);
}

TEST(TableTest, TableBesideAFloatStartsRightOfIt) {
  TLayoutFixture f;
  TBlock* block = nullptr;
  LayoutBody(f, 400, [&](TTreeBuilder& t, TTableBuilder& tb) {
    t.Cell().AddSection(std::make_unique<TFloatBox>(&f.Doc, 100, 50, false));
    tb.Table({"WIDTH=100%", "CELLSPACING=0"});
    tb.ProbeCell(40, 100);
    block = tb.End();
  });
  EXPECT_EQ(100, block->FContentLeft);
  EXPECT_EQ(300, block->FLaidWidth);
}

TEST(TableTest, AttributeDefaultsAndLimits) {
  struct TCase {
    std::initializer_list<std::string_view> Attrs;
    int Spacing, Padding, Border;
  } cases[] = {
      {{}, 2, 1, 0},
      {{"BORDER"}, 2, 1, 1},
      {{"BORDER=500", "CELLPADDING=80", "CELLSPACING=90"}, 40, 50, 100},
      {{"BORDER=-3", "CELLPADDING=-1", "CELLSPACING=-5"}, 0, 0, 0},
  };
  TLayoutFixture f;
  for (const TCase& c : cases) {
    auto a = Attrs(c.Attrs);
    ThtmlTable t(&f.Doc, a.get());
    EXPECT_EQ(c.Spacing, t.FCellSpacing);
    EXPECT_EQ(c.Padding, t.FCellPadding);
    EXPECT_EQ(c.Border, t.FTableBorderWidth);
  }
}

TEST(TableTest, CellPaddingOf80IsTakenAs50) {
  TLayoutFixture f;
  TCellObj* cell = nullptr;
  LayoutBody(f, 400, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table({"CELLPADDING=80"});
    cell = tb.ProbeCell(10, 20);
    tb.End();
  });
  EXPECT_EQ(100, cell->HorzSpace());
  EXPECT_EQ(100, cell->VertSpace());
}

}  // namespace
}  // namespace korva::test

namespace korva::test {
namespace {

TEST(TableGridTest, ColumnSpanMakesColumns) {
  TLayoutFixture f;
  ThtmlTable* table = nullptr;
  TCellObj* second = nullptr;
  LayoutBody(f, 400, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table();
    tb.ProbeCell(10, 10, {"COLSPAN=3"});
    second = tb.ProbeCell(10, 10);
    tb.ProbeCell(10, 10);
    table = TableOf(tb.End());
  });
  EXPECT_EQ(5, table->FNumCols);
  int row = -1, col = -1;
  ASSERT_TRUE(table->CellPosition(*second, row, col));
  EXPECT_EQ(0, row);
  EXPECT_EQ(3, col);
  EXPECT_EQ(second, table->CellAt(0, 3));
  EXPECT_EQ(nullptr, table->CellAt(0, 1));
}

TEST(TableGridTest, RowSpanStopsAtTheLastRowAndPushesCellsRight) {
  TLayoutFixture f;
  ThtmlTable* table = nullptr;
  TCellObj* tall = nullptr;
  std::string dump = LayoutBody(f, 400, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table({"CELLSPACING=0", "CELLPADDING=0"});
    tb.Row();
    tall = tb.ProbeCell(20, 20, {"ROWSPAN=9"});
    tb.ProbeCell(30, 30);
    tb.Row();
    tb.ProbeCell(40, 40);  // goes right of the spanning cell
    table = TableOf(tb.End());
  });
  EXPECT_EQ(2, tall->FRowSpan);
  ASSERT_NE(nullptr, table->CellAt(1, 1));
  EXPECT_EQ(nullptr, table->CellAt(1, 0));
  EXPECT_EQ(40, table->FWidths[1]);
  ExpectDump("table-rowspan-clipped", dump);
}

TEST(TableGridTest, UntrustedSpansAreCutBack) {
  TLayoutFixture f;
  ThtmlTable* table = nullptr;
  TCellObj* wide = nullptr;
  TCellObj* tall = nullptr;
  LayoutBody(f, 400, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table();
    wide = tb.Cell({"COLSPAN=2000000000"});
    tb.Row();
    tall = tb.Cell({"ROWSPAN=99999999", "COLSPAN=1000"});
    // Every further row would be covered by the cell above: 1,000 positions each.
    for (int r = 0; r < 1100; ++r) tb.Row();
    table = TableOf(tb.End());
  });
  EXPECT_EQ(MaxColSpan, wide->FColSpan);
  EXPECT_LT(tall->FRowSpan, 1100);
  EXPECT_GT(tall->FRowSpan, 900);
  std::int64_t positions = 0;
  for (const auto& row : table->FRows) positions += row->Count();
  EXPECT_LE(positions, MaxTableGridCells);
  EXPECT_EQ(MaxColSpan, table->FNumCols);
}

TEST(TableGridTest, ColumnDescriptionsGiveWidths) {
  TLayoutFixture f;
  ThtmlTable* table = nullptr;
  LayoutBody(f, 400, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table({"CELLSPACING=0", "CELLPADDING=0"});
    TableOf(tb.Open.back().Block.get())->AddColumnSpec(120, false, "", 0);
    tb.ProbeCell(10, 20);
    tb.ProbeCell(10, 30);
    table = TableOf(tb.End());
  });
  EXPECT_TRUE(table->FHasFixedWidths);
  EXPECT_EQ((std::vector<int>{120, 30}), Ints(table->FWidths));
}

TEST(TableGridTest, PercentAndPixelCellsMixedWithSpans) {
  TLayoutFixture f;
  ThtmlTable* table = nullptr;
  std::string dump = LayoutBody(f, 500, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table({"CELLSPACING=0", "CELLPADDING=0", "WIDTH=400"});
    tb.Row();
    tb.ProbeCell(10, 30, {"WIDTH=25%"});
    tb.ProbeCell(10, 30, {"WIDTH=80"});
    tb.ProbeCell(10, 30);
    tb.Row();
    tb.ProbeCell(200, 250, {"COLSPAN=2"});
    tb.ProbeCell(10, 30, {"WIDTH=50%"});
    table = TableOf(tb.End());
  });
  // 100 for 25%, 200 for 50%; the spanning minimum of 200 spreads over the first two.
  std::int64_t sum = 0;
  for (int w : table->FWidths) sum += w;
  EXPECT_EQ(400, sum);
  EXPECT_GE(table->FWidths[0] + table->FWidths[1], 200);
  ExpectDump("table-mixed-spans", dump);
}

TEST(TableCaptionTest, CaptionsAboveAndBelow) {
  for (bool below : {false, true}) {
    TLayoutFixture f;
    TBlock* wrapper = nullptr;
    std::string dump = LayoutBody(f, 400, [&](TTreeBuilder& t, TTableBuilder& tb) {
      tb.Table({"ALIGN=center"});
      tb.ProbeCell(40, 60);
      tb.Caption(below);
      t.Line(150, 150);
      tb.EndCaption();
      wrapper = tb.End();
    });
    auto* w = dynamic_cast<TTableAndCaptionBlock*>(wrapper);
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(below ? 0 : 1, w->FTableIndex);
    // As wide as the wider caption, and centred.
    EXPECT_EQ(150, w->FLaidWidth);
    EXPECT_EQ(125, w->FContentLeft);
    ExpectDump(below ? "table-caption-below" : "table-caption-above", dump);
  }
}

TEST(TableNestingTest, NestedTablesLayOutInsideTheirCells) {
  TLayoutFixture f;
  std::string dump = LayoutBody(f, 400, [&](TTreeBuilder&, TTableBuilder& tb) {
    tb.Table({"BORDER"});
    tb.ProbeCell(30, 50);
    tb.Cell({"VALIGN=top"});
    tb.Table({"CELLSPACING=4"});
    tb.Row();
    tb.ProbeCell(20, 40);
    tb.Row();
    tb.ProbeCell(20, 60);
    tb.End();
    tb.End();
  });
  ExpectDump("table-nested", dump);
}

// A chain of tables, each in the only cell of the one around it.
ThtmlTable* NestChain(TLayoutFixture& f, int depth, std::vector<ThtmlTable*>& tables, bool border = false) {
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TTableBuilder tb(t);
  for (int i = 0; i < depth; ++i) {
    tables.push_back(TableOf(border ? tb.Table({"BORDER"}) : tb.Table()));
    tb.Cell();
  }
  t.Line(10, 20);
  for (int i = 0; i < depth; ++i) tb.End();
  t.Close();
  return tables.back();
}

TEST(TableNestingTest, CellLayoutsDoNotDoubleWithDepth) {
  TLayoutFixture f;
  std::vector<ThtmlTable*> tables;
  ThtmlTable* innermost = NestChain(f, 40, tables);
  f.Layout(800);
  long long first = innermost->FCellLayouts;
  f.Layout(800);
  long long perLayout = innermost->FCellLayouts - first;
  // Deep tables keep their row heights within a pass: a bounded number of cell layouts per
  // document layout, however deep (doubling would be 2^40).
  EXPECT_GT(perLayout, 0);
  EXPECT_LE(perLayout, 16);
  // Every table is placed: the innermost line sits inside all the cells around it.
  EXPECT_EQ(40, (int)tables.size());
  EXPECT_NE(NotLaidOutY, innermost->FDocY);
  EXPECT_LT(tables[0]->FDocY, innermost->FDocY);
  EXPECT_LE(innermost->InnerBottom(), tables[0]->InnerBottom());
}

TEST(TableNestingTest, TablesDeeperThanTheLimitAreNotLaidOut) {
  TLayoutFixture f;
  std::vector<ThtmlTable*> tables;
  int depth = MaxLayoutDepth / 2 + 20;
  ThtmlTable* innermost = NestChain(f, depth, tables, true);
  f.Layout(800);
  EXPECT_TRUE(innermost->TooDeep());
  EXPECT_EQ(NotLaidOutY, innermost->FDocY);
  EXPECT_FALSE(tables[0]->TooDeep());
  // The tables within the limit still draw their frames.
  EXPECT_NE(f.Draw().find("FillRect"), std::string::npos);
}

}  // namespace
}  // namespace korva::test
