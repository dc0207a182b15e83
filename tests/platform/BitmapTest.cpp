#include <gtest/gtest.h>

#include "platform/Bitmap.h"

namespace korva {
namespace {

TEST(Palette, Default16IsTheVgaOrder) {
  const TPalette p = TPalette::Default16();
  ASSERT_EQ(p.Count(), 16);
  const TColor expected[16] = {RGBColor(0, 0, 0),       RGBColor(0x80, 0, 0),    RGBColor(0, 0x80, 0),
                               RGBColor(0x80, 0x80, 0), RGBColor(0, 0, 0x80),    RGBColor(0x80, 0, 0x80),
                               RGBColor(0, 0x80, 0x80), RGBColor(0xC0, 0xC0, 0xC0), RGBColor(0x80, 0x80, 0x80),
                               RGBColor(0xFF, 0, 0),    RGBColor(0, 0xFF, 0),    RGBColor(0xFF, 0xFF, 0),
                               RGBColor(0, 0, 0xFF),    RGBColor(0xFF, 0, 0xFF), RGBColor(0, 0xFF, 0xFF),
                               RGBColor(0xFF, 0xFF, 0xFF)};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(p.ColorAt(i), expected[i]) << i;
}

TEST(Palette, SystemStatic20) {
  const TPalette p = TPalette::SystemStatic20();
  ASSERT_EQ(p.Count(), 20);
  EXPECT_EQ(p.ColorAt(1), RGBColor(0x80, 0, 0));
  EXPECT_EQ(p.ColorAt(8), RGBColor(0xC0, 0xDC, 0xC0));
  EXPECT_EQ(p.ColorAt(9), RGBColor(0xA6, 0xCA, 0xF0));
  EXPECT_EQ(p.ColorAt(10), RGBColor(0xFF, 0xFB, 0xF0));
  EXPECT_EQ(p.ColorAt(11), RGBColor(0xA0, 0xA0, 0xA4));
  EXPECT_EQ(p.ColorAt(12), RGBColor(0x80, 0x80, 0x80));
  EXPECT_EQ(p.ColorAt(13), RGBColor(0xFF, 0, 0));
  EXPECT_EQ(p.ColorAt(19), clWhite);
}

TEST(Palette, NearestIndex) {
  const TPalette p = TPalette::Default16();
  EXPECT_EQ(p.NearestIndex(RGBColor(0xF0, 0x10, 0x10)), 9);   // red
  EXPECT_EQ(p.NearestIndex(RGBColor(0x70, 0x70, 0x70)), 8);   // grey
  EXPECT_EQ(p.NearestIndex(RGBColor(0xA0, 0xA0, 0xA0)), 7);   // 32 from C0, 32 from 80: first wins
  EXPECT_EQ(p.NearestIndex(0x02000000 | RGBColor(0, 0, 0xFF)), 12);  // palette-match flag ignored
  EXPECT_EQ(TPalette().NearestIndex(clWhite), -1);
  // Equal distances resolve to the first entry.
  const TPalette twins({{10, 10, 10, 0}, {30, 30, 30, 0}});
  EXPECT_EQ(twins.NearestIndex(RGBColor(20, 20, 20)), 0);
}

TEST(Palette, Default256Table) {
  const std::vector<TColor>& t = Default256Table();
  ASSERT_EQ(t.size(), 256u);
  EXPECT_EQ(t[0], clBlack);
  EXPECT_EQ(t[7], clSilver);
  EXPECT_EQ(t[10], RGBColor(0, 0, 0));
  EXPECT_EQ(t[10 + 1], RGBColor(51, 0, 0));
  EXPECT_EQ(t[10 + 6], RGBColor(0, 51, 0));
  EXPECT_EQ(t[10 + 36], RGBColor(0, 0, 51));
  EXPECT_EQ(t[10 + 215], clWhite);
  EXPECT_EQ(t[226], RGBColor(0xFF, 0xFB, 0xF0));
  EXPECT_EQ(t[235], clWhite);
  EXPECT_EQ(t[236], RGBColor(12, 12, 12));
  EXPECT_EQ(t[255], RGBColor(243, 243, 243));
}

TEST(Bitmap, CreateChecksDepthAndLimits) {
  EXPECT_EQ(TBitmap::Create(4, 4, 2), nullptr);
  EXPECT_EQ(TBitmap::Create(4, 4, 16), nullptr);
  EXPECT_EQ(TBitmap::Create(-1, 4, 8), nullptr);
  EXPECT_EQ(TBitmap::Create(MaxBitmapSide + 1, 1, 8), nullptr);
  EXPECT_EQ(TBitmap::Create(MaxBitmapSide, MaxBitmapSide, 1), nullptr);  // too many pixels
  auto wide = TBitmap::Create(MaxBitmapSide, 1, 32);
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(wide->RowBytes(), MaxBitmapSide * 4);
  auto empty = TBitmap::Create(0, 0, 24);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->GetPixel(0, 0), clNone);
}

TEST(Bitmap, RowsArePaddedToFourBytes) {
  struct Case {
    int width, bpp, rowBytes;
  } cases[] = {{1, 1, 4}, {32, 1, 4}, {33, 1, 8}, {8, 4, 4}, {9, 4, 8}, {3, 8, 4}, {5, 8, 8},
               {1, 24, 4}, {5, 24, 16}, {3, 32, 12}};
  for (const Case& c : cases) {
    auto b = TBitmap::Create(c.width, 2, c.bpp);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->RowBytes(), c.rowBytes) << c.width << "x" << c.bpp;
    EXPECT_EQ(b->ScanLine(1) - b->ScanLine(0), c.rowBytes);
  }
}

