// One cell of a table: its spans, its given sizes, its paddings and borders, its background,
// and its content as a cell laid out against its own indent manager (floats inside a table cell
// stay in it).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "layout/Block.h"
#include "layout/Cell.h"
#include "style/Properties.h"

namespace korva {

class TAttributeList;
class ThtmlTable;
class TDumpWriter;

// Untrusted spans are cut back to these before the grid is built.
constexpr int MaxColSpan = 1000;
constexpr int MaxRowSpan = 65534;

// The content of a table cell: a cell that knows its table (so that nested tables find the one
// around them).
class TTableCellContent : public TCell {
 public:
  explicit TTableCellContent(TSectionList* document) : TCell(document) {}
  ThtmlTable* FTable = nullptr;  // the table whose cell this is (set when the grid is built)
};

// A table cell's content lives inside the cell object (one allocation per cell).
using TEmbeddedCellContent = TEmbedded<TTableCellContent>;

// A background picture and where it is placed.
struct TCellBackImage {
  TBlockImage Image;
  TBackgroundPosArray Pos{};
};

// What few cells have: a border of their own from style, a background picture.
struct TCellExtra {
  std::array<TColor, 4> BorderColors{};       // top, right, bottom, left
  std::array<std::uint8_t, 4> BorderStyles{};  // TBorderStyleCode of each side
  std::unique_ptr<TCellBackImage> BackImage;   // null without a background picture
};

class TCellObj {
 public:
  // A cell made by the builder: `rowVAlign` is the row's vertical alignment code (1 top,
  // 2 middle, 3 baseline, 4 bottom). `table` is the table being built; blocks in the cell then
  // count their nesting depth from it.
  TCellObj(TSectionList* document, TProperties& props, const TAttributeList* attributes, int rowVAlign,
           const ThtmlTable* table = nullptr);
  // The copy for another document (printing).
  TCellObj(TSectionList* document, const TCellObj& source);
  ~TCellObj();
  TCellObj(const TCellObj&) = delete;
  TCellObj& operator=(const TCellObj&) = delete;

  TEmbeddedCellContent FCell;
  int FCellWidth = 0, FCellHeight = 0;  // the cell box from the last layout
  int FCellVSize = 0;                   // content height
  int FGivenH = 0;
  int FCellYIndent = 0;  // content offset from the vertical alignment
  int FGivenW = 0;       // pixels, or tenths of a percent
  // Paddings and borders in the order top, right, bottom, left; a padding of -1 was not given
  // (a percentage padding is kept negative until the table's padding replaces it).
  std::array<int, 4> FPad{-1, -1, -1, -1};
  std::array<int, 4> FBrd{};
  TColor FBkColor = clNone;  // with FHasBkColor
  std::uint16_t FColSpan = 1;  // at most MaxColSpan
  std::uint16_t FRowSpan = 1;  // at most MaxRowSpan
  std::uint8_t FGivenHPercent = 0;  // 0 to 100
  std::uint8_t FVAlign = acMiddle;
  bool FGivenWIsPercent = false;
  bool FHasCssBorder = false;  // the border is the style's (its colours and styles in the extra record)
  bool FBreakBefore = false, FBreakAfter = false, FBreakInside = false;
  bool FHasBkColor = false;

  // Grid position and layout results (document coordinates).
  int FRow = 0, FCol = 0;
  int FBoxLeft = 0, FBoxTop = 0;  // top left of the cell box (its spacing included)
  int FContentLeft = 0;           // x of the content
  int FBaseline = 0;              // first-line baseline below the content top, 0 when none

  // The background picture's name (empty when none), and its setting with its placement.
  const std::string& BackImageName() const;
  void SetBackImage(const std::string& name, const TBackgroundPosArray& pos);
  // Fetches the background picture when one is named and pictures are shown (at each layout
  // until it is loaded or has failed).
  void LoadBackImage();
  bool HasBackColor() const { return FHasBkColor; }
  TColor BackColor() const { return FBkColor; }
  void SetBackColor(TColor c) {
    FBkColor = c;
    FHasBkColor = true;
  }
  // The paddings and borders across and down the cell (once finished).
  int HorzSpace() const { return FPad[3] + FBrd[3] + FBrd[1] + FPad[1]; }
  int VertSpace() const { return FPad[0] + FBrd[0] + FBrd[2] + FPad[2]; }
  // Finishing at the table's initialisation: missing paddings take the table's, a bordered
  // table gives every cell without its own border style a 1-pixel border.
  void Finish(int cellPadding, bool tableBorder);

  // Draws the background, the content and the border of the cell box (spacing excluded).
  void DrawCell(TCanvas& canvas, const TRect& clip, int spacing, const ThtmlTable& table);
  // The cell's line of the layout dump: the box inside the spacing, then the content.
  void Dump(TDumpWriter& out, int depth, int spacing) const;

 private:
  void DrawBorder(TCanvas& canvas, const TRect& outer, const ThtmlTable& table);
  void TileBackground(TCanvas& canvas, const TRect& clip, const TRect& box);

  TCellExtra& Extra();
  std::unique_ptr<TCellExtra> FExtra;  // null for most cells
};

// A frame of four sides (widths and colours top, right, bottom, left), each a trapezoid between
// the outer rectangle and the inner one; a 1-pixel side is a line.
void DrawFrameSides(TCanvas& canvas, const TRect& outer, const std::array<int, 4>& widths,
                    const std::array<TColor, 4>& colors);

}  // namespace korva
