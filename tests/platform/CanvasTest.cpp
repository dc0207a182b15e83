#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Canvas.h"

using namespace korva;

namespace {

struct TSurface {
  std::unique_ptr<TBitmap> Bmp;
  std::unique_ptr<TCanvas> C;
  explicit TSurface(int w, int h, int bpp = 32, TColor bg = clWhite) {
    Bmp = TBitmap::Create(w, h, bpp);
    Bmp->Fill(bg);
    C = CreateBitmapCanvas(*Bmp);
  }
  TColor At(int x, int y) const { return Bmp->GetPixel(x, y); }
  // One string per row: '#' where the pixel is `c`, '.' elsewhere.
  std::string Art(TColor c, int w = -1, int h = -1) const {
    if (w < 0) w = Bmp->Width();
    if (h < 0) h = Bmp->Height();
    std::string out;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) out += At(x, y) == c ? '#' : '.';
      out += '\n';
    }
    return out;
  }
  // The box around every pixel that is not `bg` (empty when none).
  TRect Ink(TColor bg = clWhite) const {
    TRect r{1 << 30, 1 << 30, -(1 << 30), -(1 << 30)};
    for (int y = 0; y < Bmp->Height(); ++y)
      for (int x = 0; x < Bmp->Width(); ++x)
        if (At(x, y) != bg) r = {std::min(r.Left, x), std::min(r.Top, y), std::max(r.Right, x + 1), std::max(r.Bottom, y + 1)};
    return r.IsEmpty() ? TRect{} : r;
  }
  int Count(TColor c) const {
    int n = 0;
    for (int y = 0; y < Bmp->Height(); ++y)
      for (int x = 0; x < Bmp->Width(); ++x) n += At(x, y) == c;
    return n;
  }
};

std::string Rows(std::initializer_list<const char*> rows) {
  std::string out;
  for (const char* r : rows) out += std::string(r) + "\n";
  return out;
}

TPlatformFontPtr Font(const char* name, int height, bool underline = false) {
  TFontSpec spec;
  spec.Name = name;
  spec.Height = height;
  spec.Underline = underline;
  return TPlatformFont::Create(spec);
}

constexpr TColor Red = RGBColor(255, 0, 0), Green = RGBColor(0, 255, 0), Blue = RGBColor(0, 0, 255);

}  // namespace

TEST(BitmapCanvasTest, OnlyTrueColourTargets) {
  auto b8 = TBitmap::Create(4, 4, 8);
  EXPECT_EQ(CreateBitmapCanvas(*b8), nullptr);
  auto b24 = TBitmap::Create(4, 4, 24);
  auto c = CreateBitmapCanvas(*b24);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->Size(), (TSize{4, 4}));
  // Defaults as documented.
  EXPECT_EQ(c->Pen(), TPen{});
  EXPECT_EQ(c->Brush(), TBrush{});
  EXPECT_EQ(c->BkMode(), TBkMode::Opaque);
  EXPECT_EQ(c->TextAlign(), TA_TOP | TA_LEFT);
  ASSERT_NE(c->Font(), nullptr);
  EXPECT_EQ(c->Font()->Spec(), TFontSpec{});
  auto empty = TBitmap::Create(0, 0, 32);
  auto ce = CreateBitmapCanvas(*empty);
  ce->FillRect({0, 0, 5, 5}, Red);  // nothing to draw on, nothing breaks
  ce->TextOut(0, 0, u"x");
}

TEST(BitmapCanvasTest, FillRectCoversExactlyItsPixels) {
  for (int bpp : {24, 32}) {
    TSurface s(8, 6, bpp);
    s.C->FillRect({2, 1, 6, 4}, Red);
    s.C->FillRect({7, 5, 7, 9}, Red);  // empty: nothing
    s.C->FillRect({1, 5, 3, 6}, clNone);
    EXPECT_EQ(s.Art(Red), Rows({"........", "..####..", "..####..", "..####..", "........", "........"})) << bpp;
    EXPECT_EQ(s.At(2, 1), Red);
    EXPECT_EQ(s.At(0, 0), clWhite);
  }
}

