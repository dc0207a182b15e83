// Author selectors, their order in the cascade, at-rules and the values of later CSS levels,
// checked on the computed style of elements of small documents.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "StyleTestEnv.h"
#include "core/Attributes.h"
#include "style/Colors.h"
#include "style/StyleLimits.h"
#include "style/Units.h"

using namespace korva;
using namespace korva::test;

namespace {

constexpr TColor Red = 0x0000FFu, Blue = 0xFF0000u, Green = 0x008000u;

// A document being built: elements opened and closed in order, with attributes.
struct TDoc {
  std::unique_ptr<TStyleList> Styles;
  TPropStack Stack;
  explicit TDoc(const std::string& sheet, const TMediaEnv& env = {}) : Styles(DefaultStyles()) {
    Styles->SetMediaEnv(env);
    ParseStyleText(*Styles, sheet, {});
    Stack.Reset(*Styles->DefaultProps());
  }
  TProperties& Open(std::string_view tag, std::string_view cls = {}, std::string_view id = {},
                    std::map<std::string, std::string> attrs = {}, std::string_view pseudo = {},
                    std::shared_ptr<const TProperties> inlineStyle = nullptr) {
    TAttributeList list;
    for (const auto& [name, value] : attrs) list.Add(syUnknownAttr, name, 0, value);
    return Stack.PushElement(*Styles, tag, cls, id, std::move(inlineStyle), {}, pseudo, &list);
  }
  void Close(std::string_view tag) { Stack.PopElement(*Styles, tag); }
  // Opens and closes an element; its colour.
  TColor Leaf(std::string_view tag, std::string_view cls = {}, std::string_view id = {},
              std::map<std::string, std::string> attrs = {}) {
    TColor c = Colour(Open(tag, cls, id, std::move(attrs)));
    Close(tag);
    return c;
  }
  static TColor Colour(const TProperties& p) { return p.Value(piColor).IsInt() ? TColor(p.Value(piColor).Int()) : 0xDEADu; }
};

}  // namespace

TEST(Selectors, ClassListsIdsAndOrder) {
  TDoc d(".a { color: red } .b { color: blue } .c.d { color: green } .d { color: red } p.e { color: green } "
         ".e { color: blue } #x { color: green } p { color: blue } .f { color: red } .F2 { color: green }");
  d.Open("body");
  EXPECT_EQ(d.Leaf("p", "a"), Red);
  EXPECT_EQ(d.Leaf("p", "a b"), Blue);        // same weight: the later rule
  EXPECT_EQ(d.Leaf("p", "b  a"), Blue);       // order in the attribute does not matter
  EXPECT_EQ(d.Leaf("p", "d c"), Green);       // two classes outweigh one written later
  EXPECT_EQ(d.Leaf("p", "e"), Green);         // tag and class outweigh a class written later
  EXPECT_EQ(d.Leaf("p", "f", "x"), Green);    // id outweighs everything else
  EXPECT_EQ(d.Leaf("p", "ab"), Blue);         // no partial class names
  EXPECT_EQ(d.Leaf("p", "f2"), Green);        // class names compare without case
}

TEST(Selectors, Combinators) {
  TDoc d("h1 + p { color: red } h1 ~ ul { color: blue } div > p { color: green } "
         "dl > dt span ~ em { font-family: monospace } div p span { color: blue } h2 ~ * + h3 { color: red }");
  d.Open("body");
  EXPECT_EQ(d.Leaf("h1"), 0u) << "the left part of a sibling selector is not its subject";
  EXPECT_EQ(d.Leaf("p"), Red);
  EXPECT_EQ(d.Leaf("p"), 0u);   // not right after the h1
  EXPECT_EQ(d.Leaf("ul"), Blue);  // any later sibling
  d.Open("div");
  EXPECT_EQ(d.Leaf("p"), Green);
  d.Open("blockquote");
  EXPECT_EQ(d.Leaf("p"), 0u);  // a grandchild is no child
  d.Open("p");
  EXPECT_EQ(d.Leaf("span"), Blue);
  d.Close("p");
  d.Close("blockquote");
  d.Close("div");
  EXPECT_EQ(d.Leaf("ul"), Blue);  // siblings further back still count

  TProperties& dl = d.Open("dl");
  EXPECT_TRUE(dl.Value(piFontFamily).TextOrEmpty() != "monospace");
  TProperties& dt = d.Open("dt");
  EXPECT_TRUE(dt.Value(piFontFamily).TextOrEmpty() != "monospace");
  EXPECT_TRUE(d.Open("em").Value(piFontFamily).TextOrEmpty() != "monospace");  // no span before it
  d.Close("em");
  d.Open("span");
  d.Close("span");
  EXPECT_EQ(d.Open("em").Value(piFontFamily).TextOrEmpty(), "monospace");
  d.Close("em");
  d.Close("dt");
  d.Close("dl");

  d.Open("section");
  d.Leaf("h2");
  EXPECT_EQ(d.Leaf("h3"), 0u);  // right after h2: "*" needs an element between
  d.Leaf("p");
  EXPECT_EQ(d.Leaf("h3"), Red);
}

