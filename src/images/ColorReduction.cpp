#include "images/ColorReduction.h"

#include <algorithm>
#include <cstdlib>

#include "images/DisplayState.h"

namespace korva {

namespace {

int BitsOf(TPixelFormat f) {
  switch (f) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf24bit: return 24;
    default: throw GIFException("Invalid pixel format");
  }
}

}  // namespace

// ---- row access ---------------------------------------------------------------------------

TDIB::TDIB(TBitmap* bitmap, TPixelFormat format) : FBitmap(bitmap), FPixelFormat(format) {
  if (!bitmap) throw GIFException("Bitmap image is not valid");
}

TDIBReader::TDIBReader(const TBitmap& bitmap, TPixelFormat format)
    : TDIB(const_cast<TBitmap*>(&bitmap), format), FSource(&bitmap) {
  int bits = BitsOf(format);
  if (bitmap.BitsPerPixel() != bits) {
    FCopy = bitmap.ConvertTo(bits);
    if (!FCopy) throw GIFException("Failed to create DIB from Bitmap");
    FSource = FCopy.get();
  }
}

std::uint8_t* TDIBReader::RowAddress(int row) {
  if (row < 0 || row >= FSource->Height()) throw EInvalidGraphicOperation("Scan line index out of range");
  return const_cast<std::uint8_t*>(FSource->ScanLine(row));
}

TDIBWriter::TDIBWriter(TBitmap& bitmap, TPixelFormat format) : TDIB(&bitmap, format) {
  if (bitmap.BitsPerPixel() != BitsOf(format)) throw GIFException("Invalid pixel format");
}

std::uint8_t* TDIBWriter::RowAddress(int row) {
  if (!FBitmap->Bits()) throw GIFException("Image has no DIB");
  if (row < 0 || row >= FBitmap->Height()) throw EInvalidGraphicOperation("Scan line index out of range");
  return FBitmap->ScanLine(row);
}

// ---- lookups ------------------------------------------------------------------------------

TFastColorLookup::TFastColorLookup(const TPalette& palette) : FInverse(32768, -1) {
  const std::vector<TPaletteEntry>& e = palette.Entries();
  FEntries.assign(e.begin(), e.begin() + std::min<std::size_t>(e.size(), 256));
  FEntryCount = int(FEntries.size());
  for (int i = 0; i < FEntryCount; ++i) {
    int cell = (FEntries[i].R >> 3) + 32 * (FEntries[i].G >> 3) + 1024 * (FEntries[i].B >> 3);
    if (FInverse[cell] < 0) FInverse[cell] = std::int16_t(i);
  }
}

int TFastColorLookup::NearestIndex(int& r, int& g, int& b) {
  int cell = (r >> 3) + 32 * (g >> 3) + 1024 * (b >> 3);
  int index = FInverse[cell];
  if (index < 0) {
    int best = 0x7FFFFFFF;
    index = 0;
    for (int i = 0; i < FEntryCount; ++i) {
      int d = std::abs(FEntries[i].R - r) + std::abs(FEntries[i].G - g) + std::abs(FEntries[i].B - b);
      if (d < best) {
        best = d;
        index = i;
      }
    }
    FInverse[cell] = std::int16_t(index);
  }
  r = FEntries[index].R;
  g = FEntries[index].G;
  b = FEntries[index].B;
  return index;
}

int TNetscapeColorLookup::NearestIndex(int& r, int& g, int& b) {
  int lr = (r + 3) / 51, lg = (g + 3) / 51, lb = (b + 3) / 51;
  r = lr * 51;
  g = lg * 51;
  b = lb * 51;
  return lr * 36 + lg * 6 + lb;
}

// ---- dither engines -----------------------------------------------------------------------

TDitherEngine::TDitherEngine(int width, TColorLookup& lookup) : FLookup(lookup), FRowWidth(width) {}

int TDitherEngine::MapPixel(int r, int g, int b, int& outR, int& outG, int& outB) {
  outR = r;
  outG = g;
  outB = b;
  int index = FLookup.NearestIndex(outR, outG, outB);
  FCursor += FStepSign;
  return index;
}

void TDitherEngine::EndRow() {
  FStepSign = -FStepSign;
  FCursor = FStepSign > 0 ? 0 : FRowWidth - 1;
}