TEST(BitmapCanvasTest, RectangleRingAndInterior) {
  TSurface s(10, 8);
  s.C->SetBrush({Green});
  s.C->Rectangle({1, 1, 7, 6});
  EXPECT_EQ(s.Art(clBlack), Rows({"..........", ".######...", ".#....#...", ".#....#...", ".#....#...", ".######...",
                                  "..........", ".........."}));
  EXPECT_EQ(s.Art(Green), Rows({"..........", "..........", "..####....", "..####....", "..####....", "..........",
                                "..........", ".........."}));

  // Width 3: one pixel outside, the ring pixel, one inside.
  TSurface t(12, 12);
  t.C->SetPen({clBlack, 3});
  t.C->SetBrush({Green});
  t.C->Rectangle({2, 2, 10, 10});
  EXPECT_EQ(t.Art(clBlack), Rows({"............", ".##########.", ".##########.", ".##########.", ".###....###.",
                                  ".###....###.", ".###....###.", ".###....###.", ".##########.", ".##########.",
                                  ".##########.", "............"}));
  EXPECT_EQ(t.Count(Green), 16);

  // An inside-frame pen stays within the rectangle; no pen lets the brush fill all of it.
  TSurface u(8, 8);
  u.C->SetPen({clBlack, 2, TPenStyle::InsideFrame});
  u.C->Rectangle({1, 1, 7, 7});
  EXPECT_EQ(u.Ink(), (TRect{1, 1, 7, 7}));
  EXPECT_EQ(u.Count(clWhite), 64 - 36 + 4);
  u.C->SetPen({clBlack, 1, TPenStyle::Clear});
  u.C->SetBrush({Red});
  u.C->Rectangle({0, 0, 3, 2});
  EXPECT_EQ(u.Count(Red), 6);
  // No brush: the outline only.
  TSurface v(6, 6, 32, Blue);
  v.C->SetBrush({clWhite, TBrushStyle::Clear});
  v.C->Rectangle({0, 0, 6, 6});
  EXPECT_EQ(v.Count(Blue), 16);
  EXPECT_EQ(v.Count(clBlack), 20);
}

TEST(BitmapCanvasTest, FrameRectAndFocusRect) {
  TSurface s(7, 6);
  s.C->FrameRect({1, 1, 6, 5}, Red);
  EXPECT_EQ(s.Art(Red), Rows({".......", ".#####.", ".#...#.", ".#...#.", ".#####.", "......."}));

  TSurface f(7, 6);
  f.C->DrawFocusRect({1, 1, 6, 5});
  // Every ring pixel with x + y even is inverted.
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 7; ++x) {
      const bool ring = (x >= 1 && x <= 5 && (y == 1 || y == 4)) || (y >= 1 && y <= 4 && (x == 1 || x == 5));
      EXPECT_EQ(f.At(x, y), ring && (x + y) % 2 == 0 ? clBlack : clWhite) << x << "," << y;
    }
  f.C->DrawFocusRect({1, 1, 6, 5});
  EXPECT_EQ(f.Count(clWhite), 42);  // XOR twice restores
  // On colours it inverts too.
  TSurface g(3, 3, 24, RGBColor(10, 20, 30));
  g.C->DrawFocusRect({0, 0, 3, 3});
  EXPECT_EQ(g.At(0, 0), RGBColor(245, 235, 225));
  EXPECT_EQ(g.At(1, 0), RGBColor(10, 20, 30));
  EXPECT_EQ(g.At(1, 1), RGBColor(10, 20, 30));  // inside the ring
}

TEST(BitmapCanvasTest, LinesStopBeforeTheirEnd) {
  TSurface s(8, 8);
  s.C->MoveTo(1, 1);
  s.C->LineTo(5, 1);
  EXPECT_EQ(s.C->PenPos(), (TPoint{5, 1}));
  s.C->MoveTo(0, 3);
  s.C->LineTo(4, 7);
  s.C->MoveTo(7, 7);
  s.C->LineTo(7, 4);
  EXPECT_EQ(s.Art(clBlack), Rows({"........", ".####...", "........", "#.......", ".#......", "..#....#",
                                  "...#...#", ".......#"}));
  // A steep line: one pixel per row, connected, the end row left out.
  TSurface t(4, 8);
  t.C->MoveTo(0, 0);
  t.C->LineTo(2, 6);
  int prev = 0;
  for (int y = 0; y < 8; ++y) {
    int count = 0, at = -1;
    for (int x = 0; x < 4; ++x)
      if (t.At(x, y) == clBlack) {
        ++count;
        at = x;
      }
    EXPECT_EQ(count, y < 6 ? 1 : 0) << y;
    if (count) {
      EXPECT_LE(std::abs(at - prev), 1);
      prev = at;
    }
  }
  // Polyline: every vertex but the last.
  TSurface u(6, 4);
  u.C->Polyline({{0, 0}, {3, 0}, {3, 3}});
  EXPECT_EQ(u.Art(clBlack), Rows({"####..", "...#..", "...#..", "......"}));
  // Absurd coordinates cost no more than the surface.
  u.C->MoveTo(-1000000000, -1000000000);
  u.C->LineTo(1000000000, 1000000000);
  EXPECT_EQ(u.At(1, 1), clBlack);
}

