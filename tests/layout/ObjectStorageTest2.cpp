// What a loaded page keeps per block and per table cell: a block whose box cannot change with
// the width resolves it when made and never keeps the style's values; a cell keeps its paddings
// in bytes (wider ones in its extra record) and its bounded sizes and spans in bits. None of it
// may change what is laid out.
#include <gtest/gtest.h>

#include "TableTestSupport.h"

namespace korva::test {
namespace {

TEST(BlockBoxStorage, ABoxWithoutPercentagesIsResolvedWhenMade) {
  // Held until the first layout only by what reads or changes the style's values later: a
  // percentage, a list item outside any list (its left margin may be widened), a table block.
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TBlock* plain = t.Open("div", "margin: 0 auto; width: 100px; border: 3px solid; border-left-color: #00ff00; "
                                "padding: 1em");
  t.Line();
  t.Close();
  TBlock* percent = t.Open("div", "width: 50%");
  t.Close();
  t.Open("ul");
  TBlockLI* inList = t.Item(syUl, 1);
  t.Close();
  t.Close();
  TBlockLI* loose = t.Item(syP, 1);
  t.Close();
  TTableBuilder tb(t);
  TBlock* table = tb.Table({}, "width: 150px");
  tb.ProbeCell(10, 10);
  tb.End();
  EXPECT_FALSE(plain->HoldsStyleBox());
  EXPECT_FALSE(inList->HoldsStyleBox());
  EXPECT_TRUE(percent->HoldsStyleBox());
  EXPECT_TRUE(loose->HoldsStyleBox());
  EXPECT_TRUE(table->HoldsStyleBox());
  t.Close();

  // The box resolved when made is the one a layout resolves: auto margins centre it at every
  // width, the border and padding are the style's, the left side keeps its own colour.
  for (int width : {300, 200}) {
    f.Layout(width);
    const TRect box = plain->BorderBox();
    EXPECT_EQ(100 + 2 * 3 + 2 * 16, box.Width()) << width;
    EXPECT_EQ((width - box.Width()) / 2, box.Left) << width;
    EXPECT_EQ(width / 2, percent->BorderBox().Width()) << width;
  }
  const std::string drawn = f.Draw();
  EXPECT_NE(std::string::npos, drawn.find("#00FF00")) << drawn;
  EXPECT_TRUE(percent->HoldsStyleBox());
  EXPECT_FALSE(loose->HoldsStyleBox());  // resolved for good at its first layout
}

// One table of a single cell with the given style (and cellpadding 3), laid out at 400 unless
// asked not to be (a layout cuts spans back to the grid).
struct TOneCellTable {
  TLayoutFixture F;
  TCellObj* Cell = nullptr;
  explicit TOneCellTable(std::string_view style, std::initializer_list<std::string_view> cellAttrs = {},
                         bool layout = true) {
    TTreeBuilder t(F);
    t.Body("margin: 0");
    TTableBuilder tb(t);
    tb.Table({"CELLPADDING=3", "CELLSPACING=0"});
    Cell = tb.ProbeCell(20, 20, cellAttrs, style);
    tb.End();
    t.Close();
    if (layout) F.Layout(400);
  }
};

TEST(TableCellStorage, PaddingsOfAnyWidthAreKept) {
  // Paddings from -128 to 127 fit the cell's bytes; any wider one (of either sign) moves all
  // four to the extra record. A missing side takes the table's padding either way.
  const struct {
    const char* Style;
    std::array<int, 4> Pads;  // top, right, bottom, left
  } cases[] = {
      {"padding: 0", {0, 0, 0, 0}},
      {"padding: 127px 1px 2px 126px", {127, 1, 2, 126}},
      {"padding-left: 128px", {3, 3, 3, 128}},
      {"padding: 1000px 5px", {1000, 5, 1000, 5}},
      {"padding-top: 40000px; padding-right: 200px", {40000, 200, 3, 3}},
      {"", {3, 3, 3, 3}},
  };
  for (const auto& c : cases) {
    TOneCellTable t(c.Style);
    for (int side = 0; side < 4; ++side) EXPECT_EQ(c.Pads[std::size_t(side)], t.Cell->Pad(side)) << c.Style << side;
    EXPECT_EQ(c.Pads[1] + c.Pads[3], t.Cell->HorzSpace()) << c.Style;
    EXPECT_EQ(c.Pads[0] + c.Pads[2], t.Cell->VertSpace()) << c.Style;
    const TCellBox box = t.Cell->Box();
    EXPECT_EQ(box.Left + c.Pads[3], t.Cell->ContentLeft()) << c.Style;
    EXPECT_EQ(c.Pads[0] + c.Pads[2] + TLineProbe::LineHeight, box.Height) << c.Style;

    // A print copy keeps them.
    TLayoutFixture target;
    for (const auto& s : t.F.Doc) target.Doc.AddSection(s->CloneForPrint(&target.Doc));
    EXPECT_EQ(t.F.Layout(400), target.Layout(400)) << c.Style;
  }
}

TEST(TableCellStorage, BoundedSizesAndSpansKeepTheirLimits) {
  // The largest values each field in bits must hold.
  TOneCellTable big("", {"COLSPAN=5000", "ROWSPAN=90000", "WIDTH=999999999", "HEIGHT=999999999"}, false);
  EXPECT_EQ(MaxColSpan, int(big.Cell->FColSpan));
  EXPECT_EQ(MaxRowSpan, int(big.Cell->FRowSpan));
  EXPECT_EQ(MaxLayoutCoord, int(big.Cell->FGivenW));
  EXPECT_EQ(MaxLayoutCoord, int(big.Cell->FGivenH));
  EXPECT_FALSE(big.Cell->FGivenWIsPercent);

  TOneCellTable percent("", {"WIDTH=100%", "HEIGHT=100%"});
  EXPECT_EQ(1000, int(percent.Cell->FGivenW));
  EXPECT_TRUE(percent.Cell->FGivenWIsPercent);
  EXPECT_EQ(100, int(percent.Cell->FGivenHPercent));

  // Every vertical alignment code and the laid-out content height read back as set.
  for (const char* valign : {"VALIGN=top", "VALIGN=middle", "VALIGN=baseline", "VALIGN=bottom"}) {
    TOneCellTable t("", {valign, "HEIGHT=300"});
    EXPECT_EQ(ParseAlignment(std::string(valign).substr(7)), int(t.Cell->FVAlign)) << valign;
    EXPECT_EQ(TLineProbe::LineHeight, int(t.Cell->FCellVSize)) << valign;
    EXPECT_EQ(300, int(t.Cell->FGivenH)) << valign;
  }
}

TEST(TableCellStorage, ACellKeepsItsTagAndDepthWithoutItsOwnersPointers) {
  // A table cell's content finds its tag in one byte and has no block: margin collapsing and
  // nesting look through the cell's answers, not stored copies.
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TTableBuilder tb(t);
  tb.Table();
  TCellObj* th = tb.Cell({}, {}, "th");
  TCellObj* td = tb.ProbeCell(10, 10);
  tb.End();
  t.Close();
  EXPECT_EQ("th", th->FCell->OwnerTag());
  EXPECT_EQ("td", td->FCell->OwnerTag());
  EXPECT_EQ(nullptr, td->FCell->ParentBlock());
  EXPECT_EQ(std::string_view("default"), f.Doc.OwnerTag());
  if constexpr (sizeof(void*) == 8) {
    EXPECT_LE(sizeof(TCellObj), 72u);
  }
}

}  // namespace
// A block's box values are coded in 2 bytes each, with up to two other values kept beside and a
// full copy past that: whichever way a value is kept, it must read back as stored, and the box
// must go back in place once everything fits again.
TEST(PackedBoxTest, EveryValueReadsBackAsStored) {
  // The edges of the in-place range, the sentinels, and values that must be kept beside.
  const int values[] = {0,           -32762,   32767,       -32763,       -32768,
                        32768,       -40000,   AutoValue,   NotSetValue,  ParagraphSpaceValue,
                        int(clNone), 0xFFFFFF, int(SystemColorBase | 5)};
  for (int v : values) {
    for (int pi : {piBackgroundColor, piMarginLeft, piBorderLeftColor, piLeft}) {
      TPackedBox box;
      box[piMarginTop] = 7;
      box[pi] = v;
      EXPECT_EQ(v, box.Get(pi)) << v << " at " << pi;
      EXPECT_FALSE(box.IsWide()) << v;
      EXPECT_EQ(pi == piMarginTop ? v : 7, box.Get(piMarginTop));
      const TPackedBox copy = box;  // a deep copy: changing one leaves the other
      box[pi] = 3;
      EXPECT_FALSE(box.IsWide()) << v;
      EXPECT_EQ(v, copy[pi]);
      EXPECT_EQ(3, box.Get(pi));
    }
  }
  // Two values out of range are kept beside the codes; a third makes the box wide.
  TPackedBox colours;
  colours[piBackgroundColor] = 0x00FFFFFF;
  for (int pi = piBorderTopColor; pi <= piBorderLeftColor; ++pi) colours[pi] = 0x00333333;
  colours[piBorderColor] = 0x00333333;
  EXPECT_FALSE(colours.IsWide());
  colours[piWidth] = 100000;
  EXPECT_TRUE(colours.IsWide());
  EXPECT_EQ(0x00FFFFFF, colours[piBackgroundColor]);
  EXPECT_EQ(0x00333333, colours[piBorderLeftColor]);
  EXPECT_EQ(100000, colours[piWidth]);
  colours[piBackgroundColor] = int(clNone);  // frees a kept value
  EXPECT_FALSE(colours.IsWide());
  EXPECT_EQ(100000, colours[piWidth]);
  EXPECT_EQ(0x00333333, colours[piBorderTopColor]);
  EXPECT_EQ(int(clNone), colours[piBackgroundColor]);

  // A box keeps the codes of the six places where it differs from the usual values (no
  // colour, auto width and offsets, 0 elsewhere); a seventh makes it wide.
  TBoxValues usual{};
  usual[piBackgroundColor] = usual[piBorderColor] = int(clNone);
  usual[piWidth] = usual[piTop] = usual[piLeft] = AutoValue;
  TPackedBox box;
  box = usual;
  EXPECT_FALSE(box.IsWide());
  EXPECT_EQ(usual, box.Values());
  TBoxValues six = usual;
  for (int pi : {piBackgroundColor, piMarginTop, piPaddingLeft, piBorderTopWidth, piWidth, piLeft}) six[pi] = pi;
  box = six;
  EXPECT_FALSE(box.IsWide());
  EXPECT_EQ(six, box.Values());
  box[piMarginTop] = -7;   // changes in place
  box[piBorderColor] = int(clNone);  // already the usual value
  six[piMarginTop] = -7;
  EXPECT_FALSE(box.IsWide());
  EXPECT_EQ(six, box.Values());
  box[piHeight] = 40;  // a seventh place
  EXPECT_TRUE(box.IsWide());
  six[piHeight] = 40;
  EXPECT_EQ(six, box.Values());
  box[piPaddingLeft] = 0;  // back to six
  six[piPaddingLeft] = 0;
  EXPECT_FALSE(box.IsWide());
  EXPECT_EQ(six, box.Values());

  TBoxValues all{};
  for (int pi = BoxFirst; pi <= BoxLast; ++pi) all[pi] = 1000 * (pi - BoxFirst) - 12000;
  box = all;
  EXPECT_TRUE(box.IsWide());
  EXPECT_EQ(all, box.Values());
  all[piWidth] = 1 << 20;
  all[piHeight] = 1 << 21;
  all[piTop] = 1 << 22;
  box = all;
  EXPECT_TRUE(box.IsWide());
  EXPECT_EQ(all, TBoxValues(box));

  // A wide box keeps only the values that differ from the usual ones: a place going to or from
  // its usual value changes the record's size, and a copy is its own.
  TBoxValues some = usual;
  for (int pi : {piMarginTop, piMarginLeft, piPaddingTop, piPaddingLeft, piBorderTopWidth, piBorderLeftWidth, piHeight})
    some[pi] = pi + 1;
  some[piBorderColor] = 0x00123456;
  box = some;
  EXPECT_TRUE(box.IsWide());
  EXPECT_EQ(some, box.Values());
  TPackedBox wideCopy = box;
  for (int pi : {piMarginTop, piWidth, piBorderColor, piPaddingRight}) {
    const int old = some[pi];
    box[pi] = pi == piWidth ? 1 << 20 : pi == piBorderColor ? int(clNone) : 0;
    some[pi] = box[pi];
    EXPECT_TRUE(box.IsWide()) << pi;
    EXPECT_EQ(some, box.Values()) << pi;
    EXPECT_EQ(old, wideCopy[pi]) << pi;
  }
  wideCopy = box;
  EXPECT_EQ(some, wideCopy.Values());
  if constexpr (sizeof(void*) == 8) {
    EXPECT_LE(sizeof(TBlock), 248u);
  }
}

}  // namespace korva::test
