// Regions: sets of pixels made from rectangles, ellipses and polygons, kept as sorted bands of
// horizontal spans. Used for image-map hit testing and for clipping.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Types.h"

namespace korva {

// Limits that keep regions made from untrusted coordinates (image maps) cheap:
// - every coordinate is clamped to [-MaxRegionCoord, MaxRegionCoord];
// - ellipses and polygons are rasterised only on the rows y in [-RegionRasterLimit,
//   RegionRasterLimit) (rectangles are exact everywhere);
// - a polygon uses at most MaxRegionPoints points, and its scan conversion stops (keeping
//   the rows done so far) once MaxRegionCrossings edge crossings have been computed.
constexpr int MaxRegionCoord = 1 << 28;
constexpr int RegionRasterLimit = 1 << 16;
constexpr int MaxRegionPoints = 65536;
constexpr std::int64_t MaxRegionCrossings = std::int64_t(1) << 20;

enum class TFillMode { Alternate, Winding };
enum class TRegionOp { And, Or, Xor, Diff, Copy };

// Kept in one canonical form (bands sorted and disjoint, no empty band, touching bands with
// equal spans merged, spans sorted, disjoint and not touching), so == compares pixel sets.
class TRegion {
 public:
  TRegion() = default;  // empty
  // A rectangle given with right < left or bottom < top is normalised first (as CreateRectRgn).
  static TRegion FromRect(const TRect& r);
  // The ellipse inscribed in the rectangle (CreateEllipticRgn, normalised like FromRect): the
  // pixels whose centres lie inside or on it. With W x H the rectangle's size and (cx, cy) its
  // centre, pixel (x, y) belongs when ((x + 0.5 - cx) / (W / 2))^2 + ((y + 0.5 - cy) / (H / 2))^2
  // <= 1, computed exactly in integers.
  static TRegion FromEllipse(const TRect& bounds);
  // Pixels whose centres lie inside the polygon (closed from the last point back to the first)
  // under the fill rule; a centre exactly on an edge counts as inside when the region goes on
  // to its right (left edges are in, right edges out). At most MaxRegionPoints points are
  // used; the rest are ignored.
  static TRegion FromPolygon(const std::vector<TPoint>& points, TFillMode mode);

  bool IsEmpty() const { return FBands.empty(); }
  bool Contains(int x, int y) const;  // PtInRegion
  TRect BoundingBox() const;          // all zero when empty
  // this op other; Copy answers this region.
  TRegion Combine(const TRegion& other, TRegionOp op) const;
  // Moved by (dx, dy); coordinates are clamped to the limit above.
  TRegion Offset(int dx, int dy) const;
  // The region as disjoint rectangles, top to bottom, left to right.
  std::vector<TRect> Rects() const;
  friend bool operator==(const TRegion&, const TRegion&) = default;

 private:
  struct TBand {
    int Top = 0, Bottom = 0;
    std::vector<int> Xs;  // pairs: [x0, x1) spans, sorted, disjoint
    friend bool operator==(const TBand&, const TBand&) = default;
  };
  std::vector<TBand> FBands;
  friend class TRegionBuilder;
};

}  // namespace korva
