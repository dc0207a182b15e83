#include "app/MainForm.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QUrl>
#include <QVBoxLayout>

#include "app/FindBar.h"
#include "app/Glyphs.h"
#include "app/Navigation.h"
#include "platform/CodePage.h"
#include "platform/Font.h"
#include "platform/IniFile.h"
#include "platform/MemoryStream.h"
#include "platform/System.h"
#include "viewer/PageViewer.h"

namespace korva {

namespace {

// Designed sizes of the window's parts.
constexpr int PanelWidth = 537, PanelHeight = 353;
constexpr int NavPanelWidth = 220, NavSplitterWidth = 4;
constexpr int HistoryPanelWidth = 84, HistorySplitterWidth = 3;
constexpr int ButtonPanelHeight = 41;
constexpr int ButtonWidth = 100, ButtonHeight = 32, ButtonTop = 4, ButtonGap = 4;
constexpr int HistoryItemHeight = 13;
// Room around a history entry's text: the list's frame and its vertical scroll bar.
constexpr int HistoryEntryMargin = 28;
constexpr int GlyphSize = 16;
// The status line sits in the button row between the history button and the Back button.
constexpr int StatusLeft = 108;
constexpr std::size_t TitleScanBytes = 500;

QWidget* MakePanel(const char* name, QWidget* parent) {
  auto* w = new QWidget(parent);
  w->setObjectName(name);
  w->setMinimumSize(1, 1);
  return w;
}

QVBoxLayout* ClientLayout(QWidget* w) {
  auto* l = new QVBoxLayout(w);
  l->setContentsMargins(0, 0, 0, 0);
  l->setSpacing(0);
  return l;
}

// Page bytes are UTF-8 or the ANSI page; the caption needs them as text.
QString BytesToText(const std::string& s) {
  QString utf8 = QString::fromUtf8(s.data(), qsizetype(s.size()));
  if (!utf8.contains(QChar::ReplacementCharacter)) return utf8;
  std::u16string wide = MultiByteToWide(CP_ACP, s);
  return QString::fromUtf16(wide.data(), qsizetype(wide.size()));
}

// Watches the button panel's size for ButtonPanelResize.
class TResizeWatcher : public QObject {
 public:
  TResizeWatcher(QObject* parent, std::function<void()> onResize) : QObject(parent), FOnResize(std::move(onResize)) {}
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Resize) FOnResize();
    return false;
  }

 private:
  std::function<void()> FOnResize;
};

}  // namespace

TMainForm::TMainForm(const TMainFormOptions& options, QWidget* parent) : QWidget(parent) {
  setObjectName("MainForm");
  setWindowTitle(DefaultCaption);
  FArchiveOverride = options.ArchiveFile;
  CreateComponents();
  InstallShellServices(options);
  CreateNavigator(options);
  FormCreate();
  if (!options.StartMember.empty() || !options.StartAnchor.empty())
    FNavigator->OpenStartMember(options.StartMember, options.StartAnchor);
}

TMainForm::~TMainForm() {
  FormDestroy();
  // The viewers ask the navigator for pictures until they are gone.
  delete FPageViewer;
  delete FNavPageViewer;
  FPageViewer = FNavPageViewer = nullptr;
}

