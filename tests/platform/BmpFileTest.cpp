#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/Bitmap.h"

namespace korva {
namespace {

// Writes the bytes of a bitmap file field by field, so each test states its variant.
struct TBmpBuilder {
  int HeaderSize = 40;
  std::int32_t Width = 1, Height = 1;
  int Bpp = 24;
  std::uint32_t Compression = 0;
  std::uint32_t ColorsUsed = 0;
  std::uint32_t SizeImage = 0;
  std::vector<TColor> Table;          // written as B, G, R (, 0)
  std::vector<std::uint32_t> Masks;   // after a 40-byte header, or inside a longer one
  std::vector<std::uint8_t> Pixels;
  std::int64_t OffBits = -1;          // -1: right after the table

  std::vector<std::uint8_t> Build() const {
    std::vector<std::uint8_t> h;
    auto put16 = [&](std::uint32_t v) {
      h.push_back(std::uint8_t(v));
      h.push_back(std::uint8_t(v >> 8));
    };
    auto put32 = [&](std::uint32_t v) {
      put16(v & 0xFFFF);
      put16(v >> 16);
    };
    put32(std::uint32_t(HeaderSize));
    if (HeaderSize == 12) {
      put16(std::uint32_t(Width));
      put16(std::uint32_t(Height));
      put16(1);
      put16(std::uint32_t(Bpp));
    } else {
      put32(std::uint32_t(Width));
      put32(std::uint32_t(Height));
      put16(1);
      put16(std::uint32_t(Bpp));
      put32(Compression);
      put32(SizeImage);
      put32(2835);
      put32(2835);
      put32(ColorsUsed);
      put32(0);
      if (HeaderSize > 40) {
        for (std::size_t i = 0; i < 4; ++i) put32(i < Masks.size() ? Masks[i] : 0);
        while (h.size() < std::size_t(HeaderSize)) h.push_back(0);
      } else {
        for (std::uint32_t m : Masks) put32(m);
      }
    }
    for (TColor c : Table) {
      h.push_back(std::uint8_t(GetBValue(c)));
      h.push_back(std::uint8_t(GetGValue(c)));
      h.push_back(std::uint8_t(GetRValue(c)));
      if (HeaderSize != 12) h.push_back(0);
    }
    const std::uint32_t off = OffBits >= 0 ? std::uint32_t(OffBits) : std::uint32_t(14 + h.size());
    std::vector<std::uint8_t> out = {'B', 'M'};
    const std::uint32_t total = std::uint32_t(14 + h.size() + Pixels.size());
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(total >> (8 * i)));
    out.insert(out.end(), 4, 0);
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(off >> (8 * i)));
    out.insert(out.end(), h.begin(), h.end());
    out.insert(out.end(), Pixels.begin(), Pixels.end());
    return out;
  }
};

std::unique_ptr<TBitmap> Load(const std::vector<std::uint8_t>& bytes, std::string* error = nullptr) {
  return TBitmap::LoadFromBmp(bytes.data(), bytes.size(), error);
}

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::unique_ptr<TBitmap> LoadData(const char* name) {
  const auto bytes = ReadFile(std::filesystem::path(KORVA_TEST_DATA) / "data" / name);
  EXPECT_FALSE(bytes.empty()) << name;
  std::string error;
  auto b = TBitmap::LoadFromBmp(bytes.data(), bytes.size(), &error);
  EXPECT_NE(b, nullptr) << name << ": " << error;
  return b;
}

// The picture the data files were made from (4 x 3).
const TColor Sample[3][4] = {
    {RGBColor(255, 0, 0), RGBColor(0, 255, 0), RGBColor(0, 0, 255), clWhite},
    {clBlack, RGBColor(255, 255, 0), RGBColor(0, 255, 255), RGBColor(255, 0, 255)},
    {RGBColor(128, 128, 128), RGBColor(64, 32, 16), RGBColor(10, 200, 30), clWhite}};

void ExpectSample(const TBitmap& b, const char* what) {
  ASSERT_EQ(b.Width(), 4) << what;
  ASSERT_EQ(b.Height(), 3) << what;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(b.GetPixel(x, y), Sample[y][x]) << what << " " << x << "," << y;
}

