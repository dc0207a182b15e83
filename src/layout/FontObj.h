// Font runs of a text section: each run starts at a character index and holds the font (made
// once per document), the element's title and, for link text, the link with its four state
// fonts and its keyboard stop.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/CompactVector.h"
#include "core/SlotArena.h"
#include "core/UrlTarget.h"
#include "layout/LayoutHost.h"
#include "layout/SectionBase.h"
#include "style/MyFont.h"

namespace korva {

class TSection;
class TProperties;

// Vertical shift of a run.
enum : int { ssNone = 0, ssSub = 8, ssSuper = 9 };

// A font made once per document for one description, with the em and ex sizes of its face.
struct TDocFont {
  TMyFont Font;
  std::uint32_t Number = 0;  // in DocFonts()
  const TPlatformFont* Handle = nullptr;  // the font's handle, made with it
  int EmPixels = 0;
  int ExPixels = 0;
  int Overhang = 0;  // italic text reaches this far past its advance
};

// The four state fonts of links styled alike, made once per document (TSectionList::LinkFontsFor).
struct TLinkFontSet {
  std::array<const TDocFont*, 4> Fonts{};  // by TLinkFontIndex
};

// A link run's own font with its link's four state fonts: a pair made once per document.
struct TRunFonts {
  const TDocFont* Base = nullptr;
  const TLinkFontSet* Links = nullptr;
};

// What few runs have: an element title, or a link with its state fonts, hover, visited and focus
// marks and its keyboard stop. Kept apart so that a plain run stays small; it is what the
// document's link list points at, since the runs themselves move when their list grows. One is
// made per link run, so it is kept within 32 bytes: the title is a shared text, the marks share
// a word with the line's y (in the link run part), the run's font and its state fonts are one
// pointer, and the keyboard stop (which only pages with few links have) is kept by the document.
class TRunExtra : public TLinkRun {
 public:
  explicit TRunExtra(TSection* section, const TDocFont* font = nullptr)
      : FSection(section), FFonts(reinterpret_cast<std::uintptr_t>(font)) {}
  ~TRunExtra();
  TRunExtra(const TRunExtra&) = delete;
  TRunExtra& operator=(const TRunExtra&) = delete;

 private:
  TSharedText FTitle;  // empty when there is none

 public:
  TSection* FSection;

  // The run's own font (a link draws in its state font instead), and the link's state fonts
  // (null when it has none).
  const TDocFont* Font() const { return HasPair() ? Pair()->Base : reinterpret_cast<const TDocFont*>(FFonts); }
  const TLinkFontSet* LinkFonts() const { return HasPair() ? Pair()->Links : nullptr; }
  // Sets both; with state fonts, the pair comes from the section's document.
  void SetFonts(const TDocFont* font, const TLinkFontSet* links);
  // The same fonts as another record's (a copy for printing).
  void CopyFontsFrom(const TRunExtra& other) { FFonts = other.FFonts; }

  bool IsLink() const { return !UrlTarget.Url().empty(); }
  // The element title shown over the run (few runs have one).
  std::string_view Title() const { return FTitle.str(); }
  void SetTitle(std::string_view title) { FTitle = title; }
  void SetYValue(int y);
  // The state font, or null when the run is no link.
  const TDocFont* StateFont() const;
  // The keyboard stop of the link's first run (null for other runs); the document owns it.
  TNativeControl* TabControl() const;
  void SetTabControl(std::unique_ptr<TNativeControl> control);
  // Keyboard focus on the link (its stop reports it): every run of the link is marked, and the
  // document scrolls the link into view; losing it clears the marks and repaints.
  void SetFocused(bool on);
  void DropTabControl();
  void LeaveLinkList();

 private:
  // The run's font, or (low bit set) the document's pair of it and the state fonts.
  bool HasPair() const { return (FFonts & 1) != 0; }
  const TRunFonts* Pair() const { return reinterpret_cast<const TRunFonts*>(FFonts & ~std::uintptr_t(1)); }
  std::uintptr_t FFonts;
};

// Fonts and link records live in arenas that name them by number (a run refers to one of them
// in 29 bits). A document's fonts go when it is cleared.
using TDocFontArena = TSlotArena<TDocFont, 1024>;
using TRunRecordArena = TSlotArena<TRunExtra, 1u << 16>;
TDocFontArena& DocFonts();
TRunRecordArena& RunRecords();
// Owns a font of the arena.
struct TDocFontRelease {
  void operator()(TDocFont* font) const noexcept { DocFonts().Delete(font->Number); }
};
using TDocFontPtr = std::unique_ptr<TDocFont, TDocFontRelease>;
// A new font of the arena.
TDocFontPtr NewDocFont();

// A run of text in one font: its first character and its font, with the rare rest apart. Runs
// are values in their section's list, eight bytes each: a run holds the number of its font or,
// when it has the rare rest, of that record, which holds the font; the word's low bits keep the
// record's mark and the vertical shift.
class TFontObj {
 public:
  TFontObj(TSection* section, int pos, const TProperties& props);
  // The copy for another section (printing): no keyboard stop, not in any link list.
  TFontObj(TSection* section, const TFontObj& source);
  TFontObj(TFontObj&& other) noexcept : Pos(other.Pos) {
    SetRef(other.Ref());
    other.SetRef(0);
  }
  TFontObj& operator=(TFontObj&& other) noexcept;
  TFontObj(const TFontObj&) = delete;
  TFontObj& operator=(const TFontObj&) = delete;
  ~TFontObj() { DeleteRecord(); }

