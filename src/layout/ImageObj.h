// An image in the flow (IMG, and the background and bullet pictures of blocks, cells and list
// items): fetched through the document's cache on first layout, sized from attributes and
// style, drawn stretched (through its mask when transparent), with placeholder and error
// pictures, alt text, the link border and the mouse states of ACTIVE animated GIFs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "images/ImageLoader.h"
#include "layout/FloatingObj.h"
#include "platform/Region.h"

namespace korva {

class TAttributeList;
class TFormControlObj;
class TMapItem;

class TImageObj : public TFloatingObj {
 public:
  // From an IMG element's attributes; texts are in the document's code page `codePage`.
  TImageObj(TSectionList* document, const TAttributeList& attributes, int textIndex, unsigned codePage = 1252);
  // From a bare source name: no border, bottom alignment (background and bullet pictures).
  TImageObj(TSectionList* document, const std::string& sourceName, int textIndex = 0);
  // The copy for another document (printing, preview): shares the picture.
  TImageObj(TSectionList* document, const TImageObj& source);
  ~TImageObj() override;

  // What is drawn: a built-in picture when missing or pending (null before the first layout,
  // and while images are not shown), and the animated picture (null for still ones).
  const TBitmapPtr& ShownBitmap() const { return FShownBitmap; }
  TAnimatedGif* Gif() const { return FExtra ? FExtra->Gif.get() : nullptr; }
  // The vector picture (SVG) shown, null for bitmaps.
  const TVectorImage* Vector() const { return FExtra ? FExtra->Vector.get() : nullptr; }
  // The picture itself as last sized (the box without the link border).
  int ShownWidth() const { return int(BoxWidth) - (LinkBorder ? 2 : 0); }
  int ShownHeight() const { return int(BoxHeight) - (LinkBorder ? 2 : 0); }
  // The form control (an image input) the image stands for, null for most.
  TFormControlObj* ImageControl() const { return FExtra ? FExtra->Control : nullptr; }
  void SetImageControl(TFormControlObj* control);

 private:
  // What most images lack: a mask (transparent and error pictures), an animated picture (a
  // clone sharing the cached frames), the copy made for printing, the form control. The cached
  // picture itself is held by FShownBitmap or Gif and given back by name.
  struct TImageExtra : TPooled {
    TBitmapPtr Mask;
    std::shared_ptr<TAnimatedGif> Gif;
    TBitmapPtr PrintBitmap;  // palette-matched copy made for printing
    TFormControlObj* Control = nullptr;
    // A vector picture is rendered again at the size it is drawn; the last rendering is kept.
    TVectorImagePtr Vector;
    TBitmapPtr VectorFrame, VectorMask;
    int VectorWidth = 0, VectorHeight = 0;  // the size last rendered (or tried)
  };
  TImageExtra& Extra();
  void SetShownGraphic(const TImageGraphic& graphic);

  TBitmapPtr FShownBitmap;
  std::unique_ptr<TImageExtra> FExtra;

 public:
  TSharedText SourceName;
  TSharedText ClientMapName;  // upper case, without the leading "#"
  std::uint8_t MouseState : 2 = 0;  // 0 none, 1 hover, 2 pressed
  TransparencyMode TransparencyWanted : 2 = trNone;
  bool MouseReactive : 1 = false;
  bool BorderOff : 1 = false;
  bool ServerSideMap : 1 = false, ClientSideMap : 1 = false, LinkBorder : 1 = false;
  bool AwaitingHost : 1 = false;

  // Style after the attributes: alignment, float, title, margins, width and height, border.
  void ApplyStyle(const TProperties& props);
  void ComputeSize(TCanvas& canvas, int availHeight, int availWidth, bool inLink) override;
  // Draws the picture with the box's left edge at x; records DrawnLeft and DrawnTop.
  void PaintObject(TCanvas& canvas, int x, int baselineY, int topY, bool focused = false) {
    DrawObject(canvas, x, baselineY, topY, focused);
  }
  void DrawAt(TCanvas& canvas, int x, int y, bool focused) override;
  std::unique_ptr<TFloatingObj> CloneForPrint(TSectionList* document) const override;
  void Dump(TDumpWriter& out, int depth) const override;
  // The image's control, map area or link at a document point in its box, with its title.
  bool HotSpotAt(int x, int y, THotSpot& spot) override;
  // Mouse feedback of ACTIVE animated GIFs: 0 none, 1 hover, 2 pressed.
  void SetMouseState(int state) override;

  // The mask of the picture drawn (white = transparent), null when it has none.
  const TBitmapPtr& ShownMask() const;

  // The error or pending picture stands in (or images are off).
  bool IsPlaceholder() const;
  // The picture's box in document coordinates (inside the link border), as last drawn.
  TRect DrawnRect() const { return Bounds(DrawnLeft, DrawnTop, ShownWidth(), ShownHeight()); }
  // The text shown as a tool tip: the hint, else the alt text.
  std::string_view TitleText() const { return HintText.empty() ? AltText.str() : HintText.str(); }

 private:
  void Fetch();
  void DrawPicture(TCanvas& canvas, int x, int y, bool placeholder);
  void DrawAltText(TCanvas& canvas, int x, int y);
  void DrawSunkenFrame(TCanvas& canvas, int x, int y);
  void SetShownMask(TBitmapPtr mask);
  // The vector picture rendered at w x h (with its mask on palette screens); null when the
  // picture is no vector one, is drawn at its intrinsic size, or cannot be rendered that large.
  const TBitmap* VectorRendering(int w, int h, const TBitmap*& mask);
  bool FPrintCopy : 1 = false;
  bool FOwnsFetch : 1 = false;  // holds a cache entry under SourceName
};

// A link from a click at (rx, ry) relative to an image: the image's form control, an area of
// its client-side map, or the link of the text around it (textLink, null when none), with the
// server-side map's coordinates appended. Fills the hot spot's title with the image's hint, or
// the map area's title. True when the spot is a link or a control.
bool ImageHotSpot(TImageObj& image, const TMapItem* map, int rx, int ry, const TUrlTarget* textLink, THotSpot& spot);

// ---- printing ----
// Pictures are printed without raster operations against the destination (printers may lack
// them): a masked picture goes through a clip region made from its opaque pixels.

// Prints rows firstRow .. firstRow + rowCount - 1 (rowCount < 0: to the bottom) of a picture
// stretched to w x h at (x, y); with a mask (white = transparent) only its opaque pixels.
void PrintImage(TCanvas& canvas, int x, int y, int w, int h, const TBitmap& image, const TBitmap* mask,
                int firstRow = 0, int rowCount = -1);
// The destination pixels of that stretch whose source pixel is opaque in the mask.
TRegion MaskRegion(const TBitmap& mask, int firstRow, int rowCount, int x, int y, int w, int h);
// The picture matched to the shared palette on palette displays; itself elsewhere.
TBitmapPtr PaletteMatched(const TBitmapPtr& bitmap);

}  // namespace korva
