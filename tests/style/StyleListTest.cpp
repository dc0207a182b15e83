#include <gtest/gtest.h>

#include <vector>

#include "StyleTestEnv.h"
#include "style/StyleLimits.h"
#include "style/StyleLimits.h"
#include "style/Units.h"

using namespace korva;
using namespace korva::test;

namespace {

struct THoverDoc : TStyleListDocument {
  int Count = 0;
  void HoverStyleAdded() override { ++Count; }
};

TColor ColorOf(const TProperties& p) { return TColor(p.Value(piColor).Int()); }

}  // namespace

TEST(StyleList, DefaultSheet) {
  auto styles = DefaultStyles(12);
  const TProperties* def = styles->DefaultProps();
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(def, styles->Find("default"));
  EXPECT_EQ(def->FTagName, "default");
  EXPECT_EQ(def->Value(piFontSize), TPropValue(12.0));
  EXPECT_EQ(def->Value(piMarginLeft), TPropValue(10));
  EXPECT_EQ(def->Value(piMarginTop), TPropValue(5));
  EXPECT_EQ(def->Value(piVisibility), TPropValue(int(viVisible)));
  EXPECT_EQ(styles->Find("p")->Value(piMarginTop), TPropValue(ParagraphSpaceValue));
  EXPECT_EQ(styles->Find("ul")->Value(piMarginLeft), TPropValue(35));
  EXPECT_EQ(styles->Find("dir")->Value(piListStyleType), TPropValue("blank"));
  EXPECT_EQ(styles->Find("blockquote")->Value(piMarginBottom), TPropValue(14));
  EXPECT_EQ(styles->Find("hr")->Value(piMarginTop), TPropValue(10));
  EXPECT_EQ(styles->Find("kbd")->Value(piFontSize), TPropValue("0.833em"));
  EXPECT_EQ(styles->Find("th")->Value(piFontWeight), TPropValue("bold"));
  EXPECT_EQ(styles->Find("address")->Value(piFontStyle), TPropValue("italic"));
  EXPECT_EQ(styles->Find("caption")->Value(piTextAlign), TPropValue("center"));
  EXPECT_EQ(styles->Find("textarea")->Value(piFontFamily), TPropValue("Courier New"));
  EXPECT_EQ(styles->Find("select")->Value(piFontFamily), TPropValue("Arial Unicode MS, Arial"));
  EXPECT_EQ(styles->Find("::link")->Value(piColor), TPropValue(clBlue | PaletteMatchFlag));
  EXPECT_EQ(styles->Find("h1")->Value(piMarginBottom), TPropValue(19));
  EXPECT_DOUBLE_EQ(styles->FontSizes[2], 12.0);
  EXPECT_DOUBLE_EQ(styles->PreFontSizes[2], 10.0);
  EXPECT_DOUBLE_EQ(styles->FontSizes[6], 36.0);
  std::vector<std::string> keys = styles->Keys();
  for (size_t i = 1; i < keys.size(); ++i) EXPECT_LE(CompareKeys(keys[i - 1], keys[i]), 0);
  EXPECT_EQ(styles->NextDescendantSerial(), "10");
  EXPECT_EQ(styles->NextDescendantSerial(), "11");
  styles->Clear();
  EXPECT_EQ(styles->Count(), 0);
  EXPECT_EQ(styles->NextDescendantSerial(), "10");
}

TEST(StyleList, HeadingSizesFollowTheDefaultSize) {
  for (int size : {12, 10}) {
    auto styles = DefaultStyles(size);
    TElementStack s(*styles);
    s.Push("body");
    EXPECT_DOUBLE_EQ(s.Push("h1").Value(piFontSize).Real(), size * 2.0);
    EXPECT_DOUBLE_EQ(s.Push("h6").Value(piFontSize).Real(), size * 8.0 / 12.0);
  }
}

