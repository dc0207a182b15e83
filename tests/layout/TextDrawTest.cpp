// Text sections in use: images in lines drawn and hit where layout put them, inline element
// borders drawn with their lines, preformatted lines clipped to their block, section numbers
// with progress reports, and the keyboard focus of links.
#include <gtest/gtest.h>

#include <sstream>
#include <utility>

#include "BlockTestSupport.h"
#include "ImageTestSupport.h"
#include "TextTestUtil.h"
#include "layout/ImageObj.h"
#include "layout/InlineList.h"
#include "layout/PreFormated.h"

namespace korva::test {
namespace {

std::string RectText(int l, int t, int r, int b) {
  std::ostringstream s;
  s << l << "," << t << "," << r << "," << b;
  return s.str();
}

// The recorded lines that start with `verb`.
std::vector<std::string> LinesOf(const TRecordingCanvas& canvas, const std::string& verb) {
  std::vector<std::string> out;
  for (const std::string& l : canvas.Lines())
    if (l.rfind(verb, 0) == 0) out.push_back(l);
  return out;
}

int IndexOf(const TRecordingCanvas& canvas, const std::string& prefix) {
  const auto& lines = canvas.Lines();
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].rfind(prefix, 0) == 0) return int(i);
  return -1;
}

// ---- images in the text ----

// "ab " then an image in a paragraph; in a link when `url` is given.
struct TImageLine {
  TImageDoc T;
  TSection* Section = nullptr;
  TImageObj* Image = nullptr;

  TImageLine(std::initializer_list<std::pair<TSymbol, std::string>> attrs, std::string_view imgStyle,
             const char* url) {
    T.Host.AddBitmap("p.bmp", 30, 20);
    auto s = std::make_unique<TSection>(&T.Doc, nullptr, T.Stack.Last(), true, nullptr);
    AddText(*s, u"ab ", 0);
    if (url) {
      TUrlTarget link;
      link.Assign(url, "");
      s->HRef(true, link, T.Stack.PushElement(T.Doc.Styles(), "a", {}, {}, nullptr, {}, {}));
    }
    auto list = Attrs(attrs);
    auto img = std::make_unique<TImageObj>(&T.Doc, *list, 0);
    if (!imgStyle.empty()) {
      img->ApplyStyle(T.ImgStyle(imgStyle));
      T.Stack.PopElement(T.Doc.Styles(), "img");
    }
    Image = static_cast<TImageObj*>(s->AddImage(std::move(img), 3));
    AddText(*s, u" cd", 4);
    s->Finish();
    Section = static_cast<TSection*>(T.Doc.AddSection(std::move(s)));
    int scrollWidth = 0;
    T.Doc.DoLayout(T.Canvas, 400, 0, scrollWidth);
  }
};

// A click on the first pixel of a picture inside its link border is at (0, 0) of the picture:
// a server-side map gets those coordinates.
TEST(TextImageTest, HitInsideTheLinkBorderCountsFromThePicture) {
  TImageLine l({{sySrc, "p.bmp"}, {syIsmap, ""}}, {}, "map.cgi");
  ASSERT_TRUE(l.Image->LinkBorder);
  const int left = l.Image->X(), top = l.Image->Y();
  THotSpot spot;
  ASSERT_TRUE(l.Section->HotSpotAt(l.T.Canvas, left + 1, top + 1, spot));
  EXPECT_EQ("map.cgi?0,0", spot.Link.Url());
  spot = {};
  ASSERT_TRUE(l.Section->HotSpotAt(l.T.Canvas, left + 30, top + 20, spot));
  EXPECT_EQ("map.cgi?29,19", spot.Link.Url());
}

