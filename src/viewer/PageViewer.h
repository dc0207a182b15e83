// The viewer widget: one HTML document shown in a double-buffered paint panel with a border
// panel and two scroll bars. It loads pages from text, streams and files, formats them for its
// width, scrolls, tracks the mouse over links and text, selects text and reports link clicks.
#pragma once

#include <QSize>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/Progress.h"
#include "layout/SectionList.h"

class QTimer;

namespace korva {

class TPaintPanel;
class TBorderPanel;
class T32ScrollBar;
class THorzScrollBar;
class TViewerHost;
class TImageObj;
class TFloatingObj;
class TFormControlObj;
class TMemoryStream;
class TCanvas;
class TBitmap;

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum class THtBorderStyle { htFocused, htNone, htSingle };

// The viewer's option set (htOptions).
enum THtmlViewerOption : unsigned {
  htOverLinksActive = 1u << 0,
  htNoLinkUnderline = 1u << 1,
  htPrintTableBackground = 1u << 2,
  htPrintBackground = 1u << 3,
  htPrintMonochromeBlack = 1u << 4,
  htShowDummyCaret = 1u << 5,
  htShowVScroll = 1u << 6,
};
using THtmlViewerOptions = unsigned;

// What a loaded document is.
enum TDocKind : int { dkHtml = 0, dkText = 1, dkImage = 2 };

// A file that cannot be found or read.
class EInOutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// No memory for the off-screen picture of a paint.
class EOutOfResources : public std::runtime_error {
 public:
  EOutOfResources() : std::runtime_error("Out of Resources") {}
};

// Made for one right-click report.
struct TRightClickParameters {
  std::string URL, Target;
  TImageObj* Image = nullptr;
  int ClickImageX = 0, ClickImageY = 0;
  std::u16string ClickedWord;
};

// One place in the viewer's own history.
struct PositionObj {
  std::int64_t Pos = 0;
  int DocKind = dkHtml;
  std::unique_ptr<TFormValues> FormValues;
};

// Mouse buttons and modifier keys as the mouse events report them.
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };
using TShiftState = unsigned;

class TPageViewer : public QWidget {
  Q_OBJECT

 public:
  explicit TPageViewer(QWidget* parent = nullptr);
  ~TPageViewer() override;

  // ---- loading ----
  // Shows `source` as a new document; `reference` names it and may end in "#anchor".
  void LoadSource(const std::string& source, const std::string& reference, int docType = dkHtml);
  // The whole stream (or byte string) as an HTML page; the stream is not kept.
  void LoadStream(TMemoryStream& stream, const std::string& reference);
  void LoadStream(std::string_view bytes, const std::string& reference);
  // A file, whose name may carry "#anchor"; EInOutError when it does not exist.
  void LoadDocumentFile(const std::string& fileName, int docType);
  void OpenHtmlFile(const std::string& fileName);
  void OpenImageFile(const std::string& fileName);
  void ClearDocument();
  // Scrolls a named place (any letter case, one leading "#" allowed) to the top.
  bool GoToAnchor(const std::string& name);
  // A link target as a file name (network URLs stay as they are).
  std::string ExpandLinkName(const std::string& url) const;
  // The file of a style sheet the page names, inside the page's folder; empty when none may be read.
  std::string SheetFileName(const std::string& url) const;

