// The viewer: construction, properties, loading, formatting and the scroll bar arrangement,
// anchors, visited links and the viewer's own history.
#include "viewer/PageViewer.h"

#include <QApplication>
#include <QDir>
#include <QResizeEvent>
#include <QTimer>
#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "core/CharCase.h"
#include "html/HtmlBuilder.h"
#include "layout/FontObj.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/MemoryStream.h"
#include "platform/QtBridge.h"
#include "platform/System.h"
#include "url/Url.h"
#include "viewer/ViewerHost.h"
#include "viewer/ViewerPath.h"
#include "viewer/ViewerWidgets.h"

namespace korva {

namespace {

// The widest content the horizontal bar scrolls over.
constexpr int MaxScrollWidth = 6000;
// Sources this long are formatted once, at the width that leaves room for the vertical bar.
constexpr std::size_t LongSource = 10000;
constexpr int MaxImageCacheCount = 20;

// Runs a clean-up when the scope ends, also by an exception.
template <class F>
class TFinally {
 public:
  explicit TFinally(F f) : FF(std::move(f)) {}
  ~TFinally() { FF(); }
  TFinally(const TFinally&) = delete;
  TFinally& operator=(const TFinally&) = delete;

 private:
  F FF;
};

void SplitAnchor(const std::string& reference, std::string& name, std::string& anchor) {
  const std::size_t hash = reference.find('#');
  if (hash == std::string::npos) {
    name = reference;
    anchor.clear();
  } else {
    name = reference.substr(0, hash);
    anchor = reference.substr(hash + 1);
  }
}

bool ReadFileBytes(const std::string& fileName, std::string& data) {
  std::ifstream in(NativePath(fileName), std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  data = s.str();
  return true;
}

}  // namespace

// ---- construction ----

TPageViewer::TPageViewer(QWidget* parent) : QWidget(parent) {
  EnsureGuiApplication();
  setFocusPolicy(Qt::StrongFocus);
  FBorderPanel = new TBorderPanel(this);
  FPaintPanel = new TPaintPanel(this, this);
  FPaintPanel->move(1, 1);
  FVScrollBar = new T32ScrollBar(this);
  FHScrollBar = new THorzScrollBar(this);
  FBarWidth = FVScrollBar->sizeHint().width();
  if (FBarWidth <= 0) FBarWidth = 16;
  FVScrollBar->resize(FBarWidth, FVScrollBar->height());
  connect(FVScrollBar, &QAbstractSlider::actionTriggered, this, [this](int action) { VScrollAction(action); });
  connect(FHScrollBar, &QAbstractSlider::actionTriggered, this, [this](int action) { HScrollAction(action); });

  FHoverTimer = new QTimer(this);
  FHoverTimer->setInterval(200);
  connect(FHoverTimer, &QTimer::timeout, this, [this] { HoverTimerTick(); });
  FAutoScrollTimer = new QTimer(this);
  FAutoScrollTimer->setInterval(100);
  connect(FAutoScrollTimer, &QTimer::timeout, this, [this] { AutoScrollStep(); });

  FMeasureBitmap = TBitmap::Create(1, 1, 32);
  FMeasureCanvas = CreateBitmapCanvas(*FMeasureBitmap);

  FHost = std::make_unique<TViewerHost>(*this);
  FHost->OnFormSubmit = [this](const std::string& action, const std::string& target, const std::string& encType,
                               const std::string& method, const std::vector<std::string>& results) {
    // The handler may replace the document, so it runs once the control's own event is over.
    QMetaObject::invokeMethod(
        this,
        [this, action, target, encType, method, results] {
          if (OnFormSubmit) OnFormSubmit(this, action, target, encType, method, results);
        },
        Qt::QueuedConnection);
  };
  FHost->OnObjectFocus = [this](TFormControlObj& c, const std::string& s) {
    if (OnObjectFocus) OnObjectFocus(this, c, s);
  };
  FHost->OnObjectBlur = [this](TFormControlObj& c, const std::string& s) {
    if (OnObjectBlur) OnObjectBlur(this, c, s);
  };
  FHost->OnObjectChange = [this](TFormControlObj& c, const std::string& s) {
    if (OnObjectChange) OnObjectChange(this, c, s);
  };
  FHost->OnObjectClick = [this](TFormControlObj& c, const std::string& s) {
    if (OnObjectClick) OnObjectClick(this, c, s);
  };
  FHost->OnFileBrowse = [this](TFormControlObj& c, std::string& s) {
    if (OnFileBrowse) OnFileBrowse(this, c, s);
  };
  FHost->OnPanelCreate = [this](const std::string& n, const std::string& t, const std::string& s, TNativeControl& p) {
    if (OnPanelCreate) OnPanelCreate(this, n, t, s, p);
  };
  FHost->OnPanelDestroy = [this](TNativeControl& p) {
    if (OnPanelDestroy) OnPanelDestroy(this, p);
  };
  FHost->OnPanelPrint = [this](TNativeControl& p, TBitmap& b) {
    if (OnPanelPrint) OnPanelPrint(this, p, b);
  };

  FImageCache = std::make_unique<TStringBitmapList>();
  FImageCache->SetMaxAge(FImageCacheCount);
  FDocument = std::make_unique<TSectionList>(FHost.get(), FImageCache.get());
  FDocument->OnBackgroundChange = [this] { BackgroundChanged(); };
  FDocument->OnLinkClick = [this](const TUrlTarget& link) {
    FOverURL = link.Url();
    FOverTarget = link.Target();
    PostHotSpotClick();
  };
  FDocument->OnProgress = [this](TProgressStage stage, int percent) {
    if (OnProgress) OnProgress(this, stage, percent);
  };
  ApplyDefaultsToDocument();
  resize(150, 150);
  ArrangeBars();
  FConstructed = true;
}

TPageViewer::~TPageViewer() {
  FHoverTimer->stop();
  FAutoScrollTimer->stop();
  // The document's controls live on the paint panel, which must still be there.
  FDocument->Clear();
  FDocument.reset();
  FImageCache.reset();
}

QWidget* TPageViewer::BorderPanel() const { return FBorderPanel; }
bool TPageViewer::BorderShown() const { return FBorderPanel->BorderShown(); }

// ---- properties ----

void TPageViewer::SetDefBackground(TColor c) {
  if (FProcessing) return;
  FDefBackground = c;
  FDocument->SetBackgroundColor(c);
  FPaintPanel->update();
}

void TPageViewer::SetDefHotSpotColor(TColor c) {
  FDefHotSpotColor = c;
  FDocument->FLinkColor = c;
}

void TPageViewer::SetDefVisitedLinkColor(TColor c) {
  FDefVisitedLinkColor = c;
  FDocument->FVisitedColor = c;
}

void TPageViewer::SetDefOverLinkColor(TColor c) {
  FDefOverLinkColor = c;
  FDocument->FHoverColor = c;
}

void TPageViewer::SetDefPreFontName(const std::string& name) {
  if (SameText(name, FDefPreFontName)) return;
  FDefPreFontName = name;
  FDocument->FPreFontName = name.substr(0, 32);
}

void TPageViewer::SetViewImages(bool on) {
  if (on == FViewImages || FProcessing) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  BeginProcessing();
  TFinally done([this] {
    EndProcessing();
    QApplication::restoreOverrideCursor();
  });
  FViewImages = on;
  if (FDocument->Count() > 0) {
    const std::int64_t saved = SavePosition();
    Format();
    RestorePosition(saved);
    FPaintPanel->update();
  }
}

void TPageViewer::SetVisitedMaxCount(int n) {
  n = std::max(0, n);
  if (n == FVisitedMaxCount) return;
  FVisitedMaxCount = n;
  if (n == 0) {
    FVisited.clear();
    for (TLinkRun* run : FDocument->FLinkList) run->Visited = false;
    FPaintPanel->update();
  } else if (int(FVisited.size()) > n) {
    FVisited.resize(std::size_t(n));
  }
}

void TPageViewer::SetHistoryMaxCount(int n) {
  if (n < 0 || n == FHistoryMaxCount) return;
  const bool lower = n < FHistoryMaxCount;
  FHistoryMaxCount = n;
  if (lower) {
    const bool had = !FHistory.empty();
    FHistory.clear();
    FTitleHistory.clear();
    FPositionHistory.clear();
    FHistoryIndex = 0;
    if (had && OnHistoryChange) OnHistoryChange(this);
  }
}

void TPageViewer::SetImageCacheCount(int n) {
  n = std::clamp(n, 0, MaxImageCacheCount);
  if (n == FImageCacheCount) return;
  FImageCacheCount = n;
  FImageCache->SetMaxAge(n);
}

void TPageViewer::SetScrollBars(TScrollStyle s) {
  if (s == FScrollBars) return;
  FScrollBars = s;
  if (!FProcessing) {
    Reformat();
    FPaintPanel->update();
  }
}

void TPageViewer::SetBorderStyle(THtBorderStyle s) {
  if (s == FBorderStyle) return;
  FBorderStyle = s;
  UpdateBorder();
  // The panel moves and the width for the text changes with the border.
  if (!FProcessing) Reformat();
}

void TPageViewer::SetNoSelect(bool on) {
  if (on == FNoSelect) return;
  FNoSelect = on;
  if (on) {
    FDocument->FSelB = FDocument->FSelE = -1;
    FPaintPanel->update();
  }
}

void TPageViewer::SethtOptions(THtmlViewerOptions options) {
  if (options == FOptions) return;
  FOptions = options;
  if (options & htOverLinksActive) FDocument->FHoverStylesUsed = true;
  FDocument->FPrintBackground = (options & (htPrintBackground | htPrintTableBackground)) != 0;
}

void TPageViewer::SetServerRoot(const std::string& root) {
  std::string r = UrlTrim(root);
  if (!r.empty() && r.back() == '\\') r.pop_back();
  FServerRoot = r;
}

void TPageViewer::SetPrintScale(double v) { FPrintScale = std::clamp(v, 0.25, 4.0); }

// ---- processing ----

void TPageViewer::BeginProcessing() {
  FProcessing = true;
  if (OnProcessing) OnProcessing(this, true);
}

void TPageViewer::EndProcessing() {
  FProcessing = false;
  if (OnProcessing) OnProcessing(this, false);
}

void TPageViewer::ApplyDefaultsToDocument() {
  TDocumentDefaults d;
  d.FontName = FDefFontName;
  d.PreFontName = FDefPreFontName;
  d.MarginWidth = FMarginWidth;
  d.MarginHeight = FMarginHeight;
  d.CharSet = FCharSet;
  d.UnderlineLinks = !(FOptions & htNoLinkUnderline);
  d.HoverEffects = (FOptions & htOverLinksActive) != 0;
  d.BackgroundColor = FDefBackground;
  d.HoverColor = FDefOverLinkColor;
  d.VisitedColor = FDefVisitedLinkColor;
  d.LinkColor = FDefHotSpotColor;
  d.FontColor = FDefFontColor;
  d.FontSize = FDefFontSize;
  FDocument->ApplyDefaults(d);
  FDocument->FPrintBackground = (FOptions & (htPrintBackground | htPrintTableBackground)) != 0;
}

void TPageViewer::BackgroundChanged() { FPaintPanel->SetColor(FDocument->BackgroundColor()); }

// ---- loading ----

void TPageViewer::LoadSource(const std::string& source, const std::string& reference, int docType) {
  if (FProcessing) return;
  std::string name, anchor;
  SplitAnchor(reference, name, anchor);
  BeginProcessing();
  FRefreshDelay = 0;
  DoLoad(name, anchor, docType, &source, true);
}

void TPageViewer::LoadStream(std::string_view bytes, const std::string& reference) {
  if (FProcessing) return;
  LoadSource(std::string(bytes), reference, dkHtml);
  RaiseMetaRefresh();
}

void TPageViewer::LoadStream(TMemoryStream& stream, const std::string& reference) {
  LoadStream(stream.Bytes(), reference);
}

void TPageViewer::LoadDocumentFile(const std::string& fileName, int docType) {
  if (FProcessing) return;
  std::string name, anchor;
  SplitAnchor(fileName, name, anchor);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  TFinally cursor([] { QApplication::restoreOverrideCursor(); });
  BeginProcessing();
  FRefreshDelay = 0;
  {
    // Processing ends on the way out when the file is missing or cannot be read.
    bool ok = false;
    TFinally failed([&] {
      if (!ok) EndProcessing();
    });
    if (!FileExists(NativePath(name))) throw EInOutError("Can't locate file: " + name);
    std::string text;
    if (docType != dkImage && !ReadFileBytes(name, text)) throw EInOutError("Can't read file: " + name);
    ok = true;
    if (docType == dkImage) {
      // The picture is shown by a one-element page; the source text stays empty.
      const std::string html = "<img src=\"" + name + "\">";
      DoLoad(name, anchor, docType, nullptr, false, &html);
    } else {
      DoLoad(name, anchor, docType, &text, docType == dkHtml);
    }
  }
  RaiseMetaRefresh();
}

void TPageViewer::DoLoad(const std::string& name, const std::string& anchor, int docType, const std::string* source,
                         bool stopSound, const std::string* imagePage) {
  // Processing was set by the caller; everything below ends it.
  const bool wasFormatting = FFormatting;
  FFormatting = true;
  TFinally done([this, wasFormatting] {
    if (OnProgress) OnProgress(this, psEnding, 100);
    EndProcessing();
    FFormatting = wasFormatting;
  });
  const std::string oldFile = FDocFile;
  FDocFile = name.empty() ? std::string() : ExpandFileName(name);
  FDocType = docType;
  FDocument->ProgressShare = 75;
  if (OnProgress) OnProgress(this, psStarting, 0);

  FHoverTimer->stop();
  FDocument->Clear();
  FImageCache->PurgeAged();
  ApplyDefaultsToDocument();
  FCaretPos = 0;
  FSelAnchor = -1;
  if (stopSound && OnSoundRequest) OnSoundRequest(this, "", 1, true);

  FSourceText = source ? *source : std::string();
  if (OnParseBegin) OnParseBegin(this, FSourceText);

  TDocumentBuilder builder(*FDocument);
  TBuilderHandlers handlers;
  if (OnhtStreamRequest)
    handlers.OnStreamRequest = [this](const std::string& url, std::string& data) {
      return OnhtStreamRequest(this, url, data);
    };
  // A sheet the page's own reader does not give is read from the page's folder or below it,
  // never from anywhere else on the machine.
  handlers.UrlToFileName = [this](const std::string& url) { return SheetFileName(url); };
  TStyleList& styles = FDocument->Styles();
  styles.SetImportFetcher([this](const std::string& url, std::string& data) {
    if (OnhtStreamRequest) return OnhtStreamRequest(this, url, data);
    const std::string file = SheetFileName(url);
    if (file.empty()) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    data = bytes.str();
    return true;
  });
  styles.SetMediaEnv({std::max(1, FPaintPanel->width()), std::max(1, FPaintPanel->height()), false});
  if (OnLink)
    handlers.OnLink = [this](const std::string& rel, const std::string& rev, const std::string& href) {
      OnLink(this, rel, rev, href);
    };
  if (OnSoundRequest)
    handlers.OnSoundRequest = [this](const std::string& src, int loop, bool terminate) {
      OnSoundRequest(this, src, loop, terminate);
    };
  builder.Handlers = &handlers;
  builder.MarginWidth = FMarginWidth;
  builder.MarginHeight = FMarginHeight;
  THtmlHandlers reader;
  if (OnInclude)
    reader.OnInclude = [this](const std::string& command, std::vector<std::string> params, std::string& text) {
      OnInclude(this, command, std::move(params), text);
    };
  if (OnScript)
    reader.OnScript = [this](const std::string& n, const std::string& language, const std::string& script) {
      OnScript(this, n, language, script);
    };
  reader.OnMeta = [this](const std::string& httpEq, const std::string& n, const std::string& content) {
    MetaHandler(httpEq, n, content);
  };
  if (OnProgress)
    reader.OnProgress = [this](TProgressStage stage, int percent) { OnProgress(this, stage, percent); };

  if (docType == dkText) BuildTextDocument(*FDocument, FSourceText, builder);
  else BuildHtmlDocument(*FDocument, imagePage ? *imagePage : FSourceText, builder, &reader);

  FDocTitle = builder.Title;
  FDocBase = builder.BaseUrl.empty() ? FExtraBase : builder.BaseUrl;
  FDocBaseTarget = builder.BaseTarget;
  if (OnParseEnd) OnParseEnd(this);
  Format();
  MarkVisitedLinks();

  if (anchor.empty() || !GoToAnchor(anchor)) {
    if (FDocFile.empty() || FDocFile != oldFile) {
      ScrollToY(0);
      SetHScrollPos(0);
    }
  }
  FPaintPanel->update();
}

void TPageViewer::OpenHtmlFile(const std::string& fileName) {
  if (FProcessing || fileName.empty()) return;
  std::string name, anchor;
  SplitAnchor(fileName, name, anchor);
  if (ExpandFileName(name) != FDocFile || FDocType != dkHtml) BumpHistory(SavePosition());
  LoadDocumentFile(fileName, dkHtml);
}

void TPageViewer::OpenImageFile(const std::string& fileName) {
  if (FProcessing || fileName.empty()) return;
  std::string name, anchor;
  SplitAnchor(fileName, name, anchor);
  if (ExpandFileName(name) != FDocFile || FDocType != dkImage) BumpHistory(SavePosition());
  LoadDocumentFile(fileName, dkImage);
}

void TPageViewer::ClearDocument() {
  if (FProcessing) return;
  FHoverTimer->stop();
  FDocument->Clear();
  FImageCache->ClearAll();
  ApplyDefaultsToDocument();
  FDocFile.clear();
  FExtraBase.clear();
  FDocBase.clear();
  FDocBaseTarget.clear();
  FDocTitle.clear();
  FSourceText.clear();
  FDocHeight = 0;
  FScrollWidth = 0;
  FDocument->SetScrollTop(0);
  FVScrollBar->SetParams(0, FPaintPanel->height() + 1, 0, 0);
  FHScrollBar->SetPosition(0);
  ArrangeBars();
  FCaretPos = 0;
  FSelAnchor = -1;
  if (OnSoundRequest) OnSoundRequest(this, "", 1, true);
  FPaintPanel->update();
}

void TPageViewer::MetaHandler(const std::string& httpEq, const std::string& name, const std::string& content) {
  if (OnMeta) OnMeta(this, httpEq, name, content);
  if (!OnMetaRefresh || !SameText(httpEq, "refresh")) return;
  const std::size_t semi = content.find(';');
  const std::string delayText = UrlTrim(content.substr(0, semi));
  int delay = -1;
  const char* end = delayText.data() + delayText.size();
  auto [p, ec] = std::from_chars(delayText.data(), end, delay);
  if (ec != std::errc() || p != end || delayText.empty()) delay = -1;
  if (delay < 0) return;
  FRefreshDelay = std::max(delay, 1);
  const std::string lower = LowerCase(content);
  const std::size_t at = lower.find("url=");
  FRefreshURL = at == std::string::npos ? std::string() : UrlTrim(content.substr(at + 4));
}

void TPageViewer::RaiseMetaRefresh() {
  if (FRefreshDelay > 0 && OnMetaRefresh) OnMetaRefresh(this, FRefreshDelay, FRefreshURL);
}

// ---- formatting ----

void TPageViewer::LayoutAtWidth(int width) {
  const int border = FBorderStyle == THtBorderStyle::htNone ? 0 : 2;
  FScrollWidth = 0;
  FDocHeight = FDocument->DoLayout(*FMeasureCanvas, std::max(0, width), std::max(0, height() - border), FScrollWidth);
}

void TPageViewer::Format() {
  const bool wasFormatting = FFormatting;
  FFormatting = true;
  TFinally done([this, wasFormatting] { FFormatting = wasFormatting; });
  const int border = FBorderStyle == THtBorderStyle::htNone ? 0 : 2;
  const int w = width() - border, h = height() - border;
  if (FScrollBars == TScrollStyle::ssNone || FScrollBars == TScrollStyle::ssHorizontal) {
    LayoutAtWidth(w);
  } else if ((FOptions & htShowVScroll) || FSourceText.size() >= LongSource) {
    LayoutAtWidth(w - FBarWidth);
  } else {
    const bool horz = FScrollBars == TScrollStyle::ssBoth;
    LayoutAtWidth(w);
    if (FDocHeight > h || (horz && FDocHeight >= h - FBarWidth && FScrollWidth > w - FBarWidth)) {
      LayoutAtWidth(w - FBarWidth);
      if (!(FDocHeight > h || (horz && FDocHeight >= h - FBarWidth && FScrollWidth > w))) LayoutAtWidth(w);
    }
  }
  FFormattedSize = size();
  ArrangeBars();
}

void TPageViewer::ArrangeBars() {
  FScrollWidth = std::min(FScrollWidth, MaxScrollWidth);
  int b = 1;
  if (FBorderStyle == THtBorderStyle::htNone) {
    FPaintPanel->move(0, 0);
    FBorderPanel->hide();
    b = 0;
  } else {
    FPaintPanel->move(1, 1);
    FBorderPanel->setGeometry(rect());
    FBorderPanel->show();
    FBorderPanel->lower();
  }
  const int B = 2 * b, H2 = height() - B, W2 = width() - B;
  const bool showV = (FOptions & htShowVScroll) != 0;
  const bool vertAllowed = FScrollBars == TScrollStyle::ssVertical || FScrollBars == TScrollStyle::ssBoth;
  bool hBar = false, vBar = false, vEnabled = false;
  if ((!showV && H2 >= FDocHeight && W2 >= FScrollWidth) || FScrollBars == TScrollStyle::ssNone) {
    // no bars
  } else if (FScrollBars == TScrollStyle::ssHorizontal) {
    hBar = W2 < FScrollWidth;
  } else {
    const bool both = FScrollBars == TScrollStyle::ssBoth;
    const bool needed = H2 <= FDocHeight || (both && H2 - FBarWidth <= FDocHeight && W2 - FBarWidth < FScrollWidth);
    hBar = both && (W2 < FScrollWidth || ((needed || showV) && W2 - FBarWidth < FScrollWidth));
    vBar = needed || showV;
    vEnabled = needed;
  }
  const int wb = (vBar || (showV && vertAllowed)) ? width() - FBarWidth : width();
  const int panelW = std::max(0, wb - B);
  const int hb = std::max(0, hBar ? H2 - FBarWidth : H2);
  FPaintPanel->resize(panelW, hb);

  FHScrollBar->setVisible(hBar);
  FHScrollBar->SetLargeChange(std::max(1, wb - 20));
  FHScrollBar->setGeometry(b, height() - FBarWidth - b, std::max(0, wb - b), FBarWidth);
  FHScrollBar->SetRange(std::max(FScrollWidth, wb - B), wb, panelW);

  FVScrollBar->setGeometry(width() - FBarWidth - b, b, FBarWidth, hb);
  FVScrollBar->SetLargeChange(hb - 16);
  if (showV && vertAllowed) {
    FVScrollBar->setVisible(true);
    FVScrollBar->setEnabled(vEnabled);
  } else {
    FVScrollBar->setVisible(vBar);
    FVScrollBar->setEnabled(true);
  }
  FVScrollBar->SetParams(FVScrollBar->Position(), hb + 1, 0, FDocHeight);
}

void TPageViewer::Reformat() {
  if (FProcessing) return;
  BeginProcessing();
  TFinally done([this] {
    if (OnProgress) OnProgress(this, psEnding, 100);
    EndProcessing();
  });
  const std::int64_t saved = SavePosition();
  FDocument->ProgressShare = 0;
  if (OnProgress) OnProgress(this, psStarting, 0);
  Format();
  RestorePosition(saved);
}

void TPageViewer::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!FConstructed) return;
  if (FProcessing) ArrangeBars();
  else if (size() != FFormattedSize) Reformat();
  else ArrangeBars();
  if (FDocHeight < FPaintPanel->height()) ScrollToY(0);
  else ScrollToY(FVScrollBar->Position());
  SetHScrollPos(FHScrollBar->Position());
}

