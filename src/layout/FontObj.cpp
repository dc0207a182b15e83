#include "layout/FontObj.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

#include "layout/Section.h"
#include "layout/SectionList.h"
#include "style/Properties.h"

namespace korva {

namespace {
// Keyboard stops of links sit off screen: the control only lets the keyboard reach the link.
constexpr int TabStopLeft = -4000;
}  // namespace

// ---- TRunExtra ----

TRunExtra::~TRunExtra() {
  DropTabControl();
  LeaveLinkList();
}

const TDocFont* TRunExtra::StateFont() const {
  const TLinkFontSet* links = LinkFonts();
  if (!links || !IsLink()) return nullptr;
  int i = Visited ? (Hover ? lfVisitedHover : lfVisited) : (Hover ? lfHover : lfLink);
  return links->Fonts[std::size_t(i)];
}

static_assert(alignof(TRunFonts) >= 2 && alignof(TDocFont) >= 2, "a font pointer leaves the low bit for the pair mark");

void TRunExtra::SetFonts(const TDocFont* font, const TLinkFontSet* links) {
  if (!links || !FSection || !FSection->FDocument) {
    FFonts = reinterpret_cast<std::uintptr_t>(font);
    return;
  }
  FFonts = reinterpret_cast<std::uintptr_t>(&FSection->FDocument->RunFontsFor(font, links)) | 1;
}

void TRunExtra::LeaveLinkList() {
  TSectionList* doc = FSection ? FSection->FDocument : nullptr;
  if (!doc) return;
  if (InLinkList) std::erase(doc->FLinkList, static_cast<TLinkRun*>(this));
  InLinkList = false;
  if (doc->FActiveLink == this) doc->FActiveLink = nullptr;
}

TNativeControl* TRunExtra::TabControl() const {
  const TSectionList* doc = FSection ? FSection->FDocument : nullptr;
  if (!doc || doc->FLinkStops.empty()) return nullptr;
  auto it = doc->FLinkStops.find(this);
  return it == doc->FLinkStops.end() ? nullptr : it->second.get();
}

void TRunExtra::SetTabControl(std::unique_ptr<TNativeControl> control) {
  DropTabControl();
  if (control) FSection->FDocument->FLinkStops.emplace(this, std::move(control));
}

void TRunExtra::DropTabControl() {
  TSectionList* doc = FSection ? FSection->FDocument : nullptr;
  if (!doc || doc->FLinkStops.empty()) return;
  auto it = doc->FLinkStops.find(this);
  if (it == doc->FLinkStops.end()) return;
  std::unique_ptr<TNativeControl> control = std::move(it->second);
  doc->FLinkStops.erase(it);
  // A control going away may still report a focus change: it must not reach this run.
  control->OnFocusChange = nullptr;
  control->OnEnterKey = nullptr;
}

void TRunExtra::SetFocused(bool on) {
  TSectionList* doc = FSection->FDocument;
  Focused = on;
  // Every run of the link, wherever it lies (a link may cross lines, sections and blocks).
  if (IsLink())
    for (TLinkRun* r : doc->FLinkList)
      if (r->LinkID() == LinkID())
        r->Focused = on;
  if (!on) {
    doc->Host().InvalidateAll();
    return;
  }
  // The run this record belongs to gives the box to scroll to.
  TRect box;
  bool found = false;
  for (const TFontObj& f : FSection->Fonts())
    if (f.Link() == this) {
      found = FSection->RunBox(f.Pos, box);
      break;
    }
  if (!found) {
    const TDocFont* font = StateFont();
    box = TRect{0, YValue, 1, YValue + (font ? font->Font.tmHeight : 1)};
  }
  doc->LinkFocused(box);
}

void TRunExtra::SetYValue(int y) { YValue = std::clamp(y, -MaxLayoutCoord, MaxLayoutCoord); }

// ---- TFontObj ----

TFontObj::TFontObj(TSection* section, int pos, const TProperties& props) : Pos(pos) {
  SetTitle(section, props.FTitleText);
  SetFontFrom(section, props);
}

TFontObj::TFontObj(TSection* section, const TFontObj& source) : Pos(source.Pos) {
  SetRef(source.Ref());
  const TRunExtra* from = source.ExtraRecord();
  if (!from) return;
  const std::uint32_t number = RunRecords().New(section);
  TRunExtra* extra = RunRecords().Get(number);
  SetTarget(number << NumberShift | ExtraBit);
  extra->CopyFontsFrom(*from);
  extra->SetTitle(from->Title());
  extra->UrlTarget = from->UrlTarget;
  extra->YValue = from->YValue;
  extra->Visited = from->Visited;
}

TFontObj& TFontObj::operator=(TFontObj&& other) noexcept {
  if (this != &other) {
    DeleteRecord();
    Pos = other.Pos;
    SetRef(other.Ref());
    other.SetRef(0);
  }
  return *this;
}

void TFontObj::Reset() {
  DeleteRecord();
  SetRef(0);
  Pos = 0;
}

void TFontObj::SetBaseFont(const TDocFont* font) {
  if (TRunExtra* e = ExtraRecord()) e->SetFonts(font, e->LinkFonts());
  else SetTarget(FontRef(font));
}

const TRunExtra& TFontObj::Info() const {
  static const TRunExtra none(nullptr);
  return ExtraRecord() ? *ExtraRecord() : none;
}

TRunExtra& TFontObj::Extra(TSection* section) {
  if (!ExtraRecord()) {
    const std::uint32_t font = Ref() >> NumberShift;
    const std::uint32_t number = RunRecords().New(section, font ? DocFonts().Get(font) : nullptr);
    SetTarget(number << NumberShift | ExtraBit);
  }
  return *ExtraRecord();
}

void TFontObj::DropExtraIfUnused() {
  TRunExtra* e = ExtraRecord();
  if (e && e->Title().empty() && e->UrlTarget.Url().empty() && !e->LinkFonts() && !e->TabControl() && e->YValue == 0 &&
      !e->InLinkList) {
    const std::uint32_t number = Ref() >> NumberShift;
    SetTarget(FontRef(e->Font()));
    RunRecords().Delete(number);
  }
}

void TFontObj::SetTitle(TSection* section, const std::string& title) {
  if (title.empty() && !ExtraRecord()) return;
  Extra(section).SetTitle(title);
  DropExtraIfUnused();
}

void TFontObj::TakeLinkFonts(TSection* section, const TProperties& props) {
  if (!props.FLinkFonts) return;
  TRunExtra& e = Extra(section);
  e.SetFonts(e.Font(), &section->FDocument->LinkFontsFor(*props.FLinkFonts));
}

void TFontObj::SetFontFrom(TSection* section, const TProperties& props) {
  SetBaseFont(&section->FDocument->FontFor(props));
  TAlignCode va = acNone;
  std::uint8_t shift = ssNone;
  if (props.GetVertAlign(va)) {
    if (va == acSub) shift = ssSub;
    else if (va == acSuper) shift = ssSuper;
  }
  SetShift(shift);
  if (IsLink()) TakeLinkFonts(section, props);
}

void TFontObj::MakeLink(TSection* section, const TUrlTarget& link, const TProperties& props, bool tabStop) {
  TSectionList* doc = section->FDocument;
  if (link.Url().empty()) {
    // Not a link after all: the run keeps what it had besides the target.
    if (TRunExtra* e = ExtraRecord()) {
      e->UrlTarget = link;
      DropExtraIfUnused();
    }
    return;
  }
  TRunExtra& extra = Extra(section);
  extra.UrlTarget = link;
  TakeLinkFonts(section, props);
  if (!extra.InLinkList) {
    doc->FLinkList.push_back(&extra);
    extra.InLinkList = true;
  }
  if (tabStop && !extra.TabControl()) {
    std::unique_ptr<TNativeControl> control = doc->Host().CreateControl(TControlKind::LinkFocus);
    if (control) {
      control->SetBounds(TRect{TabStopLeft, 0, TabStopLeft + 1, 1});
      // Out of sight, but shown: a hidden widget is no stop for Tab.
      control->SetVisible(true);
      TRunExtra* record = &extra;
      control->OnFocusChange = [record](bool focused) { record->SetFocused(focused); };
      control->OnEnterKey = [record] {
        if (record->Focused && record->IsLink()) record->FSection->FDocument->LinkClicked(record->UrlTarget);
      };
      if (link.TabIndex() > 0) doc->AddTabOrder(link.TabIndex(), control.get());
      extra.SetTabControl(std::move(control));
    }
  }
}

void TFontObj::ClearLink() {
  TRunExtra* e = ExtraRecord();
  if (!e) return;
  e->LeaveLinkList();
  e->DropTabControl();
  e->UrlTarget.Clear();
  e->SetFonts(e->Font(), nullptr);
  e->Hover = e->Visited = e->Focused = false;
  DropExtraIfUnused();
}

// ---- TFontList ----

static_assert(sizeof(TFontObj) == 8, "a run is a position and a reference word");

TDocFontArena& DocFonts() {
  static auto* arena = new TDocFontArena;  // kept to the end: fonts may be read while statics go
  return *arena;
}

TRunRecordArena& RunRecords() {
  static auto* arena = new TRunRecordArena;
  return *arena;
}

TDocFontPtr NewDocFont() {
  const std::uint32_t number = DocFonts().New();
  TDocFont* font = DocFonts().Get(number);
  font->Number = number;
  return TDocFontPtr(font);
}
static_assert(sizeof(TRunExtra) <= 32, "a link record fits a 32-byte block of the small-object pool");

void TFontList::Regrow(std::uint32_t roomCode) {
  const bool wasBlock = IsBlock();
  const std::uint32_t n = std::uint32_t(Count());
  const std::uint32_t room = roomCode ? 1u << roomCode : n;
  auto* to = static_cast<TFontObj*>(SmallAllocate(BlockBytes(room)));
  TFontObj* from = Items();
  for (std::uint32_t i = 0; i < n; ++i) new (to + i) TFontObj(std::move(from[i]));
  if (wasBlock) {
    for (std::uint32_t i = 0; i < n; ++i) from[i].~TFontObj();  // moved from: they hold nothing
    SmallFree(from, BlockBytes(BlockRoom()));
  } else {
    FOne.Reset();
  }
  SetBlockItems(to);
  SetBlockWord(n, roomCode);
}

TFontObj* TFontList::Add(TFontObj&& run) {
  if (!IsBlock()) {
    if (FOne.Ref() == 0) {
      // Every run has a font, so the list now holds one.
      FOne = std::move(run);
      return &FOne;
    }
    Regrow(1);
  } else if (BlockSize() == BlockRoom()) {
    if (BlockSize() == MaxRuns) throw std::length_error("too many font runs in one section");
    Regrow(std::uint32_t(std::bit_width(BlockSize())));  // the next power of two above the size
  }
  const std::uint32_t n = BlockSize();
  TFontObj* added = new (BlockItems() + n) TFontObj(std::move(run));
  SetBlockWord(n + 1, RoomCode());
  return added;
}

void TFontList::Delete(int i) {
  if (!IsBlock()) {
    FOne.Reset();
    return;
  }
  // A block with room for its runs alone would no longer know its room: it gets a power of two.
  if (RoomCode() == 0) Regrow(std::uint32_t(std::bit_width(BlockSize() - 1)));
  TFontObj* items = BlockItems();
  const std::uint32_t n = BlockSize();
  for (std::uint32_t k = std::uint32_t(i) + 1; k < n; ++k) items[k - 1] = std::move(items[k]);
  items[n - 1].~TFontObj();
  SetBlockWord(n - 1, RoomCode());
}

void TFontList::Clear() {
  if (IsBlock()) {
    // Each run's record leaves the document's lists as it goes.
    TFontObj* items = BlockItems();
    const std::uint32_t n = BlockSize();
    for (std::uint32_t k = 0; k < n; ++k) items[k].~TFontObj();
    SmallFree(items, BlockBytes(BlockRoom()));
    FOne.SetRef(0);
    FOne.Pos = 0;
    FBlockHigh = 0;
  }
  FOne.Reset();
}

void TFontList::ShrinkToFit() {
  if (!IsBlock()) return;
  const std::uint32_t n = BlockSize();
  if (n >= 2) {
    if (n < BlockRoom()) Regrow(0);
    return;
  }
  // Back in place: the block's one run (if any) moves into the holder.
  TFontObj* items = BlockItems();
  const std::size_t bytes = BlockBytes(BlockRoom());
  FOne.SetRef(0);
  FOne.Pos = 0;
  FBlockHigh = 0;
  FOne.Reset();
  if (n == 1) {
    FOne = std::move(items[0]);
    items[0].~TFontObj();
  }
  SmallFree(items, bytes);
}

std::size_t TFontList::CapacityBytes() const { return IsBlock() ? BlockBytes(BlockRoom()) : 0; }

const TFontObj* TFontList::GetFontObjAt(int index, int* runIndex) const {
  if (Empty()) return nullptr;
  // Runs are ordered by start; the last one starting at or before index.
  auto it = std::upper_bound(begin(), end(), index, [](int i, const TFontObj& f) { return i < f.Pos; });
  std::size_t k = it == begin() ? 0 : std::size_t(it - begin()) - 1;
  if (runIndex) *runIndex = int(k);
  return begin() + k;
}

int TFontList::GetFontCountAt(int index, int length) const {
  int k = 0;
  if (!GetFontObjAt(index, &k)) return length - index;
  if (k + 1 < Count()) return std::min(length, (*this)[k + 1]->Pos) - index;
  return length - index;
}

const TMyFont& TFontList::GetFontAt(int index, int& overhang) const {
  const TFontObj* f = GetFontObjAt(index);
  overhang = f->Overhang();
  return f->Font();
}

}  // namespace korva
