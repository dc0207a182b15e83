// The main window off-screen: configuration file, window caption from the index page, layout
// of the panes and buttons.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTest>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>

#include "../archive/ZipWriter.h"
#include "app/FindBar.h"
#include "app/MainForm.h"
#include "viewer/PageViewer.h"
#include "viewer/ViewerWidgets.h"
#include "platform/IniFile.h"
#include "platform/System.h"

// Fontconfig keeps its caches to the end of the process; that is not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace korva {
namespace {

using test::BuildZip;
using test::TTempDir;
using test::TZipMember;

QApplication& App() {
  static int argc = 1;
  static char name[] = "test_app";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

class MainFormTest : public ::testing::Test {
 protected:
  TTempDir Dir;
  std::vector<std::string> Messages;

  void SetUp() override {
    App();
    SetProgramDirForTests(Dir.Path());
  }
  void TearDown() override { SetProgramDirForTests(""); }

  std::unique_ptr<TMainForm> Create() {
    TMainFormOptions options;
    options.ShowMessage = [this](const std::string& text) { Messages.push_back(text); };
    // Sanitizer builds load by plain name from their own runtime, which does not know our run path.
    options.DLLDirectory = KORVA_BIN_DIR;
    return std::make_unique<TMainForm>(options);
  }
  // The caption a form takes from an archive whose index page holds these bytes.
  std::string CaptionFor(const std::string& index) {
    Dir.Write("Korva_API.zip", BuildZip({{"KorvaAPI_Index.html", index}, {"Overview.html", "<p>x"}}));
    auto form = Create();
    return form->windowTitle().toStdString();
  }
};

TEST_F(MainFormTest, MissingIniIsCreatedWithTheProgramFolder) {
  auto form = Create();
  EXPECT_EQ(form->ApiPath(), Dir.Path());
  const std::string ini = Dir / "KORVAAPILoader.ini";
  ASSERT_TRUE(FileExists(ini));
  EXPECT_EQ(TIniFile(ini).ReadString("APIPath", "APIPath", "?"), Dir.Path());
  // No archive there: opening it says nothing, the extraction of the index page says so, and the
  // stored caption stays.
  EXPECT_EQ(Messages, (std::vector<std::string>{"Zip file could not be opened"}));
  EXPECT_EQ(form->windowTitle().toStdString(), "KORVA API Loader");
}

TEST_F(MainFormTest, IniWithoutTheKeyIsLeftAlone) {
  const std::string text = "[Other]\nKey=Value\n";
  Dir.Write("KORVAAPILoader.ini", text);
  auto form = Create();
  EXPECT_EQ(form->ApiPath(), Dir.Path());
  EXPECT_EQ(test::ReadFile(Dir / "KORVAAPILoader.ini"), text);
}

TEST_F(MainFormTest, ConfiguredFolderIsAPlainPrefix) {
  TTempDir docs;
  docs.Write("Korva_API.zip", BuildZip({{"KorvaAPI_Index.html", "<title>From elsewhere</title>"}}));
  Dir.Write("KORVAAPILoader.ini", "[APIPath]\nAPIPath=" + docs.Path() + "\n");
  auto form = Create();
  EXPECT_EQ(form->ApiPath(), docs.Path());
  EXPECT_EQ(form->windowTitle().toStdString(), "From elsewhere");
  EXPECT_EQ(form->ZipArchive().ZipFileName(), docs.Path() + "Korva_API.zip");
  EXPECT_TRUE(form->ZipArchive().Active());
}

TEST_F(MainFormTest, UnwritableProgramFolderStillStarts) {
  SetProgramDirForTests(Dir / "no/such/folder/");
  auto form = Create();
  EXPECT_EQ(form->ApiPath(), Dir / "no/such/folder/");
  EXPECT_FALSE(FileExists(Dir / "no/such/folder/KORVAAPILoader.ini"));
}

TEST_F(MainFormTest, CaptionComesFromTheIndexTitle) {
  EXPECT_EQ(CaptionFor("<html><head><title>Reference</title></head>"), "Reference");
  // The tags are matched exactly: upper-case tags give an empty caption.
  EXPECT_EQ(CaptionFor("<HTML><HEAD><TITLE>Reference</TITLE></HEAD>"), "");
  // No "<title>": the text from the seventh character up to "</title>".
  EXPECT_EQ(CaptionFor("abcdefTitle</title>"), "Title");
  // No "</title>": empty.
  EXPECT_EQ(CaptionFor("<title>Reference"), "");
  // Only the first 500 bytes are looked at.
  EXPECT_EQ(CaptionFor(std::string(495, ' ') + "<title>Late</title>"), "");
  EXPECT_EQ(CaptionFor(std::string(480, ' ') + "<title>Edge</title>"), "Edge");
  // A zero byte ends the text.
  EXPECT_EQ(CaptionFor(std::string("<title>A\0B</title>", 18)), "");
  // "</title>" before "<title>": empty.
  EXPECT_EQ(CaptionFor("</title><title>X"), "");
  EXPECT_EQ(CaptionFor("<title>Caf\xC3\xA9</title>"), "Caf\xC3\xA9");
  EXPECT_TRUE(Messages.empty());
}

TEST_F(MainFormTest, MissingIndexKeepsTheStoredCaption) {
  Dir.Write("Korva_API.zip", BuildZip({{"Overview.html", "<p>x"}}));
  auto form = Create();
  EXPECT_EQ(form->windowTitle().toStdString(), "KORVA API Loader");
  EXPECT_TRUE(form->IndexTitle().empty());
  EXPECT_TRUE(Messages.empty());
  // An empty index page: nothing to read.
  EXPECT_EQ(CaptionFor(""), "KORVA API Loader");
}

TEST_F(MainFormTest, DamagedArchiveIsReportedNotFatal) {
  Dir.Write("Korva_API.zip", std::string(3000, 'x'));
  auto form = Create();
  EXPECT_EQ(form->windowTitle().toStdString(), "KORVA API Loader");
  // Once when it is opened, once more when the extraction reads the directory again.
  EXPECT_EQ(Messages, (std::vector<std::string>(2, "This archive is not a valid Zip archive")));
}

TEST_F(MainFormTest, LayoutFollowsTheDesign) {
  auto form = Create();
  form->resize(1024, 768);
  form->show();
  QApplication::processEvents();
  // The menu bar on top, the panel under it fills the rest.
  const int menu = form->MenuBar()->height();
  EXPECT_GT(menu, 0);
  EXPECT_EQ(form->Panel()->geometry(), form->rect().adjusted(0, menu, 0, 0));
  EXPECT_EQ(form->ButtonPanel()->height(), 41);
  EXPECT_EQ(form->ButtonPanel()->width(), 1024);
  EXPECT_EQ(form->ButtonPanel()->y(), 768 - menu - 41);
  EXPECT_EQ(form->NavPanel()->width(), 220);
  EXPECT_EQ(form->NavSplitter()->handleWidth(), 4);
  EXPECT_EQ(form->HistorySplitter()->handleWidth(), 3);
  // The history starts hidden: one pixel wide.
  EXPECT_EQ(form->HistoryPanel()->width(), 1);
  EXPECT_EQ(form->NavPageViewer()->parentWidget(), form->NavPanel());
  EXPECT_EQ(form->HistoryListBox()->parentWidget(), form->HistoryPanel());
  EXPECT_EQ(form->NavPanel()->height(), 768 - menu - 41);
  // The content pane takes what is left.
  EXPECT_EQ(form->PageViewer()->width(), 1024 - 220 - 4 - 1 - 3);
  EXPECT_EQ(form->HistoryButton()->text().toStdString(), "Show History");
  EXPECT_TRUE(form->HistoryButton()->isCheckable());
  EXPECT_FALSE(form->HistoryButton()->icon().isNull());
  EXPECT_FALSE(form->CloseButton()->icon().isNull());
}

TEST_F(MainFormTest, ButtonsStayFlushRight) {
  auto form = Create();
  for (int width : {1024, 800, 537}) {
    SCOPED_TRACE(width);
    form->resize(width, 600);
    form->show();
    QApplication::processEvents();
    const int w = form->ButtonPanel()->width();
    EXPECT_EQ(form->CloseButton()->geometry(), QRect(w - 104, 4, 100, 32));
    EXPECT_EQ(form->ForwardButton()->geometry(), QRect(w - 208, 4, 100, 32));
    EXPECT_EQ(form->BackButton()->geometry(), QRect(w - 312, 4, 100, 32));
    EXPECT_EQ(form->HistoryButton()->geometry(), QRect(4, 4, 100, 32));
  }
}

TEST_F(MainFormTest, CloseButtonClosesAndDestroyDeactivates) {
  Dir.Write("Korva_API.zip", BuildZip({{"KorvaAPI_Index.html", "<title>T</title>"}}));
  auto form = Create();
  form->show();
  QApplication::processEvents();
  EXPECT_TRUE(form->ZipArchive().Active());
  form->CloseButton()->click();
  EXPECT_FALSE(form->isVisible());
  form->FormDestroy();
  EXPECT_FALSE(form->ZipArchive().Active());
  // The directory stays; the title came from the archive once.
  EXPECT_EQ(form->IndexTitle(), "T");
}

TEST_F(MainFormTest, SampleArchiveGivesItsCaption) {
  const std::string sample = std::string(KORVA_BIN_DIR) + "/Korva_API.zip";
  if (!FileExists(sample)) GTEST_SKIP() << "sample archive not built";
  Dir.Write("KORVAAPILoader.ini", std::string("[APIPath]\nAPIPath=") + KORVA_BIN_DIR + "/\n");
  auto form = Create();
  EXPECT_FALSE(form->IndexTitle().empty());
  EXPECT_EQ(form->windowTitle().toStdString(), form->IndexTitle());
  EXPECT_TRUE(Messages.empty());
}

// The window wired to its viewers: a page and anchor from the command line, links clicked in the
// content pane, Back, and the history panel shown and hidden.
TEST_F(MainFormTest, PagesLinksAndHistoryReachTheViewers) {
  std::string longPage = "<p><a href=\"b.html\">to b</a>";
  for (int i = 0; i < 200; ++i) longPage += "<p>line " + std::to_string(i);
  longPage += "<p><a name=end>end</a>";
  const std::string archive = Dir / "other.zip";
  Dir.Write("other.zip", BuildZip({{"KorvaAPI_Index.html", "<title>T</title>"},
                                   {"NavigationFrame.html", "<a href=a.html>a</a>"},
                                   {"Overview.html", "<p>overview"},
                                   {"a.html", longPage},
                                   {"b.html", "<p>page b"}}));
  TMainFormOptions options;
  options.ShowMessage = [this](const std::string& text) { Messages.push_back(text); };
  options.DLLDirectory = KORVA_BIN_DIR;
  options.ArchiveFile = archive;
  options.StartMember = "a.html";
  options.StartAnchor = "END";
  TMainForm form(options);
  form.resize(800, 600);
  form.show();
  QApplication::processEvents();
  bool done = false;
  form.AppIdle(done);
  EXPECT_TRUE(done);
  // The named archive is used and the configuration file is left alone.
  EXPECT_FALSE(FileExists(Dir / "KORVAAPILoader.ini"));
  EXPECT_EQ(form.windowTitle().toStdString(), "T - a.html");
  EXPECT_GT(form.PageViewer()->Position(), 0) << "the anchor at the end was not scrolled to";
  EXPECT_NE(form.NavPageViewer()->DocHeight(), 0);
  EXPECT_EQ(form.HistoryListBox()->count(), 2);
  EXPECT_TRUE(form.BackButton()->isEnabled());
  EXPECT_FALSE(form.ForwardButton()->isEnabled());

  // A link clicked in the content pane is followed by the window.
  bool handled = false;
  form.PageViewerHotSpotClick(form.PageViewer(), "b.html", handled);
  EXPECT_TRUE(handled);
  EXPECT_EQ(form.HistoryListBox()->count(), 3);
  EXPECT_EQ(form.HistoryListBox()->currentRow(), 2);
  EXPECT_NE(form.PageViewer()->SourceText().find("page b"), std::string::npos);
  form.BackButton()->click();
  EXPECT_NE(form.PageViewer()->SourceText().find("line 199"), std::string::npos);
  EXPECT_EQ(form.HistoryListBox()->currentRow(), 1);

  // A page the archive does not hold keeps the page on show and says so in the status line; the
  // link under the mouse takes the line while it is there.
  form.PageViewerHotSpotClick(form.PageViewer(), "missing.html", handled);
  EXPECT_NE(form.PageViewer()->SourceText().find("line 199"), std::string::npos);
  const QString message = form.StatusLabel()->text();
  EXPECT_TRUE(message.contains("missing.html")) << message.toStdString();
  form.PageViewer()->OnHotSpotCovered(form.PageViewer(), "b.html");
  EXPECT_EQ(form.StatusLabel()->text().toStdString(), "b.html");
  form.PageViewer()->OnHotSpotCovered(form.PageViewer(), "");
  EXPECT_EQ(form.StatusLabel()->text(), message);

  // The history panel starts one pixel wide and comes back at least at its designed width,
  // wide enough for its entries.
  const QFontMetrics metrics(form.HistoryListBox()->font());
  EXPECT_EQ(form.HistoryPanel()->width(), 1);
  form.HistoryButton()->click();
  QApplication::processEvents();
  EXPECT_EQ(form.HistoryButton()->text().toStdString(), "Hide History");
  EXPECT_EQ(form.HistoryPanel()->width(), std::max(84, metrics.horizontalAdvance("Overview.html") + 28));
  form.HistoryButton()->click();
  QApplication::processEvents();
  EXPECT_EQ(form.HistoryButton()->text().toStdString(), "Show History");
  EXPECT_EQ(form.HistoryPanel()->width(), 1);
  // A long entry widens it up to a third of the pane.
  const int pane = form.HistoryPanel()->width() + form.PageViewer()->width();
  form.HistoryListBox()->addItem("a/rather/long/path/to/some/page/of/the/documentation.html");
  form.HistoryButton()->click();
  QApplication::processEvents();
  EXPECT_EQ(form.HistoryPanel()->width(),
            std::min(metrics.horizontalAdvance("a/rather/long/path/to/some/page/of/the/documentation.html") + 28,
                     pane / 3));
  EXPECT_TRUE(Messages.empty());
}

// The menus and the keys a reader reaches for: history moves by keys and by the mouse's own
// buttons, copying, the context menu, and the history list opened from the keyboard.
TEST_F(MainFormTest, MenusKeysAndTheContextMenuReachTheNavigator) {
  Dir.Write("Korva_API.zip", BuildZip({{"KorvaAPI_Index.html", "<title>T</title>"},
                                       {"NavigationFrame.html", "<a href=a.html>a</a>"},
                                       {"Overview.html", "<title>Start</title><p>overview <a href=a.html>a</a>"},
                                       {"a.html", "<p>page a"},
                                       {"b.html", "<p>page b"}}));
  auto form = Create();
  form->resize(800, 600);
  form->show();
  QApplication::setActiveWindow(form.get());
  QApplication::processEvents();
  bool done = false;
  auto idle = [&] {
    QApplication::processEvents();
    form->AppIdle(done);
  };
  auto shows = [&](const char* text) { return form->PageViewer()->SourceText().find(text) != std::string::npos; };
  // The page has the focus from the start.
  EXPECT_TRUE(form->PageViewer()->isAncestorOf(QApplication::focusWidget()) ||
              QApplication::focusWidget() == form->PageViewer());
  for (const char* name : {"QuitAction", "CopyAction", "SelectAllAction", "HistoryAction", "FullScreenAction",
                           "BackAction", "ForwardAction", "HomeAction", "ShortcutsAction", "AboutAction"})
    EXPECT_NE(form->FindAction(name), nullptr) << name;
  EXPECT_EQ(form->MenuBar()->actions().size(), 5);
  // F6 goes to the other pane and back.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
  EXPECT_EQ(form->FocusedViewer(), form->NavPageViewer());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
  EXPECT_EQ(form->FocusedViewer(), form->PageViewer());

  bool handled = false;
  form->PageViewerHotSpotClick(form->PageViewer(), "a.html", handled);
  form->PageViewerHotSpotClick(form->PageViewer(), "b.html", handled);
  idle();
  QTest::keyClick(form->PageViewer(), Qt::Key_Left, Qt::AltModifier);
  EXPECT_TRUE(shows("page a"));
  idle();
  QTest::keyClick(form->PageViewer(), Qt::Key_Backspace);
  EXPECT_TRUE(shows("overview"));
  EXPECT_EQ(form->windowTitle().toStdString(), "T - Start");
  idle();
  QTest::keyClick(form->PageViewer(), Qt::Key_Right, Qt::AltModifier);
  EXPECT_TRUE(shows("page a"));
  idle();
  QMouseEvent forward(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::ForwardButton, Qt::ForwardButton,
                      Qt::NoModifier);
  QApplication::sendEvent(form->PageViewer()->PaintPanel(), &forward);
  EXPECT_TRUE(shows("page b"));
  idle();
  QMouseEvent back(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::BackButton, Qt::BackButton,
                   Qt::NoModifier);
  QApplication::sendEvent(form->PageViewer()->PaintPanel(), &back);
  EXPECT_TRUE(shows("page a"));
  idle();

  // Select All and Copy through the menu's actions.
  QGuiApplication::clipboard()->clear();
  form->FindAction("SelectAllAction")->trigger();
  form->FindAction("CopyAction")->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "page a");

  // The context menu on a link offers its address; on a local link no browser.
  form->ShowContextMenu(form->PageViewer(), "b.html");
  auto* menu = form->findChild<QMenu*>("PageContextMenu");
  ASSERT_NE(menu, nullptr);
  QStringList texts;
  for (QAction* a : menu->actions())
    if (!a->isSeparator()) texts << a->text();
  EXPECT_EQ(texts.join("|").toStdString(), "&Copy|Select &All|&Find\u2026|Copy &Link Address|&Back|&Forward");
  for (QAction* a : menu->actions())
    if (a->text() == "Copy &Link Address") a->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "b.html");
  menu->close();
  QApplication::processEvents();
  form->ShowContextMenu(form->PageViewer(), "https://example.com/");
  menu = form->findChild<QMenu*>("PageContextMenu");
  ASSERT_NE(menu, nullptr);
  bool browser = false;
  for (QAction* a : menu->actions()) browser |= a->text() == "&Open Link in Browser";
  EXPECT_TRUE(browser);
  menu->close();

