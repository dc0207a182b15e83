// Device-independent bitmaps held in memory, logical palettes, and the block transfers between
// bitmaps with the raster operations the engine uses. Plain C++, no toolkit behind it.
//
// Pixel layout (as Windows DIBs, rows top-down, each row padded to 4 bytes):
//   1 bpp: bit 7 of byte 0 is the leftmost pixel; index into the colour table.
//   4 bpp: high nibble first; 8 bpp: one index a byte.
//   24 bpp: B, G, R.   32 bpp: B, G, R, X (X is ignored and written as 0xFF).
//   32 bpp with HasAlpha(): B, G, R, A, premultiplied (each colour byte is already
//   round(c * A / 255), so c <= A). Only such bitmaps carry transparency of their own: a
//   transfer with SrcCopy draws them blended over a 24/32-bit destination (source-over), and
//   copies them as they are (alpha included) into another alpha bitmap. Other operations and
//   other destinations see the premultiplied colour, i.e. the picture over black.
// A bitmap of 1, 4 or 8 bpp has a colour table of exactly 2, 16 or 256 entries (TColor
// 0x00BBGGRR); a new monochrome bitmap has black (0) and white (1), a new 4-bit one the
// Default16 palette, a new 8-bit one Default256Table().
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
  // Index of the entry nearest in RGB (squared distance; first of equals); -1 when empty.
  // System colours are resolved and the palette-match flag ignored (ColorToRGB).
  int NearestIndex(TColor c) const;
  // The 16-colour default palette of a 4-bit display (black, dark red, dark green, dark yellow,
  // dark blue, dark magenta, dark cyan, light grey, grey, red, green, yellow, blue, magenta,
  // cyan, white) and the 20 static colours of an 8-bit one (the first and last ten entries of
  // the system palette, in that order).
  static TPalette Default16();
  static TPalette SystemStatic20();

 private:
  std::vector<TPaletteEntry> FEntries;
};

using TPalettePtr = std::shared_ptr<TPalette>;

// Index of the colour nearest to c (squared RGB distance, first of equals) in a colour table;
// -1 when the table is empty. c is taken as 0x00BBGGRR as it stands (no system colours).
int NearestColorIndex(const TColor* table, int count, TColor c);
// The colour table of a new 8-bit bitmap: the first ten static colours, the 216-colour cube
// (levels 0, 51, ... 255; index 10 + 36 * b + 6 * g + r), the last ten static colours, and
// 20 greys (255 * i / 21 rounded, i = 1 .. 20) to fill 256.
const std::vector<TColor>& Default256Table();

// Limits on bitmaps made from untrusted sizes (every bitmap is checked against them, so a
// bitmap never holds more than about 256 MB of pixels).
constexpr int MaxBitmapSide = 32768;
constexpr std::int64_t MaxBitmapPixels = std::int64_t(64) * 1024 * 1024;

class TBitmap {
 public:
  // Returns nullptr when bpp is not 1, 4, 8, 24 or 32, a side is negative or above
  // MaxBitmapSide, or w * h is above MaxBitmapPixels. New pixels are 0 (black / index 0).
  static std::unique_ptr<TBitmap> Create(int width, int height, int bitsPerPixel);
  // Loads a Windows bitmap file (BITMAPFILEHEADER + info header of 12, 40, 52, 56, 64, 108 or
  // 124 bytes; 1/4/8/16/24/32 bpp; BI_RGB, BI_RLE8, BI_RLE4, BI_BITFIELDS, BI_ALPHABITFIELDS;
  // bottom-up or top-down). 1/4/8 bpp keep their depth with the file's colour table (entries
  // the file does not give are black); 24 and 32-bit BI_RGB keep theirs; 16-bit and bit-field
  // images come back as 24 bpp (alpha is dropped). The data is untrusted: every offset and
  // count is checked, and the size against the limits above before anything is allocated.
  // Truncated pixel data (or an RLE stream that ends early or skips pixels with a delta) is
  // decoded as far as it goes; the pixels not reached stay 0 (index 0, or black). A picture of
  // more than 65536 pixels is refused unless its data holds at least half of its rows (RLE: sets
  // at least an eighth of its pixels), so short files cannot claim large bitmaps. nullptr and
  // a message in *error on bad input.
  static std::unique_ptr<TBitmap> LoadFromBmp(const std::uint8_t* data, std::size_t size, std::string* error = nullptr);
  // A bottom-up BI_RGB file with a 40-byte header and the full colour table for <= 8 bpp.
  std::vector<std::uint8_t> SaveToBmp() const;