void TMainForm::CreateComponents() {
  FPanel = MakePanel("Panel", this);
  FPanel->setGeometry(0, 0, PanelWidth, PanelHeight);
  QVBoxLayout* panelLayout = ClientLayout(FPanel);

  FNavSplitter = new QSplitter(Qt::Horizontal, FPanel);
  FNavSplitter->setObjectName("NavSplitter");
  FNavSplitter->setHandleWidth(NavSplitterWidth);
  FNavSplitter->setChildrenCollapsible(false);
  FNavPanel = MakePanel("NavPanel", FNavSplitter);
  FNavPageViewer = new TPageViewer(FNavPanel);
  FNavPageViewer->setObjectName("NavPageViewer");
  SetUpViewer(FNavPageViewer);
  ClientLayout(FNavPanel)->addWidget(FNavPageViewer);

  FRightPanel = MakePanel("RightPanel", FNavSplitter);
  FHistorySplitter = new QSplitter(Qt::Horizontal, FRightPanel);
  FHistorySplitter->setObjectName("HistorySplitter");
  FHistorySplitter->setHandleWidth(HistorySplitterWidth);
  FHistorySplitter->setChildrenCollapsible(false);
  ClientLayout(FRightPanel)->addWidget(FHistorySplitter);
  FHistoryPanel = MakePanel("HistoryPanel", FHistorySplitter);
  FHistoryListBox = new QListWidget(FHistoryPanel);
  FHistoryListBox->setObjectName("HistoryListBox");
  FHistoryListBox->setMinimumSize(1, 1);
  FHistoryListBox->setUniformItemSizes(true);
  FHistoryListBox->setStyleSheet(QString("QListWidget::item { height: %1px; }").arg(HistoryItemHeight));
  ClientLayout(FHistoryPanel)->addWidget(FHistoryListBox);
  FPageViewer = new TPageViewer(FHistorySplitter);
  FPageViewer->setObjectName("PageViewer");
  SetUpViewer(FPageViewer);

  // The left panes keep their width when the window is resized; the page viewer takes the rest.
  FNavSplitter->setStretchFactor(0, 0);
  FNavSplitter->setStretchFactor(1, 1);
  FNavSplitter->setSizes({NavPanelWidth, PanelWidth - NavPanelWidth - NavSplitterWidth});
  FHistorySplitter->setStretchFactor(0, 0);
  FHistorySplitter->setStretchFactor(1, 1);
  FHistorySplitter->setSizes({HistoryPanelWidth, 200});
  // Beveled splitters in the button highlight colour (a gradient, so the handle keeps its width).
  const QPalette pal = palette();
  const QString bevel = QString("QSplitter::handle { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, "
                                "stop:0 %1, stop:0.6 %1, stop:1 %2); }")
                            .arg(pal.color(QPalette::Light).name(), pal.color(QPalette::Mid).name());
  FNavSplitter->setStyleSheet(bevel);
  FHistorySplitter->setStyleSheet(bevel);
  panelLayout->addWidget(FNavSplitter, 1);
  FFindBar = new TFindBar(FPanel);
  panelLayout->addWidget(FFindBar);

  FButtonPanel = MakePanel("ButtonPanel", FPanel);
  FButtonPanel->setFixedHeight(ButtonPanelHeight);
  panelLayout->addWidget(FButtonPanel);

  auto makeButton = [&](const char* name, const char* caption, TGlyph glyph, int left) {
    auto* b = new QPushButton(MakeGlyph(glyph), caption, FButtonPanel);
    b->setObjectName(name);
    b->setIconSize(QSize(GlyphSize, GlyphSize));
    b->setGeometry(left, ButtonTop, ButtonWidth, ButtonHeight);
    return b;
  };
  // A toggle: each click flips its down state.
  FHistoryButton = makeButton("HistoryButton", "Show History", TGlyph::History, 4);
  FHistoryButton->setCheckable(true);
  FBackButton = makeButton("BackButton", "Back", TGlyph::Back, 201);
  FForwardButton = makeButton("ForwardButton", "Forward", TGlyph::Forward, 315);
  FCloseButton = makeButton("CloseButton", "Close", TGlyph::Close, 418);
  connect(FCloseButton, &QPushButton::clicked, this, &TMainForm::CloseButtonClick);
  connect(FHistoryButton, &QPushButton::clicked, this, [this] { HistoryButtonClick(); });
  connect(FBackButton, &QPushButton::clicked, this, [this] { BackForwardButtonClick(FBackButton); });
  connect(FForwardButton, &QPushButton::clicked, this, [this] { BackForwardButtonClick(FForwardButton); });
  // A double click, or Enter on the selected row.
  connect(FHistoryListBox, &QListWidget::itemActivated, this, [this] { HistoryListBoxDblClick(); });
  FStatusLabel = new QLabel(FButtonPanel);
  FStatusLabel->setObjectName("StatusLabel");
  FStatusLabel->setGeometry(StatusLeft, ButtonTop, 1, ButtonHeight);
  FButtonPanel->installEventFilter(new TResizeWatcher(this, [this] { ButtonPanelResize(); }));

  // Stored inactive; nothing is read until the form opens it.
  FZipArchive.SetActive(false);
  FZipArchive.SetUnattended(false);
  FZipArchive.SetVerbose(false);
  FZipArchive.SetTrace(false);
}

