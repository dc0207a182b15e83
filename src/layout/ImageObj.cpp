#include "layout/ImageObj.h"
#include "core/CharCase.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

#include "core/Attributes.h"
#include "images/AnimatedGif.h"
#include "images/BitmapCache.h"
#include "images/DisplayState.h"
#include "layout/FormControl.h"
#include "layout/LayoutDump.h"
#include "layout/MapItem.h"
#include "platform/Canvas.h"
#include "platform/CodePage.h"
#include "platform/Region.h"
#include "style/Units.h"

namespace korva {

namespace {

// The placeholder pictures are drawn this far inside their box, and only in boxes at least this
// large; their alt text starts this far right of the box's left edge.
constexpr int PlaceholderInset = 4;
constexpr int PlaceholderMinBox = 24;
constexpr int AltTextLeft = 24;

// Alt text of placeholders is set in this face and size.
const TMyFont& AltFont(TSectionList& document) {
  ThtFontInfo info;
  info.Name = "Arial";
  info.Size = 8;
  return document.FontFor(info).Font;
}

bool IsBuiltIn(const TBitmapPtr& bitmap) {
  return bitmap && (bitmap == DefaultImageBitmap() || bitmap == ErrorImageBitmap());
}

}  // namespace

TImageObj::TImageObj(TSectionList* document, const TAttributeList& attributes, int textIndex, unsigned codePage)
    : TFloatingObj(document, textIndex) {
  CodePage = codePage;
  bool title = false;
  for (int i = 0; i < attributes.Count(); ++i) {
    const TAttribute& a = *attributes[i];
    switch (a.Which()) {
      case sySrc:
        SourceName = StyleTrim(a.Text());
        break;
      case syAlt:
        AltText = a.Text();
        if (!title) HintText = AltText;
        break;
      case syTitle:
        HintText = a.Text();
        title = true;
        break;
      case syBorder:
        BorderOff = a.Value() == 0;
        break;
      case syTransp:
        TransparencyWanted = trCornerPixel;
        break;
      case syIsmap:
        ServerSideMap = true;
        break;
      case syUsemap: {
        ClientSideMap = true;
        std::string name = StyleTrim(a.Text());
        for (char& c : name) c = char(korva::UpCase(static_cast<unsigned char>(c)));
        if (name.size() > 1 && name[0] == '#') name.erase(0, 1);
        ClientMapName = name;
        break;
      }
      case syActive:
        MouseReactive = true;
        break;
      default:
        break;
    }
  }
  ApplyCommonAttributes(attributes);
}

TImageObj::TImageObj(TSectionList* document, const std::string& sourceName, int textIndex)
    : TFloatingObj(document, textIndex), SourceName(sourceName), BorderOff(true) {}

TImageObj::TImageObj(TSectionList* document, const TImageObj& s)
    : TFloatingObj(document, s),
      FShownBitmap(s.FShownBitmap),
      SourceName(s.SourceName),
      TransparencyWanted(s.TransparencyWanted),
      BorderOff(s.BorderOff),
      ServerSideMap(s.ServerSideMap),
      LinkBorder(s.LinkBorder),
      FPrintCopy(true) {
  SetShownMask(s.ShownMask());
  if (s.FExtra && s.FExtra->Gif) Extra().Gif = s.FExtra->Gif;
  if (s.FExtra && s.FExtra->Vector) Extra().Vector = s.FExtra->Vector;
}

TImageObj::~TImageObj() {
  if (ImageControl() && !FPrintCopy) ImageControl()->ImageGone(this);
  if (FPrintCopy || !Document) return;
  if (TAnimatedGif* gif = Gif()) Document->RemoveAnimatedImage(gif);
  // The pending list holds the object itself, the hover tracking its mouse-feedback part.
  Document->ForgetObject(static_cast<const void*>(this));
  Document->ForgetObject(static_cast<const TTextObject*>(this));
  if (FOwnsFetch) Document->ReleaseImage(ImageCacheKey(SourceName));
}

bool TImageObj::HotSpotAt(int x, int y, THotSpot& spot) {
  const TMapItem* map = ClientSideMap ? Document->FindMap(ClientMapName) : nullptr;
  spot.Image = this;
  // Maps and server-side coordinates count from the picture, inside the link border.
  const int border = LinkBorder ? 1 : 0;
  const bool hit = ImageHotSpot(*this, map, x - FX - border, y - FY - border, Link.Url().empty() ? nullptr : &Link, spot);
  return hit || spot.HasTitle;
}

std::unique_ptr<TFloatingObj> TImageObj::CloneForPrint(TSectionList* document) const {
  return std::make_unique<TImageObj>(document, *this);
}

void TImageObj::ApplyStyle(const TProperties& props) {
  ApplyAlignStyle(props, true);
  if (HintText.empty() && !props.FTitleText.empty()) HintText = props.FTitleText;
  ApplySizeStyle(props);
  ApplyAlignStyle(props, false);
  if (props.Value(piBorderStyle).IsText()) BorderOff = true;
}

bool TImageObj::IsPlaceholder() const { return IsBuiltIn(FShownBitmap); }

TImageObj::TImageExtra& TImageObj::Extra() {
  if (!FExtra) FExtra = std::make_unique<TImageExtra>();
  return *FExtra;
}

void TImageObj::SetImageControl(TFormControlObj* control) {
  if (control || FExtra) Extra().Control = control;
}

void TImageObj::SetShownGraphic(const TImageGraphic& graphic) {
  FShownBitmap = graphic.Bitmap;
  if (graphic.Gif || (FExtra && FExtra->Gif)) Extra().Gif = graphic.Gif;
  if (graphic.Vector || (FExtra && FExtra->Vector)) {
    TImageExtra& e = Extra();
    e.Vector = graphic.Vector;
    e.VectorFrame.reset();
    e.VectorMask.reset();
    e.VectorWidth = e.VectorHeight = 0;
  }
}

const TBitmap* TImageObj::VectorRendering(int w, int h, const TBitmap*& mask) {
  mask = nullptr;
  if (!FExtra || !FExtra->Vector || !FShownBitmap || w <= 0 || h <= 0) return nullptr;
  if (w == FShownBitmap->Width() && h == FShownBitmap->Height()) return nullptr;
  TImageExtra& e = *FExtra;
  if (e.VectorWidth != w || e.VectorHeight != h) {
    e.VectorWidth = w;
    e.VectorHeight = h;
    e.VectorFrame.reset();
    e.VectorMask.reset();
    if (std::unique_ptr<TBitmap> rendered = e.Vector->Render(w, h)) {
      TransparencyMode mode = trNone;
      try {
        e.VectorFrame = AlphaForDisplay(std::move(rendered), mode, e.VectorMask);
      } catch (const std::exception&) {
        e.VectorFrame.reset();
        e.VectorMask.reset();
      }
    }
  }
  mask = e.VectorMask.get();
  return e.VectorFrame.get();
}

const TBitmapPtr& TImageObj::ShownMask() const {
  static const TBitmapPtr none;
  return FExtra ? FExtra->Mask : none;
}

void TImageObj::SetShownMask(TBitmapPtr mask) {
  if (!mask && !FExtra) return;
  Extra().Mask = std::move(mask);
}

void TImageObj::Fetch() {
  TImageGraphic image;
  TBitmapPtr mask;
  bool fromCache = false;
  if (!SourceName.empty()) {
    if (!Document->HasBitmapRequest() && !Document->HasImageRequest() &&
        !Document->IsInlineImage(std::string(SourceName.str())))
      SourceName = Document->ExpandImageName(std::string(SourceName.str()));
    const std::string key = ImageCacheKey(SourceName);
    const auto& pending = Document->FMissingImages;
    if (std::any_of(pending.begin(), pending.end(), [&](const auto& p) { return p.first == key; })) {
      AwaitingHost = true;
    } else {
      TransparencyMode mode = TransparencyWanted;
      TFetchResult r = Document->FetchImage(std::string(SourceName.str()), mode);
      TransparencyWanted = mode;
      AwaitingHost = r.Pending;
      image = std::move(r.Image);
      mask = std::move(r.Mask);
      fromCache = r.FromCache;
    }
  }
  if (image) {
    FOwnsFetch = true;
    // Each image object runs its own frame clock over the cached frames.
    if (image.Gif && fromCache) image.Gif = TAnimatedGif::CloneSharing(*image.Gif);
    SetShownGraphic(image);
    SetShownMask(mask);
    if (TAnimatedGif* gif = Gif()) {
      if (MouseReactive)
        gif->SetRunning(false);
      else
        Document->AddAnimatedImage(gif);
    }
  } else if (AwaitingHost) {
    FShownBitmap = DefaultImageBitmap();
    Document->FMissingImages.emplace_back(ImageCacheKey(SourceName), static_cast<void*>(this));
  } else {
    FShownBitmap = ErrorImageBitmap();
    SetShownMask(ErrorImageMask());
    TransparencyWanted = trCornerPixel;
  }
}

void TImageObj::ComputeSize(TCanvas&, int availHeight, int availWidth, bool inLink) {
  const bool show = Document->Host().ViewImages();
  if (show && !FShownBitmap && !Gif()) Fetch();

  int naturalW = 0, naturalH = 0;
  bool placeholder = true;
  if (!show) {
    naturalW = DefaultImageBitmap()->Width();
    naturalH = DefaultImageBitmap()->Height();
  } else if (const TAnimatedGif* gif = Gif()) {
    naturalW = gif->Width();
    naturalH = gif->Height();
    placeholder = false;
  } else if (const TVectorImage* vector = Vector(); vector && FShownBitmap && !IsPlaceholder()) {
    naturalW = vector->IntrinsicSize().cx;
    naturalH = vector->IntrinsicSize().cy;
    placeholder = false;
  } else if (FShownBitmap) {
    naturalW = FShownBitmap->Width();
    naturalH = FShownBitmap->Height();
    placeholder = IsPlaceholder();
  }

  // The picture's size as last found (the box holds it, with the border of its last layout).
  int shownW = ShownWidth(), shownH = ShownHeight();
  if (!SizeSettled || WidthInPercent || HeightInPercent) {
    int w = naturalW, h = naturalH;
    // A stand-in takes the size asked for only when both sides are given; otherwise it gets
    // room for its picture and alt text below.
    if (!placeholder || (WantedWidth > 0 && WantedHeight > 0)) DisplaySize(naturalW, naturalH, availHeight, availWidth, w, h);
    if (placeholder && !SizeSettled) {
      const TMyFont& font = AltFont(*Document);
      const TPlatformFont& handle = *font.Handle();
      const int textWidth = AltText.empty() ? 0 : handle.TextWidth(MultiByteToWide(CodePage, AltText));
      w = std::min(std::max(w, textWidth + 2 + AltTextLeft), MaxObjectExtent);
      h = std::max(h, std::max(PlaceholderMinBox, handle.Metrics().Height));
    }
    shownW = std::clamp(w, 0, MaxObjectExtent);
    shownH = std::clamp(h, 0, MaxObjectExtent);
  }
  BoxWidth = shownW;
  BoxHeight = shownH;
  LinkBorder = !BorderOff && inLink;
  if (LinkBorder) {
    BoxWidth += 2;
    BoxHeight += 2;
  }
}

void TImageObj::DrawAt(TCanvas& canvas, int x, int y, bool focused) {
  const bool show = Document->Host().ViewImages();
  const bool placeholder = !show || IsPlaceholder();
  if (LinkBorder) {
    ++x;
    ++y;
  }
  DrawnLeft = x;
  DrawnTop = y;

  if (!placeholder || (ShownWidth() >= PlaceholderMinBox && ShownHeight() >= PlaceholderMinBox))
    DrawPicture(canvas, x, y, placeholder);
  if (placeholder) DrawAltText(canvas, x, y);
  if (placeholder && !LinkBorder) DrawSunkenFrame(canvas, x, y);
  const int border = LinkBorder ? 1 : 0;
  const TRect box = Bounds(x - border, y - border, BoxWidth, BoxHeight);
  if (LinkBorder) {
    const TPen oldPen = canvas.Pen();
    const TBrush oldBrush = canvas.Brush();
    canvas.SetPen(TPen{canvas.TextColor()});
    canvas.SetBrush(TBrush{clWhite, TBrushStyle::Clear});
    canvas.Rectangle(box);
    canvas.SetPen(oldPen);
    canvas.SetBrush(oldBrush);
  }
  if (focused && !FPrintCopy) {
    const TColor oldText = canvas.TextColor(), oldBk = canvas.BkColor();
    canvas.SetTextColor(clBlack);
    canvas.SetBkColor(clWhite);
    canvas.DrawFocusRect(box);
    canvas.SetTextColor(oldText);
    canvas.SetBkColor(oldBk);
  }
}

void TImageObj::DrawPicture(TCanvas& canvas, int x, int y, bool placeholder) {
  const bool show = Document->Host().ViewImages();
  const TBitmapPtr& bitmap = show ? FShownBitmap : DefaultImageBitmap();
  const bool error = show && bitmap && bitmap == ErrorImageBitmap();
  const TBitmap* mask = (show && (TransparencyWanted != trNone || error)) ? ShownMask().get() : nullptr;
  // Stand-ins are drawn at their own size, inset; pictures fill the display size.
  const int dx = placeholder ? x + PlaceholderInset : x;
  const int dy = placeholder ? y + PlaceholderInset : y;
  // Vector pictures are drawn from a rendering at their drawn size, not stretched.
  const TBitmap* vectorMask = nullptr;
  const TBitmap* vectorFrame = show && !placeholder ? VectorRendering(ShownWidth(), ShownHeight(), vectorMask) : nullptr;

  if (Document->FPrinting) {
    if (vectorFrame) {
      PrintImage(canvas, x, y, ShownWidth(), ShownHeight(), *vectorFrame, vectorMask);
      return;
    }
    if (TAnimatedGif* gif = show ? Gif() : nullptr) {
      std::unique_ptr<TBitmap> frame = gif->FrameBitmap(gif->FrameNo());
      std::unique_ptr<TBitmap> frameMask = gif->HasMask() ? gif->FrameMask(gif->FrameNo()) : nullptr;
      if (frame) PrintImage(canvas, x, y, ShownWidth(), ShownHeight(), *frame, frameMask.get());
      return;
    }
    if (!bitmap) return;
    if (!Extra().PrintBitmap) FExtra->PrintBitmap = PaletteMatched(bitmap);
    const int w = placeholder ? bitmap->Width() : ShownWidth(), h = placeholder ? bitmap->Height() : ShownHeight();
    PrintImage(canvas, dx, dy, w, h, *FExtra->PrintBitmap, mask);
    return;
  }

  if (TAnimatedGif* gif = show ? Gif() : nullptr) {
    gif->SetShowable(true);
    gif->SetPaintedLately(true);
    gif->PaintFrame(canvas, x, y, ShownWidth(), ShownHeight());
    return;
  }
  if (vectorFrame) {
    const int w = vectorFrame->Width(), h = vectorFrame->Height();
    if (vectorMask)
      canvas.MaskedStretchBlt(x, y, w, h, *vectorFrame, *vectorMask, 0, 0, w, h);
    else
      canvas.BitBlt(x, y, w, h, *vectorFrame, 0, 0, TRop::SrcCopy);
    return;
  }
  if (!bitmap) return;
  const int bw = bitmap->Width(), bh = bitmap->Height();
  if (mask) {
    if (placeholder)
      canvas.MaskedStretchBlt(dx, dy, bw, bh, *bitmap, *mask, 0, 0, bw, bh);
    else
      canvas.MaskedStretchBlt(x, y, ShownWidth(), ShownHeight(), *bitmap, *mask, 0, 0, bw, bh);
  } else if (placeholder) {
    canvas.BitBlt(dx, dy, bw, bh, *bitmap, 0, 0, TRop::SrcCopy);
  } else {
    const TStretchMode oldMode = canvas.StretchMode();
    canvas.SetStretchMode(TStretchMode::ColorOnColor);
    canvas.StretchBlt(x, y, ShownWidth(), ShownHeight(), *bitmap, 0, 0, bw, bh, TRop::SrcCopy);
    canvas.SetStretchMode(oldMode);
  }
}

void TImageObj::DrawAltText(TCanvas& canvas, int x, int y) {
  if (AltText.empty()) return;
  const TRect area = Rect(x + AltTextLeft, y + PlaceholderInset, x + ShownWidth() - 2, y + ShownHeight() - 1);
  if (area.IsEmpty()) return;
  const TMyFont& font = AltFont(*Document);
  DrawWordWrapped(canvas, area, MultiByteToWide(CodePage, AltText), font.Handle());
}

void TImageObj::DrawSunkenFrame(TCanvas& canvas, int x, int y) {
  const TColor bg = Document->BackgroundColor();
  const bool lightPage = Document->FPrinting || bg == clWindow || ColorToRGB(bg) == clWhite;
  const TPen oldPen = canvas.Pen();
  const int right = x + ShownWidth() - 1, bottom = y + ShownHeight() - 1;
  canvas.SetPen(TPen{clBtnShadow});
  canvas.MoveTo(x, bottom);
  canvas.LineTo(x, y);
  canvas.LineTo(right, y);
  canvas.SetPen(TPen{lightPage ? clSilver : clBtnHighlight});
  canvas.LineTo(right, bottom);
  canvas.LineTo(x, bottom);
  canvas.SetPen(oldPen);
}

void TImageObj::SetMouseState(int state) {
  TAnimatedGif* gif = Gif();
  if (!MouseReactive || !gif || state == MouseState) return;
  const int frames = gif->FrameTotal();
  if (state != 0) {
    if (frames == 2) {
      gif->SelectFrame(2);
    } else if (frames == 3) {
      gif->SelectFrame(state == 2 ? 3 : 2);
    } else if (MouseState == 0) {
      gif->SetRunning(true);
      Document->AddAnimatedImage(gif);
    }
  } else {
    gif->SetRunning(false);
    if (frames <= 3) gif->SelectFrame(1);
    Document->RemoveAnimatedImage(gif);
  }
  MouseState = std::uint8_t(state) & 3;
  const int border = LinkBorder ? 1 : 0;
  Document->Host().InvalidateRect(Bounds(DrawnLeft - border, DrawnTop - border, BoxWidth, BoxHeight), true);
}

void TImageObj::Dump(TDumpWriter& out, int depth) const {
  DumpHead(out, depth, "image");
  out << " src=\"" << SourceName.str() << "\"";
  if (LinkBorder) out << " border";
  if (FShownBitmap && FShownBitmap == ErrorImageBitmap()) out << " error";
  if (AwaitingHost) out << " pending";
  if (Gif()) out << " gif=" << Gif()->FrameTotal();
  if (Vector()) out << " vector";
}

bool ImageHotSpot(TImageObj& image, const TMapItem* map, int rx, int ry, const TUrlTarget* textLink, THotSpot& spot) {
  spot.Image = &image;
  if (const std::string_view hint = image.TitleText(); !hint.empty()) {
    spot.Title = hint;
    spot.HasTitle = true;
  }
  if (image.ImageControl()) {
    spot.Control = image.ImageControl();
    return true;
  }
  if (map) {
    TUrlTarget link;
    std::string title;
    if (!map->LinkAtPoint(rx, ry, link, title)) return false;
    spot.IsLink = true;
    spot.Link = link;
    if (!title.empty()) {
      spot.Title = title;
      spot.HasTitle = true;
    }
    return true;
  }
  if (!textLink || textLink->Url().empty()) return false;
  spot.IsLink = true;
  spot.Link = *textLink;
  if (image.ServerSideMap) {
    spot.Link.Assign(ServerSideMapUrl(textLink->Url(), rx, ry), textLink->Target());
    spot.Link.SetTabIndex(textLink->TabIndex());
  }
  return true;
}

// ---- printing ----

TBitmapPtr PaletteMatched(const TBitmapPtr& bitmap) {
  const TPalettePtr palette = GlobalPalette();
  if (!bitmap || !palette || bitmap->BitsPerPixel() <= 8) return bitmap;
  TBitmapPtr out = bitmap->ConvertTo(8, palette.get());
  return out ? out : bitmap;
}

namespace {

// The first destination pixel (from 0) of a stretch from srcExtent to dstExtent whose sampled
// source pixel is at or after s (a destination pixel samples the source pixel under its centre).
int FirstDestAt(std::int64_t s, std::int64_t srcExtent, std::int64_t dstExtent) {
  const std::int64_t num = 2 * dstExtent * s - srcExtent, den = 2 * srcExtent;
  if (num <= 0) return 0;
  return int((num + den - 1) / den);
}

// Unites regions pairwise, so that many small ones cost n log n rather than n squared.
TRegion UniteAll(std::vector<TRegion> parts) {
  if (parts.empty()) return {};
  while (parts.size() > 1) {
    std::vector<TRegion> next;
    next.reserve((parts.size() + 1) / 2);
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) next.push_back(parts[i].Combine(parts[i + 1], TRegionOp::Or));
    if (parts.size() % 2) next.push_back(std::move(parts.back()));
    parts = std::move(next);
  }
  return std::move(parts.front());
}

}  // namespace