TEST(StyleList, SetRulePropertyStoresAndNotifies) {
  THoverDoc doc;
  auto styles = DefaultStyles(12, &doc);
  int before = styles->Count();
  styles->SetRuleProperty("p.x", "no-such-property", "1");
  EXPECT_EQ(styles->Count(), before);
  styles->SetRuleProperty("p.x", "color", "nonsense");
  ASSERT_NE(styles->Find("p.x"), nullptr);
  EXPECT_TRUE(styles->Find("p.x")->Value(piColor).IsEmpty());
  styles->SetRuleProperty("p.x", "color", "red");
  styles->SetRuleProperty("p.x", "color", "lime");  // the later declaration replaces
  EXPECT_EQ(styles->Find("P.X")->Value(piColor), TPropValue(0x00FF00u));
  EXPECT_EQ(styles->Find("p.x")->FTagName, "p.x");
  styles->SetRuleProperty("p.x", "background-color", "nonsense");
  EXPECT_EQ(styles->Find("p.x")->Value(piBackgroundColor), TPropValue(clNone));

  EXPECT_EQ(doc.Count, 0);
  styles->SetRuleProperty("a", "color", "red");
  EXPECT_EQ(doc.Count, 0);
  EXPECT_EQ(styles->Find("::link")->Value(piColor), TPropValue(0xFFu));
  styles->SetRuleProperty("a:hover", "color", "red");
  EXPECT_EQ(doc.Count, 1);

  styles->SetRuleProperty(":link", "color", "#010203");
  EXPECT_EQ(styles->Find("::visited")->Value(piColor), TPropValue(0x02030201u));
  EXPECT_EQ(styles->Find("::hover")->Value(piColor), TPropValue(0x02030201u));
  styles->SetRuleProperty(":visited", "color", "#040506");
  EXPECT_EQ(styles->Find("::hover")->Value(piColor), TPropValue(0x02060504u));
  EXPECT_EQ(styles->Find("::visited")->Value(piColor), TPropValue(0x02030201u));
  styles->SetLinkColor("visited", 0x123);
  EXPECT_EQ(styles->Find("::visited")->Value(piColor), TPropValue(0x123));
  styles->SetLinkColor("nothing", 0x123);
  EXPECT_EQ(styles->Find("::nothing"), nullptr);
}

TEST(StyleList, KeysAreBounded) {
  TStyleList styles;
  for (int i = 0; i < MaxStyleKeys + 50; ++i) styles.SetRuleProperty(".c" + std::to_string(i), "color", "red");
  EXPECT_EQ(styles.Count(), MaxStyleKeys);
}

TEST(Cascade, MergeOrderOfDirectRules) {
  auto styles = StylesWith(
      "#x { margin-left: 4px } p.note#x { margin-left: 5px }"
      "p.note { color: blue; margin-top: 2px } .note { color: green; margin-top: 1px; margin-right: 1px }"
      "p { color: red; margin-right: 0; text-indent: 9px } .note#x { margin-bottom: 3px } p#x { margin-bottom: 2px }");
  TElementStack s(*styles);
  s.Push("body");
  auto inlineStyle = std::make_shared<TProperties>();
  ParseInlineStyle("text-indent: 1px", *inlineStyle);
  TProperties& p = s.Push("p", "note", "x", {}, inlineStyle, "A title");
  EXPECT_EQ(ColorOf(p), 0xFF0000u);                            // p.note over .note over p
  EXPECT_EQ(p.Value(piMarginTop), TPropValue("2px"));
  EXPECT_EQ(p.Value(piMarginRight), TPropValue("1px"));        // .note over p
  EXPECT_EQ(p.Value(piMarginLeft), TPropValue("5px"));         // p.note#x over #x
  EXPECT_EQ(p.Value(piMarginBottom), TPropValue("3px"));       // .note#x over p#x
  EXPECT_EQ(p.Value(piTextIndent), TPropValue("1px"));         // the style attribute wins
  EXPECT_EQ(p.FTagName, "p");
  EXPECT_EQ(p.FClassName, "note");
  EXPECT_EQ(p.FIdName, "x");
  EXPECT_EQ(p.FTitleText, "A title");
  EXPECT_EQ(p.FInlineStyle, inlineStyle);
  EXPECT_EQ(s.Push("span").FTitleText, "A title");
}

TEST(Cascade, ZIndexOfARuleSurvivesLaterRulesAndTheStyleAttribute) {
  auto styles = StylesWith(".top { z-index: 5 } #x { color: red } #y { z-index: 0 }");
  TElementStack s(*styles);
  s.Push("body");
  auto inlineStyle = std::make_shared<TProperties>();
  ParseInlineStyle("color: green", *inlineStyle);
  EXPECT_EQ(s.Push("div", "top", "x", {}, inlineStyle).GetZIndex(), 5);
  EXPECT_EQ(s.Push("div", "top", "y").GetZIndex(), 0);  // a written 0 still counts
}

