// The document builder on whole pages: which blocks and sections each construct makes, what ends
// an element that was not closed, and which style reaches the text.
#include <gtest/gtest.h>

#include <string>

#include "BuildTestSupport.h"
#include "core/IDNameList.h"
#include "layout/Block.h"
#include "layout/BlockLI.h"
#include "layout/FormControl.h"
#include "layout/MapItem.h"
#include "layout/Table.h"
#include "layout/Section.h"
#include "platform/Font.h"
#include "platform/QtBridge.h"
#include "style/PropStack.h"

namespace korva::test {
namespace {

class TBuildEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    EnsureGuiApplication();
    SetFixedFontMetrics(true);
  }
};
const auto* const GEnvironment = ::testing::AddGlobalTestEnvironment(new TBuildEnvironment);

struct TDumpCase {
  const char* Name;
  const char* Html;
};

// Each page's layout dump is the expected file of its name.
TEST(BuildTest, PagesBuildTheExpectedTrees) {
  const TDumpCase cases[] = {
      // Two paragraphs; empty paragraphs merge into the one that follows.
      {"para-two", "<p>a<p>b"},
      {"para-empty-merge", "<p><p><p>a"},
      // A DIV ends the paragraph; c is a new section after the division.
      {"para-div-ends", "<p>a<div>b</div>c"},
      // Closing B from under I: c keeps italics and loses bold.
      {"misnested-b-i", "<p><b>a<i>b</b>c</i>"},
      // CENTER ends a heading; a CENTER right after the heading's tag centres it.
      {"heading-center-ends", "<h2>Title<center>x</center>"},
      {"heading-centered", "<h2><center>Title</center></h2>"},
      // A line break ends its section; CLEAR starts a section that clears floats.
      {"br-plain", "a<br>b"},
      {"br-clear", "<img src=x.gif width=40 height=40 align=left>a<br clear=all>b"},
      // Sizes relative to the base font, clamped to 1..7.
      {"font-sizes",
       "<font size=+2>five</font><font size=9>seven</font><basefont size=5><font size=+1>six</font>"},
      // A line end right after PRE only lays out the source; a tab goes to column 8.
      {"pre-lines", "<pre>\nx\ty\n<b>z</b><br>w</pre>after"},
      // Tab stops count characters (one for "\u00E9" in UTF-8) across inline tags, from each
      // line's start.
      {"pre-tabs", "<meta charset=utf-8><pre>\xC3\xA9\tx<b>abc\td</b>\n\t!\n1234567\t8</pre>"},
      // Markup that is never text before the BODY: the BODY keeps its attributes.
      {"markup-never-text",
       "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<!DOCTYPE html PUBLIC \"-//x\" \"x.dtd\">\n"
       "<html><head><title>t</title></head>\n<?pi between?><!-- c -->\n"
       "<body marginwidth=50>a<![CDATA[ hidden ]]>b<?pi inside?>c</body></html>"},
      // BODY after text changes nothing.
      {"body-late", "text<body bgcolor=red text=blue marginwidth=50>more"},
      {"body-early", "<html>\n<head>\n<title>t</title>\n</head>\n<body marginwidth=50 marginheight=0>text"},
      {"lists-nested", "<ul><li>a<ol start=5><li>b<li value=9>c<li>d</ol><li>e</ul>"},
      {"hr-and-blocks", "<blockquote>q</blockquote><hr width=50%><address>ad</address>"},
      // Cells without rows get one implicit row; text before the first row goes before the table.
      {"table-implicit-row", "<table border=1>word<td>a<td>b</table>after"},
      // The second TD ends the list and its item.
      {"table-list-ends-at-cell", "<table><tr><td><ul><li>x</td><td>y</table>"},
      {"table-caption-cols", "<table><caption align=bottom>cap</caption><col align=right><col>"
                             "<tr><td width=80>r<th>h</table>"},
      // The enclosing text-align pushes a table without margins right, with or without caption.
      {"table-right", "<div align=right><table border=1><tr><td>x</table>"
                      "<table><caption>cap</caption><tr><td>y</table></div>"},
      // A panel is an inline object of the given size, floated by ALIGN.
      {"panel", "a<panel width=40 height=30 align=left>b<panel width=20 height=10>c"},
  };
  for (const TDumpCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TBuiltPage page(c.Html);
    ExpectBuildDump(c.Name, page.Layout());
  }
}

