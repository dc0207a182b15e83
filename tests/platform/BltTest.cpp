#include <gtest/gtest.h>

#include <initializer_list>

#include "platform/Bitmap.h"

namespace korva {
namespace {

std::unique_ptr<TBitmap> Row(int bpp, std::initializer_list<TColor> colors) {
  auto b = TBitmap::Create(int(colors.size()), 1, bpp);
  int x = 0;
  for (TColor c : colors) b->SetPixel(x++, 0, c);
  return b;
}

std::unique_ptr<TBitmap> MonoRow(std::initializer_list<int> bits) {
  auto b = TBitmap::Create(int(bits.size()), 1, 1);
  int x = 0;
  for (int v : bits) b->SetIndex(x++, 0, std::uint32_t(v));
  return b;
}

std::vector<TColor> Pixels(const TBitmap& b, int y = 0) {
  std::vector<TColor> out;
  for (int x = 0; x < b.Width(); ++x) out.push_back(b.GetPixel(x, y));
  return out;
}

std::vector<std::uint32_t> Indexes(const TBitmap& b, int y = 0) {
  std::vector<std::uint32_t> out;
  for (int x = 0; x < b.Width(); ++x) out.push_back(b.GetIndex(x, y));
  return out;
}

const TColor Green = RGBColor(0, 0xFF, 0);
const TColor S = RGBColor(0xF0, 0xCC, 0xAA);
const TColor D = RGBColor(0x3C, 0x55, 0x0F);

struct RopCase {
  TRop rop;
  TColor expected;
};
const RopCase RopCases[] = {
    {TRop::SrcCopy, RGBColor(0xF0, 0xCC, 0xAA)},     {TRop::SrcPaint, RGBColor(0xFC, 0xDD, 0xAF)},
    {TRop::SrcAnd, RGBColor(0x30, 0x44, 0x0A)},      {TRop::SrcInvert, RGBColor(0xCC, 0x99, 0xA5)},
    {TRop::SrcErase, RGBColor(0xC0, 0x88, 0xA0)},    {TRop::NotSrcCopy, RGBColor(0x0F, 0x33, 0x55)},
    {TRop::NotSrcErase, RGBColor(0x03, 0x22, 0x50)}, {TRop::MergePaint, RGBColor(0x3F, 0x77, 0x5F)},
    {TRop::DstInvert, RGBColor(0xC3, 0xAA, 0xF0)},   {TRop::Blackness, clBlack},
    {TRop::Whiteness, clWhite},
};

TEST(BitBlt, EachRasterOperationOnColours) {
  for (int srcBpp : {24, 32}) {
    for (int dstBpp : {24, 32}) {
      for (const RopCase& c : RopCases) {
        auto src = Row(srcBpp, {S});
        auto dst = Row(dstBpp, {D});
        BitBlt(*dst, 0, 0, 1, 1, *src, 0, 0, c.rop);
        EXPECT_EQ(dst->GetPixel(0, 0), c.expected)
            << std::hex << std::uint32_t(c.rop) << " " << srcBpp << "->" << dstBpp;
        if (dstBpp == 32) {
          EXPECT_EQ(dst->ScanLine(0)[3], 0xFF);
        }
      }
    }
  }
}

TEST(BitBlt, IndexedSourceUsesItsColourTable) {
  auto src = TBitmap::Create(1, 1, 8);
  src->SetColorTable({clBlack, S});
  src->SetIndex(0, 0, 1);
  auto dst = Row(24, {D});
  BitBlt(*dst, 0, 0, 1, 1, *src, 0, 0, TRop::SrcInvert);
  EXPECT_EQ(dst->GetPixel(0, 0), RGBColor(0xCC, 0x99, 0xA5));
}

TEST(BitBlt, UnnamedCodeFollowsItsTruthTable) {
  // 0x00DD0228 is S | ~D.
  auto src = Row(24, {S});
  auto dst = Row(24, {D});
  BitBlt(*dst, 0, 0, 1, 1, *src, 0, 0, TRop(0x00DD0228));
  EXPECT_EQ(dst->GetPixel(0, 0), RGBColor(0xF3, 0xEE, 0xFA));
}

TEST(BitBlt, MonoSourceOntoColourUsesTextAndBackground) {
  auto mask = MonoRow({0, 1, 1, 0});
  auto dst = Row(24, {clWhite, clWhite, D, D});
  BitBlt(*dst, 0, 0, 4, 1, *mask, 0, 0, TRop::SrcCopy, TBltColors{clRed, clBlue});
  EXPECT_EQ(Pixels(*dst), (std::vector<TColor>{clRed, clBlue, clBlue, clRed}));

  // The classic transparent-drawing steps: AND with the mask (text black, background white)
  // keeps the destination under white, then OR paints the image where the mask was black.
  auto image = Row(24, {clRed, clBlack, clBlack, clBlue});
  auto back = Row(24, {D, D, D, D});
  BitBlt(*back, 0, 0, 4, 1, *mask, 0, 0, TRop::SrcAnd, TBltColors{clBlack, clWhite});
  BitBlt(*back, 0, 0, 4, 1, *image, 0, 0, TRop::SrcPaint);
  EXPECT_EQ(Pixels(*back), (std::vector<TColor>{clRed, D, D, clBlue}));
}

TEST(BitBlt, ColourOntoMonoComparesWithBackground) {
  auto src = Row(24, {clWhite, clRed, Green, clBlack});
  auto dst = TBitmap::Create(4, 1, 1);
  BitBlt(*dst, 0, 0, 4, 1, *src, 0, 0);
  EXPECT_EQ(Indexes(*dst), (std::vector<std::uint32_t>{1, 0, 0, 0}));
  BitBlt(*dst, 0, 0, 4, 1, *src, 0, 0, TRop::SrcCopy, TBltColors{clBlack, clRed});
  EXPECT_EQ(Indexes(*dst), (std::vector<std::uint32_t>{0, 1, 0, 0}));
  // Raster operations then work on the bits.
  auto ones = MonoRow({1, 1, 0, 0});
  BitBlt(*ones, 0, 0, 4, 1, *src, 0, 0, TRop::SrcInvert);  // white -> 1
  EXPECT_EQ(Indexes(*ones), (std::vector<std::uint32_t>{0, 1, 0, 0}));
  // An indexed colour source goes through its table first.
  auto indexed = TBitmap::Create(2, 1, 4);
  indexed->SetIndex(0, 0, 15);
  indexed->SetIndex(1, 0, 7);
  auto bits = TBitmap::Create(2, 1, 1);
  BitBlt(*bits, 0, 0, 2, 1, *indexed, 0, 0);
  EXPECT_EQ(Indexes(*bits), (std::vector<std::uint32_t>{1, 0}));
}

TEST(BitBlt, MonoOntoMonoWorksOnBits) {
  auto src = MonoRow({0, 1, 0, 1});
  src->SetColorTable({clRed, clBlue});  // ignored between two mono bitmaps
  struct Case {
    TRop rop;
    std::vector<std::uint32_t> expected;
  } cases[] = {{TRop::SrcCopy, {0, 1, 0, 1}},  {TRop::SrcAnd, {0, 0, 0, 1}},     {TRop::SrcPaint, {0, 1, 1, 1}},
               {TRop::SrcInvert, {0, 1, 1, 0}}, {TRop::NotSrcCopy, {1, 0, 1, 0}}, {TRop::SrcErase, {0, 1, 0, 0}},
               {TRop::MergePaint, {1, 0, 1, 1}}, {TRop::DstInvert, {1, 1, 0, 0}}, {TRop::Whiteness, {1, 1, 1, 1}}};
  for (const Case& c : cases) {
    auto dst = MonoRow({0, 0, 1, 1});
    BitBlt(*dst, 0, 0, 4, 1, *src, 0, 0, c.rop);
    EXPECT_EQ(Indexes(*dst), c.expected) << std::hex << std::uint32_t(c.rop);
  }
}

TEST(BitBlt, IndexedDestinationTakesNearestEntry) {
  auto src = Row(24, {RGBColor(0xF8, 0x08, 0x00), RGBColor(0x78, 0x78, 0x80), clWhite});
  auto dst = TBitmap::Create(3, 1, 4);
  BitBlt(*dst, 0, 0, 3, 1, *src, 0, 0);
  EXPECT_EQ(Indexes(*dst), (std::vector<std::uint32_t>{9, 8, 15}));
  // The operation itself works on colours: white XOR red = cyan.
  BitBlt(*dst, 0, 0, 1, 1, *Row(24, {clWhite}), 0, 0, TRop::SrcInvert);
  EXPECT_EQ(dst->GetIndex(0, 0), 14u);
}

TEST(BitBlt, NearestEntryMatchesAFullSearch) {
  // The transfer's accelerated lookup must agree with a plain search, ties included.
  std::vector<TColor> odd;
  for (int i = 0; i < 256; ++i) odd.push_back(RGBColor((i * 37) & 0xF0, (i * 91) & 0xFF, i < 128 ? 17 : 200));
  for (const std::vector<TColor>* table : std::vector<const std::vector<TColor>*>{&Default256Table(), &odd}) {
    auto src = TBitmap::Create(256, 64, 24);
    std::uint32_t seed = 12345;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 256; ++x) {
        seed = seed * 1103515245u + 12345u;
        src->SetPixel(x, y, seed >> 8);
      }
    auto dst = TBitmap::Create(256, 64, 8);
    dst->SetColorTable(*table);
    BitBlt(*dst, 0, 0, 256, 64, *src, 0, 0);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 256; ++x)
        ASSERT_EQ(int(dst->GetIndex(x, y)), NearestColorIndex(table->data(), 256, src->GetPixel(x, y)))
            << x << "," << y;
  }
}