TEST(BitmapCanvasTest, DashedAndDottedPens) {
  TSurface s(60, 3);
  s.C->SetPen({clBlack, 1, TPenStyle::Dot});
  s.C->MoveTo(0, 0);
  s.C->LineTo(60, 0);
  s.C->SetPen({clBlack, 1, TPenStyle::Dash});
  s.C->MoveTo(0, 2);
  s.C->LineTo(60, 2);
  for (int x = 0; x < 60; ++x) {
    EXPECT_EQ(s.At(x, 0) == clBlack, x % 6 < 3) << x;
    EXPECT_EQ(s.At(x, 2) == clBlack, x % 24 < 18) << x;
  }
  // A dotted rectangle keeps its pattern around the corners and leaves the gaps alone.
  TSurface r(10, 10, 32, Blue);
  r.C->SetPen({clBlack, 1, TPenStyle::Dot});
  r.C->SetBrush({clWhite, TBrushStyle::Clear});
  r.C->Rectangle({0, 0, 10, 10});
  EXPECT_EQ(r.Count(clBlack), 18);  // 36 ring pixels, half of them on
  EXPECT_EQ(r.Count(Blue), 100 - 18);
  // Wide dashed pens are stroked: width 4 dashes of 12 with gaps of 4.
  TSurface w(40, 10);
  w.C->SetPen({clBlack, 4, TPenStyle::Dash, TPenCap::Flat, TPenJoin::Miter});
  w.C->MoveTo(0, 5);
  w.C->LineTo(40, 5);
  for (int x = 0; x < 40; ++x) EXPECT_EQ(w.At(x, 5) == clBlack, x % 16 < 12) << x;
  EXPECT_EQ(w.At(5, 2), clWhite);
  EXPECT_EQ(w.At(5, 3), clBlack);
  EXPECT_EQ(w.At(5, 6), clBlack);
  EXPECT_EQ(w.At(5, 7), clWhite);
}

TEST(BitmapCanvasTest, EllipseStaysInItsBox) {
  for (TRect box : {TRect{0, 0, 9, 7}, TRect{2, 1, 14, 13}, TRect{1, 1, 6, 6}, TRect{0, 0, 3, 9}}) {
    TSurface s(16, 16);
    s.C->SetBrush({Green});
    s.C->Ellipse(box);
    const TRegion expect = TRegion::FromEllipse(box);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) EXPECT_EQ(s.At(x, y) != clWhite, expect.Contains(x, y)) << x << "," << y;
    EXPECT_EQ(s.Ink(), box);  // touches all four sides, never leaves them
    // The outline is one pixel thick: every outline pixel has a neighbour outside the set.
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        if (s.At(x, y) == clBlack) {
          EXPECT_TRUE(!expect.Contains(x - 1, y) || !expect.Contains(x + 1, y) || !expect.Contains(x, y - 1) ||
                      !expect.Contains(x, y + 1));
        }
  }
  TSurface d(7, 7);
  d.C->SetPen({clBlack, 1, TPenStyle::Clear});
  d.C->SetBrush({clBlack});
  d.C->Ellipse({0, 0, 5, 5});  // a list bullet
  EXPECT_EQ(d.Art(clBlack), Rows({".###...", "#####..", "#####..", "#####..", ".###...", ".......", "......."}));
}