TEST(BmpFile, FilesFromAnotherEncoder) {
  auto rgb = LoadData("im-24bit.bmp");
  ASSERT_NE(rgb, nullptr);
  EXPECT_EQ(rgb->BitsPerPixel(), 24);
  ExpectSample(*rgb, "24-bit");

  auto indexed = LoadData("im-8bit.bmp");  // the encoder chose 4 bits for 10 colours
  ASSERT_NE(indexed, nullptr);
  EXPECT_EQ(indexed->BitsPerPixel(), 4);
  ExpectSample(*indexed, "4-bit");

  auto rle = LoadData("im-rle8.bmp");
  ASSERT_NE(rle, nullptr);
  EXPECT_EQ(rle->BitsPerPixel(), 8);
  ExpectSample(*rle, "RLE8");

  auto v5 = LoadData("im-v5-32.bmp");  // 124-byte header, bit fields with alpha
  ASSERT_NE(v5, nullptr);
  EXPECT_EQ(v5->BitsPerPixel(), 24);
  ExpectSample(*v5, "V5 32-bit");

  auto rgb565 = LoadData("im-rgb565.bmp");
  ASSERT_NE(rgb565, nullptr);
  EXPECT_EQ(rgb565->GetPixel(0, 0), RGBColor(255, 0, 0));
  EXPECT_EQ(rgb565->GetPixel(2, 1), RGBColor(0, 255, 255));
  EXPECT_EQ(rgb565->GetPixel(3, 2), clWhite);

  auto mono = LoadData("im-1bit.bmp");
  ASSERT_NE(mono, nullptr);
  EXPECT_EQ(mono->BitsPerPixel(), 1);
  EXPECT_EQ(mono->ColorTable(), (std::vector<TColor>{clWhite, clBlack}));
  EXPECT_EQ(mono->GetPixel(0, 1), clBlack);
  EXPECT_EQ(mono->GetPixel(3, 0), clWhite);
}

TEST(BmpFile, CoreHeaderWithThreeByteTable) {
  TBmpBuilder b;
  b.HeaderSize = 12;
  b.Width = 3;
  b.Height = 2;
  b.Bpp = 1;
  b.Table = {RGBColor(1, 2, 3), RGBColor(200, 100, 50)};
  b.Pixels = {0xA0, 0, 0, 0,   // bottom row: 1 0 1
              0x40, 0, 0, 0};  // top row: 0 1 0
  auto bmp = Load(b.Build());
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->BitsPerPixel(), 1);
  EXPECT_EQ(bmp->GetPixel(0, 1), RGBColor(200, 100, 50));
  EXPECT_EQ(bmp->GetPixel(1, 1), RGBColor(1, 2, 3));
  EXPECT_EQ(bmp->GetPixel(1, 0), RGBColor(200, 100, 50));
  EXPECT_EQ(bmp->GetPixel(2, 0), RGBColor(1, 2, 3));
}

TEST(BmpFile, ShortColourTableAndTopDownRows) {
  TBmpBuilder b;
  b.Width = 3;
  b.Height = -2;  // top-down
  b.Bpp = 4;
  b.ColorsUsed = 3;
  b.Table = {clRed, clBlue, RGBColor(7, 8, 9)};
  b.Pixels = {0x01, 0x20, 0, 0,   // top: 0 1 2
              0x25, 0x10, 0, 0};  // bottom: 2 5 1
  auto bmp = Load(b.Build());
  ASSERT_NE(bmp, nullptr);
  ASSERT_EQ(bmp->ColorTable().size(), 16u);
  EXPECT_EQ(bmp->GetPixel(0, 0), clRed);
  EXPECT_EQ(bmp->GetPixel(1, 0), clBlue);
  EXPECT_EQ(bmp->GetPixel(2, 0), RGBColor(7, 8, 9));
  EXPECT_EQ(bmp->GetPixel(0, 1), RGBColor(7, 8, 9));
  EXPECT_EQ(bmp->GetPixel(1, 1), clBlack);  // index beyond the file's table
  EXPECT_EQ(bmp->GetIndex(1, 1), 5u);
}

