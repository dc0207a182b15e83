// Block transfers between bitmaps of any depth: BitBlt, StretchBlt and the masked copy.
//
// Every transfer runs row by row in one of two value domains chosen by the destination:
// colour words (0x00RRGGBB, the little-endian word of a B, G, R pixel, so 32-bit rows load
// and store directly) or bits (0/1) when the destination is monochrome. Raster operations are
// bitwise, so they work the same on either. Sampling is decided once per axis (TAxis), so
// the inner loops only index precomputed tables.
#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>

#include "platform/Bitmap.h"

namespace korva {

namespace {

static_assert(std::endian::native == std::endian::little, "pixel words assume a little-endian machine");

constexpr std::uint32_t ColourOnes = 0x00FFFFFF;
constexpr std::uint32_t AlphaBits = 0xFF000000;

inline std::uint32_t WordFromColor(TColor c) {
  return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

inline std::uint32_t Load24(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
}
inline std::uint32_t Load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v & ColourOnes;
}
inline void Store24(std::uint8_t* p, std::uint32_t w) {
  p[0] = std::uint8_t(w);
  p[1] = std::uint8_t(w >> 8);
  p[2] = std::uint8_t(w >> 16);
}
inline void Store32(std::uint8_t* p, std::uint32_t w) {
  w |= AlphaBits;
  std::memcpy(p, &w, 4);
}
inline std::uint32_t Bit1(const std::uint8_t* row, int x) { return (row[x >> 3] >> (7 - (x & 7))) & 1u; }
inline std::uint32_t Nibble(const std::uint8_t* row, int x) {
  return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
}

std::uint32_t ResolvedWord(TColor c) { return WordFromColor(ColorToRGB(c) & 0xFFFFFF); }

// Reads pixels of a bitmap as working values. Callers keep coordinates inside the bitmap.
class TPixelReader {
 public:
  TPixelReader(const TBitmap& bmp, bool mono, const TBltColors& colors)
      : FBits(bmp.Bits()), FRowBytes(std::size_t(bmp.RowBytes())), FBpp(bmp.BitsPerPixel()), FMono(mono) {
    FBk = ResolvedWord(colors.BkColor);
    std::fill(std::begin(FLut), std::end(FLut), 0u);
    if (FBpp == 1) {
      FLut[0] = mono ? 0 : ResolvedWord(colors.TextColor);
      FLut[1] = mono ? 1 : FBk;
    } else if (FBpp <= 8) {
      const std::vector<TColor>& table = bmp.ColorTable();
      for (std::size_t i = 0; i < table.size() && i < 256; ++i) {
        const std::uint32_t w = WordFromColor(table[i] & 0xFFFFFF);
        FLut[i] = mono ? std::uint32_t(w == FBk) : w;
      }
    }
  }

  int Bpp() const { return FBpp; }
  const std::uint8_t* Row(int y) const { return FBits + std::size_t(y) * FRowBytes; }

  // Pixels at the given columns of row y.
  void Gather(int y, const int* cols, int n, std::uint32_t* out) const {
    const std::uint8_t* row = Row(y);
    switch (FBpp) {
      case 1: for (int i = 0; i < n; ++i) out[i] = FLut[Bit1(row, cols[i])]; break;
      case 4: for (int i = 0; i < n; ++i) out[i] = FLut[Nibble(row, cols[i])]; break;
      case 8: for (int i = 0; i < n; ++i) out[i] = FLut[row[cols[i]]]; break;
      case 24:
        for (int i = 0; i < n; ++i) out[i] = Load24(row + std::size_t(cols[i]) * 3);
        ToMono(out, n);
        break;
      default:
        for (int i = 0; i < n; ++i) out[i] = Load32(row + std::size_t(cols[i]) * 4);
        ToMono(out, n);
        break;
    }
  }

  // Pixels x0 .. x0 + n - 1 of row y.
  void Span(int y, int x0, int n, std::uint32_t* out) const {
    const std::uint8_t* row = Row(y);
    switch (FBpp) {
      case 1: for (int i = 0; i < n; ++i) out[i] = FLut[Bit1(row, x0 + i)]; break;
      case 4: for (int i = 0; i < n; ++i) out[i] = FLut[Nibble(row, x0 + i)]; break;
      case 8: for (int i = 0; i < n; ++i) out[i] = FLut[row[x0 + i]]; break;
      case 24: {
        const std::uint8_t* p = row + std::size_t(x0) * 3;
        for (int i = 0; i < n; ++i, p += 3) out[i] = Load24(p);
        ToMono(out, n);
        break;
      }
      default: {
        const std::uint8_t* p = row + std::size_t(x0) * 4;
        for (int i = 0; i < n; ++i, p += 4) out[i] = Load32(p);
        ToMono(out, n);
        break;
      }
    }
  }

 private:
  void ToMono(std::uint32_t* out, int n) const {
    if (!FMono) return;
    for (int i = 0; i < n; ++i) out[i] = out[i] == FBk ? 1u : 0u;
  }