TEST(BitBlt, SubByteDestinationsKeepTheirNeighbours) {
  auto four = TBitmap::Create(5, 1, 4);
  for (int x = 0; x < 5; ++x) four->SetIndex(x, 0, 3);
  BitBlt(*four, 1, 0, 3, 1, *Row(24, {clRed, clBlue, clWhite}), 0, 0);
  EXPECT_EQ(Indexes(*four), (std::vector<std::uint32_t>{3, 9, 12, 15, 3}));

  auto mono = TBitmap::Create(20, 1, 1);
  mono->Fill(clWhite);
  BitBlt(*mono, 7, 0, 3, 1, *MonoRow({0, 1, 0}), 0, 0);
  for (int x = 0; x < 20; ++x) EXPECT_EQ(mono->GetIndex(x, 0), (x == 7 || x == 9) ? 0u : 1u) << x;
}

TEST(BitBlt, SameTableIndexedCopyKeepsIndexes) {
  auto src = TBitmap::Create(3, 1, 8);
  src->SetColorTable(std::vector<TColor>(256, clRed));  // every entry alike: nearest would say 0
  src->SetIndex(0, 0, 5);
  src->SetIndex(2, 0, 200);
  auto dst = TBitmap::Create(3, 1, 8);
  dst->SetColorTable(src->ColorTable());
  BitBlt(*dst, 0, 0, 3, 1, *src, 0, 0);
  EXPECT_EQ(Indexes(*dst), (std::vector<std::uint32_t>{5, 0, 200}));
}

