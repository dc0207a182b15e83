// Block boxes: an element that forms a box (div, p, headings, lists, list items, blockquote, the
// body, table wrappers, rules) with margins, borders, padding, a background and a content cell.
// The box's margins collapse with its neighbour's when it is created; its width is resolved and
// its content laid out against the floats of the indent manager at each layout; it may float,
// clear floats, or be positioned relatively or absolutely.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <memory>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/UrlTarget.h"
#include "images/ImageLoader.h"
#include "layout/Cell.h"
#include "layout/SectionBase.h"
#include "platform/Canvas.h"
#include "style/Properties.h"

namespace korva {

class TAttributeList;

// A picture named by style (a block's background, a list item's marker), fetched through the
// document's image cache on first use. A failed fetch drops the name, so it is tried once.
// Most boxes name none: what a loaded picture needs is made only when one is loaded.
struct TBlockImage {
  struct TPicture {
    TImageGraphic Graphic;
    TBitmapPtr Mask;
    TBitmapPtr Frame;     // the bitmap drawn (the first frame of an animated picture)
    TBitmapPtr Tile;      // the background tile (stretched or repeated so that it tiles faster)
    TBitmapPtr TileMask;  // its mask, when the picture has one
    bool Fetched = false;  // Graphic came from the cache and must be given back
  };
  std::string Name;
  std::unique_ptr<TPicture> Pic;  // set while loaded
  bool Failed = false;

  // Loads the picture once; false when there is none (now or ever).
  bool Load(TSectionList& document);
  void Release(TSectionList* document);
  bool Ready() const { return Pic && Pic->Frame != nullptr; }
  // For a copy in another document: the name and the loaded picture, without the cache entry.
  void ShareFrom(const TBlockImage& source);
};

// A block's converted box values in 2 bytes each: pixels that fit and the usual sentinels stay
// in place, and up to two other values (colours: the background's and the borders') are kept
// once beside them. A box with more is wide: the values that differ from the usual ones are kept
// apart as full integers, in a record of the small-object pool whose address takes the place of
// the two kept values; the mask still tells which slots they are.
// Reads answer the full integers; `const TBoxValues& b = box;` copies them out once.
class TPackedBox {
 public:
  TPackedBox() = default;
  TPackedBox(const TPackedBox& o) { *this = o; }
  TPackedBox& operator=(const TPackedBox& o);
  TPackedBox& operator=(const TBoxValues& values);
  ~TPackedBox() { DropWide(); }

  int Get(int propIndex) const {
    const std::size_t slot = std::size_t(propIndex - BoxFirst);
    if (IsWide()) return WideAt(slot);
    return Decode(CodeAt(slot));
  }
  void Set(int propIndex, int value);
  TBoxValues Values() const;
  operator TBoxValues() const { return Values(); }
  bool IsWide() const { return (FMask & WideBit) != 0; }

  // One value, readable as an int and assignable.
  class Ref {
   public:
    Ref(TPackedBox& box, int propIndex) : FBox(box), FIndex(propIndex) {}
    operator int() const { return FBox.Get(FIndex); }
    Ref& operator=(int value) {
      FBox.Set(FIndex, value);
      return *this;
    }
    Ref& operator=(const Ref& other) { return *this = int(other); }

   private:
    TPackedBox& FBox;
    int FIndex;
  };
  int operator[](int propIndex) const { return Get(propIndex); }
  Ref operator[](int propIndex) { return Ref(*this, propIndex); }

