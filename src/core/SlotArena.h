// Objects of one type named by a 32-bit number instead of a pointer: the arena keeps them in
// chunks of fixed slots, which never move, and finds slot n from its chunk table. Objects that
// many others refer to (a text run refers to its font or its link record) take half the room to
// refer to this way.
//
// Numbers start at 1, so that 0 can stand for none. Freed slots are reused. Making and freeing
// objects is locked; reading an object by its number is not, since a chunk, once made, stays
// where it is until the arena goes. Under the address sanitizer a free slot is poisoned, so
// that a read through a stale number is reported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#define KORVA_SLOTS_POISON 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVA_SLOTS_POISON 1
#endif
#endif
#if defined(KORVA_SLOTS_POISON)
#include <sanitizer/asan_interface.h>
#endif

namespace korva {

template <class T, std::uint32_t MaxChunks>
class TSlotArena {
 public:
  static constexpr std::uint32_t SlotsPerChunk = 1024;
  // The largest number the arena gives; beyond it New throws std::bad_alloc.
  static constexpr std::uint32_t MaxNumber = MaxChunks * SlotsPerChunk - 1;

  // The chunk table is not cleared: only its first FChunkCount entries are read, so the pages of
  // a large table that no chunk reaches are never touched and take no memory.
  TSlotArena() {}
  TSlotArena(const TSlotArena&) = delete;
  TSlotArena& operator=(const TSlotArena&) = delete;
  // Objects still in the arena are not destroyed: their memory goes with it.
  ~TSlotArena() {
    for (std::uint32_t c = 0; c < FChunkCount; ++c) ::operator delete(FChunks[c], std::align_val_t(alignof(TSlot)));
  }

  // Makes an object and gives its number.
  template <class... A>
  std::uint32_t New(A&&... args) {
    std::uint32_t n;
    {
      std::lock_guard<std::mutex> hold(FLock);
      n = TakeSlot();
    }
    TSlot* slot = SlotOf(n);
#if defined(KORVA_SLOTS_POISON)
    ASAN_UNPOISON_MEMORY_REGION(slot, sizeof(TSlot));
#endif
    try {
      ::new (static_cast<void*>(slot->Bytes)) T(std::forward<A>(args)...);
    } catch (...) {
      GiveBack(n);
      throw;
    }
    return n;
  }
  // Destroys object n (from New) and frees its slot.
  void Delete(std::uint32_t n) noexcept {
    if (n == 0) return;
    Get(n)->~T();
    GiveBack(n);
  }
  T* Get(std::uint32_t n) const { return std::launder(reinterpret_cast<T*>(SlotOf(n)->Bytes)); }
  std::uint32_t Live() const {
    std::lock_guard<std::mutex> hold(FLock);
    return FLive;
  }

 private:
  union TSlot {
    alignas(T) unsigned char Bytes[sizeof(T)];
    std::uint32_t NextFree;
  };
  TSlot* SlotOf(std::uint32_t n) const { return FChunks[n / SlotsPerChunk] + n % SlotsPerChunk; }

  std::uint32_t TakeSlot() {
    std::uint32_t n = FFreeHead;
    if (n != 0) {
      TSlot* slot = SlotOf(n);
#if defined(KORVA_SLOTS_POISON)
      ASAN_UNPOISON_MEMORY_REGION(slot, sizeof(TSlot));
#endif
      FFreeHead = slot->NextFree;
    } else {
      if (FUsed == 0) FUsed = 1;  // number 0 stands for none
      if (FUsed > MaxNumber) throw std::bad_alloc();
      const std::uint32_t c = FUsed / SlotsPerChunk;
      if (c == FChunkCount) {
        FChunks[c] = static_cast<TSlot*>(
            ::operator new(sizeof(TSlot) * SlotsPerChunk, std::align_val_t(alignof(TSlot))));
#if defined(KORVA_SLOTS_POISON)
        ASAN_POISON_MEMORY_REGION(FChunks[c], sizeof(TSlot) * SlotsPerChunk);
#endif
        ++FChunkCount;
      }
      n = FUsed++;
    }
    ++FLive;
    return n;
  }
  void GiveBack(std::uint32_t n) noexcept {
    std::lock_guard<std::mutex> hold(FLock);
    TSlot* slot = SlotOf(n);
    slot->NextFree = FFreeHead;
    FFreeHead = n;
    --FLive;
#if defined(KORVA_SLOTS_POISON)
    // The link to the next free slot stays readable; the rest of the slot is poisoned.
    if (sizeof(TSlot) > sizeof(std::uint32_t))
      ASAN_POISON_MEMORY_REGION(reinterpret_cast<unsigned char*>(slot) + sizeof(std::uint32_t),
                                sizeof(TSlot) - sizeof(std::uint32_t));
#endif
  }

  mutable std::mutex FLock;
  TSlot* FChunks[MaxChunks];
  std::uint32_t FChunkCount = 0, FUsed = 0, FFreeHead = 0, FLive = 0;
};

}  // namespace korva
