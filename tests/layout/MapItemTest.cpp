// Client-side image maps: COORDS numbers, area shapes and regions, the link at a point; and the
// server-side map rule.
#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "layout/MapItem.h"

namespace korva::test {
namespace {

TEST(MapItem, CoordsNumbers) {
  struct Case {
    const char* text;
    std::vector<int> numbers;
  };
  const Case cases[] = {
      {"10, 20 30,40", {10, 20, 30, 40}},
      {"  1,,2 ,  3  ", {1, 2, 3}},
      {"1\t2\n3", {1, 2, 3}},
      {"-5,+6", {-5, 6}},
      {"a,5,7x", {0, 5, 0}},
      {"99999999999,1", {0, 1}},
      {"00000000000000000042", {42}},    // 20 characters: read whole
      {"000000000000000000042", {4}},    // 21: cut to the first 20
      {"", {}},
      {" , 7", {0, 7}},  // a leading separator ends an empty number
  };
  for (const Case& c : cases) EXPECT_EQ(ParseAreaCoords(c.text), c.numbers) << '"' << c.text << '"';
  std::string many;
  for (int i = 0; i < 400; ++i) many += std::to_string(i) + ",";
  std::vector<int> got = ParseAreaCoords(many);
  ASSERT_EQ(got.size(), std::size_t(MaxAreaCoords));
  EXPECT_EQ(got.back(), MaxAreaCoords - 1);
}

TEST(MapItem, ShapeNames) {
  struct Case {
    const char* name;
    TAreaShape shape;
  };
  const Case cases[] = {
      {"CIRCLE", TAreaShape::Circle}, {"circ", TAreaShape::Circle},   {"Circus", TAreaShape::Circle},
      {"polygon", TAreaShape::Polygon}, {"POLY", TAreaShape::Polygon}, {"default", TAreaShape::Rect},
      {"rect", TAreaShape::Rect},     {"cir", TAreaShape::Rect},      {"", TAreaShape::Rect},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseAreaShape(c.name), c.shape) << c.name;
}

TEST(MapItem, AreasFromTags) {
  TMapItem map("NAV");
  struct Case {
    const char* what;
    std::string shape, coords;
    bool kept;
    TRegion region;
  };
  std::vector<TPoint> triangle = {{0, 0}, {10, 0}, {0, 10}};
  const Case cases[] = {
      {"rectangle from mixed separators", "", "10, 20 30,40", true, TRegion::FromRect(Rect(10, 20, 31, 41))},
      {"two numbers drop a rectangle", "rect", "10,20", false, {}},
      {"CIRCLE", "CIRCLE", "50,50,10", true, TRegion::FromEllipse(Rect(40, 40, 61, 61))},
      {"circ", "circ", "50 50 10 99", true, TRegion::FromEllipse(Rect(40, 40, 61, 61))},
      {"a circle needs 3", "circle", "50,50", false, {}},
      {"polygon", "polygon", "0,0,10,0,0,10", true, TRegion::FromPolygon(triangle, TFillMode::Winding)},
      {"an odd number is left out", "poly", "0,0,10,0,0,10,7", true, TRegion::FromPolygon(triangle, TFillMode::Winding)},
      {"a polygon needs 6", "poly", "0,0,10,0,0", false, {}},
      {"default is a rectangle", "default", "0,0,4,4", true, TRegion::FromRect(Rect(0, 0, 5, 5))},
  };
  int count = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto attrs = Attrs({{syHref, "x.html"}, {syShape, c.shape}, {syCoords, c.coords}});
    map.AddAreaFromTag(*attrs);
    if (c.kept) ++count;
    ASSERT_EQ(map.AreaCount(), count);
    if (c.kept) {
      EXPECT_EQ(map.AreaRegion(count - 1), c.region);
    }
  }
  // Coordinates at the ends of the integer range do not overflow.
  auto huge = Attrs({{syShape, "circle"}, {syCoords, "2147483647,-2147483648,2147483647"}});
  map.AddAreaFromTag(*huge);
  EXPECT_EQ(map.AreaCount(), count + 1);
}

TEST(MapItem, PolygonsFillByWinding) {
  // A five-pointed star drawn in one stroke: its centre is enclosed twice, which the even-odd
  // rule would leave out.
  TMapItem map;
  auto star = Attrs({{syHref, "star"}, {syShape, "poly"}, {syCoords, "50,0 79,90 2,35 98,35 21,90"}});
  map.AddAreaFromTag(*star);
  TUrlTarget link;
  std::string title;
  EXPECT_TRUE(map.LinkAtPoint(50, 45, link, title));
  EXPECT_EQ(link.Url(), "star");
  EXPECT_FALSE(map.LinkAtPoint(5, 80, link, title));
}

TEST(MapItem, LinkAtPointTakesTheFirstAreaHit) {
  TMapItem map;
  auto blocked = Attrs({{syHref, "never.html"}, {syNohref, ""}, {syCoords, "0,0,9,9"}});
  auto outer = Attrs({{syHref, "outer.html"}, {syTarget, "main"}, {syTitle, "Outer"}, {syCoords, "0,0,99,99"}});
  auto later = Attrs({{syHref, "later.html"}, {syCoords, "50,50,60,60"}});
  map.AddAreaFromTag(*blocked);
  map.AddAreaFromTag(*outer);
  map.AddAreaFromTag(*later);
  TUrlTarget link;
  std::string title;
  EXPECT_FALSE(map.LinkAtPoint(5, 5, link, title));  // NOHREF hides what lies below
  ASSERT_TRUE(map.LinkAtPoint(55, 55, link, title));
  EXPECT_EQ(link.Url(), "outer.html");
  EXPECT_EQ(link.Target(), "main");
  EXPECT_EQ(title, "Outer");
  ASSERT_TRUE(map.LinkAtPoint(99, 99, link, title));  // right and bottom are inside
  EXPECT_FALSE(map.LinkAtPoint(100, 50, link, title));
}

TEST(MapItem, ServerSideMapUrl) {
  EXPECT_EQ(ServerSideMapUrl("u", 5, 7), "u?5,7");
  EXPECT_EQ(ServerSideMapUrl("cgi/map", 0, 123), "cgi/map?0,123");
}

}  // namespace
}  // namespace korva::test