TEST(Selectors, AttributesWithHtmlCaseRules) {
  TDoc d("[title] { color: red } input[type=text] { color: blue } a[href^='http:'] { color: green } "
         "a[href$=\".pdf\"] { color: blue } [lang|=en] { color: green } [rel~=next] { color: blue } "
         "[data*=Mid] { color: green } [title=\"Exact\"] { color: blue }");
  d.Open("body");
  EXPECT_EQ(d.Leaf("p", {}, {}, {{"TITLE", "x"}}), Red);
  EXPECT_EQ(d.Leaf("input", {}, {}, {{"TYPE", "TEXT"}}), Blue);  // type is a keyword: no case
  EXPECT_EQ(d.Leaf("a", {}, {}, {{"HREF", "http://x/"}}), Green);
  EXPECT_EQ(d.Leaf("a", {}, {}, {{"HREF", "HTTP://x/"}}), 0u);   // href keeps its case
  EXPECT_EQ(d.Leaf("a", {}, {}, {{"HREF", "doc.pdf"}}), Blue);
  EXPECT_EQ(d.Leaf("p", {}, {}, {{"LANG", "en-GB"}}), Green);
  EXPECT_EQ(d.Leaf("p", {}, {}, {{"LANG", "english"}}), 0u);
  EXPECT_EQ(d.Leaf("link", {}, {}, {{"REL", "prev next"}}), Blue);
  EXPECT_EQ(d.Leaf("p", {}, {}, {{"DATA", "aMidb"}}), Green);
  EXPECT_EQ(d.Leaf("p", {}, {}, {{"DATA", "amidb"}}), 0u);
  EXPECT_EQ(d.Leaf("p", {}, {}, {{"TITLE", "exact"}}), Red);  // the later rule does not match
  EXPECT_EQ(d.Leaf("p", {}, {}, {{"TITLE", "Exact"}}), Blue);
}

TEST(Selectors, StructuralPseudoClasses) {
  TDoc d("li:first-child { color: red } li:nth-child(2n+4) { color: blue } p:first-of-type { color: green } "
         "p:nth-of-type(3) { color: blue } li:not(.x) { font-style: italic } :root { margin-top: 7px } "
         "li:last-child, li { color: green } li:nth-child(-n+1000000000000000000000) { margin-top: 1px }");
  TProperties& html = d.Open("html");
  EXPECT_EQ(html.Value(piMarginTop).TextOrEmpty(), "7px");
  TProperties& body = d.Open("body");
  EXPECT_NE(body.Value(piMarginTop).TextOrEmpty(), "7px") << "only the outermost element is the root";
  d.Open("ul");
  std::vector<TColor> got;
  for (int i = 1; i <= 6; ++i) got.push_back(d.Leaf("li", i == 3 ? "x" : ""));
  EXPECT_EQ(got, (std::vector<TColor>{Red, 0u, 0u, Blue, 0u, Blue}))
      << "a group with :last-child is dropped whole, and with it the plain li";
  TProperties& li = d.Open("li", "x");
  EXPECT_TRUE(li.Value(piFontStyle).TextOrEmpty() != "italic");
  EXPECT_EQ(li.Value(piMarginTop).TextOrEmpty(), "1px");  // a huge argument saturates
  d.Close("li");
  d.Close("ul");
  std::vector<TColor> ps;
  d.Leaf("div");
  for (int i = 1; i <= 3; ++i) {
    ps.push_back(d.Leaf("p"));
    d.Leaf("span");
  }
  EXPECT_EQ(ps, (std::vector<TColor>{Green, 0u, Blue}));
}

