#include <gtest/gtest.h>

#include <set>

#include "TestUtil.h"
#include "images/ColorReduction.h"
#include "images/DisplayState.h"

namespace korva {
namespace {

std::unique_ptr<TBitmap> Solid(int w, int h, TColor c) {
  std::unique_ptr<TBitmap> b = TBitmap::Create(w, h, 24);
  b->Fill(c);
  return b;
}

TEST(ColorReduction, OneColourOfThePaletteHasNoDitherNoise) {
  std::unique_ptr<TBitmap> src = Solid(17, 9, RGBColor(51, 102, 153));
  std::unique_ptr<TBitmap> out = ReduceColors(*src, pmWeb, dmFloydSteinberg);
  ASSERT_EQ(out->BitsPerPixel(), 8);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 17; ++x) ASSERT_EQ(out->GetIndex(x, y), 1u * 36 + 2 * 6 + 3);
  EXPECT_EQ(out->GetPixel(3, 3), RGBColor(51, 102, 153));

  std::unique_ptr<TBitmap> shared = ReduceColors(*Solid(8, 8, RGBColor(165, 205, 235)), pmShared, dmFloydSteinberg);
  std::set<std::uint32_t> used;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) used.insert(shared->GetIndex(x, y));
  EXPECT_EQ(used.size(), 1u);
  EXPECT_EQ(shared->GetPixel(0, 0), RGBColor(165, 205, 235));
}

TEST(ColorReduction, MidGreyDithersBetweenTheTwoNearestLevels) {
  std::unique_ptr<TBitmap> src = Solid(64, 64, RGBColor(128, 128, 128));
  std::unique_ptr<TBitmap> out = ReduceColors(*src, pmWeb, dmFloydSteinberg);
  long sum = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      TColor c = out->GetPixel(x, y);
      ASSERT_TRUE(c == RGBColor(102, 102, 102) || c == RGBColor(153, 153, 153)) << std::hex << c;
      sum += GetRValue(c);
    }
  EXPECT_NEAR(double(sum) / (64 * 64), 128.0, 0.5);
  // Without dithering every pixel takes the nearest level.
  std::unique_ptr<TBitmap> plain = ReduceColors(*src, pmWeb, dmNearest);
  EXPECT_EQ(plain->GetPixel(10, 10), RGBColor(102, 102, 102));
}

TEST(ColorReduction, WebLookupLevels) {
  TNetscapeColorLookup web;
  EXPECT_EQ(web.EntryCount(), 216);
  auto level = [&](int v) {
    int r = v, g = 0, b = 0;
    return web.NearestIndex(r, g, b) / 36;
  };
  EXPECT_EQ(level(0), 0);
  EXPECT_EQ(level(47), 0);
  EXPECT_EQ(level(48), 1);
  EXPECT_EQ(level(98), 1);
  EXPECT_EQ(level(99), 2);
  EXPECT_EQ(level(252), 5);
  EXPECT_EQ(level(255), 5);
  int r = 200, g = 30, b = 130;
  EXPECT_EQ(web.NearestIndex(r, g, b), 3 * 36 + 0 * 6 + 2);
  EXPECT_EQ(r, 153);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 102);
  TPalette p = MakeWebPalette();
  ASSERT_EQ(p.Count(), 216);
  EXPECT_EQ(p.ColorAt(4 * 36 + 3), RGBColor(204, 0, 153));
}

TEST(ColorReduction, FastLookupFirstEntryOfACellAndNearestBySum) {
  TPalette p({{0, 0, 0, 0}, {1, 1, 1, 0}, {100, 0, 0, 0}, {0, 90, 0, 0}, {0, 0, 200, 0}});
  TFastColorLookup lookup(p);
  EXPECT_EQ(lookup.EntryCount(), 5);
  int r = 1, g = 1, b = 1;
  EXPECT_EQ(lookup.NearestIndex(r, g, b), 0);  // same 15-bit cell as entry 0, which came first
  r = 60, g = 40, b = 0;                       // sums: 100, 40 + 50 = 90 to entry 2 is 40 + 40 = 80
  EXPECT_EQ(lookup.NearestIndex(r, g, b), 2);
  EXPECT_EQ(r, 100);
  r = 80, g = 75, b = 0;  // 95 to both 2 and 3: the earlier wins
  EXPECT_EQ(lookup.NearestIndex(r, g, b), 2);
}

TEST(ColorReduction, SerpentineRowsAndWidthOne) {
  TNetscapeColorLookup web;
  TDitherEngine e(3, web);
  int r, g, b;
  EXPECT_EQ(e.Cursor(), 0);
  for (int i = 0; i < 3; ++i) e.MapPixel(0, 0, 0, r, g, b);
  e.EndRow();
  EXPECT_EQ(e.StepSign(), -1);
  EXPECT_EQ(e.Cursor(), 2);
  e.EndRow();
  EXPECT_EQ(e.Cursor(), 0);

  // A one-pixel-wide column keeps its error inside the three-cell rows (the sanitizer build
  // checks the bounds); only the share for the cell below survives, so the column settles on
  // the nearer level.
  std::unique_ptr<TBitmap> col = Solid(1, 40, RGBColor(128, 60, 200));
  std::unique_ptr<TBitmap> out = ReduceColors(*col, pmWeb, dmFloydSteinberg);
  for (int y = 0; y < 40; ++y) EXPECT_EQ(GetRValue(out->GetPixel(0, y)), 102) << y;
}