// A float hangs below the line it stands in: a clip below that line but across the float still
// draws it.
TEST(TextImageTest, FloatHangingBelowItsLineIsDrawnInAClipBelowTheLine) {
  TImageLine l({{sySrc, "p.bmp"}, {syAlign, "left"}, {syWidth, "30"}, {syHeight, "100"}}, {}, nullptr);
  const auto& lines = l.Section->Lines();
  ASSERT_FALSE(lines.empty());
  const int textBottom = lines[0].Top + lines[0].Height();
  const int imageBottom = l.Image->Y() + 100;
  ASSERT_GT(imageBottom - 10, textBottom);
  for (const int top : {textBottom, imageBottom - 10, imageBottom}) {
    SCOPED_TRACE(top);
    l.T.Canvas.Clear();
    l.T.Doc.DrawDocument(l.T.Canvas, TRect{0, top, 1000, top + 50}, 0);
    EXPECT_EQ(top < imageBottom ? 1u : 0u, LinesOf(l.T.Canvas, "StretchBlt ").size()) << l.T.Canvas.Text();
  }
}

// A float may always break the line, in NOBR text too: measuring sets its flag, which brings
// back the flags of text that otherwise breaks nowhere.
TEST(TextImageTest, FloatInTextThatBreaksNowhereMayBreak) {
  TImageDoc t;
  t.Host.AddBitmap("p.bmp", 30, 20);
  auto s = std::make_unique<TSection>(&t.Doc, nullptr, t.Stack.Last(), true, nullptr);
  s->FNoBreak = true;
  AddText(*s, u"ab ", 0);
  auto list = Attrs({{sySrc, "p.bmp"}, {syAlign, "left"}});
  s->AddImage(std::make_unique<TImageObj>(&t.Doc, *list, 0), 3);
  AddText(*s, u" cd", 4);
  s->Finish();
  ASSERT_EQ(u"ab \u0004cd", s->Text());
  EXPECT_EQ("nnnnnny", s->BreakFlags());
  int mn = 0, mx = 0;
  s->MeasureMinMax(t.Canvas, mn, mx);
  EXPECT_EQ("nnnynny", s->BreakFlags());
}