TEST(Selectors, ImportanceInlineStyleAndLinks) {
  TDoc d("p { color: red !important; margin-top: 3px } #x { color: blue; margin-top: 1px } "
         "a:link { color: green } a:hover { color: red } a { margin-top: 2px } a:active { color: blue } "
         "div:hover { color: red }");
  d.Open("body");
  auto inlineStyle = std::make_shared<TProperties>();
  ParseInlineStyle("color: green; margin-top: 9px !important", *inlineStyle);
  TProperties& p = d.Open("p", {}, "x", {}, {}, inlineStyle);
  EXPECT_EQ(TDoc::Colour(p), Red);                           // important beats the style attribute
  EXPECT_EQ(p.Value(piMarginTop).TextOrEmpty(), "9px");      // which beats every normal rule
  d.Close("p");
  TProperties& a = d.Open("a", {}, {}, {}, "link");
  EXPECT_EQ(TDoc::Colour(a), Green);
  EXPECT_EQ(a.Value(piMarginTop).TextOrEmpty(), "2px");
  ASSERT_TRUE(a.FLinkFonts);
  EXPECT_EQ(a.FLinkFonts->Ar[lfHover].Color, Red);
  d.Close("a");
  EXPECT_EQ(d.Leaf("div"), 0u);  // never hovered while built
}

TEST(Selectors, InvalidSelectorsDropTheirWholeRule) {
  TDoc d("p, p:unknown { color: red } h1, h1::first-line { color: red } h2, h2 >> h3 { color: red } "
         "h3,, h4 { color: red } h5[x { color: red } h6 { color: blue } ns|p { color: red } "
         "dl { x { color: red } color: blue } dt:not(:not(p)) { color: red } dd:not(p.x) { color: red }");
  d.Open("body");
  for (const char* tag : {"p", "h1", "h2", "h3", "h4", "h5", "dt", "dd"}) EXPECT_EQ(d.Leaf(tag), 0u) << tag;
  EXPECT_EQ(d.Leaf("h6"), Blue);
  EXPECT_EQ(d.Leaf("dl"), Blue);  // a nested block inside a declaration block is skipped whole
  for (const char* bad : {"p[a~", "p[a|", "p[a^=", "p[a=]", "p:nth-child(", "p:nth-child(x)", "p:not(", "p#", "p.",
                          "p::", "p:", "p[", "p >", "p ~ ", "p + + q", "p:last-child", "p:empty"}) {
    TDoc e(std::string(bad) + " { color: red }");
    e.Open("body");
    EXPECT_EQ(e.Leaf("p"), 0u) << bad;
    EXPECT_EQ(e.Styles->AuthorRuleCount(), 0) << bad;
  }
}

TEST(Selectors, GeneratedContent) {
  TDoc d("a.headerlink:after { content: \"\\00B6\"; color: red } p::before { content: 'Note: ' } "
         "p.none::before { content: none } q:before { color: blue }");
  d.Open("body");
  TProperties& a = d.Open("a", "headerlink");
  ASSERT_TRUE(a.FAfter);
  EXPECT_EQ(a.FAfter->Text, "\xC2\xB6");
  ASSERT_EQ(a.FAfter->Values.size(), 1u);
  EXPECT_EQ(a.FAfter->Values[0].first, int(piColor));
  EXPECT_FALSE(a.FBefore);
  EXPECT_EQ(TDoc::Colour(a), 0u) << "the pseudo-element's rule is not the element's";
  d.Close("a");
  TProperties& p = d.Open("p");
  ASSERT_TRUE(p.FBefore);
  EXPECT_EQ(p.FBefore->Text, "Note: ");
  d.Close("p");
  EXPECT_FALSE(d.Open("p", "none").FBefore);
  d.Close("p");
  EXPECT_FALSE(d.Open("q").FBefore);  // no content, no box
}

TEST(Selectors, HugeGroupsAndArgumentsStayCheap) {
  std::string sheet;
  for (int i = 0; i < 10000; ++i) sheet += "div.c" + std::to_string(i) + " > p:nth-child(" + std::to_string(i) + "n+1),";
  sheet += "p { color: red }";
  TDoc d(sheet);
  EXPECT_EQ(d.Styles->AuthorRuleCount(), MaxSelectorsPerRule);  // parsed whole, kept bounded
  d.Open("body");
  EXPECT_EQ(d.Leaf("p"), 0u) << "the last selector of the group is beyond the bound";
  std::string nth = "li:nth-child(" + std::string(5000, '9') + "n-" + std::string(5000, '9') + ") { color: red }";
  TDoc e(nth);
  e.Open("ul");
  EXPECT_EQ(e.Leaf("li"), 0u);
  long long a = 0, b = 0;
  EXPECT_TRUE(ParseNth(" -2N + 3 ", a, b));
  EXPECT_EQ(a, -2);
  EXPECT_EQ(b, 3);
  EXPECT_TRUE(NthMatches(-2, 3, 1));
  EXPECT_TRUE(NthMatches(-2, 3, 3));
  EXPECT_FALSE(NthMatches(-2, 3, 5));
  EXPECT_FALSE(ParseNth("2n+", a, b));
  EXPECT_FALSE(ParseNth("n2", a, b));
}

