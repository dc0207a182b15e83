// Bitmaps with premultiplied alpha drawn blended: exact values over known backgrounds.
#include <gtest/gtest.h>

#include <QImage>

#include <array>

#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/QtBridge.h"

namespace korva {
namespace {

// A row of premultiplied B, G, R, A pixels.
std::unique_ptr<TBitmap> AlphaRow(std::initializer_list<std::array<std::uint8_t, 4>> pixels) {
  auto b = TBitmap::Create(int(pixels.size()), 1, 32);
  b->SetAlpha(true);
  std::uint8_t* p = b->ScanLine(0);
  for (const auto& px : pixels) {
    std::copy(px.begin(), px.end(), p);
    p += 4;
  }
  return b;
}

// Red at half opacity (128), opaque green, fully transparent, blue at a quarter (64).
std::unique_ptr<TBitmap> Sample() { return AlphaRow({{0, 0, 128, 128}, {0, 255, 0, 255}, {0, 0, 0, 0}, {64, 0, 0, 64}}); }

TEST(AlphaBlend, BlendsOverOpaqueDestinations) {
  for (int bpp : {24, 32}) {
    SCOPED_TRACE(bpp);
    auto dst = TBitmap::Create(4, 1, bpp);
    dst->Fill(RGBColor(255, 255, 255));
    BitBlt(*dst, 0, 0, 4, 1, *Sample(), 0, 0);
    // s + (d * (255 - a) + 127) / 255 per channel.
    EXPECT_EQ(dst->GetPixel(0, 0), RGBColor(255, 127, 127));
    EXPECT_EQ(dst->GetPixel(1, 0), RGBColor(0, 255, 0));
    EXPECT_EQ(dst->GetPixel(2, 0), RGBColor(255, 255, 255));
    EXPECT_EQ(dst->GetPixel(3, 0), RGBColor(191, 191, 255));
    if (bpp == 32) EXPECT_EQ(dst->ScanLine(0)[3], 0xFF);

    dst->Fill(RGBColor(100, 40, 0));
    BitBlt(*dst, 0, 0, 4, 1, *Sample(), 0, 0);
    EXPECT_EQ(dst->GetPixel(0, 0), RGBColor(128 + 50, 20, 0));
    EXPECT_EQ(dst->GetPixel(2, 0), RGBColor(100, 40, 0));
    EXPECT_EQ(dst->GetPixel(3, 0), RGBColor(75, 30, 64));
  }
}

TEST(AlphaBlend, StretchedDrawsBlendEverySampledPixel) {
  auto dst = TBitmap::Create(8, 2, 24);
  dst->Fill(clWhite);
  StretchBlt(*dst, 0, 0, 8, 2, *Sample(), 0, 0, 4, 1);
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(dst->GetPixel(0, y), RGBColor(255, 127, 127));
    EXPECT_EQ(dst->GetPixel(1, y), RGBColor(255, 127, 127));
    EXPECT_EQ(dst->GetPixel(4, y), clWhite);
    EXPECT_EQ(dst->GetPixel(7, y), RGBColor(191, 191, 255));
  }
  // Halftone shrinking averages premultiplied pixels, alpha with them: red 128/128 and green
  // 255/255 give (64, 128, 0) of alpha 192 (rounded), over white.
  auto small = TBitmap::Create(1, 1, 24);
  small->Fill(clWhite);
  StretchBlt(*small, 0, 0, 1, 1, *Sample(), 0, 0, 2, 1, TRop::SrcCopy, TStretchMode::Halftone);
  EXPECT_EQ(small->GetPixel(0, 0), RGBColor(64 + 63, 128 + 63, 63));
}

TEST(AlphaBlend, AlphaDestinationsAndConversionsKeepOrDropAlpha) {
  // Into another alpha bitmap the pixels go as they are (tiles are made this way).
  auto tile = TBitmap::Create(8, 1, 32);
  tile->SetAlpha(true);
  StretchBlt(*tile, 0, 0, 8, 1, *Sample(), 0, 0, 4, 1);
  EXPECT_EQ(tile->ScanLine(0)[0 * 4 + 2], 128);
  EXPECT_EQ(tile->ScanLine(0)[1 * 4 + 3], 128);
  EXPECT_EQ(tile->ScanLine(0)[4 * 4 + 3], 0);
  EXPECT_EQ(tile->ScanLine(0)[7 * 4 + 0], 64);
  // A clone and a 32-bit conversion keep alpha; 24 bits take the picture over black.
  EXPECT_TRUE(Sample()->Clone()->HasAlpha());
  auto keep = Sample()->ConvertTo(32);
  ASSERT_TRUE(keep && keep->HasAlpha());
  EXPECT_EQ(keep->ScanLine(0)[3], 128);
  auto flat = Sample()->ConvertTo(24);
  ASSERT_TRUE(flat && !flat->HasAlpha());
  EXPECT_EQ(flat->GetPixel(0, 0), RGBColor(128, 0, 0));
  EXPECT_EQ(flat->GetPixel(2, 0), clBlack);
  // Alpha exists only on 32-bit bitmaps.
  auto b24 = TBitmap::Create(1, 1, 24);
  b24->SetAlpha(true);
  EXPECT_FALSE(b24->HasAlpha());
  // Other raster operations see the premultiplied colour as opaque.
  auto inv = TBitmap::Create(1, 1, 24);
  inv->Fill(clWhite);
  BitBlt(*inv, 0, 0, 1, 1, *Sample(), 0, 0, TRop::SrcAnd);
  EXPECT_EQ(inv->GetPixel(0, 0), RGBColor(128, 0, 0));
}

TEST(AlphaBlend, CanvasDrawsBlendedInsideItsClip) {
  auto target = TBitmap::Create(6, 2, 32);
  target->Fill(clWhite);
  auto canvas = CreateBitmapCanvas(*target);
  canvas->SetOrigin(1, 0);
  canvas->IntersectClipRect(TRect{0, 0, 2, 1});
  canvas->BitBlt(0, 0, 4, 1, *Sample(), 0, 0);
  canvas->StretchBlt(0, 1, 4, 1, *Sample(), 0, 0, 4, 1);  // row 1 is clipped away
  EXPECT_EQ(target->GetPixel(0, 0), clWhite);
  EXPECT_EQ(target->GetPixel(1, 0), RGBColor(255, 127, 127));
  EXPECT_EQ(target->GetPixel(2, 0), RGBColor(0, 255, 0));
  EXPECT_EQ(target->GetPixel(3, 0), clWhite);  // clipped
  EXPECT_EQ(target->GetPixel(1, 1), clWhite);
}

TEST(AlphaBlend, QtImagesOfAlphaBitmapsArePremultiplied) {
  auto b = Sample();
  const QImage shared = BitmapAsQImage(*b);
  EXPECT_EQ(shared.format(), QImage::Format_ARGB32_Premultiplied);
  const QImage copy = BitmapToQImage(*b);
  EXPECT_EQ(copy.format(), QImage::Format_ARGB32_Premultiplied);
  EXPECT_EQ(qAlpha(copy.pixel(0, 0)), 128);
  EXPECT_EQ(qRed(copy.pixel(0, 0)), 128);  // the word as stored, premultiplied
  EXPECT_EQ(qAlpha(copy.pixel(2, 0)), 0);
}

}  // namespace
}  // namespace korva
