// How image objects keep what they hold: texts shared between images, the mask and print copy
// in a record only some images have, and print copies that outlive their original.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>

#include "ImageTestSupport.h"
#include "layout/ImageObj.h"
#include "layout/TextObject.h"

namespace korva::test {
namespace {

std::unique_ptr<TImageObj> MakeImage(TSectionList& doc, std::initializer_list<std::pair<TSymbol, std::string>> items) {
  auto attrs = Attrs(items);
  return std::make_unique<TImageObj>(&doc, *attrs, 0);
}

TEST(ImageStorage, ImagesOfAPageShareTheirTextsAndGiveThemBack) {
  TImageDoc t;
  const std::size_t base = TSharedText::LiveCount();
  std::vector<std::unique_ptr<TImageObj>> icons;
  for (int i = 0; i < 200; ++i)
    icons.push_back(MakeImage(t.Doc, {{sySrc, "icon_func.gif"}, {syAlt, "function"}, {syUsemap, "#nav"}}));
  // The name, the alt text (the hint is the same text) and the map name, each held once.
  EXPECT_EQ(TSharedText::LiveCount(), base + 3);
  EXPECT_EQ(icons[0]->AltText.str().data(), icons[199]->AltText.str().data());
  EXPECT_EQ(icons[7]->TitleText().data(), icons[7]->AltText.str().data());
  EXPECT_EQ(icons[5]->ClientMapName, "NAV");
  icons.resize(1);
  EXPECT_EQ(icons[0]->SourceName, "icon_func.gif");
  icons.clear();
  EXPECT_EQ(TSharedText::LiveCount(), base);
}

TEST(ImageStorage, PrintCopiesKeepTextsAndMaskWhenTheOriginalGoes) {
  TImageDoc t;
  t.Host.AddBitmap("holes.bmp", 4, 2, clWhite, clWhite);
  auto original = MakeImage(t.Doc, {{sySrc, "holes.bmp"}, {syAlt, "see through"}, {syTitle, "tip"}});
  original->ComputeSize(t.Canvas, 0, 300, false);
  ASSERT_NE(original->ShownMask(), nullptr);
  auto copy = original->CloneForPrint(&t.Doc);
  auto* printed = static_cast<TImageObj*>(copy.get());
  EXPECT_EQ(printed->ShownMask(), original->ShownMask());
  original.reset();
  EXPECT_EQ(printed->SourceName, "holes.bmp");
  EXPECT_EQ(printed->AltText, "see through");
  EXPECT_EQ(printed->TitleText(), "tip");

  // Printed twice through the mask's clip region, from the print copy of the picture.
  t.Doc.FPrinting = true;
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass);
    t.Canvas.Clear();
    printed->PaintObject(t.Canvas, 10, 12, 10);
    EXPECT_EQ(t.Canvas.Text().rfind("Save\nClipRegion", 0), 0u) << t.Canvas.Text();
  }
  t.Doc.FPrinting = false;
}

}  // namespace
}  // namespace korva::test

namespace korva::test {
namespace {

class TCountedObject : public TTextObject {
 public:
  TCountedObject(int id, int& alive) : FId(id), FAlive(alive) { ++FAlive; }
  ~TCountedObject() override { --FAlive; }
  void SizeFor(TCanvas&, int) override {}
  int ObjWidth() const override { return FId; }
  int ObjHeight() const override { return 1; }
  void DrawObj(TCanvas&, int, int) override {}

 private:
  int FId;
  int& FAlive;
};

// A section's objects: one is kept in the list's own word, more in a block that keeps their
// order and gives back its spare room; every object is freed with the list.
TEST(TextObjectList, OneObjectInPlaceMoreInABlock) {
  int alive = 0;
  for (int count : {1, 2, 5, 9}) {
    {
      TTextObjectList list;
      EXPECT_TRUE(list.empty());
      EXPECT_EQ(list.begin(), list.end());
      list.push_back(nullptr);  // nothing to keep
      EXPECT_TRUE(list.empty());
      for (int i = 0; i < count; ++i) {
        list.push_back(std::make_unique<TCountedObject>(i, alive));
        ASSERT_EQ(std::size_t(i + 1), list.size());
        for (int k = 0; k <= i; ++k) EXPECT_EQ(k, list[std::size_t(k)]->ObjWidth()) << count;
        EXPECT_EQ(i, list.back()->ObjWidth());
      }
      EXPECT_EQ(count, alive);
      EXPECT_EQ(count == 1 ? 0u : 8u + 8u * std::bit_ceil(std::max(4u, unsigned(count))), list.CapacityBytes())
          << count;
      list.shrink_to_fit();
      EXPECT_EQ(count == 1 ? 0u : 8u + 8u * unsigned(count), list.CapacityBytes()) << count;
      int k = 0;
      for (const TTextObject* o : list) EXPECT_EQ(k++, o->ObjWidth());
      EXPECT_EQ(count, k);
    }
    EXPECT_EQ(0, alive) << count;
  }
}

}  // namespace
}  // namespace korva::test
