#include "images/DisplayState.h"

#include <cstring>

#include "images/ImageStream.h"
#include "platform/System.h"

namespace korva {

namespace {

int Users = 0;
TPalettePtr SharedPalette;
TBitmapPtr DefaultBitmap, ErrorBitmap, ErrorMask;

// Builds a 16 x 16 4-bit picture from rows of letters, one letter per colour of `table`.
TBitmapPtr Picture(const char* const rows[16], const char* letters, const std::vector<TColor>& table) {
  std::shared_ptr<TBitmap> bmp = TBitmap::Create(16, 16, 4);
  std::vector<TColor> colors(16, clBlack);
  for (std::size_t i = 0; i < table.size() && i < 16; ++i) colors[i] = table[i];
  bmp->SetColorTable(colors);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const char* p = std::strchr(letters, rows[y][x]);
      bmp->SetIndex(x, y, p ? std::uint32_t(p - letters) : 0);
    }
  return bmp;
}

const char* const ErrorRows[16] = {
    "..GGGGGGGGGGGG..", ".GYYYYYYYYYYYYG.", "GYYYYYYKKYYYYYYG", "GYYYYYYKKYYYYYYG",
    "GYYYYYYKKYYYYYYG", "GYYYYYYKKYYYYYYG", "GYYYYYYKKYYYYYYG", "GYYYYYYKKYYYYYYG",
    "GYYYYYYKKYYYYYYG", "GYYYYYYKKYYYYYYG", "GYYYYYYYYYYYYYYG", "GYYYYYYKKYYYYYYG",
    "GYYYYYYKKYYYYYYG", "GYYYYYYYYYYYYYYG", ".GYYYYYYYYYYYYG.", "..GGGGGGGGGGGG..",
};

const char* const DefaultRows[16] = {
    "GGGGGGGGGGGGGGGG", "GWWWWWWWWWWWWWWG", "GWBBBBBBBBBBBBWG", "GWBBBBBBBBBYYBWG",
    "GWBBBBBBBBYYYYWG", "GWBBBBBBBBYYYYWG", "GWBBBBBBBBBYYBWG", "GWBBBBBBBBBBBBWG",
    "GWBBBBBBNBBBBBWG", "GWBBBBBNNNBBBBWG", "GWBBBBNNNNNBBNWG", "GWBNNNNNNNNNNNWG",
    "GWNNNNNNNNNNNNWG", "GWNNNNNNNNNNNNWG", "GWWWWWWWWWWWWWWG", "GGGGGGGGGGGGGGGG",
};

}  // namespace

TPalette BuildGlobalPalette() {
  TPalette statics = TPalette::SystemStatic20();
  std::vector<TPaletteEntry> e(256);
  for (int i = 0; i < 10 && i < statics.Count(); ++i) e[i] = statics.Entries()[i];
  for (int i = 0; i < 10 && 10 + i < statics.Count(); ++i) e[246 + i] = statics.Entries()[10 + i];
  static const int Levels[6] = {55, 115, 165, 205, 235, 255};
  int n = 10;
  for (int b = 0; b < 6; ++b)
    for (int g = 0; g < 6; ++g)
      for (int r = 0; r < 6; ++r) {
        if (r == 5 && g == 5 && b == 5) continue;
        e[n++] = {std::uint8_t(Levels[r]), std::uint8_t(Levels[g]), std::uint8_t(Levels[b]), 0};
      }
  for (int i = 1; i <= 23; ++i) {
    if (i == 7 || i == 15 || i == 21) continue;
    std::uint8_t v = std::uint8_t(130 + 5 * i);
    e[n++] = {v, v, v, 0};
  }
  e[n++] = {255, 255, 254, 0};  // n is 245 here
  return TPalette(std::move(e));
}

TPalettePtr GlobalPalette() {
  if (ScreenColorBits() != 8) return nullptr;
  if (!SharedPalette) SharedPalette = std::make_shared<TPalette>(BuildGlobalPalette());
  return SharedPalette;
}

TPalettePtr CopyGlobalPalette() {
  TPalettePtr p = GlobalPalette();
  return p ? std::make_shared<TPalette>(*p) : nullptr;
}

const TBitmapPtr& DefaultImageBitmap() {
  if (!DefaultBitmap)
    DefaultBitmap = Picture(DefaultRows, "GWBYN",
                            {RGBColor(128, 128, 128), RGBColor(255, 255, 255), RGBColor(128, 192, 255),
                             RGBColor(255, 224, 0), RGBColor(0, 160, 64)});
  return DefaultBitmap;
}

const TBitmapPtr& ErrorImageBitmap() {
  if (!ErrorBitmap)
    ErrorBitmap = Picture(ErrorRows, ".GYK",
                          {RGBColor(255, 255, 255), RGBColor(128, 128, 128), RGBColor(255, 255, 0), RGBColor(64, 0, 0)});
  return ErrorBitmap;
}

const TBitmapPtr& ErrorImageMask() {
  if (!ErrorMask) {
    std::shared_ptr<TBitmap> mask = TBitmap::Create(16, 16, 1);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) mask->SetIndex(x, y, ErrorRows[y][x] == '.' ? 1 : 0);
    ErrorMask = mask;
  }
  return ErrorMask;
}

TMemoryStream* PendingImageStream() {
  static TMemoryStream pending;
  return &pending;
}

TImageDisplayUser::TImageDisplayUser() {
  if (Users++ == 0) {
    DefaultImageBitmap();
    ErrorImageBitmap();
    ErrorImageMask();
  }
}

TImageDisplayUser::~TImageDisplayUser() {
  if (--Users == 0) {
    SharedPalette.reset();
    DefaultBitmap.reset();
    ErrorBitmap.reset();
    ErrorMask.reset();
  }
}

}  // namespace korva
