#include "core/SmallObjectPool.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

namespace korva {

namespace {

// Chunks are taken from the system a region at a time, aligned to their size.
constexpr std::size_t ChunksPerRegion = 16;
constexpr std::size_t HeaderBytes = 64;

// Grows a malloc'd array of T (plain values) to hold at least `need` items.
template <class T>
void GrowArray(T*& items, std::size_t& capacity, std::size_t need) {
  if (need <= capacity) return;
  std::size_t grown = capacity ? capacity * 2 : 16;
  while (grown < need) grown *= 2;
  void* p = std::realloc(items, grown * sizeof(T));
  if (!p) throw std::bad_alloc();
  items = static_cast<T*>(p);
  capacity = grown;
}

}  // namespace

struct TSmallObjectPool::TChunk {
  TChunk* Next;
  TChunk* Prev;
  void* FreeBlocks;  // freed blocks, linked through their first word
  std::uint32_t Bump;  // offset of the first block never handed out
  std::uint32_t Live;  // blocks in use
  std::uint32_t BlockSize;
  std::uint32_t Capacity;  // blocks the chunk holds
  bool Listed;  // in its size's list of chunks with room
};
static_assert(sizeof(void*) == 8, "the pool's blocks are laid out for 64-bit addresses");

TSmallObjectPool::~TSmallObjectPool() {
  for (std::size_t i = 0; i < FRegionCount; ++i) munmap(FRegions[i].Base, FRegions[i].Bytes);
  std::free(FRegions);
  std::free(FUnusedItems);
}

TSmallObjectPool::TChunk* TSmallObjectPool::NewChunk(std::size_t blockSize) {
  if (FUnusedCount == 0) {
    GrowArray(FRegions, FRegionCapacity, FRegionCount + 1);
    // Room for every chunk there will be, so that releasing one never needs memory.
    GrowArray(FUnusedItems, FUnusedCapacity, (FRegionCount + 1) * ChunksPerRegion);
    // Map one chunk more than needed and trim the ends, so that the chunks are aligned.
    const std::size_t want = ChunksPerRegion * ChunkBytes;
    void* raw = mmap(nullptr, want + ChunkBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + ChunkBytes - 1) & ~(ChunkBytes - 1);
    if (aligned > start) munmap(raw, aligned - start);
    const std::uintptr_t end = start + want + ChunkBytes;
    if (end > aligned + want) munmap(reinterpret_cast<void*>(aligned + want), end - (aligned + want));
    FRegions[FRegionCount++] = {reinterpret_cast<void*>(aligned), want};
    // Handed out from the lowest address up.
    for (std::size_t i = ChunksPerRegion; i-- > 0;)
      FUnusedItems[FUnusedCount++] = reinterpret_cast<void*>(aligned + i * ChunkBytes);
  }
  auto* chunk = static_cast<TChunk*>(FUnusedItems[--FUnusedCount]);
  chunk->Next = chunk->Prev = nullptr;
  chunk->FreeBlocks = nullptr;
  chunk->Bump = HeaderBytes;
  chunk->Live = 0;
  chunk->BlockSize = std::uint32_t(blockSize);
  chunk->Capacity = std::uint32_t((ChunkBytes - HeaderBytes) / blockSize);
  chunk->Listed = false;
  ++FChunksHeld;
  return chunk;
}

void TSmallObjectPool::ReleaseChunk(TChunk* chunk) noexcept {
  // The stack has room for every chunk of every region (see NewChunk).
  madvise(chunk, ChunkBytes, MADV_DONTNEED);
  FUnusedItems[FUnusedCount++] = chunk;
  --FChunksHeld;
}

void TSmallObjectPool::Unlink(TChunk* chunk) noexcept {
  TChunk*& head = FWithRoom[ClassOf(chunk->BlockSize)];
  if (chunk->Prev) chunk->Prev->Next = chunk->Next;
  else head = chunk->Next;
  if (chunk->Next) chunk->Next->Prev = chunk->Prev;
  chunk->Next = chunk->Prev = nullptr;
  chunk->Listed = false;
}

void TSmallObjectPool::PushFront(TChunk* chunk) noexcept {
  TChunk*& head = FWithRoom[ClassOf(chunk->BlockSize)];
  chunk->Prev = nullptr;
  chunk->Next = head;
  if (head) head->Prev = chunk;
  head = chunk;
  chunk->Listed = true;
}

void* TSmallObjectPool::Allocate(std::size_t n) {
  if (n == 0) n = 1;
  if (n > MaxBlock) return ::operator new(n);
  const std::size_t c = ClassOf(n);
  TChunk* chunk = FWithRoom[c];
  if (!chunk) {
    if (FSpare[c]) chunk = std::exchange(FSpare[c], nullptr);
    else chunk = NewChunk((c + 1) * 8);
    PushFront(chunk);
  }
  void* p;
  if (chunk->FreeBlocks) {
    p = chunk->FreeBlocks;
    std::memcpy(&chunk->FreeBlocks, p, sizeof(void*));
  } else {
    p = reinterpret_cast<char*>(chunk) + chunk->Bump;
    chunk->Bump += chunk->BlockSize;
  }
  if (++chunk->Live == chunk->Capacity) Unlink(chunk);
  ++FBlocksInUse;
  FBytesInUse += chunk->BlockSize;
  return p;
}

void TSmallObjectPool::Free(void* p, std::size_t n) noexcept {
  if (!p) return;
  if (n == 0) n = 1;
  if (n > MaxBlock) {
    ::operator delete(p);
    return;
  }
  auto* chunk = reinterpret_cast<TChunk*>(reinterpret_cast<std::uintptr_t>(p) & ~(ChunkBytes - 1));
  std::memcpy(p, &chunk->FreeBlocks, sizeof(void*));
  chunk->FreeBlocks = p;
  --FBlocksInUse;
  FBytesInUse -= chunk->BlockSize;
  if (--chunk->Live == 0) {
    if (chunk->Listed) Unlink(chunk);
    const std::size_t c = ClassOf(chunk->BlockSize);
    if (!FSpare[c]) {
      chunk->FreeBlocks = nullptr;
      chunk->Bump = HeaderBytes;
      FSpare[c] = chunk;
    } else {
      ReleaseChunk(chunk);
    }
  } else if (!chunk->Listed) {
    PushFront(chunk);
  }
}

void TSmallObjectPool::ReleaseSpares() noexcept {
  for (TChunk*& spare : FSpare)
    if (spare) ReleaseChunk(std::exchange(spare, nullptr));
}

TSmallObjectPool::TStats TSmallObjectPool::Stats() const { return {FChunksHeld, FBlocksInUse, FBytesInUse}; }

#if defined(__SANITIZE_ADDRESS__)
#define KORVA_POOL_BYPASS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVA_POOL_BYPASS 1
#endif
#endif

#ifdef KORVA_POOL_BYPASS
void* SmallAllocate(std::size_t n) { return ::operator new(n); }
// The sized form lets the sanitizer check that a block is freed with the size it was made with.
void SmallFree(void* p, std::size_t n) noexcept {
#if defined(__cpp_sized_deallocation)
  ::operator delete(p, n);
#else
  (void)n;
  ::operator delete(p);
#endif
}
void SmallReleaseSpares() noexcept {}  // no chunks are kept
#else
namespace {
// Made once and never destroyed: objects may be freed by other static destructors at exit.
struct TGlobalPool {
  std::mutex Lock;
  TSmallObjectPool Pool;
};
TGlobalPool& GlobalPool() {
  static TGlobalPool* pool = new TGlobalPool;
  return *pool;
}
}  // namespace

void* SmallAllocate(std::size_t n) {
  TGlobalPool& g = GlobalPool();
  std::lock_guard<std::mutex> hold(g.Lock);
  return g.Pool.Allocate(n);
}

void SmallFree(void* p, std::size_t n) noexcept {
  if (!p) return;
  TGlobalPool& g = GlobalPool();
  std::lock_guard<std::mutex> hold(g.Lock);
  g.Pool.Free(p, n);
}

void SmallReleaseSpares() noexcept {
  TGlobalPool& g = GlobalPool();
  std::lock_guard<std::mutex> hold(g.Lock);
  g.Pool.ReleaseSpares();
}
#endif

}  // namespace korva
