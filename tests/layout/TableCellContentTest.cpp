// A table cell's content keeps no document, position range or width of its own: it finds its
// document through its table, its positions through its sections and its width through its box.
// The print copy must then belong wholly to the new document and lay out the same.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "TableTestSupport.h"
#include "layout/LayoutDump.h"

namespace korva::test {
namespace {

ThtmlTable* TableOf(TBlock* b) { return static_cast<TTableBlock*>(b)->FTable; }

// The table's own lines of its dump: table, rows and cells (a copied text section keeps no
// lines of its own until laid out again, so the content is left out).
std::string DumpOf(const ThtmlTable& table) {
  TDumpWriter out;
  table.Dump(out, 0);
  std::istringstream in(out.Text());
  std::string kept, line;
  while (std::getline(in, line)) {
    const std::size_t start = line.find_first_not_of(' ');
    if (start != std::string::npos && (line.compare(start, 5, "table") == 0 || line.compare(start, 3, "row") == 0 ||
                                       line.compare(start, 4, "cell") == 0))
      kept += line + "\n";
  }
  return kept;
}

// Cells with text, a second section and a nested block, a header cell, a span and paddings that
// narrow the content: `nested` is the block inside the second cell.
TBlock* BuildTable(TLayoutFixture& f, TBlock*& nested) {
  TBlock* block = nullptr;
  TTreeBuilder t(f);
  t.Body("margin: 0");
  TTableBuilder tb(t);
  tb.Table({"BORDER", "CELLPADDING=3"});
  tb.Cell({}, {}, "th");
  tb.Text(u"ab");
  tb.Cell({}, "padding: 0 9px");
  tb.Text(u"cd");
  nested = t.Open("div");
  tb.Text(u"ef");
  t.Close();
  tb.Cell();  // empty
  tb.Row();
  tb.Cell({"COLSPAN=3"}, "padding-left: 20px");
  tb.Text(u"gh");
  block = tb.End();
  t.Close();
  f.Layout(300);
  return block;
}

TEST(TableCellContent, PrintCopyBelongsToItsDocumentAndDumpsAsTheOriginal) {
  TLayoutFixture g;
  std::unique_ptr<TSectionBase> copied;
  std::string original;
  {
    TLayoutFixture f;
    TBlock* nested = nullptr;
    TBlock* block = BuildTable(f, nested);
    ThtmlTable* table = TableOf(block);
    original = DumpOf(*table);
    EXPECT_NE(std::string::npos, original.find("content=39,4 16x32")) << original;
    copied = block->CloneForPrint(&g.Doc);
    const ThtmlTable* copy = TableOf(static_cast<TBlock*>(copied.get()));
    for (int c = 0; c < 3; ++c) {
      const TTableCellContent& from = *table->CellAt(0, c)->FCell;
      const TTableCellContent& to = *copy->CellAt(0, c)->FCell;
      EXPECT_EQ(&f.Doc, from.Document()) << c;
      EXPECT_EQ(&g.Doc, to.Document()) << c;
      EXPECT_EQ(copy, to.Table()) << c;
      EXPECT_EQ(int(from.FDepth), int(to.FDepth)) << c;
      EXPECT_EQ(from.FOwnerTag.View(), to.FOwnerTag.View()) << c;
    }
    EXPECT_EQ("th", copy->CellAt(0, 0)->FCell->FOwnerTag.View());
    EXPECT_EQ(table->FDepth + 1, int(table->CellAt(0, 1)->FCell->FDepth));
    EXPECT_EQ(int(table->CellAt(0, 1)->FCell->FDepth) + 1, nested->Depth());
    // The block inside the copied cell takes the copy's document through its own block.
    const auto* copiedNested = static_cast<const TBlock*>((*copy->CellAt(0, 1)->FCell)[1]);
    EXPECT_EQ(&g.Doc, copiedNested->FInnerCell->Document());
  }
  // The original and its document are gone; the copy still dumps as the original did.
  EXPECT_EQ(original, DumpOf(*TableOf(static_cast<TBlock*>(copied.get()))));
}

// Every position of the page is found in the one cell (or nested block) that holds it, with
// a cell of two sections, an empty cell and a spanning one on the way.
TEST(TableCellContent, EveryPositionIsFoundWhereItIsHeld) {
  TLayoutFixture f;
  TBlock* nested = nullptr;
  TBlock* block = BuildTable(f, nested);
  ThtmlTable* table = TableOf(block);
  std::u16string found;
  TCharObject object;
  for (int pos = table->FFirstChar; pos < table->FFirstChar + table->FCharCount; ++pos) {
    char16_t ch = 0;
    ASSERT_TRUE(table->CharAt(pos, ch, object)) << pos;
    found += ch;
  }
  EXPECT_EQ(u"abcdefgh", found);
  for (int pos : {table->FFirstChar - 1, table->FFirstChar + table->FCharCount}) {
    char16_t ch = 0;
    EXPECT_FALSE(table->CharAt(pos, ch, object)) << pos;
  }
  // The second cell answers for its own text and its block's, and for nothing else.
  TTableCellContent& second = *table->CellAt(0, 1)->FCell;
  const int first = (*table->CellAt(0, 0)->FCell)[0]->FFirstChar;
  std::u16string inSecond;
  for (int pos = first; pos < first + 8; ++pos) {
    char16_t ch = 0;
    if (second.CharAt(pos, ch, object)) inSecond += ch;
  }
  EXPECT_EQ(u"cdef", inSecond);
  char16_t ch = 0;
  EXPECT_TRUE(nested->CharAt(nested->FFirstChar, ch, object));
  EXPECT_EQ(u'e', ch);
  EXPECT_FALSE(nested->CharAt(nested->FFirstChar - 1, ch, object));
}

}  // namespace
}  // namespace korva::test