// The style of the text is what the elements left open say, whatever the order they close in.
TEST(BuildTest, MisnestedInlineElementsReinherit) {
  TBuiltPage page("<p><b>a<i>b</b>c</i>");
  page.Layout();
  auto* body = dynamic_cast<TBlock*>(page.Doc[0]);
  ASSERT_NE(nullptr, body);
  auto* p = dynamic_cast<TBlock*>((*body->FInnerCell)[0]);
  ASSERT_NE(nullptr, p);
  auto* s = dynamic_cast<TSection*>((*p->FInnerCell)[0]);
  ASSERT_NE(nullptr, s);
  ASSERT_EQ(u"abc", s->Text());
  const TFontList& fonts = s->Fonts();
  ASSERT_GE(fonts.Count(), 3);
  auto style = [&](int i) { return fonts[i]->Font().Style() & (fsBold | fsItalic); };
  EXPECT_EQ(fsBold, style(0));
  EXPECT_EQ(fsBold | fsItalic, style(1));
  EXPECT_EQ(fsItalic, style(2));
  EXPECT_EQ(0, PropStack().Count()) << "the parse empties the stack";
}

// Anchors are found by the upper-cased name without its "#"; a second one replaces the first.
TEST(BuildTest, AnchorsRegisteredUpperCase) {
  TBuiltPage page("<a name=\"#top\">x</a><p>para<a name=Top>second</a>");
  TIDNameList& ids = page.Doc.IDNameList();
  auto* obj = dynamic_cast<TChPosObj*>(ids.Find("TOP"));
  ASSERT_NE(nullptr, obj);
  EXPECT_EQ(std::string("<a name=\"#top\">x</a><p>para<a name=Top>").size(), std::size_t(obj->ChPos()));
  EXPECT_EQ(nullptr, ids.Find("#TOP"));
}

// A table stands for its cells among the document's sections: an anchor inside a cell, also in a
// division or a nested table there, is found at its own line, not at the top of the page.
TEST(BuildTest, AnchorsInsideTablesHaveTheirLinesY) {
  std::string html = "<p>top<table>";
  for (int i = 0; i < 20; ++i) html += "<tr><td>row " + std::to_string(i);
  html += "<tr><td><a name=cell>c</a><tr><td><div><a name=div>d</a></div>"
          "<tr><td><table><tr><td>x<tr><td><a name=nested>n</a></table></table>";
  TBuiltPage page(html);
  const std::string dump = page.Layout();
  TIDNameList& ids = page.Doc.IDNameList();
  int previous = 20 * 16;  // twenty rows of at least a line each
  for (const char* name : {"CELL", "DIV", "NESTED"}) {
    SCOPED_TRACE(name);
    TIDObject* obj = ids.Find(name);
    ASSERT_NE(nullptr, obj);
    const int y = obj->DocumentY();
    EXPECT_GT(y, previous) << dump;
    previous = y;
  }
}

// A float hangs below the line that holds it: a window that starts below that line still draws
// it, also when the float stands alone in a section with no height.
TEST(BuildTest, FloatsDrawnBelowTheirLine) {
  for (const char* html : {"<img width=60 height=80 align=left alt=pic>text beside",
                           "<div><img width=60 height=80 align=left alt=pic></div><div>text beside</div>"}) {
    SCOPED_TRACE(html);
    TBuiltPage page(html);
    page.Layout();
    page.Canvas.Clear();
    page.Doc.DrawDocument(page.Canvas, {0, 40, 300, 60}, 0);
    EXPECT_NE(std::string::npos, page.Canvas.Text().find("pic")) << page.Canvas.Text();
    page.Canvas.Clear();
    page.Doc.DrawDocument(page.Canvas, {0, 0, 300, 200}, 0);
    EXPECT_NE(std::string::npos, page.Canvas.Text().find("pic")) << page.Canvas.Text();
  }
}