TEST(BitmapCanvasTest, PolygonFillRules) {
  // Vertices are pixel corners for the fill.
  TSurface s(12, 12);
  s.C->SetPen({clBlack, 1, TPenStyle::Clear});
  s.C->SetBrush({Red});
  s.C->Polygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
  EXPECT_EQ(s.Ink(), (TRect{0, 0, 10, 10}));
  EXPECT_EQ(s.Count(Red), 100);
  // With a pen the outline runs through the vertex pixels, closed.
  TSurface o(12, 12);
  o.C->SetBrush({Red});
  o.C->Polygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
  EXPECT_EQ(o.Ink(), (TRect{0, 0, 11, 11}));
  EXPECT_EQ(o.Count(clBlack), 40);
  EXPECT_EQ(o.Count(Red), 81);

  // A square wound twice: the winding rule fills it, the alternate rule leaves it empty.
  const std::vector<TPoint> twice{{2, 2}, {8, 2}, {8, 8}, {2, 8}, {2, 2}, {8, 2}, {8, 8}, {2, 8}};
  // A pentagram: its middle is crossed twice.
  const std::vector<TPoint> star{{10, 0}, {16, 19}, {0, 7}, {20, 7}, {4, 19}};
  for (TFillMode mode : {TFillMode::Alternate, TFillMode::Winding}) {
    TSurface p(21, 21);
    p.C->SetPen({clBlack, 1, TPenStyle::Clear});
    p.C->SetBrush({Red});
    p.C->Polygon(star, mode);
    EXPECT_EQ(p.At(10, 11) == Red, mode == TFillMode::Winding);
    EXPECT_EQ(p.At(10, 3), Red);  // a point of the star
    const TRegion region = TRegion::FromPolygon(star, mode);
    for (int y = 0; y < 21; ++y)
      for (int x = 0; x < 21; ++x) EXPECT_EQ(p.At(x, y) == Red, region.Contains(x, y)) << x << "," << y;
    TSurface q(10, 10);
    q.C->SetPen({clBlack, 1, TPenStyle::Clear});
    q.C->SetBrush({Red});
    q.C->Polygon(twice, mode);
    EXPECT_EQ(q.Count(Red), mode == TFillMode::Winding ? 36 : 0);
  }
}

TEST(BitmapCanvasTest, PathsFillAndStrokeLikeShapes) {
  TSurface a(12, 12), b(12, 12);
  for (TSurface* s : {&a, &b}) s->C->SetBrush({Red});
  a.C->Polygon({{1, 1}, {9, 1}, {9, 7}, {1, 7}});
  b.C->BeginPath();
  b.C->MoveTo(1, 1);
  b.C->LineTo(9, 1);
  b.C->LineTo(9, 7);
  b.C->LineTo(1, 7);
  b.C->CloseFigure();
  b.C->EndPath();
  b.C->StrokeAndFillPath();
  EXPECT_EQ(a.Art(clBlack), b.Art(clBlack));
  EXPECT_EQ(a.Art(Red), b.Art(Red));
  // Nothing is drawn while the path is being built; an open figure is stroked open.
  TSurface c(12, 4);
  c.C->BeginPath();
  c.C->MoveTo(0, 1);
  c.C->LineTo(5, 1);
  EXPECT_EQ(c.Count(clBlack), 0);
  c.C->EndPath();
  c.C->StrokePath();
  EXPECT_EQ(c.Art(clBlack), Rows({"............", "#####.......", "............", "............"}));
  c.C->StrokePath();  // the path is gone
  EXPECT_EQ(c.Count(clBlack), 5);
}

TEST(BitmapCanvasTest, StateAndClipping) {
  TSurface s(10, 10);
  s.C->SaveState();
  s.C->SetOrigin(2, 3);
  s.C->SetPen({Red, 2});
  s.C->SetTextColor(Blue);
  s.C->IntersectClipRect({0, 0, 4, 4});  // device 2,3 .. 6,7
  EXPECT_EQ(s.C->ClipBox(), (TRect{0, 0, 4, 4}));
  s.C->FillRect({-5, -5, 20, 20}, Green);
  EXPECT_EQ(s.Ink(), (TRect{2, 3, 6, 7}));
  s.C->RestoreState();
  s.C->RestoreState();  // unmatched: ignored
  EXPECT_EQ(s.C->Origin(), (TPoint{0, 0}));
  EXPECT_EQ(s.C->Pen(), TPen{});
  EXPECT_EQ(s.C->TextColor(), clBlack);
  EXPECT_EQ(s.C->ClipBox(), (TRect{0, 0, 10, 10}));

  // Exclusion, region clips and their bounding box.
  TSurface t(10, 10);
  t.C->ExcludeClipRect({2, 2, 8, 8});
  t.C->FillRect({0, 0, 10, 10}, Red);
  EXPECT_EQ(t.Count(Red), 100 - 36);
  TSurface u(10, 10);
  u.C->SetOrigin(1, 1);
  const TRegion two = TRegion::FromRect({0, 0, 2, 2}).Combine(TRegion::FromRect({5, 5, 7, 7}), TRegionOp::Or);
  u.C->IntersectClipRegion(two);
  EXPECT_EQ(u.C->ClipBox(), (TRect{0, 0, 7, 7}));
  u.C->FillRect({0, 0, 10, 10}, Red);
  EXPECT_EQ(u.Count(Red), 8);
  EXPECT_EQ(u.At(1, 1), Red);
  EXPECT_EQ(u.At(6, 6), Red);
  EXPECT_EQ(u.At(3, 3), clWhite);
  // Clips given after a save are dropped by the restore, also for text and lines.
  u.C->SaveState();
  u.C->IntersectClipRect({100, 100, 101, 101});
  EXPECT_EQ(u.C->ClipBox(), TRect{});
  u.C->RestoreState();
  EXPECT_EQ(u.C->ClipBox(), (TRect{0, 0, 7, 7}));
  u.C->MoveTo(0, 6);
  u.C->LineTo(9, 6);
  EXPECT_EQ(u.At(6, 7), clBlack);
  EXPECT_EQ(u.At(3, 7), clWhite);
}

