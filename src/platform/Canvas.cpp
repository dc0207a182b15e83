#include "platform/Canvas.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace korva {

namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

int ClampInt(std::int64_t v) { return int(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX)); }

// The share of space number `k`: Extra split with floor division so that the shares always
// add up to Extra, negative or not.
int JustShare(const TTextJustification& j, int k) {
  if (j.Breaks <= 0 || k < 0 || k >= j.Breaks) return 0;
  int q = j.Extra / j.Breaks, r = j.Extra % j.Breaks;
  if (r < 0) {
    --q;
    r += j.Breaks;
  }
  return q + (k < r ? 1 : 0);
}

bool JustActive(const TTextJustification& j) { return j.Breaks > 0 && j.Used < j.Breaks; }

}  // namespace

std::int64_t TCanvas::TextAdvances(const TPlatformFont& font, const char16_t* s, int n, int extra,
                                   TTextJustification& just, int* out) {
  std::int64_t total = 0;
  for (int i = 0; i < n; ++i) {
    const char16_t c = s[i];
    std::int64_t a;
    if (IsHigh(c) && i + 1 < n && IsLow(s[i + 1])) {
      a = std::int64_t(font.CodePointWidth(0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(s[i + 1]) - 0xDC00))) + extra;
      total += a;
      if (out) out[i] = ClampInt(a);
      ++i;
      a = extra;
    } else {
      a = std::int64_t(font.CharWidth(c)) + extra;
      if (c == u' ' && JustActive(just)) a += JustShare(just, just.Used++);
    }
    total += a;
    if (out) out[i] = ClampInt(a);
  }
  return total;
}

TSize TCanvas::TextExtent(const char16_t* s, int n) const {
  const TPlatformFontPtr& font = Font();
  if (!font) return {};
  if (!s || n <= 0) return {0, font->Metrics().Height};
  TTextJustification just = TextJustification();
  return {ClampInt(TextAdvances(*font, s, n, TextCharacterExtra(), just, nullptr)), font->Metrics().Height};
}

int TCanvas::TextFit(const char16_t* s, int n, int maxWidth, int* fitCount, int* partial) const {
  const TPlatformFontPtr& font = Font();
  if (!font || !s || n <= 0) {
    if (fitCount) *fitCount = 0;
    return 0;
  }
  TTextJustification just = TextJustification();
  if (!JustActive(just)) return font->FitText(s, n, maxWidth, TextCharacterExtra(), fitCount, partial);
  std::vector<int> adv(static_cast<std::size_t>(n));
  TextAdvances(*font, s, n, TextCharacterExtra(), just, adv.data());
  std::int64_t total = 0, fitWidth = 0;
  int fit = 0;
  bool stopped = false;
  for (int i = 0; i < n; ++i) {
    total += adv[std::size_t(i)];
    if (partial) partial[i] = ClampInt(total);
    if (stopped) continue;
    if (total > maxWidth) {
      stopped = true;
      if (!partial) break;
      continue;
    }
    if (!(IsHigh(s[i]) && i + 1 < n && IsLow(s[i + 1]))) {  // never between the halves of a pair
      fit = i + 1;
      fitWidth = total;
    }
  }
  if (fitCount) *fitCount = fit;
  return ClampInt(fitWidth);
}

}  // namespace korva
