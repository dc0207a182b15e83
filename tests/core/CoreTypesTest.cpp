#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/Attributes.h"
#include "core/CharCase.h"
#include "core/FreeList.h"
#include "core/IDNameList.h"
#include "core/Symbols.h"
#include "core/UrlTarget.h"

using namespace korva;

TEST(Symbols, TagTableAndEndTagRule) {
  EXPECT_EQ(LookupTag("HTML", false), syHtml);
  EXPECT_EQ(LookupTag("LABEL", false), syLabel);
  EXPECT_EQ(LookupTag("LABEL", true), syEndLabel);
  EXPECT_EQ(LookupTag("BUTTON", true), syEndButton);
  EXPECT_EQ(LookupTag("EMBED", true), syUnknownTag);  // void: no end symbol
  EXPECT_EQ(LookupTag("LI", false), syLi);          // the 54th has none
  EXPECT_EQ(LookupTag("LI", true), syUnknownTag);
  EXPECT_EQ(LookupTag("BR", true), syUnknownTag);
  EXPECT_EQ(LookupTag("COL", false), syCol);
  EXPECT_EQ(LookupTag("H", false), syH);
  EXPECT_EQ(LookupTag("H", true), syEndH);
  EXPECT_EQ(LookupTag("BR/", false), syUnknownTag);
  EXPECT_EQ(LookupTag("br", false), syUnknownTag);  // names arrive in upper case
  EXPECT_EQ(LookupTag("", false), syUnknownTag);
  EXPECT_EQ(LookupTag("BLOCKQUOTEXYZ", false), syUnknownTag);

  // Every symbol of a tag reads back to a name that finds it again.
  std::set<std::string> names;
  for (int s = 0; s < TagCount; ++s) {
    std::string name(SymbolName(TSymbol(s)));
    names.insert(name);
    EXPECT_EQ(LookupTag(name, false), TSymbol(s)) << name;
    EXPECT_EQ(LookupTag(name, true), s < EndTagCount ? TSymbol(syEndHtml + s) : syUnknownTag) << name;
  }
  EXPECT_EQ(names.size(), std::size_t(TagCount));
  EXPECT_EQ(SymbolName(syEndP), "/P");
  EXPECT_EQ(EndSymbolOf(syP), syEndP);
  EXPECT_EQ(EndSymbolOf(syBr), syUnknownTag);
  EXPECT_EQ(StartSymbolOf(syEndTable), syTable);
}

TEST(Symbols, AttributeNamesShareTagSymbols) {
  EXPECT_EQ(LookupAttribute("HREF"), syHref);
  EXPECT_EQ(LookupAttribute("TEXT"), syTextAttr);
  EXPECT_EQ(LookupAttribute("VALUE"), syValue);
  EXPECT_EQ(LookupAttribute("HTTP-EQUIV"), syHttpEquiv);
  EXPECT_EQ(LookupAttribute("BORDERCOLORLIGHT"), syBordercolorlight);
  EXPECT_EQ(LookupAttribute("LABEL"), syLabel);
  for (TSymbol shared : {syTitle, sySpan, syStyle, syWrap, syLink, sySelected, syLabel})
    EXPECT_EQ(LookupAttribute(SymbolName(shared)), shared);
  EXPECT_EQ(LookupAttribute("ONMOUSEOVER"), syUnknownAttr);
  EXPECT_EQ(LookupAttribute("P"), syUnknownAttr);  // a tag name that is no attribute name

  // 85 table entries, VALUE twice, seven shared with tags: 77 symbols of their own.
  int own = 0;
  for (int s = syHref; s < syText; ++s) {
    ++own;
    EXPECT_EQ(LookupAttribute(SymbolName(TSymbol(s))), TSymbol(s));
  }
  EXPECT_EQ(own, 77);
}

TEST(Symbols, SymbolSets) {
  TSymbolSet cell{syEndTable, syTd, syEndTd};
  EXPECT_TRUE(cell.Contains(syTd));
  EXPECT_FALSE(cell.Contains(syTr));
  TSymbolSet more = cell + TSymbolSet{syEof, syText};
  EXPECT_TRUE(more.Contains(syEof));
  EXPECT_TRUE(more.Contains(syText));
  more.Exclude(syTd);
  EXPECT_FALSE(more.Contains(syTd));
  EXPECT_TRUE((more - TSymbolSet{syEof, syText, syEndTable, syEndTd}) == TSymbolSet{});
}

TEST(CharCase, UsesTheSystemCodePage) {
  EXPECT_EQ(UpCase('a'), 'A');
  EXPECT_EQ(UpCase(0xE9), 0xC9);  // e-acute
  EXPECT_EQ(UpCase(0xF7), 0xF7);  // division sign
  EXPECT_EQ(UpCase(0xFF), 0x9F);  // y-diaeresis
  EXPECT_EQ(LowCase(0x8A), 0x9A);
  EXPECT_EQ(UpCase(0xDF), 0xDF);  // sharp s has no capital
  EXPECT_TRUE(SameText("Content-Type", "content-type"));
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_EQ(LowerCase("MiXeD"), "mixed");
}

