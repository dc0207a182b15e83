#include "viewer/ViewerHost.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>

#include "platform/Font.h"
#include "platform/QtBridge.h"
#include "viewer/PageViewer.h"
#include "viewer/ViewerWidgets.h"

namespace korva {

namespace {

QString ToQ(const std::u16string& s) { return QString::fromUtf16(s.data(), qsizetype(s.size())); }
std::u16string FromQ(const QString& s) { return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), std::size_t(s.size())); }

// The focus stop of a link: takes the keyboard focus but shows nothing.
class TFocusStop : public QWidget {
 public:
  explicit TFocusStop(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_NoSystemBackground); }

 protected:
  void paintEvent(QPaintEvent*) override {}
};

}  // namespace

// ---- TQtControl ----

TQtControl::TQtControl(TControlKind kind, QWidget* parent, TViewerHost* host) : FKind(kind), FHost(host) {
  QWidget* w = nullptr;
  switch (kind) {
    case TControlKind::Edit:
    case TControlKind::FileEdit:
      w = new QLineEdit(parent);
      break;
    case TControlKind::Password: {
      auto* e = new QLineEdit(parent);
      e->setEchoMode(QLineEdit::Password);
      w = e;
      break;
    }
    case TControlKind::Button:
      w = new QPushButton(parent);
      break;
    case TControlKind::CheckBox:
      w = new QCheckBox(parent);
      break;
    case TControlKind::Radio: {
      auto* r = new QRadioButton(parent);
      // The form groups its radio buttons by name; the toolkit must not group them by parent.
      r->setAutoExclusive(false);
      w = r;
      break;
    }
    case TControlKind::ListBox:
      w = new QListWidget(parent);
      break;
    case TControlKind::ComboBox:
      w = new QComboBox(parent);
      break;
    case TControlKind::Memo:
      w = new QPlainTextEdit(parent);
      break;
    case TControlKind::LinkFocus:
      w = new TFocusStop(parent);
      w->setFocusPolicy(Qt::TabFocus);
      break;
    case TControlKind::Panel: {
      auto* f = new QFrame(parent);
      f->setFrameShape(QFrame::Box);
      w = f;
      break;
    }
  }
  FWidget = w;
  w->hide();
  w->installEventFilter(this);
  if (auto* b = qobject_cast<QAbstractButton*>(w))
    connect(b, &QAbstractButton::clicked, this, [this] {
      if (OnClick) OnClick();
    });
  if (FKind == TControlKind::Memo) SetWordWrap(true);
}

TQtControl::~TQtControl() {
  if (FWidget) {
    FWidget->removeEventFilter(this);
    FWidget->hide();
    // The widget may be inside one of its own signals; it goes once that has returned.
    FWidget->deleteLater();
  }
}

void TQtControl::SetBounds(const TRect& r) {
  FBounds = r;
  if (FWidget) FWidget->setGeometry(r.Left, r.Top, std::max(0, r.Width()), std::max(0, r.Height()));
}

void TQtControl::SetVisible(bool on) {
  if (FWidget) FWidget->setVisible(on);
}

bool TQtControl::Visible() const { return FWidget && !FWidget->isHidden(); }

void TQtControl::SetFocus() {
  if (FWidget && FWidget->isEnabled()) FWidget->setFocus(Qt::OtherFocusReason);
}

bool TQtControl::Focused() const { return FWidget && FWidget->hasFocus(); }

void TQtControl::SetText(const std::u16string& text) {
  if (auto* e = qobject_cast<QLineEdit*>(FWidget)) e->setText(ToQ(text));
  else if (auto* b = qobject_cast<QAbstractButton*>(FWidget)) b->setText(ToQ(text));
  else if (auto* m = qobject_cast<QPlainTextEdit*>(FWidget)) m->setPlainText(ToQ(text));
}

