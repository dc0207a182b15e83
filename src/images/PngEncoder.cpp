// Writing bitmaps as PNG files: 24-bit colour, or 8-bit palette for indexed bitmaps.
#include <zlib.h>

#include <cstring>

#include "images/PngBitmap.h"

namespace korva {

namespace {

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(std::uint8_t(v >> 24));
  out.push_back(std::uint8_t(v >> 16));
  out.push_back(std::uint8_t(v >> 8));
  out.push_back(std::uint8_t(v));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
  Put32(out, std::uint32_t(data.size()));
  std::size_t at = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Put32(out, PngCrc(0, out.data() + at, 4 + data.size()));
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const TBitmap& bmp) {
  const int w = bmp.Width(), h = bmp.Height();
  const bool indexed = bmp.BitsPerPixel() <= 8;
  std::vector<std::uint8_t> out = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<std::uint8_t> ihdr;
  Put32(ihdr, std::uint32_t(w));
  Put32(ihdr, std::uint32_t(h));
  ihdr.push_back(8);
  ihdr.push_back(indexed ? 3 : 2);
  ihdr.push_back(0);
  ihdr.push_back(0);
  ihdr.push_back(0);
  PutChunk(out, "IHDR", ihdr);
  if (indexed) {
    std::vector<std::uint8_t> plte;
    for (TColor c : bmp.ColorTable()) {
      plte.push_back(std::uint8_t(GetRValue(c)));
      plte.push_back(std::uint8_t(GetGValue(c)));
      plte.push_back(std::uint8_t(GetBValue(c)));
    }
    if (plte.empty()) plte.assign(3, 0);
    PutChunk(out, "PLTE", plte);
  }
  const std::size_t rowLen = std::size_t(w) * (indexed ? 1 : 3) + 1;
  std::vector<std::uint8_t> raw(rowLen * std::size_t(h));
  for (int y = 0; y < h; ++y) {
    std::uint8_t* d = raw.data() + rowLen * std::size_t(y);
    *d++ = 0;
    const std::uint8_t* s = bmp.ScanLine(y);
    if (indexed) {
      for (int x = 0; x < w; ++x) d[x] = std::uint8_t(bmp.GetIndex(x, y));
    } else {
      const int step = bmp.BitsPerPixel() / 8;
      for (int x = 0; x < w; ++x, s += step, d += 3) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
      }
    }
  }
  uLongf size = compressBound(uLong(raw.size()));
  std::vector<std::uint8_t> z(size);
  if (compress2(z.data(), &size, raw.data(), uLong(raw.size()), 6) != Z_OK) return {};
  z.resize(size);
  PutChunk(out, "IDAT", z);
  PutChunk(out, "IEND", {});
  return out;
}

void TPngBitmap::SaveToStream(std::vector<std::uint8_t>& out) const {
  if (!FBitmap) return;
  std::vector<std::uint8_t> png = EncodePng(*FBitmap);
  out.insert(out.end(), png.begin(), png.end());
}

}  // namespace korva
