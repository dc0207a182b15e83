#include "layout/BlockLI.h"

#include <algorithm>

#include "layout/SectionList.h"

namespace korva {

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
      FListKind(listKind),
      FListNumber(listNumber) {
  switch (listKind) {
    case syOl:
      switch (numberingType) {
        case 'A': FListStyleType = lsUpperAlpha; break;
        case 'I': FListStyleType = lsUpperRoman; break;
        case 'a': FListStyleType = lsLowerAlpha; break;
        case 'i': FListStyleType = lsLowerRoman; break;
        default: FListStyleType = lsDecimal; break;
      }
      break;
    case syUl:
    case syDir:
    case syMenu: {
      static constexpr TListStyleCode byLevel[3] = {lsSquare, lsDisc, lsCircle};
      FListStyleType = plain ? lsNone : byLevel[((listLevel % 3) + 3) % 3];
      break;
    }
    case syDl:
      FListStyleType = lsNone;
      break;
    default: {
      // An item outside any list still shows a bullet and keeps room for it.
      FListStyleType = lsDisc;
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
  if (styled != lsBlank) FListStyleType = styled;
  if (document) {
    FMarkerFont = &document->FontFor(props).Font;
  } else {
    TItemExtra& e = ItemExtra();
    e.OwnFont = std::make_unique<TMyFont>();
    FMarkerFont = e.OwnFont.get();
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
      FListKind(s.FListKind),
      FListStyleType(s.FListStyleType),
      FListNumber(s.FListNumber),
      FFirstLineBaseline(s.FFirstLineBaseline) {
  // The source's font belongs to its document, which may go first.
  TItemExtra& e = ItemExtra();
  e.OwnFont = std::make_unique<TMyFont>();
  e.OwnFont->Assign(*s.FMarkerFont);
  FMarkerFont = e.OwnFont.get();
  if (const TBlockImage* image = s.MarkerImage()) {
    e.Image = std::make_unique<TBlockImage>();
    e.Image->ShareFrom(*image);
  }
}

TBlockLI::~TBlockLI() {
  if (TBlockImage* image = OwnMarkerImage()) image->Release(FDocument);
}

TBlockLI::TItemExtra& TBlockLI::ItemExtra() {
  if (!FItemExtra) FItemExtra = std::make_unique<TItemExtra>();
  return *FItemExtra;
}

std::unique_ptr<TSectionBase> TBlockLI::CloneForPrint(TSectionList* document) const {
  return std::unique_ptr<TSectionBase>(new TBlockLI(document, *this));
}

bool TBlockLI::SettleBottomMargin() {
  if (FPositioning == posAbsolute) return false;
  FInnerCell->SettleLastBottomMargin();
  return true;
}

std::u16string TBlockLI::MarkerText() const {
  switch (FListStyleType) {
    case lsDecimal: return Decimal(FListNumber) + u".";
    case lsLowerAlpha: return AlphaMarker(FListNumber, false) + u".";
    case lsUpperAlpha: return AlphaMarker(FListNumber, true) + u".";
    case lsLowerRoman: return RomanMarker(FListNumber, false) + u".";
    case lsUpperRoman: return RomanMarker(FListNumber, true) + u".";
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
  // The first text line laid out inside the item reports its baseline here.
  int* outer = FDocument->FFirstLineBaseline;
  FFirstLineBaseline = 0;
  FDocument->FFirstLineBaseline = &FFirstLineBaseline;
  int h = TBlock::LayoutSection(canvas, x, y, xRef, yRef, availWidth, availHeight, blockHeight, indents, maxWidth,
                                cursor);
  FDocument->FFirstLineBaseline = nullptr;
  if (outer) {
    // An enclosing item whose first line has not come yet shares ours.
    if (FFirstLineBaseline > 0)
      *outer = FFirstLineBaseline;
    else
      FDocument->FFirstLineBaseline = outer;
  }
  return h;
}

void TBlockLI::DrawAfterContent(TCanvas& canvas, const TRect& clip) {
  const int base = FFirstLineBaseline;
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
  const TColor color = FMarkerFont->Color();
  const TPen savedPen = canvas.Pen();
  const TBrush savedBrush = canvas.Brush();
  switch (FListStyleType) {
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
      FMarkerFont->ApplyTo(canvas);
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
