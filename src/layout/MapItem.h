// Client-side image maps: one MAP element with its areas (rectangles, circles, polygons), each a
// region with the link it leads to; and the rule of server-side maps.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/UrlTarget.h"
#include "platform/Region.h"

namespace korva {

class TAttributeList;

// COORDS yields at most this many numbers.
constexpr int MaxAreaCoords = 301;
// A number of COORDS is read from at most this many characters.
constexpr int MaxAreaNumberChars = 20;

enum class TAreaShape { Rect, Circle, Polygon };

class TMapItem {
 public:
  explicit TMapItem(std::string name = {}) : MapName(std::move(name)) {}

  std::string MapName;  // the MAP element's NAME, upper case

  // One AREA element: HREF (cleared by NOHREF), TITLE, TARGET, SHAPE and COORDS. An area with
  // too few numbers for its shape is dropped.
  void AddAreaFromTag(const TAttributeList& attributes);
  // The area of the given shape and numbers, or nothing when there are too few numbers.
  bool AddArea(TAreaShape shape, const std::vector<int>& coords, std::string href, std::string target,
               std::string title);
  // The first area (in the order added) holding the point, relative to the image: true with its
  // link and title when that area has an HREF; false when no area holds the point or the first
  // that does has none (NOHREF).
  bool LinkAtPoint(int x, int y, TUrlTarget& link, std::string& title) const;

  int AreaCount() const { return int(FAreas.size()); }
  const TRegion& AreaRegion(int i) const { return FAreas[std::size_t(i)].Region; }
  const std::string& AreaHref(int i) const { return FAreas[std::size_t(i)].Href; }

 private:
  struct TArea {
    std::string Href;
    TRegion Region;
    std::string Target, Title;
  };
  std::vector<TArea> FAreas;
};

// The numbers of a COORDS value: each ends at the first comma or blank, the separators after it
// are skipped; a piece that is not a decimal integer reads as 0.
std::vector<int> ParseAreaCoords(std::string_view text);
// SHAPE: "circ..." a circle, "poly..." a polygon (any letter case), anything else a rectangle.
TAreaShape ParseAreaShape(std::string_view text);
// The link of a click at (x, y) in a server-side map image: url?x,y.
std::string ServerSideMapUrl(std::string_view url, int x, int y);

}  // namespace korva
