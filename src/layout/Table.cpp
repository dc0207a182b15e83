#include "layout/Table.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <span>

#include "core/Attributes.h"
#include "core/CharCase.h"
#include "layout/IndentManager.h"
#include "layout/LayoutDump.h"
#include "layout/SectionList.h"
#include "style/Colors.h"

namespace korva {

namespace {

constexpr int MaxBorderAttr = 100;
constexpr int MaxCellPadding = 50;
constexpr int MaxCellSpacing = 40;
// Deeper than this, a nested table laid out again within a pass keeps its row heights.
constexpr int MaxHeightRecomputeLevel = 4;

int ClampCoord(int v) { return std::clamp(v, -MaxLayoutCoord, MaxLayoutCoord); }
int ClampSum(std::int64_t v) { return int(std::clamp<std::int64_t>(v, -MaxLayoutCoord, MaxLayoutCoord)); }

// a * b / c rounded, 0 when c is 0 (shares of an empty total).
int Share(int a, int b, int c) {
  if (c == 0) return 0;
  std::int64_t p = std::int64_t(a) * b;
  std::int64_t q = (p >= 0 ? p + std::abs(std::int64_t(c)) / 2 : p - std::abs(std::int64_t(c)) / 2) / c;
  return ClampSum(q);
}

bool HasPercentSign(const std::string& text) { return text.find('%') != std::string::npos; }

std::int64_t Sum(std::span<const int> v, int from, int count) {
  std::int64_t s = 0;
  for (int i = from; i < from + count; ++i) s += v[std::size_t(i)];
  return s;
}

// Shares `extra` among columns [from, from+n) in proportion to `weights` (equally when they sum
// to 0); the rounding remainder goes to the first column.
void Spread(std::span<int> target, std::span<const int> weights, int from, int n, int extra) {
  if (extra <= 0 || n <= 0) return;
  std::int64_t total = Sum(weights, from, n);
  std::int64_t given = 0;
  for (int i = from; i < from + n; ++i) {
    int part = total > 0 ? Share(extra, weights[std::size_t(i)], int(std::min<std::int64_t>(total, INT_MAX)))
                         : extra / n;
    target[std::size_t(i)] = ClampSum(std::int64_t(target[std::size_t(i)]) + part);
    given += part;
  }
  target[std::size_t(from)] = ClampSum(target[std::size_t(from)] + (extra - given));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Bevelled frames

void DrawFrameSides(TCanvas& canvas, const TRect& outer, const std::array<int, 4>& widths,
                    const std::array<TColor, 4>& colors) {
  const int t = widths[0], r = widths[1], b = widths[2], l = widths[3];
  const TRect inner{outer.Left + l, outer.Top + t, outer.Right - r, outer.Bottom - b};
  const TPen savedPen = canvas.Pen();
  const TBrush savedBrush = canvas.Brush();
  for (int s = 0; s < 4; ++s) {
    if (widths[std::size_t(s)] <= 0 || colors[std::size_t(s)] == clNone) continue;
    const TColor c = colors[std::size_t(s)];
    if (widths[std::size_t(s)] == 1) {
      // A 1-pixel side is a line.
      TRect line = s == 0   ? TRect{outer.Left, outer.Top, outer.Right, outer.Top + 1}
                   : s == 1 ? TRect{outer.Right - 1, outer.Top, outer.Right, outer.Bottom}
                   : s == 2 ? TRect{outer.Left, outer.Bottom - 1, outer.Right, outer.Bottom}
                            : TRect{outer.Left, outer.Top, outer.Left + 1, outer.Bottom};
      canvas.FillRect(line, c);
      continue;
    }
    std::vector<TPoint> pts;
    switch (s) {
      case 0:
        pts = {{outer.Left, outer.Top}, {outer.Right, outer.Top}, {inner.Right, inner.Top}, {inner.Left, inner.Top}};
        break;
      case 1:
        pts = {{outer.Right, outer.Top}, {outer.Right, outer.Bottom}, {inner.Right, inner.Bottom},
               {inner.Right, inner.Top}};
        break;
      case 2:
        pts = {{outer.Right, outer.Bottom}, {outer.Left, outer.Bottom}, {inner.Left, inner.Bottom},
               {inner.Right, inner.Bottom}};
        break;
      default:
        pts = {{outer.Left, outer.Bottom}, {outer.Left, outer.Top}, {inner.Left, inner.Top},
               {inner.Left, inner.Bottom}};
        break;
    }
    canvas.SetPen({c, 1, TPenStyle::Solid});
    canvas.SetBrush({c, TBrushStyle::Solid});
    canvas.Polygon(pts);
  }
  canvas.SetPen(savedPen);
  canvas.SetBrush(savedBrush);
}

// ---------------------------------------------------------------------------------------------
// Rows

TCellList::TCellList(const TAttributeList* attributes, TProperties& props) {
  TRowStyle style;
  std::string backImage;
  if (attributes) {
    TAttribute* a = nullptr;
    if (attributes->Find(syHeight, a)) {
      if (HasPercentSign(a->Text()))
        style.HeightPercent = std::uint8_t(std::clamp(a->Value(), 0, 100));
      else
        style.Height = std::clamp(a->Value(), 0, MaxLayoutCoord);
    }
    TColor c = clNone;
    if (attributes->Find(syBgcolor, a) && ParseColor(a->Text(), false, c)) {
      style.HasBackColor = true;
      style.BackColor = c;
    }
    if (attributes->Find(syBackground, a) && !a->Text().empty()) backImage = a->Text();
  }
  TColor bg = props.GetBackgroundColor();
  if (bg != clNone) {
    style.HasBackColor = true;
    style.BackColor = bg;
  }
  std::string url;
  if (props.GetBackgroundImage(url)) backImage = url;
  if (!backImage.empty()) {
    style.BackImage = std::make_unique<TRowBackImage>();
    style.BackImage->Name = std::move(backImage);
    props.GetBackgroundPos(props.FEmPixels, props.FExPixels, style.BackImage->Pos);
  }
  if (style.Height > 0 || style.HeightPercent > 0 || style.HasBackColor || style.BackImage)
    FStyle = std::make_unique<TRowStyle>(std::move(style));
}

TCellList::TCellList(ThtmlTable* table, const TCellList& s) {
  if (s.FStyle) {
    FStyle = std::make_unique<TRowStyle>();
    FStyle->Height = s.FStyle->Height;
    FStyle->BackColor = s.FStyle->BackColor;
    FStyle->HeightPercent = s.FStyle->HeightPercent;
    FStyle->HasBackColor = s.FStyle->HasBackColor;
    if (s.FStyle->BackImage) FStyle->BackImage = std::make_unique<TRowBackImage>(*s.FStyle->BackImage);
  }
  FCells.reserve(s.FCells.size());
  for (const auto& c : s.FCells) FCells.push_back(c ? std::make_unique<TCellObj>(table, *c) : nullptr);
  // The cover of the copy points at the copy's cells.
  FCover.resize(s.FCover.size());
}

TCellObj* TCellList::CoverAt(int col) const {
  if (col < 0) return nullptr;
  if (!FCover.empty()) return std::size_t(col) < FCover.size() ? FCover[std::size_t(col)] : nullptr;
  // No span from above: the first cell at or left of the position covers it if its span reaches.
  for (int c = std::min(col, Count() - 1); c >= 0; --c)
    if (TCellObj* cell = FCells[std::size_t(c)].get()) return c + int(cell->FColSpan) > col ? cell : nullptr;
  return nullptr;
}

TCellObj* TCellList::Add(std::unique_ptr<TCellObj> cell) {
  if (!cell) return nullptr;
  if (FStyle && FStyle->Height > 0)
    cell->FGivenH = std::uint64_t(std::max<int>(cell->FGivenH, FStyle->Height));
  else if (FStyle && FStyle->HeightPercent > 0)
    cell->FGivenHPercent = std::uint64_t(std::max<int>(cell->FGivenHPercent, FStyle->HeightPercent));
  FCells.push_back(std::move(cell));
  return FCells.back().get();
}

// ---------------------------------------------------------------------------------------------
// The table: creation

ThtmlTable::ThtmlTable(TSectionList* document, const TAttributeList* attributes) : TSectionBase(document) {
  if (!attributes) return;
  TAttribute* a = nullptr;
  if (attributes->Find(syBorder, a))
    FTableBorderWidth = std::int16_t(a->Text().empty() ? 1 : std::clamp(a->Value(), 0, MaxBorderAttr));
  if (attributes->Find(syCellpadding, a)) FCellPadding = std::int16_t(std::clamp(a->Value(), 0, MaxCellPadding));
  if (attributes->Find(syCellspacing, a)) FCellSpacing = std::int16_t(std::clamp(a->Value(), 0, MaxCellSpacing));
  TColor c = clNone;
  if (attributes->Find(syBordercolor, a) && ParseColor(a->Text(), false, c)) FBorderColorLight = FBorderColorDark = c;
  if (attributes->Find(syBordercolorlight, a) && ParseColor(a->Text(), false, c)) FBorderColorLight = c;
  if (attributes->Find(syBordercolordark, a) && ParseColor(a->Text(), false, c)) FBorderColorDark = c;
}

ThtmlTable::ThtmlTable(TSectionList* document, const ThtmlTable& s)
    : TSectionBase(document, s),
      FColInfo(s.FColInfo),
      FWidths(s.FWidths),
      FHeights(s.FHeights),
      FNumCols(s.FNumCols),
      FTableWidth(s.FTableWidth),
      FGivenTableWidth(s.FGivenTableWidth),
      FBorderColorLight(s.FBorderColorLight),
      FBorderColorDark(s.FBorderColorDark),
      FBackColor(s.FBackColor),
      FTableLeft(s.FTableLeft),
      FSpecHeight(s.FSpecHeight),
      FTableBorderWidth(s.FTableBorderWidth),
      FCellPadding(s.FCellPadding),
      FCellSpacing(s.FCellSpacing),
      FDepth(s.FDepth),
      FInitialized(s.FInitialized),
      FIsFloating(s.FIsFloating),
      FHasFixedWidths(s.FHasFixedWidths),
      FHasBackColor(s.FHasBackColor),
      FColumnData(s.FColumnData) {
  FFirstChar = s.FFirstChar;
  FCharCount = s.FCharCount;
  FDocY = s.FDocY;
  FPaintBottom = s.FPaintBottom;
  FBoxHeight = s.FBoxHeight;
  FRows.reserve(s.FRows.size());
  for (const auto& row : s.FRows) FRows.push_back(std::make_unique<TCellList>(this, *row));
  // Grid lookups of the copy point at its own cells: a cover entry is the cell of its own
  // position, or the one left of it in the row (a column span), or the entry above (a row span).
  for (std::size_t r = 0; r < FRows.size(); ++r) {
    TCellList& row = *FRows[r];
    for (std::size_t c = 0; c < row.FCover.size(); ++c) {
      const TCellObj* orig = s.FRows[r]->FCover[c];
      if (!orig) continue;
      if (c < row.FCells.size() && s.FRows[r]->FCells[c].get() == orig)
        row.FCover[c] = row.FCells[c].get();
      else if (c > 0 && s.FRows[r]->FCover[c - 1] == orig)
        row.FCover[c] = row.FCover[c - 1];
      else if (r > 0 && c < s.FRows[r - 1]->FCover.size() && s.FRows[r - 1]->FCover[c] == orig)
        row.FCover[c] = FRows[r - 1]->FCover[c];
      else if (r > 0 && c < s.FRows[r - 1]->FCells.size() && s.FRows[r - 1]->FCells[c].get() == orig)
        row.FCover[c] = FRows[r - 1]->FCells[c].get();
      else if (r > 0)
        row.FCover[c] = FRows[r - 1]->CoverAt(int(c));
    }
  }
}

ThtmlTable::~ThtmlTable() = default;

std::unique_ptr<TSectionBase> ThtmlTable::CloneForPrint(TSectionList* document) const {
  return std::unique_ptr<TSectionBase>(new ThtmlTable(document, *this));
}

void ThtmlTable::ReleaseChildren(std::vector<std::unique_ptr<TSectionBase>>& out) {
  for (auto& row : FRows)
    for (auto& c : row->FCells)
      if (c)
        while (!c->FCell->Empty()) out.push_back(c->FCell->Extract(c->FCell->Count() - 1));
}

void ThtmlTable::AddColumnSpec(int width, bool isPercent, const std::string& align, int vAlign) {
  FColInfo.push_back({width, isPercent, align, vAlign});
}

TCellList* ThtmlTable::AddRow(std::unique_ptr<TCellList> row) {
  if (!row) return nullptr;
  FRows.push_back(std::move(row));
  FInitialized = false;
  return FRows.back().get();
}

TCellObj* ThtmlTable::CellAt(int row, int col) const {
  if (row < 0 || row >= int(FRows.size())) return nullptr;
  const TCellList& r = *FRows[std::size_t(row)];
  if (col < 0 || col >= r.Count()) return nullptr;
  return r.FCells[std::size_t(col)].get();
}

// ---------------------------------------------------------------------------------------------
// Initialisation: the grid

void ThtmlTable::Initialize() {
  if (FInitialized) return;
  FInitialized = true;
  FRows.shrink_to_fit();  // the rows are all there: no spare room is kept
  const int n = int(FRows.size());

  // Cells without their own background take the row's, then the table's.
  std::int64_t realCells = 0;
  for (auto& row : FRows) {
    // Drop holes a builder may have left; the grid below decides what is covered.
    TCompactVector<std::unique_ptr<TCellObj>> cells;
    cells.reserve(row->FCells.size());
    for (auto& c : row->FCells)
      if (c) cells.push_back(std::move(c));
    row->FCells = std::move(cells);
    for (auto& c : row->FCells) {
      if (c->FCell->Table() != this) c->MoveToTable(this);
      const TRowStyle* style = row->FStyle.get();
      if (!c->HasBackColor() && style && style->HasBackColor) c->SetBackColor(style->BackColor);
      c->Finish(FCellPadding, FTableBorderWidth > 0);
      if (c->BackImageName().empty() && style && style->BackImage)
        c->SetBackImage(style->BackImage->Name, style->BackImage->Pos);
      if (FHasBackColor && !c->HasBackColor()) c->SetBackColor(FBackColor);
      ++realCells;
    }
    // The cells have what they take from the row.
    row->FStyle.reset();
  }

  FHasFixedWidths = false;
  ForEachCell([this](TCellObj& c) {
    if (c.FGivenW > 0 && !c.FGivenWIsPercent) FHasFixedWidths = true;
  });

  // The grid, row by row: a cell takes the first column not covered by a row span from above,
  // followed by placeholders for its column span. Spans are cut back when the grid would pass
  // its limit, and row spans stop at the last row.
  std::int64_t budget = std::max<std::int64_t>(0, std::int64_t(MaxTableGridCells) - realCells);
  // A column is covered in rows from < r <= until, by the cell whose first column is firstCol.
  std::vector<int> from, until, firstCol;
  std::vector<TCellObj*> coverCell;
  int hiCol = -1;  // the highest column that may still be covered
  auto covered = [&](int c, int r) { return c < int(from.size()) && from[std::size_t(c)] < r && r <= until[std::size_t(c)]; };
  auto cut = [&](int col, int r) {
    // The row span of the cell covering column col ends above row r.
    TCellObj* cell = coverCell[std::size_t(col)];
    cell->FRowSpan = std::uint16_t(std::max(1, r - from[std::size_t(col)]));
    const int first = firstCol[std::size_t(col)];
    for (int k = first; k < first + int(cell->FColSpan) && k < int(until.size()); ++k)
      if (coverCell[std::size_t(k)] == cell) until[std::size_t(k)] = r - 1;
  };
  FNumCols = 0;
  for (int r = 0; r < n; ++r) {
    TCellList& row = *FRows[std::size_t(r)];
    TCompactVector<std::unique_ptr<TCellObj>> src = std::move(row.FCells);
    row.FCells.clear();
    row.FCover.clear();
    row.FCells.reserve(src.size());
    while (hiCol >= 0 && !covered(hiCol, r)) --hiCol;
    int col = 0;
    bool spannedInto = false;
    auto pushCovered = [&](int c) {
      row.FCells.push_back(nullptr);
      row.FCover.push_back(coverCell[std::size_t(c)]);
      spannedInto = true;
      --budget;
    };
    for (auto& owned : src) {
      while (covered(col, r)) {
        if (budget <= 0) {
          cut(col, r);
          continue;
        }
        pushCovered(col);
        ++col;
      }
      TCellObj* cell = owned.get();
      const int cellCol = col;
      cell->FRowSpan = std::uint16_t(std::clamp<int>(cell->FRowSpan, 1, n - r));
      cell->FColSpan = std::uint16_t(std::clamp<int>(cell->FColSpan, 1, MaxColSpan));
      row.FCells.push_back(std::move(owned));
      row.FCover.push_back(cell);
      ++col;
      for (int k = 1; k < cell->FColSpan; ++k) {
        if (budget <= 0) {
          cell->FColSpan = k;
          break;
        }
        row.FCells.push_back(nullptr);
        row.FCover.push_back(cell);
        --budget;
        ++col;
      }
      if (cell->FRowSpan > 1) {
        std::int64_t cost = std::int64_t(cell->FColSpan) * (cell->FRowSpan - 1);
        if (cost > budget) cell->FRowSpan = std::uint16_t(1 + budget / cell->FColSpan);
        if (cell->FRowSpan > 1) {
          if (int(from.size()) < col) {
            from.resize(std::size_t(col), INT_MAX);
            until.resize(std::size_t(col), -1);
            firstCol.resize(std::size_t(col), 0);
            coverCell.resize(std::size_t(col), nullptr);
          }
          for (int k = cellCol; k < col; ++k) {
            from[std::size_t(k)] = r;
            until[std::size_t(k)] = r + cell->FRowSpan - 1;
            firstCol[std::size_t(k)] = cellCol;
            coverCell[std::size_t(k)] = cell;
          }
          hiCol = std::max(hiCol, col - 1);
        }
      }
    }
    // Covered columns right of the row's own cells.
    for (int c = col; c <= hiCol; ++c) {
      if (!covered(c, r)) continue;
      std::int64_t cost = c - col + 1;
      if (cost > budget) {
        cut(c, r);
        continue;
      }
      while (col < c) {
        row.FCells.push_back(nullptr);
        row.FCover.push_back(nullptr);
        --budget;
        ++col;
      }
      pushCovered(c);
      ++col;
    }
    FNumCols = std::max(FNumCols, col);
    // Spans grew the row past what was reserved; a loaded page keeps no spare room. A row no
    // span reaches into finds its cover from its own cells.
    row.FCells.shrink_to_fit();
    if (spannedInto)
      row.FCover.shrink_to_fit();
    else
      row.FCover = TCompactVector<TCellObj*>();
  }

  // Column descriptions give their widths to the cells of their columns.
  if (!FColInfo.empty()) {
    ForEachCellAt([this](TCellObj& c, int, int col) {
      if (col >= int(FColInfo.size())) return;
      const TColObj& info = FColInfo[std::size_t(col)];
      if (info.FColWidth <= 0) return;
      c.FGivenW = info.FColWidth;
      c.FGivenWIsPercent = info.FColIsPercent;
      if (!info.FColIsPercent) FHasFixedWidths = true;
    });
    FColInfo = TCompactVector<TColObj>();
  }

  const std::size_t cols = std::size_t(FNumCols);
  FWidths.clear();
  FWidths.resize(cols);
  FColumnData.clear();
  FColumnData.resize(4 * cols);
  FHeights.clear();
  FMinMaxStamp = -1;
}

int ThtmlTable::NestLevel() {
  if (!FNestKnown) {
    FNestKnown = true;
    FParentTable = nullptr;
    TCellBasic* c = FTableBlock ? FTableBlock->FParentCell : nullptr;
    // Up through the blocks around the table block to the cell of a table, if any.
    for (int guard = 0; c && guard <= 4 * MaxLayoutDepth; ++guard) {
      if (auto* content = dynamic_cast<TTableCellContent*>(c)) {
        FParentTable = content->Table();
        break;
      }
      const TBlock* parent = c->ParentBlock();
      if (!parent) break;
      c = parent->FParentCell;
    }
    if (FParentTable == this) FParentTable = nullptr;
    FNestLevel = std::int16_t(FParentTable ? std::min(FParentTable->NestLevel() + 1, MaxLayoutDepth) : 1);
  }
  return FNestLevel;
}

ThtmlTable* ThtmlTable::Outermost() {
  // Up the chain of tables around this one (as long as its nesting level at most).
  NestLevel();
  ThtmlTable* t = this;
  for (int guard = 0; t->FParentTable && guard < MaxLayoutDepth; ++guard) t = t->FParentTable;
  return t;
}

// ---------------------------------------------------------------------------------------------
// Column minimums and maximums

bool ThtmlTable::EnsureMinMax(TCanvas& canvas, bool withPercents, int refWidth) {
  int stamp = FDocument ? FDocument->LayoutCounter() : -1;
  if (stamp >= 0 && stamp == FMinMaxStamp && withPercents == FMinMaxWithPercents &&
      (!withPercents || refWidth == FMinMaxRef))
    return false;
  std::ranges::fill(MinWidths(), 0);
  std::ranges::fill(MaxWidths(), 0);
  std::ranges::fill(Percents(), 0);
  if (withPercents)
    MinMaxWithPercents(canvas, refWidth);
  else
    MinMaxWithoutPercents(canvas);
  for (int i = 0; i < FNumCols; ++i)
    MaxWidths()[std::size_t(i)] = std::max(MaxWidths()[std::size_t(i)], MinWidths()[std::size_t(i)]);
  FMinMaxStamp = stamp;
  FMinMaxWithPercents = withPercents;
  FMinMaxRef = refWidth;
  FHeights.clear();
  return true;
}

void ThtmlTable::MinMaxWithoutPercents(TCanvas& canvas) {
  for (const TPlacedCell& placed : CellsBySpan(true)) {
    TCellObj* cell = placed.Cell;
    const int col = placed.Col;
    int cmin = 0, cmax = 0;
    cell->FCell->MeasureMinMax(canvas, cmin, cmax);
    const int extra = cell->HorzSpace() + FCellSpacing;
    int mn = ClampCoord(cmin + extra), mx = ClampCoord(cmax + extra);
    const bool pixels = cell->FGivenW > 0 && !cell->FGivenWIsPercent;
    const std::size_t c = std::size_t(col);
    if (cell->FColSpan == 1) {
      if (pixels) mx = std::max(mn, ClampCoord(cell->FGivenW + extra));
      MinWidths()[c] = std::max(MinWidths()[c], mn);
      MaxWidths()[c] = std::max(MaxWidths()[c], mx);
      continue;
    }
    if (pixels) {
      mn = std::max<int>(mn, cell->FGivenW);
      mx = mn;
    }
    const int n = cell->FColSpan;
    std::int64_t minSum = Sum(MinWidths(), col, n), maxSum = Sum(MaxWidths(), col, n);
    if (mn > minSum) {
      if (minSum == 0)
        MinWidths()[c] += ClampSum(mn);
      else
        Spread(MinWidths(), MinWidths(), col, n, ClampSum(mn - minSum));
    }
    if (mx > maxSum) {
      if (maxSum == 0)
        MaxWidths()[c] += ClampSum(mx);
      else
        Spread(MaxWidths(), MaxWidths(), col, n, ClampSum(mx - maxSum));
    }
  }
}

void ThtmlTable::MinMaxWithPercents(TCanvas& canvas, int refWidth) {
  for (const TPlacedCell& placed : CellsBySpan(true)) {
    TCellObj* cell = placed.Cell;
    int cmin = 0, cmax = 0;
    cell->FCell->MeasureMinMax(canvas, cmin, cmax);
    const int extra = cell->HorzSpace() + FCellSpacing;
    const int mn = ClampCoord(cmin + extra), mx = ClampCoord(cmax + extra);
    int p = 0;
    if (cell->FGivenWIsPercent)
      p = cell->FGivenW;
    else if (cell->FGivenW > 0 && refWidth > 0)
      p = std::min(1000, Share(cell->FGivenW, 1000, refWidth));
    const std::size_t c = std::size_t(placed.Col);
    if (cell->FColSpan == 1) {
      MinWidths()[c] = std::max(MinWidths()[c], mn);
      MaxWidths()[c] = std::max(MaxWidths()[c], mx);
      Percents()[c] = std::max(Percents()[c], p);
      continue;
    }
    const int first = placed.Col, n = cell->FColSpan;
    std::int64_t minSum = Sum(MinWidths(), first, n), maxSum = Sum(MaxWidths(), first, n);
    int pctSum = int(std::min<std::int64_t>(Sum(Percents(), first, n), INT_MAX));
    int without = 0;
    for (int i = first; i < first + n; ++i)
      if (Percents()[std::size_t(i)] == 0) ++without;
    if (p > 0 || pctSum > 0) {
      if (without > 0) {
        int share = std::max(0, (p - pctSum) / without);
        if (share > 0)
          for (int i = first; i < first + n; ++i)
            if (Percents()[std::size_t(i)] == 0) Percents()[std::size_t(i)] = share;
      } else if (pctSum < p) {
        for (int i = first; i < first + n; ++i) Percents()[std::size_t(i)] = Share(Percents()[std::size_t(i)], p, pctSum);
      }
      const int pct = std::max(pctSum, p);
      auto spreadBy = [&](std::span<int> target, std::span<const int> weights, std::int64_t missing) {
        int m = ClampSum(missing);
        std::int64_t given = 0;
        int total = weights.data() == Percents().data() ? pct : int(std::min<std::int64_t>(Sum(weights, first, n), INT_MAX));
        for (int i = first; i < first + n; ++i) {
          int part = total > 0 ? Share(m, weights[std::size_t(i)], total) : m / n;
          target[std::size_t(i)] = ClampSum(std::int64_t(target[std::size_t(i)]) + part);
          given += part;
        }
        target[std::size_t(first)] = ClampSum(target[std::size_t(first)] + (m - given));
      };
      if (mn > minSum) spreadBy(MinWidths(), without == 0 || maxSum <= 0 ? Percents() : MaxWidths(), mn - minSum);
      if (mx > maxSum) spreadBy(MaxWidths(), Percents(), mx - maxSum);
    } else {
      if (mn > minSum) Spread(MinWidths(), MinWidths(), first, n, ClampSum(mn - minSum));
      if (mx > maxSum) Spread(MaxWidths(), MaxWidths(), first, n, ClampSum(mx - maxSum));
    }
  }
  for (int& p : Percents()) p = std::clamp(p, 0, 1000);
}

void ThtmlTable::Totals(int& minTotal, int& maxTotal) const {
  minTotal = ClampSum(Sum(MinWidths(), 0, FNumCols));
  maxTotal = ClampSum(Sum(MaxWidths(), 0, FNumCols));
}

int ThtmlTable::NeededWidth() const {
  std::int64_t pctSum = Sum(Percents(), 0, FNumCols);
  if (pctSum < 1 || pctSum > 1000) return 0;
  std::int64_t nonPctMax = 0;
  int a = 0;
  for (int i = 0; i < FNumCols; ++i) {
    const int p = Percents()[std::size_t(i)], mx = MaxWidths()[std::size_t(i)];
    if (p == 0)
      nonPctMax += mx;
    else
      a = std::max(a, Share(mx, 1000, p));
  }
  int np = ClampSum(nonPctMax);
  int b = pctSum < 1000 ? Share(np, 1000, int(1000 - pctSum)) : np == 0 ? 0 : 30000;
  return std::max(a, b);
}

void ThtmlTable::MeasureMinMax(TCanvas& canvas, int& minWidth, int& maxWidth) {
  minWidth = maxWidth = 0;
  if (TooDeep()) return;
  Initialize();
  const bool withPercents = !FHasFixedWidths || FGivenTableWidth > 0;
  EnsureMinMax(canvas, withPercents, FGivenTableWidth);
  int mn = 0, mx = 0;
  Totals(mn, mx);
  // A table with percentage columns wants the width at which they get their share.
  if (withPercents) mx = std::max(mx, NeededWidth());
  minWidth = std::max(ClampCoord(mn + FCellSpacing), FGivenTableWidth);
  maxWidth = std::max(ClampCoord(mx + FCellSpacing), FGivenTableWidth);
  maxWidth = std::max(maxWidth, minWidth);
}

// ---------------------------------------------------------------------------------------------
// Column widths

void ThtmlTable::WidthsFixed(int avail) {
  int minT = 0, maxT = 0;
  Totals(minT, maxT);
  if (avail < minT) {
    AssignWidths(MinWidths());
    return;
  }
  if (avail >= maxT) {
    AssignWidths(MaxWidths());
    return;
  }
  std::int64_t sum = 0;
  for (int i = 0; i < FNumCols; ++i) {
    const int mn = MinWidths()[std::size_t(i)], mx = MaxWidths()[std::size_t(i)];
    int w = maxT == minT ? mn + Share(mn, avail - minT, minT) : mn + Share(mx - mn, avail - minT, maxT - minT);
    FWidths[std::size_t(i)] = w;
    sum += w;
  }
  int diff = ClampSum(avail - sum);
  for (int i = 0; i < FNumCols && diff != 0; ++i) {
    if (diff > 0) {
      ++FWidths[std::size_t(i)];
      --diff;
    } else if (MaxWidths()[std::size_t(i)] > MinWidths()[std::size_t(i)]) {
      --FWidths[std::size_t(i)];
      ++diff;
    }
  }
}

void ThtmlTable::WidthsGeneral(int avail) {
  int minT = 0, maxT = 0;
  Totals(minT, maxT);
  if (minT >= avail) {
    AssignWidths(MinWidths());
    return;
  }
  const auto copy = [](std::span<const int> v) { return std::vector<int>(v.begin(), v.end()); };
  std::vector<int> mins = copy(MinWidths()), maxs = copy(MaxWidths()), pcts = copy(Percents());
  const int pctSum = ClampSum(Sum(pcts, 0, FNumCols));
  if (pctSum >= 1 && pctSum <= 1000) {
    const int needed = NeededWidth();
    if (avail >= needed) {
      std::int64_t nonPctMax = 0;
      for (int i = 0; i < FNumCols; ++i)
        if (pcts[std::size_t(i)] == 0) nonPctMax += maxs[std::size_t(i)];
      const int rest = Share(needed, 1000 - pctSum, 1000);
      for (int i = 0; i < FNumCols; ++i) {
        const std::size_t k = std::size_t(i);
        FWidths[k] = pcts[k] > 0 ? Share(needed, pcts[k], 1000)
                                 : Share(maxs[k], rest, int(std::min<std::int64_t>(nonPctMax, INT_MAX)));
      }
      return;
    }
    // Percentage columns that cannot have their share fall back to plain columns; the others
    // shrink together until everything fits.
    int lastNumerator = INT_MAX;
    for (int round = 0; round <= FNumCols + 1; ++round) {
      std::int64_t fixedMin = 0, pctWidth = 0;
      bool any = false;
      for (int i = 0; i < FNumCols; ++i) {
        const std::size_t k = std::size_t(i);
        if (pcts[k] > 0 && Share(avail, pcts[k], 1000) < mins[k]) pcts[k] = 0;
        if (pcts[k] > 0) {
          pctWidth += Share(avail, pcts[k], 1000);
          any = true;
        } else {
          fixedMin += mins[k];
        }
      }
      if (!any) break;
      if (fixedMin + pctWidth > avail) {
        const int numerator = ClampSum(avail - fixedMin);
        if (numerator >= lastNumerator || pctWidth <= 0) break;
        lastNumerator = numerator;
        for (int& p : pcts) p = Share(p, numerator, ClampSum(pctWidth));
        continue;
      }
      for (int i = 0; i < FNumCols; ++i) {
        const std::size_t k = std::size_t(i);
        if (pcts[k] > 0) mins[k] = maxs[k] = Share(avail, pcts[k], 1000);
      }
      break;
    }
    minT = ClampSum(Sum(mins, 0, FNumCols));
    maxT = ClampSum(Sum(maxs, 0, FNumCols));
  }
  if (FNumCols == 0) return;
  std::int64_t sum = 0;
  if (maxT == minT) {
    for (int i = 0; i < FNumCols; ++i) {
      FWidths[std::size_t(i)] = mins[std::size_t(i)] + (avail - minT) / FNumCols;
      sum += FWidths[std::size_t(i)];
    }
    FWidths[0] = ClampSum(FWidths[0] + (avail - sum));
    return;
  }
  int widest = 0;
  for (int i = 0; i < FNumCols; ++i) {
    const std::size_t k = std::size_t(i);
    FWidths[k] = mins[k] + Share(maxs[k] - mins[k], avail - minT, maxT - minT);
    sum += FWidths[k];
    if (maxs[k] - mins[k] > maxs[std::size_t(widest)] - mins[std::size_t(widest)]) widest = i;
  }
  FWidths[std::size_t(widest)] = ClampSum(FWidths[std::size_t(widest)] + (avail - sum));
}

void ThtmlTable::WidthsImposed(int avail) {
  const int w = avail;
  std::vector<char> frozen(std::size_t(FNumCols), 0);
  std::int64_t extra = 0, sum = 0;
  int plain = 0;
  for (int i = 0; i < FNumCols; ++i) {
    const std::size_t k = std::size_t(i);
    if (Percents()[k] == 0) {
      FWidths[k] = MinWidths()[k];
      extra += MaxWidths()[k] - MinWidths()[k];
      ++plain;
    } else {
      int share = Share(w, Percents()[k], 1000);
      if (MinWidths()[k] > share) {
        FWidths[k] = MinWidths()[k];
        frozen[k] = 1;
      } else {
        FWidths[k] = share;
      }
    }
    sum += FWidths[k];
  }
  if (sum < w) {
    const int shortfall = ClampSum(w - sum);
    if (plain == 0) {
      std::int64_t pcts = 0;
      for (int i = 0; i < FNumCols; ++i)
        if (!frozen[std::size_t(i)]) pcts += Percents()[std::size_t(i)];
      if (pcts > 0)
        for (int i = 0; i < FNumCols; ++i)
          if (!frozen[std::size_t(i)])
            FWidths[std::size_t(i)] += Share(shortfall, Percents()[std::size_t(i)], ClampSum(pcts));
    } else if (extra > 0 && 4 * extra >= shortfall) {
      for (int i = 0; i < FNumCols; ++i) {
        const std::size_t k = std::size_t(i);
        if (Percents()[k] == 0)
          FWidths[k] += Share(shortfall, MaxWidths()[k] - MinWidths()[k], int(std::min<std::int64_t>(extra, INT_MAX)));
      }
    } else {
      for (int i = 0; i < FNumCols; ++i)
        if (Percents()[std::size_t(i)] == 0) FWidths[std::size_t(i)] += shortfall / plain;
    }
  } else if (sum > w) {
    std::int64_t excess = sum - w;
    std::int64_t pcts = 0;
    for (int i = 0; i < FNumCols; ++i)
      if (Percents()[std::size_t(i)] > 0 && !frozen[std::size_t(i)]) pcts += Percents()[std::size_t(i)];
    for (int round = 0; round < 4 && pcts > 0; ++round) {
      bool changed = false;
      for (int i = 0; i < FNumCols; ++i) {
        const std::size_t k = std::size_t(i);
        if (Percents()[k] == 0 || frozen[k]) continue;
        int part = Share(ClampSum(excess), Percents()[k], ClampSum(pcts));
        if (FWidths[k] - part < MinWidths()[k]) {
          excess -= FWidths[k] - MinWidths()[k];
          pcts -= Percents()[k];
          FWidths[k] = MinWidths()[k];
          frozen[k] = 1;
          changed = true;
        }
      }
      if (!changed) break;
    }
    if (pcts > 0 && excess > 0) {
      std::int64_t taken = 0;
      for (int i = 0; i < FNumCols; ++i) {
        const std::size_t k = std::size_t(i);
        if (Percents()[k] == 0 || frozen[k]) continue;
        int part = Share(ClampSum(excess), Percents()[k], ClampSum(pcts));
        FWidths[k] -= part;
        taken += part;
      }
      (void)taken;
    }
  }
  std::int64_t total = Sum(FWidths, 0, FNumCols);
  if (total > w) {
    // Taken from the first columns that may give, none below its minimum.
    std::int64_t over = total - w;
    for (int i = 0; i < FNumCols && over > 0; ++i) {
      const std::size_t k = std::size_t(i);
      if (frozen[k]) continue;
      int give = int(std::min<std::int64_t>(over, FWidths[k] - MinWidths()[k]));
      if (give <= 0) continue;
      FWidths[k] -= give;
      over -= give;
    }
  } else if (total < w && FNumCols > 0) {
    FWidths[0] = ClampSum(FWidths[0] + (w - total));
  }
}

int ThtmlTable::SpanWidth(const TCellObj& cell, int col) const {
  return ClampSum(Sum(FWidths, col, std::min<int>(cell.FColSpan, FNumCols - col)));
}

int ThtmlTable::NextColumnLeft(int left, int col) const {
  return ClampSum(std::int64_t(left) + FWidths[std::size_t(col)]);
}

bool ThtmlTable::CellPosition(const TCellObj& cell, int& row, int& col) const {
  for (std::size_t r = 0; r < FRows.size(); ++r) {
    const TCellList& cells = *FRows[r];
    for (std::size_t c = 0; c < cells.FCells.size(); ++c)
      if (cells.FCells[c].get() == &cell) {
        row = int(r);
        col = int(c);
        return true;
      }
  }
  return false;
}

int ThtmlTable::FirstRowOf(const TCellObj& cell, int row, int col) const {
  while (row > 0 && !(std::size_t(col) < FRows[std::size_t(row)]->FCells.size() &&
                      FRows[std::size_t(row)]->FCells[std::size_t(col)].get() == &cell))
    --row;
  return row;
}

std::vector<int> ThtmlTable::RowTops() const {
  std::vector<int> tops;
  if (FHeights.size() != FRows.size()) return tops;
  tops.reserve(FRows.size() + 1);
  tops.push_back(FDocY);
  for (int h : FHeights) tops.push_back(ClampSum(std::int64_t(tops.back()) + h));
  return tops;
}

int ThtmlTable::CellColorCode(TColor color) {
  for (std::size_t i = 0; i < FCellColors.size(); ++i)
    if (FCellColors[i] == color) return int(i) + 1;
  if (FCellColors.size() >= std::size_t(MaxCellColors)) return -1;
  FCellColors.push_back(color);
  return int(FCellColors.size());
}

int ThtmlTable::CellPadCode(const TCellPads& pads) {
  for (std::size_t i = 0; i < FCellPads.size(); ++i)
    if (FCellPads[i] == pads) return int(i);
  if (FCellPads.size() >= std::size_t(MaxCellPadSets)) return -1;
  FCellPads.push_back(pads);
  return int(FCellPads.size()) - 1;
}

TCellBox ThtmlTable::CellBox(const TCellObj& cell) const {
  int row = 0, col = 0;
  const std::vector<int> tops = RowTops();
  if (tops.empty() || !CellPosition(cell, row, col)) return {};
  int left = FTableLeft;
  for (int c = 0; c < col && c < int(FWidths.size()); ++c) left = NextColumnLeft(left, c);
  const int top = tops[std::size_t(row)];
  return {left, top, SpanWidth(cell, col), CellBottom(cell, row, tops) - top};
}

// ---------------------------------------------------------------------------------------------
// Layout

int ThtmlTable::LayoutCellContent(TCanvas& canvas, TCellObj& cell, int col, int x, int y, int& cursor,
                                  int* baseline) {
  const int w = std::max(0, SpanWidth(cell, col) - FCellSpacing - cell.HorzSpace());
  int firstBaseline = 0;
  int* saved = FDocument ? FDocument->FFirstLineBaseline : nullptr;
  if (FDocument) FDocument->FFirstLineBaseline = baseline ? &firstBaseline : nullptr;
  int scrollWidth = 0;
  cell.LoadBackImage();
  int h = cell.FCell->LayoutOwn(canvas, x, y, w, scrollWidth, cursor);
  if (FDocument) FDocument->FFirstLineBaseline = saved;
  if (baseline) *baseline = firstBaseline > 0 ? firstBaseline - y : 0;
  ++FCellLayouts;
  return std::max(0, h);
}

void ThtmlTable::ComputeRowHeights(TCanvas& canvas, int y) {
  const int n = int(FRows.size());
  const int sp = FCellSpacing;
  const int a = FSpecHeight > 0 ? FSpecHeight - sp : 0;
  std::vector<int> desired(std::size_t(n), 0), spec(std::size_t(n), 0);
  std::vector<char> hasSpec(std::size_t(n), 0);
  int scratch = 0;
  std::vector<TPlacedCell> group;
  std::vector<int> baselines;  // of the group's cells aligned on them
  const std::vector<TPlacedCell> byRowSpan = CellsBySpan(false);
  std::size_t i = 0;
  while (i < byRowSpan.size()) {
    // Cells of one span starting in one row (the list is by span, then in grid order).
    const int span = byRowSpan[i].Cell->FRowSpan, r = byRowSpan[i].Row;
    group.clear();
    while (i < byRowSpan.size() && byRowSpan[i].Cell->FRowSpan == span && byRowSpan[i].Row == r)
      group.push_back(byRowSpan[i++]);
    int rowD = 0, rowS = 0, rowBase = 0;
    bool rowHas = false;
    baselines.assign(group.size(), 0);
    for (std::size_t k = 0; k < group.size(); ++k) {
      TCellObj* cell = group[k].Cell;
      const bool baseline = span == 1 && cell->FVAlign == acBaseline;
      cell->FCellVSize = std::uint32_t(std::min(
          LayoutCellContent(canvas, *cell, group[k].Col, 0, y, scratch, baseline ? &baselines[k] : nullptr),
          MaxLayoutCoord));
      if (baseline) rowBase = std::max(rowBase, baselines[k]);
    }
    for (std::size_t k = 0; k < group.size(); ++k) {
      TCellObj* cell = group[k].Cell;
      int content = cell->FGivenH > 0 ? std::max<int>(cell->FCellVSize, cell->FGivenH) : int(cell->FCellVSize);
      if (cell->FVAlign == acBaseline) {
        // Cells aligned on their first baseline move down to the lowest of them (one spanning
        // rows keeps to its top).
        cell->SetBaselineIndent(span == 1 ? rowBase - baselines[k] : 0);
        content += cell->BaselineIndent();
      }
      rowD = std::max(rowD, ClampCoord(content + cell->VertSpace()));
      if (cell->FGivenHPercent > 0) rowS = std::max(rowS, Share(cell->FGivenHPercent, a - n * sp, 100));
      rowHas = rowHas || cell->FGivenH > 0 || cell->FGivenHPercent > 0;
    }
    rowS = std::max(rowS, rowD);
    rowD = ClampCoord(rowD + sp);
    rowS = ClampCoord(rowS + sp);
    if (span == 1) {
      desired[std::size_t(r)] = std::max(desired[std::size_t(r)], rowD);
      spec[std::size_t(r)] = std::max(spec[std::size_t(r)], rowS);
      hasSpec[std::size_t(r)] = hasSpec[std::size_t(r)] || rowHas;
      continue;
    }
    const int last = std::min(r + span, n) - 1;
    const int count = last - r + 1;
    auto stretch = [&](std::vector<int>& v, int need) {
      std::int64_t have = 0;
      for (int k = r; k <= last; ++k) have += v[std::size_t(k)];
      if (need <= have) return;
      int more = ClampSum(need - have);
      for (int k = r; k <= last; ++k) v[std::size_t(k)] += more / count;
      v[std::size_t(last)] += more % count;
    };
    stretch(desired, rowD);
    stretch(spec, rowS);
    for (int k = r; k <= last; ++k) {
      spec[std::size_t(k)] = std::max(spec[std::size_t(k)], desired[std::size_t(k)]);
      if (rowHas) hasSpec[std::size_t(k)] = 1;
    }
  }
  for (int k = 0; k < n; ++k) spec[std::size_t(k)] = std::max(spec[std::size_t(k)], desired[std::size_t(k)]);

  std::int64_t desiredTotal = 0, specTotal = 0;
  int without = 0;
  for (int k = 0; k < n; ++k) {
    desiredTotal += desired[std::size_t(k)];
    specTotal += spec[std::size_t(k)];
    if (!hasSpec[std::size_t(k)]) ++without;
  }
  AssignInts(FHeights, desired);
  if (n == 0 || desiredTotal >= a) return;
  if (specTotal < a) {
    if (without == 0) {
      std::int64_t used = 0;
      for (int k = 0; k < n - 1; ++k) {
        FHeights[std::size_t(k)] = RoundHalfEven(double(spec[std::size_t(k)]) * a / double(specTotal));
        used += FHeights[std::size_t(k)];
      }
      FHeights[std::size_t(n - 1)] = ClampSum(a - used);
    } else {
      const int free = ClampSum(a - specTotal);
      int lastWithout = -1;
      for (int k = 0; k < n; ++k) {
        FHeights[std::size_t(k)] = spec[std::size_t(k)];
        if (!hasSpec[std::size_t(k)]) {
          FHeights[std::size_t(k)] += free / without;
          lastWithout = k;
        }
      }
      FHeights[std::size_t(lastWithout)] += free % without;
    }
    return;
  }
  std::int64_t used = 0;
  const int range = ClampSum(specTotal - desiredTotal), room = ClampSum(a - desiredTotal);
  for (int k = 0; k < n - 1; ++k) {
    FHeights[std::size_t(k)] = desired[std::size_t(k)] +
                               Share(spec[std::size_t(k)] - desired[std::size_t(k)], room, range);
    used += FHeights[std::size_t(k)];
  }
  FHeights[std::size_t(n - 1)] = ClampSum(a - used);
}

int ThtmlTable::LayoutSection(TCanvas& canvas, int x, int y, int xRef, int yRef, int availWidth, int availHeight,
                              int blockHeight, IndentManager& indents, int& maxWidth, int& cursor) {
  (void)xRef, (void)yRef, (void)availWidth, (void)availHeight, (void)blockHeight;
  FFirstChar = cursor;
  FDocY = y;
  FTableLeft = x;
  Initialize();
  if (TooDeep() || FRows.empty() || FNumCols == 0) {
    FTableWidth = 0;
    FBoxHeight = 0;
    FPaintBottom = y;
    FCharCount = 0;
    maxWidth = 0;
    return 0;
  }
  const int sp = FCellSpacing;
  int avail = FGivenTableWidth > 0 ? FGivenTableWidth : indents.RightEdgeAt(y) - indents.LeftEdgeAt(y);
  avail = std::max(0, avail - sp);

  ThtmlTable* outermost = Outermost();
  const int level = NestLevel();
  const bool nestedPlacing = outermost != this && outermost->FPlacing;

  const bool withPercents = !FHasFixedWidths || FGivenTableWidth > 0;
  EnsureMinMax(canvas, withPercents, FGivenTableWidth);
  if (FGivenTableWidth > 0)
    WidthsImposed(avail);
  else if (FHasFixedWidths)
    WidthsFixed(avail);
  else
    WidthsGeneral(avail);
  FTableWidth = ClampSum(sp + Sum(FWidths, 0, FNumCols));
  maxWidth = FTableWidth;

  // A list item waiting for its first line gets the table's bottom, not a line inside it.
  int* pendingBaseline = FDocument ? FDocument->FFirstLineBaseline : nullptr;
  if (FDocument) FDocument->FFirstLineBaseline = nullptr;

  const int stamp = FDocument ? FDocument->LayoutCounter() : -1;
  bool recompute = FHeights.size() != FRows.size() || stamp < 0 || FHeightsStamp != stamp ||
                   !std::ranges::equal(HeightsWidths(), FWidths) ||
                   (nestedPlacing && level <= MaxHeightRecomputeLevel);
  if (recompute) {
    ComputeRowHeights(canvas, y);
    FHeightsStamp = stamp;
    std::copy(FWidths.begin(), FWidths.end(), HeightsWidths().begin());
  }

  // Cell boxes; the contents are laid out in place by the outermost table, and by a nested
  // one only while the outermost is placing.
  std::vector<int> colLeft(std::size_t(FNumCols) + 1, x);
  for (int c = 0; c < FNumCols; ++c)
    colLeft[std::size_t(c) + 1] = ClampSum(std::int64_t(colLeft[std::size_t(c)]) + FWidths[std::size_t(c)]);
  const int n = int(FRows.size());
  std::vector<int> rowTop(std::size_t(n) + 1, y);
  for (int r = 0; r < n; ++r)
    rowTop[std::size_t(r) + 1] = ClampSum(std::int64_t(rowTop[std::size_t(r)]) + FHeights[std::size_t(r)]);
  const bool place = outermost == this || nestedPlacing;
  if (outermost == this) FPlacing = true;
  int paintBottom = rowTop[std::size_t(n)] + sp;
  for (int r = 0; r < n && place; ++r) {
    const TCellList& row = *FRows[std::size_t(r)];
    for (std::size_t col = 0; col < row.FCells.size(); ++col) {
      if (!row.FCells[col]) continue;
      TCellObj& cell = *row.FCells[col];
      const int last = std::min(r + cell.FRowSpan, n);
      const TCellBox box{colLeft[col], rowTop[std::size_t(r)], SpanWidth(cell, int(col)),
                         rowTop[std::size_t(last)] - rowTop[std::size_t(r)]};
      const int free = box.Height - cell.FCellVSize - sp - cell.VertSpace();
      int indent = 0;
      switch (cell.FVAlign) {
        case acTop: break;
        case acBottom: indent = std::max(0, free); break;
        case acBaseline: indent = cell.BaselineIndent(); break;  // found with the row heights
        default: indent = std::max(0, free / 2); break;
      }
      const int cy = box.Top + sp + cell.Pad(0) + cell.Borders()[0] + indent;
      LayoutCellContent(canvas, cell, int(col), cell.ContentLeft(box, sp), cy, cursor, nullptr);
      for (const auto& s : *cell.FCell) paintBottom = std::max(paintBottom, s->PaintBottom());
    }
  }
  if (outermost == this) FPlacing = false;

  FCharCount = cursor - FFirstChar;
  FBoxHeight = ClampSum(std::int64_t(rowTop[std::size_t(n)]) - y + sp);
  FPaintBottom = std::max(y + FBoxHeight, paintBottom);
  if (pendingBaseline) *pendingBaseline = y + FBoxHeight;
  return FBoxHeight;
}

// ---------------------------------------------------------------------------------------------
// Drawing and queries

int ThtmlTable::Draw(TCanvas& canvas, const TRect& clip, IndentManager& indents, int x, int xRef, int yRef) {
  (void)indents, (void)x, (void)xRef, (void)yRef;
  const int after = FDocY + FBoxHeight;
  if (TooDeep() || FDocY == NotLaidOutY || FRows.empty() || FHeights.size() != FRows.size()) return after;
  const int top = FDocY, bottom = FDocY + FBoxHeight;
  if (bottom <= clip.Top || top >= clip.Bottom) return after;
  if (FDocument && FDocument->FPrinting && top >= FDocument->FPageBottom) return after;
  // The first row in view, moved up to the first row of any cell that spans into it.
  int first = 0;
  {
    int rowY = FDocY;
    const int n = int(FRows.size());
    while (first < n - 1 && rowY + FHeights[std::size_t(first)] <= clip.Top) rowY += FHeights[std::size_t(first++)];
    int start = first;
    const TCompactVector<TCellObj*>& cover = FRows[std::size_t(first)]->FCover;
    for (std::size_t c = 0; c < cover.size(); ++c)
      if (cover[c] && (c == 0 || cover[c - 1] != cover[c])) start = std::min(start, FirstRowOf(*cover[c], first, int(c)));
    first = start;
  }
  // Rows go down the page: the first one starting below the clip ends the drawing (a row with
  // no cell of its own, wholly covered from above, does not).
  const std::vector<int> tops = RowTops();
  for (int r = first; r < int(FRows.size()) && tops[std::size_t(r)] < clip.Bottom; ++r)
    ForEachPlacedCell(r, tops,
                      [&](TCellObj& c, const TCellBox& box) { c.DrawCell(canvas, clip, box, FCellSpacing, *this); });
  return after;
}

bool ThtmlTable::GridAt(int x, int y, int& row, int& col) const {
  if (FDocY == NotLaidOutY || FHeights.size() != FRows.size() || FWidths.size() != std::size_t(FNumCols)) return false;
  if (x < FTableLeft || x >= FTableLeft + FTableWidth || y < FDocY || y >= FDocY + FBoxHeight) return false;
  int cx = FTableLeft;
  col = -1;
  for (int c = 0; c < FNumCols; ++c) {
    cx += FWidths[std::size_t(c)];
    if (x < cx) {
      col = c;
      break;
    }
  }
  int ry = FDocY;
  row = -1;
  for (int r = 0; r < int(FRows.size()); ++r) {
    ry += FHeights[std::size_t(r)];
    if (y < ry) {
      row = r;
      break;
    }
  }
  return row >= 0 && col >= 0;
}

TCellObj* ThtmlTable::CellUnder(int x, int y) const {
  int row = 0, col = 0;
  if (!GridAt(x, y, row, col)) return nullptr;
  return FRows[std::size_t(row)]->CoverAt(col);
}

bool ThtmlTable::HotSpotAt(TCanvas& canvas, int x, int y, THotSpot& spot) {
  TCellObj* c = CellUnder(x, y);
  return c && c->FCell->HotSpotAt(canvas, x, y, spot);
}

bool ThtmlTable::ObjectAt(int x, int y, TFloatingObj*& object, int& ix, int& iy) {
  TCellObj* c = CellUnder(x, y);
  return c && c->FCell->ObjectAt(x, y, object, ix, iy);
}

int ThtmlTable::CaretFromPoint(TCanvas& canvas, int x, int y, int& xr, int& yr, int& caretHeight, bool& inText) {
  TCellObj* c = CellUnder(x, y);
  return c ? c->FCell->CaretFromPoint(canvas, x, y, xr, yr, caretHeight, inText) : -1;
}

int ThtmlTable::SearchForward(int from, const std::u16string& text, bool matchCase) {
  for (const auto& row : FRows)
    for (const auto& c : row->FCells)
      if (c) {
        int p = c->FCell->SearchForward(from, text, matchCase);
        if (p >= 0) return p;
      }
  return -1;
}

void ThtmlTable::FindAll(const std::u16string& text, bool matchCase, std::vector<std::pair<int, int>>& out) {
  for (const auto& row : FRows)
    for (const auto& c : row->FCells)
      if (c) c->FCell->FindAll(text, matchCase, out);
}

int ThtmlTable::SearchBackward(int from, const std::u16string& text, bool matchCase) {
  for (std::size_t r = FRows.size(); r-- > 0;)
    for (std::size_t c = FRows[r]->FCells.size(); c-- > 0;)
      if (TCellObj* cell = FRows[r]->FCells[c].get()) {
        int p = cell->FCell->SearchBackward(from, text, matchCase);
        if (p >= 0) return p;
      }
  return -1;
}

int ThtmlTable::SourcePosOf(int docPos) {
  if (docPos < FFirstChar || docPos >= FFirstChar + FCharCount) return -1;
  for (const auto& row : FRows)
    for (const auto& c : row->FCells)
      if (c) {
        int p = c->FCell->SourcePosOf(docPos);
        if (p >= 0) return p;
      }
  return -1;
}

int ThtmlTable::DocPosOf(int sourcePos, bool previous) {
  if (previous) {
    for (std::size_t r = FRows.size(); r-- > 0;)
      for (std::size_t c = FRows[r]->FCells.size(); c-- > 0;)
        if (TCellObj* cell = FRows[r]->FCells[c].get()) {
          int p = cell->FCell->DocPosOf(sourcePos, previous);
          if (p >= 0) return p;
        }
    return -1;
  }
  for (const auto& row : FRows)
    for (const auto& c : row->FCells)
      if (c) {
        int p = c->FCell->DocPosOf(sourcePos, previous);
        if (p >= 0) return p;
      }
  return -1;
}

bool ThtmlTable::PointFromCaret(TCanvas& canvas, int cursor, int& x, int& y) {
  if (cursor < FFirstChar || cursor >= FFirstChar + FCharCount) return false;
  for (const auto& row : FRows)
    for (const auto& c : row->FCells)
      if (c && c->FCell->PointFromCaret(canvas, cursor, x, y)) return true;
  return false;
}

bool ThtmlTable::CharAt(int pos, char16_t& ch, TCharObject& object) {
  if (pos < FFirstChar || pos >= FFirstChar + FCharCount) return false;
  for (const auto& row : FRows)
    for (const auto& c : row->FCells)
      if (c && c->FCell->CharAt(pos, ch, object)) return true;
  return false;
}

void ThtmlTable::AppendSelectedText(std::u16string& text) {
  if (!FDocument) return;
  for (const auto& row : FRows)
    for (const auto& c : row->FCells)
      if (c) c->FCell->AppendSelectedText(text);
}

std::vector<ThtmlTable::TPlacedCell> ThtmlTable::CellsBySpan(bool byColumns) const {
  std::vector<TPlacedCell> cells;
  bool spanned = false;
  ForEachCellAt([&](TCellObj& c, int row, int col) {
    cells.push_back({&c, row, col});
    spanned = spanned || (byColumns ? c.FColSpan : c.FRowSpan) > 1;
  });
  // Without spans the grid order is the order by span already.
  if (!spanned) return cells;
  if (byColumns)
    std::stable_sort(cells.begin(), cells.end(),
                     [](const TPlacedCell& a, const TPlacedCell& b) { return a.Cell->FColSpan < b.Cell->FColSpan; });
  else
    std::stable_sort(cells.begin(), cells.end(),
                     [](const TPlacedCell& a, const TPlacedCell& b) { return a.Cell->FRowSpan < b.Cell->FRowSpan; });
  return cells;
}

void ThtmlTable::CollectSections() { TSectionBase::CollectSections(); }

bool ThtmlTable::LineYAt(int docPos, int& y) {
  if (TooDeep() || FDocY == NotLaidOutY) return false;
  for (const auto& row : FRows)
    for (const auto& c : row->FCells)
      if (c && c->FCell->LineYAt(docPos, y)) return true;
  return false;
}

void ThtmlTable::Dump(TDumpWriter& out, int depth) const {
  out.Line(depth) << "table";
  out.Box(FTableLeft, FDocY, FTableWidth, FBoxHeight);
  out << " cols=" << FNumCols << " spacing=" << FCellSpacing << " padding=" << FCellPadding;
  if (FTableBorderWidth > 0) out << " border=" << FTableBorderWidth;
  if (TooDeep() || FHeights.size() != FRows.size()) return;
  int rowY = FDocY;
  const std::vector<int> tops = RowTops();
  for (std::size_t r = 0; r < FRows.size(); ++r) {
    out.Line(depth + 1) << "row";
    out.Box(FTableLeft, rowY, FTableWidth, FHeights[r]);
    ForEachPlacedCell(int(r), tops,
                      [&](const TCellObj& c, const TCellBox& box) { c.Dump(out, depth + 2, box, FCellSpacing); });
    rowY += FHeights[r];
  }
}

}  // namespace korva
