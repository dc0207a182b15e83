#include <gtest/gtest.h>

#include "platform/Region.h"

namespace korva {
namespace {

TEST(Region, RectangleCoversLeftTopInclusiveRightBottomExclusive) {
  const TRegion r = TRegion::FromRect(Rect(2, 3, 5, 7));
  EXPECT_TRUE(r.Contains(2, 3));
  EXPECT_TRUE(r.Contains(4, 6));
  EXPECT_FALSE(r.Contains(5, 3));
  EXPECT_FALSE(r.Contains(2, 7));
  EXPECT_FALSE(r.Contains(1, 3));
  EXPECT_EQ(r.BoundingBox(), Rect(2, 3, 5, 7));
  EXPECT_EQ(r.Rects(), (std::vector<TRect>{Rect(2, 3, 5, 7)}));
  // Reversed corners are normalised; a zero-width rectangle is empty.
  EXPECT_EQ(TRegion::FromRect(Rect(5, 7, 2, 3)), r);
  EXPECT_TRUE(TRegion::FromRect(Rect(2, 3, 2, 9)).IsEmpty());
  EXPECT_EQ(TRegion().BoundingBox(), TRect{});
  EXPECT_FALSE(TRegion().Contains(0, 0));
}

TEST(Region, EllipseTestsPixelCentres) {
  const TRegion e = TRegion::FromEllipse(Rect(0, 0, 8, 8));
  EXPECT_EQ(e.Rects(), (std::vector<TRect>{Rect(2, 0, 6, 1), Rect(1, 1, 7, 2), Rect(0, 2, 8, 6), Rect(1, 6, 7, 7),
                                           Rect(2, 7, 6, 8)}));
  EXPECT_FALSE(e.Contains(0, 0));
  EXPECT_FALSE(e.Contains(1, 0));
  EXPECT_TRUE(e.Contains(2, 0));
  EXPECT_TRUE(e.Contains(0, 4));

  // A circle area of an image map: centre (10, 10), radius 2 -> (8, 8) to (13, 13).
  const TRegion c = TRegion::FromEllipse(Rect(8, 8, 13, 13));
  EXPECT_EQ(c.Rects(), (std::vector<TRect>{Rect(9, 8, 12, 9), Rect(8, 9, 13, 12), Rect(9, 12, 12, 13)}));
  // Flat and one-pixel ellipses.
  EXPECT_EQ(TRegion::FromEllipse(Rect(0, 0, 1, 1)), TRegion::FromRect(Rect(0, 0, 1, 1)));
  EXPECT_EQ(TRegion::FromEllipse(Rect(0, 0, 6, 1)), TRegion::FromRect(Rect(0, 0, 6, 1)));
  EXPECT_TRUE(TRegion::FromEllipse(Rect(0, 0, 0, 5)).IsEmpty());
  EXPECT_EQ(TRegion::FromEllipse(Rect(8, 0, 0, 8)), e);
}

TEST(Region, PolygonUsesTopLeftFillConvention) {
  // An axis-aligned polygon covers exactly the pixels of the same rectangle.
  EXPECT_EQ(TRegion::FromPolygon({{0, 0}, {4, 0}, {4, 3}, {0, 3}}, TFillMode::Alternate),
            TRegion::FromRect(Rect(0, 0, 4, 3)));
  // Right triangle: row y holds the pixels whose centres are left of x = 7.5 - y.
  const TRegion t = TRegion::FromPolygon({{0, 0}, {8, 0}, {0, 8}}, TFillMode::Winding);
  EXPECT_TRUE(t.Contains(6, 0));
  EXPECT_FALSE(t.Contains(7, 0));  // centre exactly on the slanted (right) edge
  EXPECT_TRUE(t.Contains(0, 6));
  EXPECT_FALSE(t.Contains(0, 7));
  EXPECT_EQ(t.BoundingBox(), Rect(0, 0, 7, 7));
  // Fewer than three points, or all on one line: nothing.
  EXPECT_TRUE(TRegion::FromPolygon({{0, 0}, {5, 5}}, TFillMode::Winding).IsEmpty());
  EXPECT_TRUE(TRegion::FromPolygon({{0, 0}, {5, 0}, {9, 0}}, TFillMode::Winding).IsEmpty());
  EXPECT_TRUE(TRegion::FromPolygon({}, TFillMode::Alternate).IsEmpty());
}

TEST(Region, StarDiffersBetweenFillRules) {
  // Five points of a star, joined every second one.
  const std::vector<TPoint> star = {{50, 10}, {74, 82}, {12, 38}, {88, 38}, {26, 82}};
  const TRegion alternate = TRegion::FromPolygon(star, TFillMode::Alternate);
  const TRegion winding = TRegion::FromPolygon(star, TFillMode::Winding);
  EXPECT_FALSE(alternate.Contains(50, 50));  // the inner pentagon is crossed twice
  EXPECT_TRUE(winding.Contains(50, 50));
  for (const TRegion* r : {&alternate, &winding}) {
    EXPECT_TRUE(r->Contains(50, 20));   // top arm
    EXPECT_TRUE(r->Contains(20, 39));   // left arm
    EXPECT_TRUE(r->Contains(72, 78));   // lower right arm
    EXPECT_FALSE(r->Contains(50, 80));  // between the two lower arms
    EXPECT_FALSE(r->Contains(5, 5));
  }
  // Winding is alternate plus the centre.
  EXPECT_TRUE(winding.Combine(alternate, TRegionOp::Diff).Contains(50, 50));
  EXPECT_TRUE(alternate.Combine(winding, TRegionOp::Diff).IsEmpty());
}

TEST(Region, WindingDirectionCounts) {
  // Two nested squares: drawn the same way the hole is filled under winding; drawn the other
  // way round it stays a hole.
  const std::vector<TPoint> same = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0},
                                    {3, 3}, {7, 3}, {7, 7}, {3, 7}, {3, 3}};
  const std::vector<TPoint> opposite = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0},
                                        {3, 3}, {3, 7}, {7, 7}, {7, 3}, {3, 3}};
  EXPECT_TRUE(TRegion::FromPolygon(same, TFillMode::Winding).Contains(5, 5));
  EXPECT_FALSE(TRegion::FromPolygon(opposite, TFillMode::Winding).Contains(5, 5));
  EXPECT_FALSE(TRegion::FromPolygon(same, TFillMode::Alternate).Contains(5, 5));
  EXPECT_TRUE(TRegion::FromPolygon(same, TFillMode::Alternate).Contains(1, 5));
}