  // A deep copy (the attached palette is copied too, not shared).
  std::unique_ptr<TBitmap> Clone() const;
  // A copy converted to another depth. To 1 bpp: white pixels become 1, all others 0 (the
  // colour-to-mono rule of BitBlt with the default TBltColors); a monochrome source keeps its
  // bits. To 4/8 bpp: the colour table is `palette` (cut or padded with black to 16/256
  // entries) and each pixel takes the nearest entry; without `palette` an indexed source whose
  // table fits keeps table and indexes, anything else gets the table of a new bitmap of that
  // depth. To 24/32 bpp: the pixels' colours (an alpha source converted to 32 bpp keeps its
  // alpha; to any other depth it is taken over black). The attached palette is copied (or is a copy of
  // `palette` when one is given). nullptr for an unsupported depth.
  std::unique_ptr<TBitmap> ConvertTo(int bitsPerPixel, const TPalette* palette = nullptr) const;

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int BitsPerPixel() const { return FBpp; }
  bool Monochrome() const { return FBpp == 1; }
  // Premultiplied alpha in the fourth byte (32 bpp only; see the pixel layout above). A new
  // bitmap has none; setting it on another depth does nothing.
  bool HasAlpha() const { return FAlpha; }
  void SetAlpha(bool alpha) { FAlpha = alpha && FBpp == 32; }
  int RowBytes() const { return FRowBytes; }
  std::uint8_t* ScanLine(int y) { return FPixels.data() + std::size_t(y) * FRowBytes; }
  const std::uint8_t* ScanLine(int y) const { return FPixels.data() + std::size_t(y) * FRowBytes; }
  std::uint8_t* Bits() { return FPixels.data(); }
  const std::uint8_t* Bits() const { return FPixels.data(); }

  // Colour table of an indexed bitmap (empty for 24/32 bpp). SetColorTable resolves system
  // colours, pads a short table with black and cuts a long one to 2^bpp entries; it does
  // nothing on a 24/32-bit bitmap.
  const std::vector<TColor>& ColorTable() const { return FColorTable; }
  void SetColorTable(std::vector<TColor> table);

  // The logical palette attached to the bitmap for palette displays (may be null).
  const TPalettePtr& Palette() const { return FPalette; }
  void SetPalette(TPalettePtr p) { FPalette = std::move(p); }

  // Pixel access in colours (index resolved through the colour table). Out of range: GetPixel
  // answers clNone and SetPixel does nothing. SetPixel on an indexed bitmap picks the nearest
  // entry. Colours given to SetPixel, Fill and FillRect go through ColorToRGB; clNone draws
  // nothing.
  TColor GetPixel(int x, int y) const;
  void SetPixel(int x, int y, TColor c);
  // Raw value (index for <= 8 bpp, 0x00BBGGRR otherwise); out of range: 0 / nothing. SetIndex
  // keeps only the bits the depth has.
  std::uint32_t GetIndex(int x, int y) const;
  void SetIndex(int x, int y, std::uint32_t v);

  void Fill(TColor c);
  // r is clipped to the bitmap.
  void FillRect(const TRect& r, TColor c);

 private:
  TBitmap() = default;
  int FWidth = 0, FHeight = 0, FBpp = 0, FRowBytes = 0;
  bool FAlpha = false;
  std::vector<std::uint8_t> FPixels;
  std::vector<TColor> FColorTable;
  TPalettePtr FPalette;
};

using TBitmapPtr = std::shared_ptr<TBitmap>;

