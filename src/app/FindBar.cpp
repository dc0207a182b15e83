#include "app/FindBar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "viewer/PageViewer.h"

namespace korva {

TFindBar::TFindBar(QWidget* parent) : QWidget(parent) {
  setObjectName("FindBar");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->setSpacing(4);
  layout->addWidget(new QLabel("Find:", this));
  FEdit = new QLineEdit(this);
  FEdit->setObjectName("FindEdit");
  FEdit->setClearButtonEnabled(true);
  FEdit->setMaximumWidth(320);
  FEdit->installEventFilter(this);
  layout->addWidget(FEdit, 1);
  FPrevious = new QToolButton(this);
  FPrevious->setObjectName("FindPrevious");
  FPrevious->setArrowType(Qt::UpArrow);
  FPrevious->setToolTip("Previous match (Shift+F3)");
  layout->addWidget(FPrevious);
  FNext = new QToolButton(this);
  FNext->setObjectName("FindNext");
  FNext->setArrowType(Qt::DownArrow);
  FNext->setToolTip("Next match (F3)");
  layout->addWidget(FNext);
  FMatchCase = new QCheckBox("Match case", this);
  FMatchCase->setObjectName("FindMatchCase");
  layout->addWidget(FMatchCase);
  FCount = new QLabel(this);
  FCount->setObjectName("FindCount");
  layout->addWidget(FCount, 2);
  FClose = new QToolButton(this);
  FClose->setObjectName("FindClose");
  FClose->setText("\u00D7");
  FClose->setToolTip("Close (Esc)");
  FClose->setAutoRaise(true);
  layout->addWidget(FClose);

  connect(FEdit, &QLineEdit::textChanged, this, [this] { Search(); });
  connect(FMatchCase, &QCheckBox::toggled, this, [this] { Search(); });
  connect(FPrevious, &QToolButton::clicked, this, [this] { Step(true); });
  connect(FNext, &QToolButton::clicked, this, [this] { Step(false); });
  connect(FClose, &QToolButton::clicked, this, [this] { Close(); });
  hide();
}

void TFindBar::OpenFor(TPageViewer* viewer) {
  if (FTarget && FTarget != viewer) FTarget->ClearFind();
  FTarget = viewer;
  show();
  FEdit->setFocus();
  FEdit->selectAll();
  Search();
}

void TFindBar::Close() {
  if (!isVisible()) return;
  hide();
  if (FTarget) {
    FTarget->ClearFind();
    FTarget->setFocus();
  }
}

void TFindBar::Step(bool backward) {
  if (!isVisible() || !FTarget) return;
  if (FTarget->MatchCount() == 0) Search();
  bool wrapped = false;
  if (FTarget->FindNext(backward, &wrapped)) ShowCount(wrapped, backward);
}

void TFindBar::PageChanged(TPageViewer* viewer) {
  if (isVisible() && viewer == FTarget) Search();
}

void TFindBar::Search() {
  if (!FTarget) return;
  const QByteArray text = FEdit->text().toUtf8();
  FTarget->Find(std::string(text.constData(), std::size_t(text.size())), FMatchCase->isChecked());
  ShowCount(false, false);
}

void TFindBar::ShowCount(bool wrapped, bool backward) {
  const int count = FTarget ? FTarget->MatchCount() : 0;
  QString text;
  if (FEdit->text().isEmpty())
    text.clear();
  else if (count == 0)
    text = "No matches";
  else
    text = QString("%1 of %2").arg(FTarget->CurrentMatch() + 1).arg(count);
  if (wrapped) text += backward ? "  (continued from the end)" : "  (continued from the top)";
  FCount->setText(text);
  // The field turns reddish when nothing matches, as readers know it from browsers.
  FEdit->setStyleSheet(count == 0 && !FEdit->text().isEmpty() ? "QLineEdit { background: #ffd6d6; }" : QString());
}

bool TFindBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FEdit && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      Step(key->modifiers() & Qt::ShiftModifier);
      return true;
    }
    if (key->key() == Qt::Key_Escape) {
      Close();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace korva