  // ---- published properties ----
  TColor DefBackground() const { return FDefBackground; }
  void SetDefBackground(TColor c);
  TColor DefFontColor() const { return FDefFontColor; }
  void SetDefFontColor(TColor c) { FDefFontColor = c; }
  TColor DefHotSpotColor() const { return FDefHotSpotColor; }
  void SetDefHotSpotColor(TColor c);
  TColor DefVisitedLinkColor() const { return FDefVisitedLinkColor; }
  void SetDefVisitedLinkColor(TColor c);
  TColor DefOverLinkColor() const { return FDefOverLinkColor; }
  void SetDefOverLinkColor(TColor c);
  const std::string& DefFontName() const { return FDefFontName; }
  void SetDefFontName(const std::string& name) { FDefFontName = name; }
  const std::string& DefPreFontName() const { return FDefPreFontName; }
  void SetDefPreFontName(const std::string& name);
  int DefFontSize() const { return FDefFontSize; }
  void SetDefFontSize(int size) { FDefFontSize = size; }
  std::uint8_t CharSet() const { return FCharSet; }
  void SetCharSet(std::uint8_t cs) { FCharSet = cs; }
  int MarginWidth() const { return FMarginWidth; }
  void SetMarginWidth(int w) { FMarginWidth = w; }
  int MarginHeight() const { return FMarginHeight; }
  void SetMarginHeight(int h) { FMarginHeight = h; }
  bool ViewImages() const { return FViewImages; }
  void SetViewImages(bool on);
  int VisitedMaxCount() const { return FVisitedMaxCount; }
  void SetVisitedMaxCount(int n);
  int HistoryMaxCount() const { return FHistoryMaxCount; }
  void SetHistoryMaxCount(int n);
  int ImageCacheCount() const { return FImageCacheCount; }
  void SetImageCacheCount(int n);
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle s);
  THtBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(THtBorderStyle s);
  bool NoSelect() const { return FNoSelect; }
  void SetNoSelect(bool on);
  THtmlViewerOptions htOptions() const { return FOptions; }
  void SethtOptions(THtmlViewerOptions options);
  const std::string& ServerRoot() const { return FServerRoot; }
  void SetServerRoot(const std::string& root);
  double PrintMarginLeft() const { return FPrintMargins[0]; }
  double PrintMarginRight() const { return FPrintMargins[1]; }
  double PrintMarginTop() const { return FPrintMargins[2]; }
  double PrintMarginBottom() const { return FPrintMargins[3]; }
  void SetPrintMarginLeft(double v) { FPrintMargins[0] = v; }
  void SetPrintMarginRight(double v) { FPrintMargins[1] = v; }
  void SetPrintMarginTop(double v) { FPrintMargins[2] = v; }
  void SetPrintMarginBottom(double v) { FPrintMargins[3] = v; }
  double PrintScale() const { return FPrintScale; }
  void SetPrintScale(double v);

  // ---- document state ----
  const std::string& SourceText() const { return FSourceText; }
  const std::string& CurrentFile() const { return FDocFile; }
  int DocType() const { return FDocType; }
  const std::string& DocumentTitle() const { return FDocTitle; }
  const std::string& Base() const { return FDocBase; }
  const std::string& BaseTarget() const { return FDocBaseTarget; }
  int DocHeight() const { return FDocHeight; }
  int ScrollWidth() const { return FScrollWidth; }
  int BarWidth() const { return FBarWidth; }
  bool Processing() const { return FProcessing; }
  int RefreshDelay() const { return FRefreshDelay; }
  const std::string& RefreshURL() const { return FRefreshURL; }
  TSectionList& Document() { return *FDocument; }
  const std::vector<std::string>& Visited() const { return FVisited; }
  const std::vector<std::string>& History() const { return FHistory; }
  const std::vector<std::string>& TitleHistory() const { return FTitleHistory; }
  int HistoryIndex() const { return FHistoryIndex; }
  // Selection as document character positions (-1, -1: none).
  int SelStart() const;
  int SelLength() const;
  // The selected text in UTF-8: paragraph and line breaks as "\n", pictures and controls left
  // out. Empty without a selection.
  std::string SelectedText();
  // Selects the whole page (not when selecting is switched off).
  void SelectAll();
  // The selection to the clipboard, as plain text and as the page's own markup for that range;
  // false when nothing is selected.
  bool CopyToClipboard();
  // The markup of the page behind the selection (its source bytes in UTF-8), or empty.
  std::string SelectedSource();
  // A selection made with the mouse becomes the desktop's primary selection, where it has one.
  void OfferSelection();

  // ---- find in page ----
  // Highlights every match of the text (UTF-8) and makes current the first one at or below the
  // top of the view, scrolled into view; returns the number of matches. Empty text clears.
  int Find(const std::string& text, bool matchCase);
  // The next (or previous) match becomes current and is scrolled into view; wrapped says that
  // the search went round the end (or the start). False when there is no match.
  bool FindNext(bool backward, bool* wrapped = nullptr);
  void ClearFind() { Find(std::string(), false); }
  int MatchCount() const;
  int CurrentMatch() const;  // 0-based, -1 when none
  int CaretPos() const { return FCaretPos; }

  // ---- scrolling ----
  int Position() const;
  void SetPosition(int y);  // scrolls to a document y (clamped)
  int HScrollPos() const;
  void SetHScrollPos(int x);
  int MaxVertical() const;  // the largest position
  // Position as a section number and an offset into it, and back: the same text stays at the
  // top when a new width changes the layout. Positions above the first section are kept as
  // they are.
  static constexpr std::int64_t SectionUnit = std::int64_t(1) << 32;
  std::int64_t SavePosition();
  void RestorePosition(std::int64_t saved);
  // Formats again for the current size, keeping the text at the top.
  void Reformat();

  // ---- the parts (for the owner and for tests) ----
  TPaintPanel* PaintPanel() const { return FPaintPanel; }
  T32ScrollBar* VScrollBar() const { return FVScrollBar; }
  THorzScrollBar* HScrollBar() const { return FHScrollBar; }
  QWidget* BorderPanel() const;
  bool BorderShown() const;
  QTimer* HoverTimer() const { return FHoverTimer; }
  bool AutoScrolling() const { return FAutoScrolling; }
  bool PanMode() const { return FPanMode; }
  const std::string& OverURL() const { return FOverURL; }
  // The engine's cursor id the paint panel shows (0 the arrow, 1 the hand, 2 the thin I-beam,
  // 3 up and down, 4 up only, 5 down only).
  int PanelCursorId() const { return FPanelCursorId; }
  // The cursor the viewer uses over text (by default the thin I-beam).
  int TextCursorId() const { return FTextCursorId; }
  void SetTextCursorId(int id) { FTextCursorId = id; }
  // Paints a rectangle of the paint panel into a bitmap canvas placed at its top-left (what the
  // panel's paint does before putting the picture on screen).
  void PaintTo(TCanvas& canvas, const TRect& clip);

  // ---- events (Sender first) ----
  std::function<void(TPageViewer* sender, const std::string& src)> OnHotSpotCovered;
  std::function<void(TPageViewer* sender, const std::string& src, bool& handled)> OnHotSpotClick;
  std::function<void(TPageViewer* sender, const std::string& src, TBitmapPtr& bitmap, TColor& color)> OnBitmapRequest;
  std::function<void(TPageViewer* sender, const std::string& src, TMemoryStream*& stream)> OnImageRequest;
  std::function<void(TPageViewer* sender, const std::string& name, const std::string& language,
                     const std::string& script)>
      OnScript;
  std::function<void(TPageViewer* sender, const std::string& action, const std::string& target,
                     const std::string& encType, const std::string& method, const std::vector<std::string>& results)>
      OnFormSubmit;
  std::function<void(TPageViewer* sender)> OnHistoryChange;
  std::function<void(TPageViewer* sender, TProgressStage stage, int percentDone)> OnProgress;
  std::function<void(TPageViewer* sender, bool processingOn)> OnProcessing;
  std::function<void(TPageViewer* sender, const std::string& command, std::vector<std::string> params,
                     std::string& text)>
      OnInclude;
  std::function<void(TPageViewer* sender, const std::string& src, int loop, bool terminate)> OnSoundRequest;
  std::function<void(TPageViewer* sender, const std::string& httpEq, const std::string& name,
                     const std::string& content)>
      OnMeta;
  std::function<void(TPageViewer* sender, const std::string& rel, const std::string& rev, const std::string& href)>
      OnLink;
  std::function<void(TPageViewer* sender, int delay, const std::string& url)> OnMetaRefresh;
  std::function<void(TPageViewer* sender, TImageObj* image, int x, int y, TMouseButton button, TShiftState shift)>
      OnImageClick;
  std::function<void(TPageViewer* sender, TImageObj* image, int x, int y, TShiftState shift)> OnImageOver;
  std::function<void(TPageViewer* sender, TFormControlObj& obj, std::string& text)> OnFileBrowse;
  std::function<void(TPageViewer* sender, TFormControlObj& obj, const std::string& script)> OnObjectClick,
      OnObjectFocus, OnObjectBlur, OnObjectChange;
  std::function<void(TPageViewer* sender, const TRightClickParameters& parameters)> OnRightClick;
  std::function<void(TPageViewer* sender, TMouseButton button, TShiftState shift, int x, int y)> OnMouseDouble;
  std::function<void(TPageViewer* sender, const std::string& name, const std::string& type, const std::string& src,
                     TNativeControl& panel)>
      OnPanelCreate;
  std::function<void(TPageViewer* sender, TNativeControl& panel)> OnPanelDestroy;
  std::function<void(TPageViewer* sender, TNativeControl& panel, TBitmap& bitmap)> OnPanelPrint;
  // The bytes a URL names (linked style sheets); false when the handler has none.
  std::function<bool(TPageViewer* sender, const std::string& src, std::string& data)> OnhtStreamRequest;
  std::function<void(TPageViewer* sender, std::string& source)> OnParseBegin;
  std::function<void(TPageViewer* sender)> OnParseEnd;
  // The layout's error dialog; without a handler a message box is shown.
  std::function<void(TPageViewer* sender, const std::string& message)> OnErrorDialog;

  // The system's wheel setting: lines a wheel notch scrolls (0 or less: half the wheel's delta
  // in pixels). Reads the application's setting unless replaced.
  std::function<int()> WheelScrollLines;

  // How many times the document has been formatted (each width tried counts).
  int FormatCount() const { return FDocument->LayoutCounter(); }
  // Paints of the paint panel so far.
  int PaintCount() const { return FPaintCount; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  friend class TPaintPanel;
  friend class TViewerHost;

  // ---- loading and formatting (PageViewer.cpp) ----
  void BeginProcessing();
  void EndProcessing();
  void ApplyDefaultsToDocument();
  void DoLoad(const std::string& name, const std::string& anchor, int docType, const std::string* source,
              bool stopSound, const std::string* imagePage = nullptr);
  void LayoutAtWidth(int width);
  void Format();
  void ArrangeBars();
  void ScrollToY(int y);
  void AddVisited(const std::string& s);
  void MarkVisitedLinks();
  std::string LinkFullTarget(std::string_view link) const;
  void BumpHistory(std::int64_t savedPos);
  void MetaHandler(const std::string& httpEq, const std::string& name, const std::string& content);
  void RaiseMetaRefresh();
  void MakeVisible(const TRect& r);
  void BackgroundChanged();

  // ---- painting and scrolling (ViewerPaint.cpp) ----
  void PaintPanelEvent(const QRect& clip);
  void DrawBackground(TCanvas& canvas, const TRect& clip);
  void UpdateBorder();
  void VScrollAction(int action);
  void HScrollAction(int action);
  // Moves to y (clamped) and repaints: a strip when `line` allows it, else everything.
  void ScrollVertically(int y, bool line);

  // ---- mouse, keys and hot spots (ViewerMouse.cpp) ----
  void PanelMouseDown(QMouseEvent* event);
  void PanelMouseMove(QMouseEvent* event);
  void PanelMouseUp(QMouseEvent* event);
  void PanelDoubleClick(QMouseEvent* event);
  void PanelLeave();
  void HoverTimerTick();
  void ExtendSelection(int x, int y);
  void ShowCurrentMatch();
  // After a scroll by the wheel: the link and cursor under the mouse, as a move would find them.
  void RefreshHover();
  void StartAutoScroll();
  void AutoScrollStep();
  bool AutoScrollWanted() const;
  void EndPanMode();
  void ProcessHotSpotClick();
  void PostHotSpotClick();
  void SetPanelCursor(int id);
  bool WordAt(int x, int y, std::u16string& word, int& first, int& last);
  // The document character position nearest a panel point (-1 none); `under` is the
  // character the point lies on rather than the gap nearest to it.
  int DocCaretAt(int x, int y, bool* inText = nullptr, int* under = nullptr);

  // ---- parts ----
  std::unique_ptr<TViewerHost> FHost;
  std::unique_ptr<TStringBitmapList> FImageCache;
  std::unique_ptr<TSectionList> FDocument;
  TBorderPanel* FBorderPanel = nullptr;
  TPaintPanel* FPaintPanel = nullptr;
  T32ScrollBar* FVScrollBar = nullptr;
  THorzScrollBar* FHScrollBar = nullptr;
  QTimer* FHoverTimer = nullptr;
  QTimer* FAutoScrollTimer = nullptr;
  // Layout and hit tests measure through a canvas on a 1-pixel bitmap.
  std::unique_ptr<TBitmap> FMeasureBitmap;
  std::unique_ptr<TCanvas> FMeasureCanvas;

  // ---- properties ----
  TColor FDefBackground = clBtnFace, FDefFontColor = clBtnText, FDefHotSpotColor = clBlue,
         FDefVisitedLinkColor = clPurple, FDefOverLinkColor = clBlue;
  std::string FDefFontName = "Times New Roman", FDefPreFontName = "Courier New";
  int FDefFontSize = 12;
  std::uint8_t FCharSet = 1;  // DEFAULT_CHARSET
  int FMarginWidth = 10, FMarginHeight = 5;
  bool FViewImages = true;
  int FVisitedMaxCount = 50, FHistoryMaxCount = 0, FImageCacheCount = 5;
  TScrollStyle FScrollBars = TScrollStyle::ssBoth;
  THtBorderStyle FBorderStyle = THtBorderStyle::htFocused;
  bool FNoSelect = false;
  THtmlViewerOptions FOptions = htPrintTableBackground | htPrintMonochromeBlack;
  std::string FServerRoot;
  double FPrintMargins[4] = {2.0, 2.0, 2.0, 2.0};
  double FPrintScale = 1.0;

  // ---- document state ----
  std::string FSourceText, FDocFile, FDocTitle, FDocBase, FDocBaseTarget, FExtraBase;
  int FDocType = dkHtml;
  int FDocHeight = 0, FScrollWidth = 0, FBarWidth = 16;
  bool FProcessing = false, FFormatting = false, FConstructed = false;
  QSize FFormattedSize;  // the size the document was last formatted for
  int FRefreshDelay = 0;
  std::string FRefreshURL;
  std::vector<std::string> FHistory, FTitleHistory;
  std::vector<std::unique_ptr<PositionObj>> FPositionHistory;
  int FHistoryIndex = 0;
  std::vector<std::string> FVisited;

  // ---- interaction state ----
  std::string FOverURL, FOverTarget, FOverTitle;
  bool FPanMode = false;
  int FPanStartY = 0;
  bool FAutoScrolling = false;
  bool FLeftDown = false;       // went down on the panel and has not come up
  bool FLeftHeld = false;       // the left button is held (for the automatic scroll loop)
  bool FMouseInPanel = false;
  QPoint FMousePos;             // last mouse point on the panel
  bool FSelecting = false;
  int FSelAnchor = -1;
  int FCaretPos = 0;
  bool FLinkClicked = false;
  bool FFixedBackground = false;
  bool FInLinkProcessing = false;  // the viewer is following a link itself
  bool FFocusingControl = false;   // the viewer is handing focus to a form control
  bool FPainting = false;
  int FPanelCursorId = 0;
  int FTextCursorId = 2;
  qint64 FLastAutoStep = 0;
  int FPaintCount = 0;
  // The background picture made ready for tiling, and the picture it was made from.
  TImageGraphic FBgSource;
  std::shared_ptr<TBitmap> FBgTile, FBgTileMask;
  int FBgImageW = 0, FBgImageH = 0;
  void ResetBackgroundTile();
};

}  // namespace korva
