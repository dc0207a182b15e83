// Helpers of the image tests: files, reference decoders, small bitmaps.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Bitmap.h"

namespace korva::test {

inline std::string DataPath(const std::string& rel) { return std::string(KORVA_TEST_DATA) + "/data/" + rel; }
std::vector<std::uint8_t> ReadFile(const std::string& path);
std::vector<std::string> ListFiles(const std::string& dir, const std::string& ext);

// A picture as rows of R, G, B bytes.
struct TRgbImage {
  int Width = 0, Height = 0;
  std::vector<std::uint8_t> Rgb;
  const std::uint8_t* At(int x, int y) const { return Rgb.data() + (std::size_t(y) * Width + x) * 3; }
};

// libpng with alpha stripped, 16-bit samples cut to their high byte, everything as RGB, no gamma.
bool ReferencePng(const std::vector<std::uint8_t>& data, TRgbImage& out, bool* hasGamma, double* gamma);

// libpng with transparency (alpha channel or tRNS) as a fourth byte: rows of R, G, B, A, 16-bit
// samples cut to their high byte, no gamma.
bool ReferencePngRgba(const std::vector<std::uint8_t>& data, int& width, int& height, std::vector<std::uint8_t>& rgba,
                      bool* hasGamma, double* gamma);

// giflib's frames: screen size, and per frame its rectangle and colour indexes.
struct TRefGifFrame {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  std::vector<std::uint8_t> Indexes;
};
bool ReferenceGif(const std::vector<std::uint8_t>& data, int& screenW, int& screenH, std::vector<TRefGifFrame>& frames);

// The bitmap's pixels as RGB (colour tables resolved).
TRgbImage ToRgb(const TBitmap& bmp);

// Saves the platform's screen colour class and restores it.
class TScreenBitsScope {
 public:
  explicit TScreenBitsScope(int bits);
  ~TScreenBitsScope();
};

}  // namespace korva::test