// Images aligned by the line's own metrics are drawn at the box layout placed, whatever font the
// canvas holds when they are drawn.
TEST(TextImageTest, AlignedImagesDrawWhereLayoutPlacedThem) {
  struct TCase {
    const char* What;
    std::initializer_list<std::pair<TSymbol, std::string>> Attrs;
    const char* Style;
  };
  const TCase cases[] = {
      {"middle", {{sySrc, "p.bmp"}, {syAlign, "middle"}}, ""},
      {"sub", {{sySrc, "p.bmp"}}, "vertical-align: sub"},
      {"super", {{sySrc, "p.bmp"}}, "vertical-align: super"},
      {"top", {{sySrc, "p.bmp"}, {syAlign, "top"}}, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TImageLine l(c.Attrs, c.Style, nullptr);
    l.T.Canvas.Clear();
    l.T.Doc.DrawDocument(l.T.Canvas, TRect{0, 0, 1000, 1000}, 0);
    auto blits = LinesOf(l.T.Canvas, "StretchBlt ");
    ASSERT_EQ(1u, blits.size()) << l.T.Canvas.Text();
    std::ostringstream at;
    at << "StretchBlt " << l.Image->X() << "," << l.Image->Y() << " 30x20";
    EXPECT_EQ(0u, blits[0].rfind(at.str(), 0)) << blits[0];
    EXPECT_EQ(l.Image->Y(), l.Image->DrawnTop);
  }
}

// ---- inline borders ----

// A bordered, padded element with a background over "bb cc" of a paragraph that breaks after
// "bb": each line gets a piece with the background under its text, top and bottom sides, and
// the left side only where the element starts, the right side only where it ends. The
// paragraph follows another one, so its positions are known only once the page is laid out.
TEST(InlineBorderDrawTest, PiecesDrawnWithTheirLines) {
  TLayoutFixture f;
  f.Doc.FInlineList = std::make_shared<TInlineList>(&f.Doc);
  AddParagraph(f, u"xx", "", 0);
  TSection* s = AddParagraph(f, u"aa bb cc dd", "", 10);
  TProperties& span = f.Push("span", "border: 2px solid red; padding: 1px; background-color: yellow");
  f.Doc.FInlineList->AddStart(13, span, 16, 8);
  f.Doc.FInlineList->AddEnd(18, span.FSerial);
  f.Pop("span");
  const int a = s->Fonts()[0]->Handle().CharWidth(u'a');
  f.Layout(6 * a);
  ASSERT_EQ(2u, s->Lines().size());
  f.Draw();

  const LineRec& l1 = s->Lines()[0];
  const LineRec& l2 = s->Lines()[1];
  ASSERT_TRUE(s->LineBorders(0) && s->LineBorders(1));
  ASSERT_EQ(1u, s->LineBorders(0)->size());
  ASSERT_EQ(1u, s->LineBorders(1)->size());
  const BorderRec& b1 = (*s->LineBorders(0))[0];
  const BorderRec& b2 = (*s->LineBorders(1))[0];
  EXPECT_EQ(s->FFirstChar + 3, b1.BStart);
  EXPECT_FALSE(b1.OpenStart);
  EXPECT_TRUE(b1.OpenEnd);
  EXPECT_TRUE(b2.OpenStart);
  EXPECT_EQ(s->FFirstChar + 8, b2.BEnd);
  EXPECT_FALSE(b2.OpenEnd);

  // Line 1: "bb" with padding and border on the left only; line 2: "cc", on the right only.
  const int t1 = l1.DrawY(), h1 = l1.DrawY() + l1.LineHt;
  const int t2 = l2.DrawY(), h2 = l2.DrawY() + l2.LineHt;
  const int x1 = l1.DrawXX + 3 * a, x2 = l2.DrawXX;
  EXPECT_EQ(Rect(x1 - 3, t1 - 3, x1 + 2 * a, h1 + 3), b1.BRect);
  EXPECT_EQ(Rect(x2, t2 - 3, x2 + 2 * a + 3, h2 + 3), b2.BRect);
  const std::string fill1 = "FillRect " + RectText(x1 - 1, t1 - 1, x1 + 2 * a, h1 + 1) + " #FFFF00";
  const std::string fill2 = "FillRect " + RectText(x2, t2 - 1, x2 + 2 * a + 1, h2 + 1) + " #FFFF00";
  const int fillAt1 = IndexOf(f.Canvas, fill1), fillAt2 = IndexOf(f.Canvas, fill2);
  ASSERT_GE(fillAt1, 0) << f.Canvas.Text();
  ASSERT_GE(fillAt2, 0) << f.Canvas.Text();
  // The background is under the text of its line.
  EXPECT_LT(fillAt1, IndexOf(f.Canvas, "TextOut " + std::to_string(l1.DrawXX) + "," + std::to_string(h1 - l1.Descent)));
  EXPECT_LT(fillAt2, IndexOf(f.Canvas, "TextOut " + std::to_string(l2.DrawXX) + "," + std::to_string(h2 - l2.Descent)));
  // Sides: two on line 1 and two on line 2 are the top and bottom; then left on 1, right on 2.
  auto polys = LinesOf(f.Canvas, "Polygon ");
  ASSERT_EQ(6u, polys.size()) << f.Canvas.Text();
  auto pt = [](int x, int y) { return std::to_string(x) + "," + std::to_string(y); };
  const std::string leftSide = "Polygon n=4 (" + pt(x1 - 3, t1 - 3) + " " + pt(x1 - 1, t1 - 1) + " " +
                               pt(x1 - 1, h1 + 1) + " " + pt(x1 - 3, h1 + 3) + ")";
  const std::string rightSide = "Polygon n=4 (" + pt(x2 + 2 * a + 3, t2 - 3) + " " + pt(x2 + 2 * a + 3, h2 + 3) +
                                " " + pt(x2 + 2 * a + 1, h2 + 1) + " " + pt(x2 + 2 * a + 1, t2 - 1) + ")";
  EXPECT_GE(IndexOf(f.Canvas, leftSide), 0) << f.Canvas.Text();
  EXPECT_GE(IndexOf(f.Canvas, rightSide), 0) << f.Canvas.Text();
  for (const std::string& p : polys) EXPECT_NE(std::string::npos, p.find("#FF0000")) << p;
  // No right side on line 1, no left side on line 2.
  for (const std::string& p : polys) {
    EXPECT_EQ(std::string::npos, p.find("(" + pt(x1 + 2 * a + 2, t1 - 3))) << p;
    EXPECT_EQ(std::string::npos, p.find("(" + pt(x2 - 2, t2 - 3))) << p;
  }
}

// ---- preformatted lines ----

// A preformatted line longer than its block overflows it: the block keeps its width and the line
// is drawn whole.
TEST(PreformattedDrawTest, OverflowsItsBlockWhole) {
  TLayoutFixture f;
  TTreeBuilder b(f);
  b.Open("div", "margin-left: 20px");
  TProperties& p = f.Push("pre");
  auto pre = std::make_unique<TPreFormated>(&f.Doc, nullptr, p, false, nullptr);
  const int a = pre->Fonts()[0]->Handle().CharWidth(u'x');
  ASSERT_GT(a, 0);
  AddText(*pre, std::u16string(std::size_t(2000 / a + 50), u'x'), 0);
  pre->Finish();
  f.Pop("pre");
  b.Cell().AddSection(std::move(pre));
  b.Close();
  const std::string dump = f.Layout(400);
  EXPECT_NE(dump.find("block div 20,0 380x"), std::string::npos) << dump;
  f.Draw(TRect{0, 0, 3000, 500});
  const int width = (2000 / a + 50) * a;
  const int clip = IndexOf(f.Canvas, "IntersectClip 20,0," + std::to_string(20 + width) + ",500");
  const int text = IndexOf(f.Canvas, "TextOut 20,");
  ASSERT_GE(clip, 0) << f.Canvas.Text();
  ASSERT_GT(text, clip);
  const auto& lines = f.Canvas.Lines();
  EXPECT_NE(std::string::npos, lines[std::size_t(text)].find(" w=" + std::to_string(width)));
  ASSERT_GT(int(lines.size()), text + 1);
  EXPECT_EQ("Restore", lines[std::size_t(text) + 1]);
  EXPECT_EQ("Save", lines[std::size_t(clip) - 1]);
}

// ---- section numbers and progress ----

TEST(SectionProgressTest, EveryFiftiethSectionReportsOncePerLayout) {
  TLayoutFixture f;
  f.Doc.ProgressShare = 75;
  std::vector<std::pair<TProgressStage, int>> reports;
  f.Doc.OnProgress = [&](TProgressStage stage, int percent) { reports.emplace_back(stage, percent); };
  std::vector<TSection*> text;
  for (int i = 0; i < 120; ++i) {
    if (i % 40 == 0) AddParagraph(f, u"   ", "", 0);  // trimmed to nothing: no number
    text.push_back(AddParagraph(f, u"ab", "", 0));
  }
  EXPECT_EQ(120, f.Doc.FSectionCount);
  for (int i = 0; i < 120; ++i) ASSERT_EQ(i + 1, text[std::size_t(i)]->SectionNumber());

  f.Layout(300);
  // 75 + 50 * 25 / 120 and 75 + 100 * 25 / 120.
  const std::vector<std::pair<TProgressStage, int>> expected = {{psRunning, 85}, {psRunning, 95}};
  EXPECT_EQ(expected, reports);
  // Laid out again in the same pass (as table cells are): no second report.
  IndentManager indents;
  indents.Reset(0, 300);
  int maxWidth = 0, cursor = 0;
  text[49]->LayoutSection(f.Canvas, 0, 0, 0, 0, 300, 0, 0, indents, maxWidth, cursor);
  EXPECT_EQ(2u, reports.size());
  // A new pass reports again; printing does not.
  f.Layout(300);
  EXPECT_EQ(4u, reports.size());
  f.Doc.FPrinting = true;
  f.Layout(300);
  f.Doc.FPrinting = false;
  EXPECT_EQ(4u, reports.size());
  f.Doc.Clear();
  EXPECT_EQ(0, f.Doc.FSectionCount);
}

// ---- keyboard focus of links ----

// A link over two sections (a line break inside it): its one keyboard stop marks every run of
// the link focused, the view scrolls to the link, Enter follows it, and leaving clears it.
TEST(LinkFocusTest, StopFocusesEveryRunScrollsAndFollowsOnEnter) {
  TLayoutFixture f;
  TUrlTarget link;
  link.Assign("next.htm", "main");
  TProperties& p = f.Push("p");
  auto first = std::make_unique<TSection>(&f.Doc, nullptr, p, true, nullptr);
  AddText(*first, u"go ", 0);
  first->HRef(true, link, f.Push("a"));
  AddText(*first, u"to", 3);
  first->Finish();
  auto second = std::make_unique<TSection>(&f.Doc, &link, f.Top(), false, nullptr);
  AddText(*second, u"it", 6);
  f.Pop("a");
  second->HRef(false, link, f.Top());
  AddText(*second, u" now", 8);
  second->Finish();
  f.Pop("p");
  auto* s1 = static_cast<TSection*>(f.Doc.AddSection(std::move(first)));
  auto* s2 = static_cast<TSection*>(f.Doc.AddSection(std::move(second)));
  f.Layout(400);

  std::vector<THeadlessControl*> stops;
  for (auto* c : f.Host.Controls)
    if (c->Kind() == TControlKind::LinkFocus) stops.push_back(c);
  ASSERT_EQ(1u, stops.size());
  ASSERT_TRUE(stops[0]->OnFocusChange);
  ASSERT_TRUE(stops[0]->OnEnterKey);
  std::vector<std::string> clicks;
  f.Doc.OnLinkClick = [&](const TUrlTarget& l) { clicks.push_back(std::string(l.Url()) + " " + std::string(l.Target())); };

  // Enter before the focus came does nothing.
  stops[0]->OnEnterKey();
  EXPECT_TRUE(clicks.empty());

  stops[0]->OnFocusChange(true);
  EXPECT_TRUE(s1->Fonts()[1]->Focused());
  EXPECT_TRUE(s2->Fonts()[0]->Focused());
  EXPECT_FALSE(s1->Fonts()[0]->Focused());
  EXPECT_FALSE(s2->Fonts()[1]->Focused());
  const int a = s1->Fonts()[0]->Handle().CharWidth(u'a');
  const LineRec& line = s1->Lines()[0];
  ASSERT_EQ(1u, f.Host.ScrolledTo.size());
  EXPECT_EQ(Rect(line.DrawXX + 3 * a, line.Top, line.DrawXX + 5 * a, line.Top + line.Height()),
            f.Host.ScrolledTo[0]);
  f.Draw();
  EXPECT_EQ(2u, LinesOf(f.Canvas, "FocusRect ").size()) << f.Canvas.Text();

  stops[0]->OnEnterKey();
  ASSERT_EQ(1u, clicks.size());
  EXPECT_EQ("next.htm main", clicks[0]);

  const int repaints = f.Host.InvalidateAllCount;
  stops[0]->OnFocusChange(false);
  EXPECT_FALSE(s1->Fonts()[1]->Focused());
  EXPECT_FALSE(s2->Fonts()[0]->Focused());
  EXPECT_GT(f.Host.InvalidateAllCount, repaints);
  f.Draw();
  EXPECT_TRUE(LinesOf(f.Canvas, "FocusRect ").empty());
}

}  // namespace
}  // namespace korva::test