  const std::uint8_t* FBits;
  std::size_t FRowBytes;
  int FBpp;
  bool FMono;
  std::uint32_t FBk = 0;
  std::uint32_t FLut[256];
};

// Reads and writes destination rows as working values; indexed destinations take the
// nearest colour-table entry, remembered in a small direct-mapped cache.
class TPixelWriter {
 public:
  explicit TPixelWriter(TBitmap& bmp)
      : FBits(bmp.Bits()), FRowBytes(std::size_t(bmp.RowBytes())), FBpp(bmp.BitsPerPixel()) {
    std::fill(std::begin(FLut), std::end(FLut), 0u);
    if (FBpp == 1) {
      FLut[1] = 1;
    } else if (FBpp <= 8) {
      FTable = bmp.ColorTable();
      for (std::size_t i = 0; i < FTable.size() && i < 256; ++i) FLut[i] = WordFromColor(FTable[i] & 0xFFFFFF);
      FCacheKeys.assign(CacheSize, 0xFFFFFFFFu);
      FCacheValues.assign(CacheSize, 0);
    }
  }

  bool Mono() const { return FBpp == 1; }
  std::uint32_t Ones() const { return FBpp == 1 ? 1u : ColourOnes; }
  std::uint8_t* Row(int y) const { return FBits + std::size_t(y) * FRowBytes; }

  void Read(int y, int x0, int n, std::uint32_t* out) const {
    const std::uint8_t* row = Row(y);
    switch (FBpp) {
      case 1: for (int i = 0; i < n; ++i) out[i] = Bit1(row, x0 + i); break;
      case 4: for (int i = 0; i < n; ++i) out[i] = FLut[Nibble(row, x0 + i)]; break;
      case 8: for (int i = 0; i < n; ++i) out[i] = FLut[row[x0 + i]]; break;
      case 24: {
        const std::uint8_t* p = row + std::size_t(x0) * 3;
        for (int i = 0; i < n; ++i, p += 3) out[i] = Load24(p);
        break;
      }
      default: {
        const std::uint8_t* p = row + std::size_t(x0) * 4;
        for (int i = 0; i < n; ++i, p += 4) out[i] = Load32(p);
        break;
      }
    }
  }

  void Write(int y, int x0, int n, const std::uint32_t* in) {
    std::uint8_t* row = Row(y);
    switch (FBpp) {
      case 1:
        for (int i = 0; i < n; ++i) {
          const int x = x0 + i;
          const std::uint8_t bit = std::uint8_t(0x80 >> (x & 7));
          if (in[i] & 1)
            row[x >> 3] |= bit;
          else
            row[x >> 3] &= std::uint8_t(~bit);
        }
        break;
      case 4:
        for (int i = 0; i < n; ++i) {
          const int x = x0 + i;
          const std::uint8_t v = Nearest(in[i]);
          std::uint8_t& byte = row[x >> 1];
          byte = (x & 1) ? std::uint8_t((byte & 0xF0) | v) : std::uint8_t((byte & 0x0F) | (v << 4));
        }
        break;
      case 8:
        for (int i = 0; i < n; ++i) row[x0 + i] = Nearest(in[i]);
        break;
      case 24: {
        std::uint8_t* p = row + std::size_t(x0) * 3;
        for (int i = 0; i < n; ++i, p += 3) Store24(p, in[i]);
        break;
      }
      default: {
        std::uint8_t* p = row + std::size_t(x0) * 4;
        for (int i = 0; i < n; ++i, p += 4) Store32(p, in[i]);
        break;
      }
    }
  }

 private:
  static constexpr std::size_t CacheSize = 65536;

  std::uint8_t Nearest(std::uint32_t w) {
    const std::size_t slot = (w * 2654435761u) >> 16;
    if (FCacheKeys[slot] == w) return FCacheValues[slot];
    const int r = int((w >> 16) & 0xFF), g = int((w >> 8) & 0xFF), b = int(w & 0xFF);
    const std::vector<std::uint8_t>& candidates = Candidates((r >> 4) << 8 | (g >> 4) << 4 | (b >> 4));
    int best = 0, bestDistance = -1;
    for (std::uint8_t i : candidates) {
      const TColor c = FTable[i];
      const int dr = GetRValue(c) - r, dg = GetGValue(c) - g, db = GetBValue(c) - b;
      const int d = dr * dr + dg * dg + db * db;
      if (bestDistance < 0 || d < bestDistance) {
        best = i;
        bestDistance = d;
      }
    }
    FCacheKeys[slot] = w;
    FCacheValues[slot] = std::uint8_t(best);
    return FCacheValues[slot];
  }

