// Tables: the table section that holds the rows and does the column and row arithmetic, its
// rows, its column descriptions, and the two blocks around it (the table block gives it
// margins, alignment, width, background and the outer border; the caption block stacks a
// caption above or below it).
//
// Layout runs in two passes over nested tables: the outermost table first measures its cells
// (row heights), then places them. A nested table lays its cells out at their final place only
// while the outermost one is placing, and deep ones keep the row heights they found, so the work
// grows linearly with the nesting depth instead of doubling at every level.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/CompactVector.h"
#include "layout/Block.h"
#include "layout/SectionBase.h"
#include "layout/TableCell.h"

namespace korva {

class TAttributeList;
class TTableBlock;

// A COL description.
struct TColObj {
  int FColWidth = 0;  // pixels, or tenths of a percent
  bool FColIsPercent = false;
  std::string FColAlign;
  int FColVAlign = 0;
};

// A row's background picture (few rows have one): given to its cells that have none.
struct TRowBackImage {
  std::string Name;
  TBackgroundPosArray Pos{};
};

// What only a row with a style of its own has, until the grid is built: its background (given
// to its cells that have none) and its height (each cell's least height as it is added).
struct TRowStyle {
  std::unique_ptr<TRowBackImage> BackImage;  // null without a background picture
  int Height = 0;                             // at most MaxLayoutCoord
  TColor BackColor = clNone;                  // with HasBackColor
  std::uint8_t HeightPercent = 0;             // 0 to 100
  bool HasBackColor = false;
};

// A row. Positions covered by a span (or missing at the end of a short row) are null.
class TCellList : public TPooled {
 public:
  TCellList(const TAttributeList* attributes, TProperties& props);
  // The copy for another document (printing), a row of `table`.
  TCellList(ThtmlTable* table, const TCellList& source);

  TCompactVector<std::unique_ptr<TCellObj>> FCells;
  // Only in a row that a cell from a row above spans into (built with the grid): for every
  // position, the cell whose box covers it, null for a missing position. In other rows every
  // position is covered by a cell of the row itself (see CoverAt).
  TCompactVector<TCellObj*> FCover;
  // The row's own style until the grid is built; null for most rows, and for every row once
  // its cells have what they take from it. (A row takes 24 bytes; where it lies follows from its
  // table's row heights.)
  std::unique_ptr<TRowStyle> FStyle;

  // Appends a cell; the row's height becomes the least height of the cell.
  TCellObj* Add(std::unique_ptr<TCellObj> cell);
  int Count() const { return int(FCells.size()); }
  // The cell whose box covers a position of the row, null for none (once the grid is built).
  TCellObj* CoverAt(int col) const;
};

class ThtmlTable : public TSectionBase {
 public:
  ThtmlTable(TSectionList* document, const TAttributeList* attributes);
  ThtmlTable(TSectionList* document, const ThtmlTable& source);
  ~ThtmlTable() override;

  // The fields are ordered so that they pack: the table takes 176 bytes.
  TCompactVector<std::unique_ptr<TCellList>> FRows;
  TCompactVector<TColObj> FColInfo;
  // Column widths from the last layout, and row heights (found for those widths).
  TCompactVector<int> FWidths;
  TCompactVector<int> FHeights;
  TTableBlock* FTableBlock = nullptr;  // the table block around the table
  int FNumCols = 0;
  int FTableWidth = 0;
  int FGivenTableWidth = 0;
  TColor FBorderColorLight = clBtnHighlight, FBorderColorDark = clBtnShadow;
  TColor FBackColor = clNone;  // with FHasBackColor
  int FTableLeft = 0;
  int FCharCount = 0;    // positions of the cells' content, from the last layout
  int FPaintBottom = 0;  // the cells' content may reach below the table
  int CharCount() const override { return FCharCount; }
  int PaintBottom() const override { return FPaintBottom; }
  int FMinMaxStamp = -1;
  // The table block's own height (0 when none), set by the table block before each layout.
  int FSpecHeight = 0;

 private:
  int FMinMaxRef = -1;
  int FHeightsStamp = -1;  // layout counter of FHeights

 public:
  // Bounded by the limits of their attributes (100, 50 and 40 pixels).
  std::int16_t FTableBorderWidth = 0;
  std::int16_t FCellPadding = 1;
  std::int16_t FCellSpacing = 2;
  // The nesting depth of the table block (blocks inside cells count from it); at most
  // MaxLayoutDepth + 1.
  std::int16_t FDepth = 1;

