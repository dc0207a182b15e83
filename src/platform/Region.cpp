#include "platform/Region.h"

#include <algorithm>
#include <cmath>

namespace korva {

namespace {

using i128 = __int128;

int ClampCoord(std::int64_t v) { return int(std::clamp<std::int64_t>(v, -MaxRegionCoord, MaxRegionCoord)); }

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) {  // b > 0
  std::int64_t q = a / b;
  if (a % b != 0 && a > 0) ++q;
  return q;
}
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {  // b > 0
  std::int64_t q = a / b;
  if (a % b != 0 && a < 0) --q;
  return q;
}

TRect Normalized(const TRect& r) {
  return TRect{ClampCoord(std::min(r.Left, r.Right)), ClampCoord(std::min(r.Top, r.Bottom)),
               ClampCoord(std::max(r.Left, r.Right)), ClampCoord(std::max(r.Top, r.Bottom))};
}

// Sorts [x0, x1) pairs and merges those that overlap or touch; drops empty ones.
void MergeSpans(std::vector<int>& xs) {
  std::vector<std::pair<int, int>> spans;
  for (std::size_t i = 0; i + 1 < xs.size(); i += 2)
    if (xs[i] < xs[i + 1]) spans.emplace_back(xs[i], xs[i + 1]);
  std::sort(spans.begin(), spans.end());
  xs.clear();
  for (const auto& [a, b] : spans) {
    if (!xs.empty() && a <= xs.back())
      xs.back() = std::max(xs.back(), b);
    else {
      xs.push_back(a);
      xs.push_back(b);
    }
  }
}

// One-dimensional set operation on two canonical span lists.
std::vector<int> CombineSpans(const std::vector<int>& a, const std::vector<int>& b, TRegionOp op) {
  std::vector<int> out;
  std::size_t i = 0, j = 0;
  bool inA = false, inB = false, inOut = false;
  while (i < a.size() || j < b.size()) {
    int x;
    if (i < a.size() && j < b.size())
      x = std::min(a[i], b[j]);
    else
      x = i < a.size() ? a[i] : b[j];
    while (i < a.size() && a[i] == x) inA = !inA, ++i;
    while (j < b.size() && b[j] == x) inB = !inB, ++j;
    bool now = false;
    switch (op) {
      case TRegionOp::And: now = inA && inB; break;
      case TRegionOp::Or: now = inA || inB; break;
      case TRegionOp::Xor: now = inA != inB; break;
      case TRegionOp::Diff: now = inA && !inB; break;
      case TRegionOp::Copy: now = inA; break;
    }
    if (now != inOut) {
      out.push_back(x);
      inOut = now;
    }
  }
  return out;
}

}  // namespace

// Collects rows top to bottom into canonical bands.
class TRegionBuilder {
 public:
  // Rows [top, bottom) with the canonical spans xs; rows must come in increasing order.
  void Add(int top, int bottom, const std::vector<int>& xs) {
    if (top >= bottom || xs.empty()) return;
    if (!FBands.empty() && FBands.back().Bottom == top && FBands.back().Xs == xs) {
      FBands.back().Bottom = bottom;
      return;
    }
    FBands.push_back(TRegion::TBand{top, bottom, xs});
  }
  TRegion Finish() {
    TRegion r;
    r.FBands = std::move(FBands);
    return r;
  }
  static const std::vector<TRegion::TBand>& Bands(const TRegion& r) { return r.FBands; }

 private:
  std::vector<TRegion::TBand> FBands;
};

TRegion TRegion::FromRect(const TRect& r) {
  const TRect n = Normalized(r);
  TRegionBuilder b;
  if (n.Left < n.Right) b.Add(n.Top, n.Bottom, {n.Left, n.Right});
  return b.Finish();
}

TRegion TRegion::FromEllipse(const TRect& bounds) {
  const TRect n = Normalized(bounds);
  TRegionBuilder b;
  const std::int64_t w = n.Width(), h = n.Height();
  if (w <= 0 || h <= 0) return b.Finish();
  const std::int64_t lr = std::int64_t(n.Left) + n.Right, tb = std::int64_t(n.Top) + n.Bottom;
  const int yFrom = std::max(n.Top, -RegionRasterLimit), yTo = std::min(n.Bottom, RegionRasterLimit);
  std::vector<int> xs;
  for (int y = yFrom; y < yTo; ++y) {
    // u = 2x + 1 - (L + R), v = 2y + 1 - (T + B): inside when u^2 h^2 + v^2 w^2 <= w^2 h^2.
    const std::int64_t v = 2 * std::int64_t(y) + 1 - tb;
    const i128 rhs = i128(w) * w * (i128(h) * h - i128(v) * v);
    const i128 h2 = i128(h) * h;
    if (rhs < 0) continue;
    std::int64_t u = std::int64_t(std::sqrt(double(rhs) / double(h2)));
    while (u > 0 && i128(u) * u * h2 > rhs) --u;
    while (i128(u + 1) * (u + 1) * h2 <= rhs) ++u;
    const std::int64_t xLo = CeilDiv(-u - 1 + lr, 2), xHi = FloorDiv(u - 1 + lr, 2);
    xs.clear();
    if (xLo <= xHi) {
      xs.push_back(int(xLo));
      xs.push_back(int(xHi + 1));
    }
    b.Add(y, y + 1, xs);
  }
  return b.Finish();
}

