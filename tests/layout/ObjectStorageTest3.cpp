// What a loaded page keeps per table, row, cell, image and list item, and what it no longer
// keeps: a table block reads its style's sizes from fields of its own, a row keeps its style
// only until its cells have it, a cell finds its grid position through its table and shares one
// word between its table and its extra record, an image holds its sizes in bits, a list item
// shares one word between its marker font and its record. None of it may change what is laid
// out or drawn.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>

#include "ImageTestSupport.h"
#include "TableTestSupport.h"
#include "layout/FormControl.h"
#include "layout/ImageObj.h"

namespace korva::test {
namespace {

ThtmlTable* TableIn(TBlock* block) { return static_cast<TTableBlock*>(block)->FTable; }

TEST(TableBlockStorage, StyleSizesApplyAtEveryLayoutOnceTheStyleBoxIsGone) {
  // The style's width beats WIDTH, its height beats HEIGHT; a percentage height has nothing to
  // refer to here (the page has no height), so HEIGHT applies.
  const struct {
    std::initializer_list<std::string_view> Attrs;
    const char* Style;
    int Width, Height;
  } cases[] = {
      {{"WIDTH=300", "HEIGHT=80"}, "", 300, 80},
      {{"WIDTH=300", "HEIGHT=80"}, "width: 150px; height: 120px", 150, 120},
      {{"WIDTH=50%", "HEIGHT=90"}, "height: 50%", -50, 90},
      {{}, "width: 222px; height: 33px", 222, 33},
  };
  for (const auto& c : cases) {
    TLayoutFixture f;
    TTreeBuilder t(f);
    t.Body("margin: 0");
    TTableBuilder tb(t);
    TBlock* table = tb.Table(c.Attrs, c.Style);
    tb.ProbeCell(10, 10);
    tb.End();
    t.Close();
    for (int width : {400, 300}) {
      f.Layout(width);
      const int expectedWidth = c.Width < 0 ? width * -c.Width / 100 : c.Width;  // negative: percent
      EXPECT_EQ(expectedWidth, table->BorderBox().Width()) << c.Style << " at " << width;
      EXPECT_EQ(c.Height, table->BorderBox().Height()) << c.Style << " at " << width;
      // Only a box with a percentage is still held (the block resolves it at each layout).
      EXPECT_EQ(std::string(c.Style).find('%') != std::string::npos, table->HoldsStyleBox()) << c.Style;
    }
    // The print copy reads the same sizes.
    TLayoutFixture target;
    for (const auto& s : f.Doc) target.Doc.AddSection(s->CloneForPrint(&target.Doc));
    EXPECT_EQ(f.Layout(400), target.Layout(400)) << c.Style;
  }
}

TEST(RowStorage, ARowsStyleGoesToItsCellsAndIsThenFreed) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TTableBuilder tb(t);
  TBlock* block = tb.Table({"CELLSPACING=0", "CELLPADDING=0"});
  TCellList* styled = tb.Row({"HEIGHT=50", "BGCOLOR=#102030"});
  TCellObj* tall = tb.ProbeCell(10, 10);
  TCellObj* own = tb.ProbeCell(10, 10, {"BGCOLOR=#405060", "HEIGHT=70"});
  TCellList* percent = tb.Row({"HEIGHT=40%"});
  TCellObj* share = tb.ProbeCell(10, 10);
  TCellList* plain = tb.Row();
  TCellObj* bare = tb.ProbeCell(10, 10);
  tb.End();
  t.Close();
  EXPECT_NE(nullptr, styled->FStyle);
  EXPECT_NE(nullptr, percent->FStyle);
  EXPECT_EQ(nullptr, plain->FStyle);  // rows without a style of their own keep nothing

  // The cells took the row's height as they were added, the colour once the grid is built.
  EXPECT_EQ(50, int(tall->FGivenH));
  EXPECT_EQ(70, int(own->FGivenH));
  EXPECT_EQ(40, int(share->FGivenHPercent));
  f.Layout(400);
  for (TCellList* row : {styled, percent, plain}) EXPECT_EQ(nullptr, row->FStyle);
  EXPECT_EQ(TColor(0x302010), ColorToRGB(tall->BackColor()));
  EXPECT_EQ(TColor(0x605040), ColorToRGB(own->BackColor()));
  EXPECT_FALSE(bare->HasBackColor());
  EXPECT_EQ(70, tall->Box().Height);

