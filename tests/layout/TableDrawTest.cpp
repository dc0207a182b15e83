// Tables on the recording canvas and under the mouse: cell backgrounds, CSS borders, the HTML
// frames, hit tests through spans, and vertical alignment on baselines.
#include <gtest/gtest.h>

#include "TableTestSupport.h"

namespace korva::test {
namespace {

// A line probe that names itself when the mouse is over it.
class TNamedProbe : public TLineProbe {
 public:
  TNamedProbe(TSectionList* doc, std::string name) : TLineProbe(doc, 10, 20), Name(std::move(name)) {}
  std::string Name;
  bool HotSpotAt(TCanvas&, int, int, THotSpot& spot) override {
    spot.Title = Name;
    spot.HasTitle = true;
    return true;
  }
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t p = 0;
  while (p < text.size()) {
    std::size_t e = text.find('\n', p);
    if (e == std::string::npos) e = text.size();
    out.push_back(text.substr(p, e - p));
    p = e + 1;
  }
  return out;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(TableDrawTest, CellBackgroundsAndBorders) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TTableBuilder tb(t);
  tb.Table({"BORDER=2", "CELLSPACING=2", "CELLPADDING=0", "BORDERCOLORLIGHT=#FFFFFF", "BORDERCOLORDARK=#000000",
            "BGCOLOR=#00FF00"});
  tb.Row({"BGCOLOR=#0000FF"});
  tb.ProbeCell(20, 20, {"BGCOLOR=#FF0000"});  // its own colour wins over the row's
  tb.ProbeCell(20, 20);                       // the row's
  tb.Row();
  tb.ProbeCell(20, 20, {}, "border: 1px solid #123456");  // the table's; a flat CSS frame
  tb.ProbeCell(20, 20, {}, "border: 3px outset #808080");
  tb.End();
  t.Close();
  f.Layout(400);
  std::vector<std::string> d = Lines(f.Draw());
  // The block: its background in the padding box, then the raised 2-pixel frame (light left
  // and top). The columns are 24 and 28 wide (the outset cell's 3-pixel sides).
  EXPECT_TRUE(Has(d, "FillRect 2,2,56,48 #00FF00")) << f.Draw();
  EXPECT_TRUE(Has(d, "Polygon n=4 (0,0 58,0 56,2 2,2) alternate pen=#FFFFFF brush=#FFFFFF"));
  EXPECT_TRUE(Has(d, "Polygon n=4 (58,50 0,50 2,48 56,48) alternate pen=#000000 brush=#000000"));
  // Row 1: the cells inside the spacing, each with a sunken 1-pixel frame (dark left and top).
  EXPECT_TRUE(Has(d, "FillRect 4,4,26,22 #FF0000"));
  EXPECT_TRUE(Has(d, "FillRect 4,4,26,5 #000000"));
  EXPECT_TRUE(Has(d, "FillRect 25,4,26,22 #FFFFFF"));
  EXPECT_TRUE(Has(d, "FillRect 28,4,54,22 #0000FF"));
  // Row 2: the table's colour; a flat frame; an outset border darkened below and right.
  EXPECT_TRUE(Has(d, "FillRect 4,24,26,46 #00FF00"));
  EXPECT_TRUE(Has(d, "FrameRect 4,24,26,46 #123456"));
  EXPECT_TRUE(Has(d, "Polygon n=4 (54,24 54,46 51,43 51,27) alternate pen=#606060 brush=#606060"));
  EXPECT_TRUE(Has(d, "Polygon n=4 (28,46 28,24 31,27 31,43) alternate pen=#808080 brush=#808080"));
}

TEST(TableDrawTest, OnlyRowsInTheClipAreDrawn) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TTableBuilder tb(t);
  tb.Table({"CELLSPACING=0", "CELLPADDING=0"});
  for (int r = 0; r < 50; ++r) {
    tb.Row();
    tb.ProbeCell(10, 10, {"BGCOLOR=#FF0000"});
  }
  tb.ProbeCell(10, 10, {"ROWSPAN=1"});
  tb.End();
  t.Close();
  f.Layout(400);
  std::vector<std::string> d = Lines(f.Draw({0, 160, 400, 200}));
  // Rows of 16: rows 10 to 12 meet 160..200.
  EXPECT_EQ(3, std::count_if(d.begin(), d.end(), [](const std::string& l) { return l.rfind("FillRect", 0) == 0; }));
  EXPECT_TRUE(Has(d, "FillRect 0,160,10,176 #FF0000"));
}

// A row whose every position a cell from above covers has no cell of its own: the rows after it
// are still drawn.
TEST(TableDrawTest, RowsAfterARowWhollyCoveredFromAboveAreDrawn) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TTableBuilder tb(t);
  tb.Table({"CELLSPACING=0", "CELLPADDING=0"});
  tb.ProbeCell(10, 10, {"ROWSPAN=2", "BGCOLOR=#FF0000"});
  tb.ProbeCell(10, 10, {"ROWSPAN=2", "BGCOLOR=#00FF00"});
  tb.Row();
  tb.Row();
  tb.ProbeCell(10, 10, {"BGCOLOR=#0000FF"});
  tb.End();
  t.Close();
  f.Layout(400);
  const std::string drawn = f.Draw();
  EXPECT_NE(std::string::npos, drawn.find("#FF0000")) << drawn;
  EXPECT_NE(std::string::npos, drawn.find("#0000FF")) << drawn;
}

