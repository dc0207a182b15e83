// What a block keeps in small codes, or finds instead of keeping: its content cell finds the block
// (and through it the document and the tag) from where it sits, and stack levels, tag lengths and
// cached margins too large for their codes live in the block's extra record. Every kind of block
// and its print copy must answer as the original, whichever way a value is kept.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TableTestSupport.h"

namespace korva::test {
namespace {

// Every block of the tree under `cell`, blocks inside blocks included.
std::vector<TBlock*> BlocksIn(TCellBasic& cell) {
  std::vector<TBlock*> out;
  std::function<void(TCellBasic&)> walk = [&](TCellBasic& c) {
    for (const auto& s : c)
      if (auto* b = dynamic_cast<TBlock*>(s.get())) {
        out.push_back(b);
        walk(*b->FInnerCell);
      }
  };
  walk(cell);
  return out;
}

void ExpectCellsFindTheirBlocks(TSectionList& doc, const std::vector<std::string>& tags) {
  std::vector<std::string> seen;
  for (TBlock* b : BlocksIn(doc)) {
    EXPECT_EQ(b, b->FInnerCell->ParentBlock()) << b->DumpTag();
    EXPECT_EQ(&doc, b->FInnerCell->Document()) << b->DumpTag();
    EXPECT_EQ(b->TagName(), b->FInnerCell->OwnerTag());
    seen.emplace_back(b->TagName());
  }
  EXPECT_EQ(tags, seen);
}

TEST(BlockFields, ContentCellsOfEveryKindFindTheirBlockDocumentAndTagAlsoInPrintCopies) {
  auto source = std::make_unique<TLayoutFixture>();
  TTreeBuilder t(*source);
  t.Body("margin: 0");
  t.Open("div", {}, "note");
  t.Line();
  t.Close();
  t.Open("ol");
  t.Item(syOl, 1);
  t.Line();
  t.Close();
  t.Close();
  TProperties& p = source->Push("hr");
  THRBlock* hr = t.Enter(std::make_unique<THRBlock>(&source->Doc, nullptr, &t.Cell(), p, 2), "hr");
  hr->SetRule(std::make_unique<TLineProbe>(&source->Doc, 0, 0, 2));
  t.Close();
  TTableBuilder tb(t);
  tb.Table({"BORDER"});
  tb.ProbeCell(10, 20);
  tb.Caption();
  t.Line();
  tb.EndCaption();
  tb.End();
  t.Close();
  // The table with a caption is a wrapper block around the caption and the table block.
  const std::vector<std::string> tags = {"body", "div", "ol", "li", "hr", "table", "caption", "table"};
  ExpectCellsFindTheirBlocks(source->Doc, tags);
  const std::string dump = source->Layout(300);

  TLayoutFixture target;
  for (const auto& s : source->Doc) target.Doc.AddSection(s->CloneForPrint(&target.Doc));
  source.reset();
  ExpectCellsFindTheirBlocks(target.Doc, tags);
  EXPECT_EQ(dump, target.Layout(300));
}

TEST(BlockFields, TagsOfAnyLengthReadBackWithAndWithoutClass) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body();
  const std::string names[] = {"p", std::string(14, 'a'), std::string(15, 'b'), std::string(300, 'c')};
  std::vector<TBlock*> blocks;
  for (const std::string& name : names)
    for (const char* cls : {"", "k"}) {
      blocks.push_back(t.Open(name, {}, cls));
      t.Close();
    }
  t.Close();
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const std::string& name = names[i / 2];
    const std::string dumped = i % 2 ? name + ".k" : name;
    const std::unique_ptr<TSectionBase> copy = blocks[i]->CloneForPrint(&f.Doc);
    for (const TBlock* b : {static_cast<const TBlock*>(blocks[i]), static_cast<const TBlock*>(copy.get())}) {
      EXPECT_EQ(name, b->TagName());
      EXPECT_EQ(dumped, b->DumpTag());
    }
  }
}