  // The entries that can be nearest to some colour of a 16 x 16 x 16 cell of the colour cube:
  // those whose least distance to the cell is at most the smallest greatest distance of any
  // entry. Kept in table order, so ties still go to the first entry.
  const std::vector<std::uint8_t>& Candidates(int cell) {
    if (FCells.empty()) FCells.resize(4096);
    std::vector<std::uint8_t>& list = FCells[std::size_t(cell)];
    if (!list.empty()) return list;
    const int lo[3] = {(cell >> 8) << 4, ((cell >> 4) & 15) << 4, (cell & 15) << 4};
    std::vector<int> nearDistance(FTable.size());
    int bound = -1;
    for (std::size_t i = 0; i < FTable.size(); ++i) {
      const int v[3] = {GetRValue(FTable[i]), GetGValue(FTable[i]), GetBValue(FTable[i])};
      int nearSum = 0, farSum = 0;
      for (int k = 0; k < 3; ++k) {
        const int a = lo[k], z = lo[k] + 15;
        const int nearD = v[k] < a ? a - v[k] : v[k] > z ? v[k] - z : 0;
        const int farD = std::max(v[k] - a, z - v[k]);
        nearSum += nearD * nearD;
        farSum += farD * farD;
      }
      nearDistance[i] = nearSum;
      if (bound < 0 || farSum < bound) bound = farSum;
    }
    for (std::size_t i = 0; i < FTable.size(); ++i)
      if (nearDistance[i] <= bound) list.push_back(std::uint8_t(i));
    return list;
  }

