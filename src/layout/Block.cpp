#include "layout/Block.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/Attributes.h"
#include "core/SmallObjectPool.h"
#include "images/AnimatedGif.h"
#include "images/BitmapCache.h"
#include "layout/IndentManager.h"
#include "layout/LayoutDump.h"
#include "layout/SectionList.h"
#include "layout/Tiling.h"

namespace korva {

// Pages hold blocks by the ten thousand: their size is watched (64-bit builds).
static_assert(sizeof(void*) != 8 || sizeof(TBlock) <= 152, "TBlock grew");
static_assert(sizeof(void*) != 8 || sizeof(THRBlock) <= 168, "THRBlock grew");

namespace {

int ClampCoord(int v) { return std::clamp(v, -MaxLayoutCoord, MaxLayoutCoord); }
int AutoAsZero(int v) { return v == AutoValue ? 0 : v; }

bool HasPercent(const TPropValue& v) {
  return v.IsPercent() || (v.IsText() && v.Text().find('%') != std::string::npos);
}

// Keeps converted lengths within the coordinate limit so that sums of them cannot overflow;
// paddings and border widths are never negative.
void SanitizeBox(TBoxValues& b) {
  for (int i : {piMarginLeft, piMarginRight, piWidth, piHeight, piTop, piLeft})
    if (b[i] != AutoValue) b[i] = ClampCoord(b[i]);
  for (int i = piPaddingTop; i <= piBorderLeftWidth; ++i) b[i] = std::clamp(b[i], 0, MaxLayoutCoord);
  if (b[piWidth] != AutoValue) b[piWidth] = std::max(0, b[piWidth]);
  b[piHeight] = std::max(0, b[piHeight]);
}

// Copies a converted box except the vertical margins, which margin collapsing owns.
void CopyBoxKeepingVerticalMargins(const TBoxValues& from, TBoxValues& to) {
  int top = to[piMarginTop], bottom = to[piMarginBottom];
  to = from;
  to[piMarginTop] = top;
  to[piMarginBottom] = bottom;
}

// Where a section draws, in the frame of its cell.
void PaintExtent(const TSectionBase* s, int& top, int& bottom);

bool MeetsClip(const TSectionBase* s, const TRect& clip) {
  int top = 0, bottom = 0;
  PaintExtent(s, top, bottom);
  return top <= clip.Bottom && bottom >= clip.Top;
}

constexpr int BorderClipTop = -200;
constexpr int BorderClipBottom = 5000;

}  // namespace

// ---------------------------------------------------------------------------------------------
// TBlockImage

bool TBlockImage::Load(TSectionList& document) {
  if (Pic && Pic->Frame) return true;
  if (Failed || Name.empty()) return false;
  TransparencyMode mode = trNone;
  TFetchResult r = document.FetchBackground(Name, mode);
  if (r.Pending) return false;  // asked again at the next layout
  if (!r.Image) {
    Failed = true;
    return false;
  }
  Pic = std::make_unique<TPicture>();
  Pic->Graphic = r.Image;
  Pic->Fetched = true;
  Pic->Mask = r.Mask;
  if (Pic->Graphic.Bitmap) {
    Pic->Frame = Pic->Graphic.Bitmap;
  } else if (Pic->Graphic.Gif) {
    Pic->Frame = Pic->Graphic.Gif->FrameBitmap(1);
    if (!Pic->Mask) Pic->Mask = Pic->Graphic.Gif->FrameMask(1);
  }
  if (!Pic->Frame || Pic->Frame->Width() <= 0 || Pic->Frame->Height() <= 0) {
    Release(&document);
    Failed = true;
    return false;
  }
  return true;
}

void TBlockImage::Release(TSectionList* document) {
  if (!Pic) return;
  if (Pic->Fetched && document && !document->FIsCopy) document->ReleaseImage(ImageCacheKey(Name));
  Pic.reset();
}

void TBlockImage::ShareFrom(const TBlockImage& s) {
  Name = s.Name;
  Failed = s.Failed;
  Pic.reset();
  if (!s.Pic) return;
  Pic = std::make_unique<TPicture>();
  Pic->Graphic = s.Pic->Graphic;
  Pic->Mask = s.Pic->Mask;
  Pic->Frame = s.Pic->Frame;
}

// ---------------------------------------------------------------------------------------------
// Creation

TBlock::TBlock(TSectionList* document, const TAttributeList* attributes, TCellBasic* parentCell, TProperties& props,
               bool isListBlock, bool collapse)
    : TBlock(document, attributes, parentCell, props, isListBlock, collapse, true) {}

TBlock::TBlock(TSectionList* document, const TAttributeList* attributes, TCellBasic* parentCell, TProperties& props,
               bool isListBlock, bool collapse, bool settleBox)
    : TSectionBase(document), FInnerCell(this), FParentCell(parentCell), FIsListBlock(isListBlock) {
  // A block whose box is final once made prepares it on the stack and keeps only the result.
  TRawBox local;
  if (!settleBox) SetRaw(std::make_unique<TRawBox>());
  TRawBox& r = settleBox ? local : *RawRec();
  FInnerCell->FDepth = std::min((parentCell ? parentCell->FDepth : 0) + 1, MaxLayoutDepth + 1);
  if (props.FTagName.size() < std::size_t(LongTag)) {
    FTagLength = std::uint8_t(props.FTagName.size());
  } else {
    Extra().TagLength = std::uint32_t(props.FTagName.size());
    FTagLength = LongTag;
  }
  if (props.FClassName.empty())
    FTag = props.FTagName;
  else
    FTag = props.FTagName + "." + props.FClassName;

  TVMarginArray raw;
  props.GetVerticalBox(raw);
  for (int i = BoxFirst; i <= BoxLast; ++i)
    if (i != piMarginTop && i != piMarginBottom && HasPercent(raw[i])) FHasPercentBox = true;
  TClearCode clear;
  if (props.GetClear(clear)) FClear = clear;
  TAlignCode floatMode;
  if (props.GetFloatMode(floatMode)) FFloatMode = floatMode;
  FBoxBorderStyle = props.GetBorderStyle();
  const TPropValue& color = props.Value(piColor);
  FBlockColor = color.IsInt() ? TColor(color.Int()) : clBlack;
  if (document) {
    const TDocFont& font = document->FontFor(props);
    r.EmPixels = font.EmPixels;
    r.ExPixels = font.ExPixels;
  } else {
    r.EmPixels = props.FEmPixels;
    r.ExPixels = props.FExPixels;
  }
  // Lengths are read here once; layout passes only scale percentages.
  PrepareBoxLengths(raw, r.EmPixels, r.ExPixels);
  r.Box = TCompactBox(raw);
  FHidden = props.DisplayNone();
  if (!props.FTitleText.empty()) Extra().TitleText = props.FTitleText;
  std::string url;
  if (props.GetBackgroundImage(url) && !url.empty()) {
    TBackgroundPosArray pos{};
    props.GetBackgroundPos(r.EmPixels, r.ExPixels, pos);
    SetBackImage(url, pos);
  }
  FPositioning = props.GetPositionMode();
  if (FPositioning == posAbsolute) FFloatMode = acNone;  // a positioned box does not float
  FVisibility = props.GetVisibility();
  bool breakBefore = false, breakAfter = false, breakInside = false;
  props.GetPageBreaks(breakBefore, breakAfter, breakInside);
  FPageBreakBefore = breakBefore;
  FPageBreakAfter = breakAfter;
  FPageBreakInside = breakInside;

  int z = std::clamp(props.GetZIndex(), -MaxLayoutCoord, MaxLayoutCoord);
  int level = 0;
  if (FPositioning != posStatic) {
    level = 10 * z;
    if (FPositioning == posAbsolute && z == 0) level = 1;
  }
  if (IsFloating() && level == 0) level = 1;
  SetStackLevel(level);

  bool topAuto = false, bottomAuto = false;
  {
    TBoxValues box = FBoxValues;
    ResolveVerticalBox(r.Box, 400, r.EmPixels, r.ExPixels, box, topAuto, bottomAuto);
    box[piMarginTop] = ClampCoord(box[piMarginTop]);
    box[piMarginBottom] = ClampCoord(box[piMarginBottom]);
    FBoxValues = box;
  }
  FTopAuto = topAuto;
  FBottomAuto = bottomAuto;
  if (collapse && parentCell) CollapseMargins(parentCell);

  if (attributes && document && !attributes->TheID().empty()) {
    document->IDNameList().AddObject(attributes->TheID(), this);
    FRegisteredId = true;
  }
  if (settleBox) {
    if (FHasPercentBox)
      SetRaw(std::make_unique<TRawBox>(std::move(local)));
    else
      CacheResolvedBox(local, 0, 0);
  }
}

void TBlock::CollapseMargins(TCellBasic* cell) {
  int t = FBoxValues[piMarginTop];
  CollapseTopMargin(cell, t);
  FBoxValues[piMarginTop] = t;
}

void TBlock::CollapseTopMargin(TCellBasic* cell, int& t) {
  if (FPositioning == posAbsolute) {
    if (FTopAuto) t = 0;
    return;
  }
  if (IsFloating()) return;
  TSectionBase* prev = nullptr;
  for (int i = cell->Count() - 1; i >= 0; --i) {
    TSectionBase* s = (*cell)[i];
    if (s->IsBlock() && static_cast<TBlock*>(s)->FPositioning == posAbsolute) continue;
    prev = s;
    break;
  }
  if (!prev) {
    if (FTopAuto) {
      t = 0;
    } else if (cell->OwnerTag() == "default" || cell->OwnerTag() == "body") {
      const TBlock* parent = cell->ParentBlock();
      int own = parent ? parent->FBoxValues[piMarginTop] : 0;
      t = std::max(0, t - own);
    }
    return;
  }
  if (!prev->IsBlock()) {
    // After text in a list item, a nested list sits right under it.
    if (cell->OwnerTag() == "li" && FTopAuto && (TagName() == "ul" || TagName() == "ol")) t = 0;
    return;
  }
  TBlock* p = static_cast<TBlock*>(prev);
  if (p->IsTableBlock() && p->IsFloating() && FTopAuto) {
    t = 0;
    return;
  }
  int b = p->FBoxValues[piMarginBottom];
  p->FBoxValues[piMarginBottom] = 0;
  if (t >= 0 && b >= 0)
    t = std::max(t, b);
  else if (t < 0 && b < 0)
    t = std::min(t, b);
  else
    t = t + b;
}

// ---------------------------------------------------------------------------------------------
// Packed box values

bool TPackedBox::Encode(int value, std::int16_t& code, std::array<int, 2>& pal, std::array<bool, 2>& used) {
  if (value >= MinPlain && value <= 32767) {
    code = std::int16_t(value);
    return true;
  }
  switch (value) {
    case AutoValue: code = CodeAuto; return true;
    case NotSetValue: code = CodeNotSet; return true;
    case ParagraphSpaceValue: code = CodeParagraph; return true;
    case int(clNone): code = CodeNoColor; return true;
    default: break;
  }
  for (std::size_t k = 0; k < pal.size(); ++k) {
    if (used[k] && pal[k] == value) {
      code = std::int16_t(CodePal0 + int(k));
      return true;
    }
  }
  for (std::size_t k = 0; k < pal.size(); ++k) {
    if (!used[k]) {
      used[k] = true;
      pal[k] = value;
      code = std::int16_t(CodePal0 + int(k));
      return true;
    }
  }
  return false;
}

static_assert(sizeof(int*) <= sizeof(std::array<int, 2>), "the record's address takes the kept values' place");
static_assert(BoxCount < 31, "a box's slots and its wide mark fit the mask");
static_assert(sizeof(TPackedBox) <= 24, "a box takes 24 bytes");

int* TPackedBox::WideValues() const {
  int* wide = nullptr;
  std::memcpy(&wide, Pal.data(), sizeof wide);
  return wide;
}

void TPackedBox::SetWide(const TBoxValues& values) {
  std::uint32_t mask = 0;
  for (std::size_t i = 0; i < values.V.size(); ++i)
    if (values.V[i] != Decode(UsualCode(i))) mask |= 1u << i;
  const int count = std::popcount(mask);
  int* wide = IsWide() && WideCount() == count ? WideValues() : nullptr;
  if (!wide) {
    wide = static_cast<int*>(SmallAllocate(std::size_t(count) * sizeof(int)));
    DropWide();
    std::memcpy(Pal.data(), &wide, sizeof wide);
  }
  FMask = WideBit | mask;
  FCodes = {};
  int k = 0;
  for (std::size_t i = 0; i < values.V.size(); ++i)
    if (mask & (1u << i)) wide[k++] = values.V[i];
}

void TPackedBox::DropWide() {
  if (!IsWide()) return;
  SmallFree(WideValues(), std::size_t(WideCount()) * sizeof(int));
  FMask = 0;
  FCodes = {};
  Pal = {};
}

TPackedBox& TPackedBox::operator=(const TPackedBox& o) {
  if (this == &o) return *this;
  if (o.IsWide()) {
    SetWide(o.Values());
  } else {
    DropWide();
    FMask = o.FMask;
    FCodes = o.FCodes;
    Pal = o.Pal;
  }
  return *this;
}

TPackedBox& TPackedBox::operator=(const TBoxValues& values) {
  std::array<std::int16_t, Inline> codes{};
  std::array<int, 2> pal{};
  std::array<bool, 2> used{};
  std::uint32_t mask = 0;
  int kept = 0;
  for (std::size_t i = 0; i < values.V.size(); ++i) {
    std::int16_t code = 0;
    if (!Encode(values.V[i], code, pal, used)) {
      SetWide(values);
      return *this;
    }
    if (code == UsualCode(i)) continue;
    if (kept == Inline) {
      SetWide(values);
      return *this;
    }
    mask |= 1u << i;
    codes[std::size_t(kept++)] = code;
  }
  DropWide();
  FMask = mask;
  FCodes = codes;
  Pal = pal;
  return *this;
}

void TPackedBox::Set(int propIndex, int value) {
  const std::size_t slot = std::size_t(propIndex - BoxFirst);
  const std::uint32_t bit = 1u << slot;
  if (!IsWide() && value >= MinPlain && value <= 32767 && (FMask & bit)) {
    FCodes[std::size_t(std::popcount(FMask & (bit - 1)))] = std::int16_t(value);
    return;
  }
  if (!IsWide() && value == Decode(UsualCode(slot)) && !(FMask & bit)) return;
  // Recoded whole, so that kept values no longer used are freed (and a wide box goes back in
  // place once everything fits again).
  TBoxValues values = Values();
  values[propIndex] = value;
  *this = values;
}

TBoxValues TPackedBox::Values() const {
  TBoxValues r;
  if (IsWide())
    for (std::size_t i = 0; i < r.V.size(); ++i) r.V[i] = WideAt(i);
  else
    for (std::size_t i = 0; i < r.V.size(); ++i) r.V[i] = Decode(CodeAt(i));
  return r;
}

TBlock::TBlock(TSectionList* document, const TBlock& s)
    : TSectionBase(document, s),
      FBlockColor(s.FBlockColor),
      FBoxValues(s.FBoxValues),
      FLaidWidth(s.FLaidWidth),
      FTag(s.FTag),
      FInnerCell(this),
      FCachedMarginLeft(s.FCachedMarginLeft),
      FBlockContentBottom(s.FBlockContentBottom),
      FContentLeft(s.FContentLeft),
      FBoxTopY(s.FBoxTopY),
      FCachedMarginRight(s.FCachedMarginRight),
      FBoxBorderStyle(s.FBoxBorderStyle),
      FFloatMode(s.FFloatMode),
      FClear(s.FClear),
      FPositioning(s.FPositioning),
      FVisibility(s.FVisibility),
      FIsListBlock(s.FIsListBlock),
      FTopAuto(s.FTopAuto),
      FBottomAuto(s.FBottomAuto),
      FPageBreakBefore(s.FPageBreakBefore),
      FPageBreakAfter(s.FPageBreakAfter),
      FPageBreakInside(s.FPageBreakInside),
      FHidden(s.FHidden),
      FCachedAutoCount(s.FCachedAutoCount),
      FHasPercentBox(s.FHasPercentBox),
      FBoxCached(s.FBoxCached),
      FKeepRawBox(s.FKeepRawBox),
      FKeptWidthPercent(s.FKeptWidthPercent),
      FKeptSideColors(s.FKeptSideColors),
      FOwnDrawExtent(s.FOwnDrawExtent),
      FTagLength(s.FTagLength),
      FStackCode(s.FStackCode) {
  FFirstChar = s.FFirstChar;
  FCharCount = s.FCharCount;
  FDocY = s.FDocY;
  FInnerBottom = s.FInnerBottom;
  FPaintTop = s.FPaintTop;
  FPaintBottom = s.FPaintBottom;
  FInnerTop = s.FInnerTop;
  if (!s.TooDeep()) FInnerCell->CopyFrom(*s.FInnerCell, document);
  FInnerCell->FDepth = s.Depth();
  if (s.RawRec()) SetRaw(std::make_unique<TRawBox>(*s.RawRec()));
  if (s.Ext()) {
    TBlockExtra& e = Extra();
    e.TitleText = s.Ext()->TitleText;
    e.BoxTop = s.Ext()->BoxTop;
    e.BoxLeft = s.Ext()->BoxLeft;
    e.ClearExtra = s.Ext()->ClearExtra;
    e.DrawTop = s.Ext()->DrawTop;
    e.DrawBottom = s.Ext()->DrawBottom;
    e.BorderRect = s.Ext()->BorderRect;
    e.BackImagePos = s.Ext()->BackImagePos;
    e.StackLevel = s.Ext()->StackLevel;
    e.TagLength = s.Ext()->TagLength;
    e.CachedMargins = s.Ext()->CachedMargins;
    if (s.Ext()->BackImage) {
      // The copy shares the picture without holding the cache entry.
      e.BackImage = std::make_unique<TBlockImage>();
      e.BackImage->ShareFrom(*s.Ext()->BackImage);
    }
  }
  BuildPaintList();
}

TBlock::~TBlock() {
  DropBackImage();
  if (FRareWord & 1) delete RawRec();
  else delete Ext();
}

TBlock::TRawBox* TBlock::RawRec() const {
  if (FRareWord & 1) return reinterpret_cast<TRawBox*>(FRareWord & ~std::uintptr_t(1));
  const TBlockExtra* e = Ext();
  return e ? e->Raw.get() : nullptr;
}

void TBlock::SetRaw(std::unique_ptr<TRawBox> raw) {
  if (TBlockExtra* e = Ext()) {
    e->Raw = std::move(raw);
    return;
  }
  delete RawRec();
  FRareWord = raw ? reinterpret_cast<std::uintptr_t>(raw.release()) | 1 : 0;
}

TBlock::TBlockExtra& TBlock::Extra() {
  if (TBlockExtra* e = Ext()) return *e;
  // The box values held alone move into the new record.
  std::unique_ptr<TRawBox> raw((FRareWord & 1) ? RawRec() : nullptr);
  auto* e = new TBlockExtra;
  e->Raw = std::move(raw);
  FRareWord = reinterpret_cast<std::uintptr_t>(e);
  return *e;
}

void TBlock::SetBoxOffset(int top, int left) {
  if (!Ext() && top == 0 && left == 0) return;
  TBlockExtra& e = Extra();
  e.BoxTop = top;
  e.BoxLeft = left;
}

void TBlock::SetDrawExtent(int top, int bottom) {
  FOwnDrawExtent = top != FPaintTop || bottom != FPaintBottom;
  if (!FOwnDrawExtent) return;
  TBlockExtra& e = Extra();
  e.DrawTop = top;
  e.DrawBottom = bottom;
}

void TBlock::SetClearExtra(int extra) {
  if (Ext() || extra != 0) Extra().ClearExtra = extra;
}

int TBlock::StackLevel() const { return FStackCode == LevelInExtra ? Ext()->StackLevel : int(FStackCode); }

void TBlock::SetStackLevel(int level) {
  if (level == 0 || level == 1) {
    FStackCode = std::uint8_t(level);
    if (Ext()) Ext()->StackLevel = level;
    return;
  }
  Extra().StackLevel = level;
  FStackCode = LevelInExtra;
}

namespace {
// Codes of a cached margin beside the margins that fit in place.
constexpr std::int16_t MarginAuto = INT16_MIN, MarginInExtra = INT16_MIN + 1;
}  // namespace

int TBlock::CachedMargin(int side) const {
  const std::int16_t code = side == 0 ? FCachedMarginLeft : FCachedMarginRight;
  if (code == MarginAuto) return AutoValue;
  if (code == MarginInExtra) return Ext()->CachedMargins[std::size_t(side)];
  return code;
}

void TBlock::SetCachedMargins(int left, int right) {
  auto code = [this](int value, int side) {
    if (value == AutoValue) return MarginAuto;
    if (value > MarginInExtra && value <= INT16_MAX) return std::int16_t(value);
    Extra().CachedMargins[std::size_t(side)] = value;
    return MarginInExtra;
  };
  FCachedMarginLeft = code(left, 0);
  FCachedMarginRight = code(right, 1);
}

std::string_view TBlock::TitleText() const { return Ext() ? Ext()->TitleText.str() : std::string_view(); }

const TBackgroundPosArray& TBlock::BackImagePos() const {
  static const TBackgroundPosArray none{};
  return Ext() ? Ext()->BackImagePos : none;
}

void TBlock::SetBackImage(const std::string& name, const TBackgroundPosArray& pos) {
  DropBackImage();
  TBlockExtra& e = Extra();
  e.BackImage = std::make_unique<TBlockImage>();
  e.BackImage->Name = name;
  e.BackImagePos = pos;
}

void TBlock::DropBackImage() {
  if (!Ext() || !Ext()->BackImage) return;
  Ext()->BackImage->Release(FDocument);
  Ext()->BackImage.reset();
}

std::unique_ptr<TSectionBase> TBlock::CloneForPrint(TSectionList* document) const {
  return std::unique_ptr<TSectionBase>(new TBlock(document, *this));
}

void TBlock::ReleaseChildren(std::vector<std::unique_ptr<TSectionBase>>& out) {
  if (Ext()) Ext()->PaintList.clear();
  while (!FInnerCell->Empty()) out.push_back(FInnerCell->Extract(FInnerCell->Count() - 1));
}

bool TBlock::SettleBottomMargin() {
  if (FPositioning == posAbsolute) return false;
  if (FBottomAuto) {
    FBoxValues[piMarginBottom] = 0;
    FBottomAuto = false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Widths

void TBlock::ResolveBox(int baseWidth, int baseHeight, TBoxValues& result, int& autoCount) {
  if (FBoxCached && !FHasPercentBox) {
    CopyBoxKeepingVerticalMargins(FBoxValues, result);
    result[piMarginLeft] = CachedMargin(0);
    result[piMarginRight] = CachedMargin(1);
    autoCount = FCachedAutoCount;
    return;
  }
  if (!FHasPercentBox) {
    autoCount = CacheResolvedBox(*RawRec(), baseWidth, baseHeight);
    if (!FKeepRawBox) DropRawBox();
    ResolveBox(baseWidth, baseHeight, result, autoCount);
    return;
  }
  TBoxValues box{};
  const TRawBox& raw = *RawRec();
  ResolveBlockBox(raw.Box, baseWidth, baseHeight, raw.EmPixels, raw.ExPixels, box, autoCount);
  SanitizeBox(box);
  CopyBoxKeepingVerticalMargins(box, result);
}

int TBlock::CacheResolvedBox(const TRawBox& raw, int baseWidth, int baseHeight) {
  TBoxValues box{};
  int autoCount = 0;
  ResolveBlockBox(raw.Box, baseWidth, baseHeight, raw.EmPixels, raw.ExPixels, box, autoCount);
  SanitizeBox(box);
  // FBoxValues keeps the box from now on; its margins stay as they are until a layout.
  TBoxValues kept = FBoxValues;
  const int ml = kept[piMarginLeft], mr = kept[piMarginRight];
  CopyBoxKeepingVerticalMargins(box, kept);
  kept[piMarginLeft] = ml;
  kept[piMarginRight] = mr;
  FBoxValues = kept;
  SetCachedMargins(box[piMarginLeft], box[piMarginRight]);
  FCachedAutoCount = std::uint8_t(autoCount);
  FBoxCached = true;
  KeepFromRaw(raw);
  return autoCount;
}

void TBlock::KeepFromRaw(const TRawBox& raw) {
  FKeptWidthPercent = HasPercent(raw.Box[piWidth]);
  std::uint8_t sides = 0;
  for (int i = 0; i < 4; ++i) {
    const TCompactBox::Ref side = raw.Box[piBorderTopColor + i];
    if (side.IsInt() && side.Int() != NotSetValue) sides = std::uint8_t(sides | (1 << i));
  }
  FKeptSideColors = sides;
}

bool TBlock::WidthIsPercent() const {
  const TRawBox* raw = RawRec();
  return raw ? HasPercent(raw->Box[piWidth]) : FKeptWidthPercent;
}

bool TBlock::SideColorSet(int colorIndex) const {
  if (!RawRec()) return (FKeptSideColors >> (colorIndex - piBorderTopColor)) & 1;
  const TCompactBox::Ref raw = RawRec()->Box[colorIndex];
  return raw.IsInt() && raw.Int() != NotSetValue;
}

void TBlock::DropRawBox() {
  if (!RawRec()) return;
  KeepFromRaw(*RawRec());
  SetRaw(nullptr);
}

void TBlock::ContentMinMax(TCanvas& canvas, int& minWidth, int& maxWidth) {
  const int pass = FDocument ? FDocument->LayoutCounter() : -1;
  if (pass >= 0 && pass == FMinMaxPass) {
    minWidth = FContentMin;
    maxWidth = FContentMax;
    return;
  }
  FInnerCell->MeasureMinMax(canvas, minWidth, maxWidth);
  const bool fits = minWidth >= 0 && minWidth <= UINT16_MAX && maxWidth >= 0 && maxWidth <= UINT16_MAX;
  FContentMin = fits ? std::uint16_t(minWidth) : 0;
  FContentMax = fits ? std::uint16_t(maxWidth) : 0;
  FMinMaxPass = fits ? pass : -1;
}

void TBlock::MeasureMinMax(TCanvas& canvas, int& minWidth, int& maxWidth) {
  minWidth = maxWidth = 0;
  if (FHidden || TooDeep()) return;
  int cmin = 0, cmax = 0;
  ContentMinMax(canvas, cmin, cmax);
  TBoxValues b{};
  int autoCount = 0;
  ResolveBox(0, 400, b, autoCount);
  int hm = AutoAsZero(b[piMarginLeft]) + AutoAsZero(b[piMarginRight]) + b[piBorderLeftWidth] +
           b[piBorderRightWidth] + b[piPaddingLeft] + b[piPaddingRight];
  int w = AutoAsZero(b[piWidth]);
  minWidth = ClampCoord(hm + std::max(cmin, w));
  maxWidth = w >= 1 ? minWidth : ClampCoord(hm + std::max(cmax, w));
}

int TBlock::ResolveBlockWidth(TCanvas& canvas, int availWidth, int autoCount, int availHeight) {
  (void)availHeight;
  int mn = 0, mx = 0;
  ContentMinMax(canvas, mn, mx);
  TBoxValues b = FBoxValues;
  int bp = b[piBorderLeftWidth] + b[piBorderRightWidth] + b[piPaddingLeft] + b[piPaddingRight];
  int& ml = b[piMarginLeft];
  int& mr = b[piMarginRight];
  int width = b[piWidth];
  int w = availWidth - bp - AutoAsZero(ml) - AutoAsZero(mr);
  if (FPositioning == posAbsolute) w -= BoxLeft();
  // Floats and absolutely positioned boxes without a width shrink to their content, but not
  // below its narrowest form.
  const bool shrinks = FPositioning == posAbsolute || IsFloating();
  if (shrinks) w = std::max(mn, std::min(mx, w));
  // A block in the flow takes the width it is given: content wider than that (a long line of
  // preformatted text, a wide table) overflows it and widens the page's scroll width, not the
  // block and its ancestors. A width the page sets is kept the same way.
  switch (autoCount) {
    case 0:
      break;
    case 1:
      if (width == AutoValue) {
        width = w;
      } else {
        if (mr != AutoValue)
          ml = std::max(0, availWidth - bp - mr - width);
        else
          mr = IsFloating() ? 0 : std::max(0, availWidth - bp - ml - width);
      }
      break;
    case 2:
      if (width == AutoValue) {
        if (ml == AutoValue)
          ml = 0;
        else
          mr = 0;
        width = w;
      } else {
        ml = mr = std::max(0, availWidth - width - bp) / 2;
      }
      break;
    default:
      ml = mr = 0;
      width = w;
      break;
  }
  ml = AutoAsZero(ml);
  mr = AutoAsZero(mr);
  FBoxValues = b;
  if (WidthIsPercent()) width = std::min(width, availWidth - ml - mr - bp);
  return std::clamp(width, 0, MaxLayoutCoord);
}

// ---------------------------------------------------------------------------------------------
// Layout

TRect TBlock::BorderBox() const {
  const TBoxValues& b = FBoxValues;
  return {FContentLeft - b[piPaddingLeft] - b[piBorderLeftWidth], FBoxTopY,
          FContentLeft + FLaidWidth + b[piPaddingRight] + b[piBorderRightWidth],
          FBlockContentBottom + b[piPaddingBottom] + b[piBorderBottomWidth]};
}

TRect TBlock::PaddingBox() const {
  const TBoxValues& b = FBoxValues;
  TRect r = BorderBox();
  return {r.Left + b[piBorderLeftWidth], r.Top + b[piBorderTopWidth], r.Right - b[piBorderRightWidth],
          r.Bottom - b[piBorderBottomWidth]};
}

int TBlock::LayoutAsNothing(int x, int y, int& maxWidth, int& cursor) {
  FContentLeft = x;
  FFirstChar = cursor;
  FCharCount = 0;
  FBoxHeight = 0;
  FDocY = FInnerTop = FPaintTop = FBoxTopY = FBlockContentBottom = y;
  FInnerBottom = FPaintBottom = y;
  SetDrawExtent(y, y);
  FLaidWidth = 0;
  SetClearExtra(0);
  if (Ext()) Ext()->BorderRect = {};
  maxWidth = 0;
  return 0;
}

namespace {
void PaintExtent(const TSectionBase* s, int& top, int& bottom) {
  if (s->IsBlock()) {
    const TBlock* b = static_cast<const TBlock*>(s);
    top = b->DrawTop();
    bottom = b->DrawBottom();
    return;
  }
  top = s->PaintTop();
  bottom = s->PaintBottom();
}
}  // namespace

int TBlock::LayoutSection(TCanvas& canvas, int x, int y, int xRef, int yRef, int availWidth, int availHeight,
                          int blockHeight, IndentManager& indents, int& maxWidth, int& cursor) {
  if (FHidden || TooDeep()) return LayoutAsNothing(x, y, maxWidth, cursor);
  FFirstChar = cursor;
  FInnerTop = y;

  int autoCount = 0;
  TBoxValues b = FBoxValues;
  ResolveBox(availWidth, availHeight, b, autoCount);
  FBoxValues = b;
  bool positioned = FPositioning != posStatic;
  const int boxTop = positioned ? AutoAsZero(b[piTop]) : 0;
  const int boxLeft = positioned ? AutoAsZero(b[piLeft]) : 0;
  SetBoxOffset(boxTop, boxLeft);

  int clearExtra = 0;
  if (FPositioning == posAbsolute) {
    x = ClampCoord(xRef + boxLeft);
    y = ClampCoord(yRef + boxTop);
    FInnerTop = y;
  } else if (FClear != ccNone) {
    int clearLeft = 0, clearRight = 0;
    indents.ClearedY(clearLeft, clearRight);
    int l = std::max(0, clearLeft - y - 1), r = std::max(0, clearRight - y - 1);
    clearExtra = FClear == ccLeft ? l : FClear == ccRight ? r : std::max(l, r);
  }
  SetClearExtra(clearExtra);

  FLaidWidth = ResolveBlockWidth(canvas, availWidth, autoCount, availHeight);
  b = FBoxValues;  // with the margins the width resolved
  const int ml = b[piMarginLeft], mr = b[piMarginRight], mt = b[piMarginTop], mb = b[piMarginBottom];
  const int pl = b[piPaddingLeft], pr = b[piPaddingRight], pt = b[piPaddingTop], pb = b[piPaddingBottom];
  const int bl = b[piBorderLeftWidth], br = b[piBorderRightWidth], bt = b[piBorderTopWidth],
            bb = b[piBorderBottomWidth];

  const void* savedOwner = indents.CurrentOwner;
  const void* savedContext = indents.CurrentContext;
  indents.CurrentOwner = this;
  BeforeLayout();

  const int t = y + clearExtra;
  FPaintTop = mt < 0 ? t + mt : t;
  int indent = 0;
  if (FFloatMode == acLeft)
    indent = std::max(x, indents.LeftEdgeAt(t)) + ml + pl + bl - x;
  else if (FFloatMode == acRight)
    indent = std::min(availWidth, indents.RightEdgeAt(t) - x) - mr - pr - br - FLaidWidth;
  else
    indent = ml + pl + bl;
  int cx = ClampCoord(x + indent);
  if (FIsListBlock) {
    // Room for the markers of the items, clear of any float on the left.
    int room = indents.LeftEdgeAt(t) + 35;
    if (cx < room) {
      FLaidWidth = std::max(0, FLaidWidth - (room - cx));
      cx = room;
    }
  }
  FContentLeft = cx;
  FBoxTopY = ClampCoord(t + mt);
  FDocY = ClampCoord(t + mt + pt + bt);
  int leftIndex = indents.PushLeftIndent(cx, FDocY);
  int rightIndex = indents.PushRightIndent(cx + FLaidWidth, FDocY);

  int height = b[piHeight];
  int innerBlockHeight = height > 0 ? height : availHeight > 0 ? availHeight : blockHeight;
  int cxRef = xRef, cyRef = yRef;
  if (FPositioning == posRelative) {
    cxRef = cx;
    cyRef = FDocY;
  } else if (FPositioning == posAbsolute) {
    cxRef = cx - pl;
    cyRef = FDocY - pt;
  }
  int contentMax = 0;
  // A floated or absolutely positioned block keeps the floats inside it to itself.
  if (IsFloating() || FPositioning == posAbsolute) indents.CurrentContext = this;
  FInnerCell->LayoutCell(canvas, cx, FDocY, cxRef, cyRef, FLaidWidth, height, innerBlockHeight, indents, contentMax,
                         cursor);
  indents.CurrentContext = savedContext;
  FCharCount = cursor - FFirstChar;
  // A block is as wide as its own width even when its content is narrower (or empty).
  maxWidth = ml + mr + bl + br + pl + pr + std::max(contentMax, FLaidWidth);
  if (positioned) maxWidth += boxLeft - mr;
  maxWidth = ClampCoord(maxWidth);

  int contentBottom = FDocY, drawBottom = FDocY;
  for (const auto& owned : *FInnerCell) {
    TSectionBase* s = owned.get();
    if (!(s->IsBlock() && static_cast<TBlock*>(s)->FPositioning == posAbsolute))
      contentBottom = std::max(contentBottom, s->InnerBottom());
    drawBottom = std::max(drawBottom, s->PaintBottom());
  }
  FBlockContentBottom = ClampCoord(std::max(FDocY, contentBottom));
  if (FBlockContentBottom < FDocY + height) FBlockContentBottom = ClampCoord(FDocY + height);
  FInnerBottom = ClampCoord(FBlockContentBottom + pb + bb + mb);
  FPaintBottom = ClampCoord(std::max(FBlockContentBottom, drawBottom) + pb + bb);
  FBoxHeight = ClampCoord(FInnerBottom - y);

  TBlockImage* back = BackImage();
  if (back && !back->Name.empty() && !back->Ready() && FDocument && FDocument->Host().ViewImages())
    back->Load(*FDocument);

  indents.ReleaseRightIndents(rightIndex);
  indents.ReleaseLeftIndents(leftIndex);
  indents.CurrentOwner = savedOwner;

  int result = FBoxHeight;
  if (IsFloating()) {
    // The float's record starts where the float does (below any floats it clears).
    int fx = FFloatMode == acLeft ? cx + FLaidWidth + pr + br + mr : cx - pl - bl - ml;
    indents.PlaceFloatBlock(t, fx, FFloatMode == acRight, std::max(0, FPaintBottom - t));
    FBoxHeight = 0;
    result = 0;
  } else if (FPositioning == posAbsolute) {
    FBoxHeight = 0;
    result = 0;
  }
  BuildPaintList();

  // What the block draws, for the clip test of the draw pass (children may reach outside it).
  int extentTop = FPaintTop, extentBottom = FPaintBottom;
  for (const auto& owned : *FInnerCell) {
    TSectionBase* s = owned.get();
    int top = 0, bottom = 0;
    PaintExtent(s, top, bottom);
    extentTop = std::min(extentTop, top);
    extentBottom = std::max(extentBottom, bottom);
  }
  // A relatively positioned block is drawn, and so found by the mouse, where it is moved to.
  const int dy = OffsetY();
  FPaintTop = ClampCoord(FPaintTop + dy);
  FPaintBottom = ClampCoord(FPaintBottom + dy);
  SetDrawExtent(extentTop + dy, extentBottom + dy);
  return result;
}

void TBlock::BuildPaintList() {
  if (Ext()) Ext()->PaintList.clear();
  bool stacked = false;
  for (const auto& owned : *FInnerCell) stacked = stacked || owned->StackLevel() != 0;
  if (!stacked) return;
  std::vector<TSectionBase*>& list = Extra().PaintList;
  list.reserve(std::size_t(FInnerCell->Count()));
  for (const auto& owned : *FInnerCell) list.push_back(owned.get());
  std::stable_sort(list.begin(), list.end(),
                   [](const TSectionBase* a, const TSectionBase* b) { return a->StackLevel() < b->StackLevel(); });
}

int TBlock::PaintCount() const {
  return Ext() && !Ext()->PaintList.empty() ? int(Ext()->PaintList.size()) : FInnerCell->Count();
}

TSectionBase* TBlock::PaintAt(int i) const {
  return Ext() && !Ext()->PaintList.empty() ? Ext()->PaintList[std::size_t(i)] : (*FInnerCell)[i];
}

// ---------------------------------------------------------------------------------------------
// Drawing

int TBlock::Draw(TCanvas& canvas, const TRect& clip, IndentManager& indents, int x, int xRef, int yRef) {
  (void)x;
  int after = FInnerTop + FBoxHeight;
  if (FHidden || TooDeep() || FDocY == NotLaidOutY) return after;

  TSectionList* doc = FDocument;
  if (doc && doc->FPrinting && FPositioning != posAbsolute) {
    // Page breaks: the page ends above this block, or below it.
    int top = FInnerTop + ClearExtra();
    int bottom = FInnerBottom;
    int pageTop = clip.Top, pageHeight = clip.Height();
    int& pageBottom = doc->FPageBottom;
    bool crosses = top < pageBottom && bottom > pageBottom;
    bool fits = bottom - top <= pageHeight;
    if (FPageBreakBefore && top > pageTop && top < pageBottom) {
      pageBottom = top;
      return after;
    }
    if (FPageBreakInside && top > pageTop && crosses && fits) {
      pageBottom = top;
      return after;
    }
    if (IsTableBlock() && top > pageTop && top >= pageTop + 2 * pageHeight / 3 && crosses && fits) {
      pageBottom = top;
      return after;
    }
    if (FPageBreakAfter && bottom > pageTop && bottom < pageBottom) pageBottom = bottom;
  }
  if (FVisibility == viHidden) return after;
  if (DrawBottom() < clip.Top || DrawTop() > clip.Bottom) return after;

  const int dx = OffsetX(), dy = OffsetY();
  const TRect c = clip.Offset(-dx, -dy);
  const TPoint origin = canvas.Origin();
  if (dx != 0 || dy != 0) canvas.SetOrigin(origin.x + dx, origin.y + dy);

  TRect border = BorderBox();
  if (Ext()) Ext()->BorderRect = border.Offset(dx, dy);
  if (!IntersectRect(border, c).IsEmpty()) {
    TRect padding = PaddingBox();
    DrawBackground(canvas, c, padding);
    DrawBlockBorder(canvas, border, padding);
  }

  const void* savedOwner = indents.CurrentOwner;
  indents.CurrentOwner = this;
  for (int i = 0, n = PaintCount(); i < n; ++i)
    if (TSectionBase* s = PaintAt(i); MeetsClip(s, c)) s->Draw(canvas, c, indents, FContentLeft, xRef, yRef);
  indents.CurrentOwner = savedOwner;
  DrawAfterContent(canvas, c);

  if (dx != 0 || dy != 0) canvas.SetOrigin(origin.x, origin.y);
  return after;
}

void TBlock::DrawBackground(TCanvas& canvas, const TRect& clip, const TRect& paddingBox) {
  bool printing = FDocument && FDocument->FPrinting;
  if (printing && !FDocument->FPrintBackground) return;
  TColor bg = TColor(FBoxValues[piBackgroundColor]);
  if (bg != clNone) canvas.FillRect(paddingBox, bg | PaletteMatchFlag);
  TBlockImage* back = BackImage();
  if (back && back->Ready()) {
    try {
      TileImage(canvas, clip, paddingBox);
    } catch (const std::exception&) {
      back->Release(FDocument);
      back->Failed = true;
    }
  }
}

void TBlock::TileImage(TCanvas& canvas, const TRect& clip, const TRect& box) {
  TBlockImage::TPicture& im = *BackImage()->Pic;
  const TBackgroundPosArray& pos = BackImagePos();
  int bw = box.Width(), bh = box.Height();
  TRect area = IntersectRect(box, clip);
  if (bw <= 0 || bh <= 0 || area.IsEmpty()) return;
  const bool rx = pos[0].Repeat, ry = pos[1].Repeat;

  // One tile: a 1-pixel side is stretched (to at most 100) so that lines of it tile faster.
  int iw = im.Frame->Width(), ih = im.Frame->Height();
  int tw = iw == 1 ? std::clamp(bw, 1, 100) : iw;
  int th = ih == 1 ? std::clamp(bh, 1, 100) : ih;
  // Many transfers of a tiny picture are slow: repeat it inside a larger tile first.
  int nx = TileRepeats(tw, rx);
  int ny = TileRepeats(th, ry);
  int bigW = tw * nx, bigH = th * ny;
  if (!im.Tile || im.Tile->Width() != bigW || im.Tile->Height() != bigH) {
    TImageGraphic g;
    g.Bitmap = im.Frame;
    TBitmapPtr tile = (tw != iw || th != ih) ? PrepareTile(g, bw, bh) : im.Frame;
    TBitmapPtr mask = im.Mask;
    if (mask && (tw != iw || th != ih)) {
      std::shared_ptr<TBitmap> m = TBitmap::Create(tw, th, 1);
      if (m) StretchBlt(*m, 0, 0, tw, th, *mask, 0, 0, mask->Width(), mask->Height());
      mask = m;
    }
    if (tile && (nx > 1 || ny > 1)) {
      tile = ReplicateTile(*tile, nx, ny);
      if (mask) mask = ReplicateTile(*mask, nx, ny);
    }
    if (!tile) return;
    im.Tile = tile;
    im.TileMask = mask;
  }

  int x0 = box.Left + PlaceOnAxis(pos[0], bw, tw);
  int y0 = box.Top + PlaceOnAxis(pos[1], bh, th);
  int xs = rx ? x0 + FloorDiv(area.Left - x0, bigW) * bigW : x0;
  int ys = ry ? y0 + FloorDiv(area.Top - y0, bigH) * bigH : y0;
  int xe = rx ? area.Right : x0 + 1;
  int ye = ry ? area.Bottom : y0 + 1;
  canvas.SaveState();
  canvas.IntersectClipRect(area);
  for (int ty = ys; ty < ye; ty += bigH) {
    if (ty + bigH <= area.Top || ty >= area.Bottom) continue;
    for (int tx = xs; tx < xe; tx += bigW) {
      if (tx + bigW <= area.Left || tx >= area.Right) continue;
      if (im.TileMask)
        canvas.MaskedStretchBlt(tx, ty, bigW, bigH, *im.Tile, *im.TileMask, 0, 0, bigW, bigH);
      else
        canvas.BitBlt(tx, ty, bigW, bigH, *im.Tile, 0, 0);
    }
  }
  canvas.RestoreState();
}

TColor DarkenColor(TColor c) {
  if (c == clNone) return clNone;
  c = ColorToRGB(c);
  auto d = [](int v) { return RoundHalfEven(v * 0.75); };
  return RGBColor(d(GetRValue(c)), d(GetGValue(c)), d(GetBValue(c)));
}

namespace {

enum TSide { sdLeft = 0, sdTop, sdRight, sdBottom };

int Thickness(int side, const TRect& o, const TRect& i) {
  switch (side) {
    case sdLeft: return i.Left - o.Left;
    case sdTop: return i.Top - o.Top;
    case sdRight: return o.Right - i.Right;
    default: return o.Bottom - i.Bottom;
  }
}

TRect ClampVertically(TRect r, int lo, int hi) {
  r.Top = std::clamp(r.Top, lo, hi);
  r.Bottom = std::clamp(r.Bottom, lo, hi);
  return r;
}

// One side's trapezoid between an outer and an inner rectangle; a piece 1 pixel thick is a
// line along the outer edge.
void DrawPiece(TCanvas& canvas, int side, TRect o, TRect i, TColor color, int lo, int hi) {
  o = ClampVertically(o, lo, hi);
  i = ClampVertically(i, lo, hi);
  int w = Thickness(side, o, i);
  if (w <= 0 || color == clNone) return;
  if (w == 1) {
    canvas.SetPen({color, 1, TPenStyle::Solid});
    switch (side) {
      case sdLeft:
        canvas.MoveTo(o.Left, o.Top);
        canvas.LineTo(o.Left, o.Bottom);
        break;
      case sdTop:
        canvas.MoveTo(o.Left, o.Top);
        canvas.LineTo(o.Right, o.Top);
        break;
      case sdRight:
        canvas.MoveTo(o.Right - 1, o.Top);
        canvas.LineTo(o.Right - 1, o.Bottom);
        break;
      default:
        canvas.MoveTo(o.Left, o.Bottom - 1);
        canvas.LineTo(o.Right, o.Bottom - 1);
        break;
    }
    return;
  }
  std::vector<TPoint> pts;
  switch (side) {
    case sdLeft: pts = {{o.Left, o.Top}, {i.Left, i.Top}, {i.Left, i.Bottom}, {o.Left, o.Bottom}}; break;
    case sdTop: pts = {{o.Left, o.Top}, {o.Right, o.Top}, {i.Right, i.Top}, {i.Left, i.Top}}; break;
    case sdRight: pts = {{o.Right, o.Top}, {o.Right, o.Bottom}, {i.Right, i.Bottom}, {i.Right, i.Top}}; break;
    default: pts = {{o.Left, o.Bottom}, {o.Right, o.Bottom}, {i.Right, i.Bottom}, {i.Left, i.Bottom}}; break;
  }
  canvas.SetPen({clNone, 1, TPenStyle::Clear});
  canvas.SetBrush({color, TBrushStyle::Solid});
  canvas.Polygon(pts, TFillMode::Alternate);
}

// The rectangle between o and i at the given depth into each side.
TRect Inset(const TRect& o, const std::array<int, 4>& d) {
  return {o.Left + d[sdLeft], o.Top + d[sdTop], o.Right - d[sdRight], o.Bottom - d[sdBottom]};
}

void AddRectFigure(TCanvas& canvas, const TRect& r) {
  canvas.MoveTo(r.Left, r.Top);
  canvas.LineTo(r.Right, r.Top);
  canvas.LineTo(r.Right, r.Bottom);
  canvas.LineTo(r.Left, r.Bottom);
  canvas.CloseFigure();
}

bool IsLineStyle(int style) { return style == bssDashed || style == bssDotted; }

}  // namespace

void TBlock::DrawBlockBorder(TCanvas& canvas, const TRect& outer, const TRect& inner) {
  if (FBoxBorderStyle == bssNone) return;
  const TBoxValues& b = FBoxValues;
  // Sides in the order left, top, right, bottom.
  static constexpr int colorIndex[4] = {piBorderLeftColor, piBorderTopColor, piBorderRightColor, piBorderBottomColor};
  static constexpr int styleIndex[4] = {piBorderLeftStyle, piBorderTopStyle, piBorderRightStyle, piBorderBottomStyle};
  std::array<int, 4> width{}, style{};
  std::array<TColor, 4> color{};
  for (int s = 0; s < 4; ++s) {
    width[s] = std::max(0, Thickness(s, outer, inner));
    style[s] = b[styleIndex[s]];
    // A side without its own colour takes the element's colour.
    color[s] = SideColorSet(colorIndex[s]) ? TColor(b[colorIndex[s]]) : FBlockColor;
  }
  // Coordinates far outside the visible area are cut back to it.
  const TPoint origin = canvas.Origin();
  const int lo = BorderClipTop - origin.y, hi = BorderClipBottom - origin.y;
  const TPen savedPen = canvas.Pen();
  const TBrush savedBrush = canvas.Brush();

  TColor bg = TColor(b[piBackgroundColor]);
  bool gapped = false;
  for (int s = 0; s < 4; ++s)
    gapped = gapped || (width[s] > 0 && (IsLineStyle(style[s]) || style[s] == bssDouble));
  if (bg != clNone && gapped) {
    canvas.SetBrush({bg | PaletteMatchFlag, TBrushStyle::Solid});
    canvas.BeginPath();
    AddRectFigure(canvas, ClampVertically(outer, lo, hi));
    AddRectFigure(canvas, ClampVertically(inner, lo, hi));
    canvas.EndPath();
    canvas.FillPath();
  }

  std::array<int, 4> half{}, third{};
  for (int s = 0; s < 4; ++s) {
    half[s] = width[s] / 2;
    third[s] = width[s] / 3 + (width[s] % 3 == 2 ? 1 : 0);
    if (width[s] == 1) third[s] = 1;
  }
  const TRect mid = Inset(outer, half);
  const TRect outerThird = Inset(outer, third);
  const TRect innerThird = {inner.Left - third[sdLeft], inner.Top - third[sdTop], inner.Right + third[sdRight],
                            inner.Bottom + third[sdBottom]};
  for (int s = 0; s < 4; ++s) {
    if (width[s] <= 0) continue;
    const TColor c = color[s];
    const bool leftTop = s == sdLeft || s == sdTop;
    switch (style[s]) {
      case bssSolid:
        DrawPiece(canvas, s, outer, inner, c, lo, hi);
        break;
      case bssInset:
        DrawPiece(canvas, s, outer, inner, leftTop ? DarkenColor(c) : c, lo, hi);
        break;
      case bssOutset:
        DrawPiece(canvas, s, outer, inner, leftTop ? c : DarkenColor(c), lo, hi);
        break;
      case bssGroove:
        DrawPiece(canvas, s, outer, mid, leftTop ? DarkenColor(c) : c, lo, hi);
        DrawPiece(canvas, s, mid, inner, leftTop ? c : DarkenColor(c), lo, hi);
        break;
      case bssRidge:
        DrawPiece(canvas, s, outer, mid, leftTop ? c : DarkenColor(c), lo, hi);
        DrawPiece(canvas, s, mid, inner, leftTop ? DarkenColor(c) : c, lo, hi);
        break;
      case bssDouble:
        DrawPiece(canvas, s, outer, outerThird, c, lo, hi);
        DrawPiece(canvas, s, innerThird, inner, c, lo, hi);
        break;
      default:
        break;
    }
  }

  // Dashed and dotted sides: a pen as wide as the side along its middle; neighbouring sides
  // alike are one path, so that the pattern runs round the corner.
  const std::array<TPoint, 4> corner = {
      TPoint{outer.Left + width[sdLeft] / 2, std::clamp(outer.Bottom - width[sdBottom] + width[sdBottom] / 2, lo, hi)},
      TPoint{outer.Left + width[sdLeft] / 2, std::clamp(outer.Top + width[sdTop] / 2, lo, hi)},
      TPoint{outer.Right - width[sdRight] + width[sdRight] / 2, std::clamp(outer.Top + width[sdTop] / 2, lo, hi)},
      TPoint{outer.Right - width[sdRight] + width[sdRight] / 2,
             std::clamp(outer.Bottom - width[sdBottom] + width[sdBottom] / 2, lo, hi)}};
  auto lined = [&](int s) { return width[s] > 0 && IsLineStyle(style[s]) && color[s] != clNone; };
  auto joins = [&](int a, int c) {
    return lined(a) && lined(c) && style[a] == style[c] && color[a] == color[c] && width[a] == width[c];
  };
  auto penFor = [&](int s) {
    bool dotted = style[s] == bssDotted;
    return TPen{color[s], width[s], dotted ? TPenStyle::Dot : TPenStyle::Dash,
                dotted ? TPenCap::Round : TPenCap::Square, TPenJoin::Miter};
  };
  if (joins(0, 1) && joins(1, 2) && joins(2, 3)) {
    canvas.SetPen(penFor(0));
    canvas.BeginPath();
    canvas.MoveTo(corner[0].x, corner[0].y);
    for (int k = 1; k < 4; ++k) canvas.LineTo(corner[k].x, corner[k].y);
    canvas.CloseFigure();
    canvas.EndPath();
    canvas.StrokePath();
  } else {
    for (int s = 0; s < 4; ++s) {
      if (!lined(s) || joins((s + 3) % 4, s)) continue;  // not the start of a run
      canvas.SetPen(penFor(s));
      canvas.BeginPath();
      canvas.MoveTo(corner[s].x, corner[s].y);
      int k = s;
      for (int n = 0; n < 4; ++n) {
        int next = (k + 1) % 4;
        canvas.LineTo(corner[next].x, corner[next].y);
        if (!joins(k, next)) break;
        k = next;
      }
      canvas.EndPath();
      canvas.StrokePath();
    }
  }
  canvas.SetPen(savedPen);
  canvas.SetBrush(savedBrush);
}

// ---------------------------------------------------------------------------------------------
// Queries

bool TBlock::HotSpotAt(TCanvas& canvas, int x, int y, THotSpot& spot) {
  if (FHidden || TooDeep() || FVisibility == viHidden) return false;
  bool titled = false;
  if (!TitleText().empty() && Ext()->BorderRect.Contains(x, y)) {
    spot.Title = TitleText();
    spot.HasTitle = true;
    titled = true;
  }
  bool hit = FInnerCell->HotSpotAt(canvas, x - OffsetX(), y - OffsetY(), spot);
  return hit || titled;
}

bool TBlock::ObjectAt(int x, int y, TFloatingObj*& object, int& ix, int& iy) {
  if (FHidden || TooDeep() || FVisibility == viHidden) return false;
  x -= OffsetX();
  y -= OffsetY();
  for (int i = PaintCount() - 1; i >= 0; --i) {
    TSectionBase* s = PaintAt(i);
    if (s->PaintTop() <= y && y < s->PaintBottom() && s->ObjectAt(x, y, object, ix, iy)) return true;
  }
  return false;
}

int TBlock::CaretFromPoint(TCanvas& canvas, int x, int y, int& xr, int& yr, int& caretHeight, bool& inText) {
  if (FHidden || TooDeep()) return -1;
  const int dx = OffsetX(), dy = OffsetY();
  x -= dx;
  y -= dy;
  for (int i = PaintCount() - 1; i >= 0; --i) {
    TSectionBase* s = PaintAt(i);
    if (s->PaintTop() <= y && y < s->PaintBottom()) {
      int p = s->CaretFromPoint(canvas, x, y, xr, yr, caretHeight, inText);
      if (p >= 0) {
        xr += dx;
        yr += dy;
        return p;
      }
    }
  }
  return -1;
}

int TBlock::SearchForward(int from, const std::u16string& text, bool matchCase) {
  if (FHidden || TooDeep()) return -1;
  return FInnerCell->SearchForward(from, text, matchCase);
}

void TBlock::FindAll(const std::u16string& text, bool matchCase, std::vector<std::pair<int, int>>& out) {
  if (FHidden || TooDeep()) return;
  FInnerCell->FindAll(text, matchCase, out);
}

int TBlock::SearchBackward(int from, const std::u16string& text, bool matchCase) {
  if (FHidden || TooDeep()) return -1;
  return FInnerCell->SearchBackward(from, text, matchCase);
}

int TBlock::SourcePosOf(int docPos) {
  if (FHidden || TooDeep()) return -1;
  return FInnerCell->SourcePosOf(docPos);
}

int TBlock::DocPosOf(int sourcePos, bool previous) {
  if (FHidden || TooDeep()) return -1;
  return FInnerCell->DocPosOf(sourcePos, previous);
}

bool TBlock::PointFromCaret(TCanvas& canvas, int cursor, int& x, int& y) {
  if (FHidden || TooDeep()) return false;
  if (!FInnerCell->PointFromCaret(canvas, cursor, x, y)) return false;
  x += OffsetX();
  y += OffsetY();
  return true;
}

bool TBlock::CharAt(int pos, char16_t& ch, TCharObject& object) {
  if (FHidden || TooDeep()) return false;
  return FInnerCell->CharAt(pos, ch, object);
}

void TBlock::CollectSections() {
  if (FHidden || TooDeep()) return;
  FInnerCell->CollectSections();
}

bool TBlock::LineYAt(int docPos, int& y) {
  // The sections inside answer for their lines. Only a table asks a block: elsewhere the
  // sections inside are in the document's position list themselves.
  if (FHidden || TooDeep()) return false;
  return FInnerCell->LineYAt(docPos, y);
}

void TBlock::AppendSelectedText(std::u16string& text) {
  if (FHidden || TooDeep()) return;
  FInnerCell->AppendSelectedText(text);
  if (TagName() == "p" && FDocument && FFirstChar + FCharCount < FDocument->FSelE) text += u"\r\n";
}

// ---------------------------------------------------------------------------------------------
// Dump

std::string TBlock::DumpTag() const { return std::string(FTag.str()); }

void TBlock::Dump(TDumpWriter& out, int depth) const {
  out.Line(depth) << DumpKind();
  std::string tag = DumpTag();
  if (!tag.empty()) out << " " << tag;
  if (FHidden) {
    out.Box(FContentLeft, FInnerTop, 0, 0) << " none";  // laid out as nothing at its x
    return;
  }
  out.Box(BorderBox());
  out << " content=" << FContentLeft << "," << FDocY << " " << FLaidWidth << "x" << (FBlockContentBottom - FDocY);
  if (FFloatMode == acLeft) out << " float=left";
  if (FFloatMode == acRight) out << " float=right";
  if (FPositioning == posRelative) out << " pos=relative";
  if (FPositioning == posAbsolute) out << " pos=absolute";
  if (FVisibility == viHidden) out << " hidden";
  if (TooDeep()) return;
  FInnerCell->Dump(out, depth);
}

// ---------------------------------------------------------------------------------------------
// The body

TBodyBlock::TBodyBlock(TSectionList* document, const TAttributeList* attributes, TCellBasic* parentCell,
                       TProperties& props)
    : TBlock(document, attributes, parentCell, props) {
  FFloatMode = acNone;
  FClear = ccNone;
  FPositioning = posStatic;
  SetStackLevel(0);
  if (document) {
    if (BackImage()) document->SetBackgroundSource(BackImage()->Name, BackImagePos());
    TColor bg = props.GetBackgroundColor();
    if (bg != clNone) document->SetBackgroundColor(bg | PaletteMatchFlag);
  }
  DropBackImage();
}

std::unique_ptr<TSectionBase> TBodyBlock::CloneForPrint(TSectionList* document) const {
  return std::unique_ptr<TSectionBase>(new TBodyBlock(document, *this));
}

int TBodyBlock::LayoutSection(TCanvas& canvas, int x, int y, int xRef, int yRef, int availWidth, int availHeight,
                              int blockHeight, IndentManager& indents, int& maxWidth, int& cursor) {
  if (FHidden || TooDeep()) return LayoutAsNothing(x, y, maxWidth, cursor);
  FFirstChar = cursor;
  FInnerTop = y;
  SetClearExtra(0);
  SetBoxOffset(0, 0);
  int autoCount = 0;
  TBoxValues b = FBoxValues;
  ResolveBox(availWidth, availHeight, b, autoCount);
  b[piMarginLeft] = AutoAsZero(b[piMarginLeft]);
  b[piMarginRight] = AutoAsZero(b[piMarginRight]);
  FBoxValues = b;
  const int ml = b[piMarginLeft], mr = b[piMarginRight], mt = b[piMarginTop], mb = b[piMarginBottom];
  const int pl = b[piPaddingLeft], pr = b[piPaddingRight], pt = b[piPaddingTop], pb = b[piPaddingBottom];
  const int bl = b[piBorderLeftWidth], br = b[piBorderRightWidth], bt = b[piBorderTopWidth],
            bb = b[piBorderBottomWidth];

  const int cx = ClampCoord(x + ml + pl + bl);
  FLaidWidth = std::max(0, availWidth - ml - mr - pl - pr - bl - br);
  FContentLeft = cx;
  FPaintTop = mt < 0 ? y + mt : y;
  FBoxTopY = ClampCoord(y + mt);
  FDocY = ClampCoord(y + mt + pt + bt);

  const void* savedOwner = indents.CurrentOwner;
  indents.CurrentOwner = this;
  int leftIndex = indents.PushLeftIndent(cx, FDocY);
  int rightIndex = indents.PushRightIndent(cx + FLaidWidth, FDocY);
  int contentMax = 0;
  FInnerCell->LayoutCell(canvas, cx, FDocY, xRef, yRef, FLaidWidth, std::max(0, availHeight - mt - mb), blockHeight,
                         indents, contentMax, cursor);
  FCharCount = cursor - FFirstChar;
  int contentBottom = FDocY, drawBottom = FDocY;
  int drawTop = FPaintTop;
  for (const auto& owned : *FInnerCell) {
    TSectionBase* s = owned.get();
    if (!(s->IsBlock() && static_cast<TBlock*>(s)->FPositioning == posAbsolute))
      contentBottom = std::max(contentBottom, s->InnerBottom());
    int top = 0, bottom = 0;
    PaintExtent(s, top, bottom);
    drawBottom = std::max(drawBottom, bottom);
    drawTop = std::min(drawTop, top);
  }
  FBlockContentBottom = ClampCoord(std::max({FDocY, contentBottom, FDocY + b[piHeight]}));
  FPaintBottom = ClampCoord(std::max(FBlockContentBottom, drawBottom) + pb + bb);
  FInnerBottom = ClampCoord(FPaintBottom + mb);
  indents.ReleaseRightIndents(rightIndex);
  indents.ReleaseLeftIndents(leftIndex);
  indents.CurrentOwner = savedOwner;

  FBoxHeight = ClampCoord(FInnerBottom - y);
  SetDrawExtent(drawTop, std::max(FPaintBottom, drawBottom));
  maxWidth = ClampCoord(std::max(indents.Width, std::max(contentMax, FLaidWidth) + ml + mr));
  BuildPaintList();
  return FBoxHeight;
}

int TBodyBlock::Draw(TCanvas& canvas, const TRect& clip, IndentManager& indents, int x, int xRef, int yRef) {
  (void)x;
  int after = FInnerTop + FBoxHeight;
  if (FHidden || TooDeep() || FDocY == NotLaidOutY || FVisibility == viHidden) return after;
  // The document's background is the viewer's to paint; the body draws its content only.
  if (Ext()) Ext()->BorderRect = BorderBox();
  const void* savedOwner = indents.CurrentOwner;
  indents.CurrentOwner = this;
  for (int i = 0, n = PaintCount(); i < n; ++i)
    if (TSectionBase* s = PaintAt(i); MeetsClip(s, clip)) s->Draw(canvas, clip, indents, FContentLeft, xRef, yRef);
  indents.CurrentOwner = savedOwner;
  return after;
}

bool TBodyBlock::HotSpotAt(TCanvas& canvas, int x, int y, THotSpot& spot) {
  if (FHidden || TooDeep()) return false;
  bool titled = false;
  if (!TitleText().empty()) {
    spot.Title = TitleText();
    spot.HasTitle = true;
    titled = true;
  }
  return FInnerCell->HotSpotAt(canvas, x, y, spot) || titled;
}

// ---------------------------------------------------------------------------------------------
// The rule block

THRBlock::THRBlock(TSectionList* document, const TAttributeList* attributes, TCellBasic* parentCell,
                   TProperties& props, int align)
    : TBlock(document, attributes, parentCell, props), FAlign(align) {}

THRBlock::THRBlock(TSectionList* document, const THRBlock& source) : TBlock(document, source), FAlign(source.FAlign) {
  int i = source.FRule ? source.FInnerCell->IndexOf(source.FRule) : -1;
  FRule = i >= 0 && i < FInnerCell->Count() ? (*FInnerCell)[i] : nullptr;
}

std::unique_ptr<TSectionBase> THRBlock::CloneForPrint(TSectionList* document) const {
  return std::unique_ptr<TSectionBase>(new THRBlock(document, *this));
}

TSectionBase* THRBlock::SetRule(std::unique_ptr<TSectionBase> rule) {
  if (FRule) FInnerCell->Remove(FRule);
  FRule = rule ? FInnerCell->AddSection(std::move(rule)) : nullptr;
  return FRule;
}

int THRBlock::ResolveBlockWidth(TCanvas& canvas, int availWidth, int autoCount, int availHeight) {
  (void)canvas, (void)autoCount, (void)availHeight;
  TBoxValues b = FBoxValues;
  int& ml = b[piMarginLeft];
  int& mr = b[piMarginRight];
  ml = AutoAsZero(ml);
  mr = AutoAsZero(mr);
  int room = availWidth - ml - mr - b[piBorderLeftWidth] - b[piBorderRightWidth] - b[piPaddingLeft] - b[piPaddingRight];
  int width = b[piWidth] == AutoValue ? std::max(15, room) : std::min(b[piWidth], room);
  width = std::max(0, width);
  int align = FPositioning == posAbsolute ? 1 : FAlign;
  int rest = room - width;
  if (rest > 0) {
    if (align == 2)
      ml += rest / 2;
    else if (align == 3)
      ml += rest;
  }
  FBoxValues = b;
  return width;
}

}  // namespace korva
