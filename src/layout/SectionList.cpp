#include "layout/SectionList.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>

#include "core/SmallObjectPool.h"
#include "images/DisplayState.h"
#include "images/ImageFetch.h"
#include "images/ImageStream.h"
#include "layout/FontObj.h"
#include "layout/FormControl.h"
#include "layout/LayoutDump.h"
#include "layout/PanelObj.h"
#include "layout/Section.h"
#include "platform/Canvas.h"
#include "platform/System.h"

namespace korva {

namespace {
constexpr int FirstTimerInterval = 50;
constexpr int TimerInterval = 40;
// A cursor beyond the last character is shown this far below it.
constexpr int PastEndDrop = 15;
}  // namespace

TSectionList::TSectionList(TLayoutHost* host, TStringBitmapList* cache)
    : TCell(this), FHost(host), FImageCache(cache), FStyles(this), FIDNames(this) {
  if (!FHost) {
    FOwnHost = std::make_unique<THeadlessHost>();
    FHost = FOwnHost.get();
  }
  if (!FImageCache) {
    FOwnCache = std::make_unique<TStringBitmapList>();
    FImageCache = FOwnCache.get();
  }
  IDNames = &FIDNames;
  FOwnerTag = "default";
}

TSectionList::~TSectionList() {
  if (FHost) FHost->StopTimer();
  Clear();
}

void TSectionList::Clear() {
  // What a large page freed goes back to the system, so that closing it leaves no tens of
  // megabytes behind in the heap's free lists.
  const bool large = FStore.Bytes() >= ReleaseAfterStoreBytes;
  if (!FIsCopy) {
    FIDNames.Clear();
    std::vector<TSectionBase*>().swap(FPositionList);
    FInlineList.reset();
    FStyles.Clear();
  }
  if (FBackgroundImage) ReleaseImage(FBackgroundName);
  FBackgroundName.clear();
  FBackgroundLoaded = false;
  FBackgroundImage = {};
  FBackgroundMask.reset();
  FMissingImages.clear();
  FFailedImages.clear();
  FInlineImages.clear();
  FAnimatedImages.clear();
  if (FHost) FHost->StopTimer();
  FTimerInterval = 0;
  FSelB = FSelE = -1;
  FHighlights.clear();
  FCurrentHighlight = -1;
  FMapList.clear();
  std::vector<TLinkRun*>().swap(FLinkList);
  FActiveLink = nullptr;
  FActiveImage = nullptr;
  FTabOrderList.clear();
  FDrawList.clear();
  FDocHeight = 0;
  FSectionCount = 0;
  TCell::Clear();
  FLinkStops.clear();  // the records dropped theirs as they went
  FStore.Clear();
  FFormControlList.clear();
  FCacheKeys.clear();
  FHtmlFormList.clear();
  FLinkFontSets.clear();
  FRunFontPairs.clear();
  FLastLinkSet = nullptr;
  FFonts.clear();
  if (large) {
    SmallReleaseSpares();
    ReleaseFreeMemory();
  }
}

void TSectionList::ApplyDefaults(const TDocumentDefaults& d) {
  FStyles.Initialize(d);
  FLinkColor = d.LinkColor;
  FVisitedColor = d.VisitedColor;
  FHoverColor = d.HoverColor;
  FPreFontName = d.PreFontName.substr(0, 32);
  FHoverStylesUsed = d.HoverEffects;
  SetBackgroundColor(d.BackgroundColor);
}

// ---- fonts ----

namespace {

// Sizes compare by their bits so that a NaN finds its own entry again; both zeros are one size.
std::uint64_t SizeBits(double size) { return std::bit_cast<std::uint64_t>(size == 0.0 ? 0.0 : size); }

// Letter spacing as the font uses it: a number (integer or real alike), a text, or nothing.
bool SameSpacing(const TPropValue& a, const TPropValue& b) {
  if (a.IsNumber() || b.IsNumber()) return a.IsNumber() && b.IsNumber() && SizeBits(a.Number()) == SizeBits(b.Number());
  if (a.IsText() || b.IsText()) return a.IsText() && b.IsText() && a.Text() == b.Text();
  return true;
}

void HashMix(std::size_t& h, std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2); }

}  // namespace

std::size_t TSectionList::TFontInfoHash::operator()(const ThtFontInfo& info) const {
  std::size_t h = std::hash<std::string>()(info.Name);
  HashMix(h, std::size_t(SizeBits(info.Size)));
  HashMix(h, (std::size_t(info.Style) << 8) | info.CharSet);
  HashMix(h, (std::size_t(info.Color) << 32) ^ std::size_t(info.BGColor));
  const TPropValue& ls = info.LetterSpacing;
  if (ls.IsNumber()) HashMix(h, std::size_t(SizeBits(ls.Number())));
  else if (ls.IsText()) HashMix(h, std::hash<std::string>()(ls.Text()));
  return h;
}

