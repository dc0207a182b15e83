// A canvas that draws nothing and writes one line of text per drawing call, for tests that
// check what was drawn rather than pixels. It keeps the full state (font, colours, origin,
// clip, justification), so measuring through it works as on a real canvas.
//
// Line format (stable: layout tests compare it with expected files). Coordinates are device
// coordinates, i.e. after the origin; rectangles are l,t,r,b; sizes WxH; colours #RRGGBB
// after ColorToRGB, or "none" for clNone. Calls that draw nothing by definition (an empty
// text, a polygon of fewer than 2 points, a zero-size transfer) write nothing.
//
//   FillRect l,t,r,b #RRGGBB
//   FrameRect l,t,r,b #RRGGBB
//   FocusRect l,t,r,b
//   Rectangle l,t,r,b pen=P brush=B
//   Ellipse l,t,r,b pen=P brush=B
//   Line x0,y0 x1,y1 pen=P                       (LineTo from the current position)
//   Polyline n=N (x,y x,y ...) pen=P
//   Polygon n=N (x,y x,y ...) alternate|winding pen=P brush=B
//   StrokePath FIGURES pen=P                     FIGURES: one "(x,y x,y ...)" per figure,
//   FillPath FIGURES brush=B                     with " z" before ")" when closed, or
//   StrokeAndFillPath FIGURES pen=P brush=B      "ellipse(l,t,r,b)"
//   TextOut x,y "text" w=W font=F color=#RRGGBB bk=#RRGGBB|transparent [align=A] [extra=E] [just=X/B]
//   ExtTextOut x,y "text" w=W [opaque=l,t,r,b] [clipped=l,t,r,b] [dx=a,b,...] font=F color=... bk=...
//   BitBlt x,y WxH from Dbpp WxH at sx,sy ROP
//   StretchBlt x,y WxH from Dbpp WxH at sx,sy WxH ROP [mode=M]
//   MaskedStretchBlt x,y WxH from Dbpp WxH mask Dbpp at sx,sy WxH [mode=M]
//   IntersectClip l,t,r,b
//   ExcludeClip l,t,r,b
//   ClipRegion n=N (l,t,r,b l,t,r,b ...)
//   Save
//   Restore
//
// P (pen): "none" for a clear pen, else #RRGGBB, followed for anything but a solid pen of
//   width 1 by /width/style (solid, dash, dot, dashdot, inside) and, when not round,
//   /flat or /square and /bevel or /miter. B (brush): #RRGGBB or none.
// F (font): face/height as given in its spec, then /flags when any: b (weight >= 600), i, u,
//   s; then /cs=N when the character set is not DEFAULT_CHARSET. E.g. "Arial/-16/bu".
// Text: the x, y given (the current position with TA_UPDATECP), the text in UTF-8 within
//   double quotes with \" and \\ escaped and control characters and lone surrogates as
//   \uXXXX; w is the advance drawn (it uses up justification as drawing does). align lists
//   the non-default flags joined by '+': right or center, bottom or baseline, updatecp.
//   dx (ExtTextOut) lists the advances given.
// ROP: SrcCopy, SrcPaint, SrcAnd, SrcInvert, SrcErase, NotSrcCopy, NotSrcErase, MergePaint,
//   DstInvert, Blackness, Whiteness, or 0x%08X. mode is written only when not ColorOnColor:
//   Halftone, BlackOnWhite, WhiteOnBlack.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/CanvasState.h"

namespace korva {

class TRecordingCanvas final : public TCanvasState {
 public:
  // `size` is what Size() answers and, when not empty, the surface that an unclipped
  // ClipBox reports; with an empty size the unclipped ClipBox is +-1,000,000 on each side.
  explicit TRecordingCanvas(TSize size = {});
  ~TRecordingCanvas() override;

  const std::vector<std::string>& Lines() const { return FLines; }
  // The lines, each followed by '\n'.
  std::string Text() const;
  void Clear() { FLines.clear(); }

  TSize Size() const override { return FSize; }
  // The state is TCanvasState's; these add their lines.
  void SaveState() override;
  void RestoreState() override;
  void IntersectClipRect(const TRect& r) override;
  void ExcludeClipRect(const TRect& r) override;
  void IntersectClipRegion(const TRegion& rgn) override;

  using TCanvas::TextOut;
  void TextOut(int x, int y, const char16_t* s, int n) override;
  void ExtTextOut(int x, int y, unsigned options, const TRect* rect, const char16_t* s, int n, const int* dx) override;

  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Rectangle(const TRect& r) override;
  void FillRect(const TRect& r, TColor c) override;
  void FrameRect(const TRect& r, TColor c) override;
  void DrawFocusRect(const TRect& r) override;
  void Polygon(const std::vector<TPoint>& pts, TFillMode mode) override;
  void Polyline(const std::vector<TPoint>& pts) override;
  void Ellipse(const TRect& r) override;
  void BeginPath() override;
  void EndPath() override;
  void CloseFigure() override;
  void StrokePath() override;
  void FillPath() override;
  void StrokeAndFillPath() override;

  void BitBlt(int dx, int dy, int w, int h, const TBitmap& src, int sx, int sy, TRop rop) override;
  void StretchBlt(int dx, int dy, int dw, int dh, const TBitmap& src, int sx, int sy, int sw, int sh,
                  TRop rop) override;
  void MaskedStretchBlt(int dx, int dy, int dw, int dh, const TBitmap& image, const TBitmap& mask, int sx, int sy,
                        int sw, int sh) override;
  std::unique_ptr<TBitmap> Grab(const TRect& r) const override;

 private:
  struct TPathState;
  void RecordText(const char* verb, int x, int y, unsigned options, const TRect* rect, const char16_t* s, int n,
            const int* dx);
  void FinishPath(const char* verb, bool fill, bool stroke);
  std::string Dev(int x, int y) const;
  std::string DevRect(const TRect& r) const;
  std::string PenText() const;
  std::string BrushText() const;

  TSize FSize;
  std::vector<std::string> FLines;
  std::unique_ptr<TPathState> FPath;
};

}  // namespace korva