 private:
  // The sentinels and the two kept values take the lowest codes; from MinPlain up the code is
  // the value itself.
  static constexpr std::int16_t CodeAuto = -32768, CodeNotSet = -32767, CodeParagraph = -32766, CodeNoColor = -32765,
                                CodePal0 = -32764, CodePal1 = -32763, MinPlain = -32762;
  // Most boxes differ from the usual values (no colour, auto width and offsets, 0 for the rest)
  // in a few places only: those codes alone are kept, in slot order, and a mask tells which.
  // A box that differs in more places, or has more large values than the two kept ones, is
  // wide: all its values go to a record.
  static constexpr int Inline = 6;
  static constexpr std::uint32_t WideBit = 1u << 31;
  static constexpr std::int16_t UsualCode(std::size_t slot) {
    return slot + BoxFirst == piBackgroundColor || slot + BoxFirst == piBorderColor ? CodeNoColor
           : slot + BoxFirst == piWidth || slot + BoxFirst == piTop || slot + BoxFirst == piLeft ? CodeAuto
                                                                                                : std::int16_t(0);
  }
  std::int16_t CodeAt(std::size_t slot) const {
    const std::uint32_t bit = 1u << slot;
    return FMask & bit ? FCodes[std::size_t(std::popcount(FMask & (bit - 1)))] : UsualCode(slot);
  }
  // Codes `value` with the kept values in `pal` (`used` says which are taken); false when
  // there is no room.
  static bool Encode(int value, std::int16_t& code, std::array<int, 2>& pal, std::array<bool, 2>& used);
  int Decode(std::int16_t code) const {
    if (code >= MinPlain) return code;
    switch (code) {
      case CodeAuto: return AutoValue;
      case CodeNotSet: return NotSetValue;
      case CodeParagraph: return ParagraphSpaceValue;
      case CodeNoColor: return int(clNone);
      default: return Pal[std::size_t(code - CodePal0)];
    }
  }
  // The record of a wide box (only while IsWide()): one integer for each slot of the mask.
  int* WideValues() const;
  int WideCount() const { return std::popcount(FMask & ~WideBit); }
  int WideAt(std::size_t slot) const {
    const std::uint32_t bit = 1u << slot;
    return FMask & bit ? WideValues()[std::popcount(FMask & ~WideBit & (bit - 1))] : Decode(UsualCode(slot));
  }
  // Keeps the values of `values` that differ from the usual ones apart, in a record.
  void SetWide(const TBoxValues& values);
  // Frees the record; the codes are then all 0.
  void DropWide();

  std::uint32_t FMask = 0;  // the slots whose codes (or, when wide, values) are kept, and WideBit
  std::array<std::int16_t, Inline> FCodes{};
  std::array<int, 2> Pal{};  // the kept values, or the address of the record of a wide box
};

class TBlock : public TSectionBase {
 public:
  // A block for the element whose computed style is `props`, to be added to `parentCell`.
  // `attributes` may be null. Table wrappers pass collapse = false.
  TBlock(TSectionList* document, const TAttributeList* attributes, TCellBasic* parentCell, TProperties& props,
         bool isListBlock = false, bool collapse = true);
  // The copy for another document (printing).
  TBlock(TSectionList* document, const TBlock& source);
  ~TBlock() override;

  // ---- fields ----
  // In an order that packs them (every block pays for each byte): the colour fills the tail of
  // the base, and the content cell's tail holds a cached margin.
  TColor FBlockColor = clBlack;
  TPackedBox FBoxValues;
  int FLaidWidth = 0;

 protected:
  // The tag, then "." and the class when there is one; blocks alike share the text.
  TSharedText FTag;

 public:
  [[no_unique_address]] TEmbedded<TBlockCell> FInnerCell;  // the content, held in place

 protected:
  struct TBlockExtra;
  struct TRawBox;
  std::int16_t FCachedMarginLeft = 0;  // coded, see CachedMargin()

 public:
  TCellBasic* FParentCell = nullptr;

 protected:
  // The extra record, or the prepared box values alone (low bit set), or nothing: a block with
  // both keeps the box values in its extra record. Most blocks have neither.
  std::uintptr_t FRareWord = 0;
  TBlockExtra* Ext() const { return (FRareWord & 1) ? nullptr : reinterpret_cast<TBlockExtra*>(FRareWord); }
  TRawBox* RawRec() const;
  void SetRaw(std::unique_ptr<TRawBox> raw);

 public:
  // Results of the last layout, in document coordinates (before any relative offset).
  int FBlockContentBottom = 0;
  int FContentLeft = 0;   // the content box
  int FBoxTopY = 0;       // top of the border box
  // The margin box in the flow (its top is below the clearance), and the top of what the block
  // paints (its border box, moved by a relative offset).
  int FInnerTop = 0, FInnerBottom = 0, FPaintTop = 0;
  // What the block paints reaches down to here; its content's positions, from the last layout.
  int FPaintBottom = 0;
  int FCharCount = 0;

