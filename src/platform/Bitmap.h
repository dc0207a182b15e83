// Device-independent bitmaps held in memory, logical palettes, and the block transfers between
// bitmaps with the raster operations the engine uses. Plain C++, no toolkit behind it.
//
// Pixel layout (as Windows DIBs, rows top-down, each row padded to 4 bytes):
//   1 bpp: bit 7 of byte 0 is the leftmost pixel; index into the colour table.
//   4 bpp: high nibble first; 8 bpp: one index a byte.
//   24 bpp: B, G, R.   32 bpp: B, G, R, X (X is ignored and written as 0xFF).
// A bitmap of 1, 4 or 8 bpp has a colour table of 2, 16 or 256 entries (TColor 0x00BBGGRR);
// a new monochrome bitmap has black (0) and white (1).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace korva {

struct TPaletteEntry {
  std::uint8_t R = 0, G = 0, B = 0, Flags = 0;
  friend bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};

// A logical palette (CreatePalette / GetPaletteEntries / GetNearestPaletteIndex).
class TPalette {
 public:
  TPalette() = default;
  explicit TPalette(std::vector<TPaletteEntry> entries) : FEntries(std::move(entries)) {}
  int Count() const { return int(FEntries.size()); }
  const std::vector<TPaletteEntry>& Entries() const { return FEntries; }
  std::vector<TPaletteEntry>& Entries() { return FEntries; }
  TColor ColorAt(int i) const { return RGBColor(FEntries[i].R, FEntries[i].G, FEntries[i].B); }
  // Index of the entry nearest in RGB (squared distance; first of equals).
  int NearestIndex(TColor c) const;
  // The 16-colour default palette of a 4-bit display and the 20 static colours of an 8-bit one.
  static TPalette Default16();
  static TPalette SystemStatic20();

 private:
  std::vector<TPaletteEntry> FEntries;
};

using TPalettePtr = std::shared_ptr<TPalette>;

// Limits on bitmaps made from untrusted sizes.
constexpr int MaxBitmapSide = 32768;
constexpr std::int64_t MaxBitmapPixels = std::int64_t(64) * 1024 * 1024;

class TBitmap {
 public:
  // Returns nullptr when bpp is not 1, 4, 8, 24 or 32, a side is negative or above
  // MaxBitmapSide, or w * h is above MaxBitmapPixels. New pixels are 0 (black / index 0).
  static std::unique_ptr<TBitmap> Create(int width, int height, int bitsPerPixel);
  // Loads a Windows bitmap file (BITMAPFILEHEADER + info header of 12, 40, 108 or 124 bytes;
  // 1/4/8/16/24/32 bpp; BI_RGB, BI_RLE8, BI_RLE4, BI_BITFIELDS; bottom-up or top-down).
  // 16-bit and bit-field images come back as 24 bpp. nullptr and a message on bad input.
  static std::unique_ptr<TBitmap> LoadFromBmp(const std::uint8_t* data, std::size_t size, std::string* error = nullptr);
  std::vector<std::uint8_t> SaveToBmp() const;

  std::unique_ptr<TBitmap> Clone() const;
  // A copy converted to another depth (colours through the palette; to <= 8 bpp by nearest
  // entry of `palette`, or black/white by the bk colour rule of BitBlt for 1 bpp).
  std::unique_ptr<TBitmap> ConvertTo(int bitsPerPixel, const TPalette* palette = nullptr) const;

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int BitsPerPixel() const { return FBpp; }
  bool Monochrome() const { return FBpp == 1; }
  int RowBytes() const { return FRowBytes; }
  std::uint8_t* ScanLine(int y) { return FPixels.data() + std::size_t(y) * FRowBytes; }
  const std::uint8_t* ScanLine(int y) const { return FPixels.data() + std::size_t(y) * FRowBytes; }
  std::uint8_t* Bits() { return FPixels.data(); }
  const std::uint8_t* Bits() const { return FPixels.data(); }