TEST(BitmapCanvasTest, TextLandsInItsMeasuredBox) {
  for (const char* face : {"Arial", "Times New Roman", "Courier New"}) {
    TSurface s(120, 40);
    s.C->SetFont(Font(face, -16));
    s.C->SetBkMode(TBkMode::Transparent);
    const TSize ext = s.C->TextExtent(u"Hello");
    EXPECT_EQ(ext.cy, s.C->Font()->Metrics().Height);
    s.C->TextOut(10, 5, u"Hello");
    const TRect ink = s.Ink();
    ASSERT_FALSE(ink.IsEmpty()) << face;
    EXPECT_GE(ink.Left, 10) << face;
    EXPECT_LE(ink.Right, 10 + ext.cx) << face;
    EXPECT_GE(ink.Top, 5) << face;
    EXPECT_LE(ink.Bottom, 5 + s.C->Font()->Metrics().Ascent) << face;  // no descenders in "Hello"
    EXPECT_GE(ink.Bottom, 5 + s.C->Font()->Metrics().Ascent - 1) << face;  // sits on the baseline
  }
  // The same text at its baseline, right-aligned and centred lands on the same pixels.
  TSurface a(120, 40), b(120, 40), c(120, 40), d(120, 40);
  for (TSurface* s : {&a, &b, &c, &d}) s->C->SetFont(Font("Arial", -16));
  const TTextMetric& m = a.C->Font()->Metrics();
  const int w = a.C->TextExtent(u"Sample").cx;
  a.C->TextOut(10, 5, u"Sample");
  b.C->SetTextAlign(TA_BASELINE);
  b.C->TextOut(10, 5 + m.Ascent, u"Sample");
  c.C->SetTextAlign(TA_RIGHT | TA_BOTTOM);
  c.C->TextOut(10 + w, 5 + m.Height, u"Sample");
  d.C->SetTextAlign(TA_CENTER);
  d.C->TextOut(10 + w / 2, 5, u"Sample");
  EXPECT_EQ(a.Art(clBlack), b.Art(clBlack));
  EXPECT_EQ(a.Art(clBlack), c.Art(clBlack));
  EXPECT_EQ(a.Art(clWhite), d.Art(clWhite));
  // Opaque: the background fills the cell exactly over the advance.
  TSurface o(120, 40, 32, Blue);
  o.C->SetFont(Font("Arial", -16));
  o.C->SetBkColor(Green);
  o.C->TextOut(10, 5, u"Sample");
  EXPECT_EQ(o.Ink(Blue), (TRect{10, 5, 10 + w, 5 + m.Height}));
  EXPECT_EQ(o.At(10, 5), Green);
}

TEST(BitmapCanvasTest, DrawingAdvancesByTheMeasuredExtent) {
  const std::u16string text = u"Justified text, drawn in pieces";
  for (bool fixed : {false, true}) {
    SetFixedFontMetrics(fixed);
    auto font = Font("Times New Roman", -15);
    SetFixedFontMetrics(false);
    TSurface whole(320, 30), pieces(320, 30);
    for (TSurface* s : {&whole, &pieces}) {
      s->C->SetFont(font);
      s->C->SetBkMode(TBkMode::Transparent);  // an opaque piece would cover its neighbour's overhang
      s->C->SetTextCharacterExtra(1);
      s->C->SetTextJustification(11, 4);  // the 4 spaces take 3, 3, 3, 2
    }
    const int full = whole.C->TextExtent(text).cx;
    EXPECT_EQ(full, font->TextWidth(text) + int(text.size()) + 11);
    whole.C->TextOut(4, 4, text);
    // Piecewise with the current position: the error term carries across the calls.
    pieces.C->SetTextAlign(TA_UPDATECP);
    pieces.C->MoveTo(4, 4);
    const std::u16string_view v(text);
    int sum = 0;
    for (std::size_t at = 0; at < v.size(); at += 7) {
      const std::u16string_view piece = v.substr(at, 7);
      const int predicted = pieces.C->TextExtent(piece.data(), int(piece.size())).cx;
      const int before = pieces.C->PenPos().x;
      pieces.C->TextOut(0, 0, piece.data(), int(piece.size()));
      EXPECT_EQ(pieces.C->PenPos().x - before, predicted);
      sum += predicted;
    }
    EXPECT_EQ(sum, full);
    EXPECT_EQ(pieces.C->PenPos(), (TPoint{4 + full, 4}));
    EXPECT_EQ(whole.Art(clBlack), pieces.Art(clBlack)) << fixed;
    EXPECT_EQ(whole.Art(clWhite), pieces.Art(clWhite)) << fixed;
    // After all breaks are used, spaces get no more.
    EXPECT_EQ(pieces.C->TextExtent(u" ").cx, font->CharWidth(u' ') + 1);
  }
}