  // Enter on a row of the history list opens it.
  form->HistoryListBox()->setCurrentRow(0);
  form->HistoryListBox()->setFocus();
  QTest::keyClick(form->HistoryListBox(), Qt::Key_Return);
  EXPECT_TRUE(shows("overview"));
  EXPECT_TRUE(Messages.empty());
}

// The find bar: opened by Ctrl+F or "/", searches as the reader types, counts, steps with F3,
// Enter and Shift+Enter, wraps with a notice, honours the case switch, and closes with Esc.
TEST_F(MainFormTest, FindBarSearchesThePaneAsTheReaderTypes) {
  Dir.Write("Korva_API.zip", BuildZip({{"KorvaAPI_Index.html", "<title>T</title>"},
                                       {"NavigationFrame.html", "<p>nav Word"},
                                       {"Overview.html", "<p>a word, a Word, the last word</p>"}}));
  auto form = Create();
  form->resize(800, 600);
  form->show();
  QApplication::setActiveWindow(form.get());
  QApplication::processEvents();
  TFindBar* bar = form->FindBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_FALSE(bar->isVisible());
  form->PageViewer()->setFocus();
  QTest::keyClick(form->PageViewer(), Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(bar->isVisible());
  EXPECT_EQ(bar->Target(), form->PageViewer());
  QTest::keyClicks(bar->Edit(), "word");
  EXPECT_EQ(form->PageViewer()->MatchCount(), 3);
  EXPECT_EQ(bar->CountLabel()->text().toStdString(), "1 of 3");
  QTest::keyClick(bar->Edit(), Qt::Key_Return);
  EXPECT_EQ(bar->CountLabel()->text().toStdString(), "2 of 3");
  QTest::keyClick(bar->Edit(), Qt::Key_F3);
  QTest::keyClick(bar->Edit(), Qt::Key_F3);
  EXPECT_EQ(bar->CountLabel()->text().toStdString(), "1 of 3  (continued from the top)");
  QTest::keyClick(bar->Edit(), Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(bar->CountLabel()->text().toStdString(), "3 of 3  (continued from the end)");
  bar->MatchCase()->setChecked(true);
  EXPECT_EQ(bar->CountLabel()->text().toStdString(), "1 of 2");
  QTest::keyClicks(bar->Edit(), "zz");
  EXPECT_EQ(bar->CountLabel()->text().toStdString(), "No matches");
  QTest::keyClick(bar->Edit(), Qt::Key_Escape);
  EXPECT_FALSE(bar->isVisible());
  EXPECT_EQ(form->PageViewer()->MatchCount(), 0);

  // "/" in the navigation pane searches that pane.
  form->NavPageViewer()->setFocus();
  QTest::keyClick(form->NavPageViewer(), Qt::Key_Slash);
  ASSERT_TRUE(bar->isVisible());
  EXPECT_EQ(bar->Target(), form->NavPageViewer());
  bar->Edit()->setText("word");
  bar->MatchCase()->setChecked(false);
  EXPECT_EQ(form->NavPageViewer()->MatchCount(), 1);
  EXPECT_EQ(form->PageViewer()->MatchCount(), 0);
  EXPECT_TRUE(Messages.empty());
}

}  // namespace
}  // namespace korva
