// Vector pictures in the flow: inline SVG markup filed with the document, sized from the picture
// or the attributes, and drawn from a rendering at the drawn size.
#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "layout/ImageObj.h"
#include "layout/LayoutDump.h"
#include "layout/Tiling.h"
#include "platform/Canvas.h"
#include "platform/System.h"

namespace korva::test {
namespace {

// 20 x 20: a red triangle over the top-left half (below the diagonal x + y = 20), nothing else.
const std::string Triangle =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20\" height=\"20\" viewBox=\"0 0 2 2\">"
    "<path d=\"M0 0 L2 0 L0 2 Z\" fill=\"#ff0000\"/></svg>";

std::unique_ptr<TImageObj> InlineImage(TImageDoc& t, const std::string& markup,
                                       std::initializer_list<std::pair<TSymbol, std::string>> more = {}) {
  const std::string name = t.Doc.AddInlineImage(markup);
  auto attrs = Attrs(more);
  std::string attrName;
  attrs->Add(sySrc, attrName, 0, name);
  return std::make_unique<TImageObj>(&t.Doc, *attrs, 0);
}

struct TPage {
  std::unique_ptr<TBitmap> Bitmap = TBitmap::Create(100, 100, 24);
  std::unique_ptr<TCanvas> Canvas;
  TPage() {
    Bitmap->Fill(clWhite);
    Canvas = CreateBitmapCanvas(*Bitmap);
  }
};

class VectorImageObj : public ::testing::Test {
 protected:
  int SavedBits = ScreenColorBits();
  void SetUp() override { SetScreenColorBits(24); }
  void TearDown() override { SetScreenColorBits(SavedBits); }
};

TEST_F(VectorImageObj, InlineSvgTakesItsIntrinsicSize) {
  TImageDoc t;
  auto img = InlineImage(t, Triangle);
  img->ComputeSize(t.Canvas, 0, 300, false);
  EXPECT_EQ(img->ShownWidth(), 20);
  EXPECT_EQ(img->ShownHeight(), 20);
  ASSERT_TRUE(img->Vector());
  EXPECT_FALSE(img->IsPlaceholder());
  TDumpWriter dump;
  img->Dump(dump, 0);
  const std::string text = dump.Text();
  EXPECT_NE(text.find(" vector"), std::string::npos) << text;

  TPage page;
  img->DrawAt(*page.Canvas, 10, 10, false);
  EXPECT_EQ(page.Bitmap->GetPixel(10, 10), RGBColor(255, 0, 0));
  EXPECT_EQ(page.Bitmap->GetPixel(27, 11), RGBColor(255, 0, 0));
  EXPECT_EQ(page.Bitmap->GetPixel(29, 29), clWhite);  // transparent: the page shows through
  EXPECT_EQ(page.Bitmap->GetPixel(9, 9), clWhite);
}

TEST_F(VectorImageObj, DrawnSizeIsRenderedNotStretched) {
  TImageDoc t;
  auto img = InlineImage(t, Triangle, {{syWidth, "40"}, {syHeight, "40"}});
  img->ComputeSize(t.Canvas, 0, 300, false);
  ASSERT_EQ(img->ShownWidth(), 40);
  TPage page;
  img->DrawAt(*page.Canvas, 0, 0, false);
  // Pixel (38, 0) lies wholly inside the triangle at 40 x 40; stretched from 20 x 20 it would
  // come from the edge pixel (19, 0), which the diagonal cuts in half.
  EXPECT_EQ(page.Bitmap->GetPixel(38, 0), RGBColor(255, 0, 0));
  EXPECT_EQ(page.Bitmap->GetPixel(0, 38), RGBColor(255, 0, 0));
  const TColor edge = page.Bitmap->GetPixel(39, 0);  // cut in half by the diagonal: blended
  EXPECT_EQ(GetRValue(edge), 255);
  EXPECT_GT(GetGValue(edge), 64);
  EXPECT_LT(GetGValue(edge), 192);
  EXPECT_EQ(page.Bitmap->GetPixel(39, 39), clWhite);
  EXPECT_EQ(page.Bitmap->GetPixel(40, 0), clWhite);  // nothing beyond the box

  // Drawn again at another size after a new layout: a new rendering.
  img->WantedWidth = 10;
  img->WantedHeight = 10;
  img->SizeSettled = false;
  img->ComputeSize(t.Canvas, 0, 300, false);
  ASSERT_EQ(img->ShownWidth(), 10);
  TPage small;
  img->DrawAt(*small.Canvas, 0, 0, false);
  EXPECT_EQ(small.Bitmap->GetPixel(0, 0), RGBColor(255, 0, 0));
  EXPECT_EQ(small.Bitmap->GetPixel(9, 9), clWhite);
  EXPECT_EQ(small.Bitmap->GetPixel(12, 0), clWhite);
}

TEST_F(VectorImageObj, DamagedSvgShowsTheErrorPicture) {
  TImageDoc t;
  auto img = InlineImage(t, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20\"><path d=\"M0 0\"", {{syAlt, "x"}});
  img->ComputeSize(t.Canvas, 0, 300, false);
  EXPECT_TRUE(img->IsPlaceholder());
  EXPECT_FALSE(img->Vector());
  TDumpWriter dump;
  img->Dump(dump, 0);
  const std::string text = dump.Text();
  EXPECT_NE(text.find(" error"), std::string::npos) << text;
}

// Background tiles of pictures with alpha stay alpha until drawn, so the page shows through.
TEST_F(VectorImageObj, AlphaTilesBlendWhenDrawn) {
  TImageDoc t;
  const std::string name = t.Doc.AddInlineImage(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"2\" height=\"1\"><rect width=\"1\" height=\"1\" "
      "fill=\"#0000ff\"/></svg>");
  TransparencyMode mode = trNone;
  TFetchResult r = t.Doc.FetchImage(name, mode);
  ASSERT_TRUE(r.Image.Vector && r.Image.Bitmap);
  std::shared_ptr<TBitmap> tile = ReplicateTile(*r.Image.Bitmap, 3, 2);
  ASSERT_TRUE(tile && tile->HasAlpha());
  TBitmapPtr stretched = PrepareTile(r.Image, 10, 7);  // the 1-pixel height is stretched to 7
  ASSERT_TRUE(stretched && stretched->HasAlpha());
  EXPECT_EQ(stretched->Height(), 7);
  TPage page;
  page.Bitmap->Fill(RGBColor(0, 128, 0));
  page.Canvas->BitBlt(0, 0, tile->Width(), tile->Height(), *tile, 0, 0);
  for (int x = 0; x < 6; ++x)
    EXPECT_EQ(page.Bitmap->GetPixel(x, 1), x % 2 ? RGBColor(0, 128, 0) : RGBColor(0, 0, 255)) << x;
}

}  // namespace
}  // namespace korva::test