 private:
  std::int16_t FNestLevel = 1;  // at most MaxLayoutDepth

 public:
  bool FInitialized : 1 = false;
  bool FIsFloating : 1 = false;
  bool FHasFixedWidths : 1 = false;
  bool FHasBackColor : 1 = false;

 private:
  bool FMinMaxWithPercents : 1 = false;
  bool FPlacing : 1 = false;  // the outermost table is placing its cells
  bool FNestKnown : 1 = false;

 public:
  // Counters for tests and benchmarks: cell content layouts since the table was made.
  long long FCellLayouts = 0;

 private:
  TCompactVector<int> FColumnData;
  ThtmlTable* FParentTable = nullptr;
  TCompactVector<TColor> FCellColors;
  TCompactVector<std::array<std::int8_t, 4>> FCellPads;  // see CellPadCode

 public:
  void AddColumnSpec(int width, bool isPercent, const std::string& align, int vAlign);
  TCellList* AddRow(std::unique_ptr<TCellList> row);
  // Normalises the grid once: spans, placeholders, column descriptions, cell finishing.
  void Initialize();
  bool TooDeep() const { return FDepth > MaxLayoutDepth; }
  // The nesting level of the table among tables (1 for a table in no table cell), and the
  // outermost table; found through the cells the table blocks sit in.
  int NestLevel();
  ThtmlTable* Outermost();
  // The cell at a grid position (null for a covered or missing position).
  TCellObj* CellAt(int row, int col) const;
  // Where a cell is in the grid (its row, and its column in the row's positions); false for a
  // cell that is not in the table. Cells do not keep their position: this looks for it.
  bool CellPosition(const TCellObj& cell, int& row, int& col) const;
  // A cell's box from the last layout (an empty box for a cell not in the grid).
  TCellBox CellBox(const TCellObj& cell) const;

  // What cells keep by number: their background colours and paddings, of which a table has few.
  // A code for a colour (1 to MaxCellColors) or a set of paddings (0 to MaxCellPadSets - 1),
  // or -1 when the table has as many different ones as it keeps already.
  static constexpr int MaxCellColors = 6, MaxCellPadSets = 15;
  using TCellPads = std::array<std::int8_t, 4>;
  int CellColorCode(TColor color);
  TColor CellColor(int code) const { return FCellColors[std::size_t(code - 1)]; }
  int CellPadCode(const TCellPads& pads);
  const TCellPads& CellPads(int code) const { return FCellPads[std::size_t(code)]; }

  // ---- section operations ----
  std::unique_ptr<TSectionBase> CloneForPrint(TSectionList* document) const override;
  void AppendSelectedText(std::u16string& text) override;
  int LayoutSection(TCanvas& canvas, int x, int y, int xRef, int yRef, int availWidth, int availHeight,
                    int blockHeight, IndentManager& indents, int& maxWidth, int& cursor) override;
  int Draw(TCanvas& canvas, const TRect& clip, IndentManager& indents, int x, int xRef, int yRef) override;
  bool HotSpotAt(TCanvas& canvas, int x, int y, THotSpot& spot) override;
  bool ObjectAt(int x, int y, TFloatingObj*& object, int& ix, int& iy) override;
  int CaretFromPoint(TCanvas& canvas, int x, int y, int& xr, int& yr, int& caretHeight, bool& inText) override;
  int SearchForward(int from, const std::u16string& text, bool matchCase) override;
  int SearchBackward(int from, const std::u16string& text, bool matchCase) override;
  void FindAll(const std::u16string& text, bool matchCase, std::vector<std::pair<int, int>>& out) override;
  int SourcePosOf(int docPos) override;
  int DocPosOf(int sourcePos, bool previous) override;
  bool PointFromCaret(TCanvas& canvas, int cursor, int& x, int& y) override;
  bool CharAt(int pos, char16_t& ch, TCharObject& object) override;
  void MeasureMinMax(TCanvas& canvas, int& minWidth, int& maxWidth) override;
  void CollectSections() override;

