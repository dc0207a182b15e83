// Inputs that once crashed, hung or over-allocated a decoder are replayed through every path.
#include <gtest/gtest.h>

#include "TestUtil.h"
#include "images/AnimatedGif.h"
#include "images/Gif.h"
#include "images/ImageFetch.h"
#include "images/ImageStream.h"
#include "images/PngBitmap.h"

namespace korva {
namespace {

TEST(Crashers, ReplayEveryPath) {
  std::string dir = std::string(KORVA_TEST_DATA) + "/crashers";
  std::vector<std::string> files;
  for (const char* ext : {".gif", ".png", ".jpg", ".bmp", ".bin"})
    for (const std::string& f : test::ListFiles(dir, ext)) files.push_back(f);
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    std::vector<std::uint8_t> data = test::ReadFile(file);
    try {
      TGif gif;
      gif.ReadGif(data.data(), data.size());
      gif.BuildStrip(nullptr);
    } catch (const std::exception&) {
    }
    try {
      TPngBitmap png;
      png.LoadFromMemory(data.data(), data.size());
    } catch (const std::exception&) {
    }
    // Inputs that were merely slow (large, legitimately sized pictures) take one path only.
    const bool slow = file.find("-slow.") != std::string::npos;
    for (int bits : {24, 8}) {
      if (slow && bits != 24) continue;
      test::TScreenBitsScope screen(bits);
      TImageStream s(data);
      TransparencyMode mode = trCornerPixel;
      TBitmapPtr mask;
      LoadImageData(s, mode, mask);
    }
  }
}

}  // namespace
}  // namespace korva