bool TSectionList::TFontInfoEqual::operator()(const ThtFontInfo& a, const ThtFontInfo& b) const {
  return SizeBits(a.Size) == SizeBits(b.Size) && a.Style == b.Style && a.Color == b.Color && a.BGColor == b.BGColor &&
         a.CharSet == b.CharSet && a.Name == b.Name && SameSpacing(a.LetterSpacing, b.LetterSpacing);
}

const TDocFont& TSectionList::FontFor(const ThtFontInfo& info) {
  auto it = FFonts.find(info);
  if (it != FFonts.end()) return *it->second;
  TDocFontPtr f = NewDocFont();
  int em = 0;
  f->Font.SetFromInfo(info, &em);
  f->EmPixels = em;
  f->ExPixels = em / 2;
  f->Handle = f->Font.Handle().get();
  f->Overhang = (f->Font.Style() & fsItalic) ? f->Font.tmHeight / 10 : 0;
  return *FFonts.emplace(info, std::move(f)).first->second;
}

const TLinkFontSet& TSectionList::LinkFontsFor(const TFontInfoArray& fonts) {
  if (FLastLinkSet && FLastLinkInfo == fonts) return *FLastLinkSet;
  std::array<const TDocFont*, 4> key{};
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = &FontFor(fonts.Ar[i]);
  std::unique_ptr<TLinkFontSet>& set = FLinkFontSets[key];
  if (!set) {
    set = std::make_unique<TLinkFontSet>();
    set->Fonts = key;
  }
  FLastLinkInfo = fonts;
  FLastLinkSet = set.get();
  return *set;
}

const TRunFonts& TSectionList::RunFontsFor(const TDocFont* font, const TLinkFontSet* links) {
  std::unique_ptr<TRunFonts>& pair = FRunFontPairs[{font, links}];
  if (!pair) pair = std::make_unique<TRunFonts>(TRunFonts{font, links});
  return *pair;
}

const TDocFont& TSectionList::FontFor(const TProperties& props) {
  ThtFontInfo info;
  props.GetFontInfo(info);
  return FontFor(info);
}

// ---- background ----

void TSectionList::SetBackgroundColor(TColor c) {
  FBackgroundColor = c;
  if (OnBackgroundChange) OnBackgroundChange();
}

void TSectionList::SetBackgroundSource(const std::string& name, const TBackgroundPosArray& pos) {
  if (FBackgroundImage) ReleaseImage(FBackgroundName);
  FBackgroundName = name;
  FBackgroundPos = pos;
  FBackgroundLoaded = false;
  FBackgroundImage = {};
  FBackgroundMask.reset();
}

const TImageGraphic* TSectionList::BackgroundBitmap(TBitmapPtr* mask) {
  if (!FBackgroundLoaded && !FBackgroundName.empty()) {
    FBackgroundLoaded = true;
    TransparencyMode mode = trNone;
    TFetchResult r = FetchBackground(FBackgroundName, mode);
    if (r.Image) {
      FBackgroundImage = r.Image;
      FBackgroundMask = r.Mask;
    } else {
      FFailedImages.push_back(FBackgroundName);
    }
  }
  if (mask) *mask = FBackgroundMask;
  return FBackgroundImage ? &FBackgroundImage : nullptr;
}

// ---- images ----

namespace {
// No member or file name starts this way: a scheme of its own, which the viewer never resolves.
constexpr std::string_view InlineImagePrefix = "korva-inline:";
}  // namespace

int TSectionList::FindInPage(const std::u16string& text, bool matchCase) {
  FHighlights.clear();
  FCurrentHighlight = -1;
  if (text.empty()) return 0;
  std::u16string needle = text;
  if (!matchCase)
    for (auto& c : needle) c = ToLower16(c);
  TCellBasic::FindAll(needle, matchCase, FHighlights);
  return int(FHighlights.size());
}

std::size_t TSectionList::HighlightFrom(int pos) const {
  return std::size_t(std::lower_bound(FHighlights.begin(), FHighlights.end(), pos,
                                      [](const std::pair<int, int>& h, int p) { return h.second <= p; }) -
                     FHighlights.begin());
}

std::string TSectionList::AddInlineImage(std::string bytes) {
  std::string name(InlineImagePrefix);
  name += std::to_string(FInlineImages.size() + 1);
  FInlineImages[name] = std::move(bytes);
  return name;
}

bool TSectionList::IsInlineImage(const std::string& sourceName) const {
  return FInlineImages.count(sourceName) != 0;
}

const std::string* TSectionList::InlineImageBytes(const std::string& sourceName) const {
  auto it = FInlineImages.find(sourceName);
  return it == FInlineImages.end() ? nullptr : &it->second;
}

