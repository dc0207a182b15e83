// The canvas on a 24- or 32-bit TBitmap: shapes and text through a QPainter on a QImage that
// shares the bitmap's memory, transfers and the focus rectangle directly on that memory.
// Shapes are drawn without antialiasing and mostly as pixel spans of our own, so that they
// follow the coordinate contract of Canvas.h exactly; text is antialiased.
#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/CanvasState.h"
#include "platform/QtBridge.h"
#include "platform/QtFont.h"

namespace korva {

namespace {

// Device coordinates are kept within this, so that no sum overflows.
constexpr int CoordLimit = 1 << 26;

// Wide pens are stroked along the line through the pixels' centres, moved up and left by a
// hair: Qt's aliased rasteriser takes a pixel whose centre lies on the far edge of a shape,
// and the hair makes it take the near one instead. A width-w line through row y then covers
// rows y - w/2 .. y + (w-1)/2, and a flat-capped line ends before its end pixel like a thin one.
constexpr double StrokeShift = 0.5 - 1.0 / 64;

int ClampCoord(std::int64_t v) { return int(std::clamp<std::int64_t>(v, -CoordLimit, CoordLimit)); }

QColor ToQ(TColor c) {
  const TColor rgb = ColorToRGB(c);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TRect Normalized(const TRect& r) {
  return {std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right), std::max(r.Top, r.Bottom)};
}

// Dash patterns: pixels for 1-pixel pens, units of the width for wider ones.
const std::vector<int>* CosmeticPattern(TPenStyle style) {
  static const std::vector<int> dash{18, 6}, dot{3, 3}, dashDot{9, 6, 3, 6};
  switch (style) {
    case TPenStyle::Dash: return &dash;
    case TPenStyle::Dot: return &dot;
    case TPenStyle::DashDot: return &dashDot;
    default: return nullptr;
  }
}

bool PatternOn(const std::vector<int>& pattern, std::int64_t pos) {
  int period = 0;
  for (int v : pattern) period += v;
  int p = int(pos % period);
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (p < pattern[i]) return i % 2 == 0;
    p -= pattern[i];
  }
  return false;
}

QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

class TBitmapCanvas final : public TCanvasState {
 public:
  explicit TBitmapCanvas(TBitmap& target);
  ~TBitmapCanvas() override { EndPainting(); }

  TSize Size() const override { return {FTarget.Width(), FTarget.Height()}; }
  void TextOut(int x, int y, const char16_t* s, int n) override { DrawText(x, y, 0, nullptr, s, n, nullptr); }
  void ExtTextOut(int x, int y, unsigned options, const TRect* rect, const char16_t* s, int n, const int* dx) override {
    DrawText(x, y, options, rect, s, n, dx);
  }

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
  void EndPath() override { FInPath = false; }
  void CloseFigure() override {
    if (FInPath) FPath.closeSubpath();
  }
  void StrokePath() override { FinishPath(false, true); }
  void FillPath() override { FinishPath(true, false); }
  void StrokeAndFillPath() override { FinishPath(true, true); }

  void BitBlt(int dx, int dy, int w, int h, const TBitmap& src, int sx, int sy, TRop rop) override;
  void StretchBlt(int dx, int dy, int dw, int dh, const TBitmap& src, int sx, int sy, int sw, int sh,
                  TRop rop) override;
  void MaskedStretchBlt(int dx, int dy, int dw, int dh, const TBitmap& image, const TBitmap& mask, int sx, int sy,
                        int sw, int sh) override;
  std::unique_ptr<TBitmap> Grab(const TRect& r) const override;

 private:
  int DX(int x) const { return ClampCoord(std::int64_t(x) + FState.Origin.x); }
  int DY(int y) const { return ClampCoord(std::int64_t(y) + FState.Origin.y); }
  QPoint Dev(TPoint p) const { return {DX(p.x), DY(p.y)}; }
  QRect DevRect(const TRect& r) const {
    const int l = DX(r.Left), t = DY(r.Top), rt = DX(r.Right), b = DY(r.Bottom);
    if (rt <= l || b <= t) return {};
    return QRect(l, t, rt - l, b - t);
  }