TEST(BitBlt, ClipsBothRectangles) {
  auto src = TBitmap::Create(3, 3, 24);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) src->SetPixel(x, y, RGBColor(x * 10 + 1, y * 10 + 1, 7));
  auto dst = TBitmap::Create(4, 4, 24);
  // Destination starts left of dst, source runs past src's right and bottom edges.
  BitBlt(*dst, -1, 2, 5, 5, *src, 0, 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      // dst (x, y) <- src (x + 1, y - 1) when that exists.
      const int sx = x + 1, sy = y - 1;
      const TColor want = (y >= 2 && sx < 3 && sy < 3) ? RGBColor(sx * 10 + 1, sy * 10 + 1, 7) : clBlack;
      EXPECT_EQ(dst->GetPixel(x, y), want) << x << "," << y;
    }
  // Negative source origin: the part outside src is not drawn.
  auto dst2 = TBitmap::Create(3, 1, 24);
  BitBlt(*dst2, 0, 0, 3, 1, *src, -2, 0);
  EXPECT_EQ(Pixels(*dst2), (std::vector<TColor>{clBlack, clBlack, RGBColor(1, 1, 7)}));
  // Nothing at all for empty or fully outside rectangles.
  BitBlt(*dst2, 0, 0, 0, 1, *src, 0, 0);
  BitBlt(*dst2, 0, 0, -3, 1, *src, 0, 0);
  BitBlt(*dst2, 5, 0, 3, 1, *src, 0, 0);
  BitBlt(*dst2, 0, 0, 3, 1, *src, 3, 0);
  EXPECT_EQ(Pixels(*dst2), (std::vector<TColor>{clBlack, clBlack, RGBColor(1, 1, 7)}));
}

