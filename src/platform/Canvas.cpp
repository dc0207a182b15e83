#include "platform/Canvas.h"

#include <algorithm>
#include <climits>

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

// Advances are asked of the font a run at a time, into the caller's array or a buffer of this
// many units: one call per run rather than one per character.
constexpr int AdvanceChunk = 256;

// The length of the run starting at s[at] to measure next: at most `limit` units, never ending
// between the halves of a surrogate pair.
int ChunkLength(const char16_t* s, int n, int at, int limit = AdvanceChunk) {
  int len = std::min(limit, n - at);
  if (at + len < n && len > 1 && IsHigh(s[at + len - 1]) && IsLow(s[at + len])) --len;
  return len;
}

bool PairAt(const char16_t* s, int n, int i) { return IsHigh(s[i]) && i + 1 < n && IsLow(s[i + 1]); }

}  // namespace

std::int64_t TCanvas::TextAdvances(const TPlatformFont& font, const char16_t* s, int n, int extra,
                                   TTextJustification& just, int* out) {
  int buffer[AdvanceChunk];
  std::int64_t total = 0;
  for (int at = 0; at < n;) {
    const int len = ChunkLength(s, n, at);
    int* adv = out ? out + at : buffer;
    font.CharAdvances(s + at, len, adv);
    // The low half of a pair has 0 from the font and gets the extra like any unit.
    if (JustActive(just)) {
      for (int i = 0; i < len; ++i) {
        std::int64_t a = std::int64_t(adv[i]) + extra;
        if (s[at + i] == u' ' && JustActive(just)) a += JustShare(just, just.Used++);
        total += a;
        adv[i] = ClampInt(a);
      }
    } else if (out) {
      for (int i = 0; i < len; ++i) {
        const std::int64_t a = std::int64_t(adv[i]) + extra;
        total += a;
        adv[i] = ClampInt(a);
      }
    } else {
      std::int64_t sum = 0;
      for (int i = 0; i < len; ++i) sum += adv[i];
      total += sum + std::int64_t(extra) * len;
    }
    at += len;
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
  // As the font does: measured a run at a time, up to the first unit that does not fit. Runs
  // start short and grow, so a short line measures little past its end.
  int adv[AdvanceChunk];
  std::int64_t total = 0, fitWidth = 0;
  int fit = 0, limit = 32;
  for (int at = 0; at < n && fit == at; limit = std::min(2 * limit, AdvanceChunk)) {
    const int len = ChunkLength(s, n, at, limit);
    TextAdvances(*font, s + at, len, TextCharacterExtra(), just, adv);
    for (int i = 0; i < len; ++i) {
      total += adv[i];
      if (total > maxWidth) break;
      if (PairAt(s, n, at + i)) continue;  // a pair fits whole or not at all (chunks keep it together)
      const int k = at + i;
      if (partial) {
        if (k > fit) partial[k - 1] = ClampInt(total - adv[i]);  // the high half of the pair
        partial[k] = ClampInt(total);
      }
      fit = k + 1;
      fitWidth = total;
    }
    at += len;
  }
  if (fitCount) *fitCount = fit;
  return ClampInt(fitWidth);
}

}  // namespace korva
