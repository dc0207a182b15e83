#include "layout/MapItem.h"
#include "core/CharCase.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "core/Attributes.h"

namespace korva {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A whole decimal integer with an optional sign; 0 for anything else or out of range.
int DecimalOrZero(std::string_view s) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i == s.size()) return 0;
  std::int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return 0;
    v = v * 10 + (s[i] - '0');
    if (v > std::int64_t(2147483648)) return 0;
  }
  if (negative) v = -v;
  if (v > 2147483647 || v < -std::int64_t(2147483648)) return 0;
  return int(v);
}

int ClampCoord(std::int64_t v) { return int(std::clamp<std::int64_t>(v, -MaxRegionCoord, MaxRegionCoord)); }

}  // namespace

std::vector<int> ParseAreaCoords(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  std::vector<int> out;
  std::size_t i = b;
  while (i < e && int(out.size()) < MaxAreaCoords) {
    std::size_t end = i;
    while (end < e && text[end] != ',' && !IsBlank(text[end])) ++end;
    std::string_view piece = text.substr(i, end - i);
    out.push_back(DecimalOrZero(piece.substr(0, MaxAreaNumberChars)));
    i = end;
    while (i < e && (text[i] == ',' || IsBlank(text[i]))) ++i;
  }
  return out;
}

TAreaShape ParseAreaShape(std::string_view text) {
  std::string head;
  for (char c : text.substr(0, 4)) head += char(korva::LowCase(static_cast<unsigned char>(c)));
  if (head == "circ") return TAreaShape::Circle;
  if (head == "poly") return TAreaShape::Polygon;
  return TAreaShape::Rect;
}

std::string ServerSideMapUrl(std::string_view url, int x, int y) {
  std::string out(url);
  out += '?';
  out += std::to_string(x);
  out += ',';
  out += std::to_string(y);
  return out;
}

void TMapItem::AddAreaFromTag(const TAttributeList& attributes) {
  std::string href, title, target;
  bool noHref = false;
  TAreaShape shape = TAreaShape::Rect;
  std::vector<int> coords;
  for (int i = 0; i < attributes.Count(); ++i) {
    const TAttribute& a = *attributes[i];
    switch (a.Which()) {
      case syHref: href = a.Text(); break;
      case syTitle: title = a.Text(); break;
      case syTarget: target = a.Text(); break;
      case syNohref: noHref = true; break;
      case syShape: shape = ParseAreaShape(a.Text()); break;
      case syCoords: coords = ParseAreaCoords(a.Text()); break;
      default: break;
    }
  }
  if (noHref) href.clear();
  AddArea(shape, coords, std::move(href), std::move(target), std::move(title));
}

bool TMapItem::AddArea(TAreaShape shape, const std::vector<int>& c, std::string href, std::string target,
                       std::string title) {
  TRegion region;
  switch (shape) {
    case TAreaShape::Rect:
      if (c.size() < 4) return false;
      region = TRegion::FromRect(Rect(ClampCoord(c[0]), ClampCoord(c[1]), ClampCoord(std::int64_t(c[2]) + 1),
                                      ClampCoord(std::int64_t(c[3]) + 1)));
      break;
    case TAreaShape::Circle: {
      if (c.size() < 3) return false;
      const std::int64_t x = c[0], y = c[1], r = c[2];
      region = TRegion::FromEllipse(
          Rect(ClampCoord(x - r), ClampCoord(y - r), ClampCoord(x + r + 1), ClampCoord(y + r + 1)));
      break;
    }
    case TAreaShape::Polygon: {
      if (c.size() < 6) return false;
      std::vector<TPoint> points;
      for (std::size_t i = 0; i + 1 < c.size(); i += 2) points.push_back({ClampCoord(c[i]), ClampCoord(c[i + 1])});
      region = TRegion::FromPolygon(points, TFillMode::Winding);
      break;
    }
  }
  FAreas.push_back({std::move(href), std::move(region), std::move(target), std::move(title)});
  return true;
}

bool TMapItem::LinkAtPoint(int x, int y, TUrlTarget& link, std::string& title) const {
  for (const TArea& a : FAreas) {
    if (!a.Region.Contains(x, y)) continue;
    if (a.Href.empty()) return false;
    link.Assign(a.Href, a.Target);
    title = a.Title;
    return true;
  }
  return false;
}

}  // namespace korva
