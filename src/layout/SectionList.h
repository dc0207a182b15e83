// The document: the root cell of the section tree and everything that belongs to the page as a
// whole (style list, named anchors, links, images, maps, background, selection, animation).
// It is the one object behind what the lower modules ask of their owner: image fetching and
// animation, the y of a source position's line, the reader's document questions, hover rules.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/IDNameList.h"
#include "core/Progress.h"
#include "core/ReaderDocument.h"
#include "images/AnimatedGif.h"
#include "images/BitmapCache.h"
#include "images/ImageFetch.h"
#include "layout/Cell.h"
#include "layout/DocumentStore.h"
#include "layout/FontObj.h"
#include "layout/LayoutHost.h"
#include "style/Properties.h"
#include "style/StyleList.h"

namespace korva {

class TMapItem;
class TInlineList;
class TPanelObj;
class ThtmlForm;
class TFormControlObj;

// The state of a page's form controls: per form, per control, the control's own record.
using TFormValues = std::vector<std::vector<std::vector<std::u16string>>>;

// Something drawn after the flow (floating images, positioned items), in the order added.
class TDrawItem {
 public:
  virtual ~TDrawItem() = default;
  virtual void DrawItem(TCanvas& canvas) = 0;
};

// The viewer's settings that a document starts from.
struct TDocumentDefaults : TStyleDefaults {
  TColor BackgroundColor = clWindow;
  bool HoverEffects = false;  // the viewer asks for hover effects
};


class TSectionList : public TCell,
                     public TLineLocator,
                     public TStyleListDocument,
                     public TReaderDocument,
                     public TImageHost,
                     public TAnimationHost {
 public:
  // A null host lays out and draws without any window (a THeadlessHost is used). A null cache
  // makes the document keep its own.
  explicit TSectionList(TLayoutHost* host = nullptr, TStringBitmapList* cache = nullptr);
  ~TSectionList() override;

  TLayoutHost& Host() const { return *FHost; }
  TStyleList& Styles() { return FStyles; }
  TIDNameList& IDNameList() { return FIDNames; }
  // Where finished text sections keep their characters and source positions.
  TDocumentStore& Store() { return FStore; }
  TStringBitmapList& ImageCache() { return *FImageCache; }

  // Empties all document state.
  void Clear() override;
  void ApplyDefaults(const TDocumentDefaults& defaults);

  // ---- fonts ----
  // The font of a property set, made once per document for each description.
  const TDocFont& FontFor(const TProperties& props);
  const TDocFont& FontFor(const ThtFontInfo& info);
  // The four state fonts of a link's property set, made once per document for each description.
  const TLinkFontSet& LinkFontsFor(const TFontInfoArray& fonts);
  // A link run's font paired with its state fonts, made once per pair.
  const TRunFonts& RunFontsFor(const TDocFont* font, const TLinkFontSet* links);
  int FontCount() const { return int(FFonts.size()); }

  // ---- background ----
  TColor BackgroundColor() const { return FBackgroundColor; }
  void SetBackgroundColor(TColor c);
  std::function<void()> OnBackgroundChange;
  void SetBackgroundSource(const std::string& name, const TBackgroundPosArray& pos);
  const std::string& BackgroundSource() const { return FBackgroundName; }
  const TBackgroundPosArray& BackgroundPos() const { return FBackgroundPos; }
  // Loaded once on first use through the image cache; null when there is none or it failed.
  const TImageGraphic* BackgroundBitmap(TBitmapPtr* mask = nullptr);

  // ---- images ----
  // Fetches through the cache and the host's requests. Pictures are cached by the file the
  // viewer resolves their name to, so the same name on pages in two folders is two pictures.
  // Image objects pass their source already expanded when the host has no image requests.
  TFetchResult FetchImage(const std::string& sourceName, TransparencyMode& mode);
  // A background picture by its name as written, resolved like an image's source.
  TFetchResult FetchBackground(const std::string& name, TransparencyMode& mode);
  // Gives back what FetchImage or FetchBackground handed out under that name.
  void ReleaseImage(const std::string& sourceName);
  // A picture whose bytes the page holds itself (the markup of an inline SVG element): kept by
  // the document under a name it makes up and returns, which FetchImage then serves before any
  // host or file is asked. The name cannot clash with a member or file name.
  std::string AddInlineImage(std::string bytes);
  bool IsInlineImage(const std::string& sourceName) const;
  // The bytes kept under such a name; null for any other name.
  const std::string* InlineImageBytes(const std::string& sourceName) const;
  std::vector<TAnimatedGif*> FAnimatedImages;                     // not owned
  std::vector<std::pair<std::string, void*>> FMissingImages;      // pending: upper-cased name, waiting object
  std::vector<std::string> FFailedImages;                         // names that could not load
  // Client-side maps by upper-cased name, in the order their MAP elements closed.
  std::vector<std::pair<std::string, std::shared_ptr<TMapItem>>> FMapList;
  TMapItem* FindMap(std::string_view name) const;
  void AddMap(const std::string& name, std::shared_ptr<TMapItem> map);
  void AddAnimatedImage(TAnimatedGif* gif);
  void RemoveAnimatedImage(TAnimatedGif* gif);
  // Panels of the page (PanelObj.h), not owned: each adds itself when made and leaves when freed.
  std::vector<TPanelObj*> FPanelList;
  // An object going away: it leaves the pending list and stops being the active image.
  void ForgetObject(const void* object);
  // A section dropped from its cell: it leaves the position list and the id list.
  void ForgetSection(TSectionBase* section);

  // ---- forms ----
  std::vector<std::unique_ptr<ThtmlForm>> FHtmlFormList;  // each form owns its controls
  std::vector<TFormControlObj*> FFormControlList;         // every control, in document order
  // What the page's controls hold (for the history), or null when the page has no forms.
  std::unique_ptr<TFormValues> CollectFormValues() const;

  // ---- links and hover ----
  std::vector<TLinkRun*> FLinkList;  // not owned: the link records of font runs (TRunExtra)
  // Keyboard stops of links, by the link record of each link's first run (pages with many links
  // have none); a record drops its stop as it goes.
  std::unordered_map<const TRunExtra*, std::unique_ptr<TNativeControl>> FLinkStops;
  bool FHoverStylesUsed = false;
  TColor FLinkColor = clBlue, FVisitedColor = clPurple, FHoverColor = clBlue;
  std::string FPreFontName;
  TLinkRun* FActiveLink = nullptr;
  TTextObject* FActiveImage = nullptr;
  // Every run of the link goes into or out of its hover state.
  void SetLinkHover(const TLinkRun* link, bool on);

  // ---- passes ----
  // Lays the document out for a width; returns its height.
  int DoLayout(TCanvas& canvas, int width, int availHeight, int& scrollWidth);
  // Draws the part of the document in the clip rectangle (document coordinates).
  int DrawDocument(TCanvas& canvas, const TRect& clip, int x);
  // Hover tracking for a mouse move at a document point.
  bool DocHotSpotAt(TCanvas& canvas, int x, int y, THotSpot& spot);
  void ClearActiveLinks();
  void MouseDownAt(bool down);
  int LayoutCounter() const { return FLayoutCounter; }
  int DocumentHeight() const { return FDocHeight; }
  int LaidWidth() const { return FWidth; }

  // ---- positions ----
  std::vector<TSectionBase*> FPositionList;  // sections in order of y, not owned
  // The last section of the position list whose top is at or above y; null when none.
  TSectionBase* SectionAtY(int y, int& top, int& index);
  int DocPosOf(int sourcePos, bool previous);
  bool PointFromCaret(TCanvas& canvas, int cursor, int& x, int& y);
  bool FindLineY(int sourcePos, int& y) override;
  int FSelB = -1, FSelE = -1;  // selection, cursor positions

  // ---- find in page ----
  // Finds every occurrence of the text (matches within one text section, across font runs,
  // links and lines) and keeps them as the page's highlights, in order; returns how many.
  // An empty text clears them.
  int FindInPage(const std::u16string& text, bool matchCase);
  // Marks one highlight as the current one (drawn distinctly); -1 for none.
  void SetCurrentHighlight(int index) { FCurrentHighlight = index; }
  int CurrentHighlight() const { return FCurrentHighlight; }
  const std::vector<std::pair<int, int>>& Highlights() const { return FHighlights; }
  // The index of the highlight holding or following doc position pos (Highlights().size() when none).
  std::size_t HighlightFrom(int pos) const;
  std::vector<std::pair<int, int>> FHighlights;
  int FCurrentHighlight = -1;
  int FYOff = 0;               // scroll position of the viewer
  int FXOff = 0;               // its horizontal scroll position (native controls are placed by it)
  void SetScrollTop(int y);
  bool FScrollTopChanged = false;

  // ---- draw list, tab order, inline borders ----
  std::vector<std::unique_ptr<TDrawItem>> FDrawList;
  void AddDrawItem(std::unique_ptr<TDrawItem> item) { FDrawList.push_back(std::move(item)); }
  // Tab-indexed focusable items: key = tab index (5 digits) + serial (3 digits).
  std::multimap<std::string, TNativeControl*> FTabOrderList;
  void AddTabOrder(int tabIndex, TNativeControl* control);
  // Borders of inline elements; made by the first inline element with borders.
  std::shared_ptr<TInlineList> FInlineList;

  // ---- section numbers, progress, link focus ----
  // The last number given to a finished text section that holds characters.
  int FSectionCount = 0;

 private:
  TDocumentStore FStore;  // emptied by Clear once the sections are gone
  // A page whose text took this much (a page of about 2 MB) gives the memory it freed back to
  // the system when it is cleared.
  static constexpr std::size_t ReleaseAfterStoreBytes = std::size_t(1) << 20;

 public:
  // Formatting progress for the viewer (stage, percentage done).
  std::function<void(TProgressStage stage, int percentDone)> OnProgress;
  // The layout pass and the section number that last reported progress.
  int FProgressCycle = -1, FProgressSection = 0;
  // The last caret hit test's fit (section, line, pixel offset, character count): pointing
  // stays on one line while the mouse moves, so it is kept once for the document.
  struct TCaretFit {
    const void* Section = nullptr;
    int Line = -1, X = 0, Count = 0;
  } FCaretFit;
  // A link's keyboard stop got the focus: the link's box (document coordinates) is scrolled
  // into view.
  void LinkFocused(const TRect& box);
  // Enter on a focused link: the viewer takes the link as its pending click and follows it.
  std::function<void(const TUrlTarget& link)> OnLinkClick;
  void LinkClicked(const TUrlTarget& link) {
    if (OnLinkClick) OnLinkClick(link);
  }

  // While a list item is laid out: where the first text line laid out stores its baseline (the
  // line then sets this back to null). Set by TBlockLI.
  int* FFirstLineBaseline = nullptr;

  // Printing state honoured by the drawing passes (nothing here turns printing on).
  bool FPrinting = false;
  bool FPrintBackground = false;
  int FPageBottom = 0;
  bool FIsCopy = false;

  // ---- upward interfaces ----
  void HoverStyleAdded() override { FHoverStylesUsed = true; }
  bool HasBitmapRequest() const override { return FHost->HasBitmapRequest(); }
  bool HasImageRequest() const override { return FHost->HasImageRequest(); }
  void BitmapRequest(const std::string& source, TBitmapPtr& bitmap, TColor& color) override {
    FHost->BitmapRequest(source, bitmap, color);
  }
  void ImageRequest(const std::string& source, TMemoryStream*& stream) override { FHost->ImageRequest(source, stream); }
  std::string ExpandImageName(const std::string& source) override { return FHost->ExpandImageName(source); }
  void InvalidateRect(const TRect& r, bool erase) override { FHost->InvalidateRect(r, erase); }

  // The animation timer's period: advances every animated image drawn in the last paint.
  void AnimationTick();

  // The laid-out tree as text (LayoutDump.h).
  std::string LayoutDump() const;

 private:
  void StartAnimationTimer();
  std::unique_ptr<THeadlessHost> FOwnHost;
  TLayoutHost* FHost;
  std::unique_ptr<TStringBitmapList> FOwnCache;
  TStringBitmapList* FImageCache;
  TStyleList FStyles;
  TIDNameList FIDNames;
  // Fonts by their whole description: looked up for every run of text, so no text key is made.
  struct TFontInfoHash {
    std::size_t operator()(const ThtFontInfo& info) const;
  };
  struct TFontInfoEqual {
    bool operator()(const ThtFontInfo& a, const ThtFontInfo& b) const;
  };
  std::unordered_map<ThtFontInfo, TDocFontPtr, TFontInfoHash, TFontInfoEqual> FFonts;
  // Link state font sets by their four fonts; consecutive links nearly always ask for the last.
  std::map<std::array<const TDocFont*, 4>, std::unique_ptr<TLinkFontSet>> FLinkFontSets;
  std::map<std::pair<const TDocFont*, const TLinkFontSet*>, std::unique_ptr<TRunFonts>> FRunFontPairs;
  TFontInfoArray FLastLinkInfo;
  const TLinkFontSet* FLastLinkSet = nullptr;
  TColor FBackgroundColor = clWindow;
  std::string FBackgroundName;
  TBackgroundPosArray FBackgroundPos{};
  bool FBackgroundLoaded = false;
  // The cache key each name fetched was resolved to, for giving it back (upper-cased names).
  std::unordered_map<std::string, std::string> FCacheKeys;
  // Bytes of the page's own pictures by the names AddInlineImage made (InlineImagePrefix + number).
  std::unordered_map<std::string, std::string> FInlineImages;
  TFetchResult FetchResolved(const std::string& name, const std::string& file, TransparencyMode& mode);
  TImageGraphic FBackgroundImage;
  TBitmapPtr FBackgroundMask;
  int FLayoutCounter = 0;
  int FDocHeight = 0;
  int FTimerInterval = 0;
  int FTabSerial = 0;
};

}  // namespace korva