  // Each row starts where the one above ends (found from the table's row heights). The row list
  // keeps no spare room once the grid is built.
  ThtmlTable* table = TableIn(block);
  EXPECT_EQ(table->FRows.size(), table->FRows.capacity());
  EXPECT_EQ(tall->Box().Top + tall->Box().Height, share->Box().Top);
  EXPECT_EQ(share->Box().Top + share->Box().Height, bare->Box().Top);
  if constexpr (sizeof(void*) == 8) {
    EXPECT_LE(sizeof(TCellList), 24u);
    EXPECT_LE(sizeof(ThtmlTable), 176u);
  }
}

TEST(TableCellStorage, CellsFindTheirPositionAndTableWhateverTheyKeep) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TTableBuilder tb(t);
  TBlock* block = tb.Table({"BORDER", "CELLSPACING=2"});
  TCellObj* corner = tb.ProbeCell(10, 10, {"ROWSPAN=2", "COLSPAN=2"});
  TCellObj* bordered = tb.ProbeCell(10, 10, {}, "border: 2px solid #00ff00");
  tb.Row();
  TCellObj* padded = tb.ProbeCell(10, 10, {}, "padding-left: 300px");
  tb.Row();
  TCellObj* baseline = tb.ProbeCell(10, 10, {"VALIGN=baseline"});
  TCellObj* plain = tb.ProbeCell(10, 10);
  tb.End();
  t.Close();
  f.Layout(800);
  ThtmlTable* table = TableIn(block);

  // Grid positions come from the grid: spans push the later cells right.
  const struct {
    TCellObj* Cell;
    int Row, Col;
  } at[] = {{corner, 0, 0}, {bordered, 0, 2}, {padded, 1, 2}, {baseline, 2, 0}, {plain, 2, 1}};
  for (const auto& a : at) {
    int row = -1, col = -1;
    ASSERT_TRUE(table->CellPosition(*a.Cell, row, col));
    EXPECT_EQ(a.Row, row);
    EXPECT_EQ(a.Col, col);
    EXPECT_EQ(a.Cell, table->CellAt(row, col));
  }
  // The corner's box covers two rows and two columns; the cells right of and below it start
  // where it ends.
  const TCellBox big = corner->Box();
  EXPECT_EQ(big.Left + big.Width, bordered->Box().Left);
  EXPECT_EQ(big.Left + big.Width, padded->Box().Left);
  EXPECT_EQ(big.Top + big.Height, baseline->Box().Top);

  // Cells with an extra record (a border of their own, a wide padding, a baseline offset) and
  // cells without one answer for their table and document alike.
  for (TCellObj* c : {corner, bordered, padded, baseline, plain}) {
    EXPECT_EQ(table, c->FCell->Table());
    EXPECT_EQ(&f.Doc, c->FCell->Document());
  }
  EXPECT_EQ(2, bordered->Borders()[0]);
  EXPECT_EQ(300, padded->Pad(3));
  EXPECT_EQ(1, plain->Borders()[0]);  // the bordered table's own

  // A cell that is in no table has no box.
  TCellObj* stray = nullptr;
  {
    TLayoutFixture g;
    TTreeBuilder u(g);
    u.Body();
    TTableBuilder other(u);
    other.Table();
    stray = other.ProbeCell(10, 10);
    TBlock* otherBlock = other.End();
    u.Close();
    int row = -1, col = -1;
    EXPECT_FALSE(table->CellPosition(*stray, row, col));
    EXPECT_TRUE(TableIn(otherBlock)->CellPosition(*stray, row, col));
  }

  // The print copy's cells point at the copy's table, through their records or not.
  TLayoutFixture target;
  auto copied = block->CloneForPrint(&target.Doc);
  ThtmlTable* copy = TableIn(static_cast<TBlock*>(copied.get()));
  for (const auto& a : at) {
    TCellObj* c = copy->CellAt(a.Row, a.Col);
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(copy, c->FCell->Table());
    EXPECT_EQ(&target.Doc, c->FCell->Document());
  }
  EXPECT_EQ(300, copy->CellAt(1, 2)->Pad(3));
  EXPECT_EQ(2, copy->CellAt(0, 2)->Borders()[0]);
  if constexpr (sizeof(void*) == 8) {
    EXPECT_LE(sizeof(TCellObj), 48u);
  }
}

