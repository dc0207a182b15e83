// The document container: cells, the layout and draw passes, positions, hover tracking, fonts.
#include <gtest/gtest.h>

#include "LayoutFixture.h"
#include "layout/IndentManager.h"
#include "layout/LayoutDump.h"
#include "layout/LayoutErrors.h"
#include "style/StyleParser.h"

namespace korva::test {
namespace {

// A section of fixed height that records the edges it saw at its top, optionally floats a box,
// fails its layout, or answers caret and hot-spot questions.
class TProbe : public TSectionBase {
 public:
  TProbe(TSectionList* doc, int height, int chars = 1) : TSectionBase(doc), Chars(chars) { FBoxHeight = height; }
  int FloatWidth = 0, FloatHeight = 0;
  bool FloatRight = false, Fail = false;
  int SeenLeft = -1, SeenRight = -1, Draws = 0;
  int Chars;
  TLinkRun* Link = nullptr;

  int LayoutSection(TCanvas& c, int x, int y, int xr, int yr, int aw, int ah, int bh, IndentManager& im, int& mw,
                    int& cursor) override {
    if (Fail) throw EProcessError("Table too complex");
    SeenLeft = im.LeftEdgeAt(y);
    SeenRight = im.RightEdgeAt(y);
    if (FloatWidth > 0) {
      int fx = FloatRight ? im.RightEdgeAt(y) - FloatWidth : im.LeftEdgeAt(y) + FloatWidth;
      im.PlaceFloatBlock(y, fx, FloatRight, FloatHeight);
    }
    int h = TSectionBase::LayoutSection(c, x, y, xr, yr, aw, ah, bh, im, mw, cursor);
    cursor += Chars;
    return h;
  }
  int CharCount() const override { return Chars; }
  int Draw(TCanvas& c, const TRect& clip, IndentManager& im, int x, int xr, int yr) override {
    ++Draws;
    return TSectionBase::Draw(c, clip, im, x, xr, yr);
  }
  bool PointFromCaret(TCanvas&, int cursor, int& x, int& y) override {
    if (cursor < FFirstChar || cursor >= FFirstChar + Chars) return false;
    x = 10 * (cursor - FFirstChar);
    y = FDocY;
    return true;
  }
  bool HotSpotAt(TCanvas&, int, int, THotSpot& spot) override {
    if (!Link) return false;
    spot.IsLink = true;
    spot.LinkRun = Link;
    return true;
  }
  const char* DumpKind() const override { return "probe"; }
};

// A link run of its own; runs made from one link share it.
class TRun : public TLinkRun {
 public:
  explicit TRun(const TUrlTarget& link) { UrlTarget = link; }
};

TUrlTarget NewLink(const char* url) {
  TUrlTarget link;
  link.Assign(url, "");
  return link;
}

TProbe* AddProbe(TSectionList& doc, int height, int chars = 1) {
  return static_cast<TProbe*>(doc.AddSection(std::make_unique<TProbe>(&doc, height, chars)));
}

TEST(DocumentTest, EmptyAndFloatOnlyDocuments) {
  TLayoutFixture f;
  EXPECT_EQ("document 300x0\n", f.Layout(300));
  EXPECT_EQ("", f.Draw());

  // A float alone: the document reaches down to its bottom.
  TProbe* p = AddProbe(f.Doc, 0);
  p->FloatWidth = 50;
  p->FloatHeight = 120;
  int sw = 0;
  EXPECT_EQ(120, f.Doc.DoLayout(f.Canvas, 300, 0, sw));
}

TEST(DocumentTest, SectionsStackAndSeeTheFloatsBesideThem) {
  TLayoutFixture f;
  TProbe* left = AddProbe(f.Doc, 10);
  left->FloatWidth = 40;
  left->FloatHeight = 30;
  TProbe* right = AddProbe(f.Doc, 10);
  right->FloatWidth = 60;
  right->FloatHeight = 50;
  right->FloatRight = true;
  TProbe* beside = AddProbe(f.Doc, 25);
  TProbe* below = AddProbe(f.Doc, 20);
  f.Layout(300);
  EXPECT_EQ(0, left->FDocY);
  EXPECT_EQ(0, left->SeenLeft);
  EXPECT_EQ(300, left->SeenRight);
  EXPECT_EQ(40, right->SeenLeft);  // the left float starts at y 0
  EXPECT_EQ(20, beside->FDocY);
  EXPECT_EQ(40, beside->SeenLeft);
  EXPECT_EQ(240, beside->SeenRight);
  EXPECT_EQ(45, below->FDocY);  // the left float ended at 30, the right one lasts until 60
  EXPECT_EQ(0, below->SeenLeft);
  EXPECT_EQ(240, below->SeenRight);
  EXPECT_EQ(65, f.Doc.DocumentHeight());
  // Laying out again gives the same result: the cell clears its floats first.
  f.Layout(300);
  EXPECT_EQ(45, below->FDocY);
  EXPECT_EQ(240, below->SeenRight);
}

TEST(DocumentTest, ProcessErrorDropsTheSectionAndReportsIt) {
  TLayoutFixture f;
  AddProbe(f.Doc, 10);
  TProbe* bad = AddProbe(f.Doc, 10);
  bad->Fail = true;
  f.Doc.IDNameList().AddObject("bad", bad);
  TProbe* after = AddProbe(f.Doc, 10);
  int sw = 0;
  EXPECT_EQ(20, f.Doc.DoLayout(f.Canvas, 100, 0, sw));
  ASSERT_EQ(1u, f.Host.Errors.size());
  EXPECT_EQ("Table too complex", f.Host.Errors[0]);
  EXPECT_EQ(2, f.Doc.Count());
  EXPECT_EQ(10, after->FDocY);
  EXPECT_EQ(nullptr, f.Doc.IDNameList().Find("bad"));
}

TEST(DocumentTest, PositionsAndCarets) {
  TLayoutFixture f;
  AddProbe(f.Doc, 10, 5);
  TProbe* second = AddProbe(f.Doc, 10, 5);
  f.Layout(100);
  ASSERT_EQ(2u, f.Doc.FPositionList.size());
  int top = -1, index = -1;
  EXPECT_EQ(second, f.Doc.SectionAtY(15, top, index));
  EXPECT_EQ(10, top);
  EXPECT_EQ(1, index);
  EXPECT_EQ(f.Doc.FPositionList[0], f.Doc.SectionAtY(9, top, index));
  EXPECT_EQ(nullptr, f.Doc.SectionAtY(-1, top, index));

  int x = 0, y = 0;
  ASSERT_TRUE(f.Doc.PointFromCaret(f.Canvas, 7, x, y));
  EXPECT_EQ(20, x);
  EXPECT_EQ(10, y);
  // Past the end: the last character, 15 pixels lower.
  ASSERT_TRUE(f.Doc.PointFromCaret(f.Canvas, 10, x, y));
  EXPECT_EQ(40, x);
  EXPECT_EQ(25, y);
  // Nothing answers a source position: the document length.
  EXPECT_EQ(10, f.Doc.DocPosOf(1234, false));
  int lineY = -1;
  EXPECT_TRUE(f.Doc.FindLineY(1234, lineY) == false);
}

TEST(DocumentTest, DrawVisitsEverySectionAndKeepsCanvasState) {
  TLayoutFixture f;
  TProbe* a = AddProbe(f.Doc, 10);
  TProbe* b = AddProbe(f.Doc, 10);
  f.Layout(100);
  f.Draw();
  EXPECT_EQ(1, a->Draws);
  EXPECT_EQ(1, b->Draws);
  EXPECT_EQ(TPoint{}, f.Canvas.Origin());
}

TEST(DocumentTest, DrawVisitsOnlySectionsMeetingTheClip) {
  TLayoutFixture f;
  std::vector<TProbe*> probes;
  for (int i = 0; i < 100; ++i) probes.push_back(AddProbe(f.Doc, 10));
  f.Layout(100);
  f.Draw(TRect{0, 205, 100, 230});  // rows 20, 21 and 22
  int drawn = 0;
  for (TProbe* p : probes) drawn += p->Draws;
  EXPECT_EQ(3, drawn);
  EXPECT_EQ(1, probes[20]->Draws);
  EXPECT_EQ(1, probes[22]->Draws);
}

TEST(DocumentTest, HoverSwitchesEveryRunOfTheLinkTogether) {
  TLayoutFixture f;
  const TUrlTarget one = NewLink("one.htm"), two = NewLink("two.htm");
  TRun a1(one), a2(one), b(two);
  f.Doc.FLinkList = {&a1, &a2, &b};
  TProbe* p = AddProbe(f.Doc, 10);
  TProbe* q = AddProbe(f.Doc, 10);
  p->Link = &a1;
  q->Link = &b;
  f.Layout(100);
  THotSpot spot;

  // Hover effects off: the link is found but no font changes.
  EXPECT_TRUE(f.Doc.DocHotSpotAt(f.Canvas, 5, 5, spot));
  EXPECT_FALSE(a1.Hover);

  // A ":hover" rule in the page's sheet switches them on.
  ParseStyleText(f.Doc.Styles(), "a:hover { color: red }", "");
  ASSERT_TRUE(f.Doc.FHoverStylesUsed);
  f.Doc.DocHotSpotAt(f.Canvas, 5, 15, spot);  // to link 2
  EXPECT_TRUE(b.Hover);
  f.Doc.DocHotSpotAt(f.Canvas, 5, 5, spot);  // back to link 1
  EXPECT_TRUE(a1.Hover);
  EXPECT_TRUE(a2.Hover);
  EXPECT_FALSE(b.Hover);
  int repaints = f.Host.InvalidateAllCount;
  f.Doc.DocHotSpotAt(f.Canvas, 6, 6, spot);  // same link: nothing to repaint
  EXPECT_EQ(repaints, f.Host.InvalidateAllCount);
  f.Doc.DocHotSpotAt(f.Canvas, 5, 50, spot);  // off every section
  EXPECT_FALSE(a1.Hover);
  EXPECT_FALSE(a2.Hover);
  EXPECT_EQ(nullptr, f.Doc.FActiveLink);
}

TEST(DocumentTest, FontsAreMadeOncePerDescription) {
  TLayoutFixture f;
  TProperties& p1 = f.Push("p");
  const TDocFont& a = f.Doc.FontFor(p1);
  f.Pop("p");
  TProperties& p2 = f.Push("p");
  const TDocFont& b = f.Doc.FontFor(p2);
  EXPECT_EQ(&a, &b);
  EXPECT_EQ(a.Font.Handle(), b.Font.Handle());
  f.Pop("p");
  TProperties& big = f.Push("h1");
  const TDocFont& c = f.Doc.FontFor(big);
  EXPECT_NE(&a, &c);
  EXPECT_GT(c.EmPixels, a.EmPixels);
  EXPECT_EQ(c.EmPixels / 2, c.ExPixels);
  f.Pop("h1");
  EXPECT_EQ(2, f.Doc.FontCount());
  f.Doc.Clear();
  EXPECT_EQ(0, f.Doc.FontCount());
}

// Fonts are found again by every field of their description; a number spacing is the same
// whether integer or real.
TEST(DocumentTest, FontDescriptionsFindTheirFontAgain) {
  TLayoutFixture f;
  ThtFontInfo base;
  base.Name = "Arial";
  base.Size = 12;
  base.LetterSpacing = 2;
  struct TCase {
    const char* What;
    void (*Change)(ThtFontInfo&);
    bool Same;
  } cases[] = {
      {"unchanged", [](ThtFontInfo&) {}, true},
      {"real spacing", [](ThtFontInfo& i) { i.LetterSpacing = 2.0; }, true},
      {"text spacing", [](ThtFontInfo& i) { i.LetterSpacing = "2px"; }, false},
      {"no spacing", [](ThtFontInfo& i) { i.LetterSpacing.Clear(); }, false},
      {"size", [](ThtFontInfo& i) { i.Size = 12.5; }, false},
      {"name", [](ThtFontInfo& i) { i.Name = "Courier New"; }, false},
      {"style", [](ThtFontInfo& i) { i.Style = fsItalic; }, false},
      {"colour", [](ThtFontInfo& i) { i.Color = 0xFF; }, false},
      {"background", [](ThtFontInfo& i) { i.BGColor = 0xFF; }, false},
      {"character set", [](ThtFontInfo& i) { i.CharSet = 2; }, false},
  };
  const int before = f.Doc.FontCount();
  const TDocFont& first = f.Doc.FontFor(base);
  int different = 0;
  for (const TCase& c : cases) {
    different += c.Same ? 0 : 1;
    ThtFontInfo info = base;
    c.Change(info);
    EXPECT_EQ(c.Same, &f.Doc.FontFor(info) == &first) << c.What;
  }
  EXPECT_EQ(before + 1 + different, f.Doc.FontCount());
}

TEST(IndentManagerTest, EdgesFloatsAndOwners) {
  IndentManager im;
  im.Reset(100, 500);
  EXPECT_EQ(100, im.LeftEdgeAt(0));
  EXPECT_EQ(500, im.RightEdgeAt(0));
  EXPECT_EQ(0, im.FloatsBottom());
  int l = 0, r = 0;
  im.ClearedY(l, r);
  EXPECT_EQ(0, l);
  EXPECT_EQ(0, r);

  // A left float 60 wide from y 10 to 40, a right float from 400 over 20..80.
  im.PlaceFloatBlock(10, 160, false, 30);
  im.PlaceFloatBlock(20, 400, true, 60);
  EXPECT_EQ(100, im.LeftEdgeAt(9));
  EXPECT_EQ(160, im.LeftEdgeAt(10));
  EXPECT_EQ(160, im.LeftEdgeAt(39));
  EXPECT_EQ(100, im.LeftEdgeAt(40));
  EXPECT_EQ(400, im.RightEdgeAt(79));
  EXPECT_EQ(80, im.FloatsBottom());
  im.ClearedY(l, r);
  EXPECT_EQ(41, l);
  EXPECT_EQ(81, r);
  EXPECT_EQ(40, im.NextWiderY(15));
  EXPECT_EQ(80, im.NextWiderY(40));
  EXPECT_EQ(80, im.NextWiderY(80));

  // A block's own edges hide those of the block around it, but not the floats.
  TBlock* outer = reinterpret_cast<TBlock*>(&l);
  TBlock* inner = reinterpret_cast<TBlock*>(&r);
  im.CurrentOwner = outer;
  int ol = im.PushLeftIndent(120, 0);
  im.CurrentOwner = inner;
  int il = im.PushLeftIndent(130, 0);
  EXPECT_EQ(130, im.LeftEdgeAt(0));
  EXPECT_EQ(160, im.LeftEdgeAt(10));
  im.CurrentOwner = outer;
  EXPECT_EQ(120, im.LeftEdgeAt(0));
  im.ReleaseLeftIndents(il);
  im.ReleaseLeftIndents(ol);
  EXPECT_EQ(100, im.LeftEdgeAt(0));

  // Floated images: the left one starts at the current edge plus its space; the right one ends
  // at the right edge.
  IndentManager m2;
  m2.Reset(0, 300);
  EXPECT_EQ(3, m2.PlaceFloatImage(0, false, 56, 3, 20));
  EXPECT_EQ(56, m2.LeftEdgeAt(5));
  EXPECT_EQ(247, m2.PlaceFloatImage(0, true, 56, 3, 20));
  EXPECT_EQ(244, m2.RightEdgeAt(5));
}

TEST(LayoutDumpTest, QuotesTextSafely) {
  TDumpWriter out;
  out.Line(1) << "line";
  out.Quoted(u"a\"b\\c\x01\u00e9\U0001F600\xD800");
  out.Box(TRect{1, 2, 11, 22});
  EXPECT_EQ("  line\"a\\\"b\\\\c\\u0001\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBD\" 1,2 10x20\n", out.Text());
}

}  // namespace
}  // namespace korva::test