TEST(BitBlt, DestinationOnlyOperationsIgnoreTheSource) {
  auto tiny = TBitmap::Create(1, 1, 24);
  auto dst = Row(24, {D, D, D});
  BitBlt(*dst, 1, 0, 5, 1, *tiny, 0, 0, TRop::DstInvert);
  EXPECT_EQ(Pixels(*dst), (std::vector<TColor>{D, RGBColor(0xC3, 0xAA, 0xF0), RGBColor(0xC3, 0xAA, 0xF0)}));
  BitBlt(*dst, -1, 0, 2, 1, *tiny, 0, 0, TRop::Whiteness);
  EXPECT_EQ(dst->GetPixel(0, 0), clWhite);
}

TEST(BitBlt, OverlappingCopyWithinOneBitmap) {
  auto b = Row(24, {RGBColor(1, 0, 0), RGBColor(2, 0, 0), RGBColor(3, 0, 0), RGBColor(4, 0, 0)});
  BitBlt(*b, 1, 0, 3, 1, *b, 0, 0);
  EXPECT_EQ(Pixels(*b), (std::vector<TColor>{RGBColor(1, 0, 0), RGBColor(1, 0, 0), RGBColor(2, 0, 0),
                                             RGBColor(3, 0, 0)}));
}

std::unique_ptr<TBitmap> Ramp(int bpp, int n) {
  auto b = TBitmap::Create(n, 1, bpp);
  for (int x = 0; x < n; ++x) b->SetPixel(x, 0, RGBColor(x + 1, 0, 0));
  return b;
}

std::vector<int> RampIndexes(const TBitmap& b) {
  std::vector<int> out;
  for (int x = 0; x < b.Width(); ++x) out.push_back(GetRValue(b.GetPixel(x, 0)) - 1);
  return out;
}

TEST(StretchBlt, EnlargesAndShrinksByCentreSampling) {
  for (int bpp : {24, 32}) {
    auto src = Ramp(bpp, 3);
    auto seven = TBitmap::Create(7, 1, bpp);
    StretchBlt(*seven, 0, 0, 7, 1, *src, 0, 0, 3, 1);
    EXPECT_EQ(RampIndexes(*seven), (std::vector<int>{0, 0, 1, 1, 1, 2, 2}));

    auto four = Ramp(bpp, 4);
    auto two = TBitmap::Create(2, 1, bpp);
    StretchBlt(*two, 0, 0, 2, 1, *four, 0, 0, 4, 1);
    EXPECT_EQ(RampIndexes(*two), (std::vector<int>{1, 3}));

    auto ten = Ramp(bpp, 10);
    auto three = TBitmap::Create(3, 1, bpp);
    StretchBlt(*three, 0, 0, 3, 1, *ten, 0, 0, 10, 1);
    EXPECT_EQ(RampIndexes(*three), (std::vector<int>{1, 5, 8}));
  }
}

