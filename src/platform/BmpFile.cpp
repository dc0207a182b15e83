// Windows bitmap files: reading every common variant from untrusted bytes, and writing the
// plainest one.
#include <bit>
#include <cstring>

#include "platform/Bitmap.h"

namespace korva {

namespace {

constexpr std::size_t FileHeaderSize = 14;
constexpr std::uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_ALPHABITFIELDS = 6;

std::uint16_t U16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}
std::int32_t S32(const std::uint8_t* p) { return std::int32_t(U32(p)); }

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(std::uint8_t(v));
  out.push_back(std::uint8_t(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::unique_ptr<TBitmap> Fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return nullptr;
}

// One colour channel of a bit-field pixel, scaled to 0..255.
struct TChannel {
  std::uint32_t Mask = 0;
  int Shift = 0;
  std::uint32_t Max = 0;
  explicit TChannel(std::uint32_t mask) : Mask(mask) {
    if (mask) {
      Shift = std::countr_zero(mask);
      Max = mask >> Shift;
    }
  }
  std::uint8_t Get(std::uint32_t pixel) const {
    if (!Max) return 0;
    const std::uint64_t v = (pixel & Mask) >> Shift;
    return std::uint8_t((v * 255 + Max / 2) / Max);
  }
};

struct TBmpInfo {
  std::int64_t Width = 0, Height = 0;
  bool TopDown = false;
  int Bpp = 0;
  std::uint32_t Compression = BI_RGB;
  std::uint32_t SizeImage = 0;
  std::uint32_t ColorsUsed = 0;
  std::uint32_t Masks[3] = {0, 0, 0};  // red, green, blue
  std::size_t TableStart = 0;
  std::size_t TableEntrySize = 4;
};

// Pictures of up to this many pixels are decoded however short their data is (what is missing
// stays 0). Larger ones are allocated only when the data can fill a fair part of them, so that
// a few bytes cannot claim a bitmap of many megabytes.
constexpr std::int64_t SmallBmpPixels = 65536;

// Walks an RLE8 / RLE4 stream, calling put(x, row, value) for every pixel it sets inside the
// picture (row counted from the first row stored).
template <class Put>
void WalkRle(const std::uint8_t* p, const std::uint8_t* end, bool rle4, int width, int height, Put&& put) {
  int x = 0, row = 0;
  auto emit = [&](int v) {
    if (x < width && row < height) put(x, row, v);
    if (x < width) ++x;
  };
  while (end - p >= 2 && row < height) {
    const int b0 = p[0], b1 = p[1];
    p += 2;
    if (b0 > 0) {
      for (int k = 0; k < b0 && x < width; ++k) emit(rle4 ? ((k & 1) ? (b1 & 0x0F) : (b1 >> 4)) : b1);
    } else if (b1 == 0) {
      x = 0;
      ++row;
    } else if (b1 == 1) {
      break;
    } else if (b1 == 2) {
      if (end - p < 2) break;
      x = std::min(x + p[0], width);
      row += p[1];
      p += 2;
    } else {
      const std::ptrdiff_t bytes = rle4 ? (b1 + 1) / 2 : b1;
      const std::ptrdiff_t padded = (bytes + 1) & ~std::ptrdiff_t(1);
      const std::ptrdiff_t have = std::min(bytes, end - p);
      for (int k = 0; k < b1; ++k) {
        const std::ptrdiff_t byte = rle4 ? k / 2 : k;
        if (byte >= have) break;
        emit(rle4 ? ((k & 1) ? (p[byte] & 0x0F) : (p[byte] >> 4)) : p[byte]);
      }
      if (end - p < padded) break;
      p += padded;
    }
  }
}

// RLE8 / RLE4 decoding; pixels not reached stay 0.
void DecodeRle(const std::uint8_t* p, const std::uint8_t* end, bool rle4, const TBmpInfo& info, TBitmap& bmp) {
  const int height = bmp.Height();
  WalkRle(p, end, rle4, bmp.Width(), height, [&](int x, int row, int v) {
    bmp.SetIndex(x, info.TopDown ? row : height - 1 - row, std::uint32_t(v));
  });
}

// Whether the pixel data can fill enough of the declared picture to be worth allocating: half
// of the rows for plain pixels; for RLE, an eighth of the pixels set by runs (a stream may
// leave stretches at 0 through line ends and deltas, but a few bytes cannot cover much).
bool DataCanFill(const TBmpInfo& info, const std::uint8_t* pixels, std::size_t available) {
  const std::int64_t total = info.Width * info.Height;
  if (total <= SmallBmpPixels) return true;
  if (info.Compression == BI_RLE8 || info.Compression == BI_RLE4) {
    std::size_t length = available;
    if (info.SizeImage != 0 && info.SizeImage < length) length = info.SizeImage;
    std::int64_t set = 0;
    WalkRle(pixels, pixels + length, info.Compression == BI_RLE4, int(info.Width), int(info.Height),
            [&](int, int, int) { ++set; });
    return set * 8 >= total;
  }
  const std::int64_t rowBytes = ((info.Width * info.Bpp + 31) / 32) * 4;
  const std::int64_t rows = (std::int64_t(available) + rowBytes - 1) / rowBytes;
  return rows * 2 >= info.Height;
}

}  // namespace

std::unique_ptr<TBitmap> TBitmap::LoadFromBmp(const std::uint8_t* data, std::size_t size, std::string* error) {
  if (!data || size < 2 || data[0] != 'B' || data[1] != 'M') return Fail(error, "Not a bitmap file");
  if (size < FileHeaderSize + 4) return Fail(error, "Bitmap header is truncated");
  const std::uint32_t offBits = U32(data + 10);
  const std::uint32_t headerSize = U32(data + 14);
  const std::uint8_t* h = data + FileHeaderSize;
  const bool knownHeader = headerSize == 12 || headerSize == 40 || headerSize == 52 || headerSize == 56 ||
                           headerSize == 64 || headerSize == 108 || headerSize == 124;
  if (!knownHeader) return Fail(error, "Unsupported bitmap header size " + std::to_string(headerSize));
  if (size - FileHeaderSize < headerSize) return Fail(error, "Bitmap header is truncated");

  TBmpInfo info;
  info.TableStart = FileHeaderSize + headerSize;
  if (headerSize == 12) {
    info.Width = U16(h + 4);
    info.Height = U16(h + 6);
    info.Bpp = U16(h + 10);
    info.TableEntrySize = 3;
  } else {
    info.Width = S32(h + 4);
    info.Height = S32(h + 8);
    info.Bpp = U16(h + 14);
    info.Compression = U32(h + 16);
    info.SizeImage = U32(h + 20);
    info.ColorsUsed = U32(h + 32);
    // The 64-byte header of the other family numbers its compressions differently beyond RLE.
    if (headerSize == 64 && info.Compression > BI_RLE4)
      return Fail(error, "Unsupported bitmap compression " + std::to_string(info.Compression));
    if (info.Compression == BI_BITFIELDS || info.Compression == BI_ALPHABITFIELDS) {
      const std::uint8_t* masks = h + 40;
      if (headerSize == 40) {
        const std::size_t maskBytes = info.Compression == BI_BITFIELDS ? 12 : 16;
        if (size - info.TableStart < maskBytes) return Fail(error, "Bitmap header is truncated");
        info.TableStart += maskBytes;
      }
      for (int i = 0; i < 3; ++i) info.Masks[i] = U32(masks + 4 * i);
    }
  }
  if (info.Height < 0) {
    info.TopDown = true;
    info.Height = -info.Height;
  }
  if (info.Width <= 0 || info.Height <= 0) return Fail(error, "Invalid bitmap size");
  if (info.Width > MaxBitmapSide || info.Height > MaxBitmapSide || info.Width * info.Height > MaxBitmapPixels)
    return Fail(error, "Bitmap is too large");
  const int bpp = info.Bpp;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    return Fail(error, "Unsupported bitmap bit count " + std::to_string(bpp));
  const std::uint32_t comp = info.Compression;
  const bool compOk = comp == BI_RGB || (comp == BI_RLE8 && bpp == 8) || (comp == BI_RLE4 && bpp == 4) ||
                      ((comp == BI_BITFIELDS || comp == BI_ALPHABITFIELDS) && (bpp == 16 || bpp == 32));
  if (!compOk)
    return Fail(error, "Unsupported bitmap compression " + std::to_string(comp) + " at " + std::to_string(bpp) +
                           " bits per pixel");

  // Colour table: as many entries as declared, but never past the pixel data or the file.
  std::vector<TColor> table;
  std::size_t declared = 0;
  if (bpp <= 8) {
    declared = std::size_t(1) << bpp;
    if (info.ColorsUsed != 0 && info.ColorsUsed < declared) declared = info.ColorsUsed;
  }
  std::size_t pixelStart = offBits;
  if (offBits == 0) {
    pixelStart = info.TableStart + declared * info.TableEntrySize;
  } else if (offBits < info.TableStart) {
    return Fail(error, "Bad bitmap pixel data offset");
  }
  if (bpp <= 8) {
    std::size_t count = declared;
    count = std::min(count, (pixelStart - info.TableStart) / info.TableEntrySize);
    count = std::min(count, (size - info.TableStart) / info.TableEntrySize);
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* e = data + info.TableStart + i * info.TableEntrySize;
      table.push_back(RGBColor(e[2], e[1], e[0]));
    }
  }
  if (pixelStart >= size) return Fail(error, "Bitmap pixel data is missing");

