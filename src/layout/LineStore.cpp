#include "layout/LineStore.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <type_traits>

#include "core/SmallObjectPool.h"

namespace korva {

static_assert(std::is_trivially_copyable_v<TLineSlot>, "lines are copied as bytes");
static_assert(sizeof(TLineSlot) == 32, "a line takes 32 bytes");
static_assert(sizeof(TLineSlot) - 2 * sizeof(int) == 24, "a short line takes 24 bytes");

static_assert(offsetof(TLineSlot, SpaceBefore) == 2 * sizeof(int), "a slot starts with its start and top");

TLineSlot TLineStore::Slot(int i, int top) const {
  if (!IsShort()) return Items()[i];
  TLineSlot l;
  std::memcpy(reinterpret_cast<unsigned char*>(&l) + ShortOffset, Short(), ShortBytes);
  l.Start = 0;
  l.Top = top;
  return l;
}

void TLineStore::Regrow(std::uint32_t capacity) {
  const std::uint32_t n = std::uint32_t(Count());
  auto* block = static_cast<THeader*>(SmallAllocate(BlockBytes(capacity)));
  block->Size = n;
  block->Capacity = capacity;
  auto* to = reinterpret_cast<TLineSlot*>(block + 1);
  if (FWord) {
    std::memcpy(static_cast<void*>(to), Items(), n * sizeof(TLineSlot));
    SmallFree(Block(), BlockBytes(Block()->Capacity));
  }
  FWord = reinterpret_cast<std::uintptr_t>(block);
}

void TLineStore::Push(const TLineSlot& line) {
  // Layout clears the lines before it adds them; only Settle, when it is done, keeps one short.
  if (IsShort()) Clear();
  if (!FWord) {
    Regrow(4);
  } else if (Block()->Size == Block()->Capacity) {
    if (Block()->Capacity > std::numeric_limits<std::uint32_t>::max() / 2 / sizeof(TLineSlot))
      throw std::length_error("too many lines in one section");
    Regrow(Block()->Capacity * 2);
  }
  Items()[Block()->Size++] = line;
}

void TLineStore::SetFirstDraw(int i, bool on) {
  if (!IsShort()) {
    Items()[i].FirstDraw = on;
    return;
  }
  TLineSlot l = Slot(0, 0);
  l.FirstDraw = on;
  std::memcpy(Short(), reinterpret_cast<const unsigned char*>(&l) + ShortOffset, ShortBytes);
}

void TLineStore::Settle(int top) {
  if (!FWord || IsShort()) return;
  const std::uint32_t n = Block()->Size;
  if (n == 0) {
    Clear();
    return;
  }
  if (n == 1 && Items()[0].Start == 0 && Items()[0].Top == top) {
    auto* s = static_cast<unsigned char*>(SmallAllocate(ShortBytes));
    std::memcpy(s, reinterpret_cast<const unsigned char*>(&Items()[0]) + ShortOffset, ShortBytes);
    SmallFree(Block(), BlockBytes(Block()->Capacity));
    FWord = reinterpret_cast<std::uintptr_t>(s) | ShortBit;
    return;
  }
  if (n < Block()->Capacity) Regrow(n);
}

void TLineStore::Clear() {
  if (IsShort()) SmallFree(Short(), ShortBytes);
  else if (FWord) SmallFree(Block(), BlockBytes(Block()->Capacity));
  FWord = 0;
}

std::size_t TLineStore::CapacityBytes() const {
  return IsShort() ? ShortBytes : FWord ? BlockBytes(Block()->Capacity) : 0;
}

}  // namespace korva