// Positioned blocks and floats are drawn by stack level (z-index times 10, 1 for floats and
// absolute blocks without one), blocks of a level in their order.
TEST(BlockFields, StackLevelsOrderDrawingAndSurvivePrintCopies) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  const char* styles[] = {
      "position: relative; z-index: 2; height: 10px; background-color: #ff0000",
      "position: absolute; z-index: -1; top: 0; left: 0; width: 50px; height: 10px; background-color: #00ff00",
      "position: absolute; top: 0; left: 0; width: 40px; height: 10px; background-color: #0000ff",
      "float: left; width: 30px; height: 10px; background-color: #ffff00",
      "position: relative; z-index: 99999; height: 10px; background-color: #ff00ff",
      "height: 10px; background-color: #808080",
  };
  std::vector<TBlock*> blocks;
  for (const char* style : styles) {
    blocks.push_back(t.Open("div", style));
    t.Close();
  }
  TTableBuilder tb(t);
  TTableBlock* table = tb.Table({"ALIGN=left"});
  tb.Cell();
  tb.End();
  TBlock* body = static_cast<TBlock*>(f.Doc[0]);
  t.Close();
  const std::vector<int> levels = {20, -10, 1, 1, 999990, 0};
  for (std::size_t i = 0; i < blocks.size(); ++i) EXPECT_EQ(levels[i], blocks[i]->StackLevel()) << styles[i];
  EXPECT_EQ(1, table->StackLevel());

  f.Layout(300);
  const std::string drawn = f.Draw();
  std::vector<std::string> order;
  for (std::size_t at = drawn.find("FillRect"); at != std::string::npos; at = drawn.find("FillRect", at + 1))
    order.push_back(drawn.substr(drawn.find('#', at), 7));
  EXPECT_EQ((std::vector<std::string>{"#00FF00", "#808080", "#0000FF", "#FFFF00", "#FF0000", "#FF00FF"}), order)
      << drawn;

  TLayoutFixture target;
  target.Doc.AddSection(body->CloneForPrint(&target.Doc));
  auto* copy = static_cast<TBlock*>(target.Doc[0]);
  for (std::size_t i = 0; i < blocks.size(); ++i)
    EXPECT_EQ(levels[i], static_cast<TBlock*>((*copy->FInnerCell)[int(i)])->StackLevel()) << styles[i];
  target.Layout(300);
  EXPECT_EQ(drawn, target.Draw());

  // The body is never stacked, whatever its style says.
  TLayoutFixture g;
  TBlock* stackedBody = TTreeBuilder(g).Body("position: relative; z-index: 5");
  EXPECT_EQ(0, stackedBody->StackLevel());
  EXPECT_EQ(0, static_cast<TBlock*>(stackedBody->CloneForPrint(&g.Doc).get())->StackLevel());
}

// A box without percentages keeps its resolved side margins from its making on: margins beyond
// what fits their 2-byte codes, and auto, must come back from every layout and every copy.
TEST(BlockFields, CachedSideMarginsOfAnySizeComeBack) {
  for (int v : {0, 7, -5, 32767, 32768, -32766, -32767, -32768, -40000, 999999}) {
    TLayoutFixture f;
    TTreeBuilder t(f);
    t.Body("margin: 0");
    const std::string px = std::to_string(v) + "px";
    TBlock* left = t.Open("div", "width: 100px; margin-left: " + px);
    t.Close();
    TBlock* right = t.Open("div", "width: 100px; margin-left: auto; margin-right: " + px);
    t.Close();
    t.Close();
    const int expectLeft = v, expectRight = std::max(0, 300 - v - 100);
    f.Layout(300);
    const std::string dump = f.Layout(300);  // the second pass reads the cached margins only
    EXPECT_EQ(expectLeft, left->FContentLeft) << v;
    EXPECT_EQ(expectRight, right->FContentLeft) << v;
    TLayoutFixture target;
    target.Doc.AddSection(f.Doc[0]->CloneForPrint(&target.Doc));
    EXPECT_EQ(dump, target.Layout(300)) << v;
  }
}