 protected:
  // The content's minimum and maximum widths, cached for one layout pass when both fit 16 bits
  // (wider content is measured each time).
  int FMinMaxPass = -1;  // layout counter of the cached content widths
  std::uint16_t FContentMin = 0, FContentMax = 0;
  std::int16_t FCachedMarginRight = 0;

 public:
  // Codes and flags in bits, with the protected ones below: every block pays for them.
  TBorderStyleCode FBoxBorderStyle : 5 = bssNone;
  TAlignCode FFloatMode : 5 = acNone;
  TClearCode FClear : 3 = ccNone;
  TPositionCode FPositioning : 3 = posStatic;
  TVisibilityCode FVisibility : 3 = viVisible;
  bool FIsListBlock : 1 = false;
  bool FTopAuto : 1 = false;  // the top margin came from ParagraphSpaceValue
  bool FBottomAuto : 1 = false;
  bool FPageBreakBefore : 1 = false, FPageBreakAfter : 1 = false, FPageBreakInside : 1 = false;
  bool FHidden : 1 = false;  // display: none

 protected:
  std::uint8_t FCachedAutoCount : 2 = 0;
  bool FHasPercentBox : 1 = false;  // a box value depends on the base width or height
  bool FBoxCached : 1 = false;
  bool FRegisteredId : 1 = false;
  bool FKeepRawBox : 1 = false;
  bool FKeptWidthPercent : 1 = false;  // WidthIsPercent() once the box values are gone
  std::uint8_t FKeptSideColors : 4 = 0;  // SideColorSet() once the box values are gone
  bool FOwnDrawExtent : 1 = false;        // what it draws reaches past its paint extent
  // The length of the tag alone in FTag; LongTag: kept in the extra record.
  std::uint8_t FTagLength : 4 = 0;
  // The stack level: 0 or 1 as it is; LevelInExtra: kept in the extra record.
  std::uint8_t FStackCode : 2 = 0;
  static constexpr int LongTag = 15, LevelInExtra = 2;

 public:
  int InnerTop() const override { return FInnerTop; }
  int InnerBottom() const override { return FInnerBottom; }
  int PaintTop() const override { return FPaintTop; }
  int PaintBottom() const override { return FPaintBottom; }
  int CharCount() const override { return FCharCount; }
  // z-index times 10; 1 for a float or an absolute block without one; 0 for most blocks.
  int StackLevel() const override;
  void SetStackLevel(int level);

  // Nesting depth: the containing cell's depth + 1 (counting stops past MaxLayoutDepth). Deeper
  // than MaxLayoutDepth, the block is laid out, drawn, measured and queried as if empty. The
  // content cell keeps it (its depth is the block's).
  int Depth() const { return FInnerCell->FDepth; }

  // The block whose content cell `cell` is.
  static TBlock* OfInnerCell(const TBlockCell* cell);

  // The element's tag, and the tag with the class as the dump shows it ("p.note").
  std::string_view TagName() const { return std::string_view(FTag.str()).substr(0, TagLength()); }
  std::string_view TitleText() const;
  // The background picture, null when none was named.
  TBlockImage* BackImage() const { return Ext() ? Ext()->BackImage.get() : nullptr; }
  const TBackgroundPosArray& BackImagePos() const;

  // The border box as last drawn (relative offset included), kept by blocks with a title (the
  // tool tip shows over it); an empty rectangle for blocks without one.
  TRect DrawnBorderBox() const { return Ext() ? Ext()->BorderRect : TRect{}; }

  // Whether the box as prepared from the style is still held (it goes once the box is resolved
  // for good).
  bool HoldsStyleBox() const { return RawRec() != nullptr; }

  bool TooDeep() const { return Depth() > MaxLayoutDepth; }
  // Vertical extent of everything the block drew in its last layout, its own offset included.
  int DrawTop() const { return FOwnDrawExtent ? Ext()->DrawTop : FPaintTop; }
  int DrawBottom() const { return FOwnDrawExtent ? Ext()->DrawBottom : FPaintBottom; }
  bool IsFloating() const { return FFloatMode == acLeft || FFloatMode == acRight; }
  // The offset of a positioned block from its place (top and left), and the room left above a
  // block that clears floats, at the last layout: 0 for most blocks.
  int BoxTop() const { return Ext() ? Ext()->BoxTop : 0; }
  int BoxLeft() const { return Ext() ? Ext()->BoxLeft : 0; }
  int ClearExtra() const { return Ext() ? Ext()->ClearExtra : 0; }
  // The border box and the padding box of the last layout.
  TRect BorderBox() const;
  TRect PaddingBox() const;

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

