#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "StyleTestEnv.h"
#include "style/StyleLimits.h"
#include "style/Units.h"

using namespace korva;
using namespace korva::test;

namespace {

const TPropValue& ValueOf(const TStyleList& styles, std::string_view key, int index) {
  static const TPropValue empty;
  const TProperties* p = styles.Find(key);
  return p ? p->Value(index) : empty;
}

TPropValue Text(const char* s) { return TPropValue(s); }

}  // namespace

TEST(StyleParser, SelectorsAndKeys) {
  auto s = StylesWith("h1, h2 { color: red }  P.Note{COLOR:Red}  a:Hover{color:blue} #Top { color: lime }"
                      " .my_class{ color: red } div.x#y:link { color: red }");
  EXPECT_EQ(ValueOf(*s, "h1", piColor), TPropValue(0xFFu));
  EXPECT_EQ(ValueOf(*s, "h2", piColor), TPropValue(0xFFu));
  EXPECT_EQ(ValueOf(*s, "p.note", piColor), TPropValue(0xFFu));
  EXPECT_EQ(ValueOf(*s, "a:hover", piColor), TPropValue(0xFF0000u));
  EXPECT_EQ(ValueOf(*s, "#top", piColor), TPropValue(0x00FF00u));
  EXPECT_EQ(ValueOf(*s, ".my_class", piColor), TPropValue(0xFFu));
  EXPECT_EQ(ValueOf(*s, "div.x#y:link", piColor), TPropValue(0xFFu));
  EXPECT_EQ(s->Find("p.note")->FTagName, "p.note");
}

TEST(StyleParser, DescendantKeysAndOtherCombinators) {
  auto s = DefaultStyles();
  ParseStyleText(*s, "div   ul li { color: red } a b { color: red } ul > li { color: blue } * { color: lime } "
                     "h1 + p { margin-top: 1px }", {});
  // Every combinator is kept with its selector, none applies to its leftmost part.
  EXPECT_NE(s->Find("div ul li"), nullptr);
  EXPECT_NE(s->Find("a b"), nullptr);
  EXPECT_EQ(ValueOf(*s, "ul > li", piColor), TPropValue(0xFF0000u));
  EXPECT_EQ(ValueOf(*s, "ul", piColor), TPropValue());
  EXPECT_EQ(ValueOf(*s, "h1 + p", piMarginTop), Text("1px"));
  EXPECT_TRUE(ValueOf(*s, "h1", piMarginTop).IsInt());  // the default sheet's
  EXPECT_EQ(s->Find(""), nullptr);
  EXPECT_EQ(s->AuthorRuleCount(), 5);
}

TEST(StyleParser, DeclarationForms) {
  auto s = StylesWith("p { color = red } div { color red; margin-top: 5px; ; ;  margin-bottom :6px }"
                      "td { font-family: \"Arial\" ; background-image: 'x' }");
  EXPECT_EQ(ValueOf(*s, "p", piColor), TPropValue(0xFFu));
  EXPECT_TRUE(ValueOf(*s, "div", piColor).IsEmpty());
  EXPECT_EQ(ValueOf(*s, "div", piMarginTop), Text("5px"));
  EXPECT_EQ(ValueOf(*s, "div", piMarginBottom), Text("6px"));
  EXPECT_EQ(ValueOf(*s, "td", piFontFamily), Text("arial"));
  EXPECT_EQ(ValueOf(*s, "td", piBackgroundImage), Text("x"));
}

TEST(StyleParser, CommentsAnywhere) {
  auto s = StylesWith("/*a*/d/**/iv/*b*/{/*c*/col/* x */or/**/:/**/ r/*y*/ed /*z*/;"
                      " margin-top: 5px /* c */ } /* unterminated");
  EXPECT_EQ(ValueOf(*s, "div", piColor), TPropValue(0xFFu));
  EXPECT_EQ(ValueOf(*s, "div", piMarginTop), Text("5px"));
  auto t = StylesWith("p { color: red } /* p { color: blue } */ h1 { color: /*/ not closed yet */ lime }");
  EXPECT_EQ(ValueOf(*t, "p", piColor), TPropValue(0xFFu));
  EXPECT_EQ(ValueOf(*t, "h1", piColor), TPropValue(0x00FF00u));
  auto u = StylesWith("p { font: 12pt/14pt arial; width: 5/6 }");
  EXPECT_EQ(ValueOf(*u, "p", piLineHeight), Text("14pt"));
  EXPECT_EQ(ValueOf(*u, "p", piWidth), Text("5/6"));
}

