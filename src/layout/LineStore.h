// The lines of a text section, in one word. Most sections are one line that starts the text at
// the section's top: such a line is kept without its start and top (24 bytes); other lines are
// kept whole (TLineSlot, 32 bytes each) in one block after a small header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korva {

// A line as a section keeps it: lines follow one another without gaps, in the text and down the
// page, so a line's character count and its space below are where the next line (or the
// section) starts and ends.
struct TLineSlot {
  int Start = 0;
  int Top = 0;         // top of the line (space above included)
  int SpaceBefore = 0;
  int LineHt = 0;      // text height (0 for a line of objects only)
  int DrawXX = 0;      // x of the line start, document coordinates
  int DrawWidth = 0;   // available width at the line's y
  int Width = 0;       // measured without trailing spaces and line break
  std::int16_t Descent = 0;  // of the line's fonts, which are at most MaxFontEmHeight high
  bool FirstDraw : 1 = true;   // its inline borders are still to be looked up
  bool Justified : 1 = false;  // the room left (DrawWidth - Width) is shared among its spaces
};

class TLineStore {
 public:
  TLineStore() = default;
  TLineStore(const TLineStore&) = delete;
  TLineStore& operator=(const TLineStore&) = delete;
  ~TLineStore() { Clear(); }

  int Count() const { return IsSingle() ? 1 : FWord ? int(Block()->Size) : 0; }
  bool Empty() const { return FWord == 0; }
  // Line i; a line kept short gets start 0 and the given top (the section's).
  TLineSlot Slot(int i, int top) const;
  // The start of line i, and its top for the given section top.
  int Start(int i) const { return IsSingle() ? 0 : IsNarrow() ? NarrowItems()[i].Start : Items()[i].Start; }
  int Top(int i, int top) const { return IsSingle() ? top : IsNarrow() ? NarrowItems()[i].Top : Items()[i].Top; }
  // Adds a line after the others (the store is whole again if it was short).
  void Push(const TLineSlot& line);
  void SetFirstDraw(int i, bool on);
  // Gives back unused room; a single line at start 0 and at `top` is kept short, in the store's
  // own word when its values are small enough (no space above, the usual sizes); more lines with
  // the usual heights are kept in narrow slots.
  void Settle(int top);
  void Clear();
  std::size_t CapacityBytes() const;

 private:
  struct THeader {
    std::uint32_t Size, Capacity;
  };
  // A line in 24 bytes: heights, the space above and the descent share one word.
  struct TNarrowSlot {
    int Start, Top, DrawXX, DrawWidth, Width;
    std::uint32_t Heights;  // LineHt (12 bits), SpaceBefore (8), Descent (8), FirstDraw, Justified
  };
  static bool Narrows(const TLineSlot& line);
  static TNarrowSlot Narrow(const TLineSlot& line);
  static TLineSlot Widen(const TNarrowSlot& line);
  // The store's word is null, a block of lines, a block of narrow lines (tag 4), a short line
  // (the bytes of its slot after the start and the top, tag 2), or a single line packed into the
  // word itself (tag 1). Blocks are aligned to 8, so a pointer's low three bits are free.
  static constexpr std::size_t ShortOffset = 2 * sizeof(int), ShortBytes = sizeof(TLineSlot) - ShortOffset;
  static constexpr std::uintptr_t TagMask = 7, PackedTag = 1, ShortTag = 2, NarrowTag = 4;
  bool IsPacked() const { return (FWord & PackedTag) != 0; }
  bool IsShort() const { return !IsPacked() && (FWord & TagMask) == ShortTag; }
  bool IsSingle() const { return IsPacked() || IsShort(); }
  bool IsNarrow() const { return !IsPacked() && (FWord & TagMask) == NarrowTag; }
  unsigned char* Short() const { return reinterpret_cast<unsigned char*>(FWord & ~ShortTag); }
  // The packed form of a line, or 0 when one of its values does not fit.
  static std::uint64_t Pack(const TLineSlot& line);
  static TLineSlot Unpack(std::uint64_t word);
  // The block of either kind.
  THeader* Block() const { return reinterpret_cast<THeader*>(FWord & ~NarrowTag); }
  TLineSlot* Items() const { return reinterpret_cast<TLineSlot*>(Block() + 1); }
  TNarrowSlot* NarrowItems() const { return reinterpret_cast<TNarrowSlot*>(Block() + 1); }
  static std::size_t BlockBytes(std::uint32_t capacity) { return sizeof(THeader) + capacity * sizeof(TLineSlot); }
  static std::size_t NarrowBytes(std::uint32_t capacity) {
    return sizeof(THeader) + capacity * sizeof(TNarrowSlot);
  }
  std::size_t HeldBytes() const { return IsNarrow() ? NarrowBytes(Block()->Capacity) : BlockBytes(Block()->Capacity); }
  // Moves the lines into a whole block with room for `capacity` lines.
  void Regrow(std::uint32_t capacity);

  std::uintptr_t FWord = 0;
};

}  // namespace korva