  QPainter* Painter();
  void EndPainting() {
    if (FPainting) {
      FPainter.end();
      FPainting = false;
    }
  }
  void ClipChanged() override { ApplyClip(); }
  // Puts the clip on the painter, converting it to a QRegion only when it has changed.
  void ApplyClip() {
    if (!FPainting) return;
    if (!FState.Clipped) {
      FPainter.setClipping(false);
      return;
    }
    if (!FQClipValid || !(FQClipSource == FState.Clip)) {
      const std::vector<TRect> rects = FState.Clip.Rects();
      std::vector<QRect> dev;
      dev.reserve(rects.size());
      for (const TRect& r : rects) dev.push_back(ToQRect(r));
      FQClip = QRegion();
      if (!dev.empty()) FQClip.setRects(dev.data(), int(dev.size()));
      FQClipSource = FState.Clip;
      FQClipValid = true;
    }
    FPainter.setClipRegion(FQClip);
  }
  bool PenVisible() const { return FState.Pen.Style != TPenStyle::Clear && FState.Pen.Color != clNone; }
  bool BrushVisible() const { return FState.Brush.Style != TBrushStyle::Clear && FState.Brush.Color != clNone; }
  TBltColors BltColors() const { return {ColorToRGB(FState.TextColor), ColorToRGB(FState.BkColor)}; }

  void FillDev(QRect r, const QColor& c);
  void FillRing(const QRect& outer, int w, const QColor& c);
  // 1-pixel lines as spans, collected and then filled.
  void AddPixel(int x, int y);
  void FlushSpans(const QColor& c);
  void CosmeticLine(QPoint a, QPoint b, std::int64_t& patternPos, const std::vector<int>* pattern);
  void Outline(const std::vector<QPoint>& pts, bool closed);
  QPen WidePen() const;
  void DrawText(int x, int y, unsigned options, const TRect* rect, const char16_t* s, int n, const int* dx);
  void FinishPath(bool fill, bool stroke);
  // Runs a transfer into the visible part of dst bounds: directly when nothing is clipped
  // away, else through a scratch copy of the visible area put back rectangle by rectangle.
  template <class TDraw>
  void ClippedTransfer(const QRect& bounds, TDraw draw);

