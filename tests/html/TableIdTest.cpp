// The id of a table names the block that stays in the document: the table block, or the block
// that stacks it with its caption. The builder makes that block for every table before it knows
// whether a caption comes, and it took the id over; unused, it is freed.
#include <gtest/gtest.h>

#include "BuildTestSupport.h"
#include "layout/Table.h"

namespace korva::test {
namespace {

// The first section of type T in a cell, looked for through the blocks in it.
template <class T>
T* FirstOf(const TCellBasic& cell) {
  for (const auto& s : cell) {
    if (auto* found = dynamic_cast<T*>(s.get())) return found;
    if (auto* block = dynamic_cast<TBlock*>(s.get()))
      if (T* inner = FirstOf<T>(*block->FInnerCell)) return inner;
  }
  return nullptr;
}

TEST(TableIdTest, TheIdNamesTheBlockKeptInTheDocument) {
  {
    TBuiltPage page("<p>top<table id=plain><tr><td>x</table><p>after");
    auto* table = FirstOf<TTableBlock>(page.Doc);
    ASSERT_NE(nullptr, table);
    EXPECT_EQ(table, page.Doc.IDNameList().Find("plain"));
    page.Layout();
    EXPECT_EQ(table->FDocY, page.Doc.IDNameList().Find("plain")->DocumentY());
  }
  {
    TBuiltPage page("<table id=captioned><caption>c</caption><tr><td>x</table>");
    auto* wrapper = FirstOf<TTableAndCaptionBlock>(page.Doc);
    ASSERT_NE(nullptr, wrapper);
    EXPECT_EQ(wrapper, page.Doc.IDNameList().Find("captioned"));
  }
  {
    // An element inside that takes the same id later keeps it.
    TBuiltPage page("<table id=same><tr><td><div id=same>x</div></table>");
    TIDObject* found = page.Doc.IDNameList().Find("same");
    ASSERT_NE(nullptr, found);
    auto* block = dynamic_cast<TBlock*>(found);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ("div", block->TagName());
  }
}

}  // namespace
}  // namespace korva::test