TEST(StyleParser, FourSidedShorthands) {
  auto s = StylesWith("p { margin: 1px 2px 3px } div { padding: 0 } td { margin: 1px 2px } "
                      "th { margin: 1px 2px 3px 4px 5px } h1 { border-width: thin thick } "
                      "h2 { border-color: red #00f } h3 { border-style: solid none dotted } q { margin: }");
  EXPECT_EQ(ValueOf(*s, "p", piMarginTop), Text("1px"));
  EXPECT_EQ(ValueOf(*s, "p", piMarginRight), Text("2px"));
  EXPECT_EQ(ValueOf(*s, "p", piMarginBottom), Text("3px"));
  EXPECT_EQ(ValueOf(*s, "p", piMarginLeft), Text("2px"));
  for (int i = piPaddingTop; i <= piPaddingLeft; ++i) EXPECT_EQ(ValueOf(*s, "div", i), Text("0"));
  EXPECT_EQ(ValueOf(*s, "td", piMarginBottom), Text("1px"));
  EXPECT_EQ(ValueOf(*s, "td", piMarginLeft), Text("2px"));
  EXPECT_EQ(ValueOf(*s, "th", piMarginLeft), Text("4px"));
  EXPECT_EQ(ValueOf(*s, "h1", piBorderTopWidth), Text("thin"));
  EXPECT_EQ(ValueOf(*s, "h1", piBorderLeftWidth), Text("thick"));
  EXPECT_EQ(ValueOf(*s, "h2", piBorderTopColor), TPropValue(0xFFu));
  EXPECT_EQ(ValueOf(*s, "h2", piBorderRightColor), TPropValue(0x02FF0000u));
  EXPECT_EQ(ValueOf(*s, "h3", piBorderTopStyle), Text("solid"));
  EXPECT_EQ(ValueOf(*s, "h3", piBorderRightStyle), Text("none"));
  EXPECT_EQ(ValueOf(*s, "h3", piBorderBottomStyle), Text("dotted"));
  EXPECT_EQ(ValueOf(*s, "h3", piBorderStyle), Text("dotted"));
  EXPECT_EQ(s->Find("q"), nullptr);
}

TEST(StyleParser, BorderShorthands) {
  auto s = StylesWith("p { border: 2px solid #ff0000 } div { border-left: thick dotted } "
                      "td { border-top: 1px solid rgb(0, 0, 255) } th { border-bottom: navy 3px }");
  for (int i = piBorderTopWidth; i <= piBorderLeftWidth; ++i) EXPECT_EQ(ValueOf(*s, "p", i), Text("2px"));
  EXPECT_EQ(ValueOf(*s, "p", piBorderStyle), Text("solid"));
  for (int i = piBorderTopStyle; i <= piBorderLeftStyle; ++i) EXPECT_EQ(ValueOf(*s, "p", i), Text("solid"));
  EXPECT_EQ(ValueOf(*s, "p", piBorderColor), TPropValue(0x020000FFu));
  EXPECT_EQ(ValueOf(*s, "p", piBorderLeftColor), TPropValue(0x020000FFu));
  EXPECT_EQ(ValueOf(*s, "div", piBorderLeftWidth), Text("thick"));
  EXPECT_EQ(ValueOf(*s, "div", piBorderLeftStyle), Text("dotted"));
  EXPECT_EQ(ValueOf(*s, "div", piBorderTopWidth), TPropValue(NotSetValue));
  EXPECT_EQ(ValueOf(*s, "td", piBorderTopColor), TPropValue(0x02FF0000u));
  EXPECT_EQ(ValueOf(*s, "td", piBorderTopWidth), Text("1px"));
  EXPECT_EQ(ValueOf(*s, "th", piBorderBottomColor), TPropValue(0x800000u));
  EXPECT_EQ(ValueOf(*s, "th", piBorderBottomWidth), Text("3px"));
}

