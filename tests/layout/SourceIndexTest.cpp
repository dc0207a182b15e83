#include "layout/SourceIndex.h"

#include "layout/DocumentStore.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace korva {
namespace {

// The runs an index holds, in order.
std::vector<std::pair<int, int>> Runs(const TSourceIndex& index) {
  std::vector<std::pair<int, int>> runs;
  index.ForEach([&](int i, int pos) {
    runs.emplace_back(i, pos);
    return true;
  });
  return runs;
}

// Characters read one by one: those that follow on from the one before join its run; the
// rest start runs, whatever the size of the jump, backwards and past 32 bits of difference
// included.
TEST(SourceIndexTest, KeepsEveryRunAndEveryPosition) {
  struct TChar {
    int Index, Pos;
  };
  const std::vector<TChar> chars = {
      {0, 100}, {1, 101}, {2, 102},           // one run
      {3, 110},                               // a tag skipped
      {4, 111}, {5, 5},                       // backwards
      {6, std::numeric_limits<int>::max()},   // far forwards
      {7, std::numeric_limits<int>::min()},   // and far back
      {300, 20000}, {301, 20001}, {302, -1},  // an index jump and a position of -1
  };
  TSourceIndex index;
  for (const TChar& c : chars) index.Add(c.Index, c.Pos);
  const std::vector<std::pair<int, int>> expected = {
      {0, 100}, {3, 110}, {5, 5}, {6, std::numeric_limits<int>::max()}, {7, std::numeric_limits<int>::min()},
      {300, 20000}, {302, -1}};
  EXPECT_EQ(expected, Runs(index));
  EXPECT_EQ(7, index.RunCount());
  for (const TChar& c : chars) EXPECT_EQ(c.Pos, index.PosOf(c.Index)) << "character " << c.Index;
  EXPECT_EQ(std::numeric_limits<int>::min() + 292, index.PosOf(299));  // the run from 7 goes on to 299
  index.ShrinkToFit();
  EXPECT_EQ(expected, Runs(index));
  EXPECT_EQ(expected, Runs(TSourceIndex(index)));
}

// One run is held in place; a second moves both to a block; clearing frees it; copies are
// deep.
TEST(SourceIndexTest, OneRunInPlaceMoreInABlock) {
  TSourceIndex index;
  EXPECT_TRUE(index.Empty());
  EXPECT_EQ(-1, index.PosOf(0));
  index.Add(0, 7);
  index.Add(1, 8);
  EXPECT_EQ(1, index.RunCount());
  EXPECT_EQ(0u, index.CapacityBytes());
  EXPECT_EQ(9, index.PosOf(2));
  index.Add(2, 50);
  EXPECT_EQ(2, index.RunCount());
  EXPECT_GT(index.CapacityBytes(), 0u);
  TSourceIndex copy = index;
  index.Clear();
  EXPECT_TRUE(index.Empty());
  EXPECT_EQ((std::vector<std::pair<int, int>>{{0, 7}, {2, 50}}), Runs(copy));
  TSourceIndex moved = std::move(copy);
  EXPECT_TRUE(copy.Empty());  // NOLINT(bugprone-use-after-move): a moved-from index is empty
  EXPECT_EQ(2, moved.RunCount());
  // A run that starts late (an index before it has no position).
  TSourceIndex late;
  late.Add(4, 40);
  EXPECT_EQ(-1, late.PosOf(3));
  EXPECT_EQ(41, late.PosOf(5));
}

// Runs moved into a document's store read as before; adding runs afterwards copies them back to
// the heap, leaving the stored ones as they were for any copy made before.
TEST(SourceIndexTest, StoredRunsReadAndGrowLikeHeapRuns) {
  auto store = std::make_unique<TDocumentStore>();
  TSourceIndex index;
  for (int r = 0; r < 50; ++r) index.Add(r * 3, r * 100);
  const std::vector<std::pair<int, int>> runs = Runs(index);
  index.ShrinkToFit();
  index.MoveTo(*store);
  EXPECT_EQ(runs, Runs(index));
  EXPECT_EQ(runs[10].second + 2, index.PosOf(runs[10].first + 2));
  // Stored runs keep their count alone before them, not the totals a heap block keeps.
  EXPECT_EQ(TSourceIndex(index).CapacityBytes(), index.CapacityBytes() + 16);
  TSourceIndex copy(index);
  // A character that follows on from the last stored run joins it: the last run is found again.
  index.Add(runs.back().first + 1, runs.back().second + 1);
  EXPECT_EQ(50, index.RunCount());
  index.MoveTo(*store);
  index.Add(1000, 7);
  EXPECT_EQ(51, index.RunCount());
  EXPECT_EQ(7, index.PosOf(1000));
  EXPECT_EQ(runs, Runs(copy));
  copy.MoveTo(*store);
  store.reset();  // what lies in a store that is gone is never read or freed
  copy.Clear();
  EXPECT_TRUE(copy.Empty());
}

// Many runs with random steps and gaps, through several growths of the block: the same runs
// and positions as a plain list of pairs.
TEST(SourceIndexTest, MatchesAPlainListOverManyRuns) {
  std::mt19937 rng(7);
  TSourceIndex index;
  std::vector<std::pair<int, int>> expected;
  std::vector<int> lengths;
  int i = 0, pos = 0;
  for (int r = 0; r < 5000; ++r) {
    const int length = 1 + int(rng() % 40);
    const int gap = int(rng() % 3 == 0 ? rng() % 100000 : rng() % 60) - 10;
    pos += gap == 0 ? 1 : gap;  // never where the last run would go on
    expected.emplace_back(i, pos);
    lengths.push_back(length);
    for (int k = 0; k < length; ++k) index.Add(i + k, pos + k);
    i += length;
    pos += length;
  }
  EXPECT_EQ(expected, Runs(index));
  for (std::size_t r = 0; r < expected.size(); r += 7) {
    EXPECT_EQ(expected[r].second, index.PosOf(expected[r].first));
    EXPECT_EQ(expected[r].second + lengths[r] - 1, index.PosOf(expected[r].first + lengths[r] - 1));
  }
  // Well under the two ints a run takes as a pair.
  index.ShrinkToFit();
  EXPECT_LT(index.CapacityBytes(), expected.size() * 2 * sizeof(std::int32_t) / 2);
}

}  // namespace
}  // namespace korva
