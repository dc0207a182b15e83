// The cascade on a realistic page and on ever deeper nesting, and the style sheet parser on a
// real-world-sized sheet.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Font.h"
#include "style/Colors.h"
#include "style/PropStack.h"
#include "style/StyleList.h"
#include "style/StyleParser.h"

using namespace korva;

namespace {

// A style sheet of about `rules` rules in the mix a documentation site has: tag, class,
// tag.class, id, pseudo-class and descendant selectors (a third of them), grouped selectors,
// shorthands and comments.
std::string MakeSheet(int rules) {
  static const char* tags[] = {"p", "div", "span", "a", "li", "ul", "td", "h1", "h2", "h3", "pre", "code", "table", "b"};
  static const char* decls[] = {
      "color: #336699", "margin: 0 0 10px 0", "padding: 2px 4px", "font: bold 12px/1.4 verdana, arial, sans-serif",
      "background: #f0f0f0 url(img/bg.gif) repeat-x left top", "border: 1px solid #cccccc", "text-decoration: none",
      "font-size: 90%", "line-height: 1.5", "list-style: square", "border-bottom: 1px dotted gray", "width: 80%"};
  std::string s = "/* generated sheet */\n";
  unsigned seed = 12345;
  auto rnd = [&](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  for (int i = 0; i < rules; ++i) {
    std::string sel;
    std::string tag = tags[rnd(14)];
    std::string cls = "c" + std::to_string(rnd(unsigned(rules / 4 + 1)));
    switch (i % 9) {
      case 0: sel = tag; break;
      case 1: sel = "." + cls; break;
      case 2: sel = tag + "." + cls; break;
      case 3: sel = "div." + cls + " " + tag; break;
      case 4: sel = "ul." + cls + " li a"; break;
      case 5: sel = "a." + cls + ":hover"; break;
      case 6: sel = "#id" + std::to_string(rnd(50)) + " " + tag; break;
      case 7: sel = tag + "." + cls + ", ." + cls + " " + tags[rnd(14)]; break;
      default: sel = "body div." + cls + " p " + tag; break;
    }
    s += sel + " {\n";
    int n = 2 + int(rnd(4));
    for (int d = 0; d < n; ++d) s += std::string("  ") + decls[rnd(12)] + ";\n";
    s += "}\n";
    if (i % 20 == 0) s += "/* section " + std::to_string(i) + " */\n";
  }
  return s;
}

struct TElem {
  std::string Tag, Class, Id, Pseudo;
  std::vector<TElem> Children;
};

// A page of about `count` elements: wrapper divs, headings, paragraphs with inline markup and
// links, navigation lists and tables, classes drawn from the sheet's class names.
TElem MakePage(int count, int classes) {
  unsigned seed = 777;
  auto rnd = [&](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  auto cls = [&]() { return rnd(3) == 0 ? "c" + std::to_string(rnd(unsigned(classes))) : std::string(); };
  TElem body{"body", "", "", "", {}};
  int made = 1;
  TElem* content = nullptr;
  body.Children.push_back({"div", "c1", "id1", "", {}});
  content = &body.Children.back();
  while (made < count) {
    TElem section{"div", cls(), rnd(10) == 0 ? "id" + std::to_string(rnd(50)) : "", "", {}};
    made++;
    section.Children.push_back({"h2", cls(), "", "", {}});
    made++;
    for (int p = 0; p < 6 && made < count; ++p) {
      TElem para{"p", cls(), "", "", {}};
      made++;
      for (int k = 0; k < 4; ++k) {
        static const char* inl[] = {"b", "code", "span", "a"};
        std::string t = inl[rnd(4)];
        para.Children.push_back({t, cls(), "", t == "a" ? "link" : "", {}});
        made++;
      }
      section.Children.push_back(std::move(para));
    }
    TElem list{"ul", cls(), "", "", {}};
    made++;
    for (int k = 0; k < 5; ++k) {
      TElem li{"li", "", "", "", {}};
      li.Children.push_back({"a", cls(), "", "link", {}});
      made += 2;
      list.Children.push_back(std::move(li));
    }
    section.Children.push_back(std::move(list));
    TElem table{"table", cls(), "", "", {}};
    made++;
    for (int r = 0; r < 3; ++r) {
      TElem tr{"tr", "", "", "", {}};
      made++;
      for (int c = 0; c < 3; ++c) {
        TElem td{"td", cls(), "", "", {}};
        td.Children.push_back({"span", cls(), "", "", {}});
        made += 2;
        tr.Children.push_back(std::move(td));
      }
      table.Children.push_back(std::move(tr));
    }
    section.Children.push_back(std::move(table));
    content->Children.push_back(std::move(section));
  }
  return body;
}


// A documentation theme's sheets in one (about 700 rules, the mix such themes have): element
// defaults, a syntax highlighter's token classes under one container class, layout classes with
// descendant and child selectors, sibling selectors, link states, structural pseudo-classes,
// attribute selectors, and a block for narrow screens. Written for the benchmark, after the
// shapes of real themes, not copied from one.
std::string MakeThemeSheet(int rules) {
  static const char* tags[] = {"body", "div", "p", "a", "pre", "code", "span", "em", "dl", "dt", "dd", "ul",
                               "li", "table", "tr", "td", "th", "h1", "h2", "h3", "h4", "img", "blockquote", "tt"};
  static const char* layout[] = {"body", "document", "documentwrapper", "bodywrapper", "sphinxsidebar", "related",
                                 "footer", "section", "admonition", "note", "warning", "highlight", "toctree-wrapper",
                                 "field-list", "docutils", "reference", "internal", "external", "headerlink", "pre",
                                 "sig", "sig-name", "sig-paren", "function", "class", "method", "attribute",
                                 "simple", "topic", "sidebar", "rubric", "caption", "literal-block-wrapper"};
  static const char* decls[] = {"color: #3e4349", "margin: 0 0 10px 0", "padding: 2px 4px",
                                "font-family: 'DejaVu Sans Mono', monospace", "background-color: #eeffcc",
                                "border: 1px solid #c7ecb8", "text-decoration: none", "font-size: 90%",
                                "line-height: 1.4em", "font-weight: bold", "font-style: italic",
                                "border-bottom: 1px dotted #999", "margin-left: 1.5em", "color: rgba(0, 0, 0, 0.6)",
                                "background: #f8f8f8 url(img/bg.png) repeat-x", "display: block"};
  constexpr int tagCount = int(std::size(tags)), layoutCount = int(std::size(layout)), declCount = int(std::size(decls));
  unsigned seed = 4242;
  auto rnd = [&](int n) {
    seed = seed * 1103515245u + 12345u;
    return int((seed >> 16) % unsigned(n));
  };
  std::string s = "/* theme */\n";
  auto rule = [&](const std::string& sel) {
    s += sel + " {";
    for (int d = 1 + rnd(3); d > 0; --d) s += std::string(" ") + decls[rnd(declCount)] + ";";
    s += " }\n";
  };
  int written = 0;
  for (int i = 0; written < rules; ++i, ++written) {
    const std::string tag = tags[rnd(tagCount)], cls = layout[rnd(layoutCount)], other = layout[rnd(layoutCount)];
    switch (i % 20) {
      case 0: case 1: rule(tag); break;
      case 2: case 3: case 4: case 5: case 6:
        rule(".highlight .t" + std::to_string(i % 97));  // token classes
        break;
      case 7: rule("div." + cls + " " + tag); break;
      case 8: rule("div." + cls + " " + tag + "." + other); break;
      case 9: rule("dl." + cls + " > " + (rnd(2) ? "dt" : "dd")); break;
      case 10: rule("." + cls + " ." + other + " " + tag); break;
      case 11: rule(tag + "." + cls); break;
      case 12: rule("a." + cls + ":hover, a." + cls + ":visited"); break;
      case 13: rule(std::string(rnd(2) ? "h2 + p" : "dt ~ dd") + "." + cls); break;
      case 14: rule(rnd(2) ? "tr:nth-child(2n) td" : "li:first-child > p"); break;
      case 15: rule(std::string("a[href^=\"http\"]") + (rnd(2) ? "" : "." + cls)); break;
      case 16: rule("div[role=\"main\"] " + tag); break;
      case 17: rule("." + cls + ":not(." + other + ")"); break;
      case 18: rule("#" + cls + " " + tag); break;
      default:
        s += "@media screen and (max-width: 875px) {\n";
        rule("div." + cls);
        rule("div." + cls + " " + tag);
        s += "}\n";
        ++written;
        break;
    }
  }
  return s;
}

// A page as such a theme's generator makes it: nested layout divs, sections with headings,
// paragraphs with inline literals and references, highlighted code blocks full of token spans,
// definition lists, tables and a sidebar of links.
TElem MakeThemePage(int count) {
  unsigned seed = 99;
  auto rnd = [&](int n) {
    seed = seed * 1103515245u + 12345u;
    return int((seed >> 16) % unsigned(n));
  };
  TElem body{"body", "", "", "", {}};
  body.Children.push_back({"div", "document", "", "", {}});
  TElem* doc = &body.Children.back();
  doc->Children.push_back({"div", "documentwrapper", "", "", {}});
  TElem* wrap = &doc->Children.back();
  wrap->Children.push_back({"div", "bodywrapper", "", "", {}});
  TElem* bw = &wrap->Children.back();
  bw->Children.push_back({"div", "body", "", "", {}});
  TElem* main = &bw->Children.back();
  int made = 5;
  while (made < count) {
    TElem section{"div", "section", "s" + std::to_string(made), "", {}};
    section.Children.push_back({"h2", "", "", "", {{"a", "headerlink", "", "link", {}}}});
    made += 3;
    for (int p = 0; p < 3; ++p) {
      TElem para{"p", "", "", "", {}};
      for (int k = 0; k < 3; ++k) {
        para.Children.push_back({"code", "docutils literal notranslate", "", "", {{"span", "pre", "", "", {}}}});
        para.Children.push_back({"a", "reference internal", "", "link", {{"span", "std std-ref", "", "", {}}}});
      }
      made += 13;
      section.Children.push_back(std::move(para));
    }
    TElem code{"div", "highlight-python notranslate", "", "", {}};
    TElem hl{"div", "highlight", "", "", {}};
    TElem pre{"pre", "", "", "", {}};
    for (int t = 0; t < 30; ++t) pre.Children.push_back({"span", "t" + std::to_string(rnd(97)), "", "", {}});
    made += 33;
    hl.Children.push_back(std::move(pre));
    code.Children.push_back(std::move(hl));
    section.Children.push_back(std::move(code));
    TElem dl{"dl", "function", "", "", {}};
    TElem dt{"dt", "sig sig-object", "", "", {}};
    dt.Children.push_back({"span", "sig-name descname", "", "", {}});
    dt.Children.push_back({"em", "sig-param", "", "", {}});
    dt.Children.push_back({"span", "sig-paren", "", "", {}});
    dl.Children.push_back(std::move(dt));
    dl.Children.push_back({"dd", "", "", "", {{"p", "", "", "", {}}}});
    made += 7;
    section.Children.push_back(std::move(dl));
    TElem table{"table", "docutils align-default", "", "", {}};
    for (int r = 0; r < 3; ++r) {
      TElem tr{"tr", r % 2 ? "row-odd" : "row-even", "", "", {}};
      for (int c = 0; c < 2; ++c) tr.Children.push_back({"td", "", "", "", {{"p", "", "", "", {}}}});
      table.Children.push_back(std::move(tr));
    }
    made += 16;
    section.Children.push_back(std::move(table));
    main->Children.push_back(std::move(section));
  }
  TElem side{"div", "sphinxsidebar", "", "", {}};
  TElem ul{"ul", "", "", "", {}};
  for (int i = 0; i < 20; ++i) ul.Children.push_back({"li", "toctree-l1", "", "", {{"a", "reference internal", "", "link", {}}}});
  side.Children.push_back(std::move(ul));
  doc->Children.push_back(std::move(side));
  return body;
}

int CountElements(const TElem& e) {
  int n = 1;
  for (const TElem& c : e.Children) n += CountElements(c);
  return n;
}

void Visit(TStyleList& styles, TPropStack& stack, const TElem& e) {
  stack.PushElement(styles, e.Tag, e.Class, e.Id, nullptr, {}, e.Pseudo);
  for (const TElem& c : e.Children) Visit(styles, stack, c);
  stack.Recycle(stack.PopElement(styles, e.Tag));  // as the document builder does
}

void Setup() {
  static bool done = false;
  if (done) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  SetFixedFontMetrics(true);
  done = true;
}

// Cascade cost per element for a 3,000-element page against sheets of growing size.
void BM_Combine(benchmark::State& state) {
  Setup();
  const int rules = int(state.range(0));
  TStyleList styles;
  styles.Initialize(TStyleDefaults{});
  ParseStyleText(styles, MakeSheet(rules), "http://host/css/");
  TElem page = MakePage(3000, rules / 4 + 1);
  const int elements = CountElements(page);
  TPropStack stack;
  for (auto _ : state) {
    stack.Reset(*styles.DefaultProps());
    Visit(styles, stack, page);
    benchmark::DoNotOptimize(stack.Count());
  }
  state.SetItemsProcessed(state.iterations() * elements);
  state.counters["elements"] = elements;
  state.counters["keys"] = styles.Count();
  state.counters["descendant_rules"] = styles.DescendantRuleCount();
  state.counters["ns_per_element"] =
      benchmark::Counter(double(elements) * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Combine)->Arg(50)->Arg(200)->Arg(800)->Arg(3200)->Unit(benchmark::kMillisecond);


// Cascade cost per element on a documentation page against a theme-sized sheet of author rules
// (combinators, pseudo-classes, attributes and media blocks included). Argument: rules.
void BM_CombineTheme(benchmark::State& state) {
  Setup();
  TStyleList styles;
  styles.Initialize(TStyleDefaults{});
  ParseStyleText(styles, MakeThemeSheet(int(state.range(0))), "http://host/_static/");
  TElem page = MakeThemePage(3000);
  const int elements = CountElements(page);
  TPropStack stack;
  for (auto _ : state) {
    stack.Reset(*styles.DefaultProps());
    Visit(styles, stack, page);
    benchmark::DoNotOptimize(stack.Count());
  }
  state.counters["elements"] = elements;
  state.counters["author_rules"] = styles.AuthorRuleCount();
  state.counters["ns_per_element"] =
      benchmark::Counter(double(elements) * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CombineTheme)->Arg(700)->Arg(2800)->Unit(benchmark::kMillisecond);

// Cascade cost per element for `depth` elements each nested in the one before (div and span in
// turn, a few classes), then closed again, against the default sheet, whose descendant rule
// makes every element consult its ancestors. The cost per element should not grow with depth.
void BM_CombineDepth(benchmark::State& state) {
  Setup();
  const int depth = int(state.range(0));
  TStyleList styles;
  styles.Initialize(TStyleDefaults{});
  std::vector<std::string> classes;
  for (int i = 0; i < 7; ++i) classes.push_back("c" + std::to_string(i));
  TPropStack stack;
  for (auto _ : state) {
    stack.Reset(*styles.DefaultProps());
    for (int i = 0; i < depth; ++i)
      stack.PushElement(styles, i % 2 ? "div" : "span", classes[std::size_t(i % 7)], {}, nullptr, {}, {});
    stack.PushElement(styles, "p", {}, {}, nullptr, {}, {});
    benchmark::DoNotOptimize(stack.Count());
    stack.PopElement(styles, "p");
    for (int i = depth - 1; i >= 0; --i) stack.PopElement(styles, i % 2 ? "div" : "span");
  }
  state.counters["depth"] = depth;
  state.counters["ns_per_element"] =
      benchmark::Counter(double(depth + 1) * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CombineDepth)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Parsing a sheet of about 100 KB (and smaller/larger ones for the growth).
void BM_ParseStyleSheet(benchmark::State& state) {
  Setup();
  std::string sheet = MakeSheet(int(state.range(0)));
  for (auto _ : state) {
    TStyleList::ForgetSharedSheets();  // parse every time rather than take over the last result
    TStyleList styles;
    ParseStyleText(styles, sheet, "http://host/css/");
    benchmark::DoNotOptimize(styles.Count());
  }
  state.SetBytesProcessed(state.iterations() * int64_t(sheet.size()));
  state.counters["KB"] = double(sheet.size()) / 1024.0;
  state.counters["us_per_KB"] = benchmark::Counter(double(sheet.size()) / 1024.0 * 1e-6,
                                                   benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ParseStyleSheet)->Arg(250)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

// What each document of a site pays for its style list: the default sheet, the site's linked
// sheet (shared after the first document) and, with argument 1, a rule of the page's own
// (which makes the list copy the shared rules first).
void BM_DocumentStyleList(benchmark::State& state) {
  Setup();
  const std::string sheet = MakeSheet(60);
  const bool ownRule = state.range(0) != 0;
  for (auto _ : state) {
    TStyleList styles;
    styles.Initialize(TStyleDefaults{});
    ParseStyleText(styles, sheet, "http://host/css/");
    if (ownRule) styles.SetRuleProperty("h2", "margin-top", "6px");
    benchmark::DoNotOptimize(styles.Count());
  }
}
BENCHMARK(BM_DocumentStyleList)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ParseInlineStyle(benchmark::State& state) {
  Setup();
  const std::string text = "color: #336699; margin: 0 0 10px 0; font: bold 12px/1.4 verdana, arial; border: 1px solid red";
  for (auto _ : state) {
    TProperties p;
    ParseInlineStyle(text, p);
    benchmark::DoNotOptimize(p.FValues[piColor]);
  }
}
BENCHMARK(BM_ParseInlineStyle);

void BM_ParseColor(benchmark::State& state) {
  const char* colors[] = {"#336699", "red", "rgb(10, 20, 30)", "lightgoldenrodyellow", "buttonface", "#abc"};
  int i = 0;
  for (auto _ : state) {
    TColor c;
    benchmark::DoNotOptimize(ParseColor(colors[i++ % 6], false, c));
  }
}
BENCHMARK(BM_ParseColor);

}  // namespace

BENCHMARK_MAIN();
