// The blocks around a table: the table block (margins, alignment, width, background, the outer
// frame) and the block that stacks a caption above or below it.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "core/Attributes.h"
#include "core/CharCase.h"
#include "layout/IndentManager.h"
#include "layout/SectionList.h"
#include "layout/Table.h"
#include "style/Colors.h"

namespace korva {

static_assert(sizeof(void*) != 8 || sizeof(TTableBlock) <= 184, "TTableBlock grew");
static_assert(sizeof(void*) != 8 || sizeof(TTableAndCaptionBlock) <= 176, "TTableAndCaptionBlock grew");

namespace {

constexpr int MaxHSpace = 40;
constexpr int MaxVSpace = 200;

int ClampCoord(int v) { return std::clamp(v, -MaxLayoutCoord, MaxLayoutCoord); }
int ClampSum(std::int64_t v) { return int(std::clamp<std::int64_t>(v, -MaxLayoutCoord, MaxLayoutCoord)); }
bool HasPercentSign(const std::string& text) { return text.find('%') != std::string::npos; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// The table block

namespace {

// ALIGN of a table: CENTER centres it (the answer is true); LEFT and RIGHT float it unless it
// floats or is placed already.
bool ApplyTableAlign(const TAttributeList& attributes, TBlock& block) {
  TAttribute* a = nullptr;
  if (!attributes.Find(syAlign, a)) return false;
  const std::string align = LowerCase(a->Text());
  if (align == "center") {
    return true;
  } else if ((align == "left" || align == "right") && block.FFloatMode == acNone &&
             block.FPositioning != posAbsolute) {
    block.FFloatMode = align == "left" ? acLeft : acRight;
    if (block.StackLevel() == 0) block.SetStackLevel(1);
  }
  return false;
}

}  // namespace

TTableBlock::TTableBlock(TSectionList* document, const TAttributeList* attributes, TCellBasic* parentCell,
                         TProperties& props, std::unique_ptr<ThtmlTable> table)
    : TBlock(document, attributes, parentCell, props, false, false, false) {
  if (!table) table = std::make_unique<ThtmlTable>(document, nullptr);
  FTable = table.get();
  FTable->FTableBlock = this;
  FTable->FDepth = std::int16_t(Depth());
  FInnerCell->AddSection(std::move(table));

  if (attributes) {
    if (ApplyTableAlign(*attributes, *this)) FCentered = true;
    TAttribute* a = nullptr;
    TColor c = clNone;
    if (attributes->Find(syBgcolor, a) && ParseColor(a->Text(), false, c)) {
      FTable->FHasBackColor = true;
      FTable->FBackColor = c;
      if (!RawBox()[piBackgroundColor].IsInt()) {
        RawBox()[piBackgroundColor] = TPropValue(int(c));
        FBoxValues[piBackgroundColor] = int(c);
        FBoxCached = false;
      }
    }
    if (attributes->Find(syBackground, a) && !a->Text().empty() && !BackImage())
      SetBackImage(a->Text(), {TBackgroundPos{bpDim, 0, true, false}, TBackgroundPos{bpDim, 0, true, false}});
    if (attributes->Find(syWidth, a)) {
      if (HasPercentSign(a->Text())) {
        if (a->Value() >= 1 && a->Value() <= 100) {
          FSpecWidth = std::uint32_t(a->Value() * 10);
          FSpecWidthIsPercent = true;
        }
      } else if (a->Value() > 0) {
        FSpecWidth = std::uint32_t(std::min(a->Value(), MaxLayoutCoord));
      }
    }
    if (attributes->Find(syHeight, a) && !HasPercentSign(a->Text()))
      FSpecHeight = std::uint32_t(std::clamp(a->Value(), 0, MaxLayoutCoord));
    if (attributes->Find(syHspace, a))
      FHSpace = std::uint8_t(std::min(std::abs(std::max(a->Value(), -MaxHSpace)), MaxHSpace));
    if (attributes->Find(syVspace, a))
      FVSpace = std::uint8_t(std::min(std::abs(std::max(a->Value(), -MaxVSpace)), MaxVSpace));
  }
  // A style width: a percentage as tenths (at most 1000); pixels are handled at layout, where
  // the paddings and borders it includes are known.
  const TPropValue& w = RawBox()[piWidth];
  if (w.IsPercent() && w.Percent() > 0) {
    FSpecWidth = std::uint32_t(std::min(1000.0, w.Percent() * 10));
    FSpecWidthIsPercent = true;
  }
  // Layout reads the style's width and height at every pass; they are kept apart, so that the
  // prepared box is freed once resolved like any block's.
  if (w.IsInt() && w.Int() > 0 && w.Int() != AutoValue) FStyleWidth = w.Int();
  const TPropValue& h = RawBox()[piHeight];
  if (h.IsInt() && h.Int() > 0) {
    FStyleHeight = h.Int();
  } else if (h.IsPercent()) {
    FStyleHeightIsPercent = true;
    FStyleHeight = int(std::clamp(h.Percent(), 0.0, double(MaxLayoutCoord)));
  }
  // The HTML border: a raised frame, unless the style draws a border of its own.
  if (FTable->FTableBorderWidth > 0) {
    bool styled = false;
    for (int i = piBorderTopStyle; i <= piBorderLeftStyle; ++i)
      styled = styled || (RawBox()[i].IsInt() && RawBox()[i].Int() != bssNone);
    if (!styled) {
      FHtmlBorder = true;
      for (int i = piBorderTopWidth; i <= piBorderLeftWidth; ++i)
        RawBox()[i] = TPropValue(int(FTable->FTableBorderWidth));
      for (int i = piBorderTopStyle; i <= piBorderLeftStyle; ++i) RawBox()[i] = TPropValue(int(bssOutset));
      FBoxBorderStyle = bssOutset;
      FBoxCached = false;
    }
  }
  if (IsFloating()) {
    if (FBoxValues[piMarginTop] == 0) FBoxValues[piMarginTop] = int(FVSpace);
    if (FBoxValues[piMarginBottom] == 0) FBoxValues[piMarginBottom] = int(FVSpace);
  }
  FTable->FIsFloating = IsFloating();
}

TTableBlock::TTableBlock(TSectionList* document, const TTableBlock& s)
    : TBlock(document, s),
      FSpecWidth(s.FSpecWidth),
      FSpecWidthIsPercent(s.FSpecWidthIsPercent),
      FInCaptionBlock(s.FInCaptionBlock),
      FHtmlBorder(s.FHtmlBorder),
      FCentered(s.FCentered),
      FRightAligned(s.FRightAligned),
      FSpecHeight(s.FSpecHeight),
      FStyleHeightIsPercent(s.FStyleHeightIsPercent),
      FHSpace(s.FHSpace),
      FVSpace(s.FVSpace),
      FStyleWidth(s.FStyleWidth),
      FStyleHeight(s.FStyleHeight) {
  for (const auto& owned : *FInnerCell)
    if (auto* t = dynamic_cast<ThtmlTable*>(owned.get())) {
      FTable = t;
      t->FTableBlock = this;
    }
}

std::unique_ptr<TSectionBase> TTableBlock::CloneForPrint(TSectionList* document) const {
  return std::unique_ptr<TSectionBase>(new TTableBlock(document, *this));
}

void TTableBlock::SideMargins(int& ml, int& mr) const {
  ml = FBoxValues[piMarginLeft] == AutoValue ? 0 : FBoxValues[piMarginLeft];
  mr = FBoxValues[piMarginRight] == AutoValue ? 0 : FBoxValues[piMarginRight];
  if (IsFloating()) {
    if (ml == 0) ml = FHSpace;
    if (mr == 0) mr = FHSpace;
  }
}

int TTableBlock::TableWidthFor(TCanvas& canvas, int fill) {
  const TBoxValues& b = FBoxValues;
  const int bp = b[piBorderLeftWidth] + b[piBorderRightWidth] + b[piPaddingLeft] + b[piPaddingRight];
  int given = 0;
  if (FStyleWidth > 0)
    given = std::max(1, FStyleWidth - bp);
  else if (FSpecWidth > 0)
    given = FSpecWidthIsPercent ? std::max(1, MulDiv(fill, int(FSpecWidth), 1000)) : int(FSpecWidth);
  int mn = 0, mx = 0;
  if (given > 0) {
    FTable->FGivenTableWidth = given;
    FTable->MeasureMinMax(canvas, mn, mx);
    FTable->FGivenTableWidth = std::max(mn, given);
    return FTable->FGivenTableWidth;
  }
  FTable->FGivenTableWidth = 0;
  FTable->MeasureMinMax(canvas, mn, mx);
  return std::max(mn, std::min(mx, fill));
}

int TTableBlock::ResolveBlockWidth(TCanvas& canvas, int availWidth, int autoCount, int availHeight) {
  (void)autoCount, (void)availHeight;
  TBoxValues b = FBoxValues;
  const bool noMargins = (b[piMarginLeft] == AutoValue || b[piMarginLeft] == 0) &&
                         (b[piMarginRight] == AutoValue || b[piMarginRight] == 0);
  int ml = 0, mr = 0;
  SideMargins(ml, mr);
  b[piMarginLeft] = ml;
  b[piMarginRight] = mr;
  const int bp = b[piBorderLeftWidth] + b[piBorderRightWidth] + b[piPaddingLeft] + b[piPaddingRight];
  const int fill = std::max(0, availWidth - ml - mr - bp);
  const int width = TableWidthFor(canvas, fill);
  if (FCentered && !IsFloating() && noMargins) b[piMarginLeft] = std::max(0, (fill - width) / 2);
  else if (FRightAligned && !IsFloating() && noMargins) b[piMarginLeft] = std::max(0, fill - width);
  FBoxValues = b;
  return std::clamp(width, 0, MaxLayoutCoord);
}

int TTableBlock::OuterWidth(TCanvas& canvas, int availWidth) {
  if (FHidden || TooDeep()) return 0;
  int autoCount = 0;
  {
    TBoxValues box = FBoxValues;
    ResolveBox(availWidth, 0, box, autoCount);
    FBoxValues = box;
  }
  // Without the margin that centres it.
  int ml = 0, mr = 0;
  SideMargins(ml, mr);
  int width = ResolveBlockWidth(canvas, availWidth, autoCount, 0);
  const TBoxValues& b = FBoxValues;
  return ClampSum(std::int64_t(width) + ml + mr + b[piBorderLeftWidth] + b[piBorderRightWidth] + b[piPaddingLeft] +
                  b[piPaddingRight]);
}

void TTableBlock::MeasureMinMax(TCanvas& canvas, int& minWidth, int& maxWidth) {
  minWidth = maxWidth = 0;
  if (FHidden || TooDeep()) return;
  TBoxValues box{};
  int autoCount = 0;
  ResolveBox(0, 400, box, autoCount);
  int ml = box[piMarginLeft] == AutoValue ? 0 : box[piMarginLeft];
  int mr = box[piMarginRight] == AutoValue ? 0 : box[piMarginRight];
  if (IsFloating()) {
    if (ml == 0) ml = FHSpace;
    if (mr == 0) mr = FHSpace;
  }
  const int bp = box[piBorderLeftWidth] + box[piBorderRightWidth] + box[piPaddingLeft] + box[piPaddingRight];
  int pixels = 0;
  if (FStyleWidth > 0)
    pixels = std::max(1, FStyleWidth - bp);
  else if (FSpecWidth > 0 && !FSpecWidthIsPercent)
    pixels = int(FSpecWidth);
  const int saved = FTable->FGivenTableWidth;
  FTable->FGivenTableWidth = pixels;
  int mn = 0, mx = 0;
  FTable->MeasureMinMax(canvas, mn, mx);
  FTable->FGivenTableWidth = saved;
  if (pixels > 0) mn = mx = std::max(mn, pixels);
  const int hm = ml + mr + bp;
  minWidth = ClampCoord(hm + mn);
  maxWidth = ClampCoord(hm + mx);
}

int TTableBlock::LayoutSection(TCanvas& canvas, int x, int y, int xRef, int yRef, int availWidth, int availHeight,
                               int blockHeight, IndentManager& indents, int& maxWidth, int& cursor) {
  if (FHidden || TooDeep())
    return TBlock::LayoutSection(canvas, x, y, xRef, yRef, availWidth, availHeight, blockHeight, indents, maxWidth,
                                 cursor);
  // The table's own height: the style's, else HEIGHT.
  int height = int(FSpecHeight);
  if (FStyleHeight > 0 && !FStyleHeightIsPercent)
    height = FStyleHeight;
  else if (FStyleHeightIsPercent && availHeight > 0)
    height = MulDiv(availHeight, FStyleHeight, 100);
  FTable->FSpecHeight = height;
  FTable->FIsFloating = IsFloating();
  if (!IsFloating() && FPositioning == posStatic) {
    // Placed between the floats at its top.
    const int left = std::max(x, indents.LeftEdgeAt(y));
    const int room = std::max(0, indents.RightEdgeAt(y) - left);
    return TBlock::LayoutSection(canvas, left, y, xRef, yRef, room, availHeight, blockHeight, indents, maxWidth,
                                 cursor);
  }
  return TBlock::LayoutSection(canvas, x, y, xRef, yRef, availWidth, availHeight, blockHeight, indents, maxWidth,
                               cursor);
}

void TTableBlock::DrawBlockBorder(TCanvas& canvas, const TRect& outer, const TRect& inner) {
  if (!FHtmlBorder) {
    TBlock::DrawBlockBorder(canvas, outer, inner);
    return;
  }
  // Raised: light above and on the left, dark below and on the right.
  const TColor light = FTable->FBorderColorLight, dark = FTable->FBorderColorDark;
  DrawFrameSides(canvas, outer,
                 {inner.Top - outer.Top, outer.Right - inner.Right, outer.Bottom - inner.Bottom, inner.Left - outer.Left},
                 {light, dark, dark, light});
}

// ---------------------------------------------------------------------------------------------
// The caption block

TTableAndCaptionBlock::TTableAndCaptionBlock(TSectionList* document, const TAttributeList* attributes,
                                             TCellBasic* parentCell, TProperties& props)
    : TBlock(document, attributes, parentCell, props, false, false, false) {
  // No box of its own: the table block inside has the margins, borders and background.
  for (int i = piMarginTop; i <= piBorderLeftWidth; ++i) RawBox()[i] = TPropValue(0);
  for (int i = piBorderTopStyle; i <= piBorderLeftStyle; ++i) RawBox()[i] = TPropValue(int(bssNone));
  RawBox()[piBackgroundColor] = TPropValue();
  RawBox()[piWidth] = TPropValue();
  RawBox()[piHeight] = TPropValue();
  FBoxValues[piMarginTop] = FBoxValues[piMarginBottom] = 0;
  FBoxBorderStyle = bssNone;
  DropBackImage();
  FHasPercentBox = false;
  FBoxCached = false;
  if (attributes && ApplyTableAlign(*attributes, *this)) FCentered = true;
}

TTableAndCaptionBlock::TTableAndCaptionBlock(TSectionList* document, const TTableAndCaptionBlock& s)
    : TBlock(document, s), FTableIndex(s.FTableIndex), FCentered(s.FCentered), FRightAligned(s.FRightAligned) {
  if (FInnerCell->Count() == 2) {
    FTableBlock = dynamic_cast<TTableBlock*>((*FInnerCell)[FTableIndex]);
    FCaptionBlock = dynamic_cast<TBlock*>((*FInnerCell)[1 - FTableIndex]);
  } else if (FInnerCell->Count() == 1) {
    FTableBlock = dynamic_cast<TTableBlock*>((*FInnerCell)[0]);
  }
}

std::unique_ptr<TSectionBase> TTableAndCaptionBlock::CloneForPrint(TSectionList* document) const {
  return std::unique_ptr<TSectionBase>(new TTableAndCaptionBlock(document, *this));
}

void TTableAndCaptionBlock::SetContent(std::unique_ptr<TTableBlock> table, std::unique_ptr<TBlock> caption,
                                       bool captionBelow) {
  FInnerCell->Clear();
  FTableBlock = nullptr;
  FCaptionBlock = nullptr;
  if (table) {
    table->FInCaptionBlock = true;
    table->FFloatMode = acNone;
    table->FTable->FIsFloating = false;
    table->FParentCell = FInnerCell.get();
  }
  if (caption) caption->FParentCell = FInnerCell.get();
  auto add = [&](std::unique_ptr<TBlock> b) { return b ? static_cast<TBlock*>(FInnerCell->AddSection(std::move(b))) : nullptr; };
  if (captionBelow) {
    FTableBlock = static_cast<TTableBlock*>(add(std::move(table)));
    FCaptionBlock = add(std::move(caption));
    FTableIndex = 0;
  } else {
    FCaptionBlock = add(std::move(caption));
    FTableBlock = static_cast<TTableBlock*>(add(std::move(table)));
    FTableIndex = FCaptionBlock ? 1 : 0;
  }
  BuildPaintList();
}

int TTableAndCaptionBlock::ResolveBlockWidth(TCanvas& canvas, int availWidth, int autoCount, int availHeight) {
  (void)autoCount, (void)availHeight;
  TBoxValues b = FBoxValues;
  b[piMarginLeft] = b[piMarginRight] = 0;
  int width = FTableBlock ? FTableBlock->OuterWidth(canvas, availWidth) : 0;
  if (FCaptionBlock) {
    int mn = 0, mx = 0;
    FCaptionBlock->MeasureMinMax(canvas, mn, mx);
    width = std::max(width, mn);
  }
  if (FCentered && !IsFloating() && width < availWidth) b[piMarginLeft] = (availWidth - width) / 2;
  else if (FRightAligned && !IsFloating() && width < availWidth) b[piMarginLeft] = availWidth - width;
  FBoxValues = b;
  return std::clamp(width, 0, MaxLayoutCoord);
}

}  // namespace korva