// Author selectors see what the builder gives them: every class of a list, attributes, and
// the siblings closed before an element.
TEST(BuildTest, AuthorSelectorsSeeClassListsAttributesAndSiblings) {
  TBuiltPage page("<style>.a { font-weight: bold } span[title=t] { font-style: italic } u + i { font-weight: bold }"
                  "</style><p><span class=\"x a\">a</span><span title=t>b</span><u>c</u><i>d</i>");
  page.Layout();
  auto* body = dynamic_cast<TBlock*>(page.Doc[0]);
  ASSERT_NE(nullptr, body);
  auto* p = dynamic_cast<TBlock*>((*body->FInnerCell)[0]);
  ASSERT_NE(nullptr, p);
  auto* s = dynamic_cast<TSection*>((*p->FInnerCell)[0]);
  ASSERT_NE(nullptr, s);
  ASSERT_EQ(u"abcd", s->Text());
  const TFontList& fonts = s->Fonts();
  ASSERT_GE(fonts.Count(), 4);
  auto style = [&](int i) { return fonts[i]->Font().Style() & (fsBold | fsItalic); };
  EXPECT_EQ(fsBold, style(0));
  EXPECT_EQ(fsItalic, style(1));
  EXPECT_EQ(0, style(2));
  EXPECT_EQ(fsBold | fsItalic, style(3));
}

// Deep nesting is flattened: the tree, the style stack and the builder's own recursion stay
// bounded, so the page builds, lays out and draws.
TEST(BuildTest, HundredThousandNestedDivs) {
  std::string html;
  const int depth = 100000;
  html.reserve(depth * 12);
  for (int i = 0; i < depth; ++i) html += "<div><b>";
  html += "deep";
  TBuiltPage page(html);
  std::string dump = page.Layout();
  EXPECT_NE(std::string::npos, dump.find("\"deep\""));
  page.Canvas.Clear();
  page.Doc.DrawDocument(page.Canvas, {0, 0, 1000, 100000}, 0);
}

// Every section of a kind, in document order (blocks are looked into).
template <class T>
void Collect(const TCellBasic& cell, std::vector<T*>& out) {
  for (int i = 0; i < cell.Count(); ++i) {
    if (auto* t = dynamic_cast<T*>(cell[i])) out.push_back(t);
    if (auto* b = dynamic_cast<TBlock*>(cell[i])) Collect(*b->FInnerCell, out);
  }
}

// Realised sizes are whole pixels, so they come within half a point of the table.
TEST(BuildTest, FontSizesFollowTheBaseFont) {
  TBuiltPage page("<font size=+2>a</font><font size=9>b</font><font size=-9>c</font>"
                  "<basefont size=5><font size=+1>d</font><font size=2>e</font>");
  std::vector<TSection*> sections;
  Collect(page.Doc, sections);
  ASSERT_EQ(1u, sections.size());
  const auto& sizes = page.Doc.Styles().FontSizes;
  const std::u16string& text = sections[0]->Text();
  const TFontList& fonts = sections[0]->Fonts();
  auto sizeAt = [&](char16_t c) {
    int index = int(text.find(c));
    double size = 0;
    for (int i = 0; i < fonts.Count(); ++i)
      if (fonts[i]->Pos <= index) size = fonts[i]->Font().Size();
    return size;
  };
  EXPECT_NEAR(sizes[4], sizeAt(u'a'), 0.5);  // 3 + 2
  EXPECT_NEAR(sizes[6], sizeAt(u'b'), 0.5);  // clamped to 7
  EXPECT_NEAR(sizes[0], sizeAt(u'c'), 0.5);  // clamped to 1
  EXPECT_NEAR(sizes[5], sizeAt(u'd'), 0.5);  // 5 + 1
  EXPECT_NEAR(sizes[1], sizeAt(u'e'), 0.5);  // absolute
}