// ---- positions ----

int TPageViewer::Position() const { return FVScrollBar->Position(); }
int TPageViewer::HScrollPos() const { return FHScrollBar->Position(); }
int TPageViewer::MaxVertical() const { return std::max(0, FDocHeight - FPaintPanel->height()); }
void TPageViewer::SetPosition(int y) { ScrollToY(y); }

void TPageViewer::SetHScrollPos(int x) {
  const int top = std::max(0, FHScrollBar->Maximum() - FPaintPanel->width());
  x = std::clamp(x, 0, top);
  if (x == FHScrollBar->Position()) return;
  FHScrollBar->SetPosition(x);
  FPaintPanel->update();
}

void TPageViewer::ScrollToY(int y) {
  y = std::max(std::min(y, FDocHeight - FPaintPanel->height()), 0);
  FVScrollBar->SetPosition(y);
  FDocument->SetScrollTop(y);
  FPaintPanel->update();
}

std::int64_t TPageViewer::SavePosition() {
  const int p = Position();
  int top = 0, index = -1;
  if (FDocument->SectionAtY(p, top, index) && index >= 0)
    return (std::int64_t(index) + 1) * SectionUnit + std::int64_t(p - top);
  return p;
}

void TPageViewer::RestorePosition(std::int64_t saved) {
  const std::int64_t high = saved / SectionUnit, low = saved % SectionUnit;
  if (high == 0) {
    ScrollToY(int(low));
    return;
  }
  const std::int64_t index = high - 1;
  if (index >= std::int64_t(FDocument->FPositionList.size())) return;
  ScrollToY(FDocument->FPositionList[std::size_t(index)]->DocumentY() + int(low));
}

