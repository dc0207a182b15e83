#include "layout/SourceIndex.h"

#include "layout/DocumentStore.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace korva {

static_assert(sizeof(std::uintptr_t) == 8, "a run in place needs a 64-bit word");
static_assert(__STDCPP_DEFAULT_NEW_ALIGNMENT__ >= 4 && TDocumentStore::Alignment >= 4,
              "block pointers need their two low bits clear");

namespace {

// The most bytes one run's two differences take (two 64-bit varints).
constexpr std::uint32_t MaxRunBytes = 20;

std::uint8_t* Write(std::uint8_t* p, std::uint64_t v) {
  while (v >= 0x80) {
    *p++ = std::uint8_t(v | 0x80);
    v >>= 7;
  }
  *p++ = std::uint8_t(v);
  return p;
}

}  // namespace

TSourceIndex::THeader* TSourceIndex::NewBlock(std::uint32_t capacity) {
  auto* b = static_cast<THeader*>(::operator new(sizeof(THeader) + capacity));
  *b = THeader{0, 0, capacity, 0, 0};
  return b;
}

std::uint32_t TSourceIndex::RunsLength(const std::uint8_t* runs, std::uint32_t count) {
  const std::uint8_t* p = runs;
  for (std::uint32_t r = 0; r < 2 * count; ++r) Read(p);  // two differences a run
  return std::uint32_t(p - runs);
}

TSourceIndex::THeader* TSourceIndex::HeapCopy(std::uint32_t spare) const {
  std::uint32_t count = 0;
  const std::uint8_t* runs = RunBytes(count);
  if (const THeader* src = Block()) {
    THeader* b = NewBlock(src->Used + spare);
    const std::uint32_t capacity = b->Capacity;
    *b = *src;
    b->Capacity = capacity;
    std::memcpy(Bytes(b), runs, src->Used);
    return b;
  }
  // Stored runs keep no totals: a walk over them finds the length and the last run.
  const std::uint32_t used = RunsLength(runs, count);
  THeader* b = NewBlock(used + spare);
  b->Count = count;
  b->Used = used;
  ForEach([&](int index, int pos) {
    b->LastIndex = index;
    b->LastPos = pos;
    return true;
  });
  std::memcpy(Bytes(b), runs, used);
  return b;
}

TSourceIndex::TSourceIndex(const TSourceIndex& other) : FWord(other.FWord) {
  if (other.Block() || other.IsStored()) FWord = reinterpret_cast<std::uintptr_t>(other.HeapCopy(0));
}

TSourceIndex& TSourceIndex::operator=(const TSourceIndex& other) {
  if (this != &other) *this = TSourceIndex(other);
  return *this;
}

TSourceIndex& TSourceIndex::operator=(TSourceIndex&& other) noexcept {
  if (this != &other) {
    Clear();
    FWord = other.FWord;
    other.FWord = 0;
  }
  return *this;
}

void TSourceIndex::Clear() {
  if (THeader* b = Block()) ::operator delete(b);  // the store frees stored runs
  FWord = 0;
}

void TSourceIndex::MoveTo(TDocumentStore& store) {
  THeader* b = Block();
  if (!b) return;
  // The count and the runs only: adding runs afterwards copies them back to the heap.
  auto* stored = static_cast<std::uint8_t*>(store.Allocate(sizeof b->Count + b->Used));
  std::memcpy(stored, &b->Count, sizeof b->Count);
  std::memcpy(stored + sizeof b->Count, Bytes(b), b->Used);
  ::operator delete(b);
  FWord = reinterpret_cast<std::uintptr_t>(stored) | 2;
}

int TSourceIndex::RunCount() const {
  if (IsInline()) return 1;
  std::uint32_t count = 0;
  RunBytes(count);
  return int(count);
}

void TSourceIndex::Push(int index, int pos) {
  THeader* b = Block();
  if (b->Capacity - b->Used < MaxRunBytes) {
    const std::uint64_t grown = std::max<std::uint64_t>(std::uint64_t(b->Capacity) * 2, b->Used + 2 * MaxRunBytes);
    if (grown > std::numeric_limits<std::uint32_t>::max() - sizeof(THeader))
      throw std::length_error("source index");
    THeader* bigger = HeapCopy(std::uint32_t(grown) - b->Used);
    ::operator delete(b);
    b = bigger;
    FWord = reinterpret_cast<std::uintptr_t>(b);
  }
  const std::int64_t step = std::int64_t(index) - b->LastIndex;
  const std::int64_t gap = std::int64_t(pos) - b->LastPos - step;
  std::uint8_t* p = Bytes(b) + b->Used;
  p = Write(p, Zig(step));
  p = Write(p, Zig(gap));
  b->Used = std::uint32_t(p - Bytes(b));
  ++b->Count;
  b->LastIndex = index;
  b->LastPos = pos;
}

void TSourceIndex::Add(int index, int pos) {
  if (FWord == 0 && index >= 0) {
    FWord = (std::uintptr_t(std::uint32_t(index)) << 1) | (std::uintptr_t(std::uint32_t(pos)) << 32) | 1;
    return;
  }
  if (IsInline()) {
    const int lastIndex = InlineIndex(), lastPos = InlinePos();
    if (std::int64_t(pos) == std::int64_t(lastPos) + (std::int64_t(index) - lastIndex)) return;
    FWord = reinterpret_cast<std::uintptr_t>(NewBlock(2 * MaxRunBytes));
    Push(lastIndex, lastPos);
  } else if (Block() || IsStored()) {
    if (IsStored()) FWord = reinterpret_cast<std::uintptr_t>(HeapCopy(2 * MaxRunBytes));
    const THeader* b = Block();
    if (std::int64_t(pos) == std::int64_t(b->LastPos) + (std::int64_t(index) - b->LastIndex)) return;
  } else {
    FWord = reinterpret_cast<std::uintptr_t>(NewBlock(2 * MaxRunBytes));
  }
  Push(index, pos);
}

void TSourceIndex::ShrinkToFit() {
  THeader* b = Block();
  if (!b || b->Used == b->Capacity) return;
  *this = TSourceIndex(*this);  // the copy keeps no spare room
}

int TSourceIndex::PosOf(int index) const {
  int found = -1;
  ForEach([&](int runIndex, int pos) {
    if (runIndex > index) return false;
    found = int(std::int64_t(pos) + (std::int64_t(index) - runIndex));
    return true;
  });
  return found;
}

std::size_t TSourceIndex::CapacityBytes() const {
  if (const THeader* b = Block()) return sizeof(THeader) + b->Capacity;
  if (!IsStored()) return 0;
  std::uint32_t count = 0;
  const std::uint8_t* runs = RunBytes(count);
  return sizeof count + RunsLength(runs, count);
}

}  // namespace korva
