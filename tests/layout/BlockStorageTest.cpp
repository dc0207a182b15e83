// How blocks keep what few of them need (offsets of positioned blocks, the room above a block
// that clears floats, titles, marker pictures) in records of their own, and share their tag
// texts: print copies must carry all of it and outlive the page they were copied from.
#include <gtest/gtest.h>

#include "BlockTestSupport.h"

namespace korva::test {
namespace {

// A float, a block clearing it with a page break before it, a moved block with a title, an
// absolutely placed block and a list item with a marker picture.
struct TMixedPage {
  TLayoutFixture F;
  TBlockLI* Item = nullptr;

  TMixedPage() {
    TTreeBuilder t(F);
    t.Body("margin: 0");
    t.Open("div", "float: left; width: 50px; height: 60px; background-color: #0000ff");
    t.Close();
    t.Open("p", "clear: left; page-break-before: always; height: 10px; background-color: #00ff00", "note");
    t.Line();
    t.Close();
    TProperties& p = F.Push("div", "position: relative; top: 7px; left: 9px; height: 20px; background-color: #ff0000");
    p.FTitleText = "moved";
    t.Enter(std::make_unique<TBlock>(&F.Doc, nullptr, &t.Cell(), p), "div");
    t.Line();
    t.Close();
    t.Open("div", "position: absolute; top: 150px; left: 40px; width: 30px; height: 5px; background-color: #ffff00");
    t.Close();
    t.Open("ol");
    Item = t.Item(syOl, 3, 1, 'i', "list-style-image: url(dot.gif)");
    t.Line();
    t.Close();
    t.Close();
    t.Close();
  }
};

// The third block in the body.
TBlock* MovedBlock(TSectionList& doc) {
  auto* body = static_cast<TBlock*>(doc[0]);
  return static_cast<TBlock*>((*body->FInnerCell)[2]);
}

TEST(BlockStorage, PrintCopiesKeepOffsetsClearanceTitlesAndMarkersAfterTheSourceGoes) {
  auto source = std::make_unique<TMixedPage>();
  const std::string dump = source->F.Layout(300);
  const std::string drawn = source->F.Draw();
  const TRect moved = MovedBlock(source->F.Doc)->DrawnBorderBox();
  ASSERT_FALSE(moved.IsEmpty());
  TLayoutFixture target;
  for (const auto& s : source->F.Doc) target.Doc.AddSection(s->CloneForPrint(&target.Doc));
  auto item = source->Item->CloneForPrint(&target.Doc);
  source.reset();

  EXPECT_EQ(dump, target.Layout(300));
  EXPECT_EQ(drawn, target.Draw());
  EXPECT_EQ(moved, MovedBlock(target.Doc)->DrawnBorderBox());
  THotSpot spot;
  target.Doc.DocHotSpotAt(target.Canvas, moved.Right - 1, moved.Bottom - 1, spot);  // where only it is
  EXPECT_EQ("moved", spot.Title);
  const TBlockImage* marker = static_cast<TBlockLI*>(item.get())->MarkerImage();
  ASSERT_NE(marker, nullptr);
  EXPECT_EQ("dot.gif", marker->Name);

  // Printed, the clearing block starts a page where it starts below the float, not where its
  // flow position is.
  target.Doc.FPrinting = true;
  target.Doc.FPageBottom = 100;
  target.Draw({0, 0, 300, 100});
  EXPECT_EQ(60, target.Doc.FPageBottom);  // the float's bottom (at 0 without the clearance)
}

// A block keeps the extent its content draws in only when it reaches past its own: content
// pulled above it by a negative margin is drawn when only that part meets the clip.
TEST(BlockStorage, ContentReachingAboveItsBlockIsDrawnWhereItReaches) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  t.Open("div", "height: 100px");
  t.Close();
  t.Open("div", "height: 20px");
  t.Open("div", "margin-top: -30px; height: 10px; background-color: #ff0000");
  t.Close();
  t.Close();
  t.Close();
  f.Layout(300);
  const std::string drawn = f.Draw({0, 60, 300, 85});
  EXPECT_NE(std::string::npos, drawn.find("FillRect 0,70,300,80 #FF0000")) << drawn;
}

TEST(BlockStorage, BlocksAlikeShareTheirTagText) {
  const std::size_t base = TSharedText::LiveCount();
  {
    TLayoutFixture f;
    TTreeBuilder t(f);
    t.Body("margin: 0");
    std::vector<TBlock*> notes;
    for (int i = 0; i < 50; ++i) {
      notes.push_back(t.Open("p", {}, "note"));
      t.Close();
    }
    EXPECT_EQ("p", notes[0]->TagName());
    EXPECT_EQ("p.note", notes[49]->DumpTag());
    EXPECT_EQ(notes[0]->TagName().data(), notes[49]->TagName().data());
    EXPECT_EQ(TSharedText::LiveCount(), base + 2);  // "body" and "p.note"
  }
  EXPECT_EQ(TSharedText::LiveCount(), base);
}

}  // namespace
}  // namespace korva::test
