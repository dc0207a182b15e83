#include "style/Colors.h"

#include <algorithm>
#include <cmath>
#include <vector>
#include <array>
#include <cstdlib>
#include <string>

#include "style/StyleState.h"
#include "style/Units.h"

namespace korva {

namespace {

// CSS keywords are written 0xRRGGBB here for readability and turned around at load.
struct TRawColor {
  const char* Name;
  std::uint32_t Rgb;
  bool System;
};

constexpr TRawColor RawColors[NamedColorCount] = {
    {"transparent", 0, false},
    {"black", 0x000000, false}, {"maroon", 0x800000, false}, {"green", 0x008000, false},
    {"olive", 0x808000, false}, {"navy", 0x000080, false}, {"purple", 0x800080, false},
    {"teal", 0x008080, false}, {"gray", 0x808080, false}, {"silver", 0xC0C0C0, false},
    {"red", 0xFF0000, false}, {"lime", 0x00FF00, false}, {"yellow", 0xFFFF00, false},
    {"blue", 0x0000FF, false}, {"fuchsia", 0xFF00FF, false}, {"aqua", 0x00FFFF, false},
    {"white", 0xFFFFFF, false}, {"aliceblue", 0xF0F8FF, false}, {"antiquewhite", 0xFAEBD7, false},
    {"aquamarine", 0x7FFFD4, false}, {"azure", 0xF0FFFF, false}, {"beige", 0xF5F5DC, false},
    {"bisque", 0xFFE4C4, false}, {"blanchedalmond", 0xFFEBCD, false}, {"blueviolet", 0x8A2BE2, false},
    {"brown", 0xA52A2A, false}, {"burlywood", 0xDEB887, false}, {"cadetblue", 0x5F9EA0, false},
    {"chartreuse", 0x7FFF00, false}, {"chocolate", 0xD2691E, false}, {"coral", 0xFF7F50, false},
    {"cornflowerblue", 0x6495ED, false}, {"cornsilk", 0xFFF8DC, false}, {"crimson", 0xDC143C, false},
    {"cyan", 0x00FFFF, false}, {"darkblue", 0x00008B, false}, {"darkcyan", 0x008B8B, false},
    {"darkgoldenrod", 0xB8860B, false}, {"darkgray", 0xA9A9A9, false}, {"darkgreen", 0x006400, false},
    {"darkkhaki", 0xBDB76B, false}, {"darkmagenta", 0x8B008B, false}, {"darkolivegreen", 0x556B2F, false},
    {"darkorange", 0xFF8C00, false}, {"darkorchid", 0x9932CC, false}, {"darkred", 0x8B0000, false},
    {"darksalmon", 0xE9967A, false}, {"darkseagreen", 0x8FBC8F, false}, {"darkslateblue", 0x483D8B, false},
    {"darkslategray", 0x2F4F4F, false}, {"darkturquoise", 0x00CED1, false}, {"darkviolet", 0x9400D3, false},
    {"deeppink", 0xFF1493, false}, {"deepskyblue", 0x00BFFF, false}, {"dimgray", 0x696969, false},
    {"dodgerblue", 0x1E90FF, false}, {"firebrick", 0xB22222, false}, {"floralwhite", 0xFFFAF0, false},
    {"forestgreen", 0x228B22, false}, {"gainsboro", 0xDCDCDC, false}, {"ghostwhite", 0xF8F8FF, false},
    {"gold", 0xFFD700, false}, {"goldenrod", 0xDAA520, false}, {"greenyellow", 0xADFF2F, false},
    {"honeydew", 0xF0FFF0, false}, {"hotpink", 0xFF69B4, false}, {"indianred", 0xCD5C5C, false},
    {"indigo", 0x4B0082, false}, {"ivory", 0xFFFFF0, false}, {"khaki", 0xF0E68C, false},
    {"lavender", 0xE6E6FA, false}, {"lavenderblush", 0xFFF0F5, false}, {"lawngreen", 0x7CFC00, false},
    {"lemonchiffon", 0xFFFACD, false}, {"lightblue", 0xADD8E6, false}, {"lightcoral", 0xF08080, false},
    {"lightcyan", 0xE0FFFF, false}, {"lightgoldenrodyellow", 0xFAFAD2, false}, {"lightgreen", 0x90EE90, false},
    {"lightgray", 0xD3D3D3, false}, {"lightpink", 0xFFB6C1, false}, {"lightsalmon", 0xFFA07A, false},
    {"lightseagreen", 0x20B2AA, false}, {"lightskyblue", 0x87CEFA, false}, {"lightslategray", 0x778899, false},
    {"lightsteelblue", 0xB0C4DE, false}, {"lightyellow", 0xFFFFE0, false}, {"limegreen", 0x32CD32, false},
    {"linen", 0xFAF0E6, false}, {"magenta", 0xFF00FF, false}, {"mediumaquamarine", 0x66CDAA, false},
    {"mediumblue", 0x0000CD, false}, {"mediumorchid", 0xBA55D3, false}, {"mediumpurple", 0x9370DB, false},
    {"mediumseagreen", 0x3CB371, false}, {"mediumslateblue", 0x7B68EE, false},
    {"mediumspringgreen", 0x00FA9A, false}, {"mediumturquoise", 0x48D1CC, false},
    {"mediumvioletred", 0xC71585, false}, {"midnightblue", 0x191970, false}, {"mintcream", 0xF5FFFA, false},
    {"mistyrose", 0xFFE4E1, false}, {"moccasin", 0xFFE4B5, false}, {"navajowhite", 0xFFDEAD, false},
    {"oldlace", 0xFDF5E6, false}, {"olivedrab", 0x6B8E23, false}, {"orange", 0xFFA500, false},
    {"orangered", 0xFF4500, false}, {"orchid", 0xDA70D6, false}, {"palegoldenrod", 0xEEE8AA, false},
    {"palegreen", 0x98FB98, false}, {"paleturquoise", 0xAFEEEE, false}, {"palevioletred", 0xDB7093, false},
    {"papayawhip", 0xFFEFD5, false}, {"peachpuff", 0xFFDAB9, false}, {"peru", 0xCD853F, false},
    {"pink", 0xFFC0CB, false}, {"plum", 0xDDA0DD, false}, {"powderblue", 0xB0E0E6, false},
    {"rosybrown", 0xBC8F8F, false}, {"royalblue", 0x4169E1, false}, {"saddlebrown", 0x8B4513, false},
    {"salmon", 0xFA8072, false}, {"sandybrown", 0xF4A460, false}, {"seagreen", 0x2E8B57, false},
    {"seashell", 0xFFF5EE, false}, {"sienna", 0xA0522D, false}, {"skyblue", 0x87CEEB, false},
    {"slateblue", 0x6A5ACD, false}, {"slategray", 0x708090, false}, {"snow", 0xFFFAFA, false},
    {"springgreen", 0x00FF7F, false}, {"steelblue", 0x4682B4, false}, {"tan", 0xD2B48C, false},
    {"thistle", 0xD8BFD8, false}, {"tomato", 0xFF6347, false}, {"turquoise", 0x40E0D0, false},
    {"violet", 0xEE82EE, false}, {"wheat", 0xF5DEB3, false}, {"whitesmoke", 0xF5F5F5, false},
    {"yellowgreen", 0x9ACD32, false}, {"grey", 0x808080, false}, {"darkgrey", 0xA9A9A9, false},
    {"darkslategrey", 0x2F4F4F, false}, {"dimgrey", 0x696969, false}, {"lightgrey", 0xD3D3D3, false},
    {"lightslategrey", 0x778899, false}, {"slategrey", 0x708090, false},
    // System colours: the low byte is the system colour index.
    {"background", 1, true}, {"activecaption", 2, true}, {"inactivecaption", 3, true}, {"menu", 4, true},
    {"window", 5, true}, {"windowframe", 6, true}, {"menutext", 7, true}, {"windowtext", 8, true},
    {"captiontext", 9, true}, {"activeborder", 10, true}, {"inactiveborder", 11, true},
    {"appworkspace", 12, true}, {"highlight", 13, true}, {"highlighttext", 14, true},
    {"buttonface", 15, true}, {"buttonshadow", 16, true}, {"graytext", 17, true}, {"buttontext", 18, true},
    {"inactivecaptiontext", 19, true}, {"buttonhighlight", 20, true}, {"threeddarkshadow", 21, true},
    {"threedlightshadow", 20, true}, {"infotext", 23, true}, {"infobackground", 24, true},
    {"scrollbar", 0, true}, {"threedface", 15, true}, {"threedhighlight", 22, true},
    {"threedshadow", 16, true},
};

struct TColorTables {
  std::array<TNamedColor, NamedColorCount> LoadOrder;
  std::array<TNamedColor, NamedColorCount> Sorted;
};

const TColorTables& Tables() {
  // Built on first need and kept for the life of the process.
  static const TColorTables tables = [] {
    TColorTables t;
    for (int i = 0; i < NamedColorCount; ++i) {
      const TRawColor& r = RawColors[i];
      TColor c;
      if (i == 0) c = clNone;
      else if (r.System) c = SystemColorBase + r.Rgb;
      else c = RGBColor(int(r.Rgb >> 16) & 0xFF, int(r.Rgb >> 8) & 0xFF, int(r.Rgb) & 0xFF);
      t.LoadOrder[i] = {r.Name, c};
    }
    t.Sorted = t.LoadOrder;
    std::stable_sort(t.Sorted.begin(), t.Sorted.end(),
                     [](const TNamedColor& a, const TNamedColor& b) { return a.Name < b.Name; });
    return t;
  }();
  return tables;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One rgb() component: a percentage read as a real times 2.55, else an integer; unreadable
// gives 0; the result is clamped to 0..255.
int RgbComponent(std::string_view raw) {
  std::string s = StyleTrim(raw);
  if (s.find('%') != std::string::npos) {
    s.erase(std::remove(s.begin(), s.end(), '%'), s.end());
    double v;
    if (!ReadWholeNumber(s, v)) return 0;
    return std::clamp(RoundHalfEven(std::clamp(v * 2.55, -1000.0, 1000.0)), 0, 255);
  }
  int v;
  if (!ReadWholeInt(s, v)) return 0;
  return std::clamp(v, 0, 255);
}

bool ParseRgb(const std::string& text, TColor& color) {
  size_t at = text.find("rgb");
  size_t open = text.find('(', at + 3);
  if (open == std::string::npos) return false;
  size_t close = text.find(')', open + 1);
  if (close == std::string::npos) return false;
  std::string_view inner(text.data() + open + 1, close - open - 1);
  std::string_view parts[3];
  size_t c1 = inner.find(',');
  if (c1 == std::string_view::npos) {
    parts[0] = inner;
  } else {
    parts[0] = inner.substr(0, c1);
    std::string_view rest = inner.substr(c1 + 1);
    size_t c2 = rest.find(',');
    if (c2 == std::string_view::npos) {
      parts[1] = rest;
    } else {
      parts[1] = rest.substr(0, c2);
      parts[2] = rest.substr(c2 + 1);
    }
  }
  color = RGBColor(RgbComponent(parts[0]), RgbComponent(parts[1]), RgbComponent(parts[2])) | PaletteMatchFlag;
  return true;
}

// The numbers inside the parentheses of a colour function, at most `max`.
std::vector<std::string_view> FunctionArgs(std::string_view text, std::size_t max) {
  std::vector<std::string_view> args;
  const std::size_t open = text.find('('), close = text.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) return args;
  std::string_view inner = text.substr(open + 1, close - open - 1);
  while (args.size() <= max) {
    const std::size_t comma = inner.find(',');
    args.push_back(StyleTrimView(inner.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    inner = inner.substr(comma + 1);
  }
  return args;
}

// An alpha value: a number from 0 to 1 or a percentage.
bool ReadAlpha(std::string_view raw, double& alpha) {
  std::string s = StyleTrim(raw);
  const bool percent = !s.empty() && s.back() == '%';
  if (percent) s.pop_back();
  if (!ReadWholeNumber(s, alpha)) return false;
  if (percent) alpha /= 100.0;
  alpha = std::clamp(alpha, 0.0, 1.0);
  return true;
}

bool ParseRgba(std::string_view text, TColor& color) {
  std::vector<std::string_view> a = FunctionArgs(text, 4);
  if (a.size() != 4) return false;
  double alpha;
  if (!ReadAlpha(a[3], alpha)) return false;
  color = ColorWithAlpha(RGBColor(RgbComponent(a[0]), RgbComponent(a[1]), RgbComponent(a[2])) | PaletteMatchFlag, alpha);
  return true;
}

bool ParseHsl(std::string_view text, bool withAlpha, TColor& color) {
  std::vector<std::string_view> a = FunctionArgs(text, 4);
  if (a.size() != (withAlpha ? 4u : 3u)) return false;
  double h, sat, light, alpha = 1.0;
  std::string hs = StyleTrim(a[0]);
  if (hs.size() > 3 && hs.substr(hs.size() - 3) == "deg") hs.resize(hs.size() - 3);
  if (!ReadWholeNumber(hs, h)) return false;
  auto percent = [](std::string_view v, double& out) {
    std::string t = StyleTrim(v);
    if (t.empty() || t.back() != '%') return false;
    t.pop_back();
    if (!ReadWholeNumber(t, out)) return false;
    out = std::clamp(out / 100.0, 0.0, 1.0);
    return true;
  };
  if (!percent(a[1], sat) || !percent(a[2], light)) return false;
  if (withAlpha && !ReadAlpha(a[3], alpha)) return false;
  h = std::fmod(std::fmod(h, 360.0) + 360.0, 360.0) / 360.0;
  const double m2 = light <= 0.5 ? light * (sat + 1) : light + sat - light * sat;
  const double m1 = light * 2 - m2;
  auto hue = [&](double x) {
    if (x < 0) x += 1;
    if (x > 1) x -= 1;
    if (x * 6 < 1) return m1 + (m2 - m1) * x * 6;
    if (x * 2 < 1) return m2;
    if (x * 3 < 2) return m1 + (m2 - m1) * (2.0 / 3 - x) * 6;
    return m1;
  };
  auto byte = [](double v) { return std::clamp(int(std::lround(v * 255.0)), 0, 255); };
  color = ColorWithAlpha(RGBColor(byte(hue(h + 1.0 / 3)), byte(hue(h)), byte(hue(h - 1.0 / 3))) | PaletteMatchFlag, alpha);
  return true;
}

bool ParseHex(std::string text, bool needPound, TColor& color, bool& bareHex) {
  size_t pound = text.rfind('#');
  if (pound != std::string::npos) {
    text.erase(0, pound + 1);
    bareHex = false;
  } else {
    if (needPound) return false;
    bareHex = true;
  }
  text = StyleTrim(text);
  if (text.empty() || text.size() > 8) return false;
  // #rgba and #rrggbbaa carry an alpha; short forms double each digit.
  const bool alpha = !bareHex && (text.size() == 4 || text.size() == 8);
  if (alpha ? text.size() == 4 : text.size() <= 3) {
    std::string doubled;
    for (char c : text) doubled.append(2, c);
    text = doubled;
  }
  std::uint32_t v = 0;
  for (char c : text) {
    int h = HexValue(c);
    if (h < 0) return false;
    v = v * 16 + std::uint32_t(h);
  }
  if (alpha) {
    color = ColorWithAlpha(RGBColor(int(v >> 24) & 0xFF, int(v >> 16) & 0xFF, int(v >> 8) & 0xFF) | PaletteMatchFlag,
                           double(v & 0xFF) / 255.0);
    return true;
  }
  color = RGBColor(int(v >> 16) & 0xFF, int(v >> 8) & 0xFF, int(v) & 0xFF) | PaletteMatchFlag;
  return true;
}

}  // namespace

TColor ColorWithAlpha(TColor rgb, double alpha) {
  if (!(alpha > 0)) return clNone;
  const int steps = int(std::lround(std::min(alpha, 1.0) * 31.0));
  if (steps <= 0) return clNone;
  rgb &= 0x00FFFFFF | PaletteMatchFlag;
  if (steps >= 31) return rgb;
  return rgb | TranslucentFlag | (TColor(steps) << 26);
}

const TNamedColor* NamedColorTable() { return Tables().LoadOrder.data(); }

bool FindNamedColor(std::string_view name, TColor& color) {
  const auto& sorted = Tables().Sorted;
  std::string lower = StyleLower(name);
  auto it = std::lower_bound(sorted.begin(), sorted.end(), lower,
                             [](const TNamedColor& e, const std::string& n) { return e.Name < n; });
  if (it == sorted.end() || it->Name != lower) return false;
  color = it->Color;
  return true;
}

bool ParseColor(std::string_view raw, bool needPound, TColor& color) {
  if (raw.empty()) return false;
  std::string text = StyleLower(StyleTrimView(raw));
  TStyleModuleState& state = StyleState();
  if (state.ColorCacheValid && state.ColorCacheText == text) {
    if (needPound && state.ColorCacheBareHex) return false;
    color = state.ColorCacheValue;
    return true;
  }
  TColor result = 0;
  bool ok = false, bareHex = false;
  if (text == "transparent") {
    color = clNone;
    return true;
  }
  if (text.rfind("rgba(", 0) == 0 || text.rfind("hsl(", 0) == 0 || text.rfind("hsla(", 0) == 0) {
    if (text[0] == 'r') ok = ParseRgba(text, result);
    else ok = ParseHsl(text, text[3] == 'a', result);
    if (!ok) return false;
    color = result;
    return true;
  }
  bool hasRgbCall = text.find("rgb(") != std::string::npos;
  if (!text.empty() && text[0] != '#' && !hasRgbCall) ok = FindNamedColor(text, result);
  if (!ok) {
    if (text.find("rgb") != std::string::npos) ok = ParseRgb(text, result);
    else ok = ParseHex(text, needPound, result, bareHex);
  }
  if (!ok) return false;
  state.ColorCacheValid = true;
  state.ColorCacheBareHex = bareHex;
  state.ColorCacheText = text;
  state.ColorCacheValue = result;
  color = result;
  return true;
}

}  // namespace korva
