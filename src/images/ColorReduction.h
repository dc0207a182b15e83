// Colour reduction of decoded images for 4- and 8-bit screens: row access to bitmaps, colour
// lookups, nearest-colour and Floyd-Steinberg dithering, and an octree quantizer.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "images/ImageErrors.h"
#include "platform/Bitmap.h"

namespace korva {

// Pixel formats as the reader and writer name them.
enum TPixelFormat { pfDevice = 0, pf1bit = 1, pf4bit = 2, pf8bit = 3, pf15bit = 4, pf16bit = 5, pf24bit = 6, pf32bit = 7 };

enum TPaletteMode { pmNone = 0, pmStockDefault = 1, pmWeb = 3, pmShared = 4, pmOptimised = 5 };
enum TDitherMode { dmNearest = 0, dmFloydSteinberg = 1 };

class TDIB {
 public:
  TDIB(TBitmap* bitmap, TPixelFormat format);
  virtual ~TDIB() = default;
  virtual std::uint8_t* RowAddress(int row) = 0;
  TBitmap* Bitmap() const { return FBitmap; }
  TPixelFormat PixelFormat() const { return FPixelFormat; }

 protected:
  TBitmap* FBitmap;
  TPixelFormat FPixelFormat;
};

// Reads a bitmap's rows as blue, green, red triples (a 24-bit copy is made when the bitmap
// has another format; the source itself is left as it is).
class TDIBReader : public TDIB {
 public:
  TDIBReader(const TBitmap& bitmap, TPixelFormat format = pf24bit);
  std::uint8_t* RowAddress(int row) override;

 private:
  std::unique_ptr<TBitmap> FCopy;
  const TBitmap* FSource;
};

// Writes a bitmap's rows directly in its own format.
class TDIBWriter : public TDIB {
 public:
  TDIBWriter(TBitmap& bitmap, TPixelFormat format);
  std::uint8_t* RowAddress(int row) override;
};

class TColorLookup {
 public:
  virtual ~TColorLookup() = default;
  // Index of the nearest palette entry; r, g, b become that entry's colour.
  virtual int NearestIndex(int& r, int& g, int& b) = 0;
  int EntryCount() const { return FEntryCount; }

 protected:
  int FEntryCount = 0;
};

class TFastColorLookup : public TColorLookup {
 public:
  explicit TFastColorLookup(const TPalette& palette);
  int NearestIndex(int& r, int& g, int& b) override;

 private:
  std::vector<TPaletteEntry> FEntries;
  std::vector<std::int16_t> FInverse;  // 32768 cells of 15-bit colours
};

// The 216-colour web palette, computed without a table.
class TNetscapeColorLookup : public TColorLookup {
 public:
  TNetscapeColorLookup() { FEntryCount = 216; }
  int NearestIndex(int& r, int& g, int& b) override;
};

class TDitherEngine {
 public:
  TDitherEngine(int width, TColorLookup& lookup);
  virtual ~TDitherEngine() = default;
  virtual int MapPixel(int r, int g, int b, int& outR, int& outG, int& outB);
  virtual void EndRow();
  int StepSign() const { return FStepSign; }
  int Cursor() const { return FCursor; }
  int RowWidth() const { return FRowWidth; }

 protected:
  TColorLookup& FLookup;
  int FStepSign = 1;
  int FCursor = 0;
  int FRowWidth;
};

class TFloydSteinbergEngine : public TDitherEngine {
 public:
  TFloydSteinbergEngine(int width, TColorLookup& lookup);
  int MapPixel(int r, int g, int b, int& outR, int& outG, int& outB) override;
  void EndRow() override;

 private:
  std::vector<int> FErrors[3];
  int FPos = 0;
  int FNext[3] = {}, FBelow[3] = {}, FBelowBehind[3] = {};
};

struct TOctreeNode {
  bool Leaf = false;
  std::int64_t PixelCount = 0;
  std::int64_t RedSum = 0, GreenSum = 0, BlueSum = 0;
  TOctreeNode* NextReducible = nullptr;
  std::unique_ptr<TOctreeNode> Children[8];
};

class TColorQuantizer {
 public:
  TColorQuantizer(int maxColors, int colorBits);
  void AddColor(int r, int g, int b);
  // Leaf colours in depth-first order.
  std::vector<TPaletteEntry> Colors() const;
  int LeafCount() const { return FLeafCount; }

 private:
  void Reduce();
  std::unique_ptr<TOctreeNode> FRoot;
  int FLeafCount = 0;
  TOctreeNode* FReducible[9] = {};
  int FMaxColors;
  int FColorBits;
};

// The 216-colour web palette: entry r * 36 + g * 6 + b has channels r * 51, g * 51, b * 51.
TPalette MakeWebPalette();
// An octree palette of the bitmap's colours; with the reserve, 256 entries around the static
// colours of the stock palette.
TPalette MakeOptimisedPalette(const TBitmap& bitmap, int colorCount, int colorBits, bool reserveSystemColors);

// A new 8-bit bitmap of the source reduced to the palette of the mode (mode 0: a 24-bit copy).
std::unique_ptr<TBitmap> ReduceColors(const TBitmap& source, int paletteMode, int ditherMode);

}  // namespace korva