TEST(AtRules, MediaQueriesAtSeveralWidths) {
  const std::string sheet =
      "@media screen and (max-width: 600px) { p { color: red } } "
      "@media (min-width: 601px) and (max-width: 50em) { p { color: blue } } "
      "@media only screen and (orientation: portrait) { h1 { color: green } } "
      "@media not print { h2 { color: green } } @media print, tv { h3 { color: red } } "
      "@media (prefers-color-scheme: light) { h4 { color: blue } } @media (prefers-color-scheme: dark) { h4 { color: red } } "
      "@media screen and (unknown-feature: 1) { h5 { color: red } } @media not tv { h6 { color: blue } } "
      "@media screen { @media (min-width: 700px) { dt { color: red } } }";
  auto colours = [&](int width, int height) {
    TDoc d(sheet, TMediaEnv{width, height, false});
    d.Open("body");
    std::vector<TColor> r;
    for (const char* tag : {"p", "h1", "h2", "h3", "h4", "h5", "h6", "dt"}) r.push_back(d.Leaf(tag));
    return r;
  };
  EXPECT_EQ(colours(500, 900), (std::vector<TColor>{Red, Green, Green, 0u, Blue, 0u, Blue, 0u}));
  EXPECT_EQ(colours(700, 500), (std::vector<TColor>{Blue, 0u, Green, 0u, Blue, 0u, Blue, Red}));
  EXPECT_EQ(colours(1200, 500)[0], 0u);

  TDoc d(sheet);
  EXPECT_EQ(d.Styles->WidthBreakpoints(), (std::vector<int>{601, 700, 801}));
  EXPECT_EQ(d.Styles->MediaState({550, 600, false}), d.Styles->MediaState({600, 600, false}));
  EXPECT_NE(d.Styles->MediaState({600, 600, false}), d.Styles->MediaState({601, 600, false}));
  // The same rules answer again for another width.
  d.Stack.Reset(*d.Styles->DefaultProps());
  d.Styles->SetMediaEnv({500, 600, false});
  d.Open("body");
  EXPECT_EQ(d.Leaf("p"), Red);
  d.Styles->SetMediaEnv({700, 600, false});
  EXPECT_EQ(d.Leaf("p"), Blue);
}

TEST(AtRules, ImportsResolvedBoundedAndWithoutCycles) {
  std::map<std::string, std::string> files = {
      {"http://h/css/theme.css", "@import url(\"base.css\"); @import 'print.css' print; h1 { color: blue }"},
      {"http://h/css/base.css", "@import url(../more/deep.css) screen and (min-width: 100px); p { color: red } h1 { color: red }"},
      {"http://h/more/deep.css", "@import url(/css/theme.css); li { color: green }"},  // back to the start
      {"http://h/css/print.css", "dt { color: red }"},
  };
  for (int i = 0; i < 40; ++i)
    files["http://h/chain/" + std::to_string(i) + ".css"] =
        "@import \"" + std::to_string(i + 1) + ".css\"; .c" + std::to_string(i) + " { color: red }";
  std::vector<std::string> asked;
  auto styles = DefaultStyles();
  styles->SetImportFetcher([&](const std::string& url, std::string& data) {
    asked.push_back(url);
    auto it = files.find(url);
    if (it == files.end()) return false;
    data = it->second;
    return true;
  });
  ParseStyleText(*styles, "@import url(theme.css); @import 'missing.css'; ul { color: blue }", "http://h/css/");
  TElementStack e(*styles);
  e.Push("body");
  auto colour = [&](const char* tag, const char* cls = "") {
    TColor c = TColor(e.Push(tag, cls).Value(piColor).Int());
    e.Stack.PopElement(*styles, tag);
    return c;
  };
  EXPECT_EQ(colour("p"), Red);
  EXPECT_EQ(colour("h1"), Blue);  // the importing sheet's rule comes later
  EXPECT_EQ(colour("li"), Green);
  EXPECT_EQ(colour("dt"), 0u);    // imported for print only
  EXPECT_EQ(colour("ul"), Blue);
  EXPECT_EQ(std::count(asked.begin(), asked.end(), "http://h/css/theme.css"), 1) << "the cycle is refused unread";
  EXPECT_EQ(std::count(asked.begin(), asked.end(), "http://h/more/deep.css"), 1);

  asked.clear();
  auto chain = DefaultStyles();
  chain->SetImportFetcher([&](const std::string& url, std::string& data) {
    asked.push_back(url);
    auto it = files.find(url);
    if (it == files.end()) return false;
    data = it->second;
    return true;
  });
  ParseStyleText(*chain, "@import '0.css';", "http://h/chain/");
  EXPECT_EQ(int(asked.size()), MaxImportDepth);
  TElementStack c(*chain);
  c.Push("body");
  EXPECT_EQ(TColor(c.Push("p", "c15").Value(piColor).Int()), Red);
  c.Stack.PopElement(*chain, "p");
  EXPECT_NE(TColor(c.Push("p", "c16").Value(piColor).Int()), Red);
}