TEST(Bitmap, NewColourTables) {
  auto mono = TBitmap::Create(2, 2, 1);
  EXPECT_EQ(mono->ColorTable(), (std::vector<TColor>{clBlack, clWhite}));
  auto four = TBitmap::Create(2, 2, 4);
  ASSERT_EQ(four->ColorTable().size(), 16u);
  EXPECT_EQ(four->ColorTable()[9], RGBColor(255, 0, 0));
  auto eight = TBitmap::Create(2, 2, 8);
  EXPECT_EQ(eight->ColorTable(), Default256Table());
  EXPECT_TRUE(TBitmap::Create(2, 2, 24)->ColorTable().empty());
  EXPECT_EQ(eight->GetPixel(1, 1), clBlack);
}

TEST(Bitmap, PixelPacking) {
  auto mono = TBitmap::Create(12, 1, 1);
  mono->SetIndex(0, 0, 1);
  mono->SetIndex(9, 0, 1);
  mono->SetIndex(11, 0, 3);  // only the low bit counts
  EXPECT_EQ(mono->ScanLine(0)[0], 0x80);
  EXPECT_EQ(mono->ScanLine(0)[1], 0x50);
  mono->SetIndex(0, 0, 0);
  EXPECT_EQ(mono->ScanLine(0)[0], 0x00);
  EXPECT_EQ(mono->GetIndex(9, 0), 1u);
  EXPECT_EQ(mono->GetIndex(10, 0), 0u);

  auto four = TBitmap::Create(3, 1, 4);
  four->SetIndex(0, 0, 0xA);
  four->SetIndex(1, 0, 0x5);
  four->SetIndex(2, 0, 0xF);
  EXPECT_EQ(four->ScanLine(0)[0], 0xA5);
  EXPECT_EQ(four->ScanLine(0)[1], 0xF0);
  four->SetIndex(0, 0, 0x3);
  EXPECT_EQ(four->ScanLine(0)[0], 0x35);
  EXPECT_EQ(four->GetIndex(1, 0), 5u);
  EXPECT_EQ(four->GetPixel(2, 0), clWhite);

  auto eight = TBitmap::Create(2, 1, 8);
  eight->SetIndex(1, 0, 0x1FE);
  EXPECT_EQ(eight->ScanLine(0)[1], 0xFE);

  auto rgb = TBitmap::Create(2, 1, 24);
  rgb->SetPixel(1, 0, RGBColor(1, 2, 3));
  const std::uint8_t* p = rgb->ScanLine(0) + 3;
  EXPECT_EQ(p[0], 3);
  EXPECT_EQ(p[1], 2);
  EXPECT_EQ(p[2], 1);
  EXPECT_EQ(rgb->GetPixel(1, 0), RGBColor(1, 2, 3));

  auto rgbx = TBitmap::Create(2, 1, 32);
  rgbx->SetPixel(0, 0, RGBColor(10, 20, 30));
  EXPECT_EQ(rgbx->ScanLine(0)[0], 30);
  EXPECT_EQ(rgbx->ScanLine(0)[3], 0xFF);
  EXPECT_EQ(rgbx->GetIndex(0, 0), RGBColor(10, 20, 30));
}

TEST(Bitmap, OutOfRangeAccessIsHarmless) {
  auto b = TBitmap::Create(2, 2, 8);
  EXPECT_EQ(b->GetPixel(-1, 0), clNone);
  EXPECT_EQ(b->GetPixel(2, 0), clNone);
  EXPECT_EQ(b->GetIndex(0, 2), 0u);
  b->SetPixel(5, 5, clWhite);
  b->SetIndex(-1, -1, 7);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(b->GetIndex(x, y), 0u);
}

