// List items: marker styles, numbers, letters and numerals, bullet geometry, marker pictures,
// and the room a list keeps for its markers beside floats.
#include <gtest/gtest.h>

#include "BlockTestSupport.h"
#include "images/BitmapCache.h"

namespace korva::test {
namespace {

TEST(ListTest, NumbersLettersAndNumerals) {
  struct TCase {
    char Type;
    int Number;
    const char16_t* Text;
  } cases[] = {
      {'1', 3, u"3."},   {'a', 1, u"a."},   {'a', 26, u"z."},     {'a', 27, u"z."},   {'A', 28, u"Z."},
      {'i', 4, u"iv."},  {'I', 9, u"IX."},  {'I', 20, u"XX."},    {'I', 21, u"XX."},  {'i', 14, u"xiv."},
      {'I', 0, u"0."},   {'a', -2, u"-2."}, {'x', 7, u"7."},
  };
  for (const TCase& c : cases) {
    TLayoutFixture f;
    TTreeBuilder t(f);
    TBlockLI* li = t.Item(syOl, c.Number, 1, c.Type);
    EXPECT_EQ(std::u16string(c.Text), li->MarkerText()) << c.Type << c.Number;
    t.Close();
  }
}

TEST(ListTest, NumberedMarkersStandRightAlignedOnTheBaseline) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  t.Open("ol");
  t.Item(syOl, 27, 1, 'a');
  t.Line();
  t.Close();
  t.Item(syOl, 21, 1, 'I', "color: #0000ff");
  t.Line();
  t.Close();
  t.Item(syOl, 5, 1, '1');
  t.Close();  // no text line: no marker
  t.Close();
  t.Close();
  f.Layout(300);
  EXPECT_EQ("TextOut 25,13 \"z.\" w=16 font=Times New Roman/-16 color=#000000 bk=transparent align=right+baseline\n"
            "TextOut 25,29 \"XX.\" w=24 font=Times New Roman/-16 color=#0000FF bk=transparent align=right+baseline\n",
            f.Draw());
  // Only the items that meet the area drawn draw their markers.
  EXPECT_EQ("", f.Draw({0, 80, 300, 200}));
  std::string lower = f.Draw({0, 30, 300, 200});
  EXPECT_EQ(std::string::npos, lower.find("\"z.\"")) << lower;
  EXPECT_NE(std::string::npos, lower.find("\"XX.\"")) << lower;
}

TEST(ListTest, BulletsByNestingLevel) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  t.Open("ul");
  t.Item(syUl, 1, 1);  // disc
  t.Line();
  t.Open("ul");
  t.Item(syUl, 1, 2, '1', "color: #ff0000");  // circle
  t.Line();
  t.Open("ul");
  t.Item(syUl, 1, 3);  // square
  t.Line();
  for (int i = 0; i < 7; ++i) t.Close();
  f.Layout(300);
  // An item draws its marker after its content, so the innermost comes first.
  EXPECT_EQ("FillRect 90,39,95,44 #FF0000\n"  // the colour is inherited
            "Ellipse 54,22,61,29 pen=#FF0000 brush=none\n"
            "Ellipse 20,7,25,12 pen=#000000 brush=#000000\n",
            f.Draw());
}

TEST(ListTest, WhichItemsHaveMarkers) {
  struct TCase {
    const char* Name;
    TSymbol Kind;
    std::string_view ListStyle;
    bool Plain;
    TListStyleCode Expected;
  } cases[] = {
      {"plain unordered list", syUl, "", true, lsNone},
      {"definition list", syDl, "", false, lsNone},
      {"menu at level 1", syMenu, "", false, lsDisc},
      {"style overrides the list", syUl, "list-style-type: decimal", false, lsDecimal},
      {"style overrides an ordered list", syOl, "list-style-type: circle", false, lsCircle},
      {"outside any list", syUnknownTag, "", false, lsDisc},
  };
  for (const TCase& c : cases) {
    TLayoutFixture f;
    TTreeBuilder t(f);
    TProperties& p = f.Push("li", c.ListStyle);
    TBlockLI li(&f.Doc, nullptr, &f.Doc, p, c.Kind, 1, 1, '1', c.Plain);
    EXPECT_EQ(c.Expected, li.ListStyleType()) << c.Name;
    f.Pop("li");
  }
}

TEST(ListTest, AnItemOutsideAListKeepsRoomForItsBullet) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TBlockLI* bare = t.Item(syUnknownTag, 1);
  t.Line();
  t.Close();
  TBlockLI* given = t.Item(syUnknownTag, 1, 1, '1', "margin-left: 30px");
  t.Line();
  t.Close();
  t.Close();
  f.Layout(300);
  EXPECT_EQ(16, bare->FContentLeft);
  EXPECT_EQ(30, given->FContentLeft);
}

TEST(ListTest, MarkersKeepClearOfALeftFloat) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  t.Open("div", "float: left; width: 100px; height: 60px");
  t.Close();
  t.Open("ul");
  t.Item(syUl, 1, 1);
  t.Line();
  t.Close();
  t.Close();
  t.Close();
  ExpectDump("list-beside-float", f.Layout(400));
  // The disc stands 15 pixels left of the content, clear of the float's right edge at 100.
  EXPECT_NE(std::string::npos, f.Draw().find("Ellipse 120,21,125,26"));
}

TEST(ListTest, MarkerPicture) {
  TLayoutFixture f;
  std::shared_ptr<TBitmap> dot = TBitmap::Create(4, 3, 24);
  TImageGraphic g;
  g.Bitmap = dot;
  f.Doc.ImageCache().AddEntry(ImageCacheKey("dot.bmp"), std::make_unique<TBitmapItem>(g, nullptr, trNone));
  TTreeBuilder t(f);
  t.Body("margin: 0");
  t.Open("ul", "list-style-image: url(dot.bmp)");
  t.Item(syUl, 1, 1);
  t.Line();
  t.Close();
  t.Item(syUl, 2, 1, '1', "list-style-image: url(missing-picture.bmp)");  // falls back to the bullet
  t.Line();
  t.Close();
  t.Close();
  t.Close();
  f.Layout(300);
  EXPECT_EQ("BitBlt 19,10 4x3 from 24bpp 4x3 at 0,0 SrcCopy\n"
            "Ellipse 20,23,25,28 pen=#000000 brush=#000000\n",
            f.Draw());
  // The item holds the cached picture until it goes.
  int index = f.Doc.ImageCache().IndexOf(ImageCacheKey("dot.bmp"));
  ASSERT_GE(index, 0);
  EXPECT_EQ(2, f.Doc.ImageCache().Item(index)->Holders);
  f.Doc.Clear();
  EXPECT_EQ(1, f.Doc.ImageCache().Item(index)->Holders);
}

}  // namespace
}  // namespace korva::test