// Raster operations on colours (D = destination, S = source), the named ternary codes of GDI
// for which the pattern plays no part. Any other code is evaluated from its truth table
// (bits 0-3 of the operation byte, i.e. with the pattern taken as 0). The operations work
// bitwise on 24-bit colours, or on the bits themselves when the destination is monochrome.
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
// colours, resolved through ColorToRGB): mono 0 -> TextColor, mono 1 -> BkColor; colour ->
// mono: a pixel equal to BkColor becomes 1 (white), any other 0. Mono onto mono works on the
// bits, whatever the two colour tables hold.
struct TBltColors {
  TColor TextColor = clBlack;
  TColor BkColor = clWhite;
};

// Source-over blend of one premultiplied colour byte s of alpha a onto an opaque colour byte d,
// with integer rounding: s + (d * (255 - a) + 127) / 255.
inline std::uint8_t BlendOver(std::uint8_t s, std::uint8_t a, std::uint8_t d) {
  return std::uint8_t(s + (d * (255 - a) + 127) / 255);
}
// The premultiplied value of a colour byte c under alpha a: round(c * a / 255).
inline std::uint8_t Premultiply(std::uint8_t c, std::uint8_t a) { return std::uint8_t((c * a + 127) / 255); }

// Block transfer of src (sx, sy, w, h) to dst at (dx, dy); both rectangles are clipped to their
// bitmaps (a pixel is transferred only when both its source and its destination exist).
// w or h <= 0 transfers nothing. The operation works on 24-bit colours; the result goes back
// into dst's format (nearest colour-table entry for indexed destinations; 32-bit X = 0xFF).
// DstInvert, Blackness and Whiteness do not read the source and are clipped to dst only.
void BitBlt(TBitmap& dst, int dx, int dy, int w, int h, const TBitmap& src, int sx, int sy,
            TRop rop = TRop::SrcCopy, TBltColors colors = {});

// Stretched transfer of the src rectangle (sx, sy, sw, sh) onto the dst rectangle (dx, dy, dw,
// dh). A negative extent covers the pixels on the other side of the start edge: width -4 at
// x = 10 is columns 6..9, the same columns as width 4 at x = 6, with the direction reversed;
// when the signs of dw and sw (or dh and sh) differ the picture is mirrored. A zero extent
// transfers nothing.
// Sampling, per axis, with D0/S0 the left (top) edges and DW/SW the absolute extents: the
// destination pixel D0 + j (or D0 + DW - 1 - j when mirrored) takes source pixel
//   S0 + floor((2j + 1) * SW / (2 * DW))
// i.e. the pixel under the destination pixel's centre. Destination pixels outside dst, or
// whose source pixel lies outside src, are left alone.
//  - ColorOnColor: that pixel.
//  - BlackOnWhite / WhiteOnBlack: when shrinking (SW > DW), all the source pixels whose
//    centres fall into the destination pixel are combined with AND (black wins) / OR (white
//    wins) after conversion to the destination's terms; when enlarging, as ColorOnColor.
//  - Halftone: the average of the source area the destination pixel covers, each source
//    pixel weighted by the part of it covered (box filter, per channel, rounded); parts of
//    that area outside src are left out of the average. On a monochrome destination
//    Halftone acts as ColorOnColor.
void StretchBlt(TBitmap& dst, int dx, int dy, int dw, int dh, const TBitmap& src, int sx, int sy, int sw,
                int sh, TRop rop = TRop::SrcCopy, TStretchMode mode = TStretchMode::ColorOnColor,
                TBltColors colors = {});

// The masked transparent copy: where the monochrome mask is white (1) the destination is kept,
// where it is black (0) the image's pixel is copied. Image and mask share the source
// rectangle and are stretched like StretchBlt. When shrinking, the mask pixels that collapse
// into one destination pixel are ORed (WhiteOnBlack), so a destination pixel is kept when any
// of them is transparent. The image is sampled with `mode` (ColorOnColor or Halftone; with
// Halftone only opaque image pixels enter the average). A mask pixel outside the mask bitmap
// counts as opaque; a mask of more than 1 bpp is read with white as transparent.
void MaskedStretchBlt(TBitmap& dst, int dx, int dy, int dw, int dh, const TBitmap& image, const TBitmap& mask,
                      int sx, int sy, int sw, int sh, TStretchMode mode = TStretchMode::ColorOnColor);

}  // namespace korva