TEST(Region, CombineOperations) {
  const TRegion a = TRegion::FromRect(Rect(0, 0, 4, 4));
  const TRegion b = TRegion::FromRect(Rect(2, 2, 6, 6));
  EXPECT_EQ(a.Combine(b, TRegionOp::And), TRegion::FromRect(Rect(2, 2, 4, 4)));
  EXPECT_EQ(a.Combine(b, TRegionOp::Or).Rects(),
            (std::vector<TRect>{Rect(0, 0, 4, 2), Rect(0, 2, 6, 4), Rect(2, 4, 6, 6)}));
  EXPECT_EQ(a.Combine(b, TRegionOp::Xor).Rects(),
            (std::vector<TRect>{Rect(0, 0, 4, 2), Rect(0, 2, 2, 4), Rect(4, 2, 6, 4), Rect(2, 4, 6, 6)}));
  EXPECT_EQ(a.Combine(b, TRegionOp::Diff).Rects(), (std::vector<TRect>{Rect(0, 0, 4, 2), Rect(0, 2, 2, 4)}));
  EXPECT_EQ(a.Combine(b, TRegionOp::Copy), a);
  EXPECT_EQ(a.Combine(b, TRegionOp::Or).BoundingBox(), Rect(0, 0, 6, 6));
  EXPECT_TRUE(a.Combine(a, TRegionOp::Xor).IsEmpty());
  EXPECT_TRUE(a.Combine(TRegion::FromRect(Rect(10, 10, 12, 12)), TRegionOp::And).IsEmpty());
  EXPECT_EQ(TRegion().Combine(a, TRegionOp::Or), a);
  // Pieces put together compare equal to the whole (one canonical form).
  const TRegion halves = TRegion::FromRect(Rect(0, 0, 4, 2))
                             .Combine(TRegion::FromRect(Rect(0, 2, 2, 4)), TRegionOp::Or)
                             .Combine(TRegion::FromRect(Rect(2, 2, 4, 4)), TRegionOp::Or);
  EXPECT_EQ(halves, a);
  EXPECT_EQ(halves.Rects().size(), 1u);
}