  // Colour table of an indexed bitmap (empty for 24/32 bpp).
  const std::vector<TColor>& ColorTable() const { return FColorTable; }
  void SetColorTable(std::vector<TColor> table);

  // The logical palette attached to the bitmap for palette displays (may be null).
  const TPalettePtr& Palette() const { return FPalette; }
  void SetPalette(TPalettePtr p) { FPalette = std::move(p); }

  // Pixel access in colours (index resolved through the colour table). Out of range: GetPixel
  // answers clNone and SetPixel does nothing. SetPixel on an indexed bitmap picks the nearest entry.
  TColor GetPixel(int x, int y) const;
  void SetPixel(int x, int y, TColor c);
  // Raw value (index for <= 8 bpp, 0x00BBGGRR otherwise).
  std::uint32_t GetIndex(int x, int y) const;
  void SetIndex(int x, int y, std::uint32_t v);

  void Fill(TColor c);
  void FillRect(const TRect& r, TColor c);

 private:
  TBitmap() = default;
  int FWidth = 0, FHeight = 0, FBpp = 0, FRowBytes = 0;
  std::vector<std::uint8_t> FPixels;
  std::vector<TColor> FColorTable;
  TPalettePtr FPalette;
};

using TBitmapPtr = std::shared_ptr<TBitmap>;

// Raster operations on colours (D = destination, S = source), the named ternary codes of GDI
// for which the pattern plays no part.
enum class TRop : std::uint32_t {
  SrcCopy = 0x00CC0020,     // S
  SrcPaint = 0x00EE0086,    // S | D
  SrcAnd = 0x008800C6,      // S & D
  SrcInvert = 0x00660046,   // S ^ D
  SrcErase = 0x00440328,    // S & ~D
  NotSrcCopy = 0x00330008,  // ~S
  NotSrcErase = 0x001100A6, // ~(S | D)
  MergePaint = 0x00BB0226,  // ~S | D
  DstInvert = 0x00550009,   // ~D
  Blackness = 0x00000042,
  Whiteness = 0x00FF0062,
};

enum class TStretchMode { ColorOnColor, Halftone, BlackOnWhite, WhiteOnBlack };

// Colours used when a monochrome bitmap meets a colour one (the DC's text and background
// colours): mono 0 -> TextColor, mono 1 -> BkColor; colour -> mono: a pixel equal to BkColor
// becomes 1 (white), any other 0.
struct TBltColors {
  TColor TextColor = clBlack;
  TColor BkColor = clWhite;
};

// Block transfer of src (sx, sy, w, h) to dst at (dx, dy); both rectangles are clipped to their
// bitmaps. The operation works on 24-bit colours; the result goes back into dst's format
// (nearest colour-table entry for indexed destinations).
void BitBlt(TBitmap& dst, int dx, int dy, int w, int h, const TBitmap& src, int sx, int sy,
            TRop rop = TRop::SrcCopy, TBltColors colors = {});

// Stretched transfer of src rect (sx, sy, sw, sh) to dst rect (dx, dy, dw, dh). Negative
// widths/heights mirror. ColorOnColor/BlackOnWhite/WhiteOnBlack pick the source pixel
// at floor((i + 0.5) * sw / dw) for destination column i (BlackOnWhite ANDs and WhiteOnBlack
// ORs the pixels that collapse together when shrinking); Halftone averages the covered source
// area.
void StretchBlt(TBitmap& dst, int dx, int dy, int dw, int dh, const TBitmap& src, int sx, int sy, int sw,
                int sh, TRop rop = TRop::SrcCopy, TStretchMode mode = TStretchMode::ColorOnColor,
                TBltColors colors = {});

// The masked transparent copy: where the monochrome mask is white (1) the destination is kept,
// where it is black (0) the image's pixel is copied. Stretched like StretchBlt
// (BlackOnWhite for the mask, so transparent pixels survive shrinking).
void MaskedStretchBlt(TBitmap& dst, int dx, int dy, int dw, int dh, const TBitmap& image, const TBitmap& mask,
                      int sx, int sy, int sw, int sh);

}  // namespace korva