TEST(Cascade, MergeOrderWithPseudoClasses) {
  // Each rule sets margin-top and one property of its own; the element's margin-top tells which
  // rule came last, the others that every rule was merged.
  const char* keys[] = {"a", ":link", ".c", "a.c", "a:link", ".c:link", "a.c:link", "#i", "a#i", ".c#i",
                        "#i:link", "a#i:link", "a.c#i", ".c#i:link", "a.c#i:link"};
  for (size_t n = 1; n <= std::size(keys); ++n) {
    std::string partial;
    for (size_t i = 0; i < n; ++i) partial += std::string(keys[i]) + " { margin-top: m" + std::to_string(i) + " }\n";
    auto styles = StylesWith(partial);
    TElementStack s(*styles);
    s.Push("body");
    EXPECT_EQ(s.Push("a", "c", "i", "link").Value(piMarginTop), TPropValue("m" + std::to_string(n - 1))) << keys[n - 1];
  }
  // Not plain: tag and class rules are skipped for the visited and hover states.
  auto styles = StylesWith("a { margin-left: 1px } .c { margin-left: 2px } a:visited { margin-right: 3px }");
  TElementStack s(*styles);
  TProperties& visited = s.Push("a", "c", {}, "visited");
  EXPECT_EQ(visited.Value(piMarginLeft), TPropValue(NotSetValue));
  EXPECT_EQ(visited.Value(piMarginRight), TPropValue("3px"));
}

TEST(Cascade, FontSizesBecomePoints) {
  auto styles = StylesWith("div { font-size: 20pt } em { font-size: 150% } .big { font-size: larger }");
  TElementStack s(*styles);
  s.Push("body");
  EXPECT_DOUBLE_EQ(s.Push("div").Value(piFontSize).Real(), 20.0);
  EXPECT_DOUBLE_EQ(s.Push("em").Value(piFontSize).Real(), 30.0);
  EXPECT_DOUBLE_EQ(s.Push("span", "big").Value(piFontSize).Real(), 37.5);
  EXPECT_DOUBLE_EQ(s.Push("code").Value(piFontSize).Real(), 37.5 * 0.833);
}

TEST(Cascade, DescendantRulesAtAnyDepthAndInOrder) {
  auto styles = StylesWith(
      "div p { color: red } ul li a { color: green } body div span { color: blue } div span { color: lime }"
      "p.c b { color: #111111 } div .k { margin-top: 7px }");
  TElementStack s(*styles);
  s.Push("body");
  s.Push("div");
  s.Push("table");
  s.Push("td");
  EXPECT_EQ(ColorOf(s.Push("p")), 0xFFu);
  EXPECT_EQ(s.Push("i", "k").Value(piMarginTop), TPropValue("7px"));
  // more ancestors beat fewer, whatever the order written
  EXPECT_EQ(ColorOf(s.Push("span")), 0xFF0000u);

  TElementStack t(*styles);
  t.Push("body");
  t.Push("ul");
  t.Push("li");
  EXPECT_EQ(ColorOf(t.Push("a")), 0x008000u);

  TElementStack u(*styles);
  u.Push("body");
  u.Push("li");
  u.Push("ul");
  EXPECT_NE(ColorOf(u.Push("a")), 0x008000u);  // ancestors in the wrong order

  TElementStack v(*styles);
  v.Push("p", "c");
  EXPECT_EQ(ColorOf(v.Push("b")), 0x02111111u);
  TElementStack w(*styles);
  w.Push("p");
  EXPECT_NE(ColorOf(w.Push("b")), 0x02111111u);
}

TEST(Cascade, LaterDescendantRulesWinPastManySerials) {
  std::string sheet;
  for (int i = 0; i < 150; ++i) sheet += "div p { margin-top: " + std::to_string(i) + "px }\n";
  auto styles = StylesWith(sheet);
  TElementStack s(*styles);
  s.Push("div");
  EXPECT_EQ(s.Push("p").Value(piMarginTop), TPropValue("149px"));
}

TEST(Cascade, CompoundSubjects) {
  auto styles = StylesWith("div p.note { color: red } div :hover { color: blue }");
  TElementStack s(*styles);
  s.Push("div");
  EXPECT_EQ(ColorOf(s.Push("p", "note")), 0xFFu);
  s.Stack.PopElement(*styles, "p");
  EXPECT_NE(ColorOf(s.Push("p")), 0xFFu);
}