TEST(StyleParser, FontShorthand) {
  // Style, variant and weight in any order, then the size, the line height and the whole family
  // list; what is left out is reset.
  auto s = StylesWith("p { font: bold italic 12pt/14pt Arial } div { font: small-caps 700 10px 'Times New Roman' } "
                      "td { font: x-large Times New Roman } th { font: 10px arial, sans-serif } h1 { font: bold }");
  EXPECT_EQ(ValueOf(*s, "p", piFontWeight), Text("bold"));
  EXPECT_EQ(ValueOf(*s, "p", piFontStyle), Text("italic"));
  EXPECT_EQ(ValueOf(*s, "p", piFontSize), Text("12pt"));
  EXPECT_EQ(ValueOf(*s, "p", piLineHeight), Text("14pt"));
  EXPECT_EQ(ValueOf(*s, "p", piFontFamily), Text("arial"));
  EXPECT_EQ(ValueOf(*s, "p", piFontVariant), Text("normal"));
  EXPECT_EQ(ValueOf(*s, "div", piFontVariant), Text("small-caps"));
  EXPECT_EQ(ValueOf(*s, "div", piFontWeight), Text("700"));
  EXPECT_EQ(ValueOf(*s, "div", piFontSize), Text("10px"));
  EXPECT_EQ(ValueOf(*s, "div", piFontFamily), Text("'times new roman'"));
  EXPECT_EQ(ValueOf(*s, "div", piLineHeight), Text("normal"));
  EXPECT_EQ(ValueOf(*s, "td", piFontSize), Text("x-large"));
  EXPECT_EQ(ValueOf(*s, "td", piFontFamily), Text("times new roman"));
  EXPECT_EQ(ValueOf(*s, "th", piFontFamily), Text("arial,sans-serif"));
  EXPECT_EQ(s->AuthorRuleCount(), 4) << "a font without size and family declares nothing";
}

TEST(StyleParser, BackgroundAndListStyleShorthands) {
  auto s = StylesWith("p { background: url(a.gif) no-repeat left top #fff } div { background: rgb(1,2,3) fixed } "
                      "td { background: none 50% } th { background: transparent url( \"b c.gif\" ) repeat-y 1px 2px 3px }"
                      "ul { list-style: url(b.gif) circle } ol { list-style: upper-roman }");
  EXPECT_EQ(ValueOf(*s, "p", piBackgroundImage), Text("url(a.gif)"));
  EXPECT_EQ(ValueOf(*s, "p", piBackgroundRepeat), Text("no-repeat"));
  EXPECT_EQ(ValueOf(*s, "p", piBackgroundColor), TPropValue(0x02FFFFFFu));
  EXPECT_EQ(ValueOf(*s, "p", piBackgroundPosition), Text("left top"));
  EXPECT_EQ(ValueOf(*s, "div", piBackgroundColor), TPropValue(0x02030201u));
  EXPECT_EQ(ValueOf(*s, "div", piBackgroundAttachment), Text("fixed"));
  EXPECT_EQ(ValueOf(*s, "td", piBackgroundImage), Text("none"));
  EXPECT_EQ(ValueOf(*s, "td", piBackgroundPosition), Text("50%"));
  EXPECT_EQ(ValueOf(*s, "th", piBackgroundColor), TPropValue(clNone));
  EXPECT_EQ(ValueOf(*s, "th", piBackgroundImage), Text("url( \"b c.gif\" )"));
  EXPECT_EQ(ValueOf(*s, "th", piBackgroundRepeat), Text("repeat-y"));
  EXPECT_EQ(ValueOf(*s, "th", piBackgroundPosition), Text("2px 3px"));
  EXPECT_EQ(ValueOf(*s, "ul", piListStyleImage), Text("url(b.gif)"));
  EXPECT_EQ(ValueOf(*s, "ul", piListStyleType), Text("circle"));
  EXPECT_EQ(ValueOf(*s, "ol", piListStyleType), Text("upper-roman"));
}

