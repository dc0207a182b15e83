#include "core/SmallObjectPool.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <vector>

using namespace korva;

namespace {

constexpr std::size_t Chunk = TSmallObjectPool::ChunkBytes;

std::uintptr_t ChunkOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p) & ~(Chunk - 1); }

// Pages of [p, p + bytes) that are in memory.
std::size_t ResidentPages(const void* p, std::size_t bytes) {
  const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> in((bytes + page - 1) / page);
  if (mincore(const_cast<void*>(p), bytes, in.data()) != 0) return std::size_t(-1);
  std::size_t n = 0;
  for (unsigned char c : in) n += c & 1;
  return n;
}

}  // namespace

TEST(SmallObjectPool, BlocksOfEverySizeAreAlignedSeparateAndReused) {
  TSmallObjectPool pool;
  std::vector<std::pair<unsigned char*, std::size_t>> blocks;
  for (std::size_t n = 1; n <= TSmallObjectPool::MaxBlock; ++n) {
    auto* p = static_cast<unsigned char*>(pool.Allocate(n));
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(p) % 8, 0u) << n;
    std::memset(p, int(n & 0xff), n);
    blocks.push_back({p, n});
  }
  EXPECT_EQ(pool.Stats().BlocksInUse, TSmallObjectPool::MaxBlock);
  // One chunk per size in steps of 8.
  EXPECT_EQ(pool.Stats().ChunksHeld, TSmallObjectPool::MaxBlock / 8);
  for (auto [p, n] : blocks)
    for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(p[i], (n & 0xff)) << "block of " << n << " overwritten";

  // A freed block is the next one handed out for its size, and only for its size.
  unsigned char* p24 = blocks[23].first;
  pool.Free(p24, 24);
  EXPECT_NE(pool.Allocate(32), p24);
  EXPECT_EQ(pool.Allocate(17), p24);
}

TEST(SmallObjectPool, ChurnKeepsEveryLiveBlockIntact) {
  TSmallObjectPool pool;
  std::mt19937 rng(1234);
  struct TLive {
    std::size_t Size;
    unsigned char Fill;
  };
  std::map<unsigned char*, TLive> live;
  std::size_t bytes = 0;
  for (int step = 0; step < 200000; ++step) {
    if (live.empty() || rng() % 100 < 55) {
      // Mostly small sizes, some over the pool's limit.
      const std::size_t n = rng() % 20 == 0 ? 1 + rng() % 2000 : 1 + rng() % 200;
      auto* p = static_cast<unsigned char*>(pool.Allocate(n));
      ASSERT_EQ(live.count(p), 0u) << "a block handed out twice";
      const auto fill = static_cast<unsigned char>(rng());
      std::memset(p, fill, n);
      live[p] = {n, fill};
      if (n <= TSmallObjectPool::MaxBlock) bytes += (n + 7) / 8 * 8;
    } else {
      auto it = live.begin();
      std::advance(it, rng() % std::min<std::size_t>(live.size(), 64));
      for (std::size_t i = 0; i < it->second.Size; ++i)
        ASSERT_EQ(it->first[i], it->second.Fill) << "byte " << i << " of a block of " << it->second.Size;
      if (it->second.Size <= TSmallObjectPool::MaxBlock) bytes -= (it->second.Size + 7) / 8 * 8;
      pool.Free(it->first, it->second.Size);
      live.erase(it);
    }
  }
  std::size_t small = 0;
  for (auto& [p, l] : live) small += l.Size <= TSmallObjectPool::MaxBlock;
  EXPECT_EQ(pool.Stats().BlocksInUse, small);
  EXPECT_EQ(pool.Stats().BytesInUse, bytes);
  for (auto& [p, l] : live) pool.Free(p, l.Size);
  EXPECT_EQ(pool.Stats().BlocksInUse, 0u);
  EXPECT_EQ(pool.Stats().BytesInUse, 0u);
  // At most one spare chunk per size stays.
  EXPECT_LE(pool.Stats().ChunksHeld, TSmallObjectPool::MaxBlock / 8);
}

TEST(SmallObjectPool, EmptiedChunksGoBackToTheSystemAndAreUsedAgain) {
  TSmallObjectPool pool;
  // Forty chunks' worth of 64-byte blocks, from several of the regions chunks are taken in.
  const std::size_t perChunk = (Chunk - 64) / 64;
  std::vector<void*> blocks;
  for (std::size_t i = 0; i < 40 * perChunk; ++i) {
    void* p = pool.Allocate(64);
    std::memset(p, 0x5a, 64);
    blocks.push_back(p);
  }
  std::set<std::uintptr_t> chunks;
  for (void* p : blocks) chunks.insert(ChunkOf(p));
  ASSERT_EQ(chunks.size(), 40u);
  EXPECT_EQ(pool.Stats().ChunksHeld, 40u);

  for (void* p : blocks) pool.Free(p, 64);
  // One emptied chunk is kept for the next block of the size; the others hold no memory.
  EXPECT_EQ(pool.Stats().ChunksHeld, 1u);
  std::size_t emptyChunks = 0;
  for (std::uintptr_t c : chunks)
    emptyChunks += ResidentPages(reinterpret_cast<void*>(c), Chunk) == 0;
  EXPECT_EQ(emptyChunks, 39u);
  // Asked to, it gives that one back too, and makes another when a block is wanted again.
  pool.ReleaseSpares();
  EXPECT_EQ(pool.Stats().ChunksHeld, 0u);
  emptyChunks = 0;
  for (std::uintptr_t c : chunks)
    emptyChunks += ResidentPages(reinterpret_cast<void*>(c), Chunk) == 0;
  EXPECT_EQ(emptyChunks, 40u);
  void* again = pool.Allocate(64);
  std::memset(again, 0x5a, 64);
  EXPECT_EQ(pool.Stats().ChunksHeld, 1u);
  pool.Free(again, 64);

  // Blocks of another size reuse the released address space.
  void* q = pool.Allocate(200);
  EXPECT_EQ(chunks.count(ChunkOf(q)), 1u);
  std::memset(q, 0, 200);
  pool.Free(q, 200);

  // A block freed and made again at a chunk's edge keeps using the spare.
  void* a = pool.Allocate(64);
  pool.Free(a, 64);
  void* b = pool.Allocate(64);
  EXPECT_EQ(a, b);
  pool.Free(b, 64);
}

namespace {
struct TBase : TPooled {
  virtual ~TBase() = default;
  int A = 1;
};
struct TDerived : TBase {
  explicit TDerived(int fill) { std::memset(Payload, fill, sizeof Payload); }
  unsigned char Payload[300];
};
}  // namespace

TEST(SmallObjectPool, PooledClassesAreFreedWithTheirOwnSize) {
  // Deleting through the base gives the pool the derived class's size (a wrong size would
  // put the block in another size's free list, where the churn below would overwrite it).
  std::vector<std::unique_ptr<TBase>> objects;
  for (int i = 0; i < 2000; ++i) {
    if (i % 2) objects.push_back(std::make_unique<TDerived>(i & 0xff));
    else objects.push_back(std::make_unique<TBase>());
  }
  for (std::size_t i = 0; i < objects.size(); i += 3) objects[i].reset();
  for (int i = 0; i < 1000; ++i) objects.push_back(std::make_unique<TBase>());
  for (std::size_t i = 0; i < 2000; ++i) {
    auto* d = dynamic_cast<TDerived*>(objects[i].get());
    if (!d) continue;
    for (unsigned char c : d->Payload) ASSERT_EQ(c, i & 0xff);
  }
}