  TBitmap& FTarget;
  QImage FImage;
  QRect FSurface;
  QPainter FPainter;
  bool FPainting = false;
  // The clip as last given to the painter.
  TRegion FQClipSource;
  QRegion FQClip;
  bool FQClipValid = false;
  bool FInPath = false, FFigureOpen = false;
  QPainterPath FPath;  // device coordinates
  std::vector<QRect> FSpans;
  std::vector<int> FAdvances;
  std::vector<TGlyphRef> FGlyphs;
};

TBitmapCanvas::TBitmapCanvas(TBitmap& target)
    : TCanvasState(TRect{0, 0, target.Width(), target.Height()}),
      FTarget(target),
      FImage(BitmapAsQImage(target)),
      FSurface(0, 0, target.Width(), target.Height()) {}

QPainter* TBitmapCanvas::Painter() {
  if (FImage.isNull()) return nullptr;
  if (!FPainting) {
    if (!FPainter.begin(&FImage)) return nullptr;
    FPainting = true;
    FPainter.setRenderHint(QPainter::Antialiasing, false);
    FPainter.setRenderHint(QPainter::TextAntialiasing, true);
    ApplyClip();
  }
  return &FPainter;
}

// ---- pixels and spans ----

void TBitmapCanvas::FillDev(QRect r, const QColor& c) {
  r = r.intersected(FSurface);
  if (r.isEmpty()) return;
  if (QPainter* p = Painter()) p->fillRect(r, c);
}

// The ring of width w just inside `outer`.
void TBitmapCanvas::FillRing(const QRect& outer, int w, const QColor& c) {
  if (outer.isEmpty()) return;
  if (outer.width() <= 2 * w || outer.height() <= 2 * w) {
    FillDev(outer, c);
    return;
  }
  FillDev(QRect(outer.left(), outer.top(), outer.width(), w), c);
  FillDev(QRect(outer.left(), outer.bottom() - w + 1, outer.width(), w), c);
  FillDev(QRect(outer.left(), outer.top() + w, w, outer.height() - 2 * w), c);
  FillDev(QRect(outer.right() - w + 1, outer.top() + w, w, outer.height() - 2 * w), c);
}

void TBitmapCanvas::AddPixel(int x, int y) {
  if (!FSpans.empty()) {
    QRect& last = FSpans.back();
    if (last.height() == 1 && last.top() == y) {
      if (x == last.right() + 1) {
        last.setRight(x);
        return;
      }
      if (x == last.left() - 1) {
        last.setLeft(x);
        return;
      }
    }
    if (last.width() == 1 && last.left() == x) {
      if (y == last.bottom() + 1) {
        last.setBottom(y);
        return;
      }
      if (y == last.top() - 1) {
        last.setTop(y);
        return;
      }
    }
  }
  FSpans.emplace_back(x, y, 1, 1);
}

void TBitmapCanvas::FlushSpans(const QColor& c) {
  for (const QRect& r : FSpans) FillDev(r, c);
  FSpans.clear();
}

// From a up to but not including b, one pixel per step on the longer axis; the minor
// coordinate of step i is a's plus i * minor / major rounded half up. Only the steps that can
// land on the surface are walked, so a line of any length costs at most the surface size.
void TBitmapCanvas::CosmeticLine(QPoint a, QPoint b, std::int64_t& patternPos, const std::vector<int>* pattern) {
  const std::int64_t dx = std::int64_t(b.x()) - a.x(), dy = std::int64_t(b.y()) - a.y();
  const std::int64_t adx = std::llabs(dx), ady = std::llabs(dy);
  const std::int64_t len = std::max(adx, ady);
  if (len == 0) return;
  const bool xMajor = adx >= ady;
  const std::int64_t m0 = xMajor ? a.x() : a.y(), n0 = xMajor ? a.y() : a.x();
  const int sm = (xMajor ? dx : dy) > 0 ? 1 : -1, sn = (xMajor ? dy : dx) >= 0 ? 1 : -1;
  const std::int64_t amaj = xMajor ? adx : ady, amin = xMajor ? ady : adx;
  const std::int64_t lo = 0, hi = (xMajor ? FSurface.width() : FSurface.height()) - 1;
  const std::int64_t minorSize = xMajor ? FSurface.height() : FSurface.width();
  std::int64_t i0, i1;
  if (sm > 0) {
    i0 = std::max<std::int64_t>(0, lo - m0);
    i1 = std::min<std::int64_t>(len - 1, hi - m0);
  } else {
    i0 = std::max<std::int64_t>(0, m0 - hi);
    i1 = std::min<std::int64_t>(len - 1, m0 - lo);
  }
  for (std::int64_t i = i0; i <= i1; ++i) {
    if (pattern && !PatternOn(*pattern, patternPos + i)) continue;
    const std::int64_t m = m0 + sm * i;
    const std::int64_t nn = n0 + sn * ((2 * i * amin + amaj) / (2 * amaj));
    if (nn < 0 || nn >= minorSize) continue;
    if (xMajor) AddPixel(int(m), int(nn));
    else AddPixel(int(nn), int(m));
  }
  patternPos += len;
}

QPen TBitmapCanvas::WidePen() const {
  const int w = std::max(1, FState.Pen.Width);
  Qt::PenCapStyle cap = FState.Pen.Cap == TPenCap::Square ? Qt::SquareCap : FState.Pen.Cap == TPenCap::Flat ? Qt::FlatCap : Qt::RoundCap;
  Qt::PenJoinStyle join =
      FState.Pen.Join == TPenJoin::Bevel ? Qt::BevelJoin : FState.Pen.Join == TPenJoin::Miter ? Qt::MiterJoin : Qt::RoundJoin;
  QPen pen(ToQ(FState.Pen.Color), w, Qt::SolidLine, cap, join);
  QList<qreal> pattern;
  switch (FState.Pen.Style) {
    case TPenStyle::Dash: pattern = {3, 1}; break;
    case TPenStyle::Dot: pattern = {1, 1}; break;
    case TPenStyle::DashDot: pattern = {3, 1, 1, 1}; break;
    default: break;
  }
  if (!pattern.isEmpty()) {
    // Square and round caps add half the width at both ends of every dash: take it out of
    // the dash and give it to the gap, so that the pattern is what is seen.
    // The caps then stick out by half a unit before each dash: start the pattern half a unit
    // before its end so that the first dash still begins on the line's first pixel.
    if (cap != Qt::FlatCap) {
      qreal period = 0;
      for (int i = 0; i < pattern.size(); i += 2) {
        pattern[i] -= 1;
        pattern[i + 1] += 1;
        period += pattern[i] + pattern[i + 1];
      }
      pen.setDashPattern(pattern);
      pen.setDashOffset(period - 0.5);
    } else {
      pen.setDashPattern(pattern);
    }
  }
  return pen;
}

// A pen outline along device points (vertices are pixels).
void TBitmapCanvas::Outline(const std::vector<QPoint>& pts, bool closed) {
  if (pts.size() < 2 || !PenVisible()) return;
  if (FState.Pen.Width <= 1) {
    const std::vector<int>* pattern = CosmeticPattern(FState.Pen.Style);
    std::int64_t pos = 0;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) CosmeticLine(pts[i], pts[i + 1], pos, pattern);
    if (closed) CosmeticLine(pts.back(), pts.front(), pos, pattern);
    FlushSpans(ToQ(FState.Pen.Color));
    return;
  }
  QPainter* p = Painter();
  if (!p) return;
  QPolygonF poly;
  for (const QPoint& q : pts) poly << QPointF(q.x() + StrokeShift, q.y() + StrokeShift);
  QPainterPath path;
  path.addPolygon(poly);
  if (closed) path.closeSubpath();
  p->strokePath(path, WidePen());
}