  const char* DumpKind() const override { return "table"; }
  void Dump(TDumpWriter& out, int depth) const override;
  void ReleaseChildren(std::vector<std::unique_ptr<TSectionBase>>& out) override;
  // The table stands for its cells in the position list, so it asks their content.
  bool LineYAt(int docPos, int& y) override;

 private:
  // A cell with its grid position.
  struct TPlacedCell {
    TCellObj* Cell;
    int Row, Col;
  };
  // The cells in order of their column spans, or of their row spans (stable, else in grid order);
  // made for each pass that goes by span rather than kept.
  std::vector<TPlacedCell> CellsBySpan(bool byColumns) const;
  // Column minimums and maximums (with or without percentages) for a reference width; cached
  // per document layout pass. Returns true when they were recomputed.
  bool EnsureMinMax(TCanvas& canvas, bool withPercents, int refWidth);
  void MinMaxWithoutPercents(TCanvas& canvas);
  void MinMaxWithPercents(TCanvas& canvas, int refWidth);
  void Totals(int& minTotal, int& maxTotal) const;
  int NeededWidth() const;  // the width at which percentage columns get their share, 0 if none
  void WidthsFixed(int avail);
  void WidthsGeneral(int avail);
  void WidthsImposed(int avail);
  // Lays a cell's content out for its spanned width at y; returns its height. With `baseline`,
  // the first line's baseline below y goes there (0 when none).
  int LayoutCellContent(TCanvas& canvas, TCellObj& cell, int col, int x, int y, int& cursor, int* baseline);
  void ComputeRowHeights(TCanvas& canvas, int y);
  // The width of the columns a cell at column `col` spans.
  int SpanWidth(const TCellObj& cell, int col) const;
  // The tops of the rows from the last layout and, last, the bottom of the last row: the table's
  // y and the row heights summed (as the layout summed them). Empty when the heights are not
  // those of a layout.
  std::vector<int> RowTops() const;
  int NextColumnLeft(int left, int col) const;
  // Calls f(cell, box) for the cells of row r from left to right, with the row tops of RowTops;
  // the column lefts are summed on the way.
  template <class F>
  void ForEachPlacedCell(int r, const std::vector<int>& tops, F f) const {
    const TCellList& row = *FRows[std::size_t(r)];
    const int top = tops[std::size_t(r)];
    int left = FTableLeft;
    const std::size_t n = std::min(row.FCells.size(), FWidths.size());
    for (std::size_t c = 0; c < n; ++c) {
      if (TCellObj* cell = row.FCells[c].get())
        f(*cell, TCellBox{left, top, SpanWidth(*cell, int(c)), CellBottom(*cell, r, tops) - top});
      left = NextColumnLeft(left, int(c));
    }
  }
  // The bottom of a cell that starts in row `row`.
  int CellBottom(const TCellObj& cell, int row, const std::vector<int>& tops) const {
    return tops[std::min<std::size_t>(std::size_t(row) + cell.FRowSpan, FRows.size())];
  }
  // The first row of the cell that covers position `col` of row `row` (the cell must cover it).
  int FirstRowOf(const TCellObj& cell, int row, int col) const;
  // The row and column at a point inside the table (false outside).
  bool GridAt(int x, int y, int& row, int& col) const;
  TCellObj* CellUnder(int x, int y) const;
  template <class F>
  void ForEachCell(F f) const {
    for (const auto& row : FRows)
      for (const auto& c : row->FCells)
        if (c) f(*c);
  }
  // The same with each cell's grid position: f(cell, row, col).
  template <class F>
  void ForEachCellAt(F f) const {
    for (std::size_t r = 0; r < FRows.size(); ++r) {
      const TCellList& row = *FRows[r];
      for (std::size_t c = 0; c < row.FCells.size(); ++c)
        if (TCellObj* cell = row.FCells[c].get()) f(*cell, int(r), int(c));
    }
  }

