// Text sections: content and trimming, source positions, links, hit tests, search and copy.
#include <gtest/gtest.h>

#include "LayoutFixture.h"
#include "TextTestUtil.h"
#include "core/Attributes.h"
#include "layout/HorzLine.h"
#include "layout/PreFormated.h"

namespace korva::test {
namespace {

struct TPiece {
  std::u16string Text;
  bool NoBreak;
};

// Finish trims: leading and trailing spaces, spaces merged across tokens, spaces around a line
// break, a trailing break after text.
TEST(SectionTest, FinishTrimsSpaces) {
  struct TCase {
    std::vector<TPiece> Pieces;
    std::u16string Expected;
  } cases[] = {
      {{{u"  a ", false}, {u" b  ", false}}, u"a b"},
      {{{u"a", false}, {u" ", true}, {u" b", false}}, u"a b"},
      {{{u"abc \b", false}}, u"abc"},
      {{{u" \b ", false}}, u"\b"},
      {{{u"a \b b", false}}, u"a\bb"},
      {{{u"   ", false}}, u""},
  };
  for (const TCase& c : cases) {
    TLayoutFixture f;
    TSection s(&f.Doc, nullptr, f.Push("p"), true, nullptr);
    int pos = 0;
    for (const TPiece& p : c.Pieces) {
      s.FNoBreak = p.NoBreak;
      AddText(s, p.Text, pos);
      pos += int(p.Text.size()) + 10;
    }
    s.Finish();
    EXPECT_EQ(c.Expected, s.Text());
    EXPECT_EQ(s.Text().size() + 1, s.BreakFlags().size());
    EXPECT_EQ(c.Expected.empty(), s.IsEmptyText());
  }
}

// No-break marks follow their characters when spaces are dropped, across the 64-character words
// they are stored in; the end of the text may always break.
TEST(SectionTest, NoBreakMarksFollowTrimmedText) {
  TLayoutFixture f;
  TSection s(&f.Doc, nullptr, f.Push("p"), true, nullptr);
  const std::u16string kept(130, u'x');
  s.FNoBreak = false;
  AddText(s, u"  a   b ", 0);
  s.FNoBreak = true;
  AddText(s, kept, 20);
  s.FNoBreak = false;
  AddText(s, u"  c  ", 200);
  s.Finish();
  ASSERT_EQ(u"a b " + kept + u" c", s.Text());
  EXPECT_EQ("yyyy" + std::string(130, 'n') + "yyy", s.BreakFlags());
  EXPECT_FALSE(s.CanBreakAt(4 + 129));
  EXPECT_TRUE(s.CanBreakAt(4 + 130));

  // A copy for printing keeps the marks.
  TSection copy(&f.Doc, s);
  EXPECT_EQ(s.BreakFlags(), copy.BreakFlags());
}

// Text that breaks nowhere (a NOWRAP cell's) holds no flag per character, yet reads, copies and
// lays out like text that does.
TEST(SectionTest, TextThatBreaksNowhereHoldsNoFlags) {
  TLayoutFixture f;
  const std::u16string words = u"aa bb cc dd ee ff gg hh ii jj kk ll mm nn oo pp qq rr ss tt uu vv ww";
  auto make = [&](bool noBreak) {
    auto s = std::make_unique<TSection>(&f.Doc, nullptr, f.Push("td"), true, nullptr);
    s->FNoBreak = noBreak;
    AddText(*s, words, 0);
    s->Finish();
    return s;
  };
  auto nowrap = make(true), wrapping = make(false);
  const int n = int(words.size());
  ASSERT_GT(n, 64);
  EXPECT_EQ(std::string(std::size_t(n), 'n') + "y", nowrap->BreakFlags());
  EXPECT_EQ(wrapping->MemoryBytes(), nowrap->MemoryBytes());
  for (int i : {-1, 0, 2, n - 1}) EXPECT_EQ(i < 0, nowrap->CanBreakAt(i)) << i;
  EXPECT_TRUE(nowrap->CanBreakAt(n));
  TSection copy(&f.Doc, *nowrap);
  EXPECT_EQ(nowrap->BreakFlags(), copy.BreakFlags());

  // Laid out narrower than the text: one line, as NOBR text is.
  TSection* placed = static_cast<TSection*>(f.Doc.AddSection(std::move(nowrap)));
  f.Layout(40);
  EXPECT_EQ(1u, placed->Lines().size());

  // One character of a NOBR run next to breakable text keeps its own flags.
  auto mixed = std::make_unique<TSection>(&f.Doc, nullptr, f.Push("p"), true, nullptr);
  mixed->FNoBreak = true;
  AddText(*mixed, u"ab", 0);
  mixed->FNoBreak = false;
  AddText(*mixed, u" c", 2);
  mixed->Finish();
  EXPECT_EQ("nnyyy", mixed->BreakFlags());
}

// Where spaces go, the font runs after them move back with the text.
TEST(SectionTest, TrimmingShiftsFontRuns) {
  TLayoutFixture f;
  TSection s(&f.Doc, nullptr, f.Push("p"), true, nullptr);
  AddText(s, u"  ab ", 0);
  s.ChangeFont(f.Push("b"));
  AddText(s, u" cd", 10);
  s.Finish();
  ASSERT_EQ(u"ab cd", s.Text());
  ASSERT_EQ(2, s.Fonts().Count());
  EXPECT_EQ(0, s.Fonts()[0]->Pos);
  EXPECT_EQ(3, s.Fonts()[1]->Pos);  // the bold run starts at "cd"
}

// Source positions are kept as runs and map both ways; a gap (a tag) maps to the nearest
// character after it, or before it on request.
TEST(SectionTest, SourcePositionsBothWays) {
  TLayoutFixture f;
  TSection* s = nullptr;
  {
    TSection* made = new TSection(&f.Doc, nullptr, f.Push("p"), true, nullptr);
    AddText(*made, u"abc", 100);
    AddText(*made, u"def", 120);
    made->Finish();
    s = static_cast<TSection*>(f.Doc.AddSection(std::unique_ptr<TSectionBase>(made)));
  }
  f.Layout(400);
  ASSERT_EQ(2, s->SourceIndex().RunCount());
  EXPECT_EQ(100, s->SourcePosOf(0));
  EXPECT_EQ(102, s->SourcePosOf(2));
  EXPECT_EQ(121, s->SourcePosOf(4));
  EXPECT_EQ(-1, s->SourcePosOf(6));
  EXPECT_EQ(1, s->DocPosOf(101, false));
  EXPECT_EQ(5, s->DocPosOf(122, false));
  EXPECT_EQ(3, s->DocPosOf(110, false));  // in the gap: the next character
  EXPECT_EQ(2, s->DocPosOf(110, true));   // or the one before
  EXPECT_EQ(0, s->DocPosOf(50, false));
  EXPECT_EQ(-1, s->DocPosOf(500, false));
}

// Spaces dropped when the text is finished take their source positions with them: every
// character kept still maps to where it was read.
TEST(SectionTest, CollapsedSpacesKeepTheirSourcePositions) {
  TLayoutFixture f;
  TSection* made = new TSection(&f.Doc, nullptr, f.Push("p"), true, nullptr);
  AddText(*made, u"  ab  cd", 10);  // leading spaces and one of the pair go
  AddText(*made, u" ef ", 40);      // the trailing space goes
  made->Finish();
  auto* s = static_cast<TSection*>(f.Doc.AddSection(std::unique_ptr<TSectionBase>(made)));
  f.Layout(400);
  ASSERT_EQ(u"ab cd ef", s->Text());
  const int expected[] = {12, 13, 14, 16, 17, 40, 41, 42};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(expected[i], s->SourcePosOf(i)) << "character " << i;
  EXPECT_EQ(3, s->SourceIndex().RunCount());
  EXPECT_EQ(3, s->DocPosOf(15, false));  // the dropped space: the next character kept
  EXPECT_EQ(2, s->DocPosOf(15, true));
}

// A link over several font runs: its runs share hover, and it gets one keyboard stop.
TEST(SectionTest, LinkOverRunsSharesHoverAndOneStop) {
  TDocumentDefaults d;
  d.HoverEffects = true;
  TLayoutFixture f({}, d);
  TSection* made = new TSection(&f.Doc, nullptr, f.Push("p"), true, nullptr);
  AddText(*made, u"go ", 0);
  TUrlTarget link;
  link.Assign("page.htm", "");
  made->HRef(true, link, f.Push("a"));
  AddText(*made, u"to ", 3);
  made->ChangeFont(f.Push("b"));
  AddText(*made, u"page", 6);
  f.Pop("b");
  f.Pop("a");
  made->HRef(false, link, f.Top());
  AddText(*made, u" now", 10);
  made->Finish();
  auto* s = static_cast<TSection*>(f.Doc.AddSection(std::unique_ptr<TSectionBase>(made)));
  f.Layout(400);
  ASSERT_EQ(4, s->Fonts().Count());
  int stops = 0;
  for (auto* c : f.Host.Controls) stops += c->Kind() == TControlKind::LinkFocus;
  EXPECT_EQ(1, stops);
  ASSERT_EQ(2u, f.Doc.FLinkList.size());

  // Hover over "to": both runs of the link change; the text after it does not.
  const int adv = s->Fonts()[0]->Handle().CharWidth(u'a');
  THotSpot spot;
  ASSERT_TRUE(f.Doc.DocHotSpotAt(f.Canvas, 3 * adv + 2, 4, spot));
  EXPECT_TRUE(spot.IsLink);
  EXPECT_EQ("page.htm", spot.Link.Url());
  EXPECT_TRUE(s->Fonts()[1]->Hover());
  EXPECT_TRUE(s->Fonts()[2]->Hover());
  EXPECT_FALSE(s->Fonts()[3]->IsLink());
  f.Doc.DocHotSpotAt(f.Canvas, 12 * adv, 4, spot);  // over " now"
  EXPECT_FALSE(s->Fonts()[1]->Hover());
  EXPECT_FALSE(s->Fonts()[2]->Hover());
}

// With more than 400 links on the page, links get no keyboard stops.
TEST(SectionTest, ManyLinksGetNoStops) {
  TLayoutFixture f;
  f.Doc.ManyLinks = true;
  TSection s(&f.Doc, nullptr, f.Push("p"), true, nullptr);
  TUrlTarget link;
  link.Assign("x.htm", "");
  s.HRef(true, link, f.Push("a"));
  AddText(s, u"x", 0);
  EXPECT_TRUE(f.Host.Controls.empty());
  EXPECT_EQ(1u, f.Doc.FLinkList.size());
}

// Multi-line text: caret from a point and back, search both ways, copy of a selection.
TEST(SectionTest, HitTestSearchAndCopyOverLines) {
  TLayoutFixture f;
  TSection* s = AddParagraph(f, u"alpha beta gamma delta", "", 0);
  std::string dump = f.Layout(100);
  ASSERT_GE(s->Lines().size(), 2u) << dump;
  const LineRec& second = s->Lines()[1];
  const int adv = s->Fonts()[0]->Handle().CharWidth(u'a');

  int x = 0, y = 0, xr = 0, yr = 0, h = 0;
  bool inText = false;
  // The right half of the second character of the second line gives the position after it.
  int p = s->CaretFromPoint(f.Canvas, second.DrawXX + adv + adv * 3 / 4, second.Top + 1, xr, yr, h, inText);
  EXPECT_EQ(second.Start + 2, p);
  EXPECT_EQ(second.DrawXX + 2 * adv, xr);
  EXPECT_EQ(second.Top, yr);
  p = s->CaretFromPoint(f.Canvas, second.DrawXX + adv + adv / 4, second.Top + 1, xr, yr, h, inText);
  EXPECT_EQ(second.Start + 1, p);
  ASSERT_TRUE(s->PointFromCaret(f.Canvas, second.Start + 3, x, y));
  EXPECT_EQ(second.DrawXX + 3 * adv, x);
  EXPECT_EQ(second.Top, y);
  EXPECT_EQ(-1, s->CaretFromPoint(f.Canvas, 10, 100000, xr, yr, h, inText));

  EXPECT_EQ(11, s->SearchForward(0, u"gamma", false));
  EXPECT_EQ(-1, s->SearchForward(12, u"gamma", false));
  EXPECT_EQ(11, f.Doc.SearchForward(0, u"gamma", true));
  EXPECT_EQ(-1, s->SearchForward(0, u"GAMMA", true));
  EXPECT_EQ(6, s->SearchBackward(11, u"beta", false));
  EXPECT_EQ(-1, s->SearchBackward(6, u"beta", false));
  EXPECT_EQ(17, s->SearchBackward(100, u"delta", false));

  f.Doc.FSelB = 3;
  f.Doc.FSelE = 13;
  std::u16string copied;
  f.Doc.AppendSelectedText(copied);
  EXPECT_EQ(u"ha beta ga", copied);
  f.Doc.FSelE = 40;
  copied.clear();
  f.Doc.AppendSelectedText(copied);
  EXPECT_EQ(u"ha beta gamma delta\r\n", copied);

  // The selected piece is drawn inverted over an opaque background.
  f.Doc.FSelB = 0;
  f.Doc.FSelE = 2;
  std::string drawn = f.Draw();
  EXPECT_NE(std::string::npos, drawn.find("TextOut 0,")) << drawn;
  EXPECT_NE(std::string::npos, drawn.find("\"al\" w=" + std::to_string(2 * adv))) << drawn;
  EXPECT_NE(std::string::npos, drawn.find("color=#FFFFFF bk=#000000")) << drawn;
}

// Minimum and maximum widths: the widest word (a hyphen and a question mark belong to the
// word before them), the whole text; the first-line indent counts on the first piece.
TEST(SectionTest, MinMaxWidths) {
  TLayoutFixture f;
  TSection* s = AddParagraph(f, u"ab cdef-gh why?x");
  const int adv = s->Fonts()[0]->Handle().CharWidth(u'a');
  int mn = 0, mx = 0;
  s->MeasureMinMax(f.Canvas, mn, mx);
  EXPECT_EQ(5 * adv, mn);  // "cdef-"
  EXPECT_EQ(16 * adv, mx);
  s->MeasureMinMax(f.Canvas, mn, mx);  // from the cache
  EXPECT_EQ(5 * adv, mn);
  EXPECT_EQ(16 * adv, mx);

  // Widths past what the cache holds are measured again each time, never cut short; so are
  // those of a preformatted line.
  const int wide = 70000 / std::min(adv, 4) + 1;
  TSection* nobr = AddParagraph(f, std::u16string(std::size_t(wide), u'x'));  // one word: no break
  auto pre = std::make_unique<TPreFormated>(&f.Doc, nullptr, f.Push("pre"), false, nullptr);
  AddText(*pre, std::u16string(std::size_t(wide), u'x'), 0);
  pre->Finish();
  f.Pop("pre");
  TSectionBase* line = f.Doc.AddSection(std::move(pre));
  for (TSection* t : {nobr, static_cast<TSection*>(line)}) {
    const int width = wide * t->Fonts()[0]->Handle().CharWidth(u'x');
    ASSERT_GT(width, 65535);
    for (int pass = 0; pass < 2; ++pass) {
      t->MeasureMinMax(f.Canvas, mn, mx);
      EXPECT_EQ(width, mx) << pass;
      EXPECT_EQ(t == line ? 2000 : width, mn) << pass;
    }
  }
}

// Preformatted lines never wrap, keep their spaces, and an empty line is one font high; the
// minimum width they ask is at most 2000.
TEST(SectionTest, PreformattedLines) {
  TLayoutFixture f;
  TProperties& p = f.Push("pre");
  auto pre = std::make_unique<TPreFormated>(&f.Doc, nullptr, p, false, nullptr);
  AddText(*pre, u"  a   b  c  ", 0);
  pre->Finish();
  auto empty = std::make_unique<TPreFormated>(&f.Doc, nullptr, p, false, nullptr);
  empty->Finish();
  auto longLine = std::make_unique<TPreFormated>(&f.Doc, nullptr, p, false, nullptr);
  AddText(*longLine, std::u16string(600, u'x'), 20);
  longLine->Finish();
  auto* lp = longLine.get();
  f.Pop("pre");
  f.Doc.AddSection(std::move(pre));
  f.Doc.AddSection(std::move(empty));
  f.Doc.AddSection(std::move(longLine));
  ExpectDump("text-pre", f.Layout(40));
  int mn = 0, mx = 0;
  lp->MeasureMinMax(f.Canvas, mn, mx);
  EXPECT_EQ(2000, mn);
  EXPECT_EQ(600 * lp->Fonts()[0]->Handle().CharWidth(u'x'), mx);
}

// Rules: SIZE within 1..20, NOSHADE black outline, COLOR a solid bar, percent widths up to 100.
TEST(SectionTest, HorizontalRules) {
  TLayoutFixture f;
  struct TAttr {
    TSymbol Sym;
    const char* Name;
    int Value;
    const char* Text;
  };
  auto rule = [&](std::vector<TAttr> attrs) {
    TAttributeList list;
    for (const TAttr& a : attrs) list.Add(a.Sym, a.Name, a.Value, a.Text);
    TProperties& p = f.Push("hr");
    auto r = std::make_unique<THorzLine>(&f.Doc, p, &list);
    std::string width(p.Value(piWidth).TextOrEmpty());
    f.Pop("hr");
    return std::make_pair(std::move(r), width);
  };
  auto [big, w1] = rule({{sySize, "SIZE", 30, "30"}, {syWidth, "WIDTH", 150, "150%"}});
  EXPECT_EQ(2, big->VSize);
  EXPECT_EQ("", w1);
  auto [half, w2] = rule({{syWidth, "WIDTH", 50, "50%"}, {syAlign, "ALIGN", 0, "LEFT"}});
  EXPECT_EQ("50%", w2);
  EXPECT_EQ(1, half->Align);
  auto [flat, w3] = rule({{sySize, "SIZE", 5, "5"}, {syNoshade, "NOSHADE", 0, ""}});
  auto [red, w4] = rule({{syColor, "COLOR", 0, "red"}});
  f.Doc.AddSection(std::move(flat));
  f.Doc.AddSection(std::move(red));
  ExpectDump("text-rules", f.Layout(100));
  std::string drawn = f.Draw();
  EXPECT_NE(std::string::npos, drawn.find("Line 99,0 99,4 pen=#000000")) << drawn;
  EXPECT_NE(std::string::npos, drawn.find("FillRect 0,5,100,7 #FF0000")) << drawn;
}

// A run carries its element's title whether or not it is a link; the end of a link drops the
// link and keeps the title; a run after both has neither.
TEST(SectionTest, RunsKeepTitlesApartFromLinks) {
  TLayoutFixture f;
  TSection s(&f.Doc, nullptr, f.Push("p"), true, nullptr);
  AddText(s, u"a ", 0);
  TProperties& span = f.Push("span");
  span.FTitleText = "tip";
  s.ChangeFont(span);
  AddText(s, u"b ", 2);
  TUrlTarget link;
  link.Assign("x.htm", "");
  TProperties& anchor = f.Push("a");
  anchor.FTitleText = "tip";
  s.HRef(true, link, anchor);
  AddText(s, u"c ", 4);
  f.Pop("a");
  s.HRef(false, link, f.Top());
  AddText(s, u"d ", 6);
  f.Pop("span");
  s.ChangeFont(f.Top());
  AddText(s, u"e", 8);
  s.Finish();
  ASSERT_EQ(5, s.Fonts().Count());
  struct TExpect {
    const char* Title;
    const char* Url;
  } expected[] = {{"", ""}, {"tip", ""}, {"tip", "x.htm"}, {"tip", ""}, {"", ""}};
  for (int i = 0; i < 5; ++i) {
    const TFontObj& run = *s.Fonts()[i];
    EXPECT_EQ(expected[i].Title, run.Title()) << "run " << i;
    EXPECT_EQ(expected[i].Url, run.UrlTarget().Url()) << "run " << i;
    EXPECT_EQ(*expected[i].Url != 0, run.IsLink()) << "run " << i;
    EXPECT_EQ(i == 2, run.TabControl() != nullptr) << "run " << i;
  }
  EXPECT_EQ(1u, f.Doc.FLinkList.size());
}

}  // namespace
}  // namespace korva::test

