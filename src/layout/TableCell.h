// One cell of a table: its spans, its given sizes, its paddings and borders, its background,
// and its content as a cell laid out against its own indent manager (floats inside a table cell
// stay in it).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

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

// A background picture and where it is placed.
struct TCellBackImage {
  TBlockImage Image;
  TBackgroundPosArray Pos{};
};

// What few cells have: a border of their own from style, a background picture, the content
// offset found for a cell aligned on its row's baseline, paddings too wide for a byte. A cell
// with the record keeps its table's pointer in it (see TTableCellContent).
struct TCellExtra : TPooled {
  ThtmlTable* Table = nullptr;
  std::array<int, 4> BorderWidths{};           // top, right, bottom, left
  std::array<TColor, 4> BorderColors{};
  std::array<std::uint8_t, 4> BorderStyles{};  // TBorderStyleCode of each side
  int BaselineIndent = 0;
  std::array<int, 4> WidePad{-1, -1, -1, -1};  // the paddings, when the table's list cannot keep them
  TColor BkColor = clNone;  // the background colour, when the table's list cannot keep it
  bool BreakBefore = false, BreakAfter = false, BreakInside = false;
  std::unique_ptr<TCellBackImage> BackImage;  // null without a background picture
};

// The content of a table cell: a cell that knows its table (so that nested tables find the one
// around them, and the cell its document and depth). It is laid out and drawn against an indent
// manager of its own, for the width its table gives it.
class TTableCellContent : public TCellBasic {
 public:
  // The tag of a table cell in one byte: "th" or "td".
  class TCellTag {
   public:
    TCellTag& operator=(std::string_view tag) {
      FHeader = tag == "th";
      return *this;
    }
    std::string_view View() const { return FHeader ? "th" : "td"; }
    operator std::string_view() const { return View(); }
    friend bool operator==(const TCellTag& a, std::string_view b) { return a.View() == b; }

   private:
    bool FHeader = false;
  };

  explicit TTableCellContent(ThtmlTable* table);
  ~TTableCellContent() override;
  TSectionList* Document() const override;
  std::string_view OwnerTag() const override { return FOwnerTag.View(); }
  int LayoutCell(TCanvas& canvas, int x, int y, int xRef, int yRef, int width, int availHeight, int blockHeight,
                 IndentManager& indents, int& scrollWidth, int& cursor) override;
  int LayoutOwn(TCanvas& canvas, int x, int y, int width, int& scrollWidth, int& cursor) {
    return LayoutWithOwnIndents(canvas, x, y, x, y, width, 0, 0, scrollWidth, cursor);
  }
  int DrawOwn(TCanvas& canvas, const TRect& clip, int x, int width) {
    return DrawWithOwnIndents(canvas, clip, x, width, 0, 0);
  }

  // The table whose cell this is.
  ThtmlTable* Table() const { return HasExtra() ? ExtraRecord()->Table : reinterpret_cast<ThtmlTable*>(FTableOrExtra); }
  void SetTable(ThtmlTable* table) {
    if (HasExtra())
      ExtraRecord()->Table = table;
    else
      FTableOrExtra = reinterpret_cast<std::uintptr_t>(table);
  }
  // The cell's extra record (null for most cells), and the record made when it has none.
  TCellExtra* ExtraRecord() const {
    return HasExtra() ? reinterpret_cast<TCellExtra*>(FTableOrExtra - 1) : nullptr;
  }
  TCellExtra& MakeExtraRecord();

  TCellTag FOwnerTag;  // placed first, in the tail of the base

 private:
  bool HasExtra() const { return (FTableOrExtra & 1) != 0; }
  // One word for two pointers: the table, or (with the low bit set) the extra record, which
  // then holds the table. The record is owned here.
  std::uintptr_t FTableOrExtra;
};

// A table cell's content lives inside the cell object (one allocation per cell).
using TEmbeddedCellContent = TEmbedded<TTableCellContent>;

// A cell box in document coordinates, the spacing above and on the left included. The table
// works it out from its column widths and row heights; the cell does not keep it.
struct TCellBox {
  int Left = 0, Top = 0, Width = 0, Height = 0;
};

class TCellObj : public TPooled {
 public:
  // A cell made by the builder: `rowVAlign` is the row's vertical alignment code (1 top,
  // 2 middle, 3 baseline, 4 bottom). `table` is the table being built (of `document`); blocks in
  // the cell count their nesting depth from it.
  TCellObj(TSectionList* document, TProperties& props, const TAttributeList* attributes, int rowVAlign,
           ThtmlTable* table);
  // The copy for another document (printing), a cell of `table`.
  TCellObj(ThtmlTable* table, const TCellObj& source);
  ~TCellObj();
  TCellObj(const TCellObj&) = delete;
  TCellObj& operator=(const TCellObj&) = delete;

  TEmbeddedCellContent FCell;  // with the extra record most cells lack

