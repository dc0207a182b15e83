// Regions: sets of pixels made from rectangles, ellipses and polygons, kept as sorted bands of
// horizontal spans. Used for image-map hit testing and for clipping.
#pragma once

#include <vector>

#include "platform/Types.h"

namespace korva {

enum class TFillMode { Alternate, Winding };
enum class TRegionOp { And, Or, Xor, Diff, Copy };

class TRegion {
 public:
  TRegion() = default;  // empty
  static TRegion FromRect(const TRect& r);
  // The ellipse inscribed in the rectangle (CreateEllipticRgn): pixels whose centres lie inside.
  static TRegion FromEllipse(const TRect& bounds);
  // Pixels whose centres lie inside the polygon under the fill rule (at most 65,536 points
  // are used; the rest are ignored).
  static TRegion FromPolygon(const std::vector<TPoint>& points, TFillMode mode);

  bool IsEmpty() const { return FBands.empty(); }
  bool Contains(int x, int y) const;  // PtInRegion
  TRect BoundingBox() const;          // all zero when empty
  TRegion Combine(const TRegion& other, TRegionOp op) const;
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
