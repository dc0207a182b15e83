#include "layout/FontObj.h"

#include <algorithm>

#include "layout/Section.h"
#include "layout/SectionList.h"
#include "style/Properties.h"

namespace korva {

namespace {
// Keyboard stops of links sit off screen: the control only lets the keyboard reach the link.
constexpr int TabStopLeft = -4000;

// Consecutive links nearly always carry the same four state fonts: they share one copy.
std::shared_ptr<const TFontInfoArray> SharedLinkFonts(const TFontInfoArray& fonts) {
  thread_local std::shared_ptr<const TFontInfoArray> last;
  if (!last || !(*last == fonts)) last = std::make_shared<const TFontInfoArray>(fonts);
  return last;
}
}  // namespace

TFontObj::TFontObj(TSection* section, int pos, const TProperties& props) : FSection(section), Pos(pos) {
  SetTitle(props.FTitleText);
  SetFontFrom(props);
}

TFontObj::TFontObj(TSection* section, const TFontObj& source)
    : FSection(section),
      Pos(source.Pos),
      SScript(source.SScript),
      FHeight(source.FHeight),
      FDescent(source.FDescent),
      FMaxCharWidth(source.FMaxCharWidth),
      FOverhang(source.FOverhang),
      FVisited(source.FVisited),
      FFont(source.FFont),
      FHandle(source.FHandle) {
  if (source.FExtra) {
    FExtra = std::make_unique<TRunExtra>();
    FExtra->Title = source.FExtra->Title;
    FExtra->UrlTarget = source.FExtra->UrlTarget;
    FExtra->LinkFonts = source.FExtra->LinkFonts;
    FExtra->YValue = source.FExtra->YValue;
  }
}

TFontObj::~TFontObj() {
  DropTabControl();
  TSectionList* doc = FSection ? FSection->FDocument : nullptr;
  if (!doc) return;
  if (FInLinkList) std::erase(doc->FLinkList, static_cast<TLinkRun*>(this));
  if (doc->FActiveLink == this) doc->FActiveLink = nullptr;
}

const TRunExtra& TFontObj::Info() const {
  static const TRunExtra none;
  return FExtra ? *FExtra : none;
}

TRunExtra& TFontObj::Extra() {
  if (!FExtra) FExtra = std::make_unique<TRunExtra>();
  return *FExtra;
}

void TFontObj::DropExtraIfUnused() {
  if (FExtra && FExtra->Title.empty() && FExtra->UrlTarget.Url().empty() && !FExtra->LinkFonts &&
      !FExtra->TabControl && FExtra->YValue == 0)
    FExtra.reset();
}

void TFontObj::SetTitle(const std::string& title) {
  if (title.empty() && !FExtra) return;
  Extra().Title = title;
  DropExtraIfUnused();
}

void TFontObj::UseFont(const TDocFont& font) {
  FFont = &font.Font;
  FHandle = font.Font.Handle().get();
  FHeight = FFont->tmHeight;
  FDescent = FFont->tmDescent;
  FMaxCharWidth = FFont->tmMaxCharWidth;
  FOverhang = (FFont->Style() & fsItalic) ? FHeight / 10 : 0;
}

void TFontObj::TakeLinkFonts(const TProperties& props) {
  if (props.FLinkFonts) Extra().LinkFonts = SharedLinkFonts(*props.FLinkFonts);
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
    TakeLinkFonts(props);
    SelectLinkFont();
  }
}

void TFontObj::MakeLink(const TUrlTarget& link, const TProperties& props, bool tabStop) {
  TSectionList* doc = FSection->FDocument;
  if (link.Url().empty()) {
    // Not a link after all: the run keeps what it had besides the target.
    if (FExtra) {
      FExtra->UrlTarget = link;
      DropExtraIfUnused();
    }
    return;
  }
  Extra().UrlTarget = link;
  TakeLinkFonts(props);
  SelectLinkFont();
  if (!FInLinkList) {
    doc->FLinkList.push_back(this);
    FInLinkList = true;
  }
  if (tabStop && !FExtra->TabControl) {
    std::unique_ptr<TNativeControl> control = doc->Host().CreateControl(TControlKind::LinkFocus);
    if (control) {
      control->SetBounds(TRect{TabStopLeft, 0, TabStopLeft + 1, 1});
      control->OnFocusChange = [this](bool focused) { SetFocused(focused); };
      control->OnEnterKey = [this] {
        if (FFocused && IsLink()) FSection->FDocument->LinkClicked(UrlTarget());
      };
      if (link.TabIndex() > 0) doc->AddTabOrder(link.TabIndex(), control.get());
      FExtra->TabControl = std::move(control);
    }
  }
}

void TFontObj::ClearLink() {
  TSectionList* doc = FSection->FDocument;
  if (FInLinkList) std::erase(doc->FLinkList, static_cast<TLinkRun*>(this));
  FInLinkList = false;
  DropTabControl();
  if (FExtra) {
    FExtra->UrlTarget.Clear();
    FExtra->LinkFonts.reset();
    DropExtraIfUnused();
  }
  FHover = FVisited = FFocused = false;
}

void TFontObj::SelectLinkFont() {
  if (!FExtra || !FExtra->LinkFonts) return;
  int i = FVisited ? (FHover ? lfVisitedHover : lfVisited) : (FHover ? lfHover : lfLink);
  UseFont(FSection->FDocument->FontFor(FExtra->LinkFonts->Ar[std::size_t(i)]));
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
  if (!FExtra || !FExtra->TabControl) return;
  // A control going away may still report a focus change: it must not reach this run.
  FExtra->TabControl->OnFocusChange = nullptr;
  FExtra->TabControl->OnEnterKey = nullptr;
  FExtra->TabControl.reset();
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
  if (!FSection->RunBox(Pos, box)) box = TRect{0, YValue(), 1, YValue() + FHeight};
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