TEST(Bitmap, SetPixelPicksNearestEntryAndResolvesColours) {
  auto b = TBitmap::Create(2, 1, 4);
  b->SetPixel(0, 0, RGBColor(0x70, 0x80, 0x90));
  EXPECT_EQ(b->GetIndex(0, 0), 8u);
  b->SetPixel(1, 0, clNone);
  EXPECT_EQ(b->GetIndex(1, 0), 0u);
  auto rgb = TBitmap::Create(1, 1, 24);
  rgb->SetPixel(0, 0, 0x02000000 | RGBColor(9, 8, 7));
  EXPECT_EQ(rgb->GetPixel(0, 0), RGBColor(9, 8, 7));
  rgb->SetPixel(0, 0, clBtnFace);
  EXPECT_EQ(rgb->GetPixel(0, 0), ColorToRGB(clBtnFace));
}

TEST(Bitmap, FillRectIsClipped) {
  for (int bpp : {1, 4, 8, 24, 32}) {
    auto b = TBitmap::Create(5, 4, bpp);
    b->FillRect(Rect(-3, 1, 2, 10), clWhite);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x)
        EXPECT_EQ(b->GetPixel(x, y), (x < 2 && y >= 1) ? clWhite : clBlack) << bpp << " " << x << "," << y;
    b->Fill(clWhite);
    EXPECT_EQ(b->GetPixel(4, 0), clWhite);
  }
}

TEST(Bitmap, SetColorTablePadsAndCuts) {
  auto b = TBitmap::Create(1, 1, 4);
  b->SetColorTable({clRed, clBlue});
  ASSERT_EQ(b->ColorTable().size(), 16u);
  EXPECT_EQ(b->ColorTable()[1], clBlue);
  EXPECT_EQ(b->ColorTable()[2], clBlack);
  auto mono = TBitmap::Create(1, 1, 1);
  mono->SetColorTable({clRed, clBlue, clWhite});
  EXPECT_EQ(mono->ColorTable(), (std::vector<TColor>{clRed, clBlue}));
  auto rgb = TBitmap::Create(1, 1, 24);
  rgb->SetColorTable({clRed});
  EXPECT_TRUE(rgb->ColorTable().empty());
}

TEST(Bitmap, CloneCopiesPixelsAndPalette) {
  auto b = TBitmap::Create(3, 2, 8);
  b->SetIndex(2, 1, 77);
  b->SetPalette(std::make_shared<TPalette>(TPalette::Default16()));
  auto c = b->Clone();
  EXPECT_EQ(c->GetIndex(2, 1), 77u);
  ASSERT_NE(c->Palette(), nullptr);
  EXPECT_NE(c->Palette().get(), b->Palette().get());
  EXPECT_EQ(c->Palette()->Entries(), b->Palette()->Entries());
  c->SetIndex(2, 1, 1);
  EXPECT_EQ(b->GetIndex(2, 1), 77u);
}

TEST(Bitmap, ConvertTo) {
  auto rgb = TBitmap::Create(3, 1, 24);
  rgb->SetPixel(0, 0, clWhite);
  rgb->SetPixel(1, 0, RGBColor(250, 250, 250));
  rgb->SetPixel(2, 0, RGBColor(0xF0, 0x10, 0x10));

  auto mono = rgb->ConvertTo(1);
  ASSERT_NE(mono, nullptr);
  EXPECT_EQ(mono->GetIndex(0, 0), 1u);  // only exact white becomes 1
  EXPECT_EQ(mono->GetIndex(1, 0), 0u);
  EXPECT_EQ(mono->GetIndex(2, 0), 0u);

  const TPalette vga = TPalette::Default16();
  auto four = rgb->ConvertTo(4, &vga);
  ASSERT_NE(four, nullptr);
  EXPECT_EQ(four->GetIndex(0, 0), 15u);
  EXPECT_EQ(four->GetIndex(1, 0), 15u);
  EXPECT_EQ(four->GetIndex(2, 0), 9u);
  ASSERT_NE(four->Palette(), nullptr);
  EXPECT_EQ(four->Palette()->Count(), 16);

  // A mono bitmap shows its own colours when it becomes colour.
  auto twoTone = TBitmap::Create(2, 1, 1);
  twoTone->SetColorTable({clRed, clBlue});
  twoTone->SetIndex(1, 0, 1);
  auto wide = twoTone->ConvertTo(32);
  EXPECT_EQ(wide->GetPixel(0, 0), clRed);
  EXPECT_EQ(wide->GetPixel(1, 0), clBlue);
  // ... and keeps its table and indexes when it goes to 8 bits without a palette.
  auto eight = twoTone->ConvertTo(8);
  EXPECT_EQ(eight->GetIndex(1, 0), 1u);
  EXPECT_EQ(eight->ColorTable()[0], clRed);
  EXPECT_EQ(eight->ColorTable()[2], clBlack);

  EXPECT_EQ(rgb->ConvertTo(16), nullptr);
  EXPECT_EQ(rgb->ConvertTo(24)->GetPixel(2, 0), RGBColor(0xF0, 0x10, 0x10));
}

}  // namespace
}  // namespace korva
