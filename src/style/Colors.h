// Colour names and the colour parser shared by style sheets and HTML attributes.
#pragma once

#include <string_view>

#include "platform/Types.h"

namespace korva {

struct TNamedColor {
  std::string_view Name;
  TColor Color;
};

// The 176 named colours in load order: "transparent", the 147 CSS colour keywords, then the 28
// system colour names.
constexpr int NamedColorCount = 176;
const TNamedColor* NamedColorTable();
// Binary search of the sorted list, without regard to case.
bool FindNamedColor(std::string_view name, TColor& color);

// Parses a colour name, #rgb, #rrggbb, bare hex digits (unless needPound) or rgb(r, g, b) with
// integers or percentages. Hex and rgb() colours carry PaletteMatchFlag.
bool ParseColor(std::string_view text, bool needPound, TColor& color);

}  // namespace korva