// ---- shapes ----

void TBitmapCanvas::MoveTo(int x, int y) {
  FState.PenPos = {x, y};
  if (FInPath) {
    FPath.moveTo(Dev(FState.PenPos));
    FFigureOpen = true;
  }
}

void TBitmapCanvas::LineTo(int x, int y) {
  const TPoint from = FState.PenPos;
  FState.PenPos = {x, y};
  if (FInPath) {
    if (!FFigureOpen) FPath.moveTo(Dev(from));
    FPath.lineTo(Dev(FState.PenPos));
    FFigureOpen = true;
    return;
  }
  Outline({Dev(from), Dev(FState.PenPos)}, false);
}

void TBitmapCanvas::Polyline(const std::vector<TPoint>& pts) {
  if (pts.size() < 2) return;
  if (FInPath) {
    FPath.moveTo(Dev(pts[0]));
    for (std::size_t i = 1; i < pts.size(); ++i) FPath.lineTo(Dev(pts[i]));
    FFigureOpen = true;
    return;
  }
  std::vector<QPoint> dev;
  dev.reserve(pts.size());
  for (const TPoint& p : pts) dev.push_back(Dev(p));
  Outline(dev, false);
}

void TBitmapCanvas::FillRect(const TRect& r, TColor c) {
  if (c == clNone) return;
  FillDev(DevRect(r), ToQ(c));
}

void TBitmapCanvas::FrameRect(const TRect& r, TColor c) {
  if (c == clNone) return;
  FillRing(DevRect(r), 1, ToQ(c));
}

void TBitmapCanvas::Rectangle(const TRect& rect) {
  const QRect dev = DevRect(Normalized(rect));
  if (FInPath) {
    if (dev.isEmpty()) return;
    FPath.addRect(QRectF(dev));
    FFigureOpen = false;
    return;
  }
  if (dev.isEmpty()) return;
  const bool pen = PenVisible();
  const int w = std::max(1, FState.Pen.Width);
  if (!pen) {
    if (BrushVisible()) FillDev(dev, ToQ(FState.Brush.Color));
    return;
  }
  // The pen's band on each side: `before` pixels left of / above the ring pixel, `after`
  // right of / below it (all inside for InsideFrame).
  const bool inside = FState.Pen.Style == TPenStyle::InsideFrame;
  const int before = inside ? 0 : w / 2, after = inside ? w - 1 : (w - 1) / 2;
  const int l = dev.left(), t = dev.top(), r = dev.right(), b = dev.bottom();
  const QRect inner(QPoint(l + after + 1, t + after + 1), QPoint(r - (inside ? w : before + 1), b - (inside ? w : before + 1)));
  if (BrushVisible() && inner.isValid()) FillDev(inner, ToQ(FState.Brush.Color));
  if (FState.Pen.Style == TPenStyle::Solid || inside) {
    const QColor c = ToQ(FState.Pen.Color);
    const int rl = inside ? r - w + 1 : r - before, bt = inside ? b - w + 1 : b - before;
    const int ol = l - before, ot = t - before, orr = inside ? r : r + after, ob = inside ? b : b + after;
    FillDev(QRect(QPoint(ol, ot), QPoint(orr, t + after)), c);         // top
    FillDev(QRect(QPoint(ol, bt), QPoint(orr, ob)), c);                // bottom
    FillDev(QRect(QPoint(ol, ot), QPoint(l + after, ob)), c);          // left
    FillDev(QRect(QPoint(rl, ot), QPoint(orr, ob)), c);                // right
  } else if (w == 1) {
    if (l == r || t == b) {
      FillDev(dev, ToQ(FState.Pen.Color));
      return;
    }
    Outline({QPoint(l, t), QPoint(r, t), QPoint(r, b), QPoint(l, b)}, true);
  } else {
    Outline({dev.topLeft(), dev.topRight(), dev.bottomRight(), dev.bottomLeft()}, true);
  }
}

