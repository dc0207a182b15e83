// A bitmap file whose pixel data is far shorter than its header declares must not make the
// loader allocate the declared picture.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Bitmap.h"

namespace korva {
namespace {

// A file with a 40-byte header, a grey colour table for indexed depths and the given data.
std::vector<std::uint8_t> BmpFile(int width, int height, int bpp, std::uint32_t compression,
                                  const std::vector<std::uint8_t>& pixels) {
  std::vector<std::uint8_t> out;
  auto put16 = [&](std::uint32_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
  };
  auto put32 = [&](std::uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  const std::uint32_t colors = bpp <= 8 ? (1u << bpp) : 0;
  const std::uint32_t offBits = 14 + 40 + 4 * colors;
  out.push_back('B');
  out.push_back('M');
  put32(offBits + std::uint32_t(pixels.size()));
  put32(0);
  put32(offBits);
  put32(40);
  put32(std::uint32_t(width));
  put32(std::uint32_t(height));
  put16(1);
  put16(std::uint32_t(bpp));
  put32(compression);
  put32(0);
  put32(2835);
  put32(2835);
  put32(colors);
  put32(0);
  for (std::uint32_t i = 0; i < colors; ++i) {
    const std::uint8_t g = std::uint8_t(i * 255 / (colors - 1));
    out.insert(out.end(), {g, g, g, 0});
  }
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

std::unique_ptr<TBitmap> Load(const std::vector<std::uint8_t>& file, std::string* error = nullptr) {
  return TBitmap::LoadFromBmp(file.data(), file.size(), error);
}

std::size_t RowBytes(int width, int bpp) { return std::size_t((width * bpp + 31) / 32 * 4); }

TEST(BmpBounds, FewBytesCannotClaimALargePicture) {
  struct Case {
    const char* what;
    int width, height, bpp;
    std::size_t bytes;
  };
  const Case cases[] = {
      {"a 93-byte file asking for 36 megapixels", 23808, 1541, 1, 28},
      {"one row of a 64-megapixel picture", 8192, 8192, 8, 8192},
      {"24 bits, a tenth of the rows", 1000, 1000, 24, 100 * RowBytes(1000, 24)},
      {"16 bits, one byte", 4000, 4000, 16, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    EXPECT_EQ(Load(BmpFile(c.width, c.height, c.bpp, 0, std::vector<std::uint8_t>(c.bytes, 0x55)), &error), nullptr);
    EXPECT_FALSE(error.empty());
  }
}

TEST(BmpBounds, HalfTheRowsIsEnough) {
  // 300 x 300 at 24 bits is above the size that always decodes; the bound lies at 150 rows.
  const std::size_t row = RowBytes(300, 24);
  auto half = Load(BmpFile(300, 300, 24, 0, std::vector<std::uint8_t>(150 * row, 0x20)));
  ASSERT_NE(half, nullptr);
  EXPECT_EQ(half->Width(), 300);
  EXPECT_EQ(half->Height(), 300);
  EXPECT_EQ(half->GetPixel(0, 299), RGBColor(0x20, 0x20, 0x20));  // bottom-up: the rows given
  EXPECT_EQ(half->GetPixel(0, 0), clBlack);                       // the rows missing
  // A partial row counts as present.
  EXPECT_NE(Load(BmpFile(300, 300, 24, 0, std::vector<std::uint8_t>(149 * row + 1, 0x20))), nullptr);
  EXPECT_EQ(Load(BmpFile(300, 300, 24, 0, std::vector<std::uint8_t>(149 * row, 0x20))), nullptr);
}

TEST(BmpBounds, SmallPicturesDecodeAsFarAsTheyGo) {
  // 256 x 256 pixels decode whatever is missing.
  auto bmp = Load(BmpFile(256, 256, 8, 0, {7, 7}));
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->GetIndex(1, 255), 7u);
  EXPECT_EQ(bmp->GetIndex(2, 255), 0u);
  EXPECT_EQ(Load(BmpFile(257, 256, 8, 0, {7, 7})), nullptr);
}

TEST(BmpBounds, RleMustSetAnEighthOfThePixels) {
  const int side = 1000;
  // Every row written as four runs of 250 pixels: accepted.
  std::vector<std::uint8_t> full;
  for (int y = 0; y < side; ++y) {
    for (int k = 0; k < 4; ++k) full.insert(full.end(), {250, std::uint8_t(k + 1)});
    full.insert(full.end(), {0, 0});
  }
  full.insert(full.end(), {0, 1});
  auto bmp = Load(BmpFile(side, side, 8, 1, full));
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->GetIndex(999, 0), 4u);
  // Only the end-of-bitmap code, or deltas that jump over everything: refused.
  EXPECT_EQ(Load(BmpFile(side, side, 8, 1, {0, 1})), nullptr);
  std::vector<std::uint8_t> deltas;
  for (int i = 0; i < 4; ++i) deltas.insert(deltas.end(), {0, 2, 255, 255});
  deltas.insert(deltas.end(), {10, 3, 0, 1});
  EXPECT_EQ(Load(BmpFile(side, side, 8, 1, deltas)), nullptr);
  // The first eighth of the rows written (RLE4), the rest left by line ends: accepted.
  std::vector<std::uint8_t> eighth;
  for (int y = 0; y < side; ++y) {
    if (y < side / 8)
      for (int k = 0; k < 4; ++k) eighth.insert(eighth.end(), {250, 0x12});
    eighth.insert(eighth.end(), {0, 0});
  }
  EXPECT_NE(Load(BmpFile(side, side, 4, 2, eighth)), nullptr);
  eighth.erase(eighth.begin(), eighth.begin() + 2);  // one pixel run fewer (and one row less)
  EXPECT_EQ(Load(BmpFile(side, side, 4, 2, eighth)), nullptr);
}

// Kept files that once asked for the largest bitmap with a kilobyte of data.
TEST(BmpBounds, KeptFilesAreRefused) {
  for (const char* name : {"bmp-rle-deltas-claiming-64-megapixels.bmp"}) {
    SCOPED_TRACE(name);
    std::ifstream in(std::string(KORVA_TEST_DATA) + "/crashers/" + name, std::ios::binary);
    ASSERT_TRUE(in) << "missing";
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(Load(bytes), nullptr);
  }
}

}  // namespace
}  // namespace korva