TFetchResult TSectionList::FetchImage(const std::string& sourceName, TransparencyMode& mode) {
  auto inlineImage = FInlineImages.find(sourceName);
  if (inlineImage != FInlineImages.end()) {
    // Decoded for this document only: the cache is keyed by names that outlive the page.
    TFetchResult r;
    TImageStream stream(inlineImage->second.data(), inlineImage->second.size());
    r.Image = LoadImageData(stream, mode, r.Mask);
    return r;
  }
  return FetchResolved(sourceName, ImageFileFor(this, sourceName), mode);
}

TFetchResult TSectionList::FetchBackground(const std::string& name, TransparencyMode& mode) {
  return FetchResolved(name, name.empty() ? name : ExpandImageName(name), mode);
}

TFetchResult TSectionList::FetchResolved(const std::string& name, const std::string& file, TransparencyMode& mode) {
  TFetchResult r = korva::FetchImage(*FImageCache, this, name, file, mode);
  if (r.Image) FCacheKeys[ImageCacheKey(name)] = ImageCacheKey(file);
  return r;
}

void TSectionList::ReleaseImage(const std::string& sourceName) {
  const std::string name = ImageCacheKey(sourceName);
  auto it = FCacheKeys.find(name);
  FImageCache->ReleaseImage(it != FCacheKeys.end() ? it->second : name);
}

TMapItem* TSectionList::FindMap(std::string_view name) const {
  for (const auto& [n, map] : FMapList)
    if (n == name) return map.get();
  return nullptr;
}

void TSectionList::AddMap(const std::string& name, std::shared_ptr<TMapItem> map) {
  FMapList.emplace_back(name, std::move(map));
}

void TSectionList::AddAnimatedImage(TAnimatedGif* gif) {
  if (gif && std::find(FAnimatedImages.begin(), FAnimatedImages.end(), gif) == FAnimatedImages.end())
    FAnimatedImages.push_back(gif);
}

void TSectionList::RemoveAnimatedImage(TAnimatedGif* gif) {
  std::erase(FAnimatedImages, gif);
}

void TSectionList::ForgetObject(const void* object) {
  std::erase_if(FMissingImages, [object](const auto& p) { return p.second == object; });
  if (FActiveImage && static_cast<const void*>(FActiveImage) == object) FActiveImage = nullptr;
}

void TSectionList::ForgetSection(TSectionBase* section) {
  std::erase(FPositionList, section);
  FIDNames.RemoveObject(section);
}

// ---- links and hover ----

void TSectionList::SetLinkHover(const TLinkRun* link, bool on) {
  if (!link) return;
  int id = link->LinkID();
  for (TLinkRun* run : FLinkList)
    if (run->LinkID() == id) run->SetHover(on);
}

bool TSectionList::DocHotSpotAt(TCanvas& canvas, int x, int y, THotSpot& spot) {
  TLinkRun* oldLink = FActiveLink;
  TTextObject* oldImage = FActiveImage;
  FActiveLink = nullptr;
  FActiveImage = nullptr;
  spot = THotSpot{};
  bool hit = TCellBasic::HotSpotAt(canvas, x, y, spot);
  FActiveLink = spot.LinkRun;
  FActiveImage = spot.Image;
  if (FHoverStylesUsed) {
    int oldId = oldLink ? oldLink->LinkID() : -1;
    int newId = FActiveLink ? FActiveLink->LinkID() : -1;
    if (oldId != newId) {
      SetLinkHover(oldLink, false);
      SetLinkHover(FActiveLink, true);
      FHost->InvalidateAll();
    }
  }
  if (oldImage != FActiveImage) {
    if (oldImage) oldImage->SetMouseState(0);
    if (FActiveImage) FActiveImage->SetMouseState(FHost->LeftButtonDown() ? 2 : 1);
  }
  return hit;
}

void TSectionList::ClearActiveLinks() {
  if (FActiveLink) SetLinkHover(FActiveLink, false);
  if (FActiveImage) FActiveImage->SetMouseState(0);
  FActiveLink = nullptr;
  FActiveImage = nullptr;
  FHost->InvalidateAll();
}

void TSectionList::LinkFocused(const TRect& box) {
  FHost->ScrollIntoView(box);
  FHost->InvalidateAll();
}

void TSectionList::MouseDownAt(bool down) {
  if (FActiveImage) {
    FActiveImage->SetMouseState(down ? 2 : 1);
    FHost->InvalidateAll();
  }
}

// ---- passes ----