TEST(Values, ColoursWithAlphaAndKeywords) {
  TColor c = 0;
  ASSERT_TRUE(ParseColor("rgba(255, 0, 0, 0.5)", false, c));
  EXPECT_TRUE(IsTranslucent(c));
  EXPECT_EQ(c & 0xFFFFFF, 0x0000FFu);
  EXPECT_NEAR(ColorAlpha(c), 128, 5);
  EXPECT_FALSE(IsSystemColor(c));
  EXPECT_EQ(ColorToRGB(c), 0x0000FFu) << "readers of the colour alone see it opaque";
  ASSERT_TRUE(ParseColor("rgba(0,0,0,0)", false, c));
  EXPECT_EQ(c, clNone);
  ASSERT_TRUE(ParseColor("rgba(0, 128, 0, 1)", false, c));
  EXPECT_EQ(c, 0x02008000u);
  ASSERT_TRUE(ParseColor("hsl(120, 100%, 25%)", false, c));
  EXPECT_EQ(c, 0x02008000u);
  ASSERT_TRUE(ParseColor("hsla(0, 100%, 50%, 25%)", false, c));
  EXPECT_EQ(c & 0xFFFFFF, 0x0000FFu);
  EXPECT_NEAR(ColorAlpha(c), 64, 5);
  ASSERT_TRUE(ParseColor("#0f08", true, c));
  EXPECT_EQ(c & 0xFFFFFF, 0x00FF00u);
  EXPECT_NEAR(ColorAlpha(c), 136, 5);
  ASSERT_TRUE(ParseColor("#336699ff", true, c));
  EXPECT_EQ(c, 0x02996633u);
  ASSERT_TRUE(ParseColor("transparent", false, c));
  EXPECT_EQ(c, clNone);
  EXPECT_FALSE(ParseColor("rgba(1, 2, 3)", false, c));
  EXPECT_FALSE(ParseColor("hsl(1, 2, 3)", false, c));
  EXPECT_EQ(ColorWithAlpha(0x123456, 0.001), clNone);

  TDoc d("div { color: red; background-color: rgba(0, 0, 0, 0); border-color: currentColor } "
         "p { color: inherit; margin-top: initial; background-color: currentcolor } p.x { color: initial } "
         "span { color: currentColor }");
  TProperties& div = d.Open("div");
  EXPECT_EQ(div.GetBackgroundColor(), clNone) << "a clear background paints nothing";
  EXPECT_EQ(div.Value(piBorderLeftColor), TPropValue(int(Red)));
  TProperties& p = d.Open("p");
  EXPECT_EQ(TDoc::Colour(p), Red);
  EXPECT_EQ(p.Value(piMarginTop), TPropValue(NotSetValue));
  EXPECT_EQ(p.Value(piBackgroundColor), TPropValue(int(Red)));
  EXPECT_EQ(TDoc::Colour(d.Open("span")), Red);
  d.Close("span");
  d.Close("p");
  EXPECT_EQ(TDoc::Colour(d.Open("p", "x")), 0u);
}