  if (!DataCanFill(info, data + pixelStart, size - pixelStart))
    return Fail(error, "Bitmap pixel data is much shorter than its size");

  const bool keepsDepth = bpp <= 8 || bpp == 24 || (bpp == 32 && comp == BI_RGB);
  std::unique_ptr<TBitmap> bmp = Create(int(info.Width), int(info.Height), keepsDepth ? bpp : 24);
  if (!bmp) return Fail(error, "Bitmap is too large");
  if (bpp <= 8) bmp->SetColorTable(table);

  const std::uint8_t* pixels = data + pixelStart;
  const std::size_t available = size - pixelStart;
  const int width = bmp->Width(), height = bmp->Height();

  if (comp == BI_RLE8 || comp == BI_RLE4) {
    std::size_t length = available;
    if (info.SizeImage != 0 && info.SizeImage < length) length = info.SizeImage;
    DecodeRle(pixels, pixels + length, comp == BI_RLE4, info, *bmp);
    return bmp;
  }

  const std::size_t srcRowBytes = std::size_t(((std::int64_t(width) * bpp + 31) / 32) * 4);
  if (keepsDepth) {
    // The file's rows have the same layout as ours.
    for (int i = 0; i < height; ++i) {
      const std::size_t offset = std::size_t(i) * srcRowBytes;
      if (offset >= available) break;
      const std::size_t n = std::min({srcRowBytes, available - offset, std::size_t(bmp->RowBytes())});
      std::memcpy(bmp->ScanLine(info.TopDown ? i : height - 1 - i), pixels + offset, n);
    }
    if (bpp == 32)
      for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bmp->ScanLine(y);
        for (int x = 0; x < width; ++x) row[4 * x + 3] = 0xFF;
      }
    return bmp;
  }

  // 16 bits, or bit fields: each pixel through its masks into 24 bits.
  if (comp == BI_RGB) {
    info.Masks[0] = 0x7C00;
    info.Masks[1] = 0x03E0;
    info.Masks[2] = 0x001F;
  }
  const TChannel red(info.Masks[0]), green(info.Masks[1]), blue(info.Masks[2]);
  const std::size_t bytesPerPixel = std::size_t(bpp / 8);
  for (int i = 0; i < height; ++i) {
    const std::size_t offset = std::size_t(i) * srcRowBytes;
    if (offset >= available) break;
    const std::size_t have = std::min(srcRowBytes, available - offset);
    const std::uint8_t* src = pixels + offset;
    std::uint8_t* dst = bmp->ScanLine(info.TopDown ? i : height - 1 - i);
    for (int x = 0; x < width && (std::size_t(x) + 1) * bytesPerPixel <= have; ++x) {
      const std::uint8_t* p = src + std::size_t(x) * bytesPerPixel;
      const std::uint32_t v = bytesPerPixel == 2 ? U16(p) : U32(p);
      dst[3 * x] = blue.Get(v);
      dst[3 * x + 1] = green.Get(v);
      dst[3 * x + 2] = red.Get(v);
    }
  }
  return bmp;
}