int TSectionList::DoLayout(TCanvas& canvas, int width, int availHeight, int& scrollWidth) {
  ++FLayoutCounter;
  FHost->StopTimer();
  PrepareFormControls(*this, canvas);
  canvas.SetTextJustification(0, 0);
  if (!FTabOrderList.empty()) {
    int order = 0;
    for (auto& [key, control] : FTabOrderList) control->SetTabOrder(order++);
    FTabOrderList.clear();
  }
  int cursor = 0;
  width = std::clamp(width, 0, MaxLayoutCoord);
  FDocHeight = LayoutOwn(canvas, 0, 0, width, availHeight, 0, scrollWidth, cursor);
  for (TAnimatedGif* gif : FAnimatedImages) {
    gif->SetRunning(false);
    if (!FIsCopy) gif->SetRunning(true);
  }
  if (!FIsCopy && FHost->Showing()) ParkFormControlsNotShown(*this);
  if (!FIsCopy && FPositionList.empty()) {
    CollectSections();
    FPositionList.shrink_to_fit();  // kept as long as the page: no room for growth
  }
  if (!FIsCopy) StartAnimationTimer();
  return FDocHeight;
}

void TSectionList::StartAnimationTimer() {
  if (FIsCopy || FAnimatedImages.empty()) return;
  if (FTimerInterval == 0) FTimerInterval = FirstTimerInterval;
  FHost->StartTimer(FTimerInterval, [this] { AnimationTick(); });
}

void TSectionList::AnimationTick() {
  for (TAnimatedGif* gif : FAnimatedImages)
    if (gif->PaintedLately()) gif->Advance(this);
  if (FTimerInterval != TimerInterval) {
    FTimerInterval = TimerInterval;
    FHost->StartTimer(FTimerInterval, [this] { AnimationTick(); });
  }
}

int TSectionList::DrawDocument(TCanvas& canvas, const TRect& clip, int x) {
  FHost->StopTimer();
  for (TAnimatedGif* gif : FAnimatedImages) gif->SetPaintedLately(false);
  // Palette displays draw through the shared palette for the length of the pass.
  bool palette = false;
  if (ScreenColorBits() <= 8) {
    if (TPalettePtr shared = GlobalPalette()) {
      canvas.SaveState();
      canvas.SelectPalette(shared);
      palette = true;
    }
  }
  FDrawList.clear();
  int y = DrawOwn(canvas, clip, x, x, 0);
  for (auto& item : FDrawList) item->DrawItem(canvas);
  if (palette) canvas.RestoreState();
  if (FScrollTopChanged) {
    if (FHost->Showing()) ParkFormControlsNotShown(*this);
    HidePanelsNotDrawn(*this);
  }
  FScrollTopChanged = false;
  StartAnimationTimer();
  return y;
}

// ---- positions ----

TSectionBase* TSectionList::SectionAtY(int y, int& top, int& index) {
  for (int i = int(FPositionList.size()) - 1; i >= 0; --i) {
    TSectionBase* s = FPositionList[std::size_t(i)];
    if (s->DocumentY() <= y) {
      top = s->DocumentY();
      index = i;
      return s;
    }
  }
  top = 0;
  index = -1;
  return nullptr;
}

int TSectionList::DocPosOf(int sourcePos, bool previous) {
  int p = TCellBasic::DocPosOf(sourcePos, previous);
  return p >= 0 ? p : FCharCount;
}

bool TSectionList::PointFromCaret(TCanvas& canvas, int cursor, int& x, int& y) {
  if (FCharCount > 0 && cursor >= FCharCount) {
    if (!TCellBasic::PointFromCaret(canvas, FCharCount - 1, x, y)) return false;
    y += PastEndDrop;
    return true;
  }
  return TCellBasic::PointFromCaret(canvas, cursor, x, y);
}

bool TSectionList::FindLineY(int sourcePos, int& y) {
  int pos = DocPosOf(sourcePos, false);
  // The position list is in order of y and of character positions alike.
  auto it = std::upper_bound(FPositionList.begin(), FPositionList.end(), pos,
                             [](int p, const TSectionBase* s) { return p < s->FFirstChar; });
  for (; it != FPositionList.begin();) {
    --it;
    if ((*it)->LineYAt(pos, y)) return true;
    if ((*it)->FFirstChar + (*it)->CharCount() <= pos) break;
  }
  y = 0;
  return false;
}

void TSectionList::SetScrollTop(int y) {
  FYOff = y;
  FScrollTopChanged = true;
  MarkPanelsNotDrawn(*this);
  MarkFormControlsNotShown(*this);
}

std::unique_ptr<TFormValues> TSectionList::CollectFormValues() const { return korva::CollectFormValues(*this); }

void TSectionList::AddTabOrder(int tabIndex, TNativeControl* control) {
  char key[16];
  std::snprintf(key, sizeof key, "%05d%03d", std::clamp(tabIndex, 0, 99999), FTabSerial++ % 1000);
  FTabOrderList.emplace(key, control);
}

std::string TSectionList::LayoutDump() const {
  TDumpWriter out;
  out.Line(0) << "document " << FWidth << "x" << FDocHeight;
  TCellBasic::Dump(out, 0);
  return out.Text();
}

}  // namespace korva