TEST(BitmapCanvasTest, TextFitAgreesWithTextExtent) {
  TSurface s(10, 10);
  s.C->SetFont(Font("Arial", -13));
  const std::u16string text = u"one two three four";
  for (int extra : {0, 2}) {
    for (int just : {0, 7}) {
      s.C->SetTextCharacterExtra(extra);
      s.C->SetTextJustification(just, just ? 3 : 0);
      for (int width = 0; width < 200; width += 3) {
        int fit = -1;
        const int got = s.C->TextFit(text.data(), int(text.size()), width, &fit, nullptr);
        EXPECT_EQ(got, fit ? s.C->TextExtent(text.data(), fit).cx : 0);
        EXPECT_LE(got, width);
        if (fit < int(text.size())) {
          EXPECT_GT(s.C->TextExtent(text.data(), fit + 1).cx, width);
        }
      }
      std::vector<int> partial(text.size(), -1);
      int fit = 0;
      s.C->TextFit(text.data(), int(text.size()), 1 << 30, &fit, partial.data());
      EXPECT_EQ(fit, int(text.size()));
      for (std::size_t i = 0; i < text.size(); ++i) EXPECT_EQ(partial[i], s.C->TextExtent(text.data(), int(i + 1)).cx);
      // Filled up to the fit only.
      partial.assign(text.size(), -1);
      s.C->TextFit(text.data(), int(text.size()), s.C->TextExtent(text.data(), 5).cx, &fit, partial.data());
      EXPECT_EQ(fit, 5);
      EXPECT_EQ(partial[4], s.C->TextExtent(text.data(), 5).cx);
      EXPECT_EQ(partial[5], -1);
    }
  }
}

TEST(BitmapCanvasTest, ExtTextOutAndDecorations) {
  TSurface s(120, 40, 32, Blue);
  s.C->SetFont(Font("Arial", -16));
  s.C->SetBkMode(TBkMode::Transparent);
  s.C->SetBkColor(Green);
  const TRect box{5, 5, 40, 30};
  s.C->ExtTextOut(10, 8, ETO_OPAQUE | ETO_CLIPPED, &box, u"Wide text here", 14, nullptr);
  EXPECT_EQ(s.Ink(Blue), box);  // opaque fill, and the ink clipped to it
  EXPECT_EQ(s.At(6, 6), Green);

  // dx gives the advances and ignores the character extra.
  TSurface a(120, 30), b(120, 30);
  for (TSurface* t : {&a, &b}) t->C->SetFont(Font("Arial", -16));
  const int dx[] = {20, 20, 20};
  a.C->SetTextCharacterExtra(5);
  a.C->ExtTextOut(2, 2, 0, nullptr, u"iii", 3, dx);
  b.C->TextOut(2, 2, u"i");
  b.C->TextOut(22, 2, u"i");
  b.C->TextOut(42, 2, u"i");
  EXPECT_EQ(a.Art(clBlack), b.Art(clBlack));

  // Underline and strike-out span the whole advance.
  TSurface u(80, 30);
  auto font = Font("Arial", -16, true);
  u.C->SetFont(font);
  u.C->SetBkMode(TBkMode::Transparent);
  u.C->TextOut(3, 2, u"a b");
  const int w = u.C->TextExtent(u"a b").cx;
  const int base = 2 + font->Metrics().Ascent;
  bool found = false;
  for (int y = base; y < 2 + font->Metrics().Height && !found; ++y) {
    bool full = u.At(2, y) == clWhite && u.At(3 + w, y) == clWhite;
    for (int x = 3; x < 3 + w; ++x) full = full && u.At(x, y) == clBlack;
    found = full;
  }
  EXPECT_TRUE(found);
}