std::u16string TQtControl::Text() const {
  if (auto* e = qobject_cast<QLineEdit*>(FWidget)) return FromQ(e->text());
  if (auto* b = qobject_cast<QAbstractButton*>(FWidget)) return FromQ(b->text());
  if (auto* m = qobject_cast<QPlainTextEdit*>(FWidget)) return FromQ(m->toPlainText());
  if (auto* c = qobject_cast<QComboBox*>(FWidget)) return FromQ(c->currentText());
  return {};
}

void TQtControl::SetFont(const TPlatformFontPtr& font) {
  if (FWidget && font) FWidget->setFont(ToQFont(*font));
}

int TQtControl::NaturalHeight() const {
  switch (FKind) {
    case TControlKind::Edit:
    case TControlKind::Password:
    case TControlKind::FileEdit:
    case TControlKind::ComboBox:
    case TControlKind::Button:
      return FWidget ? FWidget->sizeHint().height() : FBounds.Height();
    default:
      return FBounds.Height();
  }
}

TSize TQtControl::FrameExtra() const {
  auto* f = qobject_cast<QFrame*>(FWidget);
  if (!f || (FKind != TControlKind::ListBox && FKind != TControlKind::Memo)) return {0, 0};
  const int frame = 2 * f->frameWidth();
  if (FKind == TControlKind::ListBox) return {frame + ScrollBarWidth(), frame};
  return {frame + ScrollBarWidth(), frame + (FWordWrap ? 0 : ScrollBarWidth())};
}

int TQtControl::ScrollBarWidth() const {
  return FWidget ? FWidget->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, FWidget) : 16;
}

void TQtControl::SetEnabled(bool on) {
  if (FWidget) FWidget->setEnabled(on);
}

bool TQtControl::Enabled() const { return FWidget && FWidget->isEnabled(); }

void TQtControl::SetTabStop(bool on) {
  if (!FWidget || FKind == TControlKind::LinkFocus) return;
  FWidget->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
}

bool TQtControl::TabStop() const { return FWidget && (FWidget->focusPolicy() & Qt::TabFocus); }

void TQtControl::SetBorderless(bool on) {
  if (auto* e = qobject_cast<QLineEdit*>(FWidget)) e->setFrame(!on);
  else if (auto* c = qobject_cast<QComboBox*>(FWidget)) c->setFrame(!on);
  else if (auto* f = qobject_cast<QFrame*>(FWidget)) f->setFrameShape(on ? QFrame::NoFrame : QFrame::StyledPanel);
}

void TQtControl::SetReadOnly(bool on) {
  if (auto* e = qobject_cast<QLineEdit*>(FWidget)) e->setReadOnly(on);
  else if (auto* m = qobject_cast<QPlainTextEdit*>(FWidget)) m->setReadOnly(on);
}

bool TQtControl::ReadOnly() const {
  if (auto* e = qobject_cast<QLineEdit*>(FWidget)) return e->isReadOnly();
  if (auto* m = qobject_cast<QPlainTextEdit*>(FWidget)) return m->isReadOnly();
  return false;
}

void TQtControl::SetMaxLength(int length) {
  if (auto* e = qobject_cast<QLineEdit*>(FWidget)) e->setMaxLength(length > 0 ? length : 32767);
}

void TQtControl::SetChecked(bool on) {
  if (auto* b = qobject_cast<QAbstractButton*>(FWidget)) {
    b->setCheckable(true);
    b->setChecked(on);
  }
}

bool TQtControl::Checked() const {
  auto* b = qobject_cast<QAbstractButton*>(FWidget);
  return b && b->isChecked();
}

void TQtControl::SetItems(const std::vector<std::u16string>& items) {
  QStringList list;
  for (const auto& s : items) list << ToQ(s);
  if (auto* l = qobject_cast<QListWidget*>(FWidget)) {
    l->clear();
    l->addItems(list);
  } else if (auto* c = qobject_cast<QComboBox*>(FWidget)) {
    c->clear();
    c->addItems(list);
    c->setCurrentIndex(-1);
  }
}

