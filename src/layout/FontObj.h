// Font runs of a text section: each run starts at a character index and holds the font (made
// once per document), the element's title and, for link text, the link with its four state
// fonts and its keyboard stop.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/CompactVector.h"
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
  const TPlatformFont* Handle = nullptr;  // the font's handle, made with it
  int EmPixels = 0;
  int ExPixels = 0;
  int Overhang = 0;  // italic text reaches this far past its advance
};

// The four state fonts of links styled alike, made once per document (TSectionList::LinkFontsFor).
struct TLinkFontSet {
  std::array<const TDocFont*, 4> Fonts{};  // by TLinkFontIndex
};

// What few runs have: an element title, or a link with its state fonts, hover, visited and focus
// marks and its keyboard stop. Kept apart so that a plain run stays small; it is what the
// document's link list points at, since the runs themselves move when their list grows.
class TRunExtra : public TLinkRun {
 public:
  explicit TRunExtra(TSection* section, const TDocFont* font = nullptr) : FSection(section), Font(font) {}
  ~TRunExtra() override;
  TRunExtra(const TRunExtra&) = delete;
  TRunExtra& operator=(const TRunExtra&) = delete;

  TSection* FSection;
  const TDocFont* Font;  // the run's own font (a link draws in its state font instead)
  TUrlTarget UrlTarget;
  const TLinkFontSet* LinkFonts = nullptr;
  std::unique_ptr<TNativeControl> TabControl;  // keyboard stop of the link's first run
  int YValue = 0;                              // y of the link's line, for scrolling to it
  bool Visited = false, Hover = false, Focused = false;
  bool InLinkList = false;

  bool IsLink() const { return !UrlTarget.Url().empty(); }
  // The element title shown over the run (few runs have one).
  const std::string& Title() const;
  void SetTitle(const std::string& title);
  // The state font, or null when the run is no link.
  const TDocFont* StateFont() const;
  int LinkID() const override { return UrlTarget.ID(); }
  void SetHover(bool on) override { Hover = on; }
  void SetVisited(bool on) { Visited = on; }
  // Keyboard focus on the link (its stop reports it): every run of the link is marked, and the
  // document scrolls the link into view; losing it clears the marks and repaints.
  void SetFocused(bool on);
  void DropTabControl();
  void LeaveLinkList();

 private:
  std::unique_ptr<std::string> FTitle;  // null when there is none
};

// A run of text in one font: its first character and its font, with the rare rest apart. Runs
// are values in their section's list, sixteen bytes each: a run holds its font or, when it has
// the rare rest, that record, which holds the font.
class TFontObj {
 public:
  TFontObj(TSection* section, int pos, const TProperties& props);
  // The copy for another section (printing): no keyboard stop, not in any link list.
  TFontObj(TSection* section, const TFontObj& source);
  TFontObj(TFontObj&& other) noexcept
      : Pos(other.Pos), SScript(other.SScript), FRef(std::exchange(other.FRef, 0)) {}
  TFontObj& operator=(TFontObj&& other) noexcept;
  TFontObj(const TFontObj&) = delete;
  TFontObj& operator=(const TFontObj&) = delete;
  ~TFontObj() { delete ExtraRecord(); }

  int Pos;  // index of the run's first character
  std::uint8_t SScript = ssNone;

  bool IsLink() const { return ExtraRecord() && ExtraRecord()->IsLink(); }
  const TUrlTarget& UrlTarget() const { return Info().UrlTarget; }
  const std::string& Title() const { return Info().Title(); }
  void SetTitle(TSection* section, const std::string& title);
  TNativeControl* TabControl() const { return Info().TabControl.get(); }
  int YValue() const { return Info().YValue; }
  void SetYValue(int y) {
    if (TRunExtra* e = ExtraRecord()) e->YValue = y;
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
    return f ? *f : e ? *e->Font : *reinterpret_cast<const TDocFont*>(FRef);
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
  const TRunExtra& Info() const;
  TRunExtra& Extra(TSection* section);
  void DropExtraIfUnused();
  void TakeLinkFonts(TSection* section, const TProperties& props);
  TRunExtra* ExtraRecord() const {
    return (FRef & 1) ? reinterpret_cast<TRunExtra*>(FRef & ~std::uintptr_t(1)) : nullptr;
  }
  void SetBaseFont(const TDocFont* font);
  // The font, or the extra record (owned) with the low bit set.
  std::uintptr_t FRef = 0;
};

class TFontList {
 public:
  int Count() const { return int(FItems.size()); }
  bool Empty() const { return FItems.empty(); }
  // Pointers stay valid until the next run is added.
  TFontObj* operator[](int i) { return &FItems[std::size_t(i)]; }
  const TFontObj* operator[](int i) const { return &FItems[std::size_t(i)]; }
  TFontObj* Last() { return FItems.empty() ? nullptr : &FItems.back(); }
  TFontObj* Add(TFontObj&& run) { return &FItems.emplace_back(std::move(run)); }
  void Delete(int i) { FItems.erase(FItems.begin() + i); }
  void Clear() { FItems.clear(); }
  auto begin() { return FItems.begin(); }
  auto end() { return FItems.end(); }
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

  // The run holding a character index (the last run starting at or before it); its list index
  // in `runIndex`. Null for an empty list.
  const TFontObj* GetFontObjAt(int index, int* runIndex = nullptr) const;
  TFontObj* GetFontObjAt(int index, int* runIndex = nullptr) {
    return const_cast<TFontObj*>(std::as_const(*this).GetFontObjAt(index, runIndex));
  }
  // Characters from index to the start of the next run, or to `length`.
  int GetFontCountAt(int index, int length) const;
  const TMyFont& GetFontAt(int index, int& overhang) const;
  void ShrinkToFit() { FItems.shrink_to_fit(); }
  std::size_t CapacityBytes() const { return FItems.capacity() * sizeof(TFontObj); }

 private:
  TCompactVector<TFontObj> FItems;
};

}  // namespace korva