TEST(BitmapCanvasTest, TransfersHonourOriginAndClip) {
  auto src = TBitmap::Create(4, 4, 24);
  src->Fill(Red);
  src->SetPixel(0, 0, Green);
  TSurface s(10, 10);
  s.C->SetOrigin(1, 1);
  s.C->IntersectClipRect({0, 0, 3, 10});
  s.C->BitBlt(1, 1, 4, 4, *src, 0, 0);
  EXPECT_EQ(s.At(2, 2), Green);
  EXPECT_EQ(s.At(3, 2), Red);
  EXPECT_EQ(s.At(4, 2), clWhite);  // clipped: device column 4 is outside
  EXPECT_EQ(s.Ink(), (TRect{2, 2, 4, 6}));

  // A clipped stretch is the unclipped one seen through the clip.
  auto pic = TBitmap::Create(3, 2, 24);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) pic->SetPixel(x, y, RGBColor(40 * x, 100 * y, 7));
  TSurface full(12, 8), clipped(12, 8);
  full.C->StretchBlt(1, 1, 10, 6, *pic, 0, 0, 3, 2);
  const TRegion region = TRegion::FromRect({0, 0, 4, 8}).Combine(TRegion::FromRect({6, 3, 12, 5}), TRegionOp::Or);
  clipped.C->IntersectClipRegion(region);
  clipped.C->StretchBlt(1, 1, 10, 6, *pic, 0, 0, 3, 2);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x)
      EXPECT_EQ(clipped.At(x, y), region.Contains(x, y) ? full.At(x, y) : clWhite) << x << "," << y;

  // Masked copy: white mask pixels keep the destination.
  auto mask = TBitmap::Create(3, 2, 1);
  mask->Fill(clBlack);
  mask->SetPixel(1, 0, clWhite);
  TSurface m(6, 4, 32, Blue);
  m.C->MaskedStretchBlt(0, 0, 3, 2, *pic, *mask, 0, 0, 3, 2);
  EXPECT_EQ(m.At(0, 0), pic->GetPixel(0, 0));
  EXPECT_EQ(m.At(1, 0), Blue);
  EXPECT_EQ(m.At(2, 1), pic->GetPixel(2, 1));

  // Monochrome sources take the text and background colours.
  auto mono = TBitmap::Create(2, 1, 1);
  mono->SetPixel(1, 0, clWhite);
  TSurface c(4, 2);
  c.C->SetTextColor(Red);
  c.C->SetBkColor(Green);
  c.C->BitBlt(0, 0, 2, 1, *mono, 0, 0);
  EXPECT_EQ(c.At(0, 0), Red);
  EXPECT_EQ(c.At(1, 0), Green);
}

TEST(BitmapCanvasTest, PaintingAndTransfersInterleave) {
  TSurface s(6, 2);
  auto white = TBitmap::Create(6, 2, 24);
  white->Fill(clWhite);
  s.C->FillRect({0, 0, 4, 2}, Red);
  s.C->BitBlt(0, 0, 6, 2, *white, 0, 0, TRop::SrcInvert);  // red -> cyan, white -> black
  EXPECT_EQ(s.At(0, 0), RGBColor(0, 255, 255));
  EXPECT_EQ(s.At(5, 0), clBlack);
  s.C->FillRect({1, 0, 2, 1}, Blue);
  EXPECT_EQ(s.At(1, 0), Blue);
  auto grab = s.C->Grab({0, 0, 3, 1});
  ASSERT_NE(grab, nullptr);
  EXPECT_EQ(grab->BitsPerPixel(), 24);
  EXPECT_EQ(grab->GetPixel(0, 0), RGBColor(0, 255, 255));
  EXPECT_EQ(grab->GetPixel(1, 0), Blue);
  s.C->DrawFocusRect({0, 0, 2, 2});
  s.C->FillRect({5, 1, 6, 2}, Green);
  EXPECT_EQ(s.At(0, 0), Red);  // cyan inverted
  EXPECT_EQ(s.At(5, 1), Green);
}

