#include "app/MainForm.h"

#include <QApplication>
#include <QEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/Glyphs.h"
#include "app/ViewerPlaceholder.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"
#include "platform/System.h"

namespace korva {

namespace {

// Designed sizes of the window's parts.
constexpr int PanelWidth = 537, PanelHeight = 353;
constexpr int NavPanelWidth = 220, NavSplitterWidth = 4;
constexpr int HistoryPanelWidth = 84, HistorySplitterWidth = 3;
constexpr int ButtonPanelHeight = 41;
constexpr int ButtonWidth = 100, ButtonHeight = 32, ButtonTop = 4, ButtonGap = 4;
constexpr int HistoryItemHeight = 13;
constexpr int GlyphSize = 16;
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
  CreateComponents();
  InstallShellServices(options);
  FormCreate();
}

TMainForm::~TMainForm() { FormDestroy(); }

void TMainForm::CreateComponents() {
  FPanel = MakePanel("Panel", this);
  FPanel->setGeometry(0, 0, PanelWidth, PanelHeight);
  QVBoxLayout* panelLayout = ClientLayout(FPanel);

  FNavSplitter = new QSplitter(Qt::Horizontal, FPanel);
  FNavSplitter->setObjectName("NavSplitter");
  FNavSplitter->setHandleWidth(NavSplitterWidth);
  FNavSplitter->setChildrenCollapsible(false);
  FNavPanel = MakePanel("NavPanel", FNavSplitter);
  FNavPageViewer = new TViewerPlaceholder("NavPageViewer", FNavPanel);
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
  FPageViewer = new TViewerPlaceholder("PageViewer", FHistorySplitter);

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

void TMainForm::FormCreate() {
  // The designed client size first, then the panel fills the client area; the window is shown
  // maximised by the caller.
  resize(PanelWidth, PanelHeight);
  ClientLayout(this)->addWidget(FPanel);
  FZipArchive.SetActive(false);
  FApiPath = ReadApiPath();
  LoadTitle();
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
    // A plain prefix: a configured folder must end with its separator.
    FZipArchive.SetZipFileName(FApiPath + ArchiveName);
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
}

void TMainForm::CloseButtonClick() { close(); }

void TMainForm::FormDestroy() {
  if (FDestroyed) return;
  FDestroyed = true;
  if (FZipArchive.Active()) FZipArchive.SetActive(false);
}

}  // namespace korva