TEST(ColorReduction, ModesAndFormats) {
  std::unique_ptr<TBitmap> src = TBitmap::Create(4, 2, 8);
  std::vector<TColor> table(256, clBlack);
  table[1] = RGBColor(255, 0, 0);
  src->SetColorTable(table);
  src->SetIndex(1, 1, 1);
  std::unique_ptr<TBitmap> copy = ReduceColors(*src, pmNone, dmFloydSteinberg);
  EXPECT_EQ(copy->BitsPerPixel(), 24);
  EXPECT_EQ(copy->GetPixel(1, 1), RGBColor(255, 0, 0));
  EXPECT_EQ(src->BitsPerPixel(), 8);  // the source is left as it is

  std::unique_ptr<TBitmap> odd = ReduceColors(*src, 2, dmFloydSteinberg);
  EXPECT_EQ(odd->BitsPerPixel(), 8);
  EXPECT_FALSE(odd->Palette());
  std::unique_ptr<TBitmap> noDither = ReduceColors(*src, pmWeb, 7);
  ASSERT_TRUE(noDither->Palette());
  EXPECT_EQ(noDither->GetIndex(1, 1), 0u);

  std::unique_ptr<TBitmap> stock = ReduceColors(*src, pmStockDefault, dmFloydSteinberg);
  EXPECT_EQ(stock->Palette()->Count(), TPalette::SystemStatic20().Count());
  EXPECT_EQ(stock->GetPixel(1, 1), RGBColor(255, 0, 0));
  EXPECT_THROW(TDIBWriter(*src, pf24bit), GIFException);
  TDIBWriter w(*stock, pf8bit);
  EXPECT_THROW(w.RowAddress(2), EInvalidGraphicOperation);
}

TEST(ColorReduction, SharedPaletteLayout) {
  TPalette p = BuildGlobalPalette();
  ASSERT_EQ(p.Count(), 256);
  EXPECT_EQ(p.ColorAt(10), RGBColor(55, 55, 55));
  EXPECT_EQ(p.ColorAt(11), RGBColor(115, 55, 55));   // red varies fastest
  EXPECT_EQ(p.ColorAt(16), RGBColor(55, 115, 55));
  EXPECT_EQ(p.ColorAt(46), RGBColor(55, 55, 115));   // blue slowest
  EXPECT_EQ(p.ColorAt(224), RGBColor(235, 255, 255));  // white is left out
  EXPECT_EQ(p.ColorAt(225), RGBColor(135, 135, 135));
  EXPECT_EQ(p.ColorAt(230), RGBColor(160, 160, 160));
  EXPECT_EQ(p.ColorAt(231), RGBColor(170, 170, 170));  // 165 is skipped
  EXPECT_EQ(p.ColorAt(244), RGBColor(245, 245, 245));
  EXPECT_EQ(p.ColorAt(245), RGBColor(255, 255, 254));
  TPalette statics = TPalette::SystemStatic20();
  EXPECT_EQ(p.Entries()[0], statics.Entries()[0]);
  EXPECT_EQ(p.Entries()[255], statics.Entries()[19]);
  {
    test::TScreenBitsScope eight(8);
    ASSERT_TRUE(GlobalPalette());
    TPalettePtr copy = CopyGlobalPalette();
    EXPECT_NE(copy.get(), GlobalPalette().get());
    EXPECT_EQ(copy->Entries(), GlobalPalette()->Entries());
  }
  test::TScreenBitsScope deep(24);
  EXPECT_FALSE(GlobalPalette());
}

TEST(ColorReduction, OctreePalette) {
  std::unique_ptr<TBitmap> src = TBitmap::Create(3, 2, 24);
  src->SetPixel(0, 0, RGBColor(200, 10, 10));
  src->SetPixel(1, 0, RGBColor(10, 200, 10));
  src->SetPixel(2, 0, RGBColor(10, 10, 200));
  src->SetPixel(0, 1, RGBColor(200, 10, 10));
  TPalette free4 = MakeOptimisedPalette(*src, 4, 8, false);
  ASSERT_EQ(free4.Count(), 4);
  std::set<TColor> colors;
  for (int i = 0; i < 4; ++i) colors.insert(free4.ColorAt(i));
  EXPECT_TRUE(colors.count(RGBColor(200, 10, 10)) && colors.count(RGBColor(10, 200, 10)) &&
              colors.count(RGBColor(10, 10, 200)) && colors.count(clBlack));
  TPalette reserved = MakeOptimisedPalette(*src, 256, 8, true);
  ASSERT_EQ(reserved.Count(), 256);
  TPalette statics = TPalette::SystemStatic20();
  EXPECT_EQ(reserved.Entries()[9], statics.Entries()[9]);
  EXPECT_EQ(reserved.Entries()[245], statics.Entries()[10]);
  // Depth-first order of the first level's children: black (0), blue (1), green (2), red (4).
  EXPECT_EQ(reserved.ColorAt(10), clBlack);
  EXPECT_EQ(reserved.ColorAt(11), RGBColor(10, 10, 200));
  EXPECT_EQ(reserved.ColorAt(12), RGBColor(10, 200, 10));
  EXPECT_EQ(reserved.ColorAt(13), RGBColor(200, 10, 10));

  // Many colours fold into at most the maximum.
  std::unique_ptr<TBitmap> ramp = TBitmap::Create(64, 64, 24);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) ramp->SetPixel(x, y, RGBColor(x * 4, y * 4, (x + y) * 2));
  TColorQuantizer q(16, 8);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) q.AddColor(x * 4, y * 4, (x + y) * 2);
  EXPECT_LE(q.LeafCount(), 16);
  EXPECT_EQ(int(q.Colors().size()), q.LeafCount());
  std::unique_ptr<TBitmap> opt = ReduceColors(*ramp, pmOptimised, dmFloydSteinberg);
  EXPECT_EQ(opt->Palette()->Count(), 256);
}

}  // namespace
}  // namespace korva
