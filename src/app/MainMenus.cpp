// The window's menus, its keyboard and mouse shortcuts for moving through the history, and the
// pages' context menu. Each action does what a button or a viewer already can; the menus only
// make them findable and reachable from the keyboard.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>

#include "app/CommandLine.h"
#include "app/FindBar.h"
#include "app/MainForm.h"
#include "app/MemberLinks.h"
#include "app/Navigation.h"
#include "viewer/PageViewer.h"

namespace korva {

namespace {

QString Utf8(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// The mouse's own Back and Forward buttons, wherever they are pressed in the window.
class TMouseHistoryButtons : public QObject {
 public:
  TMouseHistoryButtons(TMainForm* form) : QObject(form), FForm(form) {}
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() != QEvent::MouseButtonPress) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != FForm) return false;
    const Qt::MouseButton button = static_cast<QMouseEvent*>(e)->button();
    if (button != Qt::BackButton && button != Qt::ForwardButton) return false;
    FForm->GoBackOrForward(button == Qt::BackButton);
    return true;
  }

 private:
  TMainForm* FForm;
};

}  // namespace

QAction* TMainForm::AddAction(QMenu* menu, const char* name, const QString& text, const QKeySequence& keys,
                              std::function<void()> run) {
  auto* action = new QAction(text, this);
  action->setObjectName(name);
  if (!keys.isEmpty()) action->setShortcut(keys);
  connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
  menu->addAction(action);
  // Shortcuts work with the menu bar hidden (full screen) too.
  addAction(action);
  return action;
}

void TMainForm::CreateMenus() {
  FMenuBar = new QMenuBar(this);
  FMenuBar->setObjectName("MenuBar");
  layout()->setMenuBar(FMenuBar);

  QMenu* file = FMenuBar->addMenu("&File");
  AddAction(file, "QuitAction", "&Quit", QKeySequence::Quit, [this] { close(); });
  // Ctrl+Q is not every platform's standard quit key; the issue is the same everywhere here.
  FindAction("QuitAction")->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Q)});

  QMenu* edit = FMenuBar->addMenu("&Edit");
  AddAction(edit, "CopyAction", "&Copy", QKeySequence::Copy, [this] { FocusedViewer()->CopyToClipboard(); });
  AddAction(edit, "SelectAllAction", "Select &All", QKeySequence::SelectAll, [this] { FocusedViewer()->SelectAll(); });
  edit->addSeparator();
  AddAction(edit, "FindAction", "&Find\u2026", QKeySequence::Find, [this] {
    // From the find field itself the bar keeps its pane.
    FFindBar->OpenFor(FFindBar->isAncestorOf(QApplication::focusWidget()) && FFindBar->Target() ? FFindBar->Target()
                                                                                                 : FocusedViewer());
  });
  AddAction(edit, "FindNextAction", "Find &Next", QKeySequence(Qt::Key_F3), [this] { FindStep(false); });
  AddAction(edit, "FindPreviousAction", "Find &Previous", QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { FindStep(true); });

  QMenu* view = FMenuBar->addMenu("&View");
  QAction* history = AddAction(view, "HistoryAction", "&History Panel", QKeySequence(Qt::CTRL | Qt::Key_H),
                               [this] { FHistoryButton->click(); });
  history->setCheckable(true);
  connect(FHistoryButton, &QPushButton::toggled, history, &QAction::setChecked);
  QAction* fullScreen = AddAction(view, "FullScreenAction", "&Full Screen", QKeySequence(Qt::Key_F11), [this] {
    setWindowState(windowState() ^ Qt::WindowFullScreen);
    FMenuBar->setVisible(!(windowState() & Qt::WindowFullScreen));
  });
  fullScreen->setCheckable(true);
  AddAction(view, "OtherPaneAction", "Other &Pane", QKeySequence(Qt::Key_F6), [this] {
    (FocusedViewer() == FNavPageViewer ? FPageViewer : FNavPageViewer)->setFocus(Qt::ShortcutFocusReason);
  });

  QMenu* go = FMenuBar->addMenu("&Go");
  QAction* back = AddAction(go, "BackAction", "&Back", QKeySequence(Qt::ALT | Qt::Key_Left), [this] { GoBackOrForward(true); });
  back->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Left), QKeySequence(Qt::Key_Backspace)});
  AddAction(go, "ForwardAction", "&Forward", QKeySequence(Qt::ALT | Qt::Key_Right), [this] { GoBackOrForward(false); });
  AddAction(go, "HomeAction", "&Home", QKeySequence(Qt::ALT | Qt::Key_Home), [this] {
    FNavigator->OpenStartMember(TPageNavigator::StartPage, std::string());
  });

  QMenu* help = FMenuBar->addMenu("&Help");
  AddAction(help, "ShortcutsAction", "&Keyboard Shortcuts", QKeySequence(), [this] {
    QMessageBox::information(this, "Keyboard Shortcuts", ShortcutsText());
  });
  AddAction(help, "AboutAction", "&About", QKeySequence(), [this] {
    QMessageBox::about(this, "About " + QString(DefaultCaption), AboutText());
  });

  qApp->installEventFilter(new TMouseHistoryButtons(this));
}

