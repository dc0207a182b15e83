// The lines of a text section: a single line at the section's start and top kept short, usual lines narrow, others
// whole, through layout passes that add, settle and start over.
#include <gtest/gtest.h>

#include "LayoutFixture.h"
#include "TextTestUtil.h"
#include "layout/LineStore.h"

namespace korva::test {
namespace {

TLineSlot MakeLine(int start, int top, int seed) {
  TLineSlot l;
  l.Start = start;
  l.Top = top;
  l.SpaceBefore = seed;
  l.LineHt = 16 + seed;
  l.DrawXX = -5 - seed;
  l.DrawWidth = 100000 + seed;
  l.Width = 300 + seed;
  l.Descent = std::int16_t(2048 - seed);
  l.FirstDraw = seed % 2 == 0;
  l.Justified = seed % 3 == 0;
  return l;
}

void ExpectSame(const TLineSlot& a, const TLineSlot& b, const std::string& what) {
  EXPECT_EQ(a.Start, b.Start) << what;
  EXPECT_EQ(a.Top, b.Top) << what;
  EXPECT_EQ(a.SpaceBefore, b.SpaceBefore) << what;
  EXPECT_EQ(a.LineHt, b.LineHt) << what;
  EXPECT_EQ(a.DrawXX, b.DrawXX) << what;
  EXPECT_EQ(a.DrawWidth, b.DrawWidth) << what;
  EXPECT_EQ(a.Width, b.Width) << what;
  EXPECT_EQ(a.Descent, b.Descent) << what;
  EXPECT_EQ(a.FirstDraw, b.FirstDraw) << what;
  EXPECT_EQ(a.Justified, b.Justified) << what;
}

// A field of a line that a compact form keeps in fewer bits, and a way to change it.
struct TLineField {
  const char* Name;
  void (*Add)(TLineSlot& line, int delta);
};
const TLineField SpaceField{"space before", [](TLineSlot& l, int d) { l.SpaceBefore += d; }};
const TLineField HeightField{"height", [](TLineSlot& l, int d) { l.LineHt += d; }};
const TLineField XField{"x", [](TLineSlot& l, int d) { l.DrawXX += d; }};
const TLineField DrawWidthField{"draw width", [](TLineSlot& l, int d) { l.DrawWidth += d; }};
const TLineField WidthField{"width", [](TLineSlot& l, int d) { l.Width += d; }};
const TLineField DescentField{"descent", [](TLineSlot& l, int d) { l.Descent = std::int16_t(l.Descent + d); }};

// Lines that a compact form cannot keep: each field one past its largest value in `largest`,
// and each field below 0.
std::vector<std::pair<std::string, TLineSlot>> PastTheLimits(const TLineSlot& largest,
                                                              std::initializer_list<TLineField> fields) {
  std::vector<std::pair<std::string, TLineSlot>> out;
  for (const TLineField& f : fields) {
    TLineSlot over = largest, negative = TLineSlot{};
    f.Add(over, 1);
    f.Add(negative, -1);
    out.push_back({std::string(f.Name) + " one too large", over});
    out.push_back({std::string(f.Name) + " below 0", negative});
  }
  return out;
}

// Every line reads back whole, before and after settling, through growth; a single line is kept
// short only when it starts the text at the section's top; marks set afterwards stick; a new
// pass after a short line starts over.
TEST(LineStoreTest, LinesReadBackWholeInEveryForm) {
  const int top = 700;
  for (int count : {1, 2, 5, 9, 40}) {
    for (bool atStart : {true, false}) {
      const std::string what = std::to_string(count) + (atStart ? " at start" : " below a clear");
      TLineStore store;
      std::vector<TLineSlot> lines;
      for (int i = 0; i < count; ++i) {
        lines.push_back(MakeLine(i * 7, (atStart ? top : top + 30) + i * 20, i));
        store.Push(lines.back());
      }
      for (int pass = 0; pass < 2; ++pass) {
        ASSERT_EQ(count, store.Count()) << what;
        for (int i = 0; i < count; ++i) {
          ExpectSame(lines[std::size_t(i)], store.Slot(i, top), what + " line " + std::to_string(i));
          EXPECT_EQ(lines[std::size_t(i)].Start, store.Start(i)) << what;
          EXPECT_EQ(lines[std::size_t(i)].Top, store.Top(i, top)) << what;
        }
        store.Settle(top);
      }
      const bool keptShort = count == 1 && atStart;
      EXPECT_EQ(keptShort ? 24u : 8u + 32u * std::size_t(count), store.CapacityBytes()) << what;
      store.SetFirstDraw(count - 1, !lines.back().FirstDraw);
      EXPECT_EQ(!lines.back().FirstDraw, store.Slot(count - 1, top).FirstDraw) << what;

      store.Push(MakeLine(0, 5, 3));  // a new layout pass (layout clears first; a short line starts over)
      EXPECT_EQ(keptShort ? 1 : count + 1, store.Count()) << what;
      store.Clear();
      EXPECT_TRUE(store.Empty()) << what;
      EXPECT_EQ(0u, store.CapacityBytes()) << what;
    }
  }
}

// A usual single line is packed into the store's word (no block at all); a value past what the
// packed form holds, or below 0, keeps the line in a short block instead. Either way it reads
// back whole, and its marks can be set afterwards.
TEST(LineStoreTest, UsualSingleLinesArePackedAndOthersKeptShort) {
  TLineSlot usual;
  usual.SpaceBefore = 31;
  usual.LineHt = 255;
  usual.DrawXX = 8191;
  usual.DrawWidth = 32767;
  usual.Width = 16383;
  usual.Descent = 63;
  usual.Justified = true;
  std::vector<std::pair<std::string, TLineSlot>> cases = {{"the largest values", usual}, {"all 0", TLineSlot{}}};
  for (auto& c : PastTheLimits(usual, {SpaceField, HeightField, XField, DrawWidthField, WidthField, DescentField}))
    cases.push_back(c);
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const auto& [what, line] = cases[k];
    const bool packed = k < 2;
    TLineStore store;
    store.Push(line);
    store.Settle(0);
    EXPECT_EQ(packed ? 0u : 24u, store.CapacityBytes()) << what;
    ASSERT_EQ(1, store.Count()) << what;
    ExpectSame(line, store.Slot(0, 0), what);
    for (bool on : {false, true}) {
      store.SetFirstDraw(0, on);
      TLineSlot expect = line;
      expect.FirstDraw = on;
      ExpectSame(expect, store.Slot(0, 0), what + " marked");
    }
    store.Push(MakeLine(0, 0, 1));  // a new pass starts over
    EXPECT_EQ(1, store.Count()) << what;
  }
}

// Lines of usual heights are kept in 24-byte slots once settled; one value past what a narrow
// slot holds (or below 0) keeps all of them whole. Either way every line reads back, marks set
// afterwards stick, and a new pass starts from whole lines.
TEST(LineStoreTest, UsualLinesAreKeptNarrow) {
  TLineSlot usual;
  usual.SpaceBefore = 255;
  usual.LineHt = 4095;
  usual.Descent = 255;
  usual.DrawXX = -70000;  // the places and widths keep their full range
  usual.DrawWidth = 1 << 30;
  usual.Width = 123456;
  std::vector<std::pair<std::string, TLineSlot>> odd = {{"none", usual}};
  for (auto& c : PastTheLimits(usual, {SpaceField, HeightField, DescentField})) odd.push_back(c);
  for (std::size_t k = 0; k < odd.size(); ++k) {
    for (int count : {2, 3, 9}) {
      const std::string what = odd[k].first + ", " + std::to_string(count) + " lines";
      TLineStore store;
      std::vector<TLineSlot> lines;
      for (int i = 0; i < count; ++i) {
        TLineSlot l = i == count / 2 ? odd[k].second : usual;
        l.Start = i * 5;
        l.Top = 100 + i * 20;
        l.FirstDraw = i % 2 == 0;
        l.Justified = i % 3 == 0;
        lines.push_back(l);
        store.Push(l);
      }
      store.Settle(100);
      EXPECT_EQ(8u + (k == 0 ? 24u : 32u) * unsigned(count), store.CapacityBytes()) << what;
      ASSERT_EQ(count, store.Count()) << what;
      for (int i = 0; i < count; ++i) {
        ExpectSame(lines[std::size_t(i)], store.Slot(i, 100), what + " line " + std::to_string(i));
        EXPECT_EQ(lines[std::size_t(i)].Start, store.Start(i)) << what;
        EXPECT_EQ(lines[std::size_t(i)].Top, store.Top(i, 100)) << what;
      }
      lines.back().FirstDraw = !lines.back().FirstDraw;
      store.SetFirstDraw(count - 1, lines.back().FirstDraw);
      EXPECT_EQ(lines.back().FirstDraw, store.Slot(count - 1, 100).FirstDraw) << what;
      EXPECT_EQ(lines.front().FirstDraw, store.Slot(0, 100).FirstDraw) << what;
      store.Push(lines.front());  // more lines after settling: whole again, nothing lost
      ASSERT_EQ(count + 1, store.Count()) << what;
      ExpectSame(lines[0], store.Slot(count, 100), what + " added");
      ExpectSame(lines[1], store.Slot(1, 100), what + " kept");
    }
  }
}

// Sections of one line keep it short; its top follows the section's, and hit tests, caret
// positions and the dump read it as before.
TEST(LineStoreTest, OneLineSectionsReadTheirLineFromTheSection) {
  TLayoutFixture f;
  TSection* one = AddParagraph(f, u"short text");
  TSection* two = AddParagraph(f, u"a longer text that takes two lines here");
  f.Layout(200);
  ASSERT_EQ(1, one->LineCount());
  ASSERT_EQ(2, two->LineCount());
  const LineRec l = one->Line(0);
  EXPECT_EQ(0, l.Start);
  EXPECT_EQ(10, l.Ln);
  EXPECT_EQ(one->FDocY, l.Top);
  EXPECT_EQ(one->FBoxHeight, l.Height());
  const LineRec second = two->Line(1);
  EXPECT_EQ(two->Line(0).Top + two->Line(0).Height(), second.Top);
  EXPECT_EQ(two->FDocY + two->FBoxHeight, second.Top + second.Height());
  EXPECT_EQ(int(std::u16string(u"a longer text that takes two lines here").size()), second.Start + second.Ln);
  int x = 0, y = 0;
  ASSERT_TRUE(one->PointFromCaret(f.Canvas, one->FFirstChar + 3, x, y));
  EXPECT_EQ(l.Top, y);
}

}  // namespace
}  // namespace korva::test