TEST(StyleParser, UrlsMadeAbsolute) {
  auto local = StylesWith("p { background-image: url(img/a%20b.gif) } div { background: url(x.gif) } "
                          "td { background-image: url(file:///d|/pics/y.gif) } th { list-style: url(\\\\srv\\z.gif) }",
                          "c:\\docs\\");
  EXPECT_EQ(ValueOf(*local, "p", piBackgroundImage), Text("url(c:\\docs\\img\\a b.gif)"));
  EXPECT_EQ(ValueOf(*local, "div", piBackgroundImage), Text("url(c:\\docs\\x.gif)"));
  EXPECT_EQ(ValueOf(*local, "td", piBackgroundImage), Text("url(d:\\pics\\y.gif)"));
  EXPECT_EQ(ValueOf(*local, "th", piListStyleImage), Text("url(\\\\srv\\z.gif)"));

  auto web = StylesWith("p { background-image: url('../i/a.gif') } div { background: url(http://o/x.gif) } "
                        "td { list-style-image: url(/r.gif) } th { background-image: url(mailto:x) }",
                        "http://host/css/");
  EXPECT_EQ(ValueOf(*web, "p", piBackgroundImage), Text("url(http://host/i/a.gif)"));
  EXPECT_EQ(ValueOf(*web, "div", piBackgroundImage), Text("url(http://o/x.gif)"));
  EXPECT_EQ(ValueOf(*web, "td", piListStyleImage), Text("url(http://host/r.gif)"));
  EXPECT_EQ(ValueOf(*web, "th", piBackgroundImage), Text("url(mailto:x)"));

  auto none = StylesWith("p { background-image: url(a.gif) }");
  EXPECT_EQ(ValueOf(*none, "p", piBackgroundImage), Text("url(a.gif)"));
}

TEST(StyleParser, AtRulesAndMedia) {
  auto s = StylesWith("@import \"x.css\"; p { color: red } @media print { h1 { color: red } } "
                      "@media screen { h2 { color: red } h3 { color: red } } @media screen, print { h4 { color: red } }"
                      "@media all and screen { h5 { color: red } } @media all { h6 { color: red } } "
                      "@media print { a { b { c } } d { e } } div { color: red } @font-face { x: y } span { color: red }"
                      "@charset \"utf-8\"; td { color: red }");
  // Rules in @media blocks are kept with their query and apply where it holds on screen.
  TElementStack e(*s);
  e.Push("body");
  auto colourOf = [&](const char* tag) {
    TColor c = TColor(e.Push(tag).Value(piColor).Int());
    e.Stack.PopElement(*s, tag);
    return c;
  };
  EXPECT_EQ(ValueOf(*s, "p", piColor), TPropValue(0xFFu));
  EXPECT_EQ(colourOf("h1"), 0u);
  EXPECT_EQ(colourOf("h2"), 0xFFu);
  EXPECT_EQ(colourOf("h3"), 0xFFu);
  EXPECT_EQ(colourOf("h4"), 0xFFu);
  EXPECT_EQ(colourOf("h5"), 0u);  // "all and screen" is no query
  EXPECT_EQ(colourOf("h6"), 0xFFu);
  EXPECT_EQ(colourOf("a"), 0u);
  EXPECT_EQ(ValueOf(*s, "div", piColor), TPropValue(0xFFu));
  EXPECT_EQ(ValueOf(*s, "span", piColor), TPropValue(0xFFu));
  EXPECT_EQ(ValueOf(*s, "td", piColor), TPropValue(0xFFu));
}

TEST(StyleParser, StyleElementHandBack) {
  auto styles = DefaultStyles();
  std::string html = "\r\n<!--\r\n p { color: red }\r\n-->\r\n</style><p>";
  TStringStyleSource source(html);
  char ch = '>';
  ParseStyleSheet(*styles, ch, source, {});
  EXPECT_EQ(ch, '<');
  EXPECT_EQ(source.GetChar(), '/');
  EXPECT_EQ(ValueOf(*styles, "p", piColor), TPropValue(0xFFu));

  // An empty style element ends at once, leaving its end tag to the reader.
  std::string empty = "</style><b>";
  TStringStyleSource emptySource(empty);
  ch = '>';
  ParseStyleSheet(*styles, ch, emptySource, {});
  EXPECT_EQ(ch, '<');
  EXPECT_EQ(emptySource.GetChar(), '/');

  std::string open = "h1 { color: lime </style>";
  TStringStyleSource openSource(open);
  ch = '>';
  ParseStyleSheet(*styles, ch, openSource, {});
  EXPECT_EQ(ch, '<');
  EXPECT_EQ(ValueOf(*styles, "h1", piColor), TPropValue(0x00FF00u));

  std::string tail = "h2 { color: lime";
  TStringStyleSource tailSource(tail);
  ch = ' ';
  ParseStyleSheet(*styles, ch, tailSource, {});
  EXPECT_EQ(ch, StyleEofChar);
  EXPECT_EQ(ValueOf(*styles, "h2", piColor), TPropValue(0x00FF00u));
}

