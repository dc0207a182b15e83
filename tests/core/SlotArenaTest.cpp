// Objects named by number: numbers from 1, objects that never move while others come and go,
// freed numbers given again, a limit that throws, and a failed construction that keeps nothing.
#include <gtest/gtest.h>

#include <new>
#include <set>
#include <stdexcept>
#include <vector>

#include "core/SlotArena.h"

namespace korva::test {
namespace {

struct TCounted {
  static inline int Alive = 0;
  explicit TCounted(int v, bool fail = false) : Value(v) {
    if (fail) throw std::runtime_error("refused");
    ++Alive;
  }
  ~TCounted() { --Alive; }
  int Value;
  char Pad[20] = {};
};

TEST(SlotArena, NumbersNameObjectsThatStayWhereTheyAre) {
  TSlotArena<TCounted, 8> arena;
  std::vector<std::uint32_t> numbers;
  std::vector<const TCounted*> places;
  const int n = 3 * int(decltype(arena)::SlotsPerChunk) + 5;  // several chunks
  for (int i = 0; i < n; ++i) {
    numbers.push_back(arena.New(i));
    places.push_back(arena.Get(numbers.back()));
  }
  EXPECT_EQ(n, TCounted::Alive);
  EXPECT_EQ(std::uint32_t(n), arena.Live());
  EXPECT_EQ(std::size_t(n), std::set<std::uint32_t>(numbers.begin(), numbers.end()).size());
  for (int i = 0; i < n; ++i) {
    EXPECT_NE(0u, numbers[std::size_t(i)]);
    EXPECT_EQ(places[std::size_t(i)], arena.Get(numbers[std::size_t(i)]));  // never moved by growth
    EXPECT_EQ(i, arena.Get(numbers[std::size_t(i)])->Value);
  }
  // Freed numbers are given again before new ones; the others keep their objects.
  std::set<std::uint32_t> freed;
  for (int i = 0; i < n; i += 3) {
    arena.Delete(numbers[std::size_t(i)]);
    freed.insert(numbers[std::size_t(i)]);
  }
  arena.Delete(0);  // none: nothing happens
  EXPECT_EQ(n - int(freed.size()), TCounted::Alive);
  std::set<std::uint32_t> again;
  for (std::size_t k = 0; k < freed.size(); ++k) again.insert(arena.New(-1));
  EXPECT_EQ(freed, again);
  for (int i = 0; i < n; ++i) {
    if (i % 3 != 0) {
      EXPECT_EQ(i, arena.Get(numbers[std::size_t(i)])->Value);
    }
  }
  for (std::uint32_t a : again) arena.Delete(a);
  for (int i = 0; i < n; ++i)
    if (i % 3) arena.Delete(numbers[std::size_t(i)]);
  EXPECT_EQ(0, TCounted::Alive);
  EXPECT_EQ(0u, arena.Live());
}

TEST(SlotArena, TheLimitThrowsAndAFailedObjectKeepsNothing) {
  using TSmall = TSlotArena<TCounted, 1>;
  TSmall arena;  // numbers 1 to 1023
  EXPECT_THROW(arena.New(5, true), std::runtime_error);
  EXPECT_EQ(0u, arena.Live());
  const std::uint32_t first = arena.New(1);
  EXPECT_EQ(1u, first);  // the slot of the failed object is given again
  std::vector<std::uint32_t> numbers{first};
  while (numbers.size() < TSmall::MaxNumber) numbers.push_back(arena.New(2));
  EXPECT_EQ(TSmall::MaxNumber, numbers.back());
  EXPECT_THROW(arena.New(3), std::bad_alloc);
  arena.Delete(numbers[10]);
  EXPECT_EQ(numbers[10], arena.New(4));  // room again after a free
  for (std::uint32_t x : numbers) arena.Delete(x);
  EXPECT_EQ(0, TCounted::Alive);
}

}  // namespace
}  // namespace korva::test