void TMainForm::InstallShellServices(const TMainFormOptions& options) {
  TZipUserInterface ui;
  if (options.ShowMessage) {
    ui.ShowMessage = options.ShowMessage;
  } else {
    ui.ShowMessage = [this](const std::string& text) {
      QMessageBox box(QMessageBox::Warning, DefaultCaption, QString::fromStdString(text), QMessageBox::Ok, this);
      box.exec();
    };
  }
  ui.ProcessMessages = [] { QCoreApplication::processEvents(); };
  ui.SetBusyCursor = [](bool busy) {
    if (busy)
      QApplication::setOverrideCursor(Qt::WaitCursor);
    else
      QApplication::restoreOverrideCursor();
  };
  FZipArchive.SetUserInterface(ui);
  FZipArchive.SetDLLDirectory(options.DLLDirectory);
}

void TMainForm::SetUpViewer(TPageViewer* viewer) {
  viewer->SetBorderStyle(THtBorderStyle::htFocused);
  viewer->SetHistoryMaxCount(0);  // the window keeps the history
  viewer->SetDefFontName("Times New Roman");
  viewer->SetDefPreFontName("Courier New");
  viewer->SetNoSelect(false);
  viewer->SetCharSet(DEFAULT_CHARSET);
  viewer->SetPrintMarginLeft(2.0);
  viewer->SetPrintMarginRight(2.0);
  viewer->SetPrintMarginTop(2.0);
  viewer->SetPrintMarginBottom(2.0);
  viewer->SetPrintScale(1.0);
  viewer->OnHotSpotClick = [this](TPageViewer* sender, const std::string& url, bool& handled) {
    PageViewerHotSpotClick(sender, url, handled);
  };
  // The status line shows the target of the link under the mouse, and its message again after.
  viewer->OnRightClick = [this](TPageViewer* sender, const TRightClickParameters& params) {
    ShowContextMenu(sender, params.URL);
  };
  viewer->OnHotSpotCovered = [this](TPageViewer*, const std::string& url) {
    FStatusLabel->setText(url.empty() ? FStatusMessage : BytesToText(url));
  };
}