namespace korva::test {
namespace {

// An element that changes nothing drawn starts no run of its own; a font change, a vertical
// shift and a title each do.
TEST(SectionTest, ElementsThatChangeNothingSeenStartNoRun) {
  TLayoutFixture f;
  TSection s(&f.Doc, nullptr, f.Push("p"), true, nullptr);
  AddText(s, u"a ", 0);
  s.ChangeFont(f.Push("span"));
  AddText(s, u"b ", 2);
  f.Pop("span");
  s.ChangeFont(f.Top());
  AddText(s, u"c ", 4);
  ASSERT_EQ(1, s.Fonts().Count());

  s.ChangeFont(f.Push("b"));
  AddText(s, u"d ", 6);
  f.Pop("b");
  s.ChangeFont(f.Top());
  AddText(s, u"e ", 8);
  EXPECT_EQ(3, s.Fonts().Count());

  s.ChangeFont(f.Push("span", "vertical-align: super"));
  AddText(s, u"f ", 10);
  f.Pop("span");
  TProperties& titled = f.Push("span");
  titled.FTitleText = "note";
  s.ChangeFont(titled);
  AddText(s, u"g", 12);
  s.Finish();
  ASSERT_EQ(5, s.Fonts().Count());
  EXPECT_EQ(ssSuper, s.Fonts()[3]->SScript());
  EXPECT_EQ("note", s.Fonts()[4]->Title());
}

}  // namespace
}  // namespace korva::test

