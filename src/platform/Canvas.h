// The drawing canvas: what the engine draws through, in place of a GDI device context.
//
// Coordinate contract (all integers, device pixels after the origin offset):
//  - A pixel (x, y) covers the square [x, x+1) x [y, y+1).
//  - FillRect(r) and a Rectangle's interior cover columns r.Left .. r.Right-1 and rows
//    r.Top .. r.Bottom-1. Rectangle(r) with a pen of width 1 outlines exactly the outermost
//    ring of those pixels and fills the inside with the brush (no brush: outline only).
//    FrameRect draws the same ring with a brush colour; DrawFocusRect XORs a dotted ring.
//  - LineTo(x, y) draws from the current point up to but not including (x, y), as GDI.
//  - Text: with the default alignment (TA_TOP | TA_LEFT) the point given to TextOut is the
//    top-left of the text cell, and the baseline lies at y + Ascent. With TA_BASELINE the y is
//    the baseline itself. The text advances by the extent the font measures (Font.h), plus the
//    character extra after every character, plus the justification share after every break
//    character (U+0020): SetTextJustification(extra, breaks) spreads `extra` pixels over
//    `breaks` spaces, the first (extra mod breaks) spaces getting one pixel more.
//  - An opaque text background fills the text cell (top to top + Height) over the advance.
//  - Stretched transfers pick source pixels as Bitmap.h says (centre sampling, truncating).
//  - Clipping: the clip is the intersection of the clip rectangles and region given since the
//    last RestoreState, in the coordinates current when they were given.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Font.h"
#include "platform/Region.h"
#include "platform/Types.h"

namespace korva {

enum class TPenStyle { Solid, Dash, Dot, DashDot, Clear, InsideFrame };
enum class TPenCap { Round, Square, Flat };
enum class TPenJoin { Round, Bevel, Miter };

struct TPen {
  TColor Color = clBlack;
  int Width = 1;
  TPenStyle Style = TPenStyle::Solid;
  TPenCap Cap = TPenCap::Round;
  TPenJoin Join = TPenJoin::Round;
  friend bool operator==(const TPen&, const TPen&) = default;
};

enum class TBrushStyle { Solid, Clear };

struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = TBrushStyle::Solid;
  friend bool operator==(const TBrush&, const TBrush&) = default;
};

enum class TBkMode { Transparent, Opaque };

// Text alignment flags (SetTextAlign).
enum : unsigned { TA_LEFT = 0, TA_TOP = 0, TA_RIGHT = 2, TA_CENTER = 6, TA_BOTTOM = 8, TA_BASELINE = 24 };
// ExtTextOut options.
enum : unsigned { ETO_OPAQUE = 2, ETO_CLIPPED = 4 };

class TCanvas {
 public:
  virtual ~TCanvas() = default;

  // Size of the surface in device pixels (0 x 0 for a recording canvas).
  virtual TSize Size() const = 0;

  // State. SaveState/RestoreState nest (SaveDC/RestoreDC) and cover pen, brush, font, colours,
  // modes, origin, clip, character extra and justification.
  virtual void SaveState() = 0;
  virtual void RestoreState() = 0;
  // Moves the origin: drawing at (x, y) lands on device (x + dx, y + dy).
  virtual void SetOrigin(int dx, int dy) = 0;
  virtual TPoint Origin() const = 0;

  virtual void SetPen(const TPen& pen) = 0;
  virtual const TPen& Pen() const = 0;
  virtual void SetBrush(const TBrush& brush) = 0;
  virtual const TBrush& Brush() const = 0;
  virtual void SetFont(const TPlatformFontPtr& font) = 0;
  virtual const TPlatformFontPtr& Font() const = 0;
  virtual void SetTextColor(TColor c) = 0;
  virtual TColor TextColor() const = 0;
  virtual void SetBkColor(TColor c) = 0;
  virtual TColor BkColor() const = 0;
  virtual void SetBkMode(TBkMode m) = 0;
  virtual TBkMode BkMode() const = 0;
  virtual void SetTextAlign(unsigned flags) = 0;
  virtual unsigned TextAlign() const = 0;
  virtual void SetTextCharacterExtra(int extra) = 0;
  virtual int TextCharacterExtra() const = 0;
  virtual void SetTextJustification(int extra, int breakCount) = 0;
  virtual void SetStretchMode(TStretchMode m) = 0;
  virtual TStretchMode StretchMode() const = 0;
  // Selects a logical palette for palette displays (no effect on true colour).
  virtual void SelectPalette(const TPalettePtr& palette) = 0;