void TPageViewer::MakeVisible(const TRect& r) {
  const int p = Position(), h = FPaintPanel->height();
  if (FHost->FFocusKind != TControlKind::LinkFocus) {
    if (r.Top < p || r.Top > p + h - 20) ScrollToY(r.Top - h / 2);
  } else {
    if (FFocusingControl) return;
    if (r.Top < p) ScrollToY(r.Top);
    else if (r.Top > p + h - 30) ScrollToY(r.Top - h / 2);
  }
  FPaintPanel->update();
}

// ---- anchors and link names ----

bool TPageViewer::GoToAnchor(const std::string& name) {
  if (name.empty()) return false;
  std::string n = name[0] == '#' ? name.substr(1) : name;
  TIDObject* obj = n.empty() ? nullptr : FDocument->IDNameList().Find(UpperCase(n));
  if (!obj) return false;
  ScrollToY(obj->DocumentY());
  SetHScrollPos(0);
  AddVisited(FDocFile + "#" + n);
  return true;
}

std::string TPageViewer::SheetFileName(const std::string& url) const {
  // With a stream handler the page comes from an archive, whose reader has already answered.
  if (OnhtStreamRequest) return {};
  const std::string inside = UrlConfinedPath(url);
  if (inside.empty()) return {};
  const std::string folder = ExtractFilePath(FDocFile);
  if (folder.empty()) return {};
  return ExpandFileName(folder + inside);
}