TEST(BuildTest, ListNumbersFromStartAndValue) {
  TBuiltPage page("<ol start=5><li>a<li value=9>b<li>c</ol><ol start=-3><li>d</ol><ul><li>e</ul><li>f<p>g");
  std::vector<TBlockLI*> items;
  Collect(page.Doc, items);
  ASSERT_EQ(6u, items.size());
  EXPECT_EQ(5, items[0]->FListNumber);
  EXPECT_EQ(9, items[1]->FListNumber);
  EXPECT_EQ(10, items[2]->FListNumber);
  EXPECT_EQ(u"10.", items[2]->MarkerText());
  EXPECT_EQ(1, items[3]->FListNumber) << "a negative START is ignored";
  // The item of the UL has a bullet, not a number.
  const TListStyleCode bullet = items[4]->ListStyleType();
  EXPECT_TRUE(bullet == lsDisc || bullet == lsCircle || bullet == lsSquare) << bullet;
  EXPECT_EQ(u"", items[4]->MarkerText());
  // An item outside any list ends at P.
  std::vector<TSection*> inF;
  Collect(*items[5]->FInnerCell, inF);
  ASSERT_EQ(1u, inF.size());
  EXPECT_EQ(u"f", inF[0]->Text());
}

TEST(BuildTest, ImplicitRowsAndCellsAndSpansCutByDeclaredColumns) {
  TBuiltPage page("<table><td>a<td>b<tr><td>c</table>"
                  "<table><col><col><tr><td colspan=5>x<td>y<tr><td rowspan=2>z<td>w<tr><td>v</table>");
  std::vector<ThtmlTable*> tables;
  Collect(page.Doc, tables);
  ASSERT_EQ(2u, tables.size());
  ASSERT_EQ(2u, tables[0]->FRows.size());
  EXPECT_EQ(2, tables[0]->FRows[0]->Count());
  EXPECT_EQ(1, tables[0]->FRows[1]->Count());
  // Two declared columns: a span of 5 is cut to 2; the rowspan takes column 0 of the next row.
  ThtmlTable& t = *tables[1];
  ASSERT_EQ(3u, t.FRows.size());
  EXPECT_EQ(2, t.FRows[0]->FCells[0]->FColSpan);
  EXPECT_EQ(1, t.FRows[2]->FCells[0]->FColSpan);
  page.Layout();
}

TEST(BuildTest, SelectOptionsAndControls) {
  TBuiltPage page("<form><select name=s><option>a <option selected value=2> b </option><option>c</select>"
                  "<select size=3><option>x<option>y<td>after</select>"
                  "<input name=t value=v><textarea>l1\nl2</textarea></form>");
  ASSERT_EQ(1u, page.Doc.FHtmlFormList.size());
  const auto& controls = page.Doc.FHtmlFormList[0]->Controls();
  ASSERT_EQ(4u, controls.size());
  auto* combo = dynamic_cast<TComboFormControlObj*>(controls[0].get());
  ASSERT_NE(nullptr, combo);
  ASSERT_EQ(3, combo->TheOptions.Count());
  EXPECT_EQ(u"b", combo->TheOptions.Strings(1));
  EXPECT_TRUE(combo->TheOptions[1].Selected);
  EXPECT_FALSE(combo->TheOptions[0].Selected);
  auto* list = dynamic_cast<TListBoxFormControlObj*>(controls[1].get());
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(nullptr, dynamic_cast<TComboFormControlObj*>(list));
  EXPECT_EQ(2, list->TheOptions.Count()) << "TD ends the options";
  EXPECT_STREQ("edit", controls[2]->KindName());
  EXPECT_STREQ("textarea", controls[3]->KindName());
  ExpectBuildDump("form-controls", page.Layout());
}

TEST(BuildTest, MapsKeptOnlyWhenClosed) {
  TBuiltPage page("<map name=m><area href=a.html coords=0,0,5,5></map>"
                  "<map name=open><area href=b.html coords=0,0,5,5><p>x<b>y</b>z");
  ASSERT_NE(nullptr, page.Doc.FindMap("M"));
  EXPECT_EQ(1, page.Doc.FindMap("M")->AreaCount());
  EXPECT_EQ(nullptr, page.Doc.FindMap("OPEN"));
  ExpectBuildDump("map-dropped", page.Layout());
}

TEST(BuildTest, PlainTextLinesArePreformatted) {
  TBuiltPage page("one\r\n<b>two</b>\n\nfour\ta\n1234567\tb\t!", true);
  ExpectBuildDump("plain-text", page.Layout());
}

}  // namespace
}  // namespace korva::test
