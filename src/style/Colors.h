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

// Parses a colour name, #rgb, #rrggbb, #rgba, #rrggbbaa, bare hex digits (unless needPound),
// rgb(r, g, b) and rgba(r, g, b, a) with integers or percentages, hsl(h, s%, l%) and
// hsla(h, s%, l%, a). Hex and functional colours carry PaletteMatchFlag. "transparent" and any
// colour whose alpha is 0 give clNone.
bool ParseColor(std::string_view text, bool needPound, TColor& color);

// Colours with an alpha below 1 (rgba(), hsla(), #rgba, #rrggbbaa). Red, green and blue stay in
// the low 24 bits as in every colour; the top byte holds the opacity: bit 31 marks a
// translucent colour and bits 26-30 hold its alpha in 32 steps (1 to 30; a colour that rounds
// to 0 is clNone and one that rounds to 31 is written opaque). Bit 25 is the palette flag as
// always and bit 24 is never set, so a translucent colour is never taken for a system colour
// (0xFF......) or for clNone. Whatever reads only the low 24 bits (ColorToRGB) gets the colour
// as if it were opaque; drawing that can blend reads ColorAlpha.
constexpr TColor TranslucentFlag = 0x80000000;
constexpr bool IsTranslucent(TColor c) {
  return c != clNone && (c & 0xFF000000u) != SystemColorBase && (c & TranslucentFlag) != 0;
}
// 0 to 255; 255 for every colour that is not translucent.
constexpr int ColorAlpha(TColor c) { return IsTranslucent(c) ? int((c >> 26) & 31) * 255 / 31 : 255; }
// `rgb` (low 24 bits, palette flag kept) with an alpha of 0 to 1.
TColor ColorWithAlpha(TColor rgb, double alpha);

}  // namespace korva