std::string TPageViewer::ExpandLinkName(const std::string& url) const {
  const std::size_t scheme = url.find("://");
  if (scheme != std::string::npos && scheme > 0 && LowerCase(url).find("file://") == std::string::npos) return url;
  std::string result = UrlToServerPath(UrlTrim(url), FServerRoot);
  if (!result.empty() && result[0] == '\\') return ExpandFileName(result);
  if ((result.size() > 1 && result[1] == ':') || result.rfind("\\\\", 0) == 0 || SameText(FDocBase, "DosPath"))
    return result;
  if (!FDocBase.empty()) return ExpandFileName(UrlToLocalPath(FDocBase) + result);
  return ExpandFileName(ExtractFilePath(FDocFile) + result);
}

// ---- visited links ----

std::string TPageViewer::LinkFullTarget(std::string_view link) const {
  if (!link.empty() && link[0] == '#') return FDocFile + std::string(link);
  return ExpandLinkName(std::string(link));
}

void TPageViewer::AddVisited(const std::string& s) {
  if (FVisitedMaxCount <= 0) return;
  if (!FVisited.empty() && FVisited.front() == s) return;
  auto it = std::find(FVisited.begin(), FVisited.end(), s);
  if (it != FVisited.end()) {
    FVisited.erase(it);
  } else {
    bool marked = false;
    for (TLinkRun* run : FDocument->FLinkList) {
      if (!run->Visited && SameText(LinkFullTarget(run->UrlTarget.Url()), s)) {
        run->Visited = true;
        marked = true;
      }
    }
    if (marked) FPaintPanel->update();
  }
  FVisited.insert(FVisited.begin(), s);
  if (int(FVisited.size()) > FVisitedMaxCount) FVisited.resize(std::size_t(FVisitedMaxCount));
}