  // Per column, one after the other in one block (sized with the grid): the minimums, the
  // maximums and the percentages (tenths) behind the widths, and the widths FHeights were
  // found with.
  std::span<int> MinWidths() { return ColumnData(0); }
  std::span<int> MaxWidths() { return ColumnData(1); }
  std::span<int> Percents() { return ColumnData(2); }
  std::span<int> HeightsWidths() { return ColumnData(3); }
  std::span<const int> MinWidths() const { return ColumnData(0); }
  std::span<const int> MaxWidths() const { return ColumnData(1); }
  std::span<const int> Percents() const { return ColumnData(2); }
  template <class V>
  static auto ColumnSpan(V& data, int k) {
    const std::size_t n = data.size() / 4;
    return std::span(data.data() + std::size_t(k) * n, n);
  }
  std::span<int> ColumnData(int k) { return ColumnSpan(FColumnData, k); }
  std::span<const int> ColumnData(int k) const { return ColumnSpan(FColumnData, k); }
  void AssignWidths(std::span<const int> from) { AssignInts(FWidths, from); }
  static void AssignInts(TCompactVector<int>& to, std::span<const int> from) {
    to.clear();
    to.reserve(from.size());
    for (int v : from) to.push_back(v);
  }
};

// The block around a table.
class TTableBlock : public TBlock {
 public:
  TTableBlock(TSectionList* document, const TAttributeList* attributes, TCellBasic* parentCell, TProperties& props,
              std::unique_ptr<ThtmlTable> table);
  TTableBlock(TSectionList* document, const TTableBlock& source);

  ThtmlTable* FTable = nullptr;  // owned by the content cell
  // WIDTH in pixels (at most MaxLayoutCoord) or tenths of a percent (at most 1000); 0 when none.
  std::uint32_t FSpecWidth : 27 = 0;
  bool FSpecWidthIsPercent : 1 = false;
  bool FInCaptionBlock : 1 = false;
  bool FHtmlBorder : 1 = false;
  bool FCentered : 1 = false;
  bool FRightAligned : 1 = false;  // from the enclosing text-align; pushed right when it has no margins
  // HEIGHT (at most MaxLayoutCoord), used when the style gives none.
  std::uint32_t FSpecHeight : 27 = 0;
  bool FStyleHeightIsPercent : 1 = false;
  std::uint8_t FHSpace = 0;  // at most 40
  std::uint8_t FVSpace = 0;  // at most 200

 private:
  // What layout reads of the style's box, kept so that the prepared box can go once resolved:
  // the width in pixels when it is a positive length (else 0), and the height in pixels, or in
  // percent with FStyleHeightIsPercent (0 when none).
  int FStyleWidth = 0;
  int FStyleHeight = 0;

 public:
  // The table's outer width (margins included) for an available width.
  int OuterWidth(TCanvas& canvas, int availWidth);

  std::unique_ptr<TSectionBase> CloneForPrint(TSectionList* document) const override;
  int LayoutSection(TCanvas& canvas, int x, int y, int xRef, int yRef, int availWidth, int availHeight,
                    int blockHeight, IndentManager& indents, int& maxWidth, int& cursor) override;
  void MeasureMinMax(TCanvas& canvas, int& minWidth, int& maxWidth) override;
  void DrawBlockBorder(TCanvas& canvas, const TRect& outer, const TRect& inner) override;
  int ResolveBlockWidth(TCanvas& canvas, int availWidth, int autoCount, int availHeight) override;
  bool IsTableBlock() const override { return true; }

 private:
  void SideMargins(int& ml, int& mr) const;
  int TableWidthFor(TCanvas& canvas, int fill);
};

// A table with its caption: the caption block and the table block stacked in the content cell.
class TTableAndCaptionBlock : public TBlock {
 public:
  TTableAndCaptionBlock(TSectionList* document, const TAttributeList* attributes, TCellBasic* parentCell,
                        TProperties& props);
  TTableAndCaptionBlock(TSectionList* document, const TTableAndCaptionBlock& source);

  TTableBlock* FTableBlock = nullptr;  // owned by the content cell
  TBlock* FCaptionBlock = nullptr;     // owned by the content cell
  int FTableIndex = 0;                 // which of the two content sections is the table
  bool FCentered = false;
  bool FRightAligned = false;

  // Puts the table block and the caption into the content cell, the caption below the table
  // or above it. The table block stops floating on its own: the caption block floats.
  void SetContent(std::unique_ptr<TTableBlock> table, std::unique_ptr<TBlock> caption, bool captionBelow);

  std::unique_ptr<TSectionBase> CloneForPrint(TSectionList* document) const override;
  int ResolveBlockWidth(TCanvas& canvas, int availWidth, int autoCount, int availHeight) override;
  bool IsTableBlock() const override { return true; }
  std::string DumpTag() const override { return "table+caption"; }
};

}  // namespace korva
