#include "platform/Bitmap.h"

#include <cstring>

namespace korva {

namespace {

bool ValidDepth(int bpp) { return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32; }

std::vector<TColor> DefaultTable(int bpp) {
  switch (bpp) {
    case 1: return {clBlack, clWhite};
    case 4: {
      const TPalette p = TPalette::Default16();
      std::vector<TColor> t;
      for (int i = 0; i < p.Count(); ++i) t.push_back(p.ColorAt(i));
      return t;
    }
    case 8: return Default256Table();
    default: return {};
  }
}

}  // namespace

std::unique_ptr<TBitmap> TBitmap::Create(int width, int height, int bitsPerPixel) {
  if (!ValidDepth(bitsPerPixel)) return nullptr;
  if (width < 0 || height < 0 || width > MaxBitmapSide || height > MaxBitmapSide) return nullptr;
  if (std::int64_t(width) * height > MaxBitmapPixels) return nullptr;
  const std::int64_t rowBytes = ((std::int64_t(width) * bitsPerPixel + 31) / 32) * 4;
  std::unique_ptr<TBitmap> b(new TBitmap);
  b->FWidth = width;
  b->FHeight = height;
  b->FBpp = bitsPerPixel;
  b->FRowBytes = int(rowBytes);
  b->FPixels.assign(std::size_t(rowBytes) * std::size_t(height), 0);
  b->FColorTable = DefaultTable(bitsPerPixel);
  return b;
}

std::unique_ptr<TBitmap> TBitmap::Clone() const {
  std::unique_ptr<TBitmap> b(new TBitmap(*this));
  if (FPalette) b->FPalette = std::make_shared<TPalette>(*FPalette);
  return b;
}

void TBitmap::SetColorTable(std::vector<TColor> table) {
  if (FBpp > 8) return;
  const std::size_t n = std::size_t(1) << FBpp;
  table.resize(n, clBlack);
  for (TColor& c : table) c = ColorToRGB(c) & 0xFFFFFF;
  FColorTable = std::move(table);
}

std::uint32_t TBitmap::GetIndex(int x, int y) const {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return 0;
  const std::uint8_t* row = ScanLine(y);
  switch (FBpp) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    case 8: return row[x];
    case 24: {
      const std::uint8_t* p = row + std::size_t(x) * 3;
      return RGBColor(p[2], p[1], p[0]);
    }
    default: {
      const std::uint8_t* p = row + std::size_t(x) * 4;
      return RGBColor(p[2], p[1], p[0]);
    }
  }
}

void TBitmap::SetIndex(int x, int y, std::uint32_t v) {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
  std::uint8_t* row = ScanLine(y);
  switch (FBpp) {
    case 1: {
      const std::uint8_t bit = std::uint8_t(0x80 >> (x & 7));
      if (v & 1)
        row[x >> 3] |= bit;
      else
        row[x >> 3] &= std::uint8_t(~bit);
      break;
    }
    case 4: {
      std::uint8_t& byte = row[x >> 1];
      if (x & 1)
        byte = std::uint8_t((byte & 0xF0) | (v & 0x0F));
      else
        byte = std::uint8_t((byte & 0x0F) | ((v & 0x0F) << 4));
      break;
    }
    case 8: row[x] = std::uint8_t(v); break;
    case 24: {
      std::uint8_t* p = row + std::size_t(x) * 3;
      p[0] = std::uint8_t(GetBValue(v));
      p[1] = std::uint8_t(GetGValue(v));
      p[2] = std::uint8_t(GetRValue(v));
      break;
    }
    default: {
      std::uint8_t* p = row + std::size_t(x) * 4;
      p[0] = std::uint8_t(GetBValue(v));
      p[1] = std::uint8_t(GetGValue(v));
      p[2] = std::uint8_t(GetRValue(v));
      p[3] = 0xFF;
      break;
    }
  }
}

TColor TBitmap::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return clNone;
  const std::uint32_t v = GetIndex(x, y);
  if (FBpp <= 8) return v < FColorTable.size() ? FColorTable[v] : clBlack;
  return v;
}

void TBitmap::SetPixel(int x, int y, TColor c) {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight || c == clNone) return;
  const TColor rgb = ColorToRGB(c) & 0xFFFFFF;
  if (FBpp <= 8)
    SetIndex(x, y, std::uint32_t(NearestColorIndex(FColorTable.data(), int(FColorTable.size()), rgb)));
  else
    SetIndex(x, y, rgb);
}

void TBitmap::Fill(TColor c) { FillRect(TRect{0, 0, FWidth, FHeight}, c); }

void TBitmap::FillRect(const TRect& r, TColor c) {
  if (c == clNone) return;
  const TRect area = IntersectRect(r, TRect{0, 0, FWidth, FHeight});
  if (area.IsEmpty()) return;
  const TColor rgb = ColorToRGB(c) & 0xFFFFFF;
  std::uint32_t v = rgb;
  if (FBpp <= 8) v = std::uint32_t(NearestColorIndex(FColorTable.data(), int(FColorTable.size()), rgb));
  if (FBpp >= 8) {
    // Build the first row of the area, then copy it to the others.
    std::uint8_t* first = ScanLine(area.Top);
    for (int x = area.Left; x < area.Right; ++x) SetIndex(x, area.Top, v);
    const std::size_t bytesPerPixel = std::size_t(FBpp / 8);
    const std::size_t offset = std::size_t(area.Left) * bytesPerPixel;
    const std::size_t length = std::size_t(area.Width()) * bytesPerPixel;
    for (int y = area.Top + 1; y < area.Bottom; ++y) std::memcpy(ScanLine(y) + offset, first + offset, length);
    return;
  }
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x) SetIndex(x, y, v);
}

std::unique_ptr<TBitmap> TBitmap::ConvertTo(int bitsPerPixel, const TPalette* palette) const {
  if (FAlpha && bitsPerPixel == 32) {
    std::unique_ptr<TBitmap> copy = Clone();
    if (palette) copy->FPalette = std::make_shared<TPalette>(*palette);
    return copy;
  }
  std::unique_ptr<TBitmap> result = Create(FWidth, FHeight, bitsPerPixel);
  if (!result) return nullptr;
  if (bitsPerPixel > 1 && bitsPerPixel <= 8) {
    const std::size_t size = std::size_t(1) << bitsPerPixel;
    if (palette) {
      std::vector<TColor> table;
      for (int i = 0; i < palette->Count() && table.size() < size; ++i) table.push_back(palette->ColorAt(i));
      result->SetColorTable(std::move(table));
    } else if (FBpp <= bitsPerPixel) {
      // Indexes stay valid: keep the table (padded with black) and copy the indexes below.
      result->SetColorTable(FColorTable);
      for (int y = 0; y < FHeight; ++y)
        for (int x = 0; x < FWidth; ++x) result->SetIndex(x, y, GetIndex(x, y));
      result->FPalette = FPalette ? std::make_shared<TPalette>(*FPalette) : nullptr;
      return result;
    }
  }
  // A monochrome source shows its own two colours; colour sources go to mono by the white rule.
  TBltColors colors;
  if (FBpp == 1 && bitsPerPixel != 1) colors = TBltColors{FColorTable[0], FColorTable[1]};
  BitBlt(*result, 0, 0, FWidth, FHeight, *this, 0, 0, TRop::SrcCopy, colors);
  if (palette)
    result->FPalette = std::make_shared<TPalette>(*palette);
  else if (FPalette)
    result->FPalette = std::make_shared<TPalette>(*FPalette);
  return result;
}

}  // namespace korva
