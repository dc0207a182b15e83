// The main window: two page panes (navigation left, content right) over a row of buttons, the
// history list beside the content pane, and the archive the pages come from. Links, the history
// and the deferred anchor jump are the navigator's (Navigation.h); the form wires it to the
// widgets.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "archive/ZipArchive.h"

class QAction;
class QKeySequence;
class QLabel;
class QListWidget;
class QMenu;
class QMenuBar;
class QPushButton;
class QSplitter;

namespace korva {

class TFindBar;
class TMemoryStream;
class TPageNavigator;
class TPageViewer;

struct TMainFormOptions {
  // Where the archive's messages go instead of a modal dialog (off-screen runs, tests).
  std::function<void(const std::string& text)> ShowMessage;
  // Folder searched first for the unzip library; empty: beside the program and along its run path.
  std::string DLLDirectory;
  // An archive to open instead of the configured one; the configuration file is then neither
  // read nor written.
  std::string ArchiveFile;
  // A page (and anchor) to open after the start pages, as a link to it would.
  std::string StartMember, StartAnchor;
  // Hands external links to the desktop; empty: the desktop's default handler.
  std::function<bool(const std::string& url)> OpenExternal;
};

class TMainForm : public QWidget {
  Q_OBJECT
 public:
  explicit TMainForm(const TMainFormOptions& options = {}, QWidget* parent = nullptr);
  ~TMainForm() override;

  static constexpr const char* DefaultCaption = "KORVA API Loader";
  static constexpr const char* IniFileName = "KORVAAPILoader.ini";
  static constexpr const char* ArchiveName = "Korva_API.zip";
  static constexpr const char* IndexPage = "KorvaAPI_Index.html";

  // The archive folder from KORVAAPILoader.ini beside the program (written there with the
  // program folder when the file does not exist).
  std::string ReadApiPath();
  // Opens the archive if needed and takes the window caption from the index page's <title>.
  void LoadTitle();
  void ButtonPanelResize();
  void FormDestroy();

  // Page navigation (the navigator does the work).
  void LoadStartPages();
  void PageViewerHotSpotClick(TPageViewer* sender, const std::string& url, bool& handled);
  void BackForwardButtonClick(QObject* sender);
  void HistoryListBoxDblClick();
  void HistoryButtonClick();
  // Run whenever the event queue has been emptied: button states and the pending anchor.
  void AppIdle(bool& done);
  // Hides the history panel (width 1, its width remembered) or shows it again.
  void ShowHistory(bool show);
  // Back or Forward when the button allows it (menus, keys and the mouse's own buttons).
  void GoBackOrForward(bool back);
  // The pages' context menu for a right click in a viewer, on a link or not.
  void ShowContextMenu(TPageViewer* viewer, const std::string& url);
  // The pane with the keyboard focus, else the content pane.
  TPageViewer* FocusedViewer() const;
  QMenuBar* MenuBar() const { return FMenuBar; }
  TFindBar* FindBar() const { return FFindBar; }
  QAction* FindAction(const char* name) const;
  // F3 / Shift+F3: the next or previous match; the find bar opens when it is closed.
  void FindStep(bool backward);

  const std::string& ApiPath() const { return FApiPath; }
  const std::string& IndexTitle() const { return FIndexTitle; }
  TZipArchive& ZipArchive() { return FZipArchive; }
  QWidget* Panel() const { return FPanel; }
  QWidget* NavPanel() const { return FNavPanel; }
  QWidget* RightPanel() const { return FRightPanel; }
  QWidget* HistoryPanel() const { return FHistoryPanel; }
  QWidget* ButtonPanel() const { return FButtonPanel; }
  QSplitter* NavSplitter() const { return FNavSplitter; }
  QSplitter* HistorySplitter() const { return FHistorySplitter; }
  QPushButton* HistoryButton() const { return FHistoryButton; }
  QPushButton* BackButton() const { return FBackButton; }
  QPushButton* ForwardButton() const { return FForwardButton; }
  QPushButton* CloseButton() const { return FCloseButton; }
  QListWidget* HistoryListBox() const { return FHistoryListBox; }
  TPageViewer* NavPageViewer() const { return FNavPageViewer; }
  TPageViewer* PageViewer() const { return FPageViewer; }
  QLabel* StatusLabel() const { return FStatusLabel; }
  TPageNavigator& Navigator() { return *FNavigator; }

 private slots:
  void CloseButtonClick();

 private:
  void CreateComponents();
  void FormCreate();
  void InstallShellServices(const TMainFormOptions& options);
  void CreateNavigator(const TMainFormOptions& options);
  // The archive opened: the one named on the command line, else the configured folder's.
  std::string ArchiveFileName() const;
  void SetUpViewer(TPageViewer* viewer);
  void CreateMenus();
  // "/" in a page opens the find bar, as in a browser.
  void keyPressEvent(QKeyEvent* event) override;
  QAction* AddAction(QMenu* menu, const char* name, const QString& text, const QKeySequence& keys,
                     std::function<void()> run);
  static QString ShortcutsText();
  static QString AboutText();

  std::string FApiPath;
  std::string FArchiveOverride;
  int FHistoryWidth = 0;
  std::string FIndexTitle;
  bool FDestroyed = false;
  TZipArchive FZipArchive;
  QWidget* FPanel = nullptr;
  QWidget* FNavPanel = nullptr;
  QSplitter* FNavSplitter = nullptr;
  QWidget* FRightPanel = nullptr;
  QWidget* FHistoryPanel = nullptr;
  QSplitter* FHistorySplitter = nullptr;
  QWidget* FButtonPanel = nullptr;
  QPushButton* FHistoryButton = nullptr;
  QPushButton* FBackButton = nullptr;
  QPushButton* FForwardButton = nullptr;
  QPushButton* FCloseButton = nullptr;
  QListWidget* FHistoryListBox = nullptr;
  QLabel* FStatusLabel = nullptr;
  QMenuBar* FMenuBar = nullptr;
  TFindBar* FFindBar = nullptr;
  QString FStatusMessage;  // the navigator's last message, shown when no link is under the mouse
  TPageViewer* FNavPageViewer = nullptr;
  TPageViewer* FPageViewer = nullptr;
  // Picture bytes handed to a viewer; it decodes them before asking again.
  std::unique_ptr<TMemoryStream> FImageStream;
  // The viewers' readers call into it: the destructor deletes the viewers first.
  std::unique_ptr<TPageNavigator> FNavigator;
};

}  // namespace korva