void TMainForm::CreateNavigator(const TMainFormOptions& options) {
  TNavigatorView view;
  view.ClearDocument = [this] { FPageViewer->ClearDocument(); };
  view.LoadContent = [this](const std::string& bytes, const std::string& base) {
    FPageViewer->LoadStream(bytes, base);
    FFindBar->PageChanged(FPageViewer);
  };
  view.GoToAnchor = [this](const std::string& anchor) { return FPageViewer->GoToAnchor(anchor); };
  view.LoadNavigation = [this](const std::string& bytes, const std::string& base) {
    FNavPageViewer->LoadStream(bytes, base);
  };
  view.HistoryAppend = [this](const std::string& entry) { FHistoryListBox->addItem(BytesToText(entry)); };
  view.HistoryRemove = [this](int first, int count) {
    for (int i = 0; i < count; ++i) delete FHistoryListBox->takeItem(first);
  };
  view.HistorySelect = [this](int row) { FHistoryListBox->setCurrentRow(row); };
  view.ContentScrollPos = [this] { return FPageViewer->Position(); };
  view.SetContentScrollPos = [this](int y) { FPageViewer->SetPosition(y); };
  view.ContentTitle = [this] { return FPageViewer->DocumentTitle(); };
  view.SetCaption = [this](const std::string& caption) { setWindowTitle(BytesToText(caption)); };
  view.ShowStatus = [this](const std::string& text) {
    FStatusMessage = BytesToText(text);
    FStatusLabel->setText(FStatusMessage);
    FStatusLabel->setToolTip(FStatusMessage);
  };
  if (options.OpenExternal) {
    view.OpenExternal = options.OpenExternal;
  } else {
    view.OpenExternal = [](const std::string& url) {
      return QDesktopServices::openUrl(QUrl(QString::fromUtf8(url.data(), qsizetype(url.size()))));
    };
  }
  FNavigator = std::make_unique<TPageNavigator>(FZipArchive, std::move(view));

  // Pictures and style sheets come from the archive, relative to the page that names them.
  FImageStream = std::make_unique<TMemoryStream>();
  for (TPageViewer* viewer : {FNavPageViewer, FPageViewer}) {
    const TPane pane = viewer == FPageViewer ? TPane::pnContent : TPane::pnNavigation;
    viewer->OnImageRequest = [this, pane](TPageViewer*, const std::string& src, TMemoryStream*& stream) {
      std::optional<std::string> bytes = FNavigator->ReaderFor(pane)(src);
      if (!bytes) return;
      FImageStream->Clear();
      FImageStream->Write(bytes->data(), bytes->size());
      FImageStream->SetPosition(0);
      stream = FImageStream.get();
    };
    viewer->OnhtStreamRequest = [this, pane](TPageViewer*, const std::string& src, std::string& data) {
      std::optional<std::string> bytes = FNavigator->ReaderFor(pane)(src);
      if (!bytes) return false;
      data = std::move(*bytes);
      return true;
    };
  }
}

void TMainForm::FormCreate() {
  // The designed client size first, then the panel fills the client area; the window is shown
  // maximised by the caller.
  resize(PanelWidth, PanelHeight);
  ClientLayout(this)->addWidget(FPanel);
  CreateMenus();
  ShowHistory(false);
  FZipArchive.SetActive(false);
  // An archive named on the command line leaves the configuration alone.
  if (FArchiveOverride.empty()) {
    FApiPath = ReadApiPath();
  } else {
    const std::size_t slash = FArchiveOverride.find_last_of('/');
    FApiPath = slash == std::string::npos ? std::string() : FArchiveOverride.substr(0, slash + 1);
  }
  LoadTitle();
  FNavigator->SetArchiveFileName(ArchiveFileName());
  FNavigator->SetIndexTitle(FIndexTitle);
  LoadStartPages();
  // The reader starts in the page: keys scroll it at once.
  FPageViewer->setFocus();
  // Qt has no idle event: the moment the event loop is about to wait is the same moment.
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
      bool done = false;
      AppIdle(done);
    });
  }
}

std::string TMainForm::ArchiveFileName() const {
  // A plain prefix: a configured folder must end with its separator.
  return FArchiveOverride.empty() ? FApiPath + ArchiveName : FArchiveOverride;
}

void TMainForm::LoadStartPages() { FNavigator->LoadStartPages(); }

void TMainForm::PageViewerHotSpotClick(TPageViewer* sender, const std::string& url, bool& handled) {
  FNavigator->PageViewerHotSpotClick(sender == FNavPageViewer ? TPane::pnNavigation : TPane::pnContent, url,
                                     handled);
}

void TMainForm::BackForwardButtonClick(QObject* sender) {
  if (sender == FBackButton || sender == FForwardButton) FNavigator->BackForwardButtonClick(sender == FBackButton);
}

void TMainForm::HistoryListBoxDblClick() { FNavigator->HistoryListBoxDblClick(FHistoryListBox->currentRow()); }

void TMainForm::HistoryButtonClick() {
  if (FHistoryButton->isChecked()) {
    ShowHistory(true);
    FHistoryButton->setText("Hide History");
  } else {
    ShowHistory(false);
    FHistoryButton->setText("Show History");
  }
  FHistoryListBox->setCurrentRow(FNavigator->PageHistory().empty() ? -1 : FNavigator->HistoryIndex());
}

