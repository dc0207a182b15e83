#include "layout/BlockLI.h"

#include <algorithm>

#include "layout/SectionList.h"

namespace korva {

static_assert(sizeof(void*) != 8 || sizeof(TBlockLI) <= 168, "TBlockLI grew");

namespace {

std::u16string Decimal(int n) {
  std::string s = std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

// Distance of the marker from the content's left edge.
constexpr int MarkerImageIndent = 16;
constexpr int MarkerTextGap = 10;
// Markers are drawn when their baseline lies this close to the area being painted.
constexpr int MarkerClipSlack = 50;

}  // namespace

std::u16string AlphaMarker(int n, bool upper) {
  if (n < 1) return Decimal(n);
  return std::u16string(1, char16_t((upper ? u'A' : u'a') + std::min(n, 26) - 1));
}

std::u16string RomanMarker(int n, bool upper) {
  static const char* const numerals[20] = {"i",  "ii",  "iii",  "iv",  "v",  "vi",  "vii",  "viii",  "ix",  "x",
                                           "xi", "xii", "xiii", "xiv", "xv", "xvi", "xvii", "xviii", "xix", "xx"};
  if (n < 1) return Decimal(n);
  std::u16string s;
  for (const char* p = numerals[std::min(n, 20) - 1]; *p; ++p) s += char16_t(upper ? *p - 'a' + 'A' : *p);
  return s;
}

TBlockLI::TBlockLI(TSectionList* document, const TAttributeList* attributes, TCellBasic* parentCell,
                   TProperties& props, TSymbol listKind, int listNumber, int listLevel, char numberingType, bool plain)
    // An item outside any list may widen its prepared left margin below: it holds the values.
    : TBlock(document, attributes, parentCell, props, false, true,
             listKind == syOl || listKind == syUl || listKind == syDir || listKind == syMenu || listKind == syDl),
      FListNumber(listNumber) {
  TListStyleCode style = lsDisc;
  switch (listKind) {
    case syOl:
      switch (numberingType) {
        case 'A': style = lsUpperAlpha; break;
        case 'I': style = lsUpperRoman; break;
        case 'a': style = lsLowerAlpha; break;
        case 'i': style = lsLowerRoman; break;
        default: style = lsDecimal; break;
      }
      break;
    case syUl:
    case syDir:
    case syMenu: {
      static constexpr TListStyleCode byLevel[3] = {lsSquare, lsDisc, lsCircle};
      style = plain ? lsNone : byLevel[((listLevel % 3) + 3) % 3];
      break;
    }
    case syDl:
      style = lsNone;
      break;
    default: {
      // An item outside any list still shows a bullet and keeps room for it.
      style = lsDisc;
      TBoxValues left{};
      int autoCount = 0;
      ResolveBlockBox(RawBox(), 0, 0, Raw()->EmPixels, Raw()->ExPixels, left, autoCount);
      const TPropValue raw = RawBox()[piMarginLeft];
      if ((raw.IsInt() && raw.Int() == NotSetValue) || raw.IsEmpty() || left[piMarginLeft] == 0) {
        RawBox()[piMarginLeft] = 16;
        FBoxCached = false;
      }
      break;
    }
  }
  TListStyleCode styled = props.GetListStyleType();
  if (styled != lsBlank) style = styled;
  SetListStyleType(style);
  if (document) {
    SetMarkerFont(&document->FontFor(props).Font);
  } else {
    TItemExtra& e = ItemExtra();
    e.OwnFont = std::make_unique<TMyFont>();
    e.Font = e.OwnFont.get();
  }
  std::string url;
  if (props.GetListStyleImage(url) && !url.empty()) {
    TItemExtra& e = ItemExtra();
    e.Image = std::make_unique<TBlockImage>();
    e.Image->Name = url;
  }
}

TBlockLI::TBlockLI(TSectionList* document, const TBlockLI& s)
    : TBlock(document, s),
      FListNumber(s.FListNumber),
      FFirstLineBaseline(s.FFirstLineBaseline),
      FStyleCode(s.FStyleCode) {
  // The source's font belongs to its document, which may go first.
  TItemExtra& e = ItemExtra();
  e.OwnFont = std::make_unique<TMyFont>();
  e.OwnFont->Assign(s.MarkerFont());
  e.Font = e.OwnFont.get();
  if (const TBlockImage* image = s.MarkerImage()) {
    e.Image = std::make_unique<TBlockImage>();
    e.Image->ShareFrom(*image);
  }
}

TBlockLI::~TBlockLI() {
  if (TBlockImage* image = OwnMarkerImage()) image->Release(FDocument);
  if (HasItemExtra()) delete ItemRecord();
}

TBlockLI::TItemExtra& TBlockLI::ItemExtra() {
  if (HasItemExtra()) return *ItemRecord();
  auto e = std::make_unique<TItemExtra>();
  e->Font = FontPointer();
  static_assert(alignof(TItemExtra) >= 2 && alignof(TMyFont) >= 2, "the low bit of the pointers is free");
  FFontOrExtra = reinterpret_cast<std::uintptr_t>(e.get()) | 1;
  return *e.release();
}

void TBlockLI::SetMarkerFont(const TMyFont* font) {
  if (HasItemExtra())
    ItemRecord()->Font = font;
  else
    FFontOrExtra = reinterpret_cast<std::uintptr_t>(font);
}

void TBlockLI::SetFirstLineBaseline(int y) { FFirstLineBaseline = std::clamp(y, -MaxLayoutCoord, MaxLayoutCoord); }

std::unique_ptr<TSectionBase> TBlockLI::CloneForPrint(TSectionList* document) const {
  return std::unique_ptr<TSectionBase>(new TBlockLI(document, *this));
}

bool TBlockLI::SettleBottomMargin() {
  if (FPositioning == posAbsolute) return false;
  FInnerCell->SettleLastBottomMargin();
  return true;
}

std::u16string TBlockLI::MarkerText() const {
  const int number = int(FListNumber);
  switch (ListStyleType()) {
    case lsDecimal: return Decimal(number) + u".";
    case lsLowerAlpha: return AlphaMarker(number, false) + u".";
    case lsUpperAlpha: return AlphaMarker(number, true) + u".";
    case lsLowerRoman: return RomanMarker(number, false) + u".";
    case lsUpperRoman: return RomanMarker(number, true) + u".";
    default: return {};
  }
}

int TBlockLI::LayoutSection(TCanvas& canvas, int x, int y, int xRef, int yRef, int availWidth, int availHeight,
                            int blockHeight, IndentManager& indents, int& maxWidth, int& cursor) {
  if (FHidden || TooDeep() || !FDocument) {
    FFirstLineBaseline = 0;
    return TBlock::LayoutSection(canvas, x, y, xRef, yRef, availWidth, availHeight, blockHeight, indents, maxWidth,
                                 cursor);
  }
  if (TBlockImage* image = OwnMarkerImage(); image && FDocument->Host().ViewImages()) image->Load(*FDocument);
  // The first text line laid out inside the item reports its baseline here; the document never
  // keeps pointing at it once the layout is over, however it ends.
  int* outer = FDocument->FFirstLineBaseline;
  int baseline = 0;
  FFirstLineBaseline = 0;
  struct TRestore {
    TSectionList& Doc;
    int* Mine;
    int* Outer;
    ~TRestore() {
      if (Doc.FFirstLineBaseline == Mine) Doc.FFirstLineBaseline = Outer;
    }
  } restore{*FDocument, &baseline, outer};
  FDocument->FFirstLineBaseline = &baseline;
  int h = TBlock::LayoutSection(canvas, x, y, xRef, yRef, availWidth, availHeight, blockHeight, indents, maxWidth,
                                cursor);
  FDocument->FFirstLineBaseline = nullptr;
  SetFirstLineBaseline(baseline);
  if (outer) {
    // An enclosing item whose first line has not come yet shares ours.
    if (baseline > 0)
      *outer = baseline;
    else
      FDocument->FFirstLineBaseline = outer;
  }
  return h;
}

void TBlockLI::DrawAfterContent(TCanvas& canvas, const TRect& clip) {
  const int base = int(FFirstLineBaseline);
  if (base <= 0 || base < clip.Top - MarkerClipSlack || base > clip.Bottom + MarkerClipSlack) return;
  const int x = FContentLeft;
  if (const TBlockImage* image = MarkerImage(); image && image->Ready()) {
    const TBlockImage::TPicture& im = *image->Pic;
    const TBitmap& pic = *im.Frame;
    int w = pic.Width(), h = pic.Height();
    if (im.Mask)
      canvas.MaskedStretchBlt(x - MarkerImageIndent, base - h, w, h, pic, *im.Mask, 0, 0, w, h);
    else
      canvas.BitBlt(x - MarkerImageIndent, base - h, w, h, pic, 0, 0);
    return;
  }
  const TColor color = MarkerFont().Color();
  const TPen savedPen = canvas.Pen();
  const TBrush savedBrush = canvas.Brush();
  switch (ListStyleType()) {
    case lsCircle:
      canvas.SetPen({color, 1, TPenStyle::Solid});
      canvas.SetBrush({clNone, TBrushStyle::Clear});
      canvas.Ellipse(Rect(x - 16, base - 7, x - 9, base));
      break;
    case lsDisc:
      canvas.SetPen({color, 1, TPenStyle::Solid});
      canvas.SetBrush({color, TBrushStyle::Solid});
      canvas.Ellipse(Rect(x - 15, base - 6, x - 10, base - 1));
      break;
    case lsSquare:
      canvas.FillRect(Rect(x - 15, base - 6, x - 10, base - 1), color);
      break;
    default: {
      std::u16string text = MarkerText();
      if (text.empty()) break;
      const TPlatformFontPtr savedFont = canvas.Font();
      const TColor savedText = canvas.TextColor();
      const TBkMode savedMode = canvas.BkMode();
      const unsigned savedAlign = canvas.TextAlign();
      const int savedExtra = canvas.TextCharacterExtra();
      MarkerFont().ApplyTo(canvas);
      canvas.SetBkMode(TBkMode::Transparent);
      canvas.SetTextAlign(TA_RIGHT | TA_BASELINE);
      canvas.TextOut(x - MarkerTextGap, base, text);
      canvas.SetTextAlign(savedAlign);
      canvas.SetBkMode(savedMode);
      canvas.SetTextColor(savedText);
      canvas.SetFont(savedFont);
      canvas.SetTextCharacterExtra(savedExtra);
      break;
    }
  }
  canvas.SetPen(savedPen);
  canvas.SetBrush(savedBrush);
}

}  // namespace korva