void TBitmapCanvas::DrawFocusRect(const TRect& rect) {
  const QRect dev = DevRect(rect);
  if (dev.isEmpty()) return;
  EndPainting();
  const int bytes = FTarget.BitsPerPixel() / 8;
  auto invert = [&](int x, int y) {
    if (((x + y) & 1) != 0 || !FSurface.contains(x, y) || (FState.Clipped && !FState.Clip.Contains(x, y))) return;
    std::uint8_t* p = FTarget.ScanLine(y) + std::size_t(x) * bytes;
    p[0] ^= 0xFF;
    p[1] ^= 0xFF;
    p[2] ^= 0xFF;
  };
  const int l = std::max(dev.left(), -1), r = std::min(dev.right(), FSurface.width());
  const int t = std::max(dev.top(), -1), b = std::min(dev.bottom(), FSurface.height());
  // Each ring pixel once, also for rectangles one pixel wide or high.
  for (int x = l; x <= r; ++x) {
    invert(x, dev.top());
    if (dev.bottom() != dev.top()) invert(x, dev.bottom());
  }
  for (int y = t; y <= b; ++y) {
    if (y == dev.top() || y == dev.bottom()) continue;
    invert(dev.left(), y);
    if (dev.right() != dev.left()) invert(dev.right(), y);
  }
}

void TBitmapCanvas::Polygon(const std::vector<TPoint>& pts, TFillMode mode) {
  if (pts.size() < 2) return;
  if (FInPath) {
    FPath.moveTo(Dev(pts[0]));
    for (std::size_t i = 1; i < pts.size(); ++i) FPath.lineTo(Dev(pts[i]));
    FPath.closeSubpath();
    FFigureOpen = false;
    return;
  }
  std::vector<QPoint> dev;
  dev.reserve(pts.size());
  for (const TPoint& p : pts) dev.push_back(Dev(p));
  if (BrushVisible() && pts.size() >= 3) {
    if (QPainter* p = Painter()) {
      p->setPen(Qt::NoPen);
      p->setBrush(ToQ(FState.Brush.Color));
      p->drawPolygon(dev.data(), int(dev.size()), mode == TFillMode::Winding ? Qt::WindingFill : Qt::OddEvenFill);
      p->setBrush(Qt::NoBrush);
    }
  }
  Outline(dev, true);
}

