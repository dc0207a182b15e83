// The owning list keeps its first item in place: items must keep their order and be freed exactly
// once whether they sit in place or in the heap array, across growth, insertion, removal,
// extraction and shrinking back.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/FreeList.h"

namespace korva::test {
namespace {

struct TItem {
  static int Live;
  int Id;
  explicit TItem(int id) : Id(id) { ++Live; }
  ~TItem() { --Live; }
};
int TItem::Live = 0;

// Exposes the storage for the checks on capacity and shrinking.
class TProbeList : public TFreeList<TItem> {
 public:
  TOwnerList<TItem>& Items() { return FItems; }
};

std::vector<int> Ids(const TFreeList<TItem>& list) {
  std::vector<int> ids;
  for (const auto& p : list) ids.push_back(p->Id);
  return ids;
}

TEST(FreeListTest, OneItemStaysInPlaceAndTheSecondMovesBothToTheHeap) {
  EXPECT_EQ(sizeof(void*), sizeof(TOwnerList<TItem>));
  TItem::Live = 0;
  {
    TProbeList list;
    TItem* first = list.Add(std::make_unique<TItem>(1));
    EXPECT_EQ(1u, list.Items().capacity());
    EXPECT_EQ(first, list.First());
    EXPECT_EQ(first, list.Last());
    TItem* second = list.Add(std::make_unique<TItem>(2));
    EXPECT_GT(list.Items().capacity(), 1u);
    // The objects themselves never move, only the pointers to them.
    EXPECT_EQ(first, list[0]);
    EXPECT_EQ(second, list[1]);
    EXPECT_EQ(2, TItem::Live);
  }
  EXPECT_EQ(0, TItem::Live);
}

TEST(FreeListTest, RemovingTheItemInPlaceFreesItAndTheSlotIsReused) {
  TItem::Live = 0;
  TFreeList<TItem> list;
  list.Add(std::make_unique<TItem>(1));
  list.Delete(0);
  EXPECT_EQ(0, TItem::Live);
  EXPECT_TRUE(list.Empty());
  EXPECT_EQ(nullptr, list.First());
  list.Add(std::make_unique<TItem>(2));
  std::unique_ptr<TItem> taken = list.Extract(0);
  EXPECT_EQ(1, TItem::Live);  // extracted, not freed
  EXPECT_EQ(2, taken->Id);
  EXPECT_EQ(0, list.Count());
  list.Insert(0, std::make_unique<TItem>(3));
  list.Insert(0, std::make_unique<TItem>(4));  // in front of the item in place
  EXPECT_EQ((std::vector<int>{4, 3}), Ids(list));
  list.Clear();
  EXPECT_EQ(1, TItem::Live);  // only the extracted one
}

TEST(FreeListTest, ShrinkingPutsALoneItemBackInPlace) {
  TItem::Live = 0;
  {
    TProbeList list;
    for (int i = 0; i < 5; ++i) list.Add(std::make_unique<TItem>(i));
    TItem* kept = list[3];
    for (int i : {4, 2, 1, 0}) list.Delete(i);
    ASSERT_EQ(1, list.Count());
    list.Items().shrink_to_fit();
    EXPECT_EQ(1u, list.Items().capacity());
    EXPECT_EQ(kept, list[0]);
    EXPECT_EQ(1, TItem::Live);
    list.Add(std::make_unique<TItem>(9));  // grows out of place again
    EXPECT_EQ((std::vector<int>{3, 9}), Ids(list));
    list.Delete(1);
    list.Delete(0);
    list.Items().shrink_to_fit();  // an empty heap array is given back too
    EXPECT_EQ(1u, list.Items().capacity());
    EXPECT_EQ(0, TItem::Live);
  }
  EXPECT_EQ(0, TItem::Live);
}

// The word in place tells an empty list by a null pointer, so a null item is kept in the heap
// array: it still counts, keeps its place and survives shrinking.
TEST(FreeListTest, ANullItemCountsAndKeepsItsPlace) {
  TItem::Live = 0;
  {
    TProbeList list;
    list.Add(std::unique_ptr<TItem>());
    EXPECT_EQ(1, list.Count());
    EXPECT_EQ(nullptr, list.First());
    list.Add(std::make_unique<TItem>(1));
    list.Insert(0, std::make_unique<TItem>(2));
    ASSERT_EQ(3, list.Count());
    EXPECT_EQ(nullptr, list[1]);
    list.Delete(2);
    list.Delete(0);
    list.Items().shrink_to_fit();
    EXPECT_EQ(1, list.Count());
    EXPECT_EQ(nullptr, list.First());
    EXPECT_EQ(1u, list.Items().capacity());
    list.Delete(0);
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(0, TItem::Live);
  }
  EXPECT_EQ(0, TItem::Live);
}

// Random operations against a vector of owning pointers: same order, same live objects.
TEST(FreeListTest, BehavesLikeAVectorOfOwningPointers) {
  TItem::Live = 0;
  {
    TProbeList list;
    std::vector<int> model;
    std::uint32_t seed = 12345;
    auto next = [&seed](std::uint32_t n) {
      seed = seed * 1103515245u + 12345u;
      return (seed >> 16) % n;
    };
    int id = 0;
    for (int step = 0; step < 3000; ++step) {
      const std::uint32_t op = next(10);
      const std::size_t n = model.size();
      if (op < 4 || n == 0) {
        list.Add(std::make_unique<TItem>(id));
        model.push_back(id++);
      } else if (op < 6) {
        const std::size_t at = next(std::uint32_t(n + 1));
        list.Insert(int(at), std::make_unique<TItem>(id));
        model.insert(model.begin() + std::ptrdiff_t(at), id++);
      } else if (op < 8) {
        const std::size_t at = next(std::uint32_t(n));
        list.Delete(int(at));
        model.erase(model.begin() + std::ptrdiff_t(at));
      } else if (op < 9) {
        const std::size_t at = next(std::uint32_t(n));
        std::unique_ptr<TItem> p = list.Extract(int(at));
        ASSERT_EQ(model[at], p->Id);
        model.erase(model.begin() + std::ptrdiff_t(at));
      } else if (next(8) == 0) {
        list.Clear();
        model.clear();
      } else {
        list.Items().shrink_to_fit();
        ASSERT_EQ(std::max<std::size_t>(1, model.size()), list.Items().capacity());
      }
      ASSERT_EQ(model, Ids(list)) << "step " << step;
      ASSERT_EQ(int(model.size()), TItem::Live) << "step " << step;
    }
  }
  EXPECT_EQ(0, TItem::Live);
}

}  // namespace
}  // namespace korva::test
