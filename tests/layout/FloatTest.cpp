// Floated blocks: content beside them, clearing below them, their own width.
#include <gtest/gtest.h>

#include "BlockTestSupport.h"

namespace korva::test {
namespace {

TEST(FloatTest, LinesRunBesideALeftFloatAndAClearedBlockStartsBelowIt) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  t.Open("div", "float: left; width: 100px; height: 40px; margin-right: 10px; border: 2px solid black");
  t.Close();
  t.Open("p");
  for (int i = 0; i < 4; ++i) t.Line();  // the first two start right of the float
  t.Close();
  t.Open("div", "float: left; width: 50px; height: 20px");
  t.Close();
  t.Open("div", "clear: left");  // below the second float, not beside it
  t.Line();
  t.Close();
  t.Close();
  ExpectDump("float-left", f.Layout(400));
}

TEST(FloatTest, RightFloatsNarrowTheLinesFromTheRight) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0 10px");
  t.Open("div", "float: right; width: 80px; height: 30px; margin-left: 5px");
  t.Close();
  t.Open("div", "float: left; width: 60px; height: 50px");
  t.Close();
  for (int i = 0; i < 2; ++i) t.Line();
  t.Open("div", "clear: right");  // below the right float only: the left one still narrows it
  t.Line();
  t.Close();
  t.Open("div", "clear: both");  // below the left float too
  t.Line();
  t.Close();
  t.Close();
  ExpectDump("float-right", f.Layout(400));
}

TEST(FloatTest, AFloatWithoutWidthShrinksToItsContent) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TBlock* narrow = t.Open("div", "float: left; padding: 4px");
  t.Line(30, 70);
  t.Close();
  TBlock* wide = t.Open("div", "float: right");
  t.Line(500, 900);  // its minimum is more than the room: it overflows rather than shrinks
  t.Close();
  t.Close();
  f.Layout(400);
  EXPECT_EQ(70, narrow->FLaidWidth);
  EXPECT_EQ(500, wide->FLaidWidth);
}

TEST(FloatTest, FloatsGoBelowTheFloatsTheyClear) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TBlock* first = t.Open("div", "float: left; width: 100px; height: 30px");
  t.Close();
  TBlock* second = t.Open("div", "float: left; width: 100px; height: 30px");
  t.Close();
  TBlock* third = t.Open("div", "float: left; width: 100px; height: 30px; clear: left");
  t.Close();
  TLineProbe* line = t.Line();
  t.Close();
  f.Layout(400);
  EXPECT_EQ(0, first->BorderBox().Left);
  EXPECT_EQ(100, second->BorderBox().Left);  // beside the first
  EXPECT_EQ((TRect{0, 30, 100, 60}), third->BorderBox());
  EXPECT_EQ(200, line->Left);
  // The document reaches down to the lowest float.
  EXPECT_EQ(60, f.Doc.DocumentHeight());
}

}  // namespace
}  // namespace korva::test
