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

static_assert(sizeof(std::uintptr_t) == 8, "a line is packed into a 64-bit word");

// The packed form: bit 0 the tag, 1 FirstDraw, 2 Justified, then DrawXX in 13 bits, DrawWidth in
// 15 (a preformatted line's unbounded width fits), Width in 14, LineHt in 8, Descent in 6 and
// SpaceBefore in 5. A line with a larger value keeps its bytes in a short block.
namespace {
struct TPackedField {
  int Shift, Bits;
  bool Fits(int v) const { return v >= 0 && v < (1 << Bits); }
  std::uint64_t Put(int v) const { return std::uint64_t(v) << Shift; }
  int Get(std::uint64_t word) const { return int((word >> Shift) & ((std::uint64_t(1) << Bits) - 1)); }
};
constexpr TPackedField PackedX{3, 13}, PackedDrawWidth{16, 15}, PackedWidth{31, 14}, PackedHeight{45, 8},
    PackedDescent{53, 6}, PackedSpace{59, 5};
static_assert(PackedSpace.Shift + PackedSpace.Bits == 64, "the fields fill the word");
}  // namespace

std::uint64_t TLineStore::Pack(const TLineSlot& l) {
  if (!PackedX.Fits(l.DrawXX) || !PackedDrawWidth.Fits(l.DrawWidth) || !PackedWidth.Fits(l.Width) ||
      !PackedHeight.Fits(l.LineHt) || !PackedDescent.Fits(l.Descent) || !PackedSpace.Fits(l.SpaceBefore))
    return 0;
  return PackedTag | std::uint64_t(l.FirstDraw) << 1 | std::uint64_t(l.Justified) << 2 | PackedX.Put(l.DrawXX) |
         PackedDrawWidth.Put(l.DrawWidth) | PackedWidth.Put(l.Width) | PackedHeight.Put(l.LineHt) |
         PackedDescent.Put(l.Descent) | PackedSpace.Put(l.SpaceBefore);
}

TLineSlot TLineStore::Unpack(std::uint64_t word) {
  TLineSlot l;
  l.FirstDraw = (word >> 1) & 1;
  l.Justified = (word >> 2) & 1;
  l.DrawXX = PackedX.Get(word);
  l.DrawWidth = PackedDrawWidth.Get(word);
  l.Width = PackedWidth.Get(word);
  l.LineHt = PackedHeight.Get(word);
  l.Descent = std::int16_t(PackedDescent.Get(word));
  l.SpaceBefore = PackedSpace.Get(word);
  return l;
}

// Narrow slots: LineHt in bits 0-11, SpaceBefore in 12-19, Descent in 20-27, FirstDraw 28,
// Justified 29.
namespace {
constexpr TPackedField NarrowHeight{0, 12}, NarrowSpace{12, 8}, NarrowDescent{20, 8};
}  // namespace

bool TLineStore::Narrows(const TLineSlot& l) {
  return NarrowHeight.Fits(l.LineHt) && NarrowSpace.Fits(l.SpaceBefore) && NarrowDescent.Fits(l.Descent);
}

TLineStore::TNarrowSlot TLineStore::Narrow(const TLineSlot& l) {
  return {l.Start, l.Top, l.DrawXX, l.DrawWidth, l.Width,
          std::uint32_t(NarrowHeight.Put(l.LineHt) | NarrowSpace.Put(l.SpaceBefore) | NarrowDescent.Put(l.Descent) |
                        std::uint64_t(l.FirstDraw) << 28 | std::uint64_t(l.Justified) << 29)};
}

TLineSlot TLineStore::Widen(const TNarrowSlot& n) {
  TLineSlot l;
  l.Start = n.Start;
  l.Top = n.Top;
  l.DrawXX = n.DrawXX;
  l.DrawWidth = n.DrawWidth;
  l.Width = n.Width;
  l.LineHt = NarrowHeight.Get(n.Heights);
  l.SpaceBefore = NarrowSpace.Get(n.Heights);
  l.Descent = std::int16_t(NarrowDescent.Get(n.Heights));
  l.FirstDraw = (n.Heights >> 28) & 1;
  l.Justified = (n.Heights >> 29) & 1;
  return l;
}

