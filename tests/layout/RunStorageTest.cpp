// How font runs are stored: a section's single run in place, more runs in one heap block, link
// records that stay put while their runs move, and the link record's packed fields.
#include <gtest/gtest.h>

#include <algorithm>

#include "LayoutFixture.h"
#include "TextTestUtil.h"

namespace korva::test {
namespace {

// Runs at 0, 10, 20, ... alternating plain and bold; every third a link of its own.
struct TRunsPage {
  TLayoutFixture F;
  TSection S{&F.Doc, nullptr, F.Push("p"), true, nullptr};
  std::vector<TUrlTarget> Links;

  TFontObj Run(int i) {
    TProperties& props = i % 2 ? F.Push("b") : F.Push("span");
    TFontObj run(&S, i * 10, props);
    if (i % 3 == 2) {
      TUrlTarget link;
      link.Assign("page" + std::to_string(i) + ".htm", "");
      run.MakeLink(&S, link, props, false);
      Links.push_back(link);
    }
    return run;
  }
};

// The list's content after adds, deletes and shrinking, whatever the storage holds: positions in
// order, each run's own font and link, and the link list pointing at records that are still the
// runs' own. Run under the sanitizers this also catches a run freed or moved twice.
TEST(RunStorage, ListKeepsRunsThroughGrowthDeleteAndShrink) {
  const struct {
    int Runs;
    std::vector<int> Deletes;  // list indexes, deleted in turn
  } cases[] = {{1, {}}, {1, {0}}, {2, {}}, {2, {1}}, {2, {0, 0}}, {3, {2, 0}}, {5, {}}, {7, {3, 0, 4}}, {9, {8, 7, 6, 5, 4, 3, 2}}};
  for (const auto& c : cases) {
    TRunsPage page;
    TFontList list;
    std::vector<int> expected;
    std::vector<const TDocFont*> fonts;
    for (int i = 0; i < c.Runs; ++i) {
      TFontObj run = page.Run(i);
      fonts.push_back(&run.DocFont());
      list.Add(std::move(run));
      expected.push_back(i * 10);
    }
    for (int d : c.Deletes) {
      list.Delete(d);
      expected.erase(expected.begin() + d);
      fonts.erase(fonts.begin() + d);
    }
    for (int pass = 0; pass < 2; ++pass) {  // before and after shrinking
      const std::string what = "runs " + std::to_string(c.Runs) + " pass " + std::to_string(pass);
      ASSERT_EQ(int(expected.size()), list.Count()) << what;
      EXPECT_EQ(expected.empty(), list.Empty()) << what;
      EXPECT_EQ(expected.empty(), list.Last() == nullptr) << what;
      int k = 0;
      std::size_t links = 0;
      for (const TFontObj& run : list) {
        EXPECT_EQ(expected[std::size_t(k)], run.Pos) << what;
        EXPECT_EQ(fonts[std::size_t(k)], &run.DocFont()) << what;
        EXPECT_EQ(list[k], &run) << what;
        if (run.IsLink()) {
          ++links;
          EXPECT_EQ("page" + std::to_string(run.Pos / 10) + ".htm", run.UrlTarget().Url()) << what;
          EXPECT_NE(page.F.Doc.FLinkList.end(),
                    std::find(page.F.Doc.FLinkList.begin(), page.F.Doc.FLinkList.end(), run.Link()))
              << what;
        }
        ++k;
      }
      EXPECT_EQ(links, page.F.Doc.FLinkList.size()) << what;  // deleted runs left the list
      if (!expected.empty()) {
        int at = -1;
        EXPECT_EQ(list[list.Count() - 1], list.GetFontObjAt(expected.back() + 3, &at)) << what;
        EXPECT_EQ(list.Count() - 1, at) << what;
      }
      list.ShrinkToFit();
    }
    // After shrinking, one run or none holds no heap block; more hold exactly their own room.
    if (list.Count() <= 1) EXPECT_EQ(0u, list.CapacityBytes()) << c.Runs;
    else EXPECT_GE(list.CapacityBytes(), std::size_t(list.Count()) * sizeof(TFontObj)) << c.Runs;
    EXPECT_LT(list.CapacityBytes(), std::size_t(list.Count() + 1) * sizeof(TFontObj)) << c.Runs;
    list.Clear();
    EXPECT_TRUE(page.F.Doc.FLinkList.empty());
    EXPECT_EQ(0, list.Count());
    list.Add(page.Run(0));  // usable again after clearing
    EXPECT_EQ(1, list.Count());
  }
}

// The block of runs keeps no header: its size and room live in the list. Its room is right
// through growth past several powers of two, deletes from a block shrunk to its runs, adds after
// them and shrinking again (under the sanitizers a block freed with another size is reported).
TEST(RunStorage, BlockRoomStaysRightThroughGrowthShrinkDeleteAndRegrowth) {
  TRunsPage page;
  TFontList list;
  std::vector<int> expected;
  auto add = [&](int i) {
    list.Add(page.Run(i));
    expected.push_back(i * 10);
  };
  auto check = [&](const char* what) {
    ASSERT_EQ(int(expected.size()), list.Count()) << what;
    int k = 0;
    for (const TFontObj& run : list) EXPECT_EQ(expected[std::size_t(k++)], run.Pos) << what;
  };
  for (int i = 0; i < 70; ++i) add(i);
  check("grown");
  EXPECT_EQ(128 * sizeof(TFontObj), list.CapacityBytes());
  list.ShrinkToFit();
  EXPECT_EQ(70 * sizeof(TFontObj), list.CapacityBytes());
  check("shrunk");
  for (int d : {69, 0, 30}) {
    list.Delete(d);
    expected.erase(expected.begin() + d);
  }
  check("deleted");
  EXPECT_GE(list.CapacityBytes(), std::size_t(list.Count()) * sizeof(TFontObj));
  for (int i = 70; i < 76; ++i) add(i);
  check("added again");
  list.ShrinkToFit();
  EXPECT_EQ(73 * sizeof(TFontObj), list.CapacityBytes());
  check("shrunk again");
  while (list.Count() > 1) {
    list.Delete(list.Count() - 1);
    expected.pop_back();
  }
  list.ShrinkToFit();
  EXPECT_EQ(0u, list.CapacityBytes());
  check("one left");
  list.Clear();
  EXPECT_TRUE(page.F.Doc.FLinkList.empty());
}

// A finished section with one run keeps it in place; hover reaches link runs whose storage
// moved between the block and the section while the text was read.
TEST(RunStorage, SectionRunsInPlaceAndLinksFollowMoves) {
  TLayoutFixture f;
  TSection one(&f.Doc, nullptr, f.Push("p"), true, nullptr);
  AddText(one, u"plain text", 0);
  one.Finish();
  EXPECT_EQ(1, one.Fonts().Count());
  EXPECT_EQ(0u, one.Fonts().CapacityBytes());

  TUrlTarget link;
  link.Assign("x.htm", "");
  TSection s(&f.Doc, &link, f.Push("a"), true, nullptr);
  AddText(s, u"link", 0);
  s.HRef(false, link, f.Top());
  AddText(s, u" after", 10);
  s.Finish();
  ASSERT_EQ(2, s.Fonts().Count());
  ASSERT_EQ(1u, f.Doc.FLinkList.size());
  EXPECT_EQ(s.Fonts()[0]->Link(), f.Doc.FLinkList[0]);
  f.Doc.SetLinkHover(f.Doc.FLinkList[0], true);
  EXPECT_TRUE(s.Fonts()[0]->Hover());
  EXPECT_FALSE(s.Fonts()[1]->Hover());
}

// The link record packs the line's y with the marks: each keeps its own value, and a y beyond
// the layout range is clamped, not wrapped.
TEST(RunStorage, LinkRecordFieldsDoNotDisturbEachOther) {
  TLayoutFixture f;
  TSection s(&f.Doc, nullptr, f.Push("p"), true, nullptr);
  TRunExtra e(&s);
  const int ys[] = {0, 1, -1, 12345, -MaxLayoutCoord, MaxLayoutCoord, MaxLayoutCoord + 5, NotLaidOutY, -NotLaidOutY};
  for (int y : ys)
    for (int marks = 0; marks < 16; ++marks) {
      e.Visited = marks & 1;
      e.SetYValue(y);
      e.Hover = marks & 2;
      e.Focused = marks & 4;
      e.InLinkList = marks & 8;
      EXPECT_EQ(std::clamp(y, -MaxLayoutCoord, MaxLayoutCoord), e.YValue) << y << " " << marks;
      EXPECT_EQ(bool(marks & 1), e.Visited) << y;
      EXPECT_EQ(bool(marks & 2), e.Hover) << y;
      EXPECT_EQ(bool(marks & 4), e.Focused) << y;
      EXPECT_EQ(bool(marks & 8), e.InLinkList) << y;
    }
  e.InLinkList = false;  // it never joined the document's list
  e.SetTitle("a title longer than a short string's room");
  EXPECT_EQ("a title longer than a short string's room", e.Title());
  e.SetTitle("");
  EXPECT_EQ("", e.Title());
}

// The vertical shift shares the run's word with its font or record: it must survive the record
// coming and going, links made and cleared, and the run moving between the list's place and its
// block; and the font must come back whole.
TEST(RunStorage, ShiftSurvivesRecordsLinksAndMoves) {
  TRunsPage page;
  TFontList list;
  const char* tags[] = {"sub", "sup", "span", "sup", "sub"};
  std::vector<std::uint8_t> shifts;
  std::vector<const TDocFont*> fonts;
  for (int i = 0; i < 5; ++i) {
    TProperties& props = page.F.Push(tags[i], "vertical-align: " + std::string(i % 2 ? "super" : i == 2 ? "baseline" : "sub"));
    TFontObj run(&page.S, i * 10, props);
    const std::uint8_t shift = i == 2 ? ssNone : i % 2 ? ssSuper : ssSub;
    ASSERT_EQ(shift, run.SScript()) << i;
    const TDocFont* font = &run.DocFont();
    // A title makes the record, a link uses it, clearing both drops it again.
    run.SetTitle(&page.S, "t");
    EXPECT_EQ(shift, run.SScript()) << i;
    EXPECT_EQ(font, &run.DocFont()) << i;
    TUrlTarget link;
    link.Assign("x" + std::to_string(i) + ".htm", "");
    run.MakeLink(&page.S, link, props, i == 0);
    EXPECT_TRUE(run.IsLink());
    EXPECT_EQ(shift, run.SScript()) << i;
    if (i % 2) {
      run.ClearLink();
      run.SetTitle(&page.S, "");
      EXPECT_FALSE(run.IsLink());
      EXPECT_EQ("", run.Title());
      EXPECT_EQ(font, &run.DocFont()) << i;
    }
    EXPECT_EQ(shift, run.SScript()) << i;
    shifts.push_back(shift);
    fonts.push_back(i % 2 ? font : nullptr);
    list.Add(std::move(run));
    page.F.Pop(tags[i]);
  }
  auto check = [&](const char* when) {
    ASSERT_EQ(int(shifts.size()), list.Count()) << when;
    for (int k = 0; k < list.Count(); ++k) {
      EXPECT_EQ(shifts[std::size_t(k)], list[k]->SScript()) << when << " run " << k;
      if (fonts[std::size_t(k)]) {
        EXPECT_EQ(fonts[std::size_t(k)], &list[k]->DocFont()) << when << " run " << k;
      }
      EXPECT_EQ(!fonts[std::size_t(k)], list[k]->IsLink()) << when << " run " << k;
    }
  };
  check("in the block");
  list.Delete(0);
  shifts.erase(shifts.begin());
  fonts.erase(fonts.begin());
  list.ShrinkToFit();
  check("after a delete and shrinking");
  while (list.Count() > 1) {
    list.Delete(0);
    shifts.erase(shifts.begin());
    fonts.erase(fonts.begin());
  }
  list.ShrinkToFit();  // the last run goes back in place
  check("in place");
  EXPECT_EQ(0u, list.CapacityBytes());
  list.Delete(0);
  EXPECT_TRUE(list.Empty());
  EXPECT_EQ(nullptr, list.Last());
  EXPECT_EQ(8u, sizeof(TFontObj));
}

// Keyboard stops are kept by the document for the records of links' first runs: a record that
// stops being a link, or goes with its section, takes its stop with it, so that no control is
// left calling back into a record that is gone.
TEST(RunStorage, LinkStopsLeaveTheDocumentWithTheirRecords) {
  TLayoutFixture f;
  auto linkSection = [&](const char* url) {
    auto s = std::make_unique<TSection>(&f.Doc, nullptr, f.Push("p"), true, nullptr);
    AddText(*s, u"a ", 0);
    TUrlTarget link;
    link.Assign(url, "");
    s->HRef(true, link, f.Push("a"));
    AddText(*s, u"b", 2);
    f.Pop("a");
    f.Pop("p");
    return s;
  };
  auto first = linkSection("one.htm");
  auto second = linkSection("two.htm");
  ASSERT_EQ(2u, f.Doc.FLinkStops.size());
  const TFontObj& run = *first->Fonts()[1];
  ASSERT_TRUE(run.IsLink());
  ASSERT_NE(nullptr, run.TabControl());
  EXPECT_EQ(run.TabControl(), run.Link()->TabControl());
  EXPECT_EQ(nullptr, first->Fonts()[0]->TabControl());

  const_cast<TFontObj&>(run).ClearLink();
  EXPECT_EQ(nullptr, run.TabControl());
  EXPECT_EQ(1u, f.Doc.FLinkStops.size());
  second.reset();
  EXPECT_TRUE(f.Doc.FLinkStops.empty());
  EXPECT_LE(sizeof(TRunExtra), 32u);
}

}  // namespace
}  // namespace korva::test