int TQtControl::ItemCount() const {
  if (auto* l = qobject_cast<QListWidget*>(FWidget)) return l->count();
  if (auto* c = qobject_cast<QComboBox*>(FWidget)) return c->count();
  return 0;
}

void TQtControl::SetMultiSelect(bool on) {
  if (auto* l = qobject_cast<QListWidget*>(FWidget))
    l->setSelectionMode(on ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

void TQtControl::SetItemSelected(int index, bool on) {
  if (index < 0 || index >= ItemCount()) return;
  if (auto* l = qobject_cast<QListWidget*>(FWidget)) {
    if (on && l->selectionMode() == QAbstractItemView::SingleSelection) l->clearSelection();
    l->item(index)->setSelected(on);
  } else if (auto* c = qobject_cast<QComboBox*>(FWidget)) {
    if (on) c->setCurrentIndex(index);
    else if (c->currentIndex() == index) c->setCurrentIndex(-1);
  }
}

bool TQtControl::ItemSelected(int index) const {
  if (index < 0 || index >= ItemCount()) return false;
  if (auto* l = qobject_cast<QListWidget*>(FWidget)) return l->item(index)->isSelected();
  if (auto* c = qobject_cast<QComboBox*>(FWidget)) return c->currentIndex() == index;
  return false;
}

void TQtControl::SetItemIndex(int index) {
  if (auto* l = qobject_cast<QListWidget*>(FWidget)) {
    l->clearSelection();
    if (index >= 0 && index < l->count()) {
      l->setCurrentRow(index);
      l->item(index)->setSelected(true);
    }
  } else if (auto* c = qobject_cast<QComboBox*>(FWidget)) {
    c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
  }
}

int TQtControl::ItemIndex() const {
  if (auto* l = qobject_cast<QListWidget*>(FWidget)) {
    for (int i = 0; i < l->count(); ++i)
      if (l->item(i)->isSelected()) return i;
    return -1;
  }
  if (auto* c = qobject_cast<QComboBox*>(FWidget)) return c->currentIndex();
  return -1;
}

void TQtControl::SetTopIndex(int index) {
  if (auto* l = qobject_cast<QListWidget*>(FWidget))
    if (index >= 0 && index < l->count()) l->scrollToItem(l->item(index), QAbstractItemView::PositionAtTop);
}

void TQtControl::SetWordWrap(bool on) {
  FWordWrap = on;
  if (auto* m = qobject_cast<QPlainTextEdit*>(FWidget)) {
    m->setLineWrapMode(on ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m->setHorizontalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
  }
}

std::vector<std::u16string> TQtControl::DisplayLines() const {
  auto* m = qobject_cast<QPlainTextEdit*>(FWidget);
  if (!m) return {Text()};
  std::vector<std::u16string> lines;
  for (QTextBlock b = m->document()->firstBlock(); b.isValid(); b = b.next()) {
    const QString text = b.text();
    QTextLayout* layout = b.layout();
    if (!FWordWrap || !layout || layout->lineCount() <= 1) {
      lines.push_back(FromQ(text));
      continue;
    }
    for (int i = 0; i < layout->lineCount(); ++i) {
      QTextLine line = layout->lineAt(i);
      lines.push_back(FromQ(text.mid(line.textStart(), line.textLength())));
    }
  }
  return lines;
}

void TQtControl::SetCaretToStart() {
  if (auto* m = qobject_cast<QPlainTextEdit*>(FWidget)) m->moveCursor(QTextCursor::Start);
  else if (auto* e = qobject_cast<QLineEdit*>(FWidget)) e->setCursorPosition(0);
}

bool TQtControl::eventFilter(QObject* watched, QEvent* event) {
  if (watched != FWidget) return false;
  switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut:
      if (OnFocusChange) {
        FHost->FFocusKind = FKind;
        OnFocusChange(event->type() == QEvent::FocusIn);
      }
      return false;
    case QEvent::KeyPress: {
      auto* k = static_cast<QKeyEvent*>(event);
      if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && OnEnterKey) {
        OnEnterKey();
        return true;
      }
      if (OnArrowKey) {
        int key = k->key();
        if (key == Qt::Key_Left && OnArrowKey(TControlKey::Left)) return true;
        if (key == Qt::Key_Up && OnArrowKey(TControlKey::Up)) return true;
        if (key == Qt::Key_Right && OnArrowKey(TControlKey::Right)) return true;
        if (key == Qt::Key_Down && OnArrowKey(TControlKey::Down)) return true;
      }
      if (FKind == TControlKind::LinkFocus && k->key() != Qt::Key_Tab && k->key() != Qt::Key_Backtab) {
        FHost->ForwardKey(k);
        return true;
      }
      return false;
    }
    default:
      return false;
  }
}

// ---- TViewerHost ----

TViewerHost::TViewerHost(TPageViewer& viewer) : FViewer(viewer), FTimer(new QTimer(&viewer)) {
  QObject::connect(FTimer, &QTimer::timeout, FTimer, [this] {
    if (FTick) FTick();
  });
}

TViewerHost::~TViewerHost() = default;

void TViewerHost::InvalidateRect(const TRect& r, bool) {
  // Document rows; the whole width, since pictures report where they were drawn.
  QWidget* panel = FViewer.PaintPanel();
  const int top = r.Top - FViewer.Document().FYOff, bottom = r.Bottom - FViewer.Document().FYOff;
  if (bottom <= 0 || top >= panel->height()) return;
  panel->update(0, std::max(0, top), panel->width(), std::min(panel->height(), bottom) - std::max(0, top));
}

void TViewerHost::InvalidateAll() { FViewer.PaintPanel()->update(); }

void TViewerHost::StartTimer(int intervalMs, std::function<void()> tick) {
  FTick = std::move(tick);
  FTimer->start(std::max(1, intervalMs));
}

void TViewerHost::StopTimer() { FTimer->stop(); }
bool TViewerHost::TimerRunning() const { return FTimer->isActive(); }

void TViewerHost::ShowError(const std::string& message) {
  if (FViewer.OnErrorDialog) {
    FViewer.OnErrorDialog(&FViewer, message);
    return;
  }
  QMessageBox::critical(&FViewer, QApplication::applicationName(), QString::fromStdString(message), QMessageBox::Ok);
}

std::unique_ptr<TNativeControl> TViewerHost::CreateControl(TControlKind kind) {
  return std::make_unique<TQtControl>(kind, FViewer.PaintPanel(), this);
}

bool TViewerHost::LeftButtonDown() const {
  return FViewer.FLeftHeld || (QGuiApplication::mouseButtons() & Qt::LeftButton);
}

void TViewerHost::ScrollIntoView(const TRect& r) { FViewer.MakeVisible(r); }

bool TViewerHost::Showing() const { return FViewer.isVisible(); }
bool TViewerHost::ViewImages() const { return FViewer.FViewImages; }

bool TViewerHost::HasBitmapRequest() const { return bool(FViewer.OnBitmapRequest); }
bool TViewerHost::HasImageRequest() const { return bool(FViewer.OnImageRequest); }

void TViewerHost::BitmapRequest(const std::string& source, TBitmapPtr& bitmap, TColor& color) {
  if (FViewer.OnBitmapRequest) FViewer.OnBitmapRequest(&FViewer, source, bitmap, color);
}

void TViewerHost::ImageRequest(const std::string& source, TMemoryStream*& stream) {
  if (FViewer.OnImageRequest) FViewer.OnImageRequest(&FViewer, source, stream);
}

std::string TViewerHost::ExpandImageName(const std::string& source) { return FViewer.ExpandLinkName(source); }

void TViewerHost::ForwardKey(QKeyEvent* event) { FViewer.keyPressEvent(event); }

}  // namespace korva