  int Pos;  // index of the run's first character

  // Vertical shift: ssNone, ssSub or ssSuper.
  std::uint8_t SScript() const {
    const std::uint32_t code = Ref() & ShiftBits;
    return code == SubCode ? ssSub : code == SuperCode ? ssSuper : ssNone;
  }
  bool IsLink() const { return ExtraRecord() && ExtraRecord()->IsLink(); }
  const TUrlTarget& UrlTarget() const { return Info().UrlTarget; }
  std::string_view Title() const { return Info().Title(); }
  void SetTitle(TSection* section, const std::string& title);
  TNativeControl* TabControl() const { return ExtraRecord() ? ExtraRecord()->TabControl() : nullptr; }
  int YValue() const { return Info().YValue; }
  void SetYValue(int y) {
    if (TRunExtra* e = ExtraRecord()) e->SetYValue(y);
  }
  bool Hover() const { return ExtraRecord() && ExtraRecord()->Hover; }
  bool Visited() const { return ExtraRecord() && ExtraRecord()->Visited; }
  bool Focused() const { return ExtraRecord() && ExtraRecord()->Focused; }
  // The link's record in the document's link list (null for plain runs).
  TRunExtra* Link() const { return IsLink() ? ExtraRecord() : nullptr; }

  // The font drawn: a link's state font, otherwise the run's.
  const TDocFont& DocFont() const {
    const TRunExtra* e = ExtraRecord();
    const TDocFont* f = e ? e->StateFont() : nullptr;
    return f ? *f : e ? *e->Font() : *DocFonts().Get(Ref() >> NumberShift);
  }
  const TMyFont& Font() const { return DocFont().Font; }
  const TPlatformFont& Handle() const { return *DocFont().Handle; }
  int CharExtra() const { return DocFont().Font.CharExtra; }
  int Height() const { return DocFont().Font.tmHeight; }
  int Descent() const { return DocFont().Font.tmDescent; }
  int MaxCharWidth() const { return DocFont().Font.tmMaxCharWidth; }
  int Overhang() const { return DocFont().Overhang; }

  // Takes the font (and the vertical shift) of a property set.
  void SetFontFrom(TSection* section, const TProperties& props);
  // Makes the run a link run (a copy of the link, its state fonts, the document's link list and,
  // with `tabStop`, a keyboard stop) or a plain run again.
  void MakeLink(TSection* section, const TUrlTarget& link, const TProperties& props, bool tabStop);
  void ClearLink();

 private:
  // The reference word: the font's number, or the extra record's (owned) with ExtraBit set,
  // shifted past the mark and the vertical shift.
  static constexpr std::uint32_t ExtraBit = 1, ShiftBits = 6, SubCode = 2, SuperCode = 4, NumberShift = 3;
  static_assert(TRunRecordArena::MaxNumber < (1u << (32 - NumberShift)) &&
                    TDocFontArena::MaxNumber < (1u << (32 - NumberShift)),
                "numbers fit the reference word");
  static std::uint32_t FontRef(const TDocFont* font) { return font ? font->Number << NumberShift : 0; }
  std::uint32_t Ref() const { return FRef; }
  void SetRef(std::uint32_t ref) { FRef = ref; }
  // Replaces the font or record, keeping the shift.
  void SetTarget(std::uint32_t target) { SetRef(target | (Ref() & ShiftBits)); }
  void SetShift(std::uint8_t shift) {
    SetRef((Ref() & ~ShiftBits) | (shift == ssSub ? SubCode : shift == ssSuper ? SuperCode : 0));
  }

  const TRunExtra& Info() const;
  TRunExtra& Extra(TSection* section);
  void DropExtraIfUnused();
  void TakeLinkFonts(TSection* section, const TProperties& props);
  TRunExtra* ExtraRecord() const {
    const std::uint32_t ref = Ref();
    return (ref & ExtraBit) ? RunRecords().Get(ref >> NumberShift) : nullptr;
  }
  void SetBaseFont(const TDocFont* font);
  // Back to a run without font or record.
  void Reset();

