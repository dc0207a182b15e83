#include "platform/Types.h"

#include <QGuiApplication>
#include <QPalette>

namespace korva {

namespace {

// Classic defaults, used when no GUI application (and so no palette) exists.
constexpr TColor DefaultSysColors[COLOR_SYSCOUNT] = {
    0xC8C8C8, 0x000000, 0x800000, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x000000, 0x000000, 0x000000,
    0xFFFFFF, 0xC0C0C0, 0xC0C0C0, 0x808080, 0x800000, 0xFFFFFF, 0xC0C0C0, 0x808080, 0x808080,
    0x000000, 0xC0C0C0, 0xFFFFFF, 0x000000, 0xC0C0C0, 0x000000, 0xE1FFFF};

TColor FromQColor(const QColor& c) { return RGBColor(c.red(), c.green(), c.blue()); }

}  // namespace

TColor GetSysColor(int index) {
  if (index < 0 || index >= COLOR_SYSCOUNT) return 0;
  if (!qGuiApp) return DefaultSysColors[index];
  const QPalette pal = QGuiApplication::palette();
  switch (index) {
    case COLOR_WINDOW: return FromQColor(pal.color(QPalette::Active, QPalette::Base));
    case COLOR_WINDOWTEXT: return FromQColor(pal.color(QPalette::Active, QPalette::Text));
    case COLOR_BTNFACE: case COLOR_MENU: case COLOR_3DLIGHT: case COLOR_SCROLLBAR:
    case COLOR_ACTIVEBORDER: case COLOR_INACTIVEBORDER:
      return index == COLOR_3DLIGHT ? FromQColor(pal.color(QPalette::Active, QPalette::Midlight))
                                    : FromQColor(pal.color(QPalette::Active, QPalette::Button));
    case COLOR_BTNTEXT: case COLOR_MENUTEXT: return FromQColor(pal.color(QPalette::Active, QPalette::ButtonText));
    case COLOR_BTNSHADOW: return FromQColor(pal.color(QPalette::Active, QPalette::Dark));
    case COLOR_3DDKSHADOW: return FromQColor(pal.color(QPalette::Active, QPalette::Shadow));
    case COLOR_BTNHIGHLIGHT: return FromQColor(pal.color(QPalette::Active, QPalette::Light));
    case COLOR_HIGHLIGHT: return FromQColor(pal.color(QPalette::Active, QPalette::Highlight));
    case COLOR_HIGHLIGHTTEXT: return FromQColor(pal.color(QPalette::Active, QPalette::HighlightedText));
    case COLOR_GRAYTEXT: return FromQColor(pal.color(QPalette::Disabled, QPalette::Text));
    case COLOR_INFOTEXT: return FromQColor(pal.color(QPalette::Active, QPalette::ToolTipText));
    case COLOR_INFOBK: return FromQColor(pal.color(QPalette::Active, QPalette::ToolTipBase));
    default: return DefaultSysColors[index];
  }
}

TColor ColorToRGB(TColor c) {
  if (c == clNone) return c;
  if (IsSystemColor(c)) return GetSysColor(int(c & 0xFF));
  return c & 0x00FFFFFF;
}

TRect IntersectRect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
  if (r.IsEmpty()) return {};
  return r;
}

TRect UnionRect(const TRect& a, const TRect& b) {
  if (a.IsEmpty()) return b.IsEmpty() ? TRect{} : b;
  if (b.IsEmpty()) return a;
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right), std::max(a.Bottom, b.Bottom)};
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  std::int64_t p = std::int64_t(a) * b;
  std::int64_t half = (c < 0 ? -std::int64_t(c) : std::int64_t(c)) / 2;
  // Round half away from zero, on the sign of the true quotient.
  bool negative = (p < 0) != (c < 0);
  std::int64_t ap = p < 0 ? -p : p;
  std::int64_t ac = c < 0 ? -std::int64_t(c) : std::int64_t(c);
  std::int64_t q = (ap + half) / ac;
  if (negative) q = -q;
  if (q > 2147483647) return -1;
  if (q < -2147483647 - 1) return -1;
  return int(q);
}

}  // namespace korva
