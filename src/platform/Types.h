// Basic value types shared by every layer: colours, points, rectangles and the integer
// arithmetic rules the layout code relies on.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace korva {

// Colours are 0x00BBGGRR. 0x02000000 marks a colour that came from #rrggbb or rgb() (matched
// against the palette on palette displays). 0xFF0000nn is system colour nn, resolved by
// ColorToRGB. 0x1FFFFFFF means "no colour" (transparent).
using TColor = std::uint32_t;

constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor PaletteMatchFlag = 0x02000000;
constexpr TColor SystemColorBase = 0xFF000000;

constexpr TColor RGBColor(int r, int g, int b) {
  return TColor(std::uint8_t(r)) | (TColor(std::uint8_t(g)) << 8) | (TColor(std::uint8_t(b)) << 16);
}
constexpr int GetRValue(TColor c) { return int(c & 0xFF); }
constexpr int GetGValue(TColor c) { return int((c >> 8) & 0xFF); }
constexpr int GetBValue(TColor c) { return int((c >> 16) & 0xFF); }
constexpr bool IsSystemColor(TColor c) { return (c & 0xFF000000u) == SystemColorBase; }

// System colour indexes (the low byte of a system colour).
enum TSysColorIndex : int {
  COLOR_SCROLLBAR = 0, COLOR_BACKGROUND = 1, COLOR_ACTIVECAPTION = 2, COLOR_INACTIVECAPTION = 3,
  COLOR_MENU = 4, COLOR_WINDOW = 5, COLOR_WINDOWFRAME = 6, COLOR_MENUTEXT = 7, COLOR_WINDOWTEXT = 8,
  COLOR_CAPTIONTEXT = 9, COLOR_ACTIVEBORDER = 10, COLOR_INACTIVEBORDER = 11, COLOR_APPWORKSPACE = 12,
  COLOR_HIGHLIGHT = 13, COLOR_HIGHLIGHTTEXT = 14, COLOR_BTNFACE = 15, COLOR_BTNSHADOW = 16,
  COLOR_GRAYTEXT = 17, COLOR_BTNTEXT = 18, COLOR_INACTIVECAPTIONTEXT = 19, COLOR_BTNHIGHLIGHT = 20,
  COLOR_3DDKSHADOW = 21, COLOR_3DLIGHT = 22, COLOR_INFOTEXT = 23, COLOR_INFOBK = 24,
  COLOR_SYSCOUNT = 25
};

constexpr TColor clBlack = 0x000000, clWhite = 0xFFFFFF, clSilver = 0xC0C0C0, clGray = 0x808080,
                 clRed = 0x0000FF, clBlue = 0xFF0000, clNavy = 0x800000, clPurple = 0x800080;
constexpr TColor clBtnFace = SystemColorBase + COLOR_BTNFACE;
constexpr TColor clBtnShadow = SystemColorBase + COLOR_BTNSHADOW;
constexpr TColor clBtnHighlight = SystemColorBase + COLOR_BTNHIGHLIGHT;
constexpr TColor clBtnText = SystemColorBase + COLOR_BTNTEXT;
constexpr TColor clWindow = SystemColorBase + COLOR_WINDOW;
constexpr TColor clWindowText = SystemColorBase + COLOR_WINDOWTEXT;
constexpr TColor clHighlight = SystemColorBase + COLOR_HIGHLIGHT;
constexpr TColor clHighlightText = SystemColorBase + COLOR_HIGHLIGHTTEXT;
constexpr TColor clGrayText = SystemColorBase + COLOR_GRAYTEXT;
constexpr TColor clInfoBk = SystemColorBase + COLOR_INFOBK;
constexpr TColor cl3DDkShadow = SystemColorBase + COLOR_3DDKSHADOW;
constexpr TColor cl3DLight = SystemColorBase + COLOR_3DLIGHT;

// Resolves a system colour through the application palette (fixed defaults when no GUI
// application exists); strips the palette-match flag; leaves other colours as 0x00BBGGRR.
// clNone stays clNone.
TColor ColorToRGB(TColor c);
// The colour of one system colour index (GetSysColor).
TColor GetSysColor(int index);

struct TPoint {
  int x = 0, y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int cx = 0, cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

// Left/top inclusive, right/bottom exclusive, as everywhere in the engine.
struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  constexpr int Width() const { return Right - Left; }
  constexpr int Height() const { return Bottom - Top; }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  constexpr bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
  constexpr TRect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

constexpr TRect Rect(int l, int t, int r, int b) { return {l, t, r, b}; }
constexpr TRect Bounds(int l, int t, int w, int h) { return {l, t, l + w, t + h}; }
// Empty result when they do not overlap (all zero, as IntersectRect).
TRect IntersectRect(const TRect& a, const TRect& b);
TRect UnionRect(const TRect& a, const TRect& b);

// a * b / c with a 64-bit product, rounded to nearest (halves away from zero); -1 when c is 0.
int MulDiv(int a, int b, int c);
// Real to integer, halves to even (the run-time library's Round).
inline int RoundHalfEven(double v) {
  double r = std::nearbyint(v);  // default rounding mode is to nearest, ties to even
  if (r > 2147483647.0) return 2147483647;
  if (r < -2147483648.0) return -2147483647 - 1;
  return int(r);
}

}  // namespace korva