  std::uint8_t* FBits;
  std::size_t FRowBytes;
  int FBpp;
  std::uint32_t FLut[256];
  std::vector<TColor> FTable;
  std::vector<std::uint32_t> FCacheKeys;
  std::vector<std::uint8_t> FCacheValues;
  std::vector<std::vector<std::uint8_t>> FCells;
};

// The sixteen functions of (S, D) are selected by the low four bits of the operation byte:
// bit 0 for S=0 D=0, bit 1 for S=0 D=1, bit 2 for S=1 D=0, bit 3 for S=1 D=1.
unsigned RopFunction(TRop rop) { return (std::uint32_t(rop) >> 16) & 0x0F; }
bool RopUsesSource(unsigned f) { return ((f & 1) != ((f >> 2) & 1)) || (((f >> 1) & 1) != ((f >> 3) & 1)); }
bool RopUsesDest(unsigned f) { return ((f & 1) != ((f >> 1) & 1)) || (((f >> 2) & 1) != ((f >> 3) & 1)); }

// d = f(s, d), within `ones`.
void ApplyRop(unsigned f, const std::uint32_t* s, std::uint32_t* d, int n, std::uint32_t ones) {
  switch (f) {
    case 0x0: for (int i = 0; i < n; ++i) d[i] = 0; break;
    case 0x1: for (int i = 0; i < n; ++i) d[i] = ~(s[i] | d[i]) & ones; break;
    case 0x2: for (int i = 0; i < n; ++i) d[i] = ~s[i] & d[i] & ones; break;
    case 0x3: for (int i = 0; i < n; ++i) d[i] = ~s[i] & ones; break;
    case 0x4: for (int i = 0; i < n; ++i) d[i] = s[i] & ~d[i] & ones; break;
    case 0x5: for (int i = 0; i < n; ++i) d[i] = ~d[i] & ones; break;
    case 0x6: for (int i = 0; i < n; ++i) d[i] = (s[i] ^ d[i]) & ones; break;
    case 0x7: for (int i = 0; i < n; ++i) d[i] = ~(s[i] & d[i]) & ones; break;
    case 0x8: for (int i = 0; i < n; ++i) d[i] = s[i] & d[i] & ones; break;
    case 0x9: for (int i = 0; i < n; ++i) d[i] = ~(s[i] ^ d[i]) & ones; break;
    case 0xA: break;
    case 0xB: for (int i = 0; i < n; ++i) d[i] = (~s[i] | d[i]) & ones; break;
    case 0xC: for (int i = 0; i < n; ++i) d[i] = s[i] & ones; break;
    case 0xD: for (int i = 0; i < n; ++i) d[i] = (s[i] | ~d[i]) & ones; break;
    case 0xE: for (int i = 0; i < n; ++i) d[i] = (s[i] | d[i]) & ones; break;
    default: for (int i = 0; i < n; ++i) d[i] = ones; break;
  }
}

using i128 = __int128;

std::int64_t FloorDiv(i128 a, i128 b) {  // b > 0
  i128 q = a / b;
  if (a % b != 0 && a < 0) --q;
  return std::int64_t(q);
}
std::int64_t CeilDiv(i128 a, i128 b) {  // b > 0
  i128 q = a / b;
  if (a % b != 0 && a > 0) ++q;
  return std::int64_t(q);
}

// How one axis of a transfer maps destination pixels to source pixels.
struct TAxis {
  int First = 0, Count = 0;  // destination pixels First .. First + Count - 1 take part
  bool Identity = false;     // source = destination + Offset
  int Offset = 0;
  std::vector<int> Src;     // the source pixel under each destination pixel's centre
  std::vector<int> Lo, Hi;  // the source pixels [Lo, Hi) that collapse into each one
  int GroupMin = 0, GroupMax = 0;
  std::vector<int> TapStart;  // box filter: taps TapStart[i] .. TapStart[i + 1] - 1
  std::vector<int> TapPixel;
  std::vector<std::int64_t> TapWeight;
  int TapMin = 0, TapMax = 0;
};

enum TAxisNeeds { anNearest = 0, anGroups = 1, anTaps = 2 };

// d/dw: destination start and signed extent, s/sw the same for the source; dstLimit and
// srcLimit the bitmap extents on this axis. False when no pixel takes part.
bool BuildAxis(std::int64_t d, std::int64_t dw, std::int64_t s, std::int64_t sw, int dstLimit, int srcLimit,
               int needs, TAxis& a) {
  if (dw == 0 || sw == 0) return false;
  const std::int64_t d0 = dw < 0 ? d + dw : d, dn = dw < 0 ? -dw : dw;
  const std::int64_t s0 = sw < 0 ? s + sw : s, sn = sw < 0 ? -sw : sw;
  const bool mirrored = (dw < 0) != (sw < 0);
  const std::int64_t pLo = std::max<std::int64_t>(d0, 0), pHi = std::min<std::int64_t>(d0 + dn, dstLimit);
  if (pLo >= pHi) return false;

  auto offsetOf = [&](std::int64_t p) { return mirrored ? dn - 1 - (p - d0) : p - d0; };
  auto sourceOf = [&](std::int64_t p) {
    return s0 + FloorDiv(i128(2 * offsetOf(p) + 1) * sn, i128(2) * dn);
  };
  // The map is monotonic, so the pixels with a source inside the bitmap form one run.
  std::int64_t first = -1, last = -1;
  for (std::int64_t p = pLo; p < pHi; ++p) {
    const std::int64_t k = sourceOf(p);
    if (k >= 0 && k < srcLimit) {
      if (first < 0) first = p;
      last = p;
    } else if (first >= 0) {
      break;
    }
  }
  if (first < 0) return false;
  a.First = int(first);
  a.Count = int(last - first + 1);
  a.Src.resize(std::size_t(a.Count));
  for (int i = 0; i < a.Count; ++i) a.Src[std::size_t(i)] = int(sourceOf(first + i));
  a.Identity = !mirrored && dn == sn;
  a.Offset = a.Src[0] - a.First;

  if (needs & anGroups) {
    a.Lo.resize(std::size_t(a.Count));
    a.Hi.resize(std::size_t(a.Count));
    for (int i = 0; i < a.Count; ++i) {
      const int c = a.Src[std::size_t(i)];
      std::int64_t lo = c, hi = c + 1;
      if (sn > dn) {
        // Source pixels k whose centres map into destination offset j:
        // 2j * sn <= (2k + 1) * dn < 2(j + 1) * sn.
        const std::int64_t j = offsetOf(first + i);
        lo = s0 + CeilDiv(i128(2) * j * sn - dn, i128(2) * dn);
        hi = s0 + CeilDiv(i128(2) * (j + 1) * sn - dn, i128(2) * dn);
        lo = std::max<std::int64_t>(lo, 0);
        hi = std::min<std::int64_t>(hi, srcLimit);
      }
      a.Lo[std::size_t(i)] = int(lo);
      a.Hi[std::size_t(i)] = int(hi);
    }
    a.GroupMin = std::min(a.Lo.front(), a.Lo.back());
    a.GroupMax = std::max(a.Hi.front(), a.Hi.back());
  }

  if (needs & anTaps) {
    // Destination offset j covers [j * sn, (j + 1) * sn) and source pixel k covers
    // [k * dn, (k + 1) * dn), both in units of 1/dn source pixel. Weights are scaled so that a
    // whole pixel (or a whole destination pixel, when enlarging) weighs 256.
    const std::int64_t unit = std::min(sn, dn);
    a.TapStart.assign(1, 0);
    a.TapMin = srcLimit;
    a.TapMax = 0;
    for (int i = 0; i < a.Count; ++i) {
      const std::int64_t j = offsetOf(first + i);
      const i128 from = i128(j) * sn, to = i128(j + 1) * sn;
      std::int64_t kFirst = s0 + FloorDiv(from, dn), kLast = s0 + CeilDiv(to, dn);  // [kFirst, kLast)
      kFirst = std::max<std::int64_t>(kFirst, 0);
      kLast = std::min<std::int64_t>(kLast, srcLimit);
      for (std::int64_t k = kFirst; k < kLast; ++k) {
        const i128 kk = k - s0;
        const i128 overlap = std::min(kk * dn + dn, to) - std::max(kk * dn, from);
        if (overlap <= 0) continue;
        const std::int64_t w = std::int64_t((overlap * 256 + unit / 2) / unit);
        if (w == 0) continue;
        a.TapPixel.push_back(int(k));
        a.TapWeight.push_back(w);
        a.TapMin = std::min(a.TapMin, int(k));
        a.TapMax = std::max(a.TapMax, int(k) + 1);
      }
      a.TapStart.push_back(int(a.TapPixel.size()));
    }
  }
  return true;
}

// Reads the bits of a mask (1 = transparent); pixels outside the mask are opaque.
class TMaskReader {
 public:
  explicit TMaskReader(const TBitmap& mask) : FMask(mask), FReader(mask, true, TBltColors{}) {}
  void Span(int y, int x0, int n, std::uint32_t* out) const {
    std::fill(out, out + n, 0u);
    if (y < 0 || y >= FMask.Height()) return;
    const int from = std::max(x0, 0), to = std::min(x0 + n, FMask.Width());
    if (from < to) FReader.Span(y, from, to - from, out + (from - x0));
  }

