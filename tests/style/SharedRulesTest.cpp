// Style lists share the rules of identical default sheets and of sheets parsed again onto the
// same rules; a list that changes its rules must get a copy of its own.
#include <gtest/gtest.h>

#include <string>

#include "StyleTestEnv.h"
#include "style/StyleLimits.h"

using namespace korva;
using namespace korva::test;

namespace {

struct TCountingDoc : TStyleListDocument {
  int Count = 0;
  void HoverStyleAdded() override { ++Count; }
};

TColor ColorOf(const TProperties& p) { return TColor(p.Value(piColor).Int()); }

// The colour of a paragraph inside a div under these rules.
TColor ParagraphInDivColour(TStyleList& styles) {
  TElementStack s(styles);
  s.Push("body");
  s.Push("div");
  return ColorOf(s.Push("p"));
}

TColor ParagraphInPreColour(TStyleList& styles) {
  TElementStack s(styles);
  s.Push("body");
  s.Push("pre");
  return ColorOf(s.Push("p"));
}

std::string KeyStartingWith(const TStyleList& styles, std::string_view start) {
  for (const std::string& k : styles.Keys())
    if (k.rfind(start, 0) == 0) return k;
  return {};
}

const char* const Sheet =
    "div p { color: red } a:hover { color: lime } p:hover { color: blue } "
    "body { background: url(img/bg.gif) } P.Note { margin-left: 3px }";

}  // namespace

TEST(SharedRules, DefaultSheetsAreSharedUntilAListChangesItsOwn) {
  auto a = DefaultStyles(12), b = DefaultStyles(12), bigger = DefaultStyles(14);
  EXPECT_TRUE(a->SharesRules());
  EXPECT_EQ(a->Version(), b->Version());
  EXPECT_NE(a->Version(), bigger->Version());
  EXPECT_EQ(bigger->Find("h1")->Value(piFontSize), TPropValue(28.0));
  EXPECT_EQ(a->Find("h1")->Value(piFontSize), TPropValue(24.0));

  a->SetRuleProperty("p", "color", "red");
  b->SetLinkColor("link", 0x123);
  EXPECT_FALSE(a->SharesRules());
  EXPECT_NE(a->Version(), b->Version());
  EXPECT_EQ(a->Find("p")->Value(piColor), TPropValue(0xFFu));
  EXPECT_EQ(a->Find("::link")->Value(piColor), TPropValue(clBlue | PaletteMatchFlag));
  EXPECT_EQ(b->Find("::link")->Value(piColor), TPropValue(0x123));
  EXPECT_TRUE(b->Find("p")->Value(piColor).IsEmpty());
  // The shared sheet itself never changed.
  auto fresh = DefaultStyles(12);
  EXPECT_TRUE(fresh->Find("p")->Value(piColor).IsEmpty());
  EXPECT_EQ(fresh->Find("::link")->Value(piColor), TPropValue(clBlue | PaletteMatchFlag));
  EXPECT_EQ(fresh->Keys(), DefaultStyles(12)->Keys());
  EXPECT_EQ(fresh->DefaultProps(), fresh->Find("default"));
}