  // Slot 16: the border between the border box and the padding box.
  virtual void DrawBlockBorder(TCanvas& canvas, const TRect& outer, const TRect& inner);
  // Slot 17: the content width for the available width; resolves auto margins in FBoxValues.
  virtual int ResolveBlockWidth(TCanvas& canvas, int availWidth, int autoCount, int availHeight);

  // ---- beyond the slots ----
  const char* DumpKind() const override { return "block"; }
  std::string DumpTag() const override;
  void Dump(TDumpWriter& out, int depth) const override;
  void ReleaseChildren(std::vector<std::unique_ptr<TSectionBase>>& out) override;
  bool IsBlock() const override { return true; }
  bool SettleBottomMargin() override;
  bool LineYAt(int docPos, int& y) override;
  // Table wrappers answer true (margin collapsing and page breaks treat them apart).
  virtual bool IsTableBlock() const { return false; }

 protected:
  // Draws what comes after the content (list markers); called inside the block's offset.
  virtual void DrawAfterContent(TCanvas& canvas, const TRect& clip) { (void)canvas, (void)clip; }
  // Prepares images before the layout of the content (list marker pictures).
  virtual void BeforeLayout() {}
  // The minimum and maximum widths of the content, measured once per layout pass.
  void ContentMinMax(TCanvas& canvas, int& minWidth, int& maxWidth);
  // The box values for a base width and height (converted once when they hold no percentage).
  void ResolveBox(int baseWidth, int baseHeight, TBoxValues& result, int& autoCount);
  // Sets the fields that nothing but a layout sets, for a block that takes no space.
  int LayoutAsNothing(int x, int y, int& maxWidth, int& cursor);
  void DrawBackground(TCanvas& canvas, const TRect& clip, const TRect& paddingBox);
  void TileImage(TCanvas& canvas, const TRect& clip, const TRect& box);
  // The offset at which the block draws (relative positioning).
  int OffsetX() const { return FPositioning == posRelative ? BoxLeft() : 0; }
  int OffsetY() const { return FPositioning == posRelative ? BoxTop() : 0; }
  // Orders the content by z-index for drawing, when some section has a stack level.
  void BuildPaintList();
  // The content in drawing order (the content's own order unless stack levels reorder it).
  int PaintCount() const;
  TSectionBase* PaintAt(int i) const;
  // Names the background picture and its placement.
  void SetBackImage(const std::string& name, const TBackgroundPosArray& pos);
  void DropBackImage();
  // Margin collapsing against the last section of the cell the block goes into.
  void CollapseMargins(TCellBasic* cell);
  void CollapseTopMargin(TCellBasic* cell, int& top);

  // What few blocks have: a title (and the border box it shows over), a background picture, a
  // stacking order of their content, an offset from positioning, room from clearing floats,
  // content drawn outside the block, and values too large for the block's own fields.
  struct TBlockExtra {
    TSharedText TitleText;
    int BoxTop = 0, BoxLeft = 0;
    int ClearExtra = 0;
    int DrawTop = 0, DrawBottom = 0;  // when FOwnDrawExtent
    TRect BorderRect{};  // the border box as last drawn (relative offset included)
    std::unique_ptr<TBlockImage> BackImage;
    TBackgroundPosArray BackImagePos{};
    std::vector<TSectionBase*> PaintList;  // the content by stack level, when reordered
    // What the block's own fields keep for most blocks (see FStackCode, FTagLength,
    // CachedMargin()).
    int StackLevel = 0;
    std::uint32_t TagLength = 0;
    std::array<int, 2> CachedMargins{};
    std::unique_ptr<TRawBox> Raw;  // the prepared box values, while a block with the record holds them
  };
  TBlockExtra& Extra();
  // Kept in the record only when not 0 (or when the block has one anyway).
  void SetBoxOffset(int top, int left);
  void SetClearExtra(int extra);
  // The vertical extent of everything the block draws, its own offset included: most blocks
  // draw within their paint extent and keep nothing.
  void SetDrawExtent(int top, int bottom);