  // Frees the record, if the run has one (the run keeps its word).
  void DeleteRecord() noexcept {
    if (Ref() & ExtraBit) RunRecords().Delete(Ref() >> NumberShift);
  }

  friend class TFontList;
  TFontObj() : Pos(0) {}  // the list's empty place
  // Zero for no font; the list's in-place run in its "more runs" state holds the low half of
  // the list's block address here instead (see TFontList).
  std::uint32_t FRef = 0;
};

// A section's runs. Most sections have one run (every section starts with one), so a single run
// is held in place and only a second one makes a heap block, which then holds them all: the list
// is one run wide in its section. Pointers and iterators stay valid until the list changes.
class TFontList {
 public:
  TFontList() = default;
  ~TFontList() { Clear(); }
  TFontList(const TFontList&) = delete;
  TFontList& operator=(const TFontList&) = delete;

  int Count() const { return IsBlock() ? int(BlockSize()) : FOne.Ref() != 0; }
  bool Empty() const { return Count() == 0; }
  TFontObj* operator[](int i) { return Items() + i; }
  const TFontObj* operator[](int i) const { return Items() + i; }
  TFontObj* Last() { return Empty() ? nullptr : Items() + Count() - 1; }
  TFontObj* Add(TFontObj&& run);
  void Delete(int i);
  void Clear();
  TFontObj* begin() { return Items(); }
  TFontObj* end() { return Items() + Count(); }
  const TFontObj* begin() const { return Items(); }
  const TFontObj* end() const { return Items() + Count(); }

  // The run holding a character index (the last run starting at or before it); its list index
  // in `runIndex`. Null for an empty list.
  const TFontObj* GetFontObjAt(int index, int* runIndex = nullptr) const;
  TFontObj* GetFontObjAt(int index, int* runIndex = nullptr) {
    return const_cast<TFontObj*>(std::as_const(*this).GetFontObjAt(index, runIndex));
  }
  // Characters from index to the start of the next run, or to `length`.
  int GetFontCountAt(int index, int length) const;
  const TMyFont& GetFontAt(int index, int& overhang) const;
  // No room kept for more runs; a single run goes back in place.
  void ShrinkToFit();
  // Heap bytes held (the run in place is part of the owner).
  std::size_t CapacityBytes() const;

 private:
  // The in-place run tells the list's state: no font for an empty list, otherwise the one run,
  // or, once there are more runs, the block of runs (the pointer) with its size and room in the
  // position, which is then negative (no run has such a position): the sign bit, 5 bits of room
  // code (0: the room is the size, k: 2 to the k runs) and 26 bits of size. The block's address
  // is the in-place run's word (low half) and FBlockHigh. The block holds the runs alone,
  // without a header.
  static constexpr std::uint32_t BlockFlag = 0x80000000u;
  static constexpr int SizeBits = 26;
  static constexpr std::uint32_t MaxRuns = (1u << SizeBits) - 1;
  bool IsBlock() const { return FOne.Pos < 0; }
  std::uint32_t BlockWord() const { return std::uint32_t(FOne.Pos); }
  std::uint32_t BlockSize() const { return BlockWord() & MaxRuns; }
  std::uint32_t RoomCode() const { return (BlockWord() & ~BlockFlag) >> SizeBits; }
  std::uint32_t BlockRoom() const { return RoomCode() ? 1u << RoomCode() : BlockSize(); }
  void SetBlockWord(std::uint32_t size, std::uint32_t roomCode) {
    FOne.Pos = int(BlockFlag | (roomCode << SizeBits) | size);
  }
  static std::size_t BlockBytes(std::uint32_t room) { return std::size_t(room) * sizeof(TFontObj); }
  TFontObj* BlockItems() const {
    return std::launder(reinterpret_cast<TFontObj*>(std::uintptr_t(FBlockHigh) << 32 | FOne.Ref()));
  }
  void SetBlockItems(TFontObj* items) {
    const auto a = reinterpret_cast<std::uintptr_t>(items);
    FOne.SetRef(std::uint32_t(a));
    FBlockHigh = std::uint32_t(std::uint64_t(a) >> 32);
  }
  TFontObj* Items() { return IsBlock() ? BlockItems() : &FOne; }
  const TFontObj* Items() const { return IsBlock() ? BlockItems() : &FOne; }
  // Moves the runs into a new block with room for 2 to the `roomCode` runs, or (0) for just the
  // runs there are, leaving the run in place as the list's block holder.
  void Regrow(std::uint32_t roomCode);

  // The only run, or (IsBlock) the holder of the block with every run.
  TFontObj FOne;
  std::uint32_t FBlockHigh = 0;
};

}  // namespace korva
