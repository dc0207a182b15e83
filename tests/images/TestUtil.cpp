#include "TestUtil.h"

#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "platform/System.h"

namespace korva::test {

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

std::vector<std::string> ListFiles(const std::string& dir, const std::string& ext) {
  std::vector<std::string> out;
  if (!std::filesystem::is_directory(dir)) return out;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.is_regular_file() && e.path().extension() == ext) out.push_back(e.path().string());
  std::sort(out.begin(), out.end());
  return out;
}

namespace {

struct TPngReadState {
  const std::vector<std::uint8_t>* Data;
  std::size_t Pos;
};

void PngRead(png_structp png, png_bytep out, png_size_t n) {
  auto* s = static_cast<TPngReadState*>(png_get_io_ptr(png));
  if (s->Pos + n > s->Data->size()) png_error(png, "read past end");
  std::memcpy(out, s->Data->data() + s->Pos, n);
  s->Pos += n;
}

struct TGifReadState {
  const std::vector<std::uint8_t>* Data;
  std::size_t Pos;
};

int GifRead(GifFileType* gif, GifByteType* out, int n) {
  auto* s = static_cast<TGifReadState*>(gif->UserData);
  std::size_t left = s->Data->size() - s->Pos;
  std::size_t k = std::min<std::size_t>(left, std::size_t(n));
  std::memcpy(out, s->Data->data() + s->Pos, k);
  s->Pos += k;
  return int(k);
}

}  // namespace

bool ReferencePng(const std::vector<std::uint8_t>& data, TRgbImage& out, bool* hasGamma, double* gamma) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  TPngReadState state{&data, 0};
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &state, PngRead);
  png_read_info(png, info);
  if (hasGamma) *hasGamma = png_get_gAMA(png, info, gamma) != 0;
  int ctype = png_get_color_type(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_strip_alpha(png);
  if (ctype == PNG_COLOR_TYPE_GRAY || ctype == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  out.Width = int(png_get_image_width(png, info));
  out.Height = int(png_get_image_height(png, info));
  out.Rgb.assign(std::size_t(out.Width) * out.Height * 3, 0);
  for (int y = 0; y < out.Height; ++y) rows.push_back(out.Rgb.data() + std::size_t(y) * out.Width * 3);
  png_read_image(png, rows.data());
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

bool ReferencePngRgba(const std::vector<std::uint8_t>& data, int& width, int& height, std::vector<std::uint8_t>& rgba,
                      bool* hasGamma, double* gamma) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  TPngReadState state{&data, 0};
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &state, PngRead);
  png_read_info(png, info);
  if (hasGamma) *hasGamma = png_get_gAMA(png, info, gamma) != 0;
  const int ctype = png_get_color_type(png, info);
  png_set_expand(png);  // palettes to RGB, tRNS to an alpha channel
  png_set_strip_16(png);
  if (ctype == PNG_COLOR_TYPE_GRAY || ctype == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);  // only where no alpha came of the above
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  width = int(png_get_image_width(png, info));
  height = int(png_get_image_height(png, info));
  rgba.assign(std::size_t(width) * height * 4, 0);
  for (int y = 0; y < height; ++y) rows.push_back(rgba.data() + std::size_t(y) * width * 4);
  png_read_image(png, rows.data());
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

bool ReferenceGif(const std::vector<std::uint8_t>& data, int& screenW, int& screenH, std::vector<TRefGifFrame>& frames) {
  TGifReadState state{&data, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&state, GifRead, &error);
  if (!gif) return false;
  if (DGifSlurp(gif) != GIF_OK) {
    DGifCloseFile(gif, &error);
    return false;
  }
  screenW = gif->SWidth;
  screenH = gif->SHeight;
  frames.clear();
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& s = gif->SavedImages[i];
    TRefGifFrame f;
    f.Left = s.ImageDesc.Left;
    f.Top = s.ImageDesc.Top;
    f.Width = s.ImageDesc.Width;
    f.Height = s.ImageDesc.Height;
    f.Indexes.assign(s.RasterBits, s.RasterBits + std::size_t(f.Width) * f.Height);
    frames.push_back(std::move(f));
  }
  DGifCloseFile(gif, &error);
  return true;
}

TRgbImage ToRgb(const TBitmap& bmp) {
  TRgbImage out;
  out.Width = bmp.Width();
  out.Height = bmp.Height();
  out.Rgb.resize(std::size_t(out.Width) * out.Height * 3);
  for (int y = 0; y < out.Height; ++y)
    for (int x = 0; x < out.Width; ++x) {
      TColor c = bmp.GetPixel(x, y);
      std::uint8_t* p = out.Rgb.data() + (std::size_t(y) * out.Width + x) * 3;
      p[0] = std::uint8_t(GetRValue(c));
      p[1] = std::uint8_t(GetGValue(c));
      p[2] = std::uint8_t(GetBValue(c));
    }
  return out;
}

static int SavedBits = 0;
TScreenBitsScope::TScreenBitsScope(int bits) {
  SavedBits = ScreenColorBits();
  SetScreenColorBits(bits);
}
TScreenBitsScope::~TScreenBitsScope() { SetScreenColorBits(SavedBits); }

}  // namespace korva::test
