// Block backgrounds and borders as drawn on the recording canvas: every border style, the ring
// behind gapped styles, the clamping of huge boxes, background colours and tiled pictures.
#include <gtest/gtest.h>

#include "BlockTestSupport.h"
#include "images/BitmapCache.h"
#include "layout/InlineList.h"

namespace korva::test {
namespace {

// One 40 x 20 block at the top left of the document, drawn whole.
std::string DrawBox(const std::string& style, TLayoutFixture& f) {
  TTreeBuilder t(f);
  t.Open("div", "width: 40px; height: 20px; " + style);
  t.Close();
  f.Layout(300);
  return f.Draw();
}

std::string DrawBox(const std::string& style) {
  TLayoutFixture f;
  return DrawBox(style, f);
}

TEST(BorderTest, EveryStyle) {
  struct TCase {
    const char* Name;
    const char* Style;
    const char* Drawn;
  } cases[] = {
      {"solid 1 pixel: lines", "border: 1px solid #808080",
       "Line 0,0 0,22 pen=#808080\n"
       "Line 0,0 42,0 pen=#808080\n"
       "Line 41,0 41,22 pen=#808080\n"
       "Line 0,21 42,21 pen=#808080\n"},
      {"solid 3 pixels: trapezoids", "border: 3px solid #808080",
       "Polygon n=4 (0,0 3,3 3,23 0,26) alternate pen=none brush=#808080\n"
       "Polygon n=4 (0,0 46,0 43,3 3,3) alternate pen=none brush=#808080\n"
       "Polygon n=4 (46,0 46,26 43,23 43,3) alternate pen=none brush=#808080\n"
       "Polygon n=4 (0,26 46,26 43,23 3,23) alternate pen=none brush=#808080\n"},
      {"double 3: a pixel, a gap, a pixel", "border: 3px double #808080",
       "Line 0,0 0,26 pen=#808080\n"
       "Line 2,2 2,24 pen=#808080\n"
       "Line 0,0 46,0 pen=#808080\n"
       "Line 2,2 44,2 pen=#808080\n"
       "Line 45,0 45,26 pen=#808080\n"
       "Line 43,2 43,24 pen=#808080\n"
       "Line 0,25 46,25 pen=#808080\n"
       "Line 2,23 44,23 pen=#808080\n"},
      {"double 5: thirds of 2, 1 and 2", "border: 5px double #808080; border-top-width: 0; border-bottom-width: 0",
       "Polygon n=4 (0,0 2,0 2,20 0,20) alternate pen=none brush=#808080\n"
       "Polygon n=4 (3,0 5,0 5,20 3,20) alternate pen=none brush=#808080\n"
       "Polygon n=4 (50,0 50,20 48,20 48,0) alternate pen=none brush=#808080\n"
       "Polygon n=4 (47,0 47,20 45,20 45,0) alternate pen=none brush=#808080\n"},
      {"dashed all round: one closed path", "border: 2px dashed #808080",
       "StrokePath (1,23 1,1 43,1 43,23 z) pen=#808080/2/dash/square/miter\n"},
      {"dotted top and right: one open path", "border: 2px solid #808080; border-top-style: dotted; "
                                              "border-right-style: dotted",
       "Polygon n=4 (0,0 2,2 2,22 0,24) alternate pen=none brush=#808080\n"
       "Polygon n=4 (0,24 44,24 42,22 2,22) alternate pen=none brush=#808080\n"
       "StrokePath (1,1 43,1 43,23) pen=#808080/2/dot/miter\n"},
      {"dashed sides of two colours: two paths", "border: 2px dashed #808080; border-bottom-color: #ff0000; "
                                                 "border-right-color: #ff0000",
       "StrokePath (1,23 1,1 43,1) pen=#808080/2/dash/square/miter\n"
       "StrokePath (43,1 43,23 1,23) pen=#FF0000/2/dash/square/miter\n"},
      {"inset: left and top darker", "border: 2px inset #808080",
       "Polygon n=4 (0,0 2,2 2,22 0,24) alternate pen=none brush=#606060\n"
       "Polygon n=4 (0,0 44,0 42,2 2,2) alternate pen=none brush=#606060\n"
       "Polygon n=4 (44,0 44,24 42,22 42,2) alternate pen=none brush=#808080\n"
       "Polygon n=4 (0,24 44,24 42,22 2,22) alternate pen=none brush=#808080\n"},
      {"outset: right and bottom darker", "border: 2px outset #808080",
       "Polygon n=4 (0,0 2,2 2,22 0,24) alternate pen=none brush=#808080\n"
       "Polygon n=4 (0,0 44,0 42,2 2,2) alternate pen=none brush=#808080\n"
       "Polygon n=4 (44,0 44,24 42,22 42,2) alternate pen=none brush=#606060\n"
       "Polygon n=4 (0,24 44,24 42,22 2,22) alternate pen=none brush=#606060\n"},
      {"groove: outer half dark on left and top, inner half on right and bottom", "border: 4px groove #808080",
       "Polygon n=4 (0,0 2,2 2,26 0,28) alternate pen=none brush=#606060\n"
       "Polygon n=4 (2,2 4,4 4,24 2,26) alternate pen=none brush=#808080\n"
       "Polygon n=4 (0,0 48,0 46,2 2,2) alternate pen=none brush=#606060\n"
       "Polygon n=4 (2,2 46,2 44,4 4,4) alternate pen=none brush=#808080\n"
       "Polygon n=4 (48,0 48,28 46,26 46,2) alternate pen=none brush=#808080\n"
       "Polygon n=4 (46,2 46,26 44,24 44,4) alternate pen=none brush=#606060\n"
       "Polygon n=4 (0,28 48,28 46,26 2,26) alternate pen=none brush=#808080\n"
       "Polygon n=4 (2,26 46,26 44,24 4,24) alternate pen=none brush=#606060\n"},
      {"ridge: the opposite", "border: 2px ridge #808080",
       "Line 0,0 0,24 pen=#808080\n"
       "Line 1,1 1,23 pen=#606060\n"
       "Line 0,0 44,0 pen=#808080\n"
       "Line 1,1 43,1 pen=#606060\n"
       "Line 43,0 43,24 pen=#606060\n"
       "Line 42,1 42,23 pen=#808080\n"
       "Line 0,23 44,23 pen=#606060\n"
       "Line 1,22 43,22 pen=#808080\n"},
      {"a side without a colour takes the text colour", "border-style: solid; border-width: 1px; color: #00ff00",
       "Line 0,0 0,22 pen=#00FF00\n"
       "Line 0,0 42,0 pen=#00FF00\n"
       "Line 41,0 41,22 pen=#00FF00\n"
       "Line 0,21 42,21 pen=#00FF00\n"},
      {"none", "border: 3px none #808080", ""},
      {"transparent sides", "border: 3px solid transparent", ""},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(std::string(c.Drawn), DrawBox(c.Style)) << c.Name;
}

TEST(BorderTest, GappedStylesShowTheBackgroundBetweenTheirLines) {
  EXPECT_EQ("FillRect 3,3,43,23 #FFFFFF\n"
            "FillPath (0,0 46,0 46,26 0,26 z) (3,3 43,3 43,23 3,23 z) brush=#FFFFFF\n"
            "Line 0,0 0,26 pen=#808080\n"
            "Line 2,2 2,24 pen=#808080\n"
            "Line 0,0 46,0 pen=#808080\n"
            "Line 2,2 44,2 pen=#808080\n"
            "Line 45,0 45,26 pen=#808080\n"
            "Line 43,2 43,24 pen=#808080\n"
            "Line 0,25 46,25 pen=#808080\n"
            "Line 2,23 44,23 pen=#808080\n",
            DrawBox("border: 3px double #808080; background-color: #ffffff"));
  // Solid borders need no ring.
  EXPECT_EQ(std::string::npos, DrawBox("border: 3px solid #808080; background-color: #ffffff").find("FillPath"));
}

TEST(BorderTest, HugeBoxesAreCutToTheVisibleArea) {
  // Scrolled 1000 pixels down a box 10,000 high: nothing is drawn above -200 or below 5000
  // (device coordinates); the top and bottom sides lie wholly outside.
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Open("div", "width: 40px; height: 10000px; border: 3px solid #808080");
  t.Close();
  f.Layout(300);
  f.Canvas.SetOrigin(0, -1000);
  EXPECT_EQ("Polygon n=4 (0,-200 3,-200 3,5000 0,5000) alternate pen=none brush=#808080\n"
            "Polygon n=4 (46,-200 46,5000 43,5000 43,-200) alternate pen=none brush=#808080\n",
            f.Draw({0, 1000, 300, 1600}));
}

TEST(BorderTest, DarkeningRoundsEachChannel) {
  EXPECT_EQ(RGBColor(96, 1, 191), DarkenColor(RGBColor(128, 1, 255)));  // 96, 0.75, 191.25
  EXPECT_EQ(RGBColor(2, 4, 8), DarkenColor(RGBColor(3, 5, 11) | PaletteMatchFlag));  // 2.25, 3.75, 8.25
  EXPECT_EQ(clNone, DarkenColor(clNone));
}

TEST(BorderTest, BackgroundColourFillsThePaddingBox) {
  EXPECT_EQ("FillRect 2,2,62,32 #FF0000\n"
            "Line 1,1 1,33 pen=#000000\n"
            "Line 1,1 63,1 pen=#000000\n"
            "Line 62,1 62,33 pen=#000000\n"
            "Line 1,32 63,32 pen=#000000\n",
            DrawBox("background-color: #ff0000; padding: 5px 10px; border: 1px solid black; margin: 1px"));
}

// A picture in the document's cache under a name.
void CachePicture(TLayoutFixture& f, const char* name, int w, int h, bool masked) {
  TImageGraphic g;
  g.Bitmap = TBitmap::Create(w, h, 24);
  TBitmapPtr mask = masked ? TBitmapPtr(TBitmap::Create(w, h, 1)) : nullptr;
  f.Doc.ImageCache().AddEntry(ImageCacheKey(name), std::make_unique<TBitmapItem>(g, mask, masked ? trGifMask : trNone));
}

TEST(BorderTest, BackgroundPicturesTileOverThePaddingBox) {
  struct TCase {
    const char* Name;
    const char* Style;
    int W, H;
    bool Masked;
    const char* Drawn;
  } cases[] = {
      {"centred once", "background-repeat: no-repeat; background-position: center", 10, 8, false,
       "BitBlt 45,11 10x8 from 24bpp 10x8 at 0,0 SrcCopy\n"},
      {"from the right edge, once", "background-repeat: no-repeat; background-position: right bottom", 10, 8, false,
       "BitBlt 90,22 10x8 from 24bpp 10x8 at 0,0 SrcCopy\n"},
      {"across: a small picture repeated into a larger tile first", "background-repeat: repeat-x", 10, 8, false,
       "BitBlt 0,0 70x8 from 24bpp 70x8 at 0,0 SrcCopy\n"
       "BitBlt 70,0 70x8 from 24bpp 70x8 at 0,0 SrcCopy\n"},
      {"a 1-pixel line stretched before tiling", "", 1, 40, false,
       "BitBlt 0,0 100x80 from 24bpp 100x80 at 0,0 SrcCopy\n"},
      {"transparent: through its mask", "background-repeat: repeat-y; background-position: 5px 0", 30, 20, true,
       "MaskedStretchBlt 5,0 30x80 from 24bpp 30x80 mask 1bpp at 0,0 30x80\n"},
  };
  for (const TCase& c : cases) {
    TLayoutFixture f;
    CachePicture(f, "tile.bmp", c.W, c.H, c.Masked);
    std::string style = std::string("width: 100px; height: 30px; background-image: url(tile.bmp); ") + c.Style;
    EXPECT_EQ(std::string("Save\nIntersectClip 0,0,100,30\n") + c.Drawn + "Restore\n",
              DrawBox(style, f))
        << c.Name;
  }
}

TEST(BorderTest, OnlyThePartInTheClipIsTiled) {
  TLayoutFixture f;
  CachePicture(f, "tile.bmp", 100, 100, false);
  TTreeBuilder t(f);
  t.Open("div", "height: 1000px; background-image: url(tile.bmp)");
  t.Close();
  f.Layout(100);
  EXPECT_EQ("Save\n"
            "IntersectClip 0,450,100,520\n"
            "BitBlt 0,400 100x100 from 24bpp 100x100 at 0,0 SrcCopy\n"
            "BitBlt 0,500 100x100 from 24bpp 100x100 at 0,0 SrcCopy\n"
            "Restore\n",
            f.Draw({0, 450, 100, 520}));
}

TEST(BorderTest, AMissingPictureIsDroppedQuietly) {
  EXPECT_EQ("", DrawBox("background-image: url(no-such-picture.bmp)"));
}

// Maps source positions to document positions as text sections do (every other byte is markup).
class THalfPositions : public TSectionBase {
 public:
  using TSectionBase::TSectionBase;
  int DocPosOf(int sourcePos, bool) override { return sourcePos / 2; }
};

TEST(InlineBorderTest, RangesBecomeDocumentPositionsAndSplitIntoLines) {
  TLayoutFixture f;
  f.Doc.AddSection(std::make_unique<THalfPositions>(&f.Doc));
  TProperties& outer = f.Push("span", "border: 2px solid red; padding: 10%");
  TProperties& inner = f.Push("b", "border: 1px dashed blue");
  TProperties& empty = f.Push("i", "border: 1px solid");
  TInlineList list(&f.Doc);
  list.AddStart(10, outer, 16, 8);
  list.AddStart(20, inner, 16, 8);
  list.AddEnd(30, inner.FSerial);
  list.AddStart(50, empty, 16, 8);
  list.AddEnd(50, empty.FSerial);
  list.AddEnd(40, outer.FSerial);
  f.Pop("i");
  f.Pop("b");
  f.Pop("span");

  EXPECT_EQ(5, list.StartB(0));
  EXPECT_EQ(20, list.EndB(0));
  EXPECT_EQ(10, list.StartB(1));
  EXPECT_EQ(15, list.EndB(1));
  EXPECT_EQ(24, list.StartB(2));  // an empty range keeps one position
  EXPECT_EQ(25, list.EndB(2));
  EXPECT_EQ(TInlineList::OutOfRange, list.StartB(3));
  EXPECT_EQ(TInlineList::OutOfRange, list.EndB(-1));
  const TBoxValues& box = list[0]->MargArray;
  EXPECT_EQ(20, box[piPaddingLeft]);  // 10% of 200
  EXPECT_EQ(2, box[piBorderTopWidth]);
  EXPECT_EQ(int(bssSolid), box[piBorderLeftStyle]);

  std::vector<BorderRec> pieces;
  list.BordersForLine(8, 18, pieces);
  ASSERT_EQ(2u, pieces.size());
  EXPECT_EQ(8, pieces[0].BStart);
  EXPECT_EQ(18, pieces[0].BEnd);
  EXPECT_TRUE(pieces[0].OpenStart);
  EXPECT_TRUE(pieces[0].OpenEnd);
  EXPECT_EQ(10, pieces[1].BStart);
  EXPECT_EQ(15, pieces[1].BEnd);
  EXPECT_FALSE(pieces[1].OpenStart);
  EXPECT_FALSE(pieces[1].OpenEnd);
  EXPECT_EQ(int(bssDashed), pieces[1].MargArray[piBorderTopStyle]);
  pieces.clear();
  list.BordersForLine(20, 24, pieces);  // the outer one has ended, the empty one not begun
  EXPECT_TRUE(pieces.empty());
}

}  // namespace
}  // namespace korva::test