TEST(StretchBlt, EnlargesInBothDirections) {
  auto src = TBitmap::Create(2, 2, 8);
  src->SetIndex(0, 0, 1);
  src->SetIndex(1, 0, 2);
  src->SetIndex(0, 1, 3);
  src->SetIndex(1, 1, 4);
  for (int bpp : {1, 4, 8, 24, 32}) {
    auto dst = TBitmap::Create(4, 4, bpp);
    if (bpp <= 8 && bpp > 1) dst->SetColorTable(src->ColorTable());
    StretchBlt(*dst, 0, 0, 4, 4, *src, 0, 0, 2, 2);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        const TColor want = src->GetPixel(x / 2, y / 2);
        if (bpp == 1)
          EXPECT_EQ(dst->GetIndex(x, y), want == clWhite ? 1u : 0u);
        else
          EXPECT_EQ(dst->GetPixel(x, y), want) << bpp << " " << x << "," << y;
      }
  }
}

TEST(StretchBlt, NegativeExtentsMirror) {
  auto src = Ramp(24, 4);
  auto dst = TBitmap::Create(4, 1, 24);
  StretchBlt(*dst, 4, 0, -4, 1, *src, 0, 0, 4, 1);
  EXPECT_EQ(RampIndexes(*dst), (std::vector<int>{3, 2, 1, 0}));
  dst = TBitmap::Create(4, 1, 24);
  StretchBlt(*dst, 0, 0, 4, 1, *src, 4, 0, -4, 1);
  EXPECT_EQ(RampIndexes(*dst), (std::vector<int>{3, 2, 1, 0}));
  dst = TBitmap::Create(4, 1, 24);
  StretchBlt(*dst, 4, 0, -4, 1, *src, 4, 0, -4, 1);  // both negative: not mirrored
  EXPECT_EQ(RampIndexes(*dst), (std::vector<int>{0, 1, 2, 3}));
  // Mirrored while enlarging, and vertically.
  auto big = TBitmap::Create(8, 1, 32);
  StretchBlt(*big, 8, 0, -8, 1, *src, 0, 0, 4, 1);
  EXPECT_EQ(RampIndexes(*big), (std::vector<int>{3, 3, 2, 2, 1, 1, 0, 0}));
  auto column = TBitmap::Create(1, 3, 24);
  for (int y = 0; y < 3; ++y) column->SetPixel(0, y, RGBColor(y + 1, 0, 0));
  auto flipped = TBitmap::Create(1, 3, 24);
  StretchBlt(*flipped, 0, 3, 1, -3, *column, 0, 0, 1, 3);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(flipped->GetPixel(0, y), RGBColor(3 - y, 0, 0));
}

TEST(StretchBlt, ClipsAgainstBothBitmaps) {
  auto src = Ramp(24, 4);
  auto dst = TBitmap::Create(4, 1, 24);
  // The destination rectangle is 8 wide starting at -2: only columns 0..3 exist.
  StretchBlt(*dst, -2, 0, 8, 1, *src, 0, 0, 4, 1);
  EXPECT_EQ(RampIndexes(*dst), (std::vector<int>{1, 1, 2, 2}));
  // Source rectangle partly outside src: those destination pixels are left alone.
  dst->Fill(clWhite);
  StretchBlt(*dst, 0, 0, 4, 1, *src, 2, 0, 4, 1);
  EXPECT_EQ(Pixels(*dst), (std::vector<TColor>{RGBColor(3, 0, 0), RGBColor(4, 0, 0), clWhite, clWhite}));
  // Huge rectangles stay cheap: only the destination's pixels are visited.
  dst->Fill(clWhite);
  StretchBlt(*dst, -2000000000, 0, 2100000000, 1, *src, 0, 0, 4, 1);
  EXPECT_EQ(Pixels(*dst), (std::vector<TColor>(4, RGBColor(4, 0, 0))));
  StretchBlt(*dst, 0, 0, 4, 1, *src, -2147483647, 0, 2147483647, 1);
  StretchBlt(*dst, 2147483647, 0, -2147483647, 1, *src, 0, 0, 2147483647, 1);
}