TEST(Cascade, DescendantSubjectsByIdAndCaseOfAncestors) {
  auto styles = StylesWith("div #x { color: red } DIV.Wrap SPAN { margin-top: 3px } ul :hover { color: lime }");
  TElementStack s(*styles);
  s.Push("div", "WRAP");
  EXPECT_EQ(ColorOf(s.Push("p", {}, "X")), 0xFFu);
  EXPECT_EQ(s.Push("span").Value(piMarginTop), TPropValue("3px"));
  TElementStack t(*styles);
  t.Push("div", "other");
  EXPECT_EQ(t.Push("span").Value(piMarginTop), TPropValue(NotSetValue));
  TElementStack u(*styles);
  u.Push("ul");
  EXPECT_EQ(ColorOf(u.Push("a", {}, {}, "hover")), 0x00FF00u);
}

TEST(Cascade, ParagraphInsidePreHasNoTopMargin) {
  auto styles = DefaultStyles();
  TElementStack s(*styles);
  s.Push("body");
  EXPECT_EQ(s.Push("p").Value(piMarginTop), TPropValue(ParagraphSpaceValue));
  s.Stack.PopElement(*styles, "p");
  s.Push("pre");
  s.Push("div");
  EXPECT_EQ(s.Push("p").Value(piMarginTop), TPropValue(0));
}

TEST(Cascade, LinkFontsForTheFourStates) {
  auto styles = DefaultStyles();
  TElementStack s(*styles);
  s.Push("body");
  TProperties& a = s.Push("a", {}, {}, "link");
  ASSERT_TRUE(a.FHasLinkFonts);
  ASSERT_TRUE(a.FLinkFonts);
  const auto& f = a.FLinkFonts->Ar;
  EXPECT_EQ(f[lfLink].Color, clBlue | PaletteMatchFlag);
  EXPECT_EQ(f[lfVisited].Color, clPurple | PaletteMatchFlag);
  EXPECT_EQ(f[lfHover].Color, clBlue | PaletteMatchFlag);
  EXPECT_EQ(f[lfVisitedHover].Color, clBlue | PaletteMatchFlag);
  for (const auto& info : f) EXPECT_TRUE(info.Style & fsUnderline);
  EXPECT_EQ(s.Stack.Count(), 3);  // the state sets are gone again

  // Children of a link carry its fonts; their rules change all four.
  TProperties& b = s.Push("b");
  ASSERT_TRUE(b.FHasLinkFonts);
  for (const auto& info : b.FLinkFonts->Ar) EXPECT_TRUE(info.Style & fsBold);
}

TEST(Cascade, LinkColourRules) {
  {
    auto styles = StylesWith("a { color: red; font-weight: bold }");
    TElementStack s(*styles);
    const auto& f = s.Push("a", {}, {}, "link").FLinkFonts->Ar;
    EXPECT_EQ(f[lfLink].Color, 0xFFu);
    EXPECT_EQ(f[lfVisited].Color, clPurple | PaletteMatchFlag);
    EXPECT_EQ(f[lfHover].Color, clBlue | PaletteMatchFlag);
    for (const auto& info : f) EXPECT_TRUE(info.Style & fsBold);
  }
  {
    auto styles = StylesWith(":link { color: green }");
    TElementStack s(*styles);
    const auto& f = s.Push("a", {}, {}, "link").FLinkFonts->Ar;
    for (const auto& info : f) EXPECT_EQ(info.Color, 0x008000u);
  }
  {
    auto styles = StylesWith(":visited { color: #0000ff } a:hover { color: yellow; background-color: #eeeeee }");
    TElementStack s(*styles);
    const auto& f = s.Push("a", {}, {}, "link").FLinkFonts->Ar;
    EXPECT_EQ(f[lfLink].Color, clBlue | PaletteMatchFlag);
    EXPECT_EQ(f[lfVisited].Color, 0x02FF0000u);
    EXPECT_EQ(f[lfHover].Color, 0x00FFFFu);
    EXPECT_EQ(f[lfVisitedHover].Color, 0x00FFFFu);
    EXPECT_EQ(f[lfHover].BGColor, 0x02EEEEEEu);
    EXPECT_EQ(f[lfLink].BGColor, clNone);
  }
  {
    auto styles = StylesWith("a.nav:visited { color: red } div a:link { text-decoration: none }");
    TElementStack s(*styles);
    s.Push("div");
    const auto& f = s.Push("a", "nav", {}, "link").FLinkFonts->Ar;
    EXPECT_EQ(f[lfVisited].Color, 0xFFu);
    EXPECT_EQ(f[lfLink].Style & fsUnderline, 0);
  }
}

