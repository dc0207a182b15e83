#include "images/ImageLoader.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string_view>

#include "images/AnimatedGif.h"
#include "images/ColorReduction.h"
#include "images/DisplayState.h"
#include "images/ImageStream.h"
#include "images/Limits.h"
#include "images/PngBitmap.h"
#include "platform/Limits.h"
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

// Inflates a gzip stream, refusing more than `limit` bytes of output.
bool Gunzip(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out, std::size_t limit) {
  z_stream z{};
  if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return false;
  out.clear();
  std::uint8_t buffer[16384];
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = uInt(std::min<std::size_t>(size, 0x40000000));
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = buffer;
    z.avail_out = sizeof buffer;
    rc = inflate(&z, Z_NO_FLUSH);
    const std::size_t got = sizeof buffer - z.avail_out;
    if (out.size() + got > limit) {
      rc = Z_MEM_ERROR;
      break;
    }
    out.insert(out.end(), buffer, buffer + got);
    if (rc == Z_BUF_ERROR && z.avail_in == 0) break;  // truncated: keep what came out
  }
  inflateEnd(&z);
  return rc == Z_STREAM_END || (rc == Z_BUF_ERROR && !out.empty());
}

bool StartsWith(std::string_view s, std::string_view prefix, bool anyCase = false) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char a = s[i], b = prefix[i];
    if (anyCase && a >= 'a' && a <= 'z') a = char(a - 'a' + 'A');
    if (a != b) return false;
  }
  return true;
}

}  // namespace

bool SniffSvg(const std::uint8_t* data, std::size_t size) {
  std::string_view s(reinterpret_cast<const char*>(data), size);
  if (StartsWith(s, "\xEF\xBB\xBF")) s.remove_prefix(3);
  for (;;) {
    const std::size_t start = s.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) return false;
    s.remove_prefix(start);
    std::size_t end = std::string_view::npos;
    if (StartsWith(s, "<?")) {
      end = s.find("?>");
      if (end != std::string_view::npos) end += 2;
    } else if (StartsWith(s, "<!--")) {
      end = s.find("-->", 4);
      if (end != std::string_view::npos) end += 3;
    } else if (StartsWith(s, "<!DOCTYPE", true)) {
      // An internal subset in brackets may hold '>' of its own.
      const std::size_t open = s.find_first_of("[>");
      if (open != std::string_view::npos && s[open] == '[') {
        const std::size_t close = s.find(']', open);
        end = close == std::string_view::npos ? close : s.find('>', close);
      } else {
        end = open;
      }
      if (end != std::string_view::npos) end += 1;
    } else {
      break;
    }
    if (end == std::string_view::npos) return false;
    s.remove_prefix(end);
  }
  if (!StartsWith(s, "<svg") || s.size() < 5) return false;
  const char c = s[4];
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '>' || c == '/';
}

TBitmapPtr AlphaForDisplay(TBitmapPtr bmp, TransparencyMode& mode, TBitmapPtr& mask) {
  mask.reset();
  if (!bmp || !bmp->HasAlpha()) return ConvertForDisplay(std::move(bmp));
  mode = trNone;
  if (ScreenColorBits() > 8) return bmp;
  // Palette screens draw through a mask: pixels under half opacity are transparent, the others
  // show their own colour (the premultiplication undone).
  const int w = bmp->Width(), h = bmp->Height();
  std::shared_ptr<TBitmap> colours = TBitmap::Create(w, h, 24);
  std::shared_ptr<TBitmap> m = TBitmap::Create(w, h, 1);
  if (!colours || !m) throw EInvalidGraphic("Invalid Bitmap");
  bool any = false;
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* p = bmp->ScanLine(y);
    std::uint8_t* d = colours->ScanLine(y);
    std::uint8_t* mr = m->ScanLine(y);
    for (int x = 0; x < w; ++x, p += 4, d += 3) {
      const int a = p[3];
      if (a < 128) {
        mr[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
        any = true;
        continue;
      }
      for (int c = 0; c < 3; ++c) d[c] = std::uint8_t(std::min(255, (p[c] * 255 + a / 2) / a));
    }
  }
  if (any) {
    mask = m;
    mode = trGifMask;
  }
  return ConvertForDisplay(colours);
}