// Cells keep their background colour and paddings as codes in their table's lists: the first
// colours and sets of paddings get codes, further ones (and paddings too wide for a byte) stay in
// the cell's extra record. Every cell reads back what it was given, so does its print copy, and
// the table draws each cell's own colour.
TEST(TableCellStorage, ColoursAndPaddingsByCodeOrInTheRecord) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body();
  TTableBuilder tb(t);
  tb.Table({"CELLPADDING=3"});
  struct TGiven {
    TCellObj* Cell;
    TColor Color;
    int Pad;  // all four sides; -1 for the table's
  };
  std::vector<TGiven> given;
  for (int i = 0; i < 24; ++i) {
    if (i % 6 == 0) tb.Row();
    // Colours repeat every 10 cells (10 different ones), paddings every 20 (some too wide).
    const TColor color = TColor(0x101010 * (i % 10 + 1));
    const int pad = i % 20 == 19 ? 200 : i % 20 == 0 ? -1 : i % 20;
    char style[96];
    std::snprintf(style, sizeof style, "background-color: #%06x%s", unsigned(color),
                  pad >= 0 ? ("; padding: " + std::to_string(pad) + "px").c_str() : "");
    given.push_back({tb.Cell({}, style), color, pad});
    t.Line(10, 10);
  }
  TBlock* block = tb.End();
  t.Close();
  f.Layout(900);
  ThtmlTable* table = TableIn(block);
  auto check = [](const TCellObj& c, const TGiven& g, const std::string& what) {
    EXPECT_TRUE(c.HasBackColor()) << what;
    EXPECT_EQ(g.Color, c.BackColor() & 0xFFFFFF) << what;  // without the palette flag the style adds
    for (int side = 0; side < 4; ++side) EXPECT_EQ(g.Pad < 0 ? 3 : g.Pad, c.Pad(side)) << what << " side " << side;
  };
  for (std::size_t i = 0; i < given.size(); ++i) check(*given[i].Cell, given[i], "cell " + std::to_string(i));

  TLayoutFixture target;
  auto copied = block->CloneForPrint(&target.Doc);
  ThtmlTable* copy = TableIn(static_cast<TBlock*>(copied.get()));
  for (std::size_t i = 0; i < given.size(); ++i) {
    int row = -1, col = -1;
    ASSERT_TRUE(table->CellPosition(*given[i].Cell, row, col));
    check(*copy->CellAt(row, col), given[i], "copy of cell " + std::to_string(i));
  }

  // Each colour is filled once for each cell that has it.
  const std::string drawn = f.Draw();
  for (int k = 1; k <= 10; ++k) {
    char hex[16];
    std::snprintf(hex, sizeof hex, " #%06X\n", unsigned(0x101010 * k));
    int cells = 0, fills = 0;
    for (const TGiven& g : given) cells += g.Color == TColor(0x101010 * k);
    for (std::size_t p = drawn.find(hex); p != std::string::npos; p = drawn.find(hex, p + 1))
      fills += drawn.rfind("FillRect ", p) > drawn.rfind('\n', p - 1) || drawn.rfind('\n', p - 1) == std::string::npos;
    EXPECT_EQ(cells, fills) << hex;
  }
}

// A cell made for one table and placed in another is coded again in its new table's lists when
// that table is set up: it keeps its colour and paddings.
TEST(TableCellStorage, ACellMadeForAnotherTableKeepsItsColourAndPaddings) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body();
  TTableBuilder a(t);
  a.Table();
  for (int k = 1; k <= 3; ++k) {
    a.Cell({}, "background-color: #" + std::string(6, char('0' + k)) + "; padding: " + std::to_string(k) + "px");
    t.Line(10, 10);
  }
  ThtmlTable* first = TableIn(a.End());
  TTableBuilder b(t);
  b.Table();
  TCellList* row = b.Row();
  const TAttributeList attrs;
  TProperties& p = f.Push("td", "background-color: #333333; padding: 3px 4px");
  TCellObj* moved = row->Add(std::make_unique<TCellObj>(&f.Doc, p, &attrs, acMiddle, first));
  f.Pop("td");
  b.Cell({}, "background-color: #777777");
  t.Line(10, 10);
  ThtmlTable* second = TableIn(b.End());
  t.Close();
  f.Layout(500);
  EXPECT_EQ(second, moved->FCell->Table());
  EXPECT_EQ(TColor(0x333333), moved->BackColor() & 0xFFFFFF);
  EXPECT_EQ(3, moved->Pad(0));
  EXPECT_EQ(4, moved->Pad(1));
}