TEST(Values, NewUnitsAndTheFontShorthand) {
  TStyleList styles;
  styles.SetMediaEnv({1000, 500, false});
  SetDefaultFontSize(12);
  EXPECT_EQ(LengthToPixels("2rem", false, 0, -1, 10, 5), 32);  // 12pt at 96 dpi is 16px
  EXPECT_EQ(LengthToPixels("3ch", false, 0, -1, 10, 5), 15);
  EXPECT_EQ(LengthToPixels("10vw", false, 0, -1, 10, 5), 100);
  EXPECT_EQ(LengthToPixels("10vh", false, 0, -1, 10, 5), 50);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("1.5rem", 30), 18.0);

  TDoc d("p { font: italic bold 12px/1.4 \"Times New Roman\", serif } div { font: 700 10pt arial } "
         "h1 { font-weight: bold; font: 9pt sans-serif } h2 { font: bold } ");
  TProperties& p = d.Open("p");
  EXPECT_EQ(p.Value(piFontStyle).TextOrEmpty(), "italic");
  EXPECT_EQ(p.Value(piFontWeight).TextOrEmpty(), "bold");
  EXPECT_EQ(p.Value(piLineHeight).TextOrEmpty(), "1.4");
  EXPECT_EQ(p.Value(piFontFamily).TextOrEmpty(), "\"times new roman\",serif");
  d.Close("p");
  TProperties& div = d.Open("div");
  EXPECT_EQ(div.Value(piFontWeight).TextOrEmpty(), "700");
  EXPECT_DOUBLE_EQ(div.Value(piFontSize).Real(), 10.0);
  d.Close("div");
  EXPECT_EQ(d.Open("h1").Value(piFontWeight).TextOrEmpty(), "normal") << "the shorthand resets what it omits";
  d.Close("h1");
  EXPECT_EQ(d.Open("h2").Value(piFontWeight).TextOrEmpty(), "bold") << "no size and family: no font, the default stays";
}

TEST(Selectors, SpecificityAsCssCountsIt) {
  struct Case {
    const char* Text;
    std::uint32_t A, B, C;
  };
  for (const Case& k : {Case{"*", 0, 0, 0}, Case{"li", 0, 0, 1}, Case{"ul li", 0, 0, 2}, Case{"ul ol+li", 0, 0, 3},
                        Case{"h1 + *[rel=up]", 0, 1, 1}, Case{"ul ol li.red", 0, 1, 3}, Case{"li.red.level", 0, 2, 1},
                        Case{"#x34y", 1, 0, 0}, Case{"#s12:not(foo)", 1, 0, 1}, Case{"a:hover::before", 0, 1, 2},
                        Case{":not(#a):not(.b)", 1, 1, 0}, Case{"tr:nth-child(2n+1) > td:first-child", 0, 2, 2}}) {
    std::vector<TSelector> sels;
    ASSERT_TRUE(ParseSelectorGroup(k.Text, sels)) << k.Text;
    ASSERT_EQ(sels.size(), 1u);
    EXPECT_EQ(sels[0].Specificity, k.A << 20 | k.B << 10 | k.C) << k.Text;
  }
}

TEST(AtRules, MediaListsAsWritten) {
  SetDefaultFontSize(12);  // 1em = 16px
  const TMediaEnv narrow{300, 800, false}, wide{1000, 700, false}, paper{1000, 700, true};
  struct Case {
    const char* Text;
    bool Narrow, Wide, Paper;
  };
  for (const Case& k : {Case{"", true, true, true}, Case{"all", true, true, true}, Case{"SCREEN", true, true, false},
                        Case{"print", false, false, true}, Case{"not screen", false, false, true},
                        Case{"only screen and (min-width: 20em)", false, true, false},
                        Case{"(max-width: 320px), print", true, false, true},
                        Case{"screen and", false, false, false}, Case{"and (min-width: 1px)", false, false, false},
                        Case{"(min-width)", false, false, false}, Case{"(color)", false, false, false},
                        Case{"not tv", true, true, true}, Case{"(orientation: landscape)", false, true, true},
                        Case{"screen and (max-height: 750px)", false, true, false}}) {
    const TMediaList list = ParseMediaList(k.Text);
    EXPECT_EQ(MediaListHolds(list, narrow), k.Narrow) << k.Text;
    EXPECT_EQ(MediaListHolds(list, wide), k.Wide) << k.Text;
    EXPECT_EQ(MediaListHolds(list, paper), k.Paper) << k.Text;
  }
}