TEST(StyleParser, LinkedSheetLineEnds) {
  auto s = StylesWith("div\np { color: red }\r\nh1,\r\nh2\t{ color: lime }");
  EXPECT_NE(s->Find("div p"), nullptr);
  EXPECT_EQ(ValueOf(*s, "h2", piColor), TPropValue(0x00FF00u));
}

TEST(StyleParser, InlineStyles) {
  TProperties p;
  ParseInlineStyle("COLOR: Red; margin: 1px 2px; /* c */ background: url(a.gif) #00f; text-align center;"
                   "font-weight: bold", p);
  EXPECT_EQ(p.Value(piColor), TPropValue(0xFFu));
  EXPECT_EQ(p.Value(piMarginTop), Text("1px"));
  EXPECT_EQ(p.Value(piMarginLeft), Text("2px"));
  EXPECT_EQ(p.Value(piBackgroundImage), Text("url(a.gif)"));
  EXPECT_EQ(p.Value(piBackgroundColor), TPropValue(0x02FF0000u));
  EXPECT_TRUE(p.Value(piTextAlign).IsEmpty());
  EXPECT_EQ(p.Value(piFontWeight), Text("bold"));
  TProperties q;
  ParseInlineStyle("color: nonsense", q);
  EXPECT_EQ(q.Value(piColor), TPropValue(0));
  TProperties r;
  ParseInlineStyle("font-family: 'a;b'; color: blue }; color: red", r);
  EXPECT_EQ(r.Value(piColor), TPropValue(0xFFu));  // values run to ";" only
  TProperties e;
  ParseInlineStyle("", e);
  ParseInlineStyle("\x1a\x1a;;::==", e);
  ParseInlineStyle("margin-top: 1px\r\n\tpadding-top: 2px", e);
  EXPECT_EQ(e.Value(piMarginTop), Text("1px   padding-top: 2px"));
}

TEST(StyleParser, SelectorGroupsAreBounded) {
  std::string sheet;
  for (int i = 0; i < MaxSelectorsPerRule + 100; ++i) sheet += ".c" + std::to_string(i) + ",";
  sheet += "x { color: red }";
  TStyleList styles;
  ParseStyleText(styles, sheet, {});
  EXPECT_EQ(styles.AuthorRuleCount(), MaxSelectorsPerRule);
}

TEST(StyleParser, MalformedTextEndsQuietly) {
  std::string deep(100000, '{');
  std::string closers(100000, '}');
  const std::string cases[] = {
      "p { color: red",
      "p { font-family: 'abc ; color: red }",
      "p { background: url(a.gif",
      "p { color: rgb(1,2",
      "p { margin-top: 99999999999999999999999999999999999999px }",
      "@media print {" + deep + closers + "} h1 { color: red }",
      "@media print {" + deep,
      "@media screen {" + deep,
      deep,
      closers,
      "p {" + deep,
      "/*",
      "/",
      "@",
      "@media",
      std::string("p\0{\x01\x02 color\x7f: red\x1a} h1 { color: red }",
                  sizeof("p\0{\x01\x02 color\x7f: red\x1a} h1 { color: red }") - 1),
      "a,,,,,,{color:red}",
      "p { border: url(a) url(b) url(c) url(d) url(e) url(f) url(g) url(h) rgb(1,2,3) }",
      "p { font: / // /// '\"' \"'\" }",
      "<!-- -- > > --> <!-",
  };
  for (const std::string& text : cases) {
    TStyleList styles;
    styles.Initialize(TStyleDefaults{});
    TStringStyleSource source(text);
    char ch = ' ';
    ParseStyleSheet(styles, ch, source, "http://h/");
    EXPECT_TRUE(ch == '<' || ch == StyleEofChar) << text.substr(0, 40);
    TProperties p;
    ParseInlineStyle(text, p);
  }
  auto s = StylesWith("@media print {" + deep + closers + "} h1 { color: red }");
  EXPECT_EQ(ValueOf(*s, "h1", piColor), TPropValue(0xFFu));
}

