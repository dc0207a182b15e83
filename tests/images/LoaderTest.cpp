#include <gtest/gtest.h>

#include "GifBuilder.h"
#include "PngBuilder.h"
#include "TestUtil.h"
#include "images/DisplayState.h"
#include "images/ImageLoader.h"
#include "images/ImageStream.h"

namespace korva {
namespace {

TImageStream StreamOf(const std::vector<std::uint8_t>& d) { return TImageStream(d); }

// A 3x2 palette PNG whose tRNS makes entry 2 the first fully transparent one.
std::vector<std::uint8_t> KeyColorPng() {
  test::TPngBuilder b;
  b.Header(3, 2, 8, 3)
      .Chunk("PLTE", {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120})
      .Chunk("tRNS", {255, 128, 0, 0})
      .Pixels({0, 0, 1, 2, 0, 2, 3, 1})
      .End();
  return b.B;
}

TEST(Loader, Sniffing) {
  auto kind = [](std::vector<std::uint8_t> d) {
    d.resize(8, 0);
    return SniffImageKind(d.data());
  };
  EXPECT_EQ(kind({'G', 'I', 'F', '8', '9'}), ikGif89);
  EXPECT_EQ(kind({'G', 'I', 'F', '8', '7'}), ikGif87);
  EXPECT_EQ(kind({'G', 'I', 'F', '8', 'x'}), ikGif87);
  EXPECT_EQ(kind({'B', 'M'}), ikBmp);
  EXPECT_EQ(kind({0x89, 'P', 'N', 'G'}), ikPng);
  EXPECT_EQ(kind({0xFF, 0xD8}), ikJpeg);
  EXPECT_EQ(kind({'g', 'i', 'f', '8', '9'}), ikUnknown);
}

TEST(Loader, StreamSizeAndKind) {
  test::TScreenBitsScope deep(24);
  test::TPngBuilder small;
  small.Header(1, 1, 8, 0).Pixels({0, 7}).End();
  std::vector<std::uint8_t> png = small.B;
  TransparencyMode mode = trNone;
  TBitmapPtr mask;
  TImageStream s = StreamOf(png);
  TBitmapPtr bmp = LoadImageFromStream(&s, mode, mask);
  ASSERT_TRUE(bmp);
  EXPECT_EQ(bmp->GetPixel(0, 0), RGBColor(7, 7, 7));
  EXPECT_EQ(bmp->BitsPerPixel(), 24);  // converted for a true-colour screen

  std::vector<std::uint8_t> bytes19(19, 0), bytes20(20, 0);
  bytes19[0] = bytes20[0] = 'B';
  bytes19[1] = bytes20[1] = 'M';
  TImageStream s19 = StreamOf(bytes19), s20 = StreamOf(bytes20);
  EXPECT_FALSE(LoadImageFromStream(&s19, mode, mask));
  EXPECT_FALSE(LoadImageFromStream(&s20, mode, mask));  // sniffed as BMP, then refused by the reader
  EXPECT_FALSE(LastImageError().empty());
  EXPECT_FALSE(LoadImageFromStream(nullptr, mode, mask));

  // GIF data is not for this path.
  test::TGifBuilder g;
  TImageStream gs = StreamOf(g.Image(0, 0, 4, 4, std::vector<int>(16, 1)).End());
  EXPECT_FALSE(LoadImageFromStream(&gs, mode, mask));
}

TEST(Loader, PaletteTransparencyBecomesAKeyColour) {
  std::vector<std::uint8_t> png = KeyColorPng();
  TImageStream s = StreamOf(png);
  TColor key = 0;
  s.SetPosition(5);
  ASSERT_TRUE(FindPngTransparentColor(s, key));
  EXPECT_EQ(s.Position(), 5);
  EXPECT_EQ(key, RGBColor(70, 80, 90));

  {
    // Palette screens keep the key colour and the two-pass masked drawing.
    test::TScreenBitsScope palette(8);
    TransparencyMode mode = trNone;
    TBitmapPtr mask;
    TBitmapPtr bmp = LoadImageFromStream(&s, mode, mask);
    ASSERT_TRUE(bmp && mask);
    EXPECT_EQ(mode, trKeyColor);
    // Transparent pixels are black and white in the mask; the others keep their colour.
    EXPECT_EQ(bmp->GetPixel(2, 0), clBlack);
    EXPECT_EQ(mask->GetIndex(2, 0), 1u);
    EXPECT_EQ(bmp->GetPixel(0, 1), clBlack);
    EXPECT_EQ(mask->GetIndex(0, 1), 1u);
    EXPECT_EQ(mask->GetIndex(1, 0), 0u);
  }
  // True-colour screens blend: an alpha bitmap, no mask.
  test::TScreenBitsScope deep(24);
  TransparencyMode mode = trNone;
  TBitmapPtr mask;
  TBitmapPtr bmp = LoadImageFromStream(&s, mode, mask);
  ASSERT_TRUE(bmp);
  EXPECT_FALSE(mask);
  EXPECT_EQ(mode, trNone);
  ASSERT_TRUE(bmp->HasAlpha());
  EXPECT_EQ(bmp->ScanLine(0)[2 * 4 + 3], 0);
  EXPECT_EQ(bmp->ScanLine(1)[0 * 4 + 3], 0);
  // Entry 1 is half transparent (128): its colour premultiplied, (c * 128 + 127) / 255.
  EXPECT_EQ(bmp->GetPixel(1, 0), RGBColor(20, 25, 30));
  EXPECT_EQ(bmp->ScanLine(0)[1 * 4 + 3], 128);
  EXPECT_EQ(bmp->GetPixel(0, 0), RGBColor(10, 20, 30));
  EXPECT_EQ(bmp->ScanLine(0)[3], 255);
  // Every transparent entry is, not only the first (index 3 here, which the key colour misses).
  EXPECT_EQ(bmp->ScanLine(1)[1 * 4 + 3], 0);
  EXPECT_EQ(bmp->GetPixel(1, 1), clBlack);
}

TEST(Loader, RgbTransparencyIsNoKeyColour) {
  test::TPngBuilder b;
  b.Header(2, 1, 8, 2).Chunk("tRNS", {0, 1, 0, 2, 0, 3}).Pixels({0, 1, 2, 3, 9, 9, 9}).End();
  TImageStream s = StreamOf(b.B);
  TColor key = 0;
  EXPECT_FALSE(FindPngTransparentColor(s, key));
  {
    test::TScreenBitsScope palette(8);
    TransparencyMode mode = trNone;
    TBitmapPtr mask;
    ASSERT_TRUE(LoadImageFromStream(&s, mode, mask));
    EXPECT_EQ(mode, trNone);
    EXPECT_FALSE(mask);
    // With the corner rule asked for, the file's own transparent colour is used.
    mode = trCornerPixel;
    ASSERT_TRUE(LoadImageFromStream(&s, mode, mask));
    ASSERT_TRUE(mask);
    EXPECT_EQ(mask->GetIndex(0, 0), 1u);
    EXPECT_EQ(mask->GetIndex(1, 0), 0u);
  }
  // On true colour the file's transparent colour is transparent whether asked for or not.
  test::TScreenBitsScope deep(24);
  for (TransparencyMode wanted : {trNone, trCornerPixel}) {
    TransparencyMode mode = wanted;
    TBitmapPtr mask;
    TBitmapPtr bmp = LoadImageFromStream(&s, mode, mask);
    ASSERT_TRUE(bmp && bmp->HasAlpha());
    EXPECT_EQ(mode, trNone);
    EXPECT_FALSE(mask);
    EXPECT_EQ(bmp->ScanLine(0)[3], 0);
    EXPECT_EQ(bmp->ScanLine(0)[4 + 3], 255);
  }
}

TEST(Loader, ImageMasks) {
  std::unique_ptr<TBitmap> bmp = TBitmap::Create(3, 2, 24);
  bmp->Fill(RGBColor(1, 2, 3));
  bmp->SetPixel(2, 0, RGBColor(9, 9, 9));
  bmp->SetPixel(0, 1, RGBColor(9, 9, 9));  // bottom-left
  TBitmapPtr corner = MakeImageMask(*bmp, false, 0);
  ASSERT_TRUE(corner);
  EXPECT_TRUE(corner->Monochrome());
  EXPECT_EQ(corner->GetIndex(2, 0), 1u);
  EXPECT_EQ(corner->GetIndex(0, 1), 1u);
  EXPECT_EQ(corner->GetIndex(0, 0), 0u);
  TBitmapPtr given = MakeImageMask(*bmp, true, RGBColor(1, 2, 3) | PaletteMatchFlag);
  EXPECT_EQ(given->GetIndex(0, 0), 1u);
  EXPECT_EQ(given->GetIndex(2, 0), 0u);
  std::unique_ptr<TBitmap> empty = TBitmap::Create(0, 0, 24);
  if (empty) {
    EXPECT_FALSE(MakeImageMask(*empty, false, 0));
  }
}

TEST(Loader, BmpAndJpegFiles) {
  test::TScreenBitsScope deep(24);
  TransparencyMode mode = trNone;
  TBitmapPtr mask;
  TBitmapPtr bmp = LoadImageFromFile(std::string(KORVA_SAMPLES_DIR) + "/axes.bmp", mode, mask);
  ASSERT_TRUE(bmp);
  EXPECT_EQ(bmp->Width(), 160);
  EXPECT_EQ(bmp->BitsPerPixel(), 24);
  EXPECT_FALSE(LoadImageFromFile(std::string(KORVA_SAMPLES_DIR) + "/no-such-file.bmp", mode, mask));

  mode = trCornerPixel;
  TBitmapPtr photo = LoadImageFromFile(std::string(KORVA_SAMPLES_DIR) + "/overview_photo.jpg", mode, mask);
  ASSERT_TRUE(photo);
  EXPECT_EQ(mode, trNone);  // JPEG never takes a mask
  EXPECT_FALSE(mask);
  EXPECT_EQ(photo->BitsPerPixel(), 24);
  EXPECT_EQ(photo->Width(), 220);
}

TEST(Loader, JpegOnAnEightBitScreenUsesTheSharedPalette) {
  test::TScreenBitsScope eight(8);
  std::vector<std::uint8_t> data = test::ReadFile(std::string(KORVA_SAMPLES_DIR) + "/overview_photo.jpg");
  std::unique_ptr<TBitmap> raw = DecodeJpeg(data.data(), data.size());
  ASSERT_TRUE(raw);
  EXPECT_EQ(raw->BitsPerPixel(), 8);
  TPalette shared = BuildGlobalPalette();
  for (int i = 0; i < 256; ++i) ASSERT_EQ(raw->ColorTable()[i], shared.ColorAt(i)) << i;
  std::vector<std::uint8_t> grey = test::ReadFile(std::string(KORVA_SAMPLES_DIR) + "/team.jpg");
  std::unique_ptr<TBitmap> g = DecodeJpeg(grey.data(), grey.size());
  EXPECT_EQ(g->BitsPerPixel(), 8);
  EXPECT_EQ(g->ColorTable()[200], RGBColor(200, 200, 200));
  EXPECT_THROW(DecodeJpeg(grey.data(), 100), EInvalidGraphic);
}

TEST(Loader, DisplayConversionByScreenClass) {
  std::shared_ptr<TBitmap> src = TBitmap::Create(20, 10, 24);
  for (int x = 0; x < 20; ++x)
    for (int y = 0; y < 10; ++y) src->SetPixel(x, y, RGBColor(x * 12, y * 25, 128));
  {
    test::TScreenBitsScope deep(24);
    EXPECT_EQ(ConvertForDisplay(src).get(), src.get());
    std::shared_ptr<TBitmap> indexed = src->ConvertTo(8, nullptr);
    if (indexed) {
      EXPECT_EQ(ConvertForDisplay(indexed)->BitsPerPixel(), 24);
    }
  }
  {
    test::TScreenBitsScope eight(8);
    TBitmapPtr out = ConvertForDisplay(src);
    EXPECT_EQ(out->BitsPerPixel(), 8);
    ASSERT_TRUE(out->Palette());
    EXPECT_EQ(out->Palette()->Entries(), BuildGlobalPalette().Entries());
  }
  {
    test::TScreenBitsScope four(4);
    TBitmapPtr out = ConvertForDisplay(src);
    EXPECT_EQ(out->BitsPerPixel(), 8);
    EXPECT_EQ(out->Palette()->Entries(), TPalette::SystemStatic20().Entries());
  }
  EXPECT_FALSE(ConvertForDisplay(nullptr));
}

TEST(Loader, BuiltInPictures) {
  TImageDisplayUser user;
  const TBitmapPtr& error = ErrorImageBitmap();
  const TBitmapPtr& mask = ErrorImageMask();
  ASSERT_TRUE(error && mask && DefaultImageBitmap());
  EXPECT_EQ(error->Width(), 16);
  EXPECT_EQ(DefaultImageBitmap()->Height(), 16);
  EXPECT_TRUE(mask->Monochrome());
  // Rounded corners are transparent, the middle is not.
  EXPECT_EQ(mask->GetIndex(0, 0), 1u);
  EXPECT_EQ(mask->GetIndex(15, 15), 1u);
  EXPECT_EQ(mask->GetIndex(8, 8), 0u);
  EXPECT_EQ(PendingImageStream(), PendingImageStream());
  EXPECT_EQ(PendingImageStream()->Size(), 0);
}

TEST(Loader, TilesStretchOnePixelSides) {
  std::shared_ptr<TBitmap> strip = TBitmap::Create(1, 5, 24);
  strip->Fill(RGBColor(3, 4, 5));
  TImageGraphic g;
  g.Bitmap = strip;
  TBitmapPtr tile = PrepareTile(g, 300, 40);
  EXPECT_EQ(tile->Width(), 100);
  EXPECT_EQ(tile->Height(), 5);
  EXPECT_EQ(tile->GetPixel(99, 4), RGBColor(3, 4, 5));
  tile = PrepareTile(g, 30, 40);
  EXPECT_EQ(tile->Width(), 30);
}

}  // namespace
}  // namespace korva

namespace korva {
namespace {

TEST(Loader, KeyColourFollowsTheGammaOfThePalette) {
  test::TScreenBitsScope palette(8);
  test::TPngBuilder b;
  b.Header(2, 1, 8, 3)
      .Chunk("gAMA", {0, 0x01, 0x86, 0xA0})
      .Chunk("PLTE", {128, 128, 128, 10, 20, 30})
      .Chunk("tRNS", {0})
      .Pixels({0, 0, 1})
      .End();
  TImageStream s(b.B);
  TransparencyMode mode = trNone;
  TBitmapPtr mask;
  TBitmapPtr bmp = LoadImageFromStream(&s, mode, mask);
  ASSERT_TRUE(bmp && mask);
  EXPECT_EQ(mode, trKeyColor);
  EXPECT_EQ(mask->GetIndex(0, 0), 1u);
  EXPECT_EQ(mask->GetIndex(1, 0), 0u);
  EXPECT_EQ(bmp->GetPixel(0, 0), clBlack);
}

}  // namespace
}  // namespace korva