TEST(Region, Offset) {
  const TRegion e = TRegion::FromEllipse(Rect(0, 0, 8, 8));
  EXPECT_EQ(e.Offset(3, -1), TRegion::FromEllipse(Rect(3, -1, 11, 7)));
  EXPECT_TRUE(e.Offset(3, -1).Contains(5, -1));
  // Far moves clamp at the coordinate limit instead of overflowing.
  const TRegion far = TRegion::FromRect(Rect(0, 0, 4, 4)).Offset(2147483647, 0);
  EXPECT_TRUE(far.IsEmpty());
}

TEST(Region, HugeCoordinatesStayBounded) {
  const TRegion big = TRegion::FromPolygon({{-2000000000, -2000000000}, {2000000000, -2000000000}, {0, 2000000000}},
                                           TFillMode::Winding);
  EXPECT_TRUE(big.Contains(0, 0));
  EXPECT_TRUE(big.Contains(-1000000, 0));
  EXPECT_FALSE(big.Contains(0, RegionRasterLimit));
  EXPECT_GE(big.BoundingBox().Top, -RegionRasterLimit);
  EXPECT_LE(big.BoundingBox().Bottom, RegionRasterLimit);
  EXPECT_LE(big.BoundingBox().Right, MaxRegionCoord);

  const TRegion ellipse = TRegion::FromEllipse(Rect(-2000000000, -2000000000, 2000000000, 2000000000));
  EXPECT_TRUE(ellipse.Contains(0, 0));
  EXPECT_TRUE(ellipse.Contains(MaxRegionCoord - 1, 0));
  EXPECT_FALSE(ellipse.Contains(0, RegionRasterLimit + 5));

  const TRegion rect = TRegion::FromRect(Rect(-2147483647 - 1, 0, 2147483647, 1));
  EXPECT_EQ(rect.BoundingBox(), Rect(-MaxRegionCoord, 0, MaxRegionCoord, 1));
}

TEST(Region, ManyEdgesStopAtTheCrossingBudget) {
  // A comb of MaxRegionPoints points whose every edge spans two million rows.
  std::vector<TPoint> comb;
  for (int i = 0; i < MaxRegionPoints / 2; ++i) {
    comb.push_back({i * 4, -1000000});
    comb.push_back({i * 4 + 2, 1000000});
  }
  comb.push_back({0, 5});  // past the point limit: ignored
  const TRegion r = TRegion::FromPolygon(comb, TFillMode::Alternate);
  EXPECT_FALSE(r.IsEmpty());
  EXPECT_LE(std::int64_t(r.BoundingBox().Height()) * MaxRegionPoints, MaxRegionCrossings);
}

TEST(Region, PointLimitIgnoresTheRest) {
  // The first MaxRegionPoints points trace a square (with many repeated corners); the extra
  // points would pull a long spike out of it.
  std::vector<TPoint> points = {{0, 0}, {10, 0}, {10, 10}};
  while (points.size() < std::size_t(MaxRegionPoints)) points.push_back({0, 10});
  points.push_back({500, 500});
  const TRegion r = TRegion::FromPolygon(points, TFillMode::Winding);
  EXPECT_EQ(r, TRegion::FromRect(Rect(0, 0, 10, 10)));
}

}  // namespace
}  // namespace korva
