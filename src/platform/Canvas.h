// The drawing canvas: what the engine draws through, in place of a GDI device context.
//
// Coordinate contract (all integers, device pixels after the origin offset):
//  - A pixel (x, y) covers the square [x, x+1) x [y, y+1).
//  - FillRect(r) and a Rectangle's interior cover columns r.Left .. r.Right-1 and rows
//    r.Top .. r.Bottom-1. Rectangle(r) with a pen of width 1 outlines exactly the outermost
//    ring of those pixels and fills the inside with the brush (no brush: outline only; no
//    pen: the brush fills all of r). A pen of width w > 1 centres on that ring as a wide line
//    does (below): each side covers w/2 pixels left of / above its ring pixel and (w-1)/2
//    right of / below it (w = 3: one outside, one inside); an InsideFrame pen keeps all w
//    inside r.
//    FrameRect draws the same 1-pixel ring with a colour; DrawFocusRect inverts (XOR) every
//    ring pixel whose x + y is even, so drawing it twice restores the picture.
//  - LineTo(x, y) draws from the current point up to but not including (x, y), as GDI; a
//    pen of width 1 sets one pixel per step along the longer axis (Bresenham). Polyline and
//    the outline of a Polygon join such segments (a polygon's outline is closed, so every
//    vertex pixel is drawn). Pens wider than 1 are stroked along the line through the pixel
//    centres with their caps and joins: across a line through row (column) p, rows (columns)
//    p - w/2 .. p + (w-1)/2, so a side drawn "along the middle" of a border of width w that
//    starts at e, i.e. at e + w/2, covers exactly e .. e + w - 1. A flat cap ends the line
//    before its end pixel, as a thin line.
//  - Polygon and path interiors cover the pixels whose centres lie inside (vertices are
//    pixel corners), so Polygon({0,0},{10,0},{10,10},{0,10}) fills 0..9 x 0..9 and its
//    1-pixel outline then also covers column 10 and row 10.
//  - Ellipse(r) fills the pixels of r whose centres lie inside the ellipse inscribed in r
//    (as TRegion::FromEllipse); a 1-pixel pen draws the boundary pixels of that set, so the
//    figure stays within r.
//  - Dashed pens: width 1 uses 18 on / 6 off (dash), 3 on / 3 off (dot), 9-6-3-6 (dash-dot)
//    pixels; wider pens 3 on / 1 off, 1 / 1 and 3-1-1-1 in units of the width (caps
//    included in the "on" part). The gaps are left alone whatever the background mode.
//  - Text: with the default alignment (TA_TOP | TA_LEFT) the point given to TextOut is the
//    top-left of the text cell, and the baseline lies at y + Ascent: the glyphs' ink sits on
//    rows above y + Ascent, descenders on rows y + Ascent .. y + Height - 1. With
//    TA_BASELINE the y is the baseline itself, with TA_BOTTOM the bottom of the cell. TA_RIGHT
//    puts the end of the text at x, TA_CENTER its middle (start = x - advance / 2). The text
//    advances by the extent the font measures (Font.h), plus the character extra after every
//    code unit, plus the justification share after every break character (U+0020).
//  - Justification: SetTextJustification(extra, breaks) spreads `extra` pixels over the next
//    `breaks` spaces drawn, counted over all TextOut/ExtTextOut calls since: space k (from 0)
//    gets extra / breaks pixels, plus one when k < extra mod breaks; later spaces get none.
//    So a line drawn in several pieces ends where it would drawn whole. TextExtent and
//    TextFit measure as the next TextOut would draw, without using up any spaces.
//    SetTextJustification(0, 0) ends it. An ExtTextOut with a dx array ignores both the
//    character extra and the justification (and uses up no spaces).
//  - An opaque text background fills the text cell (top to top + Height) over the advance.
//    Underline and strike-out are drawn over the whole advance.
//  - Stretched transfers pick source pixels as Bitmap.h says (centre sampling, truncating).
//  - Clipping: the clip is the intersection of the clip rectangles and region given since the
//    last RestoreState, in the coordinates current when they were given, less the excluded
//    rectangles. Text, shapes and transfers are all clipped; Grab is not.
//
// A new canvas has: pen black, width 1, solid; brush white, solid; a default font (the
// TFontSpec defaults); text black on white, opaque background; TA_TOP | TA_LEFT; no extra,
// no justification; ColorOnColor stretching; origin 0, 0; no clip. Colours are resolved with
// ColorToRGB; clNone as a pen, brush, fill or text colour draws nothing.
#pragma once