QAction* TMainForm::FindAction(const char* name) const { return findChild<QAction*>(name); }

void TMainForm::FindStep(bool backward) {
  if (!FFindBar->isVisible()) FFindBar->OpenFor(FocusedViewer());
  else FFindBar->Step(backward);
}

void TMainForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Slash && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    FFindBar->OpenFor(FocusedViewer());
    return;
  }
  if (event->key() == Qt::Key_Escape && FFindBar->isVisible()) {
    FFindBar->Close();
    return;
  }
  QWidget::keyPressEvent(event);
}

TPageViewer* TMainForm::FocusedViewer() const {
  for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
    if (w == FNavPageViewer) return FNavPageViewer;
  return FPageViewer;
}

void TMainForm::GoBackOrForward(bool back) {
  QPushButton* button = back ? FBackButton : FForwardButton;
  if (button->isEnabled()) BackForwardButtonClick(button);
}

QString TMainForm::ShortcutsText() {
  return "Alt+Left, Backspace, mouse Back\tBack\n"
         "Alt+Right, mouse Forward\tForward\n"
         "Alt+Home\tStart page\n"
         "Ctrl+C\tCopy the selection\n"
         "Ctrl+A\tSelect the whole page\n"
         "Ctrl+F, /\tFind in the page\n"
         "F3, Shift+F3\tNext and previous match\n"
         "Space, Shift+Space\tPage down, page up\n"
         "Home, End\tTop and end of the page\n"
         "Tab, Shift+Tab, Enter\tMove through the links, follow one\n"
         "F6\tThe other pane\n"
         "Ctrl+H\tHistory panel\n"
         "F11\tFull screen\n"
         "Ctrl+Q\tQuit";
}

QString TMainForm::AboutText() {
  return QString("<p><b>%1</b> %2</p>"
                 "<p>A reader for HTML documentation kept in a zip archive, with its own rendering engine.</p>"
                 "<p>Built with Qt %3 (LGPL 3), zlib (zlib licence) and libjpeg-turbo (IJG and BSD-style "
                 "licences).</p>")
      .arg(DefaultCaption, ProgramVersion, qVersion());
}

void TMainForm::ShowContextMenu(TPageViewer* viewer, const std::string& url) {
  auto* menu = new QMenu(this);
  menu->setObjectName("PageContextMenu");
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QAction* copy = menu->addAction("&Copy", [viewer] { viewer->CopyToClipboard(); });
  copy->setEnabled(viewer->SelLength() > 0);
  menu->addAction("Select &All", [viewer] { viewer->SelectAll(); });
  menu->addAction("&Find\u2026", [this, viewer] { FFindBar->OpenFor(viewer); });
  if (!url.empty()) {
    menu->addSeparator();
    menu->addAction("Copy &Link Address", [url] { QGuiApplication::clipboard()->setText(Utf8(url)); });
    if (ClassifyLink(url) == TLinkKind::lkExternal)
      menu->addAction("&Open Link in Browser", [url] { QDesktopServices::openUrl(QUrl(Utf8(url))); });
  }
  menu->addSeparator();
  menu->addAction("&Back", [this] { GoBackOrForward(true); })->setEnabled(FBackButton->isEnabled());
  menu->addAction("&Forward", [this] { GoBackOrForward(false); })->setEnabled(FForwardButton->isEnabled());
  menu->popup(QCursor::pos());
}

}  // namespace korva