TEST(SharedRules, ASheetParsedAgainGivesTheSameRulesAndNotices) {
  TStyleList::ForgetSharedSheets();
  TCountingDoc docA, docB;
  auto a = DefaultStyles(12, &docA), b = DefaultStyles(12, &docB);
  ParseStyleText(*a, Sheet, "http://h/css/");
  ParseStyleText(*b, Sheet, "http://h/css/");
  EXPECT_EQ(a->Version(), b->Version());  // taken over, not parsed again
  EXPECT_EQ(docA.Count, 2);
  EXPECT_EQ(docB.Count, 2);
  EXPECT_EQ(a->Keys(), b->Keys());
  EXPECT_EQ(ParagraphInDivColour(*b), 0x0000FFu);
  EXPECT_EQ(b->Find("body")->Value(piBackgroundImage), TPropValue("url(http://h/css/img/bg.gif)"));
  EXPECT_EQ(b->Find("p.note")->Value(piMarginLeft), TPropValue("3px"));

  // Another base path, other prior rules or rules of the list's own: parsed for real.
  auto otherBase = DefaultStyles(12);
  ParseStyleText(*otherBase, Sheet, "http://other/");
  EXPECT_NE(otherBase->Version(), a->Version());
  EXPECT_EQ(otherBase->Find("body")->Value(piBackgroundImage), TPropValue("url(http://other/img/bg.gif)"));
  auto otherDefaults = DefaultStyles(14);
  ParseStyleText(*otherDefaults, Sheet, "http://h/css/");
  EXPECT_NE(otherDefaults->Version(), a->Version());
  EXPECT_EQ(otherDefaults->Find("h1")->Value(piFontSize), TPropValue(28.0));
  auto own = DefaultStyles(12);
  own->SetRuleProperty("div", "color", "lime");
  ParseStyleText(*own, Sheet, "http://h/css/");
  EXPECT_FALSE(own->SharesRules());
  EXPECT_EQ(ParagraphInDivColour(*own), 0x0000FFu);
  EXPECT_EQ(own->Find("div")->Value(piColor), TPropValue(0x00FF00u));
  EXPECT_EQ(own->Count(), a->Count() + 1);  // "div"

  // A second sheet onto the shared result: parsed, then shared in turn.
  auto c = DefaultStyles(12), d = DefaultStyles(12);
  for (TStyleList* s : {c.get(), d.get()}) {
    ParseStyleText(*s, Sheet, "http://h/css/");
    ParseStyleText(*s, "p { margin-top: 1px }", "http://h/css/");
  }
  EXPECT_EQ(c->Version(), d->Version());
  EXPECT_EQ(d->Find("p")->Value(piMarginTop), TPropValue("1px"));
  EXPECT_EQ(a->Find("p")->Value(piMarginTop), TPropValue(ParagraphSpaceValue));
}

// A list that writes to shared rules copies them: descendant rules of the copy refer to the
// copy's sets, and the other lists keep what they had.
TEST(SharedRules, WritingToSharedRulesCopiesThem) {
  auto a = StylesWith("div p { color: red }"), b = StylesWith("div p { color: red }");
  ASSERT_EQ(a->Version(), b->Version());
  // The default sheet's descendant rule for a paragraph in preformatted text.
  const std::string key = KeyStartingWith(*b, "p 1");
  ASSERT_FALSE(key.empty());
  b->SetRuleProperty(key, "color", "green");
  EXPECT_EQ(ParagraphInPreColour(*b), 0x008000u);
  EXPECT_EQ(ParagraphInPreColour(*a), 0u);
  EXPECT_EQ(ParagraphInDivColour(*b), 0x0000FFu);
  EXPECT_EQ(ParagraphInDivColour(*StylesWith("div p { color: red }")), 0x0000FFu);
  EXPECT_EQ(b->DescendantRuleCount(), a->DescendantRuleCount());
  // Sets the copy did not write to stay shared; one it writes to is its own everywhere.
  EXPECT_EQ(b->DefaultProps(), a->DefaultProps());
  b->SetRuleProperty("default", "color", "red");
  EXPECT_NE(b->DefaultProps(), a->DefaultProps());
  EXPECT_EQ(b->DefaultProps(), b->Find("default"));
  EXPECT_EQ(ColorOf(*b->DefaultProps()), 0x0000FFu);
  EXPECT_EQ(ColorOf(*a->DefaultProps()), 0u);
  TElementStack s(*b);
  EXPECT_EQ(ColorOf(s.Push("default")), 0x0000FFu);  // the cascade finds the copy by its key
}

TEST(SharedRules, SharingIsBounded) {
  TStyleList::ForgetSharedSheets();
  // A sheet over half the text bound is parsed but not kept.
  std::string huge = "p { color: red }";
  huge.append(std::size_t(MaxSharedSheetBytes / 2), ' ');
  auto h1 = StylesWith(huge), h2 = StylesWith(huge);
  EXPECT_FALSE(h1->SharesRules());
  EXPECT_NE(h1->Version(), h2->Version());
  EXPECT_EQ(ColorOf(*h2->Find("p")), 0x0000FFu);

  // Past the count of sheets the oldest is dropped; the newest are still shared.
  auto first = StylesWith(".s0 { color: red }");
  for (int i = 1; i <= MaxSharedSheets; ++i) StylesWith(".s" + std::to_string(i) + " { color: red }");
  EXPECT_NE(StylesWith(".s0 { color: red }")->Version(), first->Version());
  const std::string last = ".s" + std::to_string(MaxSharedSheets) + " { color: red }";
  EXPECT_EQ(StylesWith(last)->Version(), StylesWith(last)->Version());
  // Rules dropped from sharing stay valid for the list holding them.
  EXPECT_EQ(ColorOf(*first->Find(".s0")), 0x0000FFu);
}