namespace korva::test {
namespace {

// A section beside a left float keeps its left edge exactly however far right the float pushes
// it (near edges in the section, far ones in its rare record): a point left of the edge is in no
// text of the section, a point on its text is. A line height from style is cut to MaxLineHeight.
TEST(SectionTest, LeftEdgesBesideFloatsOfAnyWidthAndCutLineHeights) {
  for (int floatWidth : {300, 32767, 32768, 40000}) {
    TLayoutFixture f;
    f.Doc.AddSection(std::make_unique<TFloatBox>(&f.Doc, floatWidth, 50, false));
    TSection* s = AddParagraph(f, u"alpha beta", "", 0);
    f.Layout(floatWidth + 400);
    ASSERT_EQ(1, s->LineCount()) << floatWidth;
    const LineRec line = s->Line(0);
    EXPECT_EQ(floatWidth, line.DrawXX) << floatWidth;
    int xr = 0, yr = 0, h = 0;
    bool inText = false;
    EXPECT_EQ(-1, s->CaretFromPoint(f.Canvas, floatWidth - 1, line.Top + 1, xr, yr, h, inText)) << floatWidth;
    EXPECT_EQ(line.Start, s->CaretFromPoint(f.Canvas, floatWidth, line.Top + 1, xr, yr, h, inText)) << floatWidth;
  }
  for (const char* height : {"line-height: 30px", "line-height: 32767px", "line-height: 50000px"}) {
    TLayoutFixture f;
    TSection* s = AddParagraph(f, u"alpha", height, 0);
    f.Layout(300);
    ASSERT_EQ(1, s->LineCount());
    EXPECT_EQ(std::min(std::atoi(height + 13), MaxLineHeight), s->Line(0).Height()) << height;
  }
}

}  // namespace
}  // namespace korva::test