// Links met again in the same context reuse their state fonts; these must still follow the
// rules as they are now, the list they come from, and the link's ancestors.
TEST(Cascade, RepeatedLinksFollowTheRulesOfTheirMoment) {
  auto styles = DefaultStyles();
  TElementStack s(*styles);
  s.Push("body");
  auto hoverColor = [&](std::string_view cls = {}) {
    TProperties& a = s.Push("a", cls, {}, "link");
    TColor c = a.FLinkFonts->Ar[lfHover].Color;
    s.Stack.PopElement(*styles, "a");
    return c;
  };
  EXPECT_EQ(hoverColor(), clBlue | PaletteMatchFlag);
  EXPECT_EQ(hoverColor(), clBlue | PaletteMatchFlag);
  styles->SetLinkColor("hover", 0x00FF00);  // a body attribute
  EXPECT_EQ(hoverColor(), 0x00FF00u);
  ParseStyleText(*styles, "a:hover { color: red }", "");  // a sheet later in the page
  EXPECT_EQ(hoverColor(), 0xFFu);

  // A rule that picks the link by an ancestor: the same link differs inside and outside.
  ParseStyleText(*styles, ".x:hover { font-weight: bold } div .x:visited { font-style: italic }", "");
  auto states = [&] {
    TProperties& a = s.Push("a", "x", {}, "link");
    TFontInfoArray f = *a.FLinkFonts;
    s.Stack.PopElement(*styles, "a");
    return f;
  };
  TFontInfoArray outside = states();
  s.Push("div");
  TFontInfoArray inside = states();
  s.Stack.PopElement(*styles, "div");
  TFontInfoArray outsideAgain = states();
  EXPECT_TRUE(outside.Ar[lfHover].Style & fsBold);
  EXPECT_FALSE(outside.Ar[lfVisited].Style & fsItalic);
  EXPECT_TRUE(inside.Ar[lfVisited].Style & fsItalic);
  EXPECT_TRUE(outside == outsideAgain);

  // Another list, even at the same address, has its own rules.
  styles.reset();
  TStyleDefaults d;
  d.HoverColor = 0x123456;
  auto other = std::make_unique<TStyleList>();
  other->Initialize(d);
  TElementStack t(*other);
  t.Push("body");
  EXPECT_EQ(t.Push("a", {}, {}, "link").FLinkFonts->Ar[lfHover].Color, 0x123456u | PaletteMatchFlag);
}

// Sets are numbered in the order they are made, remembered link fonts or not (inline borders
// pair their ends by number).
TEST(Cascade, SetNumbersDoNotDependOnRememberedLinkFonts) {
  auto styles = DefaultStyles();
  TElementStack s(*styles);
  s.Push("body");
  std::vector<int> serials;
  for (int i = 0; i < 3; ++i) {
    serials.push_back(s.Push("a", {}, {}, "link").FSerial);
    s.Stack.PopElement(*styles, "a");
  }
  EXPECT_EQ(serials[1] - serials[0], serials[2] - serials[1]);
  EXPECT_EQ(serials[1] - serials[0], 4);  // the link and its three state sets
}

TEST(PropStack, PopReinheritsTheEntriesAbove) {
  auto styles = StylesWith("div { color: red; margin-left: 5px } b { font-weight: bold }");
  TElementStack s(*styles);
  s.Push("body");
  s.Push("div");
  s.Push("span");
  TProperties& b = s.Push("b", {}, {}, {}, nullptr, {});
  EXPECT_EQ(ColorOf(b), 0xFFu);
  auto removed = s.Stack.PopElement(*styles, "div");
  ASSERT_TRUE(removed);
  EXPECT_EQ(removed->FTagName, "div");
  ASSERT_EQ(s.Stack.Count(), 4);
  EXPECT_EQ(ColorOf(s.Stack[3]), clBlack);                       // inherited again
  EXPECT_EQ(s.Stack[3].Value(piFontWeight), TPropValue("bold"));  // its own rule stays
  EXPECT_EQ(s.Stack[2].Value(piMarginLeft), TPropValue(NotSetValue));
  EXPECT_EQ(s.Stack.PopElement(*styles, "div"), nullptr);
  EXPECT_EQ(s.Stack.PopElement(*styles, "default"), nullptr);  // entry 0 stays
  EXPECT_TRUE(s.Stack.PopElement(*styles, "b"));
  EXPECT_EQ(s.Stack.Count(), 3);
}

