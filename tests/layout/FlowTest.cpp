// Blocks, floats, lists and real text sections together: the pieces meet as the builder will
// put them together.
#include <gtest/gtest.h>

#include "BlockTestSupport.h"
#include "TextTestUtil.h"

namespace korva::test {
namespace {

// Adds a finished text section to the builder's current cell.
TSection* Text(TTreeBuilder& b, std::u16string_view text, int firstPos = 0) {
  auto s = std::make_unique<TSection>(&b.F.Doc, nullptr, b.F.Top(), true, nullptr);
  AddText(*s, text, firstPos);
  s->Finish();
  return static_cast<TSection*>(b.Cell().AddSection(std::move(s)));
}

TEST(FlowTest, TextFlowsBesideFloatsAndClearsBelow) {
  TLayoutFixture f;
  TTreeBuilder b(f);
  b.Body("margin: 0");
  b.Open("div", "float: left; width: 100px; height: 60px; margin: 0");
  b.Close();
  b.Open("div", "float: right; width: 50px; height: 30px; margin: 0");
  b.Close();
  b.Open("p", "margin: 0");
  Text(b, u"one two three four five six seven eight nine ten eleven twelve");
  b.Close();
  b.Open("p", "clear: left; margin: 0");
  Text(b, u"below the float");
  b.Close();
  b.Close();
  ExpectDump("flow-text-beside-floats", f.Layout(300));
}

TEST(FlowTest, ListMarkersSitOnTheFirstTextLine) {
  TLayoutFixture f;
  TTreeBuilder b(f);
  b.Body("margin: 0");
  b.Open("ol", "margin: 0");
  for (int n = 1; n <= 2; ++n) {
    b.Item(syOl, n);
    Text(b, n == 1 ? u"first item" : u"second item that wraps onto a second line here");
    b.Close();
  }
  b.Close();
  b.Close();
  f.Layout(200);
  std::string drawn = f.Draw();
  // Markers right-aligned 10 pixels left of the content, on each item's first baseline.
  EXPECT_NE(std::string::npos, drawn.find("\"1.\"")) << drawn;
  EXPECT_NE(std::string::npos, drawn.find("\"2.\"")) << drawn;
  ExpectDump("flow-list-items", f.Doc.LayoutDump());
}

// A float inside a floated block stays inside it: the text beside the outer float is narrowed
// by that float alone.
TEST(FlowTest, FloatsInsideAFloatStayInside) {
  TLayoutFixture f;
  TTreeBuilder b(f);
  b.Body("margin: 0");
  b.Open("div", "float: right; width: 100px; margin: 0");
  b.Open("div", "float: left; width: 30px; height: 40px; margin: 0");
  b.Close();
  Text(b, u"inside the side bar");
  b.Close();
  b.Open("p", "margin: 0");
  Text(b, u"text beside the side bar runs from the left edge");
  b.Close();
  b.Close();
  ExpectDump("flow-float-in-float", f.Layout(300));
}

}  // namespace
}  // namespace korva::test