void TPageViewer::MarkVisitedLinks() {
  if (FVisited.empty()) return;
  for (TLinkRun* run : FDocument->FLinkList) {
    const std::string full = LinkFullTarget(run->UrlTarget.Url());
    for (const std::string& v : FVisited)
      if (SameText(full, v)) {
        run->Visited = true;
        break;
      }
  }
}

// ---- history ----

void TPageViewer::BumpHistory(std::int64_t savedPos) {
  if (FHistoryMaxCount <= 0 || FDocFile.empty()) return;
  if (FHistoryIndex < int(FHistory.size())) {
    // The entry being left takes its latest position, and those ahead of it go.
    const std::size_t i = std::size_t(FHistoryIndex);
    if (FHistory[i] == FDocFile && FPositionHistory[i]->DocKind == FDocType && FPositionHistory[i]->Pos == savedPos)
      return;
    FPositionHistory[i]->Pos = savedPos;
    FHistory.erase(FHistory.begin(), FHistory.begin() + FHistoryIndex);
    FTitleHistory.erase(FTitleHistory.begin(), FTitleHistory.begin() + FHistoryIndex);
    FPositionHistory.erase(FPositionHistory.begin(), FPositionHistory.begin() + FHistoryIndex);
  }
  auto pos = std::make_unique<PositionObj>();
  pos->Pos = savedPos;
  pos->DocKind = FDocType;
  pos->FormValues = FDocument->CollectFormValues();
  FHistory.insert(FHistory.begin(), FDocFile);
  FTitleHistory.insert(FTitleHistory.begin(), FDocTitle);
  FPositionHistory.insert(FPositionHistory.begin(), std::move(pos));
  FHistoryIndex = 0;
  const std::size_t n = std::size_t(FHistoryMaxCount);
  if (FHistory.size() > n) {
    FHistory.resize(n);
    FTitleHistory.resize(n);
    FPositionHistory.resize(n);
  }
  if (OnHistoryChange) OnHistoryChange(this);
}

// ---- selection ----

int TPageViewer::SelStart() const { return FDocument->FSelB; }
int TPageViewer::SelLength() const {
  return FDocument->FSelB >= 0 && FDocument->FSelE > FDocument->FSelB ? FDocument->FSelE - FDocument->FSelB : 0;
}

}  // namespace korva