TFloydSteinbergEngine::TFloydSteinbergEngine(int width, TColorLookup& lookup) : TDitherEngine(width, lookup) {
  for (std::vector<int>& e : FErrors) e.assign(std::size_t(width) + 2, 0);
}

int TFloydSteinbergEngine::MapPixel(int r, int g, int b, int& outR, int& outG, int& outB) {
  int value[3] = {r, g, b};
  int adjusted[3];
  for (int c = 0; c < 3; ++c)
    adjusted[c] = std::clamp(value[c] + (FErrors[c][std::size_t(FPos + FStepSign)] + FNext[c] + 8) / 16, 0, 255);
  outR = adjusted[0];
  outG = adjusted[1];
  outB = adjusted[2];
  int index = TDitherEngine::MapPixel(adjusted[0], adjusted[1], adjusted[2], outR, outG, outB);
  int chosen[3] = {outR, outG, outB};
  for (int c = 0; c < 3; ++c) {
    int err = adjusted[c] - chosen[c];
    FErrors[c][std::size_t(FPos)] = FBelowBehind[c] + 3 * err;
    FBelowBehind[c] = FBelow[c] + 5 * err;
    FBelow[c] = err;
    FNext[c] = 7 * err;
  }
  FPos += FStepSign;
  return index;
}

void TFloydSteinbergEngine::EndRow() {
  for (int c = 0; c < 3; ++c) {
    FErrors[c][std::size_t(FPos)] = FBelowBehind[c];
    FNext[c] = FBelow[c] = FBelowBehind[c] = 0;
  }
  TDitherEngine::EndRow();
  FPos = FStepSign > 0 ? 0 : FRowWidth + 1;
}

// ---- octree -------------------------------------------------------------------------------

TColorQuantizer::TColorQuantizer(int maxColors, int colorBits)
    : FRoot(std::make_unique<TOctreeNode>()), FMaxColors(std::max(1, maxColors)),
      FColorBits(std::clamp(colorBits, 1, 8)) {}

void TColorQuantizer::AddColor(int r, int g, int b) {
  TOctreeNode* node = FRoot.get();
  for (int level = 0;; ++level) {
    if (level == FColorBits || node->Leaf) {
      if (!node->Leaf) {
        node->Leaf = true;
        ++FLeafCount;
      }
      node->PixelCount++;
      node->RedSum += r;
      node->GreenSum += g;
      node->BlueSum += b;
      break;
    }
    int bit = 0x80 >> level;
    int i = ((r & bit) ? 4 : 0) + ((g & bit) ? 2 : 0) + ((b & bit) ? 1 : 0);
    if (!node->Children[i]) {
      node->Children[i] = std::make_unique<TOctreeNode>();
      TOctreeNode* child = node->Children[i].get();
      if (level + 1 < FColorBits) {
        child->NextReducible = FReducible[level + 1];
        FReducible[level + 1] = child;
      }
    }
    node = node->Children[i].get();
  }
  while (FLeafCount > FMaxColors) Reduce();
}

void TColorQuantizer::Reduce() {
  int level = FColorBits - 1;
  while (level > 0 && !FReducible[level]) --level;
  TOctreeNode* node = FReducible[level];
  if (!node) {
    // Only the root is left to fold.
    node = FRoot.get();
    if (node->Leaf) return;
  } else {
    FReducible[level] = node->NextReducible;
  }
  int children = 0;
  for (auto& c : node->Children) {
    if (!c) continue;
    node->PixelCount += c->PixelCount;
    node->RedSum += c->RedSum;
    node->GreenSum += c->GreenSum;
    node->BlueSum += c->BlueSum;
    c.reset();
    ++children;
  }
  node->Leaf = true;
  FLeafCount -= children - 1;
}

std::vector<TPaletteEntry> TColorQuantizer::Colors() const {
  std::vector<TPaletteEntry> out;
  std::vector<const TOctreeNode*> stack = {FRoot.get()};
  while (!stack.empty()) {
    const TOctreeNode* n = stack.back();
    stack.pop_back();
    if (n->Leaf) {
      TPaletteEntry e;
      if (n->PixelCount > 0) {
        e.R = std::uint8_t(n->RedSum / n->PixelCount);
        e.G = std::uint8_t(n->GreenSum / n->PixelCount);
        e.B = std::uint8_t(n->BlueSum / n->PixelCount);
      }
      out.push_back(e);
      continue;
    }
    for (int i = 7; i >= 0; --i)
      if (n->Children[i]) stack.push_back(n->Children[i].get());
  }
  return out;
}