TEST(StretchBlt, AndOrModesCombineCollapsedPixels) {
  auto src = Row(24, {clBlack, clWhite, clWhite, clWhite});
  auto dst = TBitmap::Create(2, 1, 24);
  StretchBlt(*dst, 0, 0, 2, 1, *src, 0, 0, 4, 1, TRop::SrcCopy, TStretchMode::ColorOnColor);
  EXPECT_EQ(Pixels(*dst), (std::vector<TColor>{clWhite, clWhite}));
  StretchBlt(*dst, 0, 0, 2, 1, *src, 0, 0, 4, 1, TRop::SrcCopy, TStretchMode::BlackOnWhite);
  EXPECT_EQ(Pixels(*dst), (std::vector<TColor>{clBlack, clWhite}));
  auto inverse = Row(24, {clWhite, clBlack, clBlack, clBlack});
  StretchBlt(*dst, 0, 0, 2, 1, *inverse, 0, 0, 4, 1, TRop::SrcCopy, TStretchMode::WhiteOnBlack);
  EXPECT_EQ(Pixels(*dst), (std::vector<TColor>{clWhite, clBlack}));
  // Vertically too, on a mono destination.
  auto column = TBitmap::Create(1, 4, 1);
  column->Fill(clWhite);
  column->SetIndex(0, 3, 0);
  auto one = TBitmap::Create(1, 1, 1);
  StretchBlt(*one, 0, 0, 1, 1, *column, 0, 0, 1, 4, TRop::SrcCopy, TStretchMode::BlackOnWhite);
  EXPECT_EQ(one->GetIndex(0, 0), 0u);
  StretchBlt(*one, 0, 0, 1, 1, *column, 0, 0, 1, 4, TRop::SrcCopy, TStretchMode::ColorOnColor);
  EXPECT_EQ(one->GetIndex(0, 0), 1u);
}

TEST(StretchBlt, HalftoneAveragesTheCoveredArea) {
  auto src = TBitmap::Create(2, 2, 24);
  src->SetPixel(0, 0, clBlack);
  src->SetPixel(1, 0, clWhite);
  src->SetPixel(0, 1, RGBColor(100, 0, 0));
  src->SetPixel(1, 1, RGBColor(0, 0, 100));
  auto one = TBitmap::Create(1, 1, 24);
  StretchBlt(*one, 0, 0, 1, 1, *src, 0, 0, 2, 2, TRop::SrcCopy, TStretchMode::Halftone);
  EXPECT_EQ(one->GetPixel(0, 0), RGBColor(89, 64, 89));  // 355/4, 255/4, 355/4 rounded

  // 2 -> 3: the middle pixel covers a third of each source pixel.
  auto pair = Row(24, {clBlack, RGBColor(200, 100, 50)});
  auto three = TBitmap::Create(3, 1, 32);
  StretchBlt(*three, 0, 0, 3, 1, *pair, 0, 0, 2, 1, TRop::SrcCopy, TStretchMode::Halftone);
  EXPECT_EQ(Pixels(*three), (std::vector<TColor>{clBlack, RGBColor(100, 50, 25), RGBColor(200, 100, 50)}));

  // A uniform picture stays exact whatever the ratio.
  auto flat = TBitmap::Create(7, 5, 24);
  flat->Fill(RGBColor(13, 77, 201));
  auto small = TBitmap::Create(3, 2, 24);
  StretchBlt(*small, 0, 0, 3, 2, *flat, 0, 0, 7, 5, TRop::SrcCopy, TStretchMode::Halftone);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(small->GetPixel(x, y), RGBColor(13, 77, 201));
}