TImageGraphic LoadSvgData(const std::uint8_t* data, std::size_t size, TransparencyMode& mode, TBitmapPtr& mask) {
  mask.reset();
  TImageGraphic out;
  std::vector<std::uint8_t> inflated;
  if (size >= 2 && data[0] == 0x1F && data[1] == 0x8B) {
    if (!Gunzip(data, size, inflated, MaxSvgBytes)) {
      LastError = "damaged or oversized gzip data";
      return out;
    }
    data = inflated.data();
    size = inflated.size();
  }
  try {
    std::string error;
    std::shared_ptr<TVectorImage> vector = TVectorImage::FromBytes(data, size, &error);
    if (!vector) {
      LastError = error;
      return out;
    }
    // The intrinsic rendering serves backgrounds, bullets and drawing at that size; a picture
    // too large for one is rendered smaller (layout still takes the intrinsic size).
    TSize s = vector->IntrinsicSize();
    if (const double area = double(s.cx) * s.cy; area > double(MaxSvgRenderPixels)) {
      const double k = std::sqrt(double(MaxSvgRenderPixels) / area);
      s = {std::max(1, int(s.cx * k)), std::max(1, int(s.cy * k))};
    }
    TBitmapPtr rendered = vector->Render(s.cx, s.cy);
    if (!rendered) {
      LastError = "SVG too large to render";
      return out;
    }
    out.Bitmap = AlphaForDisplay(std::move(rendered), mode, mask);
    out.Vector = std::move(vector);
  } catch (const std::exception& e) {
    LastError = e.what();
    out = {};
    mask.reset();
  }
  return out;
}

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

TBitmapPtr MakeAlphaBitmap(const TBitmap& bmp, const std::uint8_t* alpha) {
  std::shared_ptr<TBitmap> out = TBitmap::Create(bmp.Width(), bmp.Height(), 32);
  if (!out) throw EInvalidGraphic("Invalid Bitmap");
  out->SetAlpha(true);
  const int bpp = bmp.BitsPerPixel();
  const std::vector<TColor>& table = bmp.ColorTable();
  for (int y = 0; y < bmp.Height(); ++y) {
    const std::uint8_t* src = bmp.ScanLine(y);
    const std::uint8_t* a = alpha + std::size_t(y) * std::size_t(bmp.Width());
    std::uint8_t* d = out->ScanLine(y);
    for (int x = 0; x < bmp.Width(); ++x, d += 4) {
      std::uint8_t b, g, r;
      if (bpp == 24 || bpp == 32) {
        const std::uint8_t* p = src + std::size_t(x) * std::size_t(bpp / 8);
        b = p[0], g = p[1], r = p[2];
      } else {
        const std::uint32_t i = bmp.GetIndex(x, y);
        const TColor c = i < table.size() ? table[i] : clBlack;
        b = std::uint8_t(GetBValue(c)), g = std::uint8_t(GetGValue(c)), r = std::uint8_t(GetRValue(c));
      }
      d[0] = Premultiply(b, a[x]);
      d[1] = Premultiply(g, a[x]);
      d[2] = Premultiply(r, a[x]);
      d[3] = a[x];
    }
  }
  return out;
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
      if (!png.Alpha().empty() && ScreenColorBits() > 8) {
        // Blended on true-colour screens: the alpha bitmap replaces mask and key colour.
        mode = trNone;
        return MakeAlphaBitmap(*png.Bitmap(), png.Alpha().data());
      }
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
  tile->SetAlpha(base->HasAlpha());  // stretched as it is, blended only when drawn
  StretchBlt(*tile, 0, 0, nw, nh, *base, 0, 0, w, h);
  tile->SetPalette(base->Palette());
  return tile;
}

}  // namespace korva
