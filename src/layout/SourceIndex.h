// Where the characters of a text section were read: runs of characters whose source positions
// follow one another, each given by the index of its first character and that character's
// source position.
//
// A section of plain text is one run, held in the index's own word. More runs go to one heap
// block as variable-length differences: the index step and the gap in the source (tags and
// entities skipped) are nearly always below 128 and take a byte each, a quarter of two ints.
// Runs are read in order; sections hold few of them, and the lookups that need them (caret to
// source, source to caret, the positions of collapsed text) walk the section anyway. Moved into
// a document's store, the runs keep only their count before them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace korva {

class TDocumentStore;

class TSourceIndex {
 public:
  TSourceIndex() = default;
  TSourceIndex(const TSourceIndex& other);
  TSourceIndex(TSourceIndex&& other) noexcept : FWord(other.FWord) { other.FWord = 0; }
  TSourceIndex& operator=(const TSourceIndex& other);
  TSourceIndex& operator=(TSourceIndex&& other) noexcept;
  ~TSourceIndex() { Clear(); }

  bool Empty() const { return FWord == 0; }
  int RunCount() const;
  // Character `index` read at `pos`: continues the last run when it follows on from it, else
  // starts a run. Indexes are given in increasing order.
  void Add(int index, int pos);
  void Clear();
  // Gives back the room kept for more runs.
  void ShrinkToFit();
  // Moves runs held in a heap block into `store`, which must outlive the index (adding runs
  // afterwards copies them back to the heap).
  void MoveTo(TDocumentStore& store);
  // The source position of character `index` (of a run at or before it), or -1 when there are
  // no runs or the index lies before the first one.
  int PosOf(int index) const;
  // Calls f(index, pos) for each run in order while f returns true.
  template <class F>
  void ForEach(F&& f) const {
    if (IsInline()) {
      f(InlineIndex(), InlinePos());
      return;
    }
    std::uint32_t count = 0;
    const std::uint8_t* p = RunBytes(count);
    std::int64_t index = 0, pos = 0;
    for (std::uint32_t r = 0; r < count; ++r) {
      const std::int64_t step = Unzig(Read(p)), gap = Unzig(Read(p));
      index += step;
      pos += step + gap;
      if (!f(int(index), int(pos))) return;
    }
  }
  std::size_t CapacityBytes() const;

 private:
  struct THeader {
    std::uint32_t Count;     // runs
    std::uint32_t Used;      // bytes of run data
    std::uint32_t Capacity;  // bytes of room for run data
    std::int32_t LastIndex, LastPos;
  };
  // The word is 0 (no runs), a heap block pointer (at least 4-aligned), a pointer into a
  // document's store with bit 1 set (to the run count, then the runs), or one run in place: the
  // low bit set, the index in bits 1-31 and the position in the high 32 bits.
  bool IsInline() const { return (FWord & 1) != 0; }
  bool IsStored() const { return (FWord & 3) == 2; }
  int InlineIndex() const { return int(std::uint32_t(FWord) >> 1); }
  int InlinePos() const { return int(std::int32_t(std::uint32_t(FWord >> 32))); }
  // The heap block, or null (none, in place or stored).
  THeader* Block() const { return (FWord & 3) == 0 ? reinterpret_cast<THeader*>(FWord) : nullptr; }
  const std::uint8_t* Stored() const { return reinterpret_cast<const std::uint8_t*>(FWord & ~std::uintptr_t(2)); }
  // The runs of a heap block or of the store, and their count; null with 0 when there are none.
  const std::uint8_t* RunBytes(std::uint32_t& count) const {
    if (const THeader* b = Block()) {
      count = b->Count;
      return Bytes(b);
    }
    if (!IsStored()) {
      count = 0;
      return nullptr;
    }
    std::memcpy(&count, Stored(), sizeof count);
    return Stored() + sizeof count;
  }
  // The bytes `count` runs take.
  static std::uint32_t RunsLength(const std::uint8_t* runs, std::uint32_t count);
  // A heap block holding the same runs (with `spare` bytes of room), from either form.
  THeader* HeapCopy(std::uint32_t spare) const;
  static std::uint8_t* Bytes(const THeader* b) {
    return reinterpret_cast<std::uint8_t*>(const_cast<THeader*>(b)) + sizeof(THeader);
  }
  static std::uint64_t Zig(std::int64_t v) { return (std::uint64_t(v) << 1) ^ std::uint64_t(v >> 63); }
  static std::int64_t Unzig(std::uint64_t v) { return std::int64_t(v >> 1) ^ -std::int64_t(v & 1); }
  static std::uint64_t Read(const std::uint8_t*& p) {
    std::uint64_t v = 0;
    for (int shift = 0;; shift += 7) {
      const std::uint8_t b = *p++;
      v |= std::uint64_t(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
  }
  static THeader* NewBlock(std::uint32_t capacity);
  // Appends one run's differences to the block, growing it.
  void Push(int index, int pos);

  std::uintptr_t FWord = 0;
};

}  // namespace korva