 private:
  const TBitmap& FMask;
  TPixelReader FReader;
};

// One source row filtered horizontally: per destination column the weighted sums of the
// three channels and of the weights.
struct TFilteredRow {
  int Y = -1;
  std::vector<std::int64_t> Sums;  // 4 per column
};

class THalftoner {
 public:
  THalftoner(const TPixelReader& reader, const TAxis& ax, const TAxis& ay, const TMaskReader* mask)
      : FReader(reader), FAx(ax), FAy(ay), FMask(mask) {}

  // Averages of destination row r (index into ay) into out; columns with no weight get the
  // nearest pixel.
  void Row(int r, std::uint32_t* out) {
    const int n = FAx.Count;
    FAcc.assign(std::size_t(n) * 4, 0);
    for (int t = FAy.TapStart[std::size_t(r)]; t < FAy.TapStart[std::size_t(r) + 1]; ++t) {
      const TFilteredRow& row = Filtered(FAy.TapPixel[std::size_t(t)]);
      const std::int64_t w = FAy.TapWeight[std::size_t(t)];
      for (std::size_t i = 0; i < FAcc.size(); ++i) FAcc[i] += w * row.Sums[i];
    }
    for (int i = 0; i < n; ++i) {
      const std::int64_t* a = &FAcc[std::size_t(i) * 4];
      if (a[3] <= 0) {
        FReader.Gather(FAy.Src[std::size_t(r)], &FAx.Src[std::size_t(i)], 1, out + i);
        continue;
      }
      const std::int64_t half = a[3] / 2;
      out[i] = std::uint32_t((a[0] + half) / a[3]) | (std::uint32_t((a[1] + half) / a[3]) << 8) |
               (std::uint32_t((a[2] + half) / a[3]) << 16);
    }
  }

 private:
  const TFilteredRow& Filtered(int y) {
    for (TFilteredRow& row : FCache)
      if (row.Y == y) return row;
    TFilteredRow& row = FCache[FNext];
    FNext ^= 1;
    row.Y = y;
    const int n = FAx.Count;
    row.Sums.assign(std::size_t(n) * 4, 0);
    const int span = FAx.TapMax - FAx.TapMin;
    FSpan.resize(std::size_t(std::max(span, 0)));
    if (span <= 0) return row;
    FReader.Span(y, FAx.TapMin, span, FSpan.data());
    if (FMask) {
      FMaskBits.resize(std::size_t(span));
      FMask->Span(y, FAx.TapMin, span, FMaskBits.data());
    }
    for (int i = 0; i < n; ++i) {
      std::int64_t* sums = &row.Sums[std::size_t(i) * 4];
      for (int t = FAx.TapStart[std::size_t(i)]; t < FAx.TapStart[std::size_t(i) + 1]; ++t) {
        const std::size_t k = std::size_t(FAx.TapPixel[std::size_t(t)] - FAx.TapMin);
        if (FMask && FMaskBits[k]) continue;
        const std::int64_t w = FAx.TapWeight[std::size_t(t)];
        const std::uint32_t v = FSpan[k];
        sums[0] += w * std::int64_t(v & 0xFF);
        sums[1] += w * std::int64_t((v >> 8) & 0xFF);
        sums[2] += w * std::int64_t((v >> 16) & 0xFF);
        sums[3] += w;
      }
    }
    return row;
  }