TEST(BitmapCanvasTest, WidePensFollowTheBandRule) {
  // Width 4: two pixels left of / above the ring pixel, one right of / below it.
  TSurface s(14, 14);
  s.C->SetPen({clBlack, 4});
  s.C->SetBrush({Green});
  s.C->Rectangle({3, 3, 11, 11});
  EXPECT_EQ(s.Ink(), (TRect{1, 1, 12, 12}));
  EXPECT_EQ(s.Count(Green), 3 * 3);  // columns/rows 5 .. 7
  EXPECT_EQ(s.At(5, 5), Green);
  EXPECT_EQ(s.At(4, 5), clBlack);
  EXPECT_EQ(s.At(9, 8), clBlack);
  // A dashed border side drawn along its middle (edge + width / 2) covers exactly the border.
  for (int w : {3, 4, 5}) {
    TSurface b(30, 30);
    b.C->SetPen({Red, w, TPenStyle::Dash, TPenCap::Square, TPenJoin::Miter});
    b.C->BeginPath();
    b.C->MoveTo(10 + w / 2, 0);
    b.C->LineTo(10 + w / 2, 30);
    b.C->EndPath();
    b.C->StrokePath();
    const TRect ink = b.Ink();
    EXPECT_EQ(ink.Left, 10) << w;
    EXPECT_EQ(ink.Right, 10 + w) << w;
    // Dashes of 3w with gaps of w (square caps included).
    EXPECT_EQ(b.At(11, 0), Red) << w;
    EXPECT_EQ(b.At(11, 3 * w - 1), Red) << w;
    EXPECT_EQ(b.At(11, 3 * w), clWhite) << w;
    EXPECT_EQ(b.At(11, 4 * w), Red) << w;
  }
}

TEST(BitmapCanvasTest, HugeCoordinatesAreHarmless) {
  TSurface s(20, 20);
  s.C->SetOrigin(2000000000, -2000000000);
  s.C->FillRect({-2147483647, 0, 5, 5}, Red);
  s.C->SetOrigin(0, 0);
  s.C->Ellipse({-1000000000, -1000000000, 1000000000, 1000000000});
  s.C->Rectangle({-2147483647, -2147483647, 2147483647, 2147483647});
  s.C->Polygon({{-2000000000, 0}, {2000000000, 0}, {0, 2000000000}});
  s.C->TextOut(2000000000, 5, u"far away");
  s.C->SetTextAlign(TA_RIGHT);
  s.C->TextOut(-2000000000, 5, u"far away");
  s.C->StretchBlt(-5, -5, 2000000000, 2000000000, *s.Bmp, 0, 0, 20, 20);
  SUCCEED();
}

TEST(BitmapCanvasTest, FallbackAndFixedFontsDraw) {
  // A character Liberation lacks is drawn from a fallback face, at its measured advance.
  TSurface s(80, 30);
  s.C->SetFont(Font("Times New Roman", -16));
  s.C->SetBkMode(TBkMode::Transparent);
  const std::u16string text = u"\u65E5\u672C";
  s.C->TextOut(4, 4, text);
  const TRect ink = s.Ink();
  EXPECT_FALSE(ink.IsEmpty());
  EXPECT_LE(ink.Right, 4 + s.C->TextExtent(text).cx + 1);
  // Fixed metrics: real glyphs placed at the fixed advances.
  SetFixedFontMetrics(true);
  auto fixed = Font("Arial", -16);
  SetFixedFontMetrics(false);
  TSurface f(80, 30);
  f.C->SetFont(fixed);
  f.C->SetBkMode(TBkMode::Transparent);
  f.C->TextOut(4, 4, u"iiii");
  EXPECT_EQ(f.C->TextExtent(u"iiii"), (TSize{32, 16}));
  const TRect fi = f.Ink();
  EXPECT_GE(fi.Left, 4);
  EXPECT_LE(fi.Right, 36);
  EXPECT_GE(fi.Right, 28);  // the fourth i starts at 28
  EXPECT_LE(fi.Bottom, 4 + 13);
}

TEST(BitmapCanvasTest, ScrollingWithinTheTargetThroughASplitClip) {
  TSurface s(4, 8);
  for (int y = 0; y < 8; ++y) s.C->FillRect({0, y, 4, y + 1}, RGBColor(0, 0, y * 30));
  // A clip of two bands, each row a copy of the row two above it: the second band reads rows
  // the first has already written.
  s.C->IntersectClipRegion(TRegion::FromRect({0, 0, 4, 5}).Combine(TRegion::FromRect({0, 5, 2, 8}), TRegionOp::Or));
  s.C->BitBlt(0, 2, 4, 6, *s.Bmp, 0, 0);
  for (int y = 2; y < 8; ++y) {
    EXPECT_EQ(s.At(0, y), RGBColor(0, 0, (y - 2) * 30)) << y;
    EXPECT_EQ(s.At(3, y), RGBColor(0, 0, (y < 5 ? y - 2 : y) * 30)) << y;
  }
}