TEST(MaskedStretchBlt, KeepsDestinationUnderWhiteMask) {
  auto image = Row(24, {clRed, Green, clBlue, clWhite});
  auto mask = MonoRow({0, 1, 0, 1});
  auto dst = Row(24, {clGray, clGray, clGray, clGray});
  MaskedStretchBlt(*dst, 0, 0, 4, 1, *image, *mask, 0, 0, 4, 1);
  EXPECT_EQ(Pixels(*dst), (std::vector<TColor>{clRed, clGray, clBlue, clGray}));

  // Enlarged: each source pixel doubles, with its mask.
  auto wide = TBitmap::Create(8, 1, 32);
  wide->Fill(clGray);
  MaskedStretchBlt(*wide, 0, 0, 8, 1, *image, *mask, 0, 0, 4, 1);
  EXPECT_EQ(Pixels(*wide),
            (std::vector<TColor>{clRed, clRed, clGray, clGray, clBlue, clBlue, clGray, clGray}));

  // Shrunk: a destination pixel stays when any pixel collapsing into it is transparent.
  auto two = Row(24, {clGray, clGray});
  MaskedStretchBlt(*two, 0, 0, 2, 1, *image, *MonoRow({0, 1, 0, 0}), 0, 0, 4, 1);
  EXPECT_EQ(Pixels(*two), (std::vector<TColor>{clGray, clWhite}));

  // Mirrored, offset into the destination.
  auto mirrored = Row(24, {clGray, clGray, clGray, clGray, clGray});
  MaskedStretchBlt(*mirrored, 5, 0, -4, 1, *image, *mask, 0, 0, 4, 1);
  EXPECT_EQ(Pixels(*mirrored), (std::vector<TColor>{clGray, clGray, clBlue, clGray, clRed}));
}

TEST(MaskedStretchBlt, IndexedAndMonoDestinations) {
  // Kept pixels keep their raw index even where the table has duplicates.
  auto dst = TBitmap::Create(3, 1, 8);
  dst->SetColorTable(std::vector<TColor>(256, clGray));
  dst->SetIndex(0, 0, 40);
  dst->SetIndex(1, 0, 41);
  dst->SetIndex(2, 0, 42);
  auto image = Row(24, {clRed, clRed, clRed});
  MaskedStretchBlt(*dst, 0, 0, 3, 1, *image, *MonoRow({1, 0, 1}), 0, 0, 3, 1);
  EXPECT_EQ(Indexes(*dst), (std::vector<std::uint32_t>{40, 0, 42}));

  auto bits = MonoRow({1, 1, 0, 0});
  MaskedStretchBlt(*bits, 0, 0, 4, 1, *Row(24, {clBlack, clWhite, clBlack, clWhite}), *MonoRow({0, 0, 1, 1}), 0, 0,
                   4, 1);
  EXPECT_EQ(Indexes(*bits), (std::vector<std::uint32_t>{0, 1, 0, 0}));
}

TEST(MaskedStretchBlt, SmallerMaskCountsAsOpaque) {
  auto image = Row(24, {clRed, Green, clBlue});
  auto dst = Row(24, {clGray, clGray, clGray});
  MaskedStretchBlt(*dst, 0, 0, 3, 1, *image, *MonoRow({1}), 0, 0, 3, 1);
  EXPECT_EQ(Pixels(*dst), (std::vector<TColor>{clGray, Green, clBlue}));
}

TEST(MaskedStretchBlt, HalftoneAveragesOnlyOpaquePixels) {
  auto image = Row(24, {RGBColor(200, 0, 0), clWhite, RGBColor(100, 0, 0), RGBColor(0, 0, 0)});
  auto mask = MonoRow({0, 0, 0, 0});
  auto dst = Row(24, {clGray, clGray});
  MaskedStretchBlt(*dst, 0, 0, 2, 1, *image, *mask, 0, 0, 4, 1, TStretchMode::Halftone);
  EXPECT_EQ(Pixels(*dst), (std::vector<TColor>{RGBColor(228, 128, 128), RGBColor(50, 0, 0)}));
  // Enlarging 2 -> 3 with the first pixel transparent: the middle pixel straddles both, its
  // centre is on the opaque one, and only the opaque part enters the average.
  auto pair = Row(24, {clWhite, RGBColor(90, 0, 0)});
  auto three = Row(24, {clGray, clGray, clGray});
  MaskedStretchBlt(*three, 0, 0, 3, 1, *pair, *MonoRow({1, 0}), 0, 0, 2, 1, TStretchMode::Halftone);
  EXPECT_EQ(Pixels(*three), (std::vector<TColor>{clGray, RGBColor(90, 0, 0), RGBColor(90, 0, 0)}));
}

}  // namespace
}  // namespace korva