TRegion MaskRegion(const TBitmap& mask, int firstRow, int rowCount, int x, int y, int w, int h) {
  const int mw = mask.Width();
  if (w <= 0 || h <= 0 || mw <= 0 || rowCount <= 0) return {};
  std::vector<TRegion> parts;
  for (int r = 0; r < rowCount; ++r) {
    const int row = firstRow + r;
    if (row < 0 || row >= mask.Height()) continue;
    const int top = FirstDestAt(r, rowCount, h), bottom = FirstDestAt(r + 1, rowCount, h);
    if (bottom <= top) continue;
    for (int s = 0; s < mw;) {
      // A run of opaque (not white) mask pixels.
      while (s < mw && ColorToRGB(mask.GetPixel(s, row)) == clWhite) ++s;
      int e = s;
      while (e < mw && ColorToRGB(mask.GetPixel(e, row)) != clWhite) ++e;
      if (e > s) {
        const int left = FirstDestAt(s, mw, w), right = FirstDestAt(e, mw, w);
        if (right > left) parts.push_back(TRegion::FromRect(Rect(x + left, y + top, x + right, y + bottom)));
      }
      s = e;
    }
  }
  return UniteAll(std::move(parts));
}

void PrintImage(TCanvas& canvas, int x, int y, int w, int h, const TBitmap& image, const TBitmap* mask, int firstRow,
                int rowCount) {
  firstRow = std::clamp(firstRow, 0, image.Height());
  const int rows = rowCount < 0 ? image.Height() - firstRow : std::min(rowCount, image.Height() - firstRow);
  const int iw = image.Width();
  if (rows <= 0 || iw <= 0 || w <= 0 || h <= 0) return;
  if (!mask) {
    canvas.StretchBlt(x, y, w, h, image, 0, firstRow, iw, rows, TRop::SrcCopy);
    return;
  }
  // Transparent pixels turn white, and the clip leaves them out anyway: no raster operation
  // with the destination is needed, which printers often lack.
  std::unique_ptr<TBitmap> slice = TBitmap::Create(iw, rows, 24);
  if (!slice) return;
  BitBlt(*slice, 0, 0, iw, rows, image, 0, firstRow, TRop::SrcCopy);
  BitBlt(*slice, 0, 0, iw, rows, *mask, 0, firstRow, TRop::SrcPaint);
  const TRegion clip = MaskRegion(*mask, firstRow, rows, x, y, w, h);
  canvas.SaveState();
  canvas.IntersectClipRegion(clip);
  canvas.StretchBlt(x, y, w, h, *slice, 0, 0, iw, rows, TRop::SrcCopy);
  canvas.RestoreState();
}

}  // namespace korva