  const TPixelReader& FReader;
  const TAxis& FAx;
  const TAxis& FAy;
  const TMaskReader* FMask;
  TFilteredRow FCache[2];
  int FNext = 0;
  std::vector<std::uint32_t> FSpan, FMaskBits;
  std::vector<std::int64_t> FAcc;
};

// Combines (AND or OR) the values of the source pixels that collapse into each destination
// pixel of row r.
template <typename TReadSpan>
void CombineGroups(const TAxis& ax, const TAxis& ay, int r, bool useOr, TReadSpan readSpan,
                   std::vector<std::uint32_t>& span, std::uint32_t* out) {
  const int n = ax.Count;
  const int width = ax.GroupMax - ax.GroupMin;
  span.resize(std::size_t(width));
  bool firstRow = true;
  for (int y = ay.Lo[std::size_t(r)]; y < ay.Hi[std::size_t(r)]; ++y) {
    readSpan(y, ax.GroupMin, width, span.data());
    for (int i = 0; i < n; ++i) {
      const std::uint32_t* p = span.data() + (ax.Lo[std::size_t(i)] - ax.GroupMin);
      const int count = ax.Hi[std::size_t(i)] - ax.Lo[std::size_t(i)];
      std::uint32_t v = p[0];
      if (useOr)
        for (int k = 1; k < count; ++k) v |= p[k];
      else
        for (int k = 1; k < count; ++k) v &= p[k];
      if (firstRow)
        out[i] = v;
      else
        out[i] = useOr ? (out[i] | v) : (out[i] & v);
    }
    firstRow = false;
  }
}

// Plain copies between equal formats, where no conversion is needed.
bool FastCopyRow(const TPixelReader& reader, TPixelWriter& writer, int srcBpp, int dstBpp, bool sameTable,
                 const TAxis& ax, int srcY, int dstY) {
  const std::uint8_t* s = reader.Row(srcY);
  std::uint8_t* d = writer.Row(dstY);
  const int n = ax.Count;
  if (srcBpp == 32 && dstBpp == 32) {
    std::uint32_t* dw = reinterpret_cast<std::uint32_t*>(d) + ax.First;
    if (ax.Identity) {
      const std::uint8_t* sp = s + std::size_t(ax.First + ax.Offset) * 4;
      for (int i = 0; i < n; ++i) {
        std::uint32_t v;
        std::memcpy(&v, sp + std::size_t(i) * 4, 4);
        dw[i] = v | AlphaBits;
      }
    } else {
      const int* cols = ax.Src.data();
      for (int i = 0; i < n; ++i) {
        std::uint32_t v;
        std::memcpy(&v, s + std::size_t(cols[i]) * 4, 4);
        dw[i] = v | AlphaBits;
      }
    }
    return true;
  }
  if (srcBpp == 24 && dstBpp == 24) {
    if (ax.Identity) {
      std::memmove(d + std::size_t(ax.First) * 3, s + std::size_t(ax.First + ax.Offset) * 3, std::size_t(n) * 3);
    } else {
      std::uint8_t* dp = d + std::size_t(ax.First) * 3;
      for (int i = 0; i < n; ++i, dp += 3) {
        const std::uint8_t* sp = s + std::size_t(ax.Src[std::size_t(i)]) * 3;
        dp[0] = sp[0];
        dp[1] = sp[1];
        dp[2] = sp[2];
      }
    }
    return true;
  }
  if (srcBpp == 8 && dstBpp == 8 && sameTable) {
    if (ax.Identity) {
      std::memmove(d + ax.First, s + ax.First + ax.Offset, std::size_t(n));
    } else {
      for (int i = 0; i < n; ++i) d[ax.First + i] = s[ax.Src[std::size_t(i)]];
    }
    return true;
  }
  return false;
}

void DestinationOnly(TBitmap& dst, TRect r, unsigned f) {
  r = IntersectRect(r, TRect{0, 0, dst.Width(), dst.Height()});
  if (r.IsEmpty() || f == 0xA) return;
  TPixelWriter writer(dst);
  std::vector<std::uint32_t> buf(std::size_t(r.Width()));
  for (int y = r.Top; y < r.Bottom; ++y) {
    writer.Read(y, r.Left, r.Width(), buf.data());
    ApplyRop(f, buf.data(), buf.data(), r.Width(), writer.Ones());
    writer.Write(y, r.Left, r.Width(), buf.data());
  }
}

TRect NormalizedRect(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h) {
  const std::int64_t x0 = w < 0 ? x + w : x, y0 = h < 0 ? y + h : y;
  const std::int64_t x1 = x0 + (w < 0 ? -w : w), y1 = y0 + (h < 0 ? -h : h);
  auto clamp = [](std::int64_t v) { return int(std::clamp<std::int64_t>(v, -(std::int64_t(1) << 30), std::int64_t(1) << 30)); };
  return TRect{clamp(x0), clamp(y0), clamp(x1), clamp(y1)};
}

// Pictures with alpha under SrcCopy: blended (source-over) onto an opaque 24/32-bit
// destination, copied as they are (alpha included) into another alpha bitmap. Halftone averages
// the premultiplied channels, alpha with them, so edges keep their weight.
void AlphaTransfer(TBitmap& dst, std::int64_t dx, std::int64_t dy, std::int64_t dw, std::int64_t dh,
                   const TBitmap& srcIn, std::int64_t sx, std::int64_t sy, std::int64_t sw, std::int64_t sh,
                   bool halftone) {
  const int needs = halftone ? anTaps : anNearest;
  TAxis ax, ay;
  if (!BuildAxis(dx, dw, sx, sw, dst.Width(), srcIn.Width(), needs, ax)) return;
  if (!BuildAxis(dy, dh, sy, sh, dst.Height(), srcIn.Height(), needs, ay)) return;
  std::unique_ptr<TBitmap> copy;
  if (&srcIn == &dst) copy = srcIn.Clone();
  const TBitmap& src = copy ? *copy : srcIn;
  const bool blend = !dst.HasAlpha();
  const std::size_t step = std::size_t(dst.BitsPerPixel() / 8);
  const int n = ax.Count;
  std::vector<std::uint8_t> px(std::size_t(n) * 4);
  for (int r = 0; r < ay.Count; ++r) {
    if (halftone) {
      for (int i = 0; i < n; ++i) {
        std::int64_t acc[4] = {}, total = 0;
        for (int ty = ay.TapStart[std::size_t(r)]; ty < ay.TapStart[std::size_t(r) + 1]; ++ty) {
          const std::uint8_t* row = src.ScanLine(ay.TapPixel[std::size_t(ty)]);
          for (int tx = ax.TapStart[std::size_t(i)]; tx < ax.TapStart[std::size_t(i) + 1]; ++tx) {
            const std::int64_t w = ay.TapWeight[std::size_t(ty)] * ax.TapWeight[std::size_t(tx)];
            const std::uint8_t* p = row + std::size_t(ax.TapPixel[std::size_t(tx)]) * 4;
            for (int c = 0; c < 4; ++c) acc[c] += w * p[c];
            total += w;
          }
        }
        for (int c = 0; c < 4; ++c)
          px[std::size_t(i) * 4 + std::size_t(c)] = total > 0 ? std::uint8_t((acc[c] + total / 2) / total) : 0;
      }
    } else {
      const std::uint8_t* row = src.ScanLine(ay.Src[std::size_t(r)]);
      for (int i = 0; i < n; ++i) std::memcpy(&px[std::size_t(i) * 4], row + std::size_t(ax.Src[std::size_t(i)]) * 4, 4);
    }
    std::uint8_t* d = dst.ScanLine(ay.First + r) + std::size_t(ax.First) * step;
    const std::uint8_t* p = px.data();
    for (int i = 0; i < n; ++i, p += 4, d += step) {
      if (!blend) {
        std::memcpy(d, p, 4);
        continue;
      }
      const std::uint8_t a = p[3];
      if (a == 0) continue;
      if (a == 255) {
        d[0] = p[0], d[1] = p[1], d[2] = p[2];
      } else {
        d[0] = BlendOver(p[0], a, d[0]);
        d[1] = BlendOver(p[1], a, d[1]);
        d[2] = BlendOver(p[2], a, d[2]);
      }
      if (step == 4) d[3] = 0xFF;
    }
  }
}

void Transfer(TBitmap& dst, std::int64_t dx, std::int64_t dy, std::int64_t dw, std::int64_t dh, const TBitmap& srcIn,
              std::int64_t sx, std::int64_t sy, std::int64_t sw, std::int64_t sh, TRop rop, TStretchMode mode,
              const TBltColors& colors) {
  const unsigned f = RopFunction(rop);
  if (!RopUsesSource(f)) {
    if (dw != 0 && dh != 0) DestinationOnly(dst, NormalizedRect(dx, dy, dw, dh), f);
    return;
  }
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return;
  if (srcIn.HasAlpha() && f == 0xC && dst.BitsPerPixel() >= 24) {
    AlphaTransfer(dst, dx, dy, dw, dh, srcIn, sx, sy, sw, sh, mode == TStretchMode::Halftone);
    return;
  }
  const bool mono = dst.BitsPerPixel() == 1;
  if (mono && mode == TStretchMode::Halftone) mode = TStretchMode::ColorOnColor;
  const bool shrinking = std::abs(sw) > std::abs(dw) || std::abs(sh) > std::abs(dh);
  const bool groups = shrinking && (mode == TStretchMode::BlackOnWhite || mode == TStretchMode::WhiteOnBlack);
  const bool halftone = mode == TStretchMode::Halftone;
  const int needs = groups ? anGroups : halftone ? anTaps : anNearest;

  TAxis ax, ay;
  if (!BuildAxis(dx, dw, sx, sw, dst.Width(), srcIn.Width(), needs, ax)) return;
  if (!BuildAxis(dy, dh, sy, sh, dst.Height(), srcIn.Height(), needs, ay)) return;

  // A transfer within one bitmap reads from a copy, so overlapping rectangles work.
  std::unique_ptr<TBitmap> copy;
  if (&srcIn == &dst) copy = srcIn.Clone();
  const TBitmap& src = copy ? *copy : srcIn;

  TPixelReader reader(src, mono, colors);
  TPixelWriter writer(dst);
  const int n = ax.Count;
  const bool usesDest = RopUsesDest(f);
  const bool nearest = !groups && !halftone;
  const bool plainCopy = nearest && f == 0xC;
  const bool sameTable = src.ColorTable() == dst.ColorTable();
  const int srcBpp = src.BitsPerPixel(), dstBpp = dst.BitsPerPixel();
  const std::size_t bytesPerPixel = std::size_t(dstBpp / 8);

  std::vector<std::uint32_t> sbuf(static_cast<std::size_t>(n)), dbuf(static_cast<std::size_t>(n)), span;
  std::optional<THalftoner> halftoner;
  if (halftone) halftoner.emplace(reader, ax, ay, nullptr);
  int lastSrcY = -1;
  for (int r = 0; r < ay.Count; ++r) {
    const int y = ay.First + r;
    const int srcY = ay.Src[std::size_t(r)];
    const bool sameSourceRow = nearest && srcY == lastSrcY;
    if (sameSourceRow && !usesDest && dstBpp >= 8) {
      // Enlarging: this row repeats the one above.
      std::uint8_t* above = writer.Row(y - 1) + std::size_t(ax.First) * bytesPerPixel;
      std::memcpy(writer.Row(y) + std::size_t(ax.First) * bytesPerPixel, above, std::size_t(n) * bytesPerPixel);
      continue;
    }
    if (plainCopy && FastCopyRow(reader, writer, srcBpp, dstBpp, sameTable, ax, srcY, y)) {
      lastSrcY = srcY;
      continue;
    }
    if (groups) {
      CombineGroups(ax, ay, r, mode == TStretchMode::WhiteOnBlack,
                    [&](int yy, int x0, int count, std::uint32_t* out) { reader.Span(yy, x0, count, out); }, span,
                    sbuf.data());
    } else if (halftone) {
      halftoner->Row(r, sbuf.data());
    } else if (!sameSourceRow) {
      if (ax.Identity)
        reader.Span(srcY, ax.First + ax.Offset, n, sbuf.data());
      else
        reader.Gather(srcY, ax.Src.data(), n, sbuf.data());
    }
    lastSrcY = srcY;
    if (usesDest) writer.Read(y, ax.First, n, dbuf.data());
    ApplyRop(f, sbuf.data(), dbuf.data(), n, writer.Ones());
    writer.Write(y, ax.First, n, dbuf.data());
  }
}

}  // namespace

void BitBlt(TBitmap& dst, int dx, int dy, int w, int h, const TBitmap& src, int sx, int sy, TRop rop,
            TBltColors colors) {
  if (w <= 0 || h <= 0) return;
  Transfer(dst, dx, dy, w, h, src, sx, sy, w, h, rop, TStretchMode::ColorOnColor, colors);
}

void StretchBlt(TBitmap& dst, int dx, int dy, int dw, int dh, const TBitmap& src, int sx, int sy, int sw, int sh,
                TRop rop, TStretchMode mode, TBltColors colors) {
  Transfer(dst, dx, dy, dw, dh, src, sx, sy, sw, sh, rop, mode, colors);
}

void MaskedStretchBlt(TBitmap& dst, int dx, int dy, int dw, int dh, const TBitmap& imageIn, const TBitmap& maskIn,
                      int sx, int sy, int sw, int sh, TStretchMode mode) {
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return;
  const bool mono = dst.BitsPerPixel() == 1;
  const bool halftone = mode == TStretchMode::Halftone && !mono;
  TAxis ax, ay;
  const int needs = anGroups | (halftone ? anTaps : anNearest);
  if (!BuildAxis(dx, dw, sx, sw, dst.Width(), imageIn.Width(), needs, ax)) return;
  if (!BuildAxis(dy, dh, sy, sh, dst.Height(), imageIn.Height(), needs, ay)) return;

  std::unique_ptr<TBitmap> imageCopy, maskCopy;
  if (&imageIn == &dst) imageCopy = imageIn.Clone();
  if (&maskIn == &dst) maskCopy = maskIn.Clone();
  const TBitmap& image = imageCopy ? *imageCopy : imageIn;
  const TBitmap& mask = maskCopy ? *maskCopy : maskIn;

  TPixelReader reader(image, mono, TBltColors{});
  TMaskReader maskReader(mask);
  TPixelWriter writer(dst);
  const int n = ax.Count;
  std::vector<std::uint32_t> keep(static_cast<std::size_t>(n)), sbuf(static_cast<std::size_t>(n)), span;
  std::optional<THalftoner> halftoner;
  if (halftone) halftoner.emplace(reader, ax, ay, &maskReader);
  for (int r = 0; r < ay.Count; ++r) {
    const int y = ay.First + r;
    CombineGroups(ax, ay, r, true,
                  [&](int yy, int x0, int count, std::uint32_t* out) { maskReader.Span(yy, x0, count, out); }, span,
                  keep.data());
    if (halftone)
      halftoner->Row(r, sbuf.data());
    else if (ax.Identity)
      reader.Span(ay.Src[std::size_t(r)], ax.First + ax.Offset, n, sbuf.data());
    else
      reader.Gather(ay.Src[std::size_t(r)], ax.Src.data(), n, sbuf.data());
    // Write the opaque runs only, so kept pixels stay exactly as they were.
    for (int i = 0; i < n;) {
      if (keep[std::size_t(i)]) {
        ++i;
        continue;
      }
      int j = i;
      while (j < n && !keep[std::size_t(j)]) ++j;
      writer.Write(y, ax.First + i, j - i, sbuf.data() + i);
      i = j;
    }
  }
}

}  // namespace korva