TEST(TableCellStorage, CellsSpanningIntoTheClipAreDrawn) {
  // Drawing starts at the first row in view, moved up to the first row of a cell spanning into
  // it: the tall cell's background is drawn though its own row is above the clip.
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TTableBuilder tb(t);
  tb.Table({"CELLSPACING=0", "CELLPADDING=0"});
  tb.ProbeCell(10, 10, {"BGCOLOR=#FFFFFF"});
  TCellObj* tall = tb.ProbeCell(10, 10, {"ROWSPAN=4", "COLSPAN=2", "BGCOLOR=#123456"});
  for (int r = 0; r < 3; ++r) {
    tb.Row();
    tb.ProbeCell(10, 10, {"BGCOLOR=#FFFFFF"});
  }
  tb.End();
  t.Close();
  f.Layout(400);
  const TCellBox box = tall->Box();
  ASSERT_GT(box.Height, 3 * TLineProbe::LineHeight - 1);
  const int below = box.Top + box.Height - 2;  // inside the last row only
  const std::string drawn = f.Draw({0, below, 400, below + 1});
  EXPECT_NE(std::string::npos, drawn.find(Hex(TColor(0x563412)))) << drawn;
}

TEST(ImageStorage, SizesAndSpacesKeepTheirLimits) {
  TImageDoc t;
  // Style margins and sizes far past the limit are kept at it, either sign.
  const TAttributeList none;
  auto big = std::make_unique<TImageObj>(&t.Doc, none, 0);
  TProperties& props =
      t.ImgStyle("margin: 5000000px -5000000px 999999999px -1px; width: 8000000px; height: 999999999px");
  big->ApplyStyle(props);
  t.Stack.PopElement(t.Doc.Styles(), "img");
  EXPECT_EQ(MaxObjectExtent, big->SpaceTop);
  EXPECT_EQ(-MaxObjectExtent, big->SpaceRight);
  EXPECT_EQ(MaxObjectExtent, big->SpaceBottom);
  EXPECT_EQ(-1, big->SpaceLeft);
  EXPECT_EQ(MaxObjectExtent, big->WantedWidth);
  EXPECT_EQ(MaxObjectExtent, big->WantedHeight);
  EXPECT_FALSE(big->WidthInPercent);
  EXPECT_EQ(acBottom, big->Placement);
  // Every placement reads back as set, beside the sizes in the same word.
  for (TAlignCode a : {acTop, acMiddle, acBaseline, acBottom, acLeft, acRight, acSub, acSuper}) {
    big->Placement = a;
    EXPECT_EQ(a, big->Placement);
    EXPECT_EQ(MaxObjectExtent, big->SpaceTop);
  }

  // The largest picture with a link border: the box is 2 wider and higher than the picture,
  // and the picture's size is the box's without the border at each layout, in a link or not.
  t.Host.AddBitmap("p.bmp", 30, 20);
  auto wide = std::make_unique<TImageObj>(&t.Doc, *Attrs({{sySrc, "p.bmp"}, {syWidth, "99999999"}}), 0);
  for (bool inLink : {true, false, true}) {
    wide->ComputeSize(t.Canvas, 0, 300, inLink);
    EXPECT_EQ(MaxObjectExtent, wide->ShownWidth()) << inLink;
    EXPECT_EQ(MaxObjectExtent + (inLink ? 2 : 0), wide->BoxWidth) << inLink;
    EXPECT_EQ(wide->ShownHeight() + (inLink ? 2 : 0), wide->BoxHeight) << inLink;
  }
  // The print copy keeps the sizes and the border.
  auto copy = wide->CloneForPrint(&t.Doc);
  auto* c = static_cast<TImageObj*>(copy.get());
  EXPECT_EQ(MaxObjectExtent, c->ShownWidth());
  EXPECT_TRUE(c->LinkBorder);
  if constexpr (sizeof(void*) == 8) {
    // The image is its own object in the text (its place, placeholder index and link included).
    EXPECT_LE(sizeof(TImageObj), 128u);
  }
}

