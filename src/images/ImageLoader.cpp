#include "images/ImageLoader.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "images/AnimatedGif.h"
#include "images/ColorReduction.h"
#include "images/DisplayState.h"
#include "images/ImageStream.h"
#include "images/Limits.h"
#include "images/PngBitmap.h"
#include "platform/System.h"

namespace korva {

namespace {

std::string LastError;

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// Pixels whose colour is the key become black, so that the two-pass masked drawing can OR the
// picture over a destination whose transparent part was kept by the mask.
std::unique_ptr<TBitmap> BlackenTransparent(const TBitmap& bmp, const TBitmap& mask) {
  std::unique_ptr<TBitmap> out = bmp.ConvertTo(24);
  if (!out) throw EInvalidGraphic("Invalid Bitmap");
  for (int y = 0; y < out->Height(); ++y) {
    std::uint8_t* p = out->ScanLine(y);
    const std::uint8_t* m = mask.ScanLine(y);
    for (int x = 0; x < out->Width(); ++x, p += 3)
      if (m[x >> 3] & (0x80 >> (x & 7))) p[0] = p[1] = p[2] = 0;
  }
  return out;
}

}  // namespace

const std::string& LastImageError() { return LastError; }
void SetLastImageError(const std::string& message) { LastError = message; }

bool ReadWholeFile(const std::string& fileName, std::vector<std::uint8_t>& out, std::size_t maxBytes) {
  out.clear();
  std::string path = NativePath(fileName);
  if (!FileExists(path)) return false;
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  f.seekg(0, std::ios::end);
  std::streamoff size = f.tellg();
  if (size < 0 || std::uint64_t(size) > maxBytes) return false;
  f.seekg(0, std::ios::beg);
  out.resize(std::size_t(size));
  if (size > 0 && !f.read(reinterpret_cast<char*>(out.data()), size)) return false;
  return true;
}

ImageKind SniffImageKind(const std::uint8_t* d) {
  if (d[0] == 'G' && d[1] == 'I' && d[2] == 'F' && d[3] == '8') return d[4] == '9' ? ikGif89 : ikGif87;
  if (d[0] == 0x42 && d[1] == 0x4D) return ikBmp;
  if (d[0] == 0x89 && d[1] == 0x50 && d[2] == 0x4E && d[3] == 0x47) return ikPng;
  if (d[0] == 0xFF && d[1] == 0xD8) return ikJpeg;
  return ikUnknown;
}

TBitmapPtr MakeImageMask(const TBitmap& bmp, bool givenColor, TColor color) {
  try {
    const int w = bmp.Width(), h = bmp.Height();
    if (w <= 0 || h <= 0) return nullptr;
    TColor key = givenColor ? ColorToRGB(color) & 0xFFFFFF : bmp.GetPixel(0, h - 1);
    std::shared_ptr<TBitmap> mask = TBitmap::Create(w, h, 1);
    if (!mask) return nullptr;
    const int bpp = bmp.BitsPerPixel();
    if (bpp == 24 || bpp == 32) {
      const std::uint8_t kb = std::uint8_t(GetBValue(key)), kg = std::uint8_t(GetGValue(key)),
                         kr = std::uint8_t(GetRValue(key));
      const int step = bpp / 8;
      for (int y = 0; y < h; ++y) {
        const std::uint8_t* p = bmp.ScanLine(y);
        std::uint8_t* m = mask->ScanLine(y);
        for (int x = 0; x < w; ++x, p += step)
          if (p[0] == kb && p[1] == kg && p[2] == kr) m[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
      }
    } else {
      const std::vector<TColor>& table = bmp.ColorTable();
      std::vector<bool> clear(table.size());
      for (std::size_t i = 0; i < table.size(); ++i) clear[i] = (table[i] & 0xFFFFFF) == key;
      for (int y = 0; y < h; ++y) {
        std::uint8_t* m = mask->ScanLine(y);
        for (int x = 0; x < w; ++x) {
          std::uint32_t i = bmp.GetIndex(x, y);
          if (i < clear.size() && clear[i]) m[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
        }
      }
    }
    return mask;
  } catch (const std::exception&) {
    return nullptr;
  }
}

bool FindPngTransparentColor(TMemoryStream& stream, TColor& color) {
  const std::uint8_t* d = stream.Memory();
  const std::size_t n = stream.Size();
  if (!d || n < 8 || SniffImageKind(d) != ikPng) return false;
  std::size_t pos = 8;
  int colorType = -1;
  std::uint8_t palette[256][3] = {};
  while (pos + 8 <= n) {
    std::uint32_t len = BigEndian32(d + pos);
    const std::uint8_t* type = d + pos + 4;
    pos += 8;
    if (len > n - pos) return false;
    const std::uint8_t* body = d + pos;
    if (std::memcmp(type, "IHDR", 4) == 0) {
      if (len < 13) return false;
      colorType = body[9];
      if (colorType != 2 && colorType != 3) return false;
    } else if (std::memcmp(type, "PLTE", 4) == 0) {
      for (std::uint32_t i = 0; i < std::min<std::uint32_t>(len / 3, 256); ++i)
        std::memcpy(palette[i], body + i * 3, 3);
    } else if (std::memcmp(type, "tRNS", 4) == 0) {
      if (colorType != 3) return false;
      for (std::uint32_t i = 0; i < std::min<std::uint32_t>(len, 256); ++i)
        if (body[i] == 0) {
          color = RGBColor(palette[i][0], palette[i][1], palette[i][2]);
          return true;
        }
      return false;
    } else if (std::memcmp(type, "IDAT", 4) == 0) {
      return false;
    }
    if (n - pos < std::size_t(len) + 4) return false;
    pos += std::size_t(len) + 4;
  }
  return false;
}

TBitmapPtr ConvertForDisplay(TBitmapPtr bmp) {
  if (!bmp) return bmp;
  int bits = ScreenColorBits();
  if (bits <= 8) {
    std::shared_ptr<TBitmap> reduced = ReduceColors(*bmp, bits <= 4 ? pmStockDefault : pmShared, dmFloydSteinberg);
    if (bits == 8 && !reduced->Palette()) reduced->SetPalette(CopyGlobalPalette());
    return reduced;
  }
  if (bmp->BitsPerPixel() >= 15) return bmp;
  std::shared_ptr<TBitmap> converted = bmp->ConvertTo(24);
  if (!converted) throw EInvalidGraphic("Invalid Bitmap");
  return converted;
}

TBitmapPtr LoadImageFromStream(TMemoryStream* stream, TransparencyMode& mode, TBitmapPtr& mask) {
  mask.reset();
  if (!stream || !stream->Memory() || stream->Size() < 20) return nullptr;
  ImageKind kind = SniffImageKind(stream->Memory());
  if (kind != ikBmp && kind != ikPng && kind != ikJpeg) {
    LastError = "unknown image format";
    return nullptr;
  }
  try {
    TBitmapPtr result;
    bool pngTransparent = false;
    TColor pngColor = 0, keyColor = 0;
    if (kind == ikJpeg) {
      mode = trNone;
      result = DecodeJpeg(stream->Memory(), stream->Size());
    } else if (kind == ikPng) {
      if (FindPngTransparentColor(*stream, keyColor)) mode = trKeyColor;
      TPngBitmap png;
      png.LoadFromMemory(stream->Memory(), stream->Size());
      pngTransparent = png.Transparent();
      pngColor = png.TransparentColor();
      // The pre-scan reads the file's palette; the bitmap's palette went through the gamma table.
      const TChunkGAMA* gama = png.Chunks().FirstOf<TChunkGAMA>();
      if (mode == trKeyColor && gama && gama->Processed())
        keyColor = RGBColor(gama->Forward()[GetRValue(keyColor)], gama->Forward()[GetGValue(keyColor)],
                            gama->Forward()[GetBValue(keyColor)]);
      result = png.TakeBitmap();
    } else {
      std::string error;
      result = TBitmap::LoadFromBmp(stream->Memory(), stream->Size(), &error);
      if (!result) throw EInvalidGraphic(error.empty() ? "Invalid bitmap" : error);
    }
    if (!result) throw EInvalidGraphic("Invalid Bitmap");

    if (mode == trCornerPixel) {
      mask = pngTransparent ? MakeImageMask(*result, true, pngColor) : MakeImageMask(*result, false, 0);
    } else if (mode == trKeyColor) {
      mask = MakeImageMask(*result, true, keyColor);
      if (mask) result = BlackenTransparent(*result, *mask);
    }
    return ConvertForDisplay(result);
  } catch (const std::exception& e) {
    LastError = e.what();
    mask.reset();
    return nullptr;
  }
}

TBitmapPtr LoadImageFromFile(const std::string& fileName, TransparencyMode& mode, TBitmapPtr& mask) {
  mask.reset();
  std::vector<std::uint8_t> data;
  if (!ReadWholeFile(fileName, data, MaxImageStreamBytes)) {
    LastError = "cannot read " + fileName;
    return nullptr;
  }
  TImageStream stream(data.data(), data.size());
  return LoadImageFromStream(&stream, mode, mask);
}

TBitmapPtr PrepareTile(const TImageGraphic& graphic, int wantedWidth, int wantedHeight) {
  std::shared_ptr<TBitmap> base;
  if (graphic.Bitmap)
    base = graphic.Bitmap->Clone();
  else if (graphic.Gif)
    base = graphic.Gif->FrameBitmap(1);
  if (!base) return nullptr;
  int w = base->Width(), h = base->Height();
  int nw = w == 1 ? std::clamp(wantedWidth, 1, 100) : w;
  int nh = h == 1 ? std::clamp(wantedHeight, 1, 100) : h;
  if (nw == w && nh == h) return base;
  std::shared_ptr<TBitmap> tile = TBitmap::Create(nw, nh, base->BitsPerPixel() <= 8 ? 24 : base->BitsPerPixel());
  if (!tile) return base;
  StretchBlt(*tile, 0, 0, nw, nh, *base, 0, 0, w, h);
  tile->SetPalette(base->Palette());
  return tile;
}

}  // namespace korva