namespace {
struct TCounted {
  explicit TCounted(int* alive) : Alive(alive) { ++*Alive; }
  ~TCounted() { --*Alive; }
  int* Alive;
};
}  // namespace

TEST(TFreeList, OwnsItsItems) {
  int alive = 0;
  {
    TFreeList<TCounted> list;
    for (int i = 0; i < 5; ++i) list.Add(new TCounted(&alive));
    EXPECT_EQ(alive, 5);
    list.Delete(0);
    EXPECT_EQ(alive, 4);
    TCounted* third = list[1];
    list.Remove(third);
    EXPECT_EQ(alive, 3);
    std::unique_ptr<TCounted> kept = list.Extract(0);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(alive, 3);
    list.Clear();
    EXPECT_EQ(alive, 1);
    list.Add(new TCounted(&alive));
  }
  EXPECT_EQ(alive, 0);
}

TEST(TAttributeList, LookupsTakeTheFirstMatch) {
  TAttributeList list;
  list.Add(syClass, "CLASS", 0, "Note BIG");
  list.Add(syId, "ID", 0, "Top");
  list.Add(syTitle, "TITLE", 0, "Hello World");
  list.Add(syId, "ID", 0, "second");
  list.Add(syUnknownAttr, "ONMOUSEOVER", 0, "x()");
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(list.TheClass(), "note big");
  EXPECT_EQ(list.TheID(), "top");
  EXPECT_EQ(list.TheTitle(), "Hello World");
  TAttribute* a;
  ASSERT_TRUE(list.Find(syId, a));
  EXPECT_EQ(a->Text(), "Top");
  EXPECT_FALSE(list.Find(syHref, a));
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(list.AsStringList(),
            (std::vector<std::string>{"CLASS=Note BIG", "ID=Top", "TITLE=Hello World", "ID=second",
                                      "ONMOUSEOVER=x()"}));

  // Clearing forgets the cached id.
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.TheID(), "");
  list.Add(syId, "ID", 0, "Other");
  EXPECT_EQ(list.TheID(), "other");
  EXPECT_EQ(list.TheClass(), "");
}

TEST(TAttributeList, KeepsTheStyleSetItOwns) {
  TAttributeList list;
  auto first = std::make_shared<int>(1);
  std::weak_ptr<int> watch = first;
  list.SetOwnedStyle(first);
  first.reset();
  EXPECT_FALSE(watch.expired());
  list.SetOwnedStyle(std::make_shared<int>(2));  // replacing frees the old set
  EXPECT_TRUE(watch.expired());
}

TEST(TUrlTarget, SequenceCopyAndClear) {
  TUrlTarget a, b;
  a.Assign("x.html", "main");
  b.Assign("y.html", "");
  EXPECT_GT(a.ID(), 0);
  EXPECT_EQ(b.ID(), a.ID() + 1);
  a.SetTabIndex(7);
  TUrlTarget c;
  c.Copy(a);
  EXPECT_EQ(c.Url(), "x.html");
  EXPECT_EQ(c.Target(), "main");
  EXPECT_EQ(c.ID(), a.ID());
  EXPECT_EQ(c.TabIndex(), 7);
  c.Clear();
  EXPECT_EQ(c.Url(), "");
  EXPECT_EQ(c.Target(), "");
  EXPECT_EQ(c.ID(), 0);
  EXPECT_EQ(c.TabIndex(), 0);
}

namespace {
struct TFakeDocument : TLineLocator {
  bool FindLineY(int pos, int& y) override {
    if (pos < 0 || pos > 1000) return false;
    y = pos / 10 * 20;
    return true;
  }
};
struct TPlace : TIDObject {
  explicit TPlace(int y, int* alive = nullptr) : Y(y), Alive(alive) {
    if (Alive) ++*Alive;
  }
  ~TPlace() override {
    if (Alive) --*Alive;
  }
  int DocumentY() override { return Y; }
  int Y;
  int* Alive;
};
}  // namespace

TEST(TIDNameList, CaseInsensitiveNamesAndOwnership) {
  TFakeDocument doc;
  int alive = 0;
  TPlace section(333, &alive);
  {
    TIDNameList list(&doc);
    list.AddChPosObject("Top", 55);
    list.AddObject("Section", &section);
    EXPECT_EQ(list.Count(), 2);
    ASSERT_NE(list.Find("TOP"), nullptr);
    EXPECT_EQ(list.Find("top")->DocumentY(), 100);
    EXPECT_EQ(list.Find("section")->DocumentY(), 333);
    EXPECT_EQ(list.Find("missing"), nullptr);

    // A name added again replaces the old entry.
    list.AddChPosObject("TOP", 5000);  // beyond the document: y 0
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Find("Top")->DocumentY(), 0);
    list.AddChPosObject("other", 10);
    EXPECT_EQ(list.Find("OTHER")->DocumentY(), 20);

    list.AddObject("again", &section);
    list.AddObject("twice", &section);
    list.RemoveObject(&section);
    EXPECT_FALSE(list.Contains("again"));
    EXPECT_FALSE(list.Contains("twice"));
    list.Remove("other");
    EXPECT_FALSE(list.Contains("other"));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
  }
  EXPECT_EQ(alive, 1);  // objects the list does not own are left alone
}
