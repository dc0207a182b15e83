// The characters of a text section. Documentation text is nearly all Latin, so a character is
// kept in one byte while every character of the section has one (Latin-1, with the typographic
// quotes, dashes and the like that Windows-1252 places at 0x80-0x9F); the first character
// without one widens the whole text to UTF-16. Up to seven one-byte characters sit in the
// object itself; longer text takes one heap block holding its length and room, and moves into
// its document's store once it is read (see TDocumentStore).
//
// Fonts measure and fit the one-byte form as it is (code page 1252); canvases draw UTF-16, for
// which narrow text is copied out (see TUtf16Piece).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace korva {

class TDocumentStore;

class TSectionText {
 public:
  TSectionText() = default;
  TSectionText(const TSectionText& other);
  TSectionText(TSectionText&& other) noexcept : FWord(other.FWord) { other.FWord = 0; }
  TSectionText& operator=(const TSectionText&) = delete;
  TSectionText& operator=(TSectionText&& other) noexcept;
  ~TSectionText() { Release(); }

  int Size() const { return IsInline() ? int((FWord & 0xFF) >> 1) : FWord ? int(Block()->Size) : 0; }
  bool Empty() const { return Size() == 0; }
  // True once a character has no one-byte form: the text is then held in UTF-16.
  bool Wide() const { return !IsInline() && FWord && Block()->Wide; }

  char16_t operator[](int i) const {
    if (IsInline()) return Decode(std::uint8_t(FWord >> (8 * (i + 1))));
    const THeader* b = Block();
    return b->Wide ? WideChars(b)[i] : Decode(NarrowChars(b)[i]);
  }
  char16_t Back() const { return (*this)[Size() - 1]; }

  void Append(char16_t c);
  // Appends n characters at once: one check of room and width for the lot.
  void Append(const char16_t* s, int n);
  // Replaces character i (i < Size()).
  void Set(int i, char16_t c);
  // Keeps the first n characters.
  void Truncate(int n);
  // Keeps the characters whose entry in `keep` (one per character) is not 0, in order.
  void Compact(const char* keep);
  // Gives back unused room and returns to one byte per character when every character has
  // one (text that widened for a character since removed). Text is read-only after this.
  void ShrinkToFit();
  // Moves text held in a heap block into `store`, which must outlive it (changing the text
  // afterwards copies it back to the heap).
  void MoveTo(TDocumentStore& store);

  // The UTF-16 storage when Wide(), else null.
  const char16_t* WideData() const { return Wide() ? WideChars(Block()) : nullptr; }
  // The one-byte characters (code page 1252) when not Wide(); null when wide or empty.
  const std::uint8_t* NarrowData() const {
    if (IsInline()) return reinterpret_cast<const std::uint8_t*>(&FWord) + 1;  // the bytes above the count
    return FWord && !Block()->Wide ? NarrowChars(Block()) : nullptr;
  }
  // Calls f with all the characters behind one pointer: `const std::uint8_t*` (code page 1252)
  // or `const char16_t*`, for loops that look at every character. Characters below 0x80 (spaces,
  // the placeholders) have the same value in both.
  template <class F>
  decltype(auto) Visit(F&& f) const {
    if (const char16_t* w = WideData()) return f(w);
    static constexpr std::uint8_t None = 0;
    const std::uint8_t* b = NarrowData();
    return f(b ? b : &None);
  }
  // Index of the first `c` at or after `from`, or Size() when there is none.
  int Find(char16_t c, int from) const;
  // Copies characters [pos, pos + n) to `out` as UTF-16.
  void CopyTo(int pos, int n, char16_t* out) const;
  std::u16string String(int pos = 0, int n = -1) const;
  std::size_t CapacityBytes() const;

  // One-byte form of a character, or -1 when it has none.
  static int Encode(char16_t c);
  static char16_t Decode(std::uint8_t b) { return b < 0x80 || b >= 0xA0 ? char16_t(b) : High[b - 0x80]; }

 private:
  // What bytes 0x80-0x9F stand for (Windows-1252; its five holes stand for themselves).
  static constexpr char16_t High[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

  // Text moved into a store is not grown again: it keeps the second word alone before its
  // characters, and its block pointer points one word before that, so that Size, Wide and the
  // characters are found as in a heap block. Capacity is never read there.
  struct THeader {
    std::uint32_t Capacity;
    std::uint32_t Size : 31;
    std::uint32_t Wide : 1;
  };
  static constexpr std::size_t StoredHeader = sizeof(std::uint32_t);
  // The room of a heap block, or the size of stored text.
  std::uint32_t Room() const { return IsStored() ? Block()->Size : Block()->Capacity; }
  static constexpr std::size_t DataOffset = sizeof(THeader);
  static constexpr int InlineCapacity = 7;

  // The word is 0 when empty, a block pointer (at least 4-aligned, so its low bits are clear;
  // bit 1 set when the text lies in a document's store, see THeader), or inline text: low bit
  // set, the count in the rest of the low byte, the characters in the bytes above.
  bool IsInline() const { return (FWord & 1) != 0; }
  bool IsStored() const { return (FWord & 3) == 2; }
  THeader* Block() const { return reinterpret_cast<THeader*>(FWord & ~std::uintptr_t(2)); }
  // Text in a store is copied to a heap block before it is changed in place.
  void Unstore();
  static std::uint8_t* NarrowChars(const THeader* b) {
    return reinterpret_cast<std::uint8_t*>(const_cast<THeader*>(b)) + DataOffset;
  }
  static char16_t* WideChars(const THeader* b) {
    return reinterpret_cast<char16_t*>(reinterpret_cast<std::uint8_t*>(const_cast<THeader*>(b)) + DataOffset);
  }
  static THeader* NewBlock(std::uint32_t capacity, bool wide);
  void Release();
  // Moves the text into a heap block with room for `capacity` characters, wide or not.
  void Rebuild(std::uint32_t capacity, bool wide);
  // Makes room in a heap block, of the given width, for `more` characters after the text.
  void Reserve(std::uint32_t more, bool wide);

  std::uintptr_t FWord = 0;
};

// Characters [pos, pos + n) of a section's text as UTF-16 for a font or canvas: wide text
// points into its storage, narrow text is copied, into a small buffer inside the piece when it
// fits.
class TUtf16Piece {
 public:
  TUtf16Piece(const TSectionText& text, int pos, int n);
  TUtf16Piece(const TUtf16Piece&) = delete;
  TUtf16Piece& operator=(const TUtf16Piece&) = delete;
  const char16_t* Data() const { return FData; }

  // Pieces up to this many characters are copied into the piece itself.
  static constexpr int Chunk = 256;

 private:
  const char16_t* FData;
  char16_t FSmall[Chunk];
  std::u16string FLarge;
};

}  // namespace korva