void TBitmapCanvas::Ellipse(const TRect& rect) {
  const QRect dev = DevRect(Normalized(rect));
  if (dev.isEmpty()) return;
  if (FInPath) {
    FPath.addEllipse(QRectF(dev));
    FFigureOpen = false;
    return;
  }
  // The columns of row y whose pixel centres lie inside, in exact integers: with
  // u = 2x + 1 - (L + R) and v = 2y + 1 - (T + B), inside when u^2 h^2 + v^2 w^2 <= w^2 h^2.
  using i128 = __int128;
  const std::int64_t w = dev.width(), h = dev.height();
  const std::int64_t lr = 2 * std::int64_t(dev.left()) + w, tb = 2 * std::int64_t(dev.top()) + h;
  auto span = [&](int y, int& xl, int& xr) {
    if (y < dev.top() || y > dev.bottom()) return false;
    const std::int64_t v = 2 * std::int64_t(y) + 1 - tb;
    const i128 h2 = i128(h) * h;
    const i128 rhs = i128(w) * w * (h2 - i128(v) * v);
    if (rhs < 0) return false;
    std::int64_t u = std::int64_t(std::sqrt(double(rhs) / double(h2)));
    while (u > 0 && i128(u) * u * h2 > rhs) --u;
    while (i128(u + 1) * (u + 1) * h2 <= rhs) ++u;
    // x from ceil((lr - u - 1) / 2) to floor((lr + u - 1) / 2)
    auto floorDiv2 = [](std::int64_t a) { return a >= 0 ? a / 2 : -((-a + 1) / 2); };
    const std::int64_t lo = -floorDiv2(-(lr - u - 1)), hi = floorDiv2(lr + u - 1);
    if (lo > hi) return false;
    xl = int(lo);
    xr = int(hi);
    return true;
  };
  const int y0 = std::max(dev.top(), -1), y1 = std::min(dev.bottom(), FSurface.height());
  if (BrushVisible()) {
    const QColor c = ToQ(FState.Brush.Color);
    for (int y = y0; y <= y1; ++y) {
      int xl, xr;
      if (span(y, xl, xr)) FillDev(QRect(xl, y, xr - xl + 1, 1), c);
    }
  }
  if (!PenVisible()) return;
  if (FState.Pen.Width <= 1) {
    // The boundary pixels of the filled set: those with a 4-neighbour outside it.
    const QColor c = ToQ(FState.Pen.Color);
    for (int y = y0; y <= y1; ++y) {
      int xl, xr, ul, ur, dl, dr;
      if (!span(y, xl, xr)) continue;
      if (!span(y - 1, ul, ur) || !span(y + 1, dl, dr)) {
        FillDev(QRect(xl, y, xr - xl + 1, 1), c);
        continue;
      }
      const int leftEnd = std::max(xl, std::max(ul, dl) - 1), rightStart = std::min(xr, std::min(ur, dr) + 1);
      if (leftEnd + 1 >= rightStart) {
        FillDev(QRect(xl, y, xr - xl + 1, 1), c);
      } else {
        FillDev(QRect(xl, y, leftEnd - xl + 1, 1), c);
        FillDev(QRect(rightStart, y, xr - rightStart + 1, 1), c);
      }
    }
    return;
  }
  if (QPainter* p = Painter()) {
    const int w = FState.Pen.Width;
    QRectF box(dev.left() + StrokeShift, dev.top() + StrokeShift, dev.width() - 1.0, dev.height() - 1.0);
    if (FState.Pen.Style == TPenStyle::InsideFrame) box.adjust(w / 2.0 - 0.5, w / 2.0 - 0.5, 0.5 - w / 2.0, 0.5 - w / 2.0);
    QPainterPath path;
    path.addEllipse(box);
    p->strokePath(path, WidePen());
  }
}

// ---- paths ----

void TBitmapCanvas::BeginPath() {
  FInPath = true;
  FFigureOpen = false;
  FPath = QPainterPath();
  FPath.setFillRule(Qt::OddEvenFill);
}

void TBitmapCanvas::FinishPath(bool fill, bool stroke) {
  FInPath = false;
  FFigureOpen = false;
  QPainterPath path;
  std::swap(path, FPath);
  if (path.isEmpty()) return;
  if (fill && BrushVisible()) {
    if (QPainter* p = Painter()) p->fillPath(path, ToQ(FState.Brush.Color));
  }
  if (!stroke || !PenVisible()) return;
  if (FState.Pen.Width > 1) {
    if (QPainter* p = Painter()) p->strokePath(path.translated(StrokeShift, StrokeShift), WidePen());
    return;
  }
  // 1-pixel pens: every figure as a polyline of its flattened outline.
  for (const QPolygonF& poly : path.toSubpathPolygons()) {
    std::vector<QPoint> pts;
    for (const QPointF& q : poly) pts.emplace_back(int(std::floor(q.x() + 0.5)), int(std::floor(q.y() + 0.5)));
    const bool closed = pts.size() > 2 && pts.front() == pts.back();
    if (closed) pts.pop_back();
    Outline(pts, closed);
  }
}

// ---- text ----

