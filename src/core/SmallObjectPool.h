// A pool for the many small, fixed-size objects a laid-out page is made of (sections, runs,
// cells, line lists...). malloc gives every block a header and rounds it to 16 bytes, which
// costs a page of small objects about a tenth of its memory; the pool keeps blocks of each size
// (in steps of 8 bytes, up to MaxBlock) side by side in 64 KB chunks without either, and finds
// a block's chunk from its address. A chunk whose blocks are all free goes back to the system
// (one spare per size is kept), so a large page leaves little behind when it is closed.
//
// Blocks are aligned to 8 bytes: only types aligned to at most 8 may use it. Bigger requests go
// to the global operator new. The process-wide pool (SmallAllocate/SmallFree) is locked, so any
// thread may use it. Under AddressSanitizer the process-wide functions use operator new
// directly, so that every object keeps the sanitizer's checks and leak report.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korva {

class TSmallObjectPool {
 public:
  static constexpr std::size_t MaxBlock = 512;
  static constexpr std::size_t ChunkBytes = std::size_t(1) << 16;

  TSmallObjectPool() = default;
  // Returns every chunk to the system; blocks still in use become invalid.
  ~TSmallObjectPool();
  TSmallObjectPool(const TSmallObjectPool&) = delete;
  TSmallObjectPool& operator=(const TSmallObjectPool&) = delete;

  // A block of at least n bytes (n > 0); throws std::bad_alloc when the system has no memory.
  void* Allocate(std::size_t n);
  // Gives back a block of Allocate(n), with the same n.
  void Free(void* p, std::size_t n) noexcept;
  // Gives the kept empty chunks (one per size at most) back to the system too, after much was
  // freed at once.
  void ReleaseSpares() noexcept;

  struct TStats {
    std::size_t ChunksHeld = 0;   // chunks with blocks in use, or kept spare
    std::size_t BlocksInUse = 0;
    std::size_t BytesInUse = 0;   // the blocks' sizes (rounded to 8)
  };
  TStats Stats() const;

 private:
  struct TChunk;
  static constexpr std::size_t Classes = MaxBlock / 8;
  static std::size_t ClassOf(std::size_t n) { return (n + 7) / 8 - 1; }
  TChunk* NewChunk(std::size_t blockSize);
  void ReleaseChunk(TChunk* chunk) noexcept;
  void Unlink(TChunk* chunk) noexcept;
  void PushFront(TChunk* chunk) noexcept;

  // Per size: chunks with free room (a doubly linked list through the chunks' headers), and
  // an empty chunk kept back from the system so that a block freed and made again at a chunk's
  // edge does not map and unmap memory each time.
  TChunk* FWithRoom[Classes] = {};
  TChunk* FSpare[Classes] = {};
  // Address space of released chunks, with no memory behind it, for reuse (kept apart from the
  // chunks, so that a released chunk has no page in memory at all).
  void** FUnusedItems = nullptr;
  std::size_t FUnusedCount = 0, FUnusedCapacity = 0;
  // Regions obtained from the system, each a run of chunks (freed when the pool goes).
  struct TRegion {
    void* Base;
    std::size_t Bytes;
  };
  TRegion* FRegions = nullptr;
  std::size_t FRegionCount = 0, FRegionCapacity = 0;
  std::size_t FChunksHeld = 0, FBlocksInUse = 0, FBytesInUse = 0;
};

// The process-wide pool.
void* SmallAllocate(std::size_t n);
void SmallFree(void* p, std::size_t n) noexcept;
void SmallReleaseSpares() noexcept;

// A base that makes a class (and the classes derived from it) allocate through the pool; the
// size given to delete is that of the object's own class, so a class whose objects are deleted
// through a base pointer needs a virtual destructor, as it would anyway.
struct TPooled {
  static void* operator new(std::size_t n) { return SmallAllocate(n); }
  static void operator delete(void* p, std::size_t n) noexcept { SmallFree(p, n); }
};

}  // namespace korva