TEST(BmpFile, TableIsCutAtThePixelOffset) {
  TBmpBuilder b;
  b.Width = 2;
  b.Height = 1;
  b.Bpp = 8;
  b.Table = {clRed, clBlue, clWhite};         // 3 entries in the file, 256 declared
  b.OffBits = 14 + 40 + 2 * 4;                // pixels start over the third entry
  b.Pixels = {};
  auto bytes = b.Build();
  bytes.resize(std::size_t(b.OffBits));
  bytes.insert(bytes.end(), {1, 0, 0, 0});
  auto bmp = Load(bytes);
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->GetPixel(0, 0), clBlue);
  EXPECT_EQ(bmp->GetPixel(1, 0), clRed);
  EXPECT_EQ(bmp->ColorTable()[2], clBlack);
}

TEST(BmpFile, TwentyFourBitRowsArePadded) {
  TBmpBuilder b;
  b.Width = 1;
  b.Height = 2;
  b.Pixels = {3, 2, 1, 0xEE,   // bottom row + padding
              30, 20, 10, 0xEE};
  auto bmp = Load(b.Build());
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->GetPixel(0, 1), RGBColor(1, 2, 3));
  EXPECT_EQ(bmp->GetPixel(0, 0), RGBColor(10, 20, 30));
}

TEST(BmpFile, ThirtyTwoBitKeepsDepthWithOpaqueX) {
  TBmpBuilder b;
  b.Width = 2;
  b.Bpp = 32;
  b.Pixels = {3, 2, 1, 0, 6, 5, 4, 0x7F};
  auto bmp = Load(b.Build());
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->BitsPerPixel(), 32);
  EXPECT_EQ(bmp->GetPixel(0, 0), RGBColor(1, 2, 3));
  EXPECT_EQ(bmp->GetPixel(1, 0), RGBColor(4, 5, 6));
  EXPECT_EQ(bmp->ScanLine(0)[3], 0xFF);
  EXPECT_EQ(bmp->ScanLine(0)[7], 0xFF);
}

TEST(BmpFile, SixteenBitFiveFiveFive) {
  TBmpBuilder b;
  b.Width = 4;
  b.Bpp = 16;
  // 0x7FFF white, 0x7C00 red, 0x0010 blue 16/31, 0x0421 one step of each.
  b.Pixels = {0xFF, 0x7F, 0x00, 0x7C, 0x10, 0x00, 0x21, 0x04};
  auto bmp = Load(b.Build());
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->BitsPerPixel(), 24);
  EXPECT_EQ(bmp->GetPixel(0, 0), clWhite);
  EXPECT_EQ(bmp->GetPixel(1, 0), RGBColor(255, 0, 0));
  EXPECT_EQ(bmp->GetPixel(2, 0), RGBColor(0, 0, 132));
  EXPECT_EQ(bmp->GetPixel(3, 0), RGBColor(8, 8, 8));
}

TEST(BmpFile, BitFieldsAfterTheInfoHeader) {
  TBmpBuilder b;
  b.Width = 2;
  b.Bpp = 16;
  b.Compression = 3;
  b.Masks = {0xF800, 0x07E0, 0x001F};  // 5-6-5
  b.Pixels = {0xE0, 0x07, 0x20, 0x00};  // pure green; green 1/63
  auto bmp = Load(b.Build());
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->GetPixel(0, 0), RGBColor(0, 255, 0));
  EXPECT_EQ(bmp->GetPixel(1, 0), RGBColor(0, 4, 0));
}

TEST(BmpFile, BitFieldsInsideV4Header) {
  TBmpBuilder b;
  b.HeaderSize = 108;
  b.Width = 1;
  b.Bpp = 32;
  b.Compression = 3;
  b.Masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};  // R in the first byte
  b.Pixels = {10, 20, 30, 40};
  auto bmp = Load(b.Build());
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->GetPixel(0, 0), RGBColor(10, 20, 30));
  // Wide and narrow masks scale to 8 bits; a missing one reads as 0.
  b.Masks = {0x0003FF00, 0x00000003, 0};
  b.Pixels = {0x03, 0xFF, 0x01, 0};
  bmp = Load(b.Build());
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->GetPixel(0, 0), RGBColor(127, 255, 0));  // 0x1FF of 0x3FF; 3 of 3
}