void TBitmapCanvas::DrawText(int x, int y, unsigned options, const TRect* rect, const char16_t* s, int n,
                             const int* dx) {
  if (!s || n < 0) n = 0;
  const bool updateCp = (FState.Align & TA_UPDATECP) != 0;
  if (updateCp) {
    x = FState.PenPos.x;
    y = FState.PenPos.y;
  }
  const TPlatformFont& font = *FState.Font;
  const TTextMetric& m = font.Metrics();
  FAdvances.resize(std::size_t(n));
  std::int64_t total = 0;
  if (dx) {
    for (int i = 0; i < n; ++i) {
      FAdvances[std::size_t(i)] = dx[i];
      total += dx[i];
    }
  } else {
    total = TextAdvances(font, s, n, FState.CharExtra, FState.Just, FAdvances.data());
  }
  const int advance = int(std::clamp<std::int64_t>(total, -CoordLimit, CoordLimit));
  const unsigned h = FState.Align & TA_CENTER, v = FState.Align & TA_BASELINE;
  int start = DX(x);
  if (h == TA_RIGHT) start = ClampCoord(std::int64_t(start) - advance);
  else if (h == TA_CENTER) start = ClampCoord(std::int64_t(start) - advance / 2);
  const int devY = DY(y);
  const int baseline = v == TA_BASELINE ? devY : v == TA_BOTTOM ? devY - m.Descent : devY + m.Ascent;
  const int top = baseline - m.Ascent;
  if (updateCp) {
    if (h == TA_LEFT) FState.PenPos.x = ClampCoord(std::int64_t(FState.PenPos.x) + advance);
    else if (h == TA_RIGHT) FState.PenPos.x = ClampCoord(std::int64_t(FState.PenPos.x) - advance);
  }

  QPainter* p = Painter();
  if (!p) return;
  const QRect devRect = rect ? DevRect(*rect) : QRect();
  if (rect && (options & ETO_OPAQUE) && FState.BkColor != clNone) FillDev(devRect, ToQ(FState.BkColor));
  if (n == 0) return;
  const bool clipped = rect && (options & ETO_CLIPPED);
  if (clipped) {
    p->save();
    p->setClipRect(devRect, p->hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
  }
  const int left = std::min(start, start + advance), width = std::abs(advance);
  if (FState.BkMode == TBkMode::Opaque && FState.BkColor != clNone) FillDev(QRect(left, top, width, m.Height), ToQ(FState.BkColor));

  if (FState.TextColor != clNone) {
    const TFontFace* face = FaceOf(font);
    TPlatformFontPtr substitute;
    if (!face) {
      substitute = TPlatformFont::Create(font.Spec());
      face = FaceOf(*substitute);
    }
    FGlyphs.resize(std::size_t(n));
    face->Glyphs(s, n, FGlyphs.data());
    const QColor color = ToQ(FState.TextColor);
    p->setPen(color);
    QList<quint32> glyphs;
    QList<QPointF> positions;
    std::int64_t penX = start;
    int runFont = -1;
    auto flush = [&]() {
      if (runFont >= 0 && !glyphs.isEmpty()) {
        QGlyphRun run;
        run.setRawFont(face->RawFont(runFont));
        run.setGlyphIndexes(glyphs);
        run.setPositions(positions);
        p->drawGlyphRun(QPointF(0, 0), run);
      }
      glyphs.clear();
      positions.clear();
    };
    for (int i = 0; i < n; ++i) {
      const TGlyphRef& g = FGlyphs[std::size_t(i)];
      if (g.Font >= 0 && penX > -CoordLimit && penX < CoordLimit) {
        if (g.Font != runFont) {
          flush();
          runFont = g.Font;
        }
        glyphs.append(g.Glyph);
        positions.append(QPointF(double(penX), double(baseline)));
      }
      penX += FAdvances[std::size_t(i)];
    }
    flush();
    if (font.Spec().Underline || font.Spec().StrikeOut) {
      const int thick = face->LineThickness();
      if (font.Spec().Underline) FillDev(QRect(left, baseline + face->UnderlineTop(), width, thick), color);
      if (font.Spec().StrikeOut) FillDev(QRect(left, baseline + face->StrikeOutTop(), width, thick), color);
    }
  }
  if (clipped) p->restore();
}

// ---- transfers ----

template <class TDraw>
void TBitmapCanvas::ClippedTransfer(const QRect& bounds, TDraw draw) {
  const QRect b = bounds.intersected(FSurface);
  if (b.isEmpty()) return;
  EndPainting();
  if (!FState.Clipped) {
    draw(FTarget, 0, 0);
    return;
  }
  const TRect bt{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
  const TRegion visible = FState.Clip.Combine(TRegion::FromRect(bt), TRegionOp::And);
  if (visible.IsEmpty()) return;
  const std::vector<TRect> parts = visible.Rects();
  if (parts.size() == 1 && parts.front() == bt) {
    draw(FTarget, 0, 0);
    return;
  }
  const TRect v = visible.BoundingBox();
  std::unique_ptr<TBitmap> scratch = TBitmap::Create(v.Width(), v.Height(), FTarget.BitsPerPixel());
  if (!scratch) return;
  korva::BitBlt(*scratch, 0, 0, v.Width(), v.Height(), FTarget, v.Left, v.Top);
  draw(*scratch, v.Left, v.Top);
  for (const TRect& r : parts)
    korva::BitBlt(FTarget, r.Left, r.Top, r.Width(), r.Height(), *scratch, r.Left - v.Left, r.Top - v.Top);
}

void TBitmapCanvas::BitBlt(int dx, int dy, int w, int h, const TBitmap& src, int sx, int sy, TRop rop) {
  if (w <= 0 || h <= 0) return;
  const int ddx = DX(dx), ddy = DY(dy);
  const QRect dest = QRect(ddx, ddy, std::min(w, CoordLimit), std::min(h, CoordLimit)).intersected(FSurface);
  if (dest.isEmpty()) return;
  EndPainting();
  const TBltColors colors = BltColors();
  if (!FState.Clipped) {
    korva::BitBlt(FTarget, ddx, ddy, w, h, src, sx, sy, rop, colors);
    return;
  }
  // Unstretched: each visible rectangle is a transfer of its own. A copy within the target
  // reads from a snapshot, so that one rectangle does not read what another has written.
  const TBitmap* source = &src;
  std::unique_ptr<TBitmap> snapshot;
  const std::vector<TRect> clip = FState.Clip.Rects();
  if (&src == &FTarget && clip.size() > 1) {
    snapshot = FTarget.Clone();
    if (!snapshot) return;
    source = snapshot.get();
  }
  for (const TRect& c : clip) {
    const QRect part = ToQRect(c).intersected(dest);
    if (part.isEmpty()) continue;
    korva::BitBlt(FTarget, part.x(), part.y(), part.width(), part.height(), *source, sx + (part.x() - ddx),
                  sy + (part.y() - ddy), rop, colors);
  }
}

namespace {

// The destination columns (or rows) of a stretched transfer: a negative extent lies before
// the start edge.
void StretchSpan(int d, int extent, int& from, int& size) {
  const std::int64_t a = extent >= 0 ? std::int64_t(d) : std::int64_t(d) + extent;
  from = ClampCoord(a);
  size = int(std::min<std::int64_t>(std::llabs(std::int64_t(extent)), CoordLimit));
}

}  // namespace

void TBitmapCanvas::StretchBlt(int dx, int dy, int dw, int dh, const TBitmap& src, int sx, int sy, int sw, int sh,
                               TRop rop) {
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return;
  const int ddx = DX(dx), ddy = DY(dy);
  int bx, bw, by, bh;
  StretchSpan(ddx, dw, bx, bw);
  StretchSpan(ddy, dh, by, bh);
  const TBltColors colors = BltColors();
  const TStretchMode mode = FState.Stretch;
  ClippedTransfer(QRect(bx, by, bw, bh), [&](TBitmap& dst, int ox, int oy) {
    korva::StretchBlt(dst, ddx - ox, ddy - oy, dw, dh, src, sx, sy, sw, sh, rop, mode, colors);
  });
}

void TBitmapCanvas::MaskedStretchBlt(int dx, int dy, int dw, int dh, const TBitmap& image, const TBitmap& mask,
                                     int sx, int sy, int sw, int sh) {
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return;
  const int ddx = DX(dx), ddy = DY(dy);
  int bx, bw, by, bh;
  StretchSpan(ddx, dw, bx, bw);
  StretchSpan(ddy, dh, by, bh);
  const TStretchMode mode = FState.Stretch == TStretchMode::Halftone ? TStretchMode::Halftone : TStretchMode::ColorOnColor;
  ClippedTransfer(QRect(bx, by, bw, bh), [&](TBitmap& dst, int ox, int oy) {
    korva::MaskedStretchBlt(dst, ddx - ox, ddy - oy, dw, dh, image, mask, sx, sy, sw, sh, mode);
  });
}

std::unique_ptr<TBitmap> TBitmapCanvas::Grab(const TRect& r) const {
  if (r.IsEmpty()) return nullptr;
  auto out = TBitmap::Create(r.Width(), r.Height(), 24);
  if (!out) return nullptr;
  // Pending painting must be in memory first; the painter is ours, so end it.
  const_cast<TBitmapCanvas*>(this)->EndPainting();
  korva::BitBlt(*out, 0, 0, r.Width(), r.Height(), FTarget, DX(r.Left), DY(r.Top));
  return out;
}

}  // namespace

std::unique_ptr<TCanvas> CreateBitmapCanvas(TBitmap& target) {
  if (target.BitsPerPixel() != 24 && target.BitsPerPixel() != 32) return nullptr;
  return std::make_unique<TBitmapCanvas>(target);
}

}  // namespace korva