TEST(PropStack, ResetCopiesTheDefaultSet) {
  auto styles = DefaultStyles();
  TPropStack& stack = PropStack();
  stack.Reset(*styles->DefaultProps());
  ASSERT_EQ(stack.Count(), 1);
  EXPECT_EQ(stack[0].FTagName, "default");
  EXPECT_EQ(stack[0].Value(piFontSize), TPropValue(12.0));
  stack.Clear();
}

TEST(PropStack, MisnestedEndTagRecombinesTheLinkWithItsOwnInlineStyle) {
  auto styles = DefaultStyles();
  TElementStack s(*styles);
  s.Push("body");
  s.Push("b");
  auto inlineStyle = std::make_shared<TProperties>();
  ParseInlineStyle("color: red", *inlineStyle);
  s.Push("a", {}, {}, "link", inlineStyle);
  std::weak_ptr<const TProperties> watch = inlineStyle;
  inlineStyle.reset();  // the tag that made it has been replaced by the next one
  auto green = std::make_shared<TProperties>();
  ParseInlineStyle("color: lime", *green);
  s.Push("i", {}, {}, {}, green);
  ASSERT_TRUE(s.Stack.PopElement(*styles, "b"));  // "</b>" before "</a>"
  ASSERT_FALSE(watch.expired());
  ASSERT_EQ(s.Stack[2].FTagName, "a");
  for (const ThtFontInfo& f : s.Stack[2].FLinkFonts->Ar) EXPECT_EQ(f.Color, 0xFFu);
  // The child takes the link's fonts again, with its own colour in them.
  for (const ThtFontInfo& f : s.Stack[3].FLinkFonts->Ar) EXPECT_EQ(f.Color, 0x00FF00u);
  s.Stack.PopElement(*styles, "i");
  s.Stack.PopElement(*styles, "a");
  EXPECT_TRUE(watch.expired());  // and goes with the element
}

TEST(PropStack, AncestorFilterCostsTheSameAtAnyDepth) {
  // The default sheet has a descendant rule, so every element consults the ancestor filter.
  auto styles = DefaultStyles();
  for (int depth : {100, 2000}) {
    TElementStack s(*styles);
    for (int i = 0; i < depth; ++i) s.Push(i % 2 ? "div" : "span", "c" + std::to_string(i % 7));
    s.Push("p");
    EXPECT_LE(s.Stack.FilterSteps(), 2LL * (depth + 1)) << depth;
    for (int i = depth - 1; i >= 0; --i) s.Stack.PopElement(*styles, i % 2 ? "div" : "span");
  }
  static_assert(MaxNestingDepth >= 256 && MaxNestingDepth <= 1024);
}

TEST(PropStack, AncestorFilterFollowsEntriesRemovedAndInserted) {
  auto styles = StylesWith(
      "ul.menu li a { margin-left: 3px } div#nav a { margin-top: 4px } p.x b { color: lime } li b { margin-right: 6px }");
  {
    // The entries above a removed one move down; the filter must follow them.
    TElementStack s(*styles);
    s.Push("body");
    s.Push("ul");
    s.Push("li");
    s.Push("i");
    ASSERT_TRUE(s.Stack.PopElement(*styles, "ul"));
    ASSERT_TRUE(s.Stack.PopElement(*styles, "i"));
    EXPECT_EQ(s.Push("b").Value(piMarginRight), TPropValue("6px"));
  }
  TElementStack s(*styles);
  s.Push("body");
  s.Push("div", {}, "nav");
  s.Push("ul", "menu");
  s.Push("li");
  s.Push("a", {}, {}, "link");
  EXPECT_EQ(s.Stack.Last().Value(piMarginLeft), TPropValue("3px"));
  EXPECT_EQ(s.Stack.Last().Value(piMarginTop), TPropValue("4px"));
  // "</ul>" while the link is open: what is pushed after sees the stack without it.
  ASSERT_TRUE(s.Stack.PopElement(*styles, "ul"));
  TProperties& after = s.Push("a");
  EXPECT_EQ(after.Value(piMarginLeft), TPropValue(NotSetValue));
  EXPECT_EQ(after.Value(piMarginTop), TPropValue("4px"));
  ASSERT_TRUE(s.Stack.PopElement(*styles, "div"));
  EXPECT_EQ(s.Push("a").Value(piMarginTop), TPropValue(NotSetValue));
  // The state sets a link inserts for its fonts are gone again; a later subject still matches.
  s.Push("p", "x");
  EXPECT_EQ(ColorOf(s.Push("b")), 0x00FF00u);
}