TEST(BmpFile, Rle8) {
  TBmpBuilder b;
  b.Width = 5;
  b.Height = 3;
  b.Bpp = 8;
  b.Compression = 1;
  b.Table = {clBlack, clRed, clBlue, clWhite};
  b.Pixels = {3,    1,                // bottom row: 1 1 1
              0,    3, 2, 3, 2, 0,    // absolute: 2 3 2 (padded)
              0,    0,                // end of line
              0,    2, 1, 1,          // delta: right 1, up 1 -> third row, x 1
              2,    3,                // 3 3
              9,    2,                // run past the right edge is cut
              0,    1};               // end of bitmap
  auto bmp = Load(b.Build());
  ASSERT_NE(bmp, nullptr);
  // The delta skipped the middle row entirely.
  const std::uint32_t want[3][5] = {{0, 3, 3, 2, 2}, {0, 0, 0, 0, 0}, {1, 1, 1, 2, 3}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(bmp->GetIndex(x, y), want[y][x]) << x << "," << y;
}

TEST(BmpFile, Rle4) {
  TBmpBuilder b;
  b.Width = 6;
  b.Height = 2;
  b.Bpp = 4;
  b.Compression = 2;
  b.Table = {clBlack, clRed, clBlue};
  b.Pixels = {5, 0x12,             // 1 2 1 2 1
              0, 0,                // end of line
              0, 3, 0x21, 0x20,    // absolute 2 1 2, padded to a word
              0, 1};
  auto bmp = Load(b.Build());
  ASSERT_NE(bmp, nullptr);
  const std::uint32_t want[2][6] = {{2, 1, 2, 0, 0, 0}, {1, 2, 1, 2, 1, 0}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(bmp->GetIndex(x, y), want[y][x]) << x << "," << y;
}

TEST(BmpFile, RleStreamCutShortOrHostile) {
  TBmpBuilder b;
  b.Width = 4;
  b.Height = 2;
  b.Bpp = 8;
  b.Compression = 1;
  b.Table = {clBlack, clRed};
  b.Pixels = {2, 1, 0, 200, 1};  // absolute run claiming 200 bytes, cut off
  auto bmp = Load(b.Build());
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->GetIndex(0, 1), 1u);
  EXPECT_EQ(bmp->GetIndex(1, 1), 1u);
  EXPECT_EQ(bmp->GetIndex(2, 1), 1u);  // the one byte that is there
  EXPECT_EQ(bmp->GetIndex(3, 1), 0u);
  b.Pixels = {0, 2, 255, 255, 4, 1};  // delta far beyond the picture
  bmp = Load(b.Build());
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->GetIndex(0, 1), 0u);
}

TEST(BmpFile, TruncatedPixelsDecodeWhatIsThere) {
  TBmpBuilder b;
  b.Width = 2;
  b.Height = 3;
  b.Bpp = 24;
  b.Pixels = {1, 1, 1, 2, 2, 2, 0, 0,  // bottom row
              3, 3, 3};                 // half of the middle row
  auto bmp = Load(b.Build());
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->GetPixel(1, 2), RGBColor(2, 2, 2));
  EXPECT_EQ(bmp->GetPixel(0, 1), RGBColor(3, 3, 3));
  EXPECT_EQ(bmp->GetPixel(1, 1), clBlack);
  EXPECT_EQ(bmp->GetPixel(0, 0), clBlack);
  // Also for bit fields.
  b.Bpp = 16;
  b.Pixels = {0xFF, 0x7F, 0xFF};
  bmp = Load(b.Build());
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->GetPixel(0, 2), clWhite);
  EXPECT_EQ(bmp->GetPixel(1, 2), clBlack);
}

