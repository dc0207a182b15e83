// Media queries of @media blocks and @import rules, and what they are evaluated against.
#pragma once

#include <string_view>
#include <vector>

namespace korva {

// What a page is shown on: the viewer's width and height in pixels, and the medium.
struct TMediaEnv {
  int Width = 800;
  int Height = 600;
  bool Print = false;
  friend bool operator==(const TMediaEnv&, const TMediaEnv&) = default;
};

enum TMediaFeatureKind : unsigned char { mfWidth, mfHeight, mfOrientation, mfColorScheme, mfNever };
enum TMediaCompare : unsigned char { mcMin, mcMax, mcEqual };

struct TMediaFeature {
  TMediaFeatureKind Kind = mfNever;
  TMediaCompare Compare = mcEqual;
  int Pixels = 0;         // width and height
  bool Portrait = false;  // orientation
  bool Light = true;      // prefers-color-scheme
};

struct TMediaQuery {
  bool Not = false;
  bool Never = false;  // an unknown type or feature: the query holds for nothing (before "not")
  unsigned char Type = 0;  // 0 all, 1 screen, 2 print, 3 any other
  std::vector<TMediaFeature> Features;
};

// A comma-separated query list; an empty list holds everywhere.
struct TMediaList {
  std::vector<TMediaQuery> Queries;
};

// Parses a query list (as written after "@media" or after an import's address). Never fails:
// what cannot be read becomes a query that holds for nothing, as the media query rules say.
TMediaList ParseMediaList(std::string_view text);
bool MediaListHolds(const TMediaList& list, const TMediaEnv& env);
// The widths at which the list may change its answer (the pixel values of width features).
void AddWidthBreakpoints(const TMediaList& list, std::vector<int>& widths);

}  // namespace korva