TEST(PackedBoxTest, WideBoxesCopyAndGoBackInPlace) {
  // The lowest value kept as its own code, then large values: two are kept beside the codes, a
  // third makes the box wide.
  TPackedBox wide;
  wide[piBackgroundColor] = -32762;
  EXPECT_FALSE(wide.IsWide());
  wide[piWidth] = 100000;
  wide[piHeight] = 200000;
  EXPECT_FALSE(wide.IsWide());
  wide[piTop] = 300000;
  EXPECT_TRUE(wide.IsWide());
  EXPECT_EQ(-32762, wide[piBackgroundColor]);
  TPackedBox narrow;
  narrow[piLeft] = 3;
  for (bool fromWide : {true, false}) {
    for (bool toWide : {true, false}) {
      TPackedBox to;
      to = toWide ? wide : narrow;
      to = fromWide ? wide : narrow;
      EXPECT_EQ(fromWide, to.IsWide());
      EXPECT_EQ((fromWide ? wide : narrow).Values(), to.Values());
      to = to;
      EXPECT_EQ((fromWide ? wide : narrow).Values(), to.Values());
    }
  }
  TPackedBox copy = wide;
  wide[piWidth] = 5;  // fits again: the copy keeps its own record
  wide[piHeight] = 6;
  EXPECT_FALSE(wide.IsWide());
  EXPECT_EQ(-32762, wide[piBackgroundColor]);
  EXPECT_EQ(5, wide[piWidth]);
  EXPECT_EQ(100000, copy[piWidth]);
  EXPECT_EQ(-32762, copy[piBackgroundColor]);
}

}  // namespace
}  // namespace korva::test

namespace korva::test {
namespace {

// A block's content widths are kept for a layout pass when they fit 16 bits; wider content is
// measured each time. Either way the block answers its content's widths, again and again.
TEST(BlockFields, ContentWidthsOfAnySizeComeBackWithinAPass) {
  for (const auto& [minWidth, maxWidth] : {std::pair{10, 20}, std::pair{65535, 65535}, std::pair{70000, 90000},
                                           std::pair{300, 2000000}}) {
    TLayoutFixture f;
    TTreeBuilder t(f);
    t.Body("margin: 0");
    TBlock* b = t.Open("div", "margin: 0");
    t.Line(minWidth, maxWidth);
    t.Close();
    t.Close();
    f.Layout(500);
    for (int i = 0; i < 3; ++i) {
      int mn = -1, mx = -1;
      b->MeasureMinMax(f.Canvas, mn, mx);
      EXPECT_EQ(minWidth, mn) << maxWidth << " call " << i;
      EXPECT_EQ(maxWidth, mx) << maxWidth << " call " << i;
    }
  }
}

// A box with a percentage keeps its prepared values for every layout: alone, or in the extra
// record once the block makes one (a relative offset, a large stack level, a long tag), whether
// the record comes before the values or after. Each way the block lays out as a plain one
// does, at every width and in its print copy.
TEST(BlockFields, BoxValuesHeldAloneOrInTheExtraRecordLayOutAlike) {
  const std::string styles[] = {"width: 50%", "width: 50%; position: relative; top: 7px", "width: 50%; z-index: 9"};
  for (const std::string& style : styles) {
    for (bool longTag : {false, true}) {
      const std::string what = style + (longTag ? " long tag" : "");
      TLayoutFixture f;
      TTreeBuilder t(f);
      t.Body("margin: 0");
      TBlock* b = t.Open(longTag ? std::string(40, 'd') : std::string("div"), style);
      t.Line();
      t.Close();
      t.Close();
      for (int width : {400, 600, 400}) {
        f.Layout(width);
        EXPECT_TRUE(b->HoldsStyleBox()) << what;
        EXPECT_EQ(width / 2, b->BorderBox().Width()) << what << " at " << width;
      }
      const std::string dump = f.Layout(500);
      TLayoutFixture target;
      for (const auto& s : f.Doc) target.Doc.AddSection(s->CloneForPrint(&target.Doc));
      EXPECT_EQ(dump, target.Layout(500)) << what;
    }
  }
}

}  // namespace
}  // namespace korva::test