  // Every cell pays for what follows: values bounded by the layout's limits and flags are held
  // in bits, and the background colour and the paddings are codes in the table's lists (see
  // ThtmlTable::CellColorCode); the cell takes 48 bytes.
  std::uint64_t FGivenW : 27 = 0;         // pixels, or tenths of a percent (at most MaxLayoutCoord)
  std::uint64_t FGivenH : 27 = 0;         // at most MaxLayoutCoord
  std::uint64_t FGivenHPercent : 7 = 0;   // 0 to 100
  bool FGivenWIsPercent : 1 = false;
  bool FHasCssBorder : 1 = false;  // the border is the style's (kept in the extra record)
  bool FTableBorder : 1 = false;   // without one, the 1-pixel border a bordered table gives
  std::uint64_t FCellVSize : 27 = 0;  // content height from the last layout (at most MaxLayoutCoord)
  std::uint64_t FVAlign : 3 = acMiddle;
  std::uint64_t FColSpan : 10 = 1;  // at most MaxColSpan
  std::uint64_t FRowSpan : 16 = 1;  // at most MaxRowSpan
  // The paddings' code in the table's list, or OwnPads: kept in the extra record.
  std::uint64_t FPadCode : 4 = OwnPads;
  // 0 no background colour, 1 to 6 a colour of the table's list, OwnColor: in the extra record.
  std::uint64_t FColorCode : 3 = 0;
  static constexpr int OwnPads = 15, OwnColor = 7;

  // Paddings in the order top, right, bottom, left; -1 was not given (a percentage padding is
  // kept negative until the table's padding replaces it).
  int Pad(int side) const;
  void SetPads(const std::array<int, 4>& pads);
  // Page breaks asked for by the style (kept in the extra record when asked).
  void SetPageBreaks(bool before, bool after, bool inside);
  // Makes the cell one of `table` (its colour and paddings are coded again in the new table's
  // lists).
  void MoveToTable(ThtmlTable* table);

  // The border widths, top, right, bottom, left.
  std::array<int, 4> Borders() const {
    if (FHasCssBorder) return Ext()->BorderWidths;
    const int w = FTableBorder ? 1 : 0;
    return {w, w, w, w};
  }
  // The cell box from the last layout of its table (the cell must be in the grid), and the x of
  // the content.
  TCellBox Box() const;
  int ContentLeft() const;
  int ContentLeft(const TCellBox& box, int spacing) const { return box.Left + spacing + Pad(3) + Borders()[3]; }
  // The width the content is laid out in, inside the paddings and borders of a cell box.
  int ContentWidth(const TCellBox& box, int spacing) const { return std::max(0, box.Width - spacing - HorzSpace()); }
  // How far down its box the content of a cell aligned on the baseline starts, as its table's
  // row heights found it (0 when it was not found).
  int BaselineIndent() const { return Ext() ? Ext()->BaselineIndent : 0; }
  void SetBaselineIndent(int indent) {
    if (indent != 0 || Ext()) Extra().BaselineIndent = indent;
  }

  // The background picture's name (empty when none), and its setting with its placement.
  const std::string& BackImageName() const;
  void SetBackImage(const std::string& name, const TBackgroundPosArray& pos);
  // Fetches the background picture when one is named and pictures are shown (at each layout
  // until it is loaded or has failed).
  void LoadBackImage();
  bool HasBackColor() const { return FColorCode != 0; }
  TColor BackColor() const;
  void SetBackColor(TColor c);
  // The paddings and borders across and down the cell (once finished).
  int HorzSpace() const {
    const std::array<int, 4> b = Borders();
    return Pad(3) + b[3] + b[1] + Pad(1);
  }
  int VertSpace() const {
    const std::array<int, 4> b = Borders();
    return Pad(0) + b[0] + b[2] + Pad(2);
  }
  // Finishing at the table's initialisation: missing paddings take the table's, a bordered
  // table gives every cell without its own border style a 1-pixel border.
  void Finish(int cellPadding, bool tableBorder);

  // Draws the background, the content and the border of the cell box (spacing excluded).
  void DrawCell(TCanvas& canvas, const TRect& clip, const TCellBox& box, int spacing, const ThtmlTable& table);
  // The cell's line of the layout dump: the box inside the spacing, then the content.
  void Dump(TDumpWriter& out, int depth, const TCellBox& box, int spacing) const;

 private:
  void DrawBorder(TCanvas& canvas, const TRect& outer, const ThtmlTable& table);
  void TileBackground(TCanvas& canvas, const TRect& clip, const TRect& box);

  TCellExtra& Extra() { return FCell->MakeExtraRecord(); }
  const TCellExtra* Ext() const { return FCell->ExtraRecord(); }
};

// A frame of four sides (widths and colours top, right, bottom, left), each a trapezoid between
// the outer rectangle and the inner one; a 1-pixel side is a line.
void DrawFrameSides(TCanvas& canvas, const TRect& outer, const std::array<int, 4>& widths,
                    const std::array<TColor, 4>& colors);

}  // namespace korva