TEST(TableHitTest, PointsFindTheirCellThroughSpans) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TTableBuilder tb(t);
  tb.Table({"CELLSPACING=0", "CELLPADDING=0"});
  tb.Row();
  auto named = [&](const char* name, std::initializer_list<std::string_view> attrs = {}) {
    tb.Cell(attrs);
    t.Cell().AddSection(std::make_unique<TNamedProbe>(&f.Doc, name));
  };
  named("a", {"ROWSPAN=2"});  // in the middle of two rows: 8 to 24
  named("b", {"COLSPAN=2"});
  tb.Row();
  named("c");
  named("d");
  tb.End();
  t.Close();
  f.Layout(400);
  struct TCase {
    int X, Y;
    const char* Name;
  } cases[] = {{5, 10, "a"}, {5, 20, "a"}, {25, 5, "b"}, {45, 5, "b"}, {25, 20, "c"}, {45, 20, "d"}, {70, 5, ""},
               {5, 40, ""}};
  for (const TCase& c : cases) {
    THotSpot spot;
    f.Doc.DocHotSpotAt(f.Canvas, c.X, c.Y, spot);
    EXPECT_EQ(c.Name, spot.Title) << c.X << "," << c.Y;
  }
}

TEST(TableAlignTest, BaselineCellsShareTheirFirstBaseline) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TTableBuilder tb(t);
  tb.Table({"CELLSPACING=0", "CELLPADDING=0"});
  tb.Row({"VALIGN=baseline"});
  TCellObj* small = tb.Cell();
  const TSection* smallText = tb.Text(u"small", "font-size: 10pt");
  TCellObj* big = tb.Cell();
  const TSection* bigText = tb.Text(u"big", "font-size: 30pt");
  TCellObj* bottom = tb.Cell({"VALIGN=bottom"});
  tb.Text(u"low", "font-size: 10pt");
  tb.End();
  t.Close();
  f.Layout(600);
  // The first line's baseline below its cell's content top.
  auto baseline = [](const TCellObj* cell, const TSection* text) {
    const LineRec& line = text->Lines()[0];
    return line.DrawY() + line.LineHt - line.Descent - cell->FCell->FCellY;
  };
  ASSERT_GT(baseline(small, smallText), 0);
  ASSERT_GT(baseline(big, bigText), baseline(small, smallText));
  EXPECT_EQ(small->FCell->FCellY + baseline(small, smallText), big->FCell->FCellY + baseline(big, bigText));
  EXPECT_EQ(0, big->BaselineIndent());
  EXPECT_EQ(big->Box().Top, big->FCell->FCellY);
  // The bottom cell ends at the row's bottom.
  EXPECT_EQ(bottom->Box().Top + bottom->Box().Height, bottom->FCell->FCellY + bottom->FCellVSize);
}

// Deeply nested tables keep the row heights of their first layout in a pass, and with them the
// content offsets of cells on a baseline: the offsets must outlive that layout.
TEST(TableAlignTest, BaselineCellsStayAlignedInADeeplyNestedTable) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TTableBuilder tb(t);
  for (int level = 0; level < 6; ++level) {
    tb.Table({"CELLSPACING=0", "CELLPADDING=0"});
    tb.Cell();
  }
  tb.Row({"VALIGN=baseline"});
  tb.Cell();
  const TSection* smallText = tb.Text(u"small", "font-size: 10pt");
  TCellObj* big = tb.Cell();
  const TSection* bigText = tb.Text(u"big", "font-size: 30pt");
  for (int level = 0; level < 6; ++level) tb.End();
  t.Close();
  f.Layout(600);
  auto baseline = [](const TSection* text) {
    const LineRec& line = text->Lines()[0];
    return line.DrawY() + line.LineHt - line.Descent;
  };
  ASSERT_GT(bigText->Lines()[0].LineHt, smallText->Lines()[0].LineHt);  // else nothing moves
  EXPECT_EQ(baseline(smallText), baseline(bigText));
  EXPECT_EQ(0, big->BaselineIndent());
}

TEST(TableAlignTest, ATableFirstInAListItemPutsTheMarkerAtItsBottom) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  t.Open("ul");
  TBlockLI* item = t.Item(syUl, 1);
  TTableBuilder tb(t);
  tb.Table();
  tb.Cell();
  tb.Text(u"inside");
  TBlock* table = tb.End();
  t.Close();
  t.Close();
  t.Close();
  f.Layout(400);
  EXPECT_EQ(static_cast<TTableBlock*>(table)->FTable->InnerBottom(), item->FFirstLineBaseline);
}

TEST(TableCopyTest, PrintCopyLaysOutAlike) {
  TLayoutFixture f;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TTableBuilder tb(t);
  tb.Table({"BORDER"});
  tb.ProbeCell(20, 40, {"ROWSPAN=2"});
  tb.ProbeCell(20, 50);
  tb.Row();
  tb.ProbeCell(30, 60);
  TBlock* block = tb.End();
  t.Close();
  std::string original = f.Layout(300);
  TLayoutFixture g;
  auto copy = block->CloneForPrint(&g.Doc);
  g.Doc.AddSection(std::move(copy));
  std::string copied = g.Layout(300);
  EXPECT_NE(copied.find("table 1,1"), std::string::npos) << copied;
  EXPECT_NE(copied.find("rowspan=2"), std::string::npos) << copied;
}

}  // namespace
}  // namespace korva::test