TPalette MakeWebPalette() {
  std::vector<TPaletteEntry> e;
  e.reserve(216);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) e.push_back({std::uint8_t(r * 51), std::uint8_t(g * 51), std::uint8_t(b * 51), 0});
  return TPalette(std::move(e));
}

TPalette MakeOptimisedPalette(const TBitmap& bitmap, int colorCount, int colorBits, bool reserveSystemColors) {
  TColorQuantizer q(reserveSystemColors ? 236 : colorCount, colorBits);
  TDIBReader reader(bitmap, pf24bit);
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* p = reader.RowAddress(y);
    for (int x = 0; x < bitmap.Width(); ++x, p += 3) q.AddColor(p[2], p[1], p[0]);
  }
  std::vector<TPaletteEntry> colors = q.Colors();
  std::vector<TPaletteEntry> entries;
  if (reserveSystemColors) {
    entries.assign(256, TPaletteEntry());
    TPalette stock = TPalette::SystemStatic20();
    for (int i = 0; i < 10 && i < stock.Count(); ++i) entries[i] = stock.Entries()[i];
    for (int i = 0; i < 10 && 10 + i < stock.Count(); ++i) entries[245 + i] = stock.Entries()[10 + i];
    for (std::size_t i = 0; i < colors.size() && 10 + i < 256; ++i) entries[10 + i] = colors[i];
  } else {
    entries.assign(std::size_t(std::max(colorCount, 0)), TPaletteEntry());
    for (std::size_t i = 0; i < colors.size() && i < entries.size(); ++i) entries[i] = colors[i];
  }
  return TPalette(std::move(entries));
}

std::unique_ptr<TBitmap> ReduceColors(const TBitmap& source, int paletteMode, int ditherMode) {
  if (paletteMode == pmNone) {
    std::unique_ptr<TBitmap> copy = source.ConvertTo(24);
    if (!copy) throw GIFException("Failed to create DIB from Bitmap");
    return copy;
  }
  std::unique_ptr<TBitmap> result = TBitmap::Create(source.Width(), source.Height(), 8);
  if (!result) throw GIFException("Failed to allocate memory for GIF DIB");
  TDIBReader reader(source, pf24bit);

  TPalettePtr palette;
  switch (paletteMode) {
    case pmStockDefault: palette = std::make_shared<TPalette>(TPalette::SystemStatic20()); break;
    case pmWeb: palette = std::make_shared<TPalette>(MakeWebPalette()); break;
    case pmShared: {
      palette = CopyGlobalPalette();
      if (!palette) palette = std::make_shared<TPalette>(BuildGlobalPalette());
      break;
    }
    case pmOptimised: palette = std::make_shared<TPalette>(MakeOptimisedPalette(source, 256, 8, true)); break;
    default: return result;
  }
  std::vector<TColor> table(256, clBlack);
  for (int i = 0; i < palette->Count() && i < 256; ++i) table[i] = palette->ColorAt(i);
  result->SetColorTable(std::move(table));
  result->SetPalette(palette);

  std::unique_ptr<TColorLookup> lookup;
  if (paletteMode == pmWeb)
    lookup = std::make_unique<TNetscapeColorLookup>();
  else
    lookup = std::make_unique<TFastColorLookup>(*palette);
  if (lookup->EntryCount() == 0) return result;

  std::unique_ptr<TDitherEngine> engine;
  if (ditherMode == dmNearest)
    engine = std::make_unique<TDitherEngine>(source.Width(), *lookup);
  else if (ditherMode == dmFloydSteinberg)
    engine = std::make_unique<TFloydSteinbergEngine>(source.Width(), *lookup);
  else
    return result;

  TDIBWriter writer(*result, pf8bit);
  const int width = source.Width();
  for (int y = 0; y < source.Height(); ++y) {
    const std::uint8_t* src = reader.RowAddress(y);
    std::uint8_t* dst = writer.RowAddress(y);
    int r, g, b;
    for (int x = engine->Cursor(); x >= 0 && x < width; x = engine->Cursor()) {
      const std::uint8_t* p = src + std::size_t(x) * 3;
      dst[x] = std::uint8_t(engine->MapPixel(p[2], p[1], p[0], r, g, b));
    }
    engine->EndRow();
  }
  return result;
}

}  // namespace korva