TLineSlot TLineStore::Slot(int i, int top) const {
  if (IsNarrow()) return Widen(NarrowItems()[i]);
  if (!IsSingle()) return Items()[i];
  TLineSlot l;
  if (IsPacked()) l = Unpack(FWord);
  else std::memcpy(reinterpret_cast<unsigned char*>(&l) + ShortOffset, Short(), ShortBytes);
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
    if (IsNarrow())
      for (std::uint32_t i = 0; i < n; ++i) to[i] = Widen(NarrowItems()[i]);
    else
      std::memcpy(static_cast<void*>(to), Items(), n * sizeof(TLineSlot));
    SmallFree(Block(), HeldBytes());
  }
  FWord = reinterpret_cast<std::uintptr_t>(block);
}

void TLineStore::Push(const TLineSlot& line) {
  // Layout clears the lines before it adds them; only Settle, when it is done, keeps one short.
  if (IsSingle()) Clear();
  if (!FWord) {
    Regrow(4);
  } else if (IsNarrow()) {
    Regrow(Block()->Size + 1);
  } else if (Block()->Size == Block()->Capacity) {
    if (Block()->Capacity > std::numeric_limits<std::uint32_t>::max() / 2 / sizeof(TLineSlot))
      throw std::length_error("too many lines in one section");
    Regrow(Block()->Capacity * 2);
  }
  Items()[Block()->Size++] = line;
}

void TLineStore::SetFirstDraw(int i, bool on) {
  if (IsNarrow()) {
    std::uint32_t& h = NarrowItems()[i].Heights;
    h = (h & ~(std::uint32_t(1) << 28)) | std::uint32_t(on) << 28;
    return;
  }
  if (!IsSingle()) {
    Items()[i].FirstDraw = on;
    return;
  }
  if (IsPacked()) {
    FWord = (FWord & ~std::uintptr_t(2)) | std::uintptr_t(on) << 1;
    return;
  }
  TLineSlot l = Slot(0, 0);
  l.FirstDraw = on;
  std::memcpy(Short(), reinterpret_cast<const unsigned char*>(&l) + ShortOffset, ShortBytes);
}

void TLineStore::Settle(int top) {
  if (!FWord || IsSingle() || IsNarrow()) return;
  const std::uint32_t n = Block()->Size;
  if (n == 0) {
    Clear();
    return;
  }
  if (n == 1 && Items()[0].Start == 0 && Items()[0].Top == top) {
    if (const std::uint64_t packed = Pack(Items()[0])) {
      SmallFree(Block(), BlockBytes(Block()->Capacity));
      FWord = std::uintptr_t(packed);
      return;
    }
    auto* s = static_cast<unsigned char*>(SmallAllocate(ShortBytes));
    std::memcpy(s, reinterpret_cast<const unsigned char*>(&Items()[0]) + ShortOffset, ShortBytes);
    SmallFree(Block(), BlockBytes(Block()->Capacity));
    FWord = reinterpret_cast<std::uintptr_t>(s) | ShortTag;
    return;
  }
  bool narrows = true;
  for (std::uint32_t i = 0; i < n && narrows; ++i) narrows = Narrows(Items()[i]);
  if (narrows) {
    auto* block = static_cast<THeader*>(SmallAllocate(NarrowBytes(n)));
    block->Size = block->Capacity = n;
    auto* to = reinterpret_cast<TNarrowSlot*>(block + 1);
    for (std::uint32_t i = 0; i < n; ++i) to[i] = Narrow(Items()[i]);
    SmallFree(Block(), BlockBytes(Block()->Capacity));
    FWord = reinterpret_cast<std::uintptr_t>(block) | NarrowTag;
    return;
  }
  if (n < Block()->Capacity) Regrow(n);
}

void TLineStore::Clear() {
  if (IsShort()) SmallFree(Short(), ShortBytes);
  else if (FWord && !IsPacked()) SmallFree(Block(), HeldBytes());
  FWord = 0;
}

std::size_t TLineStore::CapacityBytes() const {
  return IsShort() ? ShortBytes : IsPacked() ? 0 : FWord ? HeldBytes() : 0;
}

}  // namespace korva
