#include "layout/FontObj.h"

#include <algorithm>

#include "layout/Section.h"
#include "layout/SectionList.h"
#include "style/Properties.h"

namespace korva {

namespace {
// Keyboard stops of links sit off screen: the control only lets the keyboard reach the link.
constexpr int TabStopLeft = -4000;
}  // namespace

TFontObj::TFontObj(TSection* section, int pos, const TProperties& props) : FSection(section), Pos(pos) {
  FTitle = props.FTitleText;
  SetFontFrom(props);
}

TFontObj::TFontObj(TSection* section, const TFontObj& source)
    : FSection(section),
      Pos(source.Pos),
      FTitle(source.FTitle),
      FUrlTarget(source.FUrlTarget),
      FVisited(source.FVisited),
      SScript(source.SScript),
      FYValue(source.FYValue) {
  if (source.FLinkFonts) FLinkFonts = std::make_unique<TFontInfoArray>(*source.FLinkFonts);
  FFont = source.FFont;
  FHandle = source.FHandle;
  FHeight = source.FHeight;
  FDescent = source.FDescent;
  FMaxCharWidth = source.FMaxCharWidth;
  FOverhang = source.FOverhang;
}

TFontObj::~TFontObj() {
  DropTabControl();
  TSectionList* doc = FSection ? FSection->FDocument : nullptr;
  if (!doc) return;
  if (FInLinkList) std::erase(doc->FLinkList, static_cast<TLinkRun*>(this));
  if (doc->FActiveLink == this) doc->FActiveLink = nullptr;
}

void TFontObj::UseFont(const TDocFont& font) {
  FFont = &font.Font;
  FHandle = font.Font.Handle().get();
  FHeight = FFont->tmHeight;
  FDescent = FFont->tmDescent;
  FMaxCharWidth = FFont->tmMaxCharWidth;
  FOverhang = (FFont->Style() & fsItalic) ? FHeight / 10 : 0;
}

void TFontObj::SetFontFrom(const TProperties& props) {
  UseFont(FSection->FDocument->FontFor(props));
  TAlignCode va = acNone;
  SScript = ssNone;
  if (props.GetVertAlign(va)) {
    if (va == acSub) SScript = ssSub;
    else if (va == acSuper) SScript = ssSuper;
  }
  if (IsLink()) {
    if (props.FLinkFonts) FLinkFonts = std::make_unique<TFontInfoArray>(*props.FLinkFonts);
    SelectLinkFont();
  }
}

void TFontObj::MakeLink(const TUrlTarget& link, const TProperties& props, bool tabStop) {
  TSectionList* doc = FSection->FDocument;
  FUrlTarget = link;
  if (!IsLink()) return;
  if (props.FLinkFonts) FLinkFonts = std::make_unique<TFontInfoArray>(*props.FLinkFonts);
  SelectLinkFont();
  if (!FInLinkList) {
    doc->FLinkList.push_back(this);
    FInLinkList = true;
  }
  if (tabStop && !FTabControl) {
    FTabControl = doc->Host().CreateControl(TControlKind::LinkFocus);
    if (FTabControl) {
      FTabControl->SetBounds(TRect{TabStopLeft, 0, TabStopLeft + 1, 1});
      FTabControl->OnFocusChange = [this](bool focused) { SetFocused(focused); };
      FTabControl->OnEnterKey = [this] {
        if (FFocused && IsLink()) FSection->FDocument->LinkClicked(FUrlTarget);
      };
      if (link.TabIndex() > 0) doc->AddTabOrder(link.TabIndex(), FTabControl.get());
    }
  }
}

void TFontObj::ClearLink() {
  TSectionList* doc = FSection->FDocument;
  if (FInLinkList) std::erase(doc->FLinkList, static_cast<TLinkRun*>(this));
  FInLinkList = false;
  FUrlTarget.Clear();
  FLinkFonts.reset();
  DropTabControl();
  FHover = FVisited = FFocused = false;
}

void TFontObj::SelectLinkFont() {
  if (!FLinkFonts) return;
  int i = FVisited ? (FHover ? lfVisitedHover : lfVisited) : (FHover ? lfHover : lfLink);
  UseFont(FSection->FDocument->FontFor(FLinkFonts->Ar[std::size_t(i)]));
}

void TFontObj::SetHover(bool on) {
  if (FHover == on) return;
  FHover = on;
  SelectLinkFont();
}

void TFontObj::SetVisited(bool on) {
  if (FVisited == on) return;
  FVisited = on;
  SelectLinkFont();
}

void TFontObj::DropTabControl() {
  if (!FTabControl) return;
  // A control going away may still report a focus change: it must not reach this run.
  FTabControl->OnFocusChange = nullptr;
  FTabControl->OnEnterKey = nullptr;
  FTabControl.reset();
}

void TFontObj::SetFocused(bool on) {
  TSectionList* doc = FSection->FDocument;
  FFocused = on;
  // Every run of the link, wherever it lies (a link may cross lines, sections and blocks).
  if (IsLink())
    for (TLinkRun* r : doc->FLinkList)
      if (r->LinkID() == LinkID())
        if (auto* run = dynamic_cast<TFontObj*>(r)) run->FFocused = on;
  if (!on) {
    doc->Host().InvalidateAll();
    return;
  }
  TRect box;
  if (!FSection->RunBox(Pos, box)) box = TRect{0, FYValue, 1, FYValue + FHeight};
  doc->LinkFocused(box);
}

// ---- TFontList ----

TFontObj* TFontList::GetFontObjAt(int index, int* runIndex) const {
  if (FItems.empty()) return nullptr;
  // Runs are ordered by start; the last one starting at or before index.
  auto it = std::upper_bound(FItems.begin(), FItems.end(), index,
                             [](int i, const std::unique_ptr<TFontObj>& f) { return i < f->Pos; });
  std::size_t k = it == FItems.begin() ? 0 : std::size_t(it - FItems.begin()) - 1;
  if (runIndex) *runIndex = int(k);
  return FItems[k].get();
}

int TFontList::GetFontCountAt(int index, int length) const {
  int k = 0;
  if (!GetFontObjAt(index, &k)) return length - index;
  if (k + 1 < Count()) return std::min(length, (*this)[k + 1]->Pos) - index;
  return length - index;
}

const TMyFont& TFontList::GetFontAt(int index, int& overhang) const {
  TFontObj* f = GetFontObjAt(index);
  overhang = f->FOverhang;
  return f->Font();
}

}  // namespace korva
