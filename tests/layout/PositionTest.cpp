// Relatively and absolutely positioned blocks, and the drawing order of z-indices.
#include <gtest/gtest.h>

#include "BlockTestSupport.h"

namespace korva::test {
namespace {

TEST(PositionTest, RelativeBlocksDrawOffsetAndKeepTheirPlaceInTheFlow) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  t.Open("div", "height: 20px");
  t.Close();
  TProperties& p = f.Push("div", "position: relative; top: 10px; left: 20px; height: 30px; background-color: #ff0000");
  p.FTitleText = "moved";
  TBlock* moved = t.Enter(std::make_unique<TBlock>(&f.Doc, nullptr, &t.Cell(), p), "div");
  TLineProbe* inside = t.Line();
  t.Close();
  t.Open("div", "height: 10px; background-color: #00ff00");
  t.Close();
  t.Close();
  ExpectDump("position-relative", f.Layout(100));
  EXPECT_EQ("FillRect 20,30,120,60 #FF0000\n"
            "FillRect 0,50,100,60 #00FF00\n",
            f.Draw());
  EXPECT_EQ(1, inside->Draws);
  // Where it is drawn is where the mouse finds it.
  EXPECT_EQ((TRect{20, 30, 120, 60}), moved->DrawnBorderBox());
  THotSpot spot;
  f.Doc.DocHotSpotAt(f.Canvas, 110, 55, spot);
  EXPECT_EQ("moved", spot.Title);
  spot = {};
  f.Doc.DocHotSpotAt(f.Canvas, 5, 25, spot);
  EXPECT_FALSE(spot.HasTitle);
  // Positions inside it move with it.
  struct TCaretProbe : TLineProbe {
    using TLineProbe::TLineProbe;
    bool PointFromCaret(TCanvas&, int cursor, int& x, int& y) override {
      if (cursor != FFirstChar) return false;
      x = Left;
      y = FDocY;
      return true;
    }
  };
  f.Doc.ForgetSection(inside);
  moved->FInnerCell->Delete(0);
  moved->FInnerCell->AddSection(std::make_unique<TCaretProbe>(&f.Doc, 0, 0));
  f.Layout(100);
  int x = 0, y = 0;
  ASSERT_TRUE(f.Doc.PointFromCaret(f.Canvas, 0, x, y));
  EXPECT_EQ(20, x);
  EXPECT_EQ(30, y);
}

TEST(PositionTest, AbsoluteBlocksSitInTheirPositionedAncestorAndTakeNoSpace) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  t.Open("div", "height: 15px");
  t.Close();
  t.Open("div", "position: relative; padding: 5px; border: 2px solid black");
  t.Line();
  t.Open("div", "position: absolute; top: 7px; left: 9px; width: 50px; height: 20px");
  t.Line();
  t.Close();
  t.Open("div", "position: absolute; top: 40px; left: 30px");  // shrinks to its content
  t.Line(20, 80);
  t.Close();
  t.Line();  // right below the first line: the absolute blocks took no space
  t.Close();
  t.Open("div", "position: absolute; left: 300px; top: 0; width: 10px; height: 10px");  // from the body
  t.Close();
  t.Close();
  ExpectDump("position-absolute", f.Layout(400));
}

TEST(PositionTest, ZIndexOrdersTheDrawing) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  t.Open("div", "position: absolute; z-index: 2; width: 10px; height: 10px; background-color: #000001");
  t.Close();
  t.Open("div", "position: absolute; z-index: -1; width: 10px; height: 10px; background-color: #000002");
  t.Close();
  t.Open("div", "position: absolute; width: 10px; height: 10px; background-color: #000003");  // z 0: level 1
  t.Close();
  t.Open("div", "height: 10px; background-color: #000004");
  t.Close();
  t.Open("div", "float: left; width: 10px; height: 10px; background-color: #000005");  // level 1
  t.Close();
  t.Open("div", "position: relative; z-index: 1; height: 10px; background-color: #000006");  // level 10
  t.Close();
  t.Open("div", "height: 10px; background-color: #000007");
  t.Close();
  t.Close();
  f.Layout(100);
  std::string drawn = f.Draw();
  std::string order;
  for (std::size_t at = drawn.find('#'); at != std::string::npos; at = drawn.find('#', at + 1))
    order += drawn[at + 6];
  EXPECT_EQ("2473561", order) << drawn;
}

}  // namespace
}  // namespace korva::test