#include <cstdint>
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
enum : unsigned {
  TA_NOUPDATECP = 0, TA_UPDATECP = 1, TA_LEFT = 0, TA_TOP = 0, TA_RIGHT = 2, TA_CENTER = 6, TA_BOTTOM = 8,
  TA_BASELINE = 24
};
// ExtTextOut options.
enum : unsigned { ETO_OPAQUE = 2, ETO_CLIPPED = 4 };

// The justification in effect (see the contract above): Extra pixels over Breaks spaces, of
// which Used have been drawn.
struct TTextJustification {
  int Extra = 0, Breaks = 0, Used = 0;
  friend bool operator==(const TTextJustification&, const TTextJustification&) = default;
};

class TCanvas {
 public:
  virtual ~TCanvas() = default;

  // Size of the surface in device pixels (a recording canvas answers the size it was given).
  virtual TSize Size() const = 0;

  // State. SaveState/RestoreState nest (SaveDC/RestoreDC) and cover pen, brush, font, colours,
  // modes, origin, clip, current position, character extra and justification. A
  // RestoreState without a matching SaveState does nothing.
  virtual void SaveState() = 0;
  virtual void RestoreState() = 0;
  // Sets the origin (not added to the current one): drawing at (x, y) lands on device
  // (x + dx, y + dy).
  virtual void SetOrigin(int dx, int dy) = 0;
  virtual TPoint Origin() const = 0;

  virtual void SetPen(const TPen& pen) = 0;
  virtual const TPen& Pen() const = 0;
  virtual void SetBrush(const TBrush& brush) = 0;
  virtual const TBrush& Brush() const = 0;
  // A null font selects the default font.
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
  virtual TTextJustification TextJustification() const = 0;
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

  // Text measurement with the selected font, character extra and justification: cx is the
  // advance TextOut would draw, cy the font's Height.
  virtual TSize TextExtent(const char16_t* s, int n) const;
  TSize TextExtent(std::u16string_view s) const { return TextExtent(s.data(), int(s.size())); }
  // GetTextExtentExPoint with the selected font, character extra and justification: the
  // largest count whose advance is <= maxWidth and that advance (see TPlatformFont::FitText).
  virtual int TextFit(const char16_t* s, int n, int maxWidth, int* fitCount, int* partial) const;

  // Text output at (x, y) as the alignment says. With TA_UPDATECP the x and y given are ignored:
  // the text starts at the current position (PenPos), which then moves by the advance (to the
  // right for TA_LEFT, to the left for TA_RIGHT, not at all for TA_CENTER).
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

  // Bitmaps. Monochrome sources use the text and background colours (Bitmap.h). A source with
  // alpha is drawn blended (source-over) by BitBlt and StretchBlt with SrcCopy.
  virtual void BitBlt(int dx, int dy, int w, int h, const TBitmap& src, int sx, int sy, TRop rop = TRop::SrcCopy) = 0;
  virtual void StretchBlt(int dx, int dy, int dw, int dh, const TBitmap& src, int sx, int sy, int sw, int sh,
                          TRop rop = TRop::SrcCopy) = 0;
  virtual void MaskedStretchBlt(int dx, int dy, int dw, int dh, const TBitmap& image, const TBitmap& mask, int sx,
                                int sy, int sw, int sh) = 0;
  // Copies a rectangle of this canvas's pixels into a new 24-bit bitmap (null for a recording canvas).
  virtual std::unique_ptr<TBitmap> Grab(const TRect& r) const = 0;

 protected:
  // The advance of each code unit of s[0..n) as text is drawn with `font`, `extra` pixels
  // after every unit and the justification `just`, whose Used count moves past the spaces
  // met; returns the sum. `out` may be null.
  static std::int64_t TextAdvances(const TPlatformFont& font, const char16_t* s, int n, int extra,
                                   TTextJustification& just, int* out);
};

// A canvas drawing into a 24- or 32-bit TBitmap that it does not own (which must outlive it and
// keep its size). Full raster operations. Null for other depths. Every call has finished with
// the bitmap's memory when it returns, so the pixels may be read (or shown with
// BitmapAsQImage, QtBridge.h) at any time.
//
// The viewer paints through such a canvas on an off-screen 32-bit bitmap and puts that on its
// widget; there is no canvas over a widget's own QPainter, since the raster operations and the
// masked transfers need bitmap memory.
std::unique_ptr<TCanvas> CreateBitmapCanvas(TBitmap& target);

// A canvas that draws nothing and writes one text line per call (see RecordingCanvas.h).
class TRecordingCanvas;

}  // namespace korva