  // The box values as prepared from the style, and the font sizes their lengths are read with.
  // Needed until the box is resolved for good: a box without percentages is resolved once and
  // the record is freed (unless FKeepRawBox: the block reads it at every layout).
  struct TRawBox {
    TCompactBox Box;
    int EmPixels = 0, ExPixels = 0;
  };
  // Subclasses that change the prepared values in their constructor ask for them to be held
  // (settleBox false); otherwise a box without percentages is resolved for good at once and the
  // record is never made.
  TBlock(TSectionList* document, const TAttributeList* attributes, TCellBasic* parentCell, TProperties& props,
         bool isListBlock, bool collapse, bool settleBox);
  // Resolves and keeps the box of a block without percentages; returns its count of autos.
  int CacheResolvedBox(const TRawBox& raw, int baseWidth, int baseHeight);
  // What later reads need once the record is gone.
  void KeepFromRaw(const TRawBox& raw);
  // The prepared values; only while the record is held (always while a subclass that asked
  // for it is constructed).
  TCompactBox& RawBox() { return RawRec()->Box; }
  const TRawBox* Raw() const { return RawRec(); }
  // Whether the width is a percentage, and whether a border side (its colour's property index)
  // has a colour of its own: from the record, or as kept when it went.
  bool WidthIsPercent() const;
  bool SideColorSet(int colorIndex) const;

  // A box without percentages resolves alike at every width: FBoxValues then keeps it, but for
  // the margins, which layout and margin collapsing change; the horizontal ones (side 0 left, 1
  // right) are kept in FCachedMarginLeft and -Right, coded in 2 bytes, or in the extra record.
  int CachedMargin(int side) const;
  void SetCachedMargins(int left, int right);
  std::size_t TagLength() const { return FTagLength == LongTag ? Ext()->TagLength : FTagLength; }

 private:
  // Frees the raw box once the resolved one is kept, keeping what later reads need.
  void DropRawBox();
};

// The content cell sits at the same place in every block (a TBlock is never a virtual base).
inline TBlock* TBlock::OfInnerCell(const TBlockCell* cell) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
  constexpr std::size_t offset = offsetof(TBlock, FInnerCell);
#pragma GCC diagnostic pop
  return reinterpret_cast<TBlock*>(reinterpret_cast<std::uintptr_t>(cell) - offset);
}

// The body: its background belongs to the document; it never floats, clears or is positioned.
class TBodyBlock : public TBlock {
 public:
  TBodyBlock(TSectionList* document, const TAttributeList* attributes, TCellBasic* parentCell, TProperties& props);
  TBodyBlock(TSectionList* document, const TBodyBlock& source) : TBlock(document, source) {}
  std::unique_ptr<TSectionBase> CloneForPrint(TSectionList* document) const override;
  int LayoutSection(TCanvas& canvas, int x, int y, int xRef, int yRef, int availWidth, int availHeight,
                    int blockHeight, IndentManager& indents, int& maxWidth, int& cursor) override;
  int Draw(TCanvas& canvas, const TRect& clip, IndentManager& indents, int x, int xRef, int yRef) override;
  bool HotSpotAt(TCanvas& canvas, int x, int y, THotSpot& spot) override;
};

// The block around a horizontal rule: it sizes and aligns the rule; the rule section sits in its
// content cell (FRule points at it).
class THRBlock : public TBlock {
 public:
  // align: 1 left, 2 centre, 3 right.
  THRBlock(TSectionList* document, const TAttributeList* attributes, TCellBasic* parentCell, TProperties& props,
           int align = 2);
  THRBlock(TSectionList* document, const THRBlock& source);
  std::unique_ptr<TSectionBase> CloneForPrint(TSectionList* document) const override;
  int ResolveBlockWidth(TCanvas& canvas, int availWidth, int autoCount, int availHeight) override;
  // The rule becomes the block's content.
  TSectionBase* SetRule(std::unique_ptr<TSectionBase> rule);

  int FAlign = 2;
  TSectionBase* FRule = nullptr;  // owned by FInnerCell
};

// Darkens a colour for the shaded border styles: each of red, green and blue times 0.75.
TColor DarkenColor(TColor c);

}  // namespace korva