namespace {

std::string Shown(const TPropValue& v, bool colour = false) {
  if (v.IsText()) return "\"" + v.Text() + "\"";
  if (v.IsInt() && colour) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%08X", unsigned(v.Int()));
    return buf;
  }
  if (v.IsInt()) return std::to_string(v.Int());
  if (v.IsReal()) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v.Real()).ptr);
  }
  return "empty";
}

// What the style engine makes of a sheet: the rules it holds (the first eight keys with the
// values they set, and the number of keys), then the computed style of elements it applies
// to, fonts built, and of one that has the whole text as its style attribute. Bytes outside
// printable ASCII are shown as \xNN.
std::string SheetSummary(const std::string& data) {
  std::string out;
  TStyleList styles;
  ParseStyleText(styles, data, "http://h/d/");
  const TProperties fresh;
  // The author rules, one per selector written (the first blocks of the first few).
  std::vector<std::string> keys;
  for (const TAuthorRule& rule : styles.AuthorRules())
    if (std::find(keys.begin(), keys.end(), rule.Selector->Text) == keys.end()) keys.push_back(rule.Selector->Text);
  for (std::size_t k = 0; k < keys.size() && k < 8; ++k) {
    const TProperties& merged = *styles.Find(keys[k]);
    out += "rule " + (keys[k].size() > 60 ? keys[k].substr(0, 60) + "..." : keys[k]) + " {";
    for (int i = 0; i < PropCount; ++i) {
      const bool colour = i == piColor || i == piBackgroundColor || i == piBorderColor ||
                          (i >= piBorderTopColor && i <= piBorderLeftColor);
      if (!(merged.Value(i) == fresh.Value(i)))
        out += " " + std::string(PropNames[std::size_t(i)]) + "=" + Shown(merged.Value(i), colour);
    }
    out += " }\n";
  }
  out += std::to_string(keys.size()) + " rules\n";

  auto page = DefaultStyles();
  ParseStyleText(*page, data, "http://h/d/");
  TElementStack s(*page);
  auto inlineStyle = std::make_shared<TProperties>();
  ParseInlineStyle(data, *inlineStyle);
  s.Push("body");
  auto probe = [&](TProperties& p) {
    std::unique_ptr<TMyFont> font = p.BuildFont();
    out += p.FTagName + " color=" + Shown(p.Value(piColor), true) + " em=" + std::to_string(p.FEmPixels) +
           " extra=" + std::to_string(font->CharExtra) + " margin-top=" +
           std::to_string(LengthToPixels(p.Value(piMarginTop).TextOrEmpty(), false, 0, -1, p.FEmPixels, p.FExPixels)) +
           " line=" + std::to_string(p.GetLineHeight(16)) + " z=" + std::to_string(p.GetZIndex()) + "\n";
  };
  probe(s.Push("div", "note", "x"));
  probe(s.Push("a", "c1", {}, "link"));
  probe(s.Push("span", {}, {}, {}, inlineStyle));  // the sheet as a style attribute
  std::string shown;
  for (unsigned char c : out) {
    if ((c < 32 && c != '\n') || c >= 127) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      shown += buf;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

}  // namespace

TEST(StyleParser, CrashersReplayToTheirExpectedOutcome) {
  // Sheets that crashed, hung or misled a style engine, or that run into one of its limits,
  // named by their cause. NAME.css comes with NAME.expected, what the engine made of it (with
  // KORVA_WRITE_EXPECTED set, missing ones are written for review).
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(KORVA_TEST_DATA) / "crashers";
  ASSERT_TRUE(fs::is_directory(dir)) << dir;
  int replayed = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".css") continue;
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream in(entry.path(), std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string got = SheetSummary(data);
    fs::path expectedPath = entry.path();
    expectedPath.replace_extension(".expected");
    if (!fs::exists(expectedPath) && std::getenv("KORVA_WRITE_EXPECTED")) std::ofstream(expectedPath, std::ios::binary) << got;
    std::ifstream e(expectedPath, std::ios::binary);
    ASSERT_TRUE(e) << expectedPath << " is missing; this run made:\n" << got;
    std::string expected((std::istreambuf_iterator<char>(e)), std::istreambuf_iterator<char>());
    EXPECT_EQ(got, expected);
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}