TRegion TRegion::FromPolygon(const std::vector<TPoint>& points, TFillMode mode) {
  struct TEdge {
    std::int64_t XTop, YTop, XBottom, YBottom;
    int Dir;
  };
  const std::size_t count = std::min(points.size(), std::size_t(MaxRegionPoints));
  std::vector<TEdge> edges;
  for (std::size_t i = 0; i < count; ++i) {
    const TPoint& a = points[i];
    const TPoint& c = points[(i + 1) % count];
    const std::int64_t ax = ClampCoord(a.x), ay = ClampCoord(a.y), cx = ClampCoord(c.x), cy = ClampCoord(c.y);
    if (ay == cy) continue;
    if (ay < cy)
      edges.push_back(TEdge{ax, ay, cx, cy, 1});
    else
      edges.push_back(TEdge{cx, cy, ax, ay, -1});
  }
  TRegionBuilder b;
  if (edges.empty()) return b.Finish();
  std::sort(edges.begin(), edges.end(), [](const TEdge& p, const TEdge& q) { return p.YTop < q.YTop; });

  std::int64_t yMax = RegionRasterLimit;
  std::int64_t y = std::max<std::int64_t>(edges.front().YTop, -RegionRasterLimit);
  std::size_t next = 0;
  std::vector<const TEdge*> active;
  // A crossing is its pixel boundary times 4 plus its direction + 1, so one sort of plain
  // integers orders them by position.
  std::vector<std::int64_t> crossings;
  std::vector<int> xs;
  std::int64_t budget = MaxRegionCrossings;
  while (y < yMax) {
    while (next < edges.size() && edges[next].YTop <= y) active.push_back(&edges[next++]);
    std::erase_if(active, [y](const TEdge* e) { return e->YBottom <= y; });
    if (active.empty()) {
      if (next >= edges.size()) break;
      y = edges[next].YTop;
      continue;
    }
    budget -= std::int64_t(active.size());
    if (budget < 0) break;
    // The sample line y + 0.5 never passes through a vertex. An edge crosses it at xc; the
    // pixels from ceil(xc - 0.5) on have their centres right of the crossing.
    crossings.clear();
    for (const TEdge* e : active) {
      const std::int64_t dy = e->YBottom - e->YTop, dx = e->XBottom - e->XTop;
      const std::int64_t num = 2 * e->XTop * dy + (2 * y + 1 - 2 * e->YTop) * dx - dy;
      crossings.push_back(CeilDiv(num, 2 * dy) * 4 + (e->Dir + 1));
    }
    std::sort(crossings.begin(), crossings.end());
    xs.clear();
    int winding = 0;
    for (std::size_t i = 0; i < crossings.size(); ++i) {
      const bool wasInside = mode == TFillMode::Alternate ? (i % 2 == 1) : winding != 0;
      const std::int64_t x = FloorDiv(crossings[i], 4);
      winding += int(crossings[i] - 4 * x) - 1;
      const bool inside = mode == TFillMode::Alternate ? (i % 2 == 0) : winding != 0;
      if (inside != wasInside) xs.push_back(int(x));
    }
    if (xs.size() % 2) xs.pop_back();
    MergeSpans(xs);
    b.Add(int(y), int(y) + 1, xs);
    ++y;
  }
  return b.Finish();
}

bool TRegion::Contains(int x, int y) const {
  auto band = std::upper_bound(FBands.begin(), FBands.end(), y,
                               [](int value, const TBand& bd) { return value < bd.Bottom; });
  if (band == FBands.end() || band->Top > y) return false;
  const auto pos = std::upper_bound(band->Xs.begin(), band->Xs.end(), x);
  return (pos - band->Xs.begin()) % 2 == 1;
}

TRect TRegion::BoundingBox() const {
  if (FBands.empty()) return {};
  TRect r{FBands.front().Xs.front(), FBands.front().Top, FBands.front().Xs.back(), FBands.back().Bottom};
  for (const TBand& bd : FBands) {
    r.Left = std::min(r.Left, bd.Xs.front());
    r.Right = std::max(r.Right, bd.Xs.back());
  }
  return r;
}

TRegion TRegion::Combine(const TRegion& other, TRegionOp op) const {
  if (op == TRegionOp::Copy) return *this;
  std::vector<int> ys;
  for (const TBand& bd : FBands) ys.insert(ys.end(), {bd.Top, bd.Bottom});
  for (const TBand& bd : other.FBands) ys.insert(ys.end(), {bd.Top, bd.Bottom});
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  static const std::vector<int> none;
  TRegionBuilder b;
  std::size_t i = 0, j = 0;
  for (std::size_t k = 0; k + 1 < ys.size(); ++k) {
    const int y0 = ys[k], y1 = ys[k + 1];
    while (i < FBands.size() && FBands[i].Bottom <= y0) ++i;
    while (j < other.FBands.size() && other.FBands[j].Bottom <= y0) ++j;
    const std::vector<int>& a = (i < FBands.size() && FBands[i].Top <= y0) ? FBands[i].Xs : none;
    const std::vector<int>& c = (j < other.FBands.size() && other.FBands[j].Top <= y0) ? other.FBands[j].Xs : none;
    b.Add(y0, y1, CombineSpans(a, c, op));
  }
  return b.Finish();
}

TRegion TRegion::Offset(int dx, int dy) const {
  TRegionBuilder b;
  std::vector<int> xs;
  for (const TBand& bd : FBands) {
    xs.clear();
    for (int x : bd.Xs) xs.push_back(ClampCoord(std::int64_t(x) + dx));
    MergeSpans(xs);
    b.Add(ClampCoord(std::int64_t(bd.Top) + dy), ClampCoord(std::int64_t(bd.Bottom) + dy), xs);
  }
  return b.Finish();
}

std::vector<TRect> TRegion::Rects() const {
  std::vector<TRect> out;
  for (const TBand& bd : FBands)
    for (std::size_t i = 0; i + 1 < bd.Xs.size(); i += 2) out.push_back(TRect{bd.Xs[i], bd.Top, bd.Xs[i + 1], bd.Bottom});
  return out;
}

}  // namespace korva
