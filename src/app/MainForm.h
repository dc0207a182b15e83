// The main window: two page panes (navigation left, content right) over a row of buttons, the
// history list beside the content pane, and the archive the pages come from.
#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "archive/ZipArchive.h"

class QListWidget;
class QPushButton;
class QSplitter;

namespace korva {

class TViewerPlaceholder;

struct TMainFormOptions {
  // Where the archive's messages go instead of a modal dialog (off-screen runs, tests).
  std::function<void(const std::string& text)> ShowMessage;
  // Folder searched first for the unzip library; empty: beside the program and along its run path.
  std::string DLLDirectory;
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
  TViewerPlaceholder* NavPageViewer() const { return FNavPageViewer; }
  TViewerPlaceholder* PageViewer() const { return FPageViewer; }

 private slots:
  void CloseButtonClick();

 private:
  void CreateComponents();
  void FormCreate();
  void InstallShellServices(const TMainFormOptions& options);

  std::string FApiPath;
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
  TViewerPlaceholder* FNavPageViewer = nullptr;
  TViewerPlaceholder* FPageViewer = nullptr;
};

}  // namespace korva