std::vector<std::uint8_t> TBitmap::SaveToBmp() const {
  const std::size_t tableEntries = FBpp <= 8 ? (std::size_t(1) << FBpp) : 0;
  const std::size_t offBits = FileHeaderSize + 40 + tableEntries * 4;
  const std::size_t imageSize = std::size_t(FRowBytes) * std::size_t(FHeight);
  std::vector<std::uint8_t> out;
  out.reserve(offBits + imageSize);
  out.push_back('B');
  out.push_back('M');
  Put32(out, std::uint32_t(offBits + imageSize));
  Put32(out, 0);
  Put32(out, std::uint32_t(offBits));
  Put32(out, 40);
  Put32(out, std::uint32_t(FWidth));
  Put32(out, std::uint32_t(FHeight));
  Put16(out, 1);
  Put16(out, std::uint32_t(FBpp));
  Put32(out, BI_RGB);
  Put32(out, std::uint32_t(imageSize));
  Put32(out, 3780);  // 96 dots per inch
  Put32(out, 3780);
  Put32(out, std::uint32_t(tableEntries));
  Put32(out, 0);
  for (std::size_t i = 0; i < tableEntries; ++i) {
    const TColor c = i < FColorTable.size() ? FColorTable[i] : clBlack;
    out.push_back(std::uint8_t(GetBValue(c)));
    out.push_back(std::uint8_t(GetGValue(c)));
    out.push_back(std::uint8_t(GetRValue(c)));
    out.push_back(0);
  }
  for (int y = FHeight - 1; y >= 0; --y) {
    const std::uint8_t* row = ScanLine(y);
    out.insert(out.end(), row, row + FRowBytes);
  }
  return out;
}

}  // namespace korva
