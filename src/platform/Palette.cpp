#include "platform/Bitmap.h"

namespace korva {

namespace {

TPaletteEntry Entry(int r, int g, int b) {
  return TPaletteEntry{std::uint8_t(r), std::uint8_t(g), std::uint8_t(b), 0};
}

}  // namespace

int NearestColorIndex(const TColor* table, int count, TColor c) {
  const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  int best = -1;
  int bestDistance = 0;
  for (int i = 0; i < count; ++i) {
    const int dr = GetRValue(table[i]) - r, dg = GetGValue(table[i]) - g, db = GetBValue(table[i]) - b;
    const int d = dr * dr + dg * dg + db * db;
    if (best < 0 || d < bestDistance) {
      best = i;
      bestDistance = d;
      if (d == 0) break;
    }
  }
  return best;
}

int TPalette::NearestIndex(TColor c) const {
  const TColor rgb = ColorToRGB(c) & 0xFFFFFF;
  const int r = GetRValue(rgb), g = GetGValue(rgb), b = GetBValue(rgb);
  int best = -1, bestDistance = 0;
  for (std::size_t i = 0; i < FEntries.size(); ++i) {
    const TPaletteEntry& e = FEntries[i];
    const int d = (e.R - r) * (e.R - r) + (e.G - g) * (e.G - g) + (e.B - b) * (e.B - b);
    if (best < 0 || d < bestDistance) {
      best = int(i);
      bestDistance = d;
    }
  }
  return best;
}

TPalette TPalette::Default16() {
  return TPalette({Entry(0, 0, 0), Entry(0x80, 0, 0), Entry(0, 0x80, 0), Entry(0x80, 0x80, 0),
                   Entry(0, 0, 0x80), Entry(0x80, 0, 0x80), Entry(0, 0x80, 0x80), Entry(0xC0, 0xC0, 0xC0),
                   Entry(0x80, 0x80, 0x80), Entry(0xFF, 0, 0), Entry(0, 0xFF, 0), Entry(0xFF, 0xFF, 0),
                   Entry(0, 0, 0xFF), Entry(0xFF, 0, 0xFF), Entry(0, 0xFF, 0xFF), Entry(0xFF, 0xFF, 0xFF)});
}

TPalette TPalette::SystemStatic20() {
  return TPalette({Entry(0, 0, 0),          Entry(0x80, 0, 0),        Entry(0, 0x80, 0),
                   Entry(0x80, 0x80, 0),    Entry(0, 0, 0x80),        Entry(0x80, 0, 0x80),
                   Entry(0, 0x80, 0x80),    Entry(0xC0, 0xC0, 0xC0),  Entry(0xC0, 0xDC, 0xC0),
                   Entry(0xA6, 0xCA, 0xF0), Entry(0xFF, 0xFB, 0xF0),  Entry(0xA0, 0xA0, 0xA4),
                   Entry(0x80, 0x80, 0x80), Entry(0xFF, 0, 0),        Entry(0, 0xFF, 0),
                   Entry(0xFF, 0xFF, 0),    Entry(0, 0, 0xFF),        Entry(0xFF, 0, 0xFF),
                   Entry(0, 0xFF, 0xFF),    Entry(0xFF, 0xFF, 0xFF)});
}

const std::vector<TColor>& Default256Table() {
  static const std::vector<TColor> table = [] {
    std::vector<TColor> t;
    t.reserve(256);
    const TPalette statics = TPalette::SystemStatic20();
    for (int i = 0; i < 10; ++i) t.push_back(statics.ColorAt(i));
    for (int b = 0; b < 6; ++b)
      for (int g = 0; g < 6; ++g)
        for (int r = 0; r < 6; ++r) t.push_back(RGBColor(r * 51, g * 51, b * 51));
    for (int i = 10; i < 20; ++i) t.push_back(statics.ColorAt(i));
    for (int i = 1; i <= 20; ++i) {
      const int v = (255 * i * 2 + 21) / 42;
      t.push_back(RGBColor(v, v, v));
    }
    return t;
  }();
  return table;
}

}  // namespace korva