TEST(BmpFile, BadInputFailsWithAMessage) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Case> cases;
  auto variant = [&](const char* what, auto change) {
    TBmpBuilder b;
    b.Width = 2;
    b.Bpp = 24;
    b.Pixels = std::vector<std::uint8_t>(8, 0x55);
    change(b);
    cases.push_back({what, b.Build()});
  };
  cases.push_back({"empty", {}});
  cases.push_back({"not BM", {'P', 'K', 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}});
  cases.push_back({"file header only", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}});
  variant("header size 41", [](TBmpBuilder& b) { b.HeaderSize = 40; b.Masks = {0}; });
  variant("width 0", [](TBmpBuilder& b) { b.Width = 0; });
  variant("negative width", [](TBmpBuilder& b) { b.Width = -2; });
  variant("height 0", [](TBmpBuilder& b) { b.Height = 0; });
  variant("height INT_MIN", [](TBmpBuilder& b) { b.Height = INT32_MIN; });
  variant("too wide", [](TBmpBuilder& b) { b.Width = MaxBitmapSide + 1; });
  variant("too many pixels", [](TBmpBuilder& b) { b.Width = 20000; b.Height = 20000; });
  variant("bit count 7", [](TBmpBuilder& b) { b.Bpp = 7; });
  variant("bit count 0", [](TBmpBuilder& b) { b.Bpp = 0; });
  variant("RLE8 at 24 bits", [](TBmpBuilder& b) { b.Compression = 1; });
  variant("bit fields at 24 bits", [](TBmpBuilder& b) { b.Compression = 3; b.Masks = {1, 2, 4}; });
  variant("JPEG inside", [](TBmpBuilder& b) { b.Compression = 4; });
  variant("offset into the header", [](TBmpBuilder& b) { b.OffBits = 20; });
  variant("offset past the end", [](TBmpBuilder& b) { b.OffBits = 1000; });
  variant("no pixel data", [](TBmpBuilder& b) { b.Pixels.clear(); });
  {
    TBmpBuilder b;
    b.HeaderSize = 124;
    auto bytes = b.Build();
    bytes.resize(14 + 100);
    cases.push_back({"cut inside the V5 header", bytes});
  }
  {
    TBmpBuilder b;
    b.Bpp = 16;
    b.Compression = 3;
    auto bytes = b.Build();
    bytes.resize(14 + 40 + 6);
    cases.push_back({"cut inside the masks", bytes});
  }
  // Header size 41 is not a real header: patch it in.
  cases[3].bytes[14] = 41;
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(TBitmap::LoadFromBmp(c.bytes.data(), c.bytes.size(), &error), nullptr) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
  EXPECT_EQ(TBitmap::LoadFromBmp(nullptr, 100), nullptr);
}

TEST(BmpFile, SaveAndLoadEveryDepth) {
  for (int bpp : {1, 4, 8, 24, 32}) {
    auto b = TBitmap::Create(5, 3, bpp);
    if (bpp <= 8) {
      std::vector<TColor> table;
      for (int i = 0; i < (1 << bpp); ++i) table.push_back(RGBColor(i, 255 - i, i * 3));
      b->SetColorTable(table);
    }
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x)
        b->SetIndex(x, y, bpp <= 8 ? std::uint32_t((x * 3 + y) % (1 << bpp)) : RGBColor(x * 40, y * 80, x + y));
    const std::vector<std::uint8_t> file = b->SaveToBmp();
    std::string error;
    auto back = TBitmap::LoadFromBmp(file.data(), file.size(), &error);
    ASSERT_NE(back, nullptr) << bpp << ": " << error;
    EXPECT_EQ(back->BitsPerPixel(), bpp);
    EXPECT_EQ(back->ColorTable(), b->ColorTable());
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(back->GetIndex(x, y), b->GetIndex(x, y)) << bpp << " " << x << "," << y;
  }
}

TEST(BmpFile, SavedHeaderFields) {
  auto b = TBitmap::Create(3, 2, 8);
  const auto file = b->SaveToBmp();
  ASSERT_EQ(file.size(), 14u + 40 + 1024 + 8);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[10] | (file[11] << 8), 14 + 40 + 1024);
  EXPECT_EQ(file[14], 40);
  EXPECT_EQ(file[18], 3);
  EXPECT_EQ(file[22], 2);  // positive height: bottom-up
  EXPECT_EQ(file[28], 8);
}

TEST(BmpFile, CrashersStayHarmless) {
  const auto dir = std::filesystem::path(KORVA_TEST_DATA) / "crashers";
  if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no crashers kept";
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".bmp") continue;
    const auto bytes = ReadFile(entry.path());
    std::string error;
    auto bmp = TBitmap::LoadFromBmp(bytes.data(), bytes.size(), &error);
    if (bmp) {
      auto copy = TBitmap::Create(bmp->Width() / 2 + 1, bmp->Height() / 2 + 1, 24);
      StretchBlt(*copy, 0, 0, copy->Width(), copy->Height(), *bmp, 0, 0, bmp->Width(), bmp->Height());
    }
  }
}

}  // namespace
}  // namespace korva