TEST(ImageStorage, WhatMostImagesLackIsMadeOnDemand) {
  TImageDoc t;
  const TAttributeList none;
  auto img = std::make_unique<TImageObj>(&t.Doc, none, 0);
  EXPECT_EQ(nullptr, img->ImageControl());
  EXPECT_EQ(nullptr, img->Gif());
  EXPECT_EQ(nullptr, img->ShownMask());
  img->SetImageControl(nullptr);  // clearing what is not there makes nothing
  EXPECT_EQ(nullptr, img->ImageControl());

  // A missing picture shows the error picture with its mask (kept in the record).
  auto missing = std::make_unique<TImageObj>(&t.Doc, *Attrs({{sySrc, "none.bmp"}}), 0);
  missing->ComputeSize(t.Canvas, 0, 300, false);
  EXPECT_EQ(ErrorImageBitmap(), missing->ShownBitmap());
  EXPECT_NE(nullptr, missing->ShownMask());
  EXPECT_TRUE(missing->IsPlaceholder());
  EXPECT_EQ(nullptr, missing->Gif());
}

TEST(ListItemStorage, NumberBaselineStyleAndFontShareTwoWords) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  t.Open("ol");
  TBlockLI* first = t.Item(syOl, INT_MAX, 1, 'I', "color: red");
  t.Line();
  t.Close();
  // A marker picture makes the item's record: the font is then found through it.
  TBlockLI* pictured = t.Item(syOl, INT_MIN, 1, 'a', "color: red; list-style-image: url(none.png)");
  t.Line();
  t.Close();
  // An item whose first line lies in a nested item takes that line's baseline.
  TBlockLI* outer = t.Item(syOl, 3, 1, '1', "color: red");
  t.Open("ul");
  TBlockLI* inner = t.Item(syUl, 1, 2);
  t.Line();
  t.Close();
  t.Close();
  t.Close();
  t.Close();
  t.Close();

  EXPECT_EQ(INT_MAX, first->FListNumber);
  EXPECT_EQ(INT_MIN, pictured->FListNumber);
  EXPECT_EQ(lsUpperRoman, first->ListStyleType());
  EXPECT_EQ(lsLowerAlpha, pictured->ListStyleType());
  EXPECT_EQ(u"XX.", first->MarkerText());
  EXPECT_EQ(u"-2147483648.", pictured->MarkerText());
  ASSERT_NE(nullptr, pictured->MarkerImage());
  EXPECT_EQ(nullptr, first->MarkerImage());
  EXPECT_EQ(&first->MarkerFont(), &pictured->MarkerFont());
  EXPECT_EQ(&first->MarkerFont(), &outer->MarkerFont());

  // Every style code reads back beside the number and the baseline.
  for (TListStyleCode code : {lsBlank, lsCircle, lsDecimal, lsDisc, lsLowerAlpha, lsLowerRoman, lsNone, lsSquare,
                              lsUpperAlpha, lsUpperRoman}) {
    TLayoutFixture g;
    TTreeBuilder u(g);
    u.Body();
    u.Open("ol");
    TBlockLI* item = u.Item(syOl, -7, 1, '1');
    item->FFirstLineBaseline = -MaxLayoutCoord;
    item->SetListStyleType(code);
    EXPECT_EQ(code, item->ListStyleType());
    EXPECT_EQ(-7, item->FListNumber);
    EXPECT_EQ(-MaxLayoutCoord, item->FFirstLineBaseline);
    u.Close();
    u.Close();
    u.Close();
  }

  f.Layout(400);
  EXPECT_GT(first->FFirstLineBaseline, 0);
  EXPECT_GT(pictured->FFirstLineBaseline, first->FFirstLineBaseline);
  EXPECT_GT(inner->FFirstLineBaseline, pictured->FFirstLineBaseline);
  EXPECT_EQ(inner->FFirstLineBaseline, outer->FFirstLineBaseline);
  EXPECT_EQ(nullptr, f.Doc.FFirstLineBaseline);  // nothing points at a finished layout

  // The print copy owns its font and keeps the rest.
  TLayoutFixture target;
  auto copied = pictured->CloneForPrint(&target.Doc);
  auto* copy = static_cast<TBlockLI*>(copied.get());
  EXPECT_NE(&pictured->MarkerFont(), &copy->MarkerFont());
  EXPECT_EQ(pictured->MarkerFont().Color(), copy->MarkerFont().Color());
  EXPECT_EQ(u"-2147483648.", copy->MarkerText());
  EXPECT_EQ(pictured->FFirstLineBaseline, copy->FFirstLineBaseline);
  ASSERT_NE(nullptr, copy->MarkerImage());
  if constexpr (sizeof(void*) == 8) {
    EXPECT_LE(sizeof(TBlockLI), 264u);
  }
}

}  // namespace
}  // namespace korva::test