void TMainForm::AppIdle(bool& done) {
  if (FDestroyed || !FNavigator) return;
  const TPageNavigator::TIdleState state = FNavigator->AppIdle();
  if (FBackButton->isEnabled() != state.BackEnabled) FBackButton->setEnabled(state.BackEnabled);
  if (FForwardButton->isEnabled() != state.ForwardEnabled) FForwardButton->setEnabled(state.ForwardEnabled);
  done = true;
}

void TMainForm::ShowHistory(bool show) {
  QList<int> sizes = FHistorySplitter->sizes();
  if (sizes.size() != 2) return;
  const int total = sizes[0] + sizes[1];
  int width;
  if (show) {
    // Wide enough for its longest entry (up to a third of the pane), never narrower than the
    // reader left it.
    int widest = 0;
    const QFontMetrics metrics(FHistoryListBox->font());
    for (int i = 0; i < FHistoryListBox->count(); ++i)
      widest = std::max(widest, metrics.horizontalAdvance(FHistoryListBox->item(i)->text()));
    const int needed = std::min(widest + HistoryEntryMargin, total / 3);
    width = std::max(FHistoryWidth, needed);
  } else {
    FHistoryWidth = sizes[0];
    width = 1;
  }
  FHistorySplitter->setSizes({width, std::max(1, total - width)});
  FHistoryPanel->setMinimumWidth(1);
}

std::string TMainForm::ReadApiPath() {
  const std::string programDir = ProgramDir();
  TIniFile ini(programDir + IniFileName);
  std::string value = ini.ReadString("APIPath", "APIPath", programDir);
  // Only a missing file gets the default written; a folder we cannot write to is fine too.
  if (!FileExists(ini.FileName())) ini.WriteString("APIPath", "APIPath", value);
  return value;
}

void TMainForm::LoadTitle() {
  if (!FZipArchive.Active()) {
    FZipArchive.SetZipFileName(ArchiveFileName());
    FZipArchive.SetActive(true);
  }
  TZipStream* stream = FZipArchive.ExtractMemberToStream(IndexPage);
  if (!stream) return;
  char buffer[TitleScanBytes];
  const std::size_t n = stream->Read(buffer, sizeof buffer);
  if (n == 0) return;
  std::string s(buffer, n);
  if (std::size_t zero = s.find('\0'); zero != std::string::npos) s.resize(zero);
  // Exact, case-sensitive searches from the start, 1-based positions (0 when absent).
  const std::size_t a = s.find("<title>"), b = s.find("</title>");
  const long long posA = a == std::string::npos ? 0 : (long long)a + 1;
  const long long posB = b == std::string::npos ? 0 : (long long)b + 1;
  const long long start = posA + 7, count = posB - posA - 7;
  FIndexTitle = count <= 0 || start > (long long)s.size() ? std::string() : s.substr(std::size_t(start - 1), std::size_t(count));
  setWindowTitle(BytesToText(FIndexTitle));
}

void TMainForm::ButtonPanelResize() {
  // The three right-hand buttons stay flush right with 4-pixel gaps.
  const int width = FButtonPanel->width();
  FCloseButton->move(width - (FCloseButton->width() + ButtonGap), FCloseButton->y());
  FForwardButton->move(FCloseButton->x() - (FForwardButton->width() + ButtonGap), FForwardButton->y());
  FBackButton->move(FForwardButton->x() - (FBackButton->width() + ButtonGap), FBackButton->y());
  FStatusLabel->resize(std::max(1, FBackButton->x() - ButtonGap - StatusLeft), FStatusLabel->height());
}

void TMainForm::CloseButtonClick() { close(); }

void TMainForm::FormDestroy() {
  if (FDestroyed) return;
  FDestroyed = true;
  if (FZipArchive.Active()) FZipArchive.SetActive(false);
}

}  // namespace korva