  // Clipping.
  virtual void IntersectClipRect(const TRect& r) = 0;
  virtual void ExcludeClipRect(const TRect& r) = 0;
  // Intersects the clip with a region given in current coordinates.
  virtual void IntersectClipRegion(const TRegion& rgn) = 0;
  // The smallest rectangle around the visible part, in current coordinates.
  virtual TRect ClipBox() const = 0;

  // Text measurement with the selected font, character extra and justification.
  virtual TSize TextExtent(const char16_t* s, int n) const;
  TSize TextExtent(std::u16string_view s) const { return TextExtent(s.data(), int(s.size())); }
  // GetTextExtentExPoint with the selected font and character extra.
  virtual int TextFit(const char16_t* s, int n, int maxWidth, int* fitCount, int* partial) const;

  // Text output at (x, y) as the alignment says; advances the current position with TA_UPDATECP
  // not supported (the engine positions every run itself).
  virtual void TextOut(int x, int y, const char16_t* s, int n) = 0;
  void TextOut(int x, int y, std::u16string_view s) { TextOut(x, y, s.data(), int(s.size())); }
  // ExtTextOut: optional opaque/clip rectangle; dx (may be null) gives each character's advance.
  virtual void ExtTextOut(int x, int y, unsigned options, const TRect* rect, const char16_t* s, int n,
                          const int* dx) = 0;

  // Shapes (pen for outlines, brush for interiors).
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;
  virtual TPoint PenPos() const = 0;
  virtual void Rectangle(const TRect& r) = 0;
  virtual void FillRect(const TRect& r, TColor c) = 0;
  virtual void FrameRect(const TRect& r, TColor c) = 0;
  virtual void DrawFocusRect(const TRect& r) = 0;
  virtual void Polygon(const std::vector<TPoint>& pts, TFillMode mode = TFillMode::Alternate) = 0;
  virtual void Polyline(const std::vector<TPoint>& pts) = 0;
  virtual void Ellipse(const TRect& r) = 0;
  // Paths: figures started by MoveTo and continued by LineTo/Polyline between BeginPath and
  // EndPath, then stroked and/or filled once.
  virtual void BeginPath() = 0;
  virtual void EndPath() = 0;
  virtual void CloseFigure() = 0;
  virtual void StrokePath() = 0;
  virtual void FillPath() = 0;
  virtual void StrokeAndFillPath() = 0;

  // Bitmaps. Monochrome sources use the text and background colours (Bitmap.h).
  virtual void BitBlt(int dx, int dy, int w, int h, const TBitmap& src, int sx, int sy, TRop rop = TRop::SrcCopy) = 0;
  virtual void StretchBlt(int dx, int dy, int dw, int dh, const TBitmap& src, int sx, int sy, int sw, int sh,
                          TRop rop = TRop::SrcCopy) = 0;
  virtual void MaskedStretchBlt(int dx, int dy, int dw, int dh, const TBitmap& image, const TBitmap& mask, int sx,
                                int sy, int sw, int sh) = 0;
  // Copies a rectangle of this canvas's pixels into a new 24-bit bitmap (null for a recording canvas).
  virtual std::unique_ptr<TBitmap> Grab(const TRect& r) const = 0;
};

// A canvas drawing into a 24- or 32-bit TBitmap that it does not own. Full raster operations.
std::unique_ptr<TCanvas> CreateBitmapCanvas(TBitmap& target);

// A canvas that draws nothing and writes one text line per call (see RecordingCanvas.h).
class TRecordingCanvas;

}  // namespace korva
