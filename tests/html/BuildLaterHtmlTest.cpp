// The builder on the constructs of documentation pages written in later HTML: blocks inside
// list items and definitions, sectioning elements, disclosure boxes, buttons, inline SVG and
// embedded pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BuildTestSupport.h"
#include "PageExercise.h"
#include "layout/Block.h"
#include "layout/BlockLI.h"
#include "layout/DetailsBlock.h"
#include "layout/FormControl.h"
#include "layout/ImageObj.h"
#include "layout/Section.h"
#include "platform/CodePage.h"
#include "style/StyleLimits.h"

namespace korva::test {
namespace {

struct TDumpCase {
  const char* Name;
  const char* Html;
};

TEST(BuildLaterHtml, PagesBuildTheExpectedTrees) {
  const TDumpCase cases[] = {
      // Preformatted text, a division and more text stay inside the open definition; the next
      // term ends it.
      {"dd-keeps-blocks",
       "<dl><dt>f(x)<dd>Returns:<pre>\nf(1)\n</pre>more<div>d</div><dt>g()<dd>last</dl>after"},
      // An item keeps a division, a paragraph, a table, a rule, a heading and a nested list; a
      // division still open ends at the next item, and the nested list keeps its own items.
      {"li-keeps-blocks",
       "<ul><li>a<pre>p</pre>b<p>c<table><tr><td>t</table><hr><h3>h</h3>"
       "<div>d<ul><li>n1<li>n2</ul>e<li>next</ul>after"},
      // Only the first line end after the PRE tag goes.
      {"pre-first-newline", "<pre>\n\nx\n</pre><pre>y</pre>"},
      // Sectioning elements are blocks under their own names (so a sheet can style them); a
      // section ends the open paragraph; a figure is indented 40 pixels.
      {"sectioning",
       "<style>section.c { margin-left: 20px }</style>"
       "<p>para<article><header>h</header><section class=c>s</section><nav>n</nav>"
       "<aside>a</aside><main>m</main><footer>f</footer></article>"
       "<figure>pic<figcaption>cap</figcaption></figure><hgroup><h1>t</h1></hgroup>tail"},
      // Closed: the summary with its marker, the content hidden; open: shown; without a
      // summary one is made up.
      {"details-closed", "<details><summary>More <b>info</b></summary><p>hidden text</details>after"},
      {"details-open", "<details open>\n<summary>Less</summary>shown<ul><li>x</ul></details>after"},
      {"details-no-summary", "<details open>body</details>"},
      // A button is a control in the paragraph captioned by its text (markup flattened); it
      // does not end the paragraph.
      {"button-inline", "<p>Run <button type=button class=b>Go <b>now</b>!</button> after</p>"},
      // Inline SVG is a picture of the given size, of its view box, or of the usual size; no
      // text of it enters the flow.
      {"svg-inline",
       "<p>a<svg width=\"40\" height=\"20\"><text>label</text></svg>b"
       "<svg viewBox=\"0 0 64 32\"><svg><text>inner</text></svg><text>x</text></svg>c"
       "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"30\" viewBox=\"0,0,60,20\"><text>y</text></svg>d"
       "<svg style=\"width: 12px; height: 14px\" width=100 height=100></svg>e<svg></svg>"},
      // A picture object is an image and its fallback is passed over; another object shows its
      // fallback; EMBED of a picture is an image, of anything else nothing.
      {"object-embed",
       "<p>a<object data=\"pic.svg\" width=30 height=20>fallback<object data=x.png></object>more</object>"
       "b<object data=\"movie.swf\" width=50 height=50><i>shown</i></object>"
       "c<object data=\"plot\" type=\"image/png\" width=10 height=10>no</object>"
       "d<embed src=\"e.gif\" width=8 height=9>e<embed src=\"e.swf\" width=8 height=9>f"},
      // Inline elements and table rows that the page's style hides show nothing of what they
      // hold; a hidden element left open ends with its paragraph.
      {"display-none-inline-and-rows",
       "<style>tr.inherit { display: none } .h { display: none }</style>"
       "<p>a<span style=\"display:none\">hidden <b>x</b><img src=i.png></span>b<em class=h>gone<em>too</em></em>c"
       "<span style=\"display: none\">unclosed</p><p>next</p>"
       "<table><tr><td>1<tr class=\"inherit top\"><td>hidden row<table><tr><td>inner</table>"
       "<tr style=\"display:none\"><td>also hidden</tr><tr><td>2</table>"},
      // What an inline frame or a template holds is never shown, and does not end the paragraph; a
      // frame showing a picture shows it.
      {"iframe-template-hidden",
       "<p>a<iframe src=\"g.svg\" width=40 height=30><p>This browser is not able to show <b>SVG</b></iframe>b"
       "<iframe src=\"other.html\">frame text</iframe>"
       "<template><div>t</div></template>c</p><iframe>never closed <p>gone"},
  };
  for (const TDumpCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TBuiltPage page(c.Html);
    ExpectBuildDump(c.Name, page.Layout());
  }
}

// Every section of kind T under a cell, depth first.
template <class T>
void Collect(TCellBasic& cell, std::vector<T*>& out) {
  for (int i = 0; i < cell.Count(); ++i) {
    TSectionBase* s = cell[i];
    if (auto* t = dynamic_cast<T*>(s)) out.push_back(t);
    if (auto* b = dynamic_cast<TBlock*>(s)) Collect(*b->FInnerCell, out);
  }
}

TEST(BuildLaterHtml, SummaryClickOpensAndClosesTheBox) {
  TBuiltPage page("<details><summary>Options</summary><p id=in>inner text</details><p>below");
  page.Layout();
  std::vector<TDetailsBlock*> boxes;
  Collect(page.Doc, boxes);
  ASSERT_EQ(boxes.size(), 1u);
  TDetailsBlock& box = *boxes[0];
  EXPECT_FALSE(box.IsOpen());
  std::vector<TSummaryBlock*> summaries;
  Collect(page.Doc, summaries);
  ASSERT_EQ(summaries.size(), 1u);
  const TRect summary = summaries[0]->BorderBox();

  std::vector<TSection*> texts;
  Collect(page.Doc, texts);
  auto textY = [&](const std::u16string& text) {
    for (TSection* s : texts)
      if (s->Text() == text) return s->FDocY;
    return -1;
  };
  // Nothing between the summary and what follows but the paragraph's space.
  const int closedBelow = textY(u"below");
  EXPECT_EQ(closedBelow, summary.Bottom + 14);

  // The summary's hot spot is the box, also right of its text; a click there opens it.
  THotSpot spot;
  ASSERT_TRUE(page.Doc.DocHotSpotAt(page.Canvas, summary.Right - 2, summary.Top + 1, spot));
  EXPECT_EQ(spot.Disclosure, &box);
  EXPECT_FALSE(spot.IsLink);
  spot.Disclosure->Toggle();
  const std::string open = page.Layout();
  EXPECT_TRUE(box.IsOpen());
  EXPECT_NE(open.find("\"\u25BE Options\""), std::string::npos) << open;
  EXPECT_NE(open.find("\"inner text\""), std::string::npos) << open;
  EXPECT_GE(textY(u"inner text"), summary.Bottom);
  EXPECT_GE(textY(u"below"), closedBelow + 16);

  // Below the summary is no hot spot; a second click closes it again.
  THotSpot content;
  EXPECT_FALSE(page.Doc.DocHotSpotAt(page.Canvas, summary.Left + 1, textY(u"inner text") + 1, content) &&
               content.Disclosure);
  box.Toggle();
  const std::string closed = page.Layout();
  EXPECT_NE(closed.find("\"\u25B8 Options\""), std::string::npos) << closed;
  EXPECT_EQ(closed.find("\"inner text\""), std::string::npos) << closed;
  EXPECT_EQ(textY(u"below"), closedBelow);
}

TEST(BuildLaterHtml, ALinkInsideTheSummaryKeepsItsClick) {
  TBuiltPage page("<details><summary><a href=\"x.html\">xx</a> rest</summary>c</details>");
  page.Layout();
  std::vector<TSummaryBlock*> summaries;
  Collect(page.Doc, summaries);
  ASSERT_EQ(summaries.size(), 1u);
  const TRect r = summaries[0]->BorderBox();
  // The marker and a space come first (8 pixels each with fixed metrics), then the link.
  THotSpot spot;
  ASSERT_TRUE(page.Doc.DocHotSpotAt(page.Canvas, r.Left + 20, r.Top + 2, spot));
  EXPECT_TRUE(spot.IsLink);
  EXPECT_EQ(spot.Disclosure, nullptr);
  ASSERT_TRUE(page.Doc.DocHotSpotAt(page.Canvas, r.Left + 2, r.Top + 2, spot));
  EXPECT_FALSE(spot.IsLink);
  EXPECT_NE(spot.Disclosure, nullptr);
}

int BlockDepth(TCellBasic& cell) {
  int deepest = 0;
  for (int i = 0; i < cell.Count(); ++i)
    if (auto* b = dynamic_cast<TBlock*>(cell[i])) deepest = std::max(deepest, 1 + BlockDepth(*b->FInnerCell));
  return deepest;
}

TEST(BuildLaterHtml, DeepNestingOfTheNewBlocksIsFlattened) {
  for (const char* open : {"<details open><summary>s</summary>", "<section>", "<li><figure>", "<dd><pre>x</pre>"}) {
    SCOPED_TRACE(open);
    std::string page;
    for (int i = 0; i < 3000; ++i) page += open;
    TBuiltPage built(page);
    built.Layout();
    EXPECT_LE(BlockDepth(built.Doc), 2 * MaxNestingDepth);
  }
}

// Pages of the new elements in random order, closed or not, through the whole engine (build,
// layout, drawing, hit tests, a second layout): none may crash or trip a sanitizer.
TEST(BuildLaterHtml, MixedUpPagesRunThroughTheEngine) {
  const char* const pieces[] = {
      "<details>", "<details open>", "</details>", "<summary>", "</summary>", "<section>", "</section>",
      "<figure>", "</figure>", "<button>", "</button>", "<svg viewBox='0 0 9 9'>", "<svg width=4>", "</svg>",
      "<!-- </svg> -->", "<object data=a.svg>", "<object data=b.swf>", "</object>", "<embed src=c.png>", "<dl>",
      "<dt>", "<dd>", "</dl>", "<ul>", "<li value=2147483647>", "</ul>", "<ol start=2147483647>", "</ol>",
      "<pre>\n", "</pre>", "<p>", "<div>", "</div>", "<table><tr><td>", "</td>", "</table>", "text ", "<b>",
      "</b>", "<a href=x.html>", "</a>", "<h2>", "</h2>", "<form>", "<textarea>", "</textarea>"};
  const std::size_t count = sizeof(pieces) / sizeof(pieces[0]);
  std::uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % count;
  };
  for (int page = 0; page < 150; ++page) {
    std::string html;
    for (int i = 0; i < 80; ++i) html += pieces[next()];
    SCOPED_TRACE(html);
    // The exercise's input: a choice byte, the width, the page, and what its pictures get.
    const std::string input = std::string{char(page), char(10 + page % 60)} + html + std::string("\xff\x00", 2) +
                              "GIF89a";
    const page_exercise::TExerciseResult r =
        page_exercise::ExercisePage(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    EXPECT_TRUE(r.Ran);
  }
}

TEST(BuildLaterHtml, ListNumbersStopAtTheTopOfTheRange) {
  TBuiltPage page(
      "<ol start=2147483646><li>a<li>b<li>c</ol>"
      "<ol><li value=99999999999999>d<li>e</ol>"
      "<ol><li value=-2147483648>f<li>g</ol>");
  page.Layout();
  std::vector<TBlockLI*> items;
  Collect(page.Doc, items);
  std::vector<std::u16string> markers;
  for (TBlockLI* li : items) markers.push_back(li->MarkerText());
  EXPECT_EQ(markers, (std::vector<std::u16string>{u"2147483646.", u"2147483647.", u"2147483647.", u"2147483647.",
                                                  u"2147483647.", u"-2147483648.", u"-2147483647."}));
}

TEST(BuildLaterHtml, ButtonsBecomeControlsOfTheirType) {
  TBuiltPage page(
      "<form><button name=go>  Run\n <span>it</span>  </button><button type=reset>R</button>"
      "<button type=BUTTON><svg><text>icon</text></svg>Copy</button><button>open");
  page.Layout();
  std::vector<TSection*> texts;
  Collect(page.Doc, texts);
  std::vector<TButtonFormControlObj*> buttons;
  for (TSection* s : texts)
    for (int i = 0; i < s->TextLength(); ++i) {
      char16_t ch = 0;
      TCharObject object;
      if (s->CharAt(s->FFirstChar + i, ch, object) && object.Control)
        if (auto* b = dynamic_cast<TButtonFormControlObj*>(object.Control)) buttons.push_back(b);
    }
  ASSERT_EQ(buttons.size(), 4u);
  EXPECT_EQ(buttons[0]->Caption(), u"Run it");
  EXPECT_EQ(buttons[0]->Which, TButtonFormControlObj::bSubmit);
  EXPECT_EQ(buttons[1]->Which, TButtonFormControlObj::bReset);
  EXPECT_EQ(buttons[2]->Which, TButtonFormControlObj::bButton);
  EXPECT_EQ(buttons[2]->Caption(), u"Copy");
  // Unclosed at the end of the page: what was read is its caption.
  EXPECT_EQ(buttons[3]->Caption(), u"open");
  for (TSection* s : texts) EXPECT_EQ(s->Text().find(u"Run"), std::u16string::npos);
}

// The bytes of each inline picture of a page, in page order.
std::vector<std::string> InlinePictures(TBuiltPage& page) {
  page.Layout();
  std::vector<TSection*> texts;
  Collect(page.Doc, texts);
  std::vector<std::string> out;
  for (TSection* s : texts)
    for (int i = 0; i < s->TextLength(); ++i) {
      char16_t ch = 0;
      TCharObject object;
      if (s->CharAt(s->FFirstChar + i, ch, object) && object.Image)
        if (auto* image = dynamic_cast<TImageObj*>(object.Image)) {
          const std::string* bytes = page.Doc.InlineImageBytes(std::string(image->SourceName.str()));
          out.push_back(bytes ? *bytes : "(not inline)");
        }
    }
  return out;
}

TEST(BuildLaterHtml, InlineSvgIsKeptByTheDocument) {
  // The namespace HTML lets the page leave out is added, and the text becomes UTF-8.
  TBuiltPage page("<p><svg viewBox=\"0 0 8 8\"><text>\xE9</text></svg>x<svg />");
  EXPECT_EQ(InlinePictures(page),
            (std::vector<std::string>{
                "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 8 8\"><text>\xC3\xA9</text></svg>",
                "<svg xmlns=\"http://www.w3.org/2000/svg\" />"}));

  // A page that declares the namespaces keeps its markup as it is.
  const std::string xhtml =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"5\" "
      "height=\"5\"><use xlink:href=\"#a\"/></svg>";
  TBuiltPage declared(xhtml);
  EXPECT_EQ(InlinePictures(declared), std::vector<std::string>{xhtml});

  // An undeclared xlink prefix gets its declaration.
  TBuiltPage undeclared("<svg><use xlink:href=\"#a\"/></svg>");
  EXPECT_EQ(InlinePictures(undeclared),
            std::vector<std::string>{"<svg xmlns=\"http://www.w3.org/2000/svg\" "
                                     "xmlns:xlink=\"http://www.w3.org/1999/xlink\"><use xlink:href=\"#a\"/></svg>"});
}

}  // namespace
}  // namespace korva::test
