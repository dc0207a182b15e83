// The find bar under the pages: a search field that searches as the reader types, the count of
// matches ("3 of 17"), previous and next, a match-case switch, and a close button. It searches
// the pane it was opened for; the viewer finds, highlights and scrolls.
#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace korva {

class TPageViewer;

class TFindBar : public QWidget {
 public:
  explicit TFindBar(QWidget* parent);

  // Shows the bar for a pane, with the field focused and its text selected; the pane's
  // matches are found again.
  void OpenFor(TPageViewer* viewer);
  // Hides the bar, clears the pane's highlights and gives the pane the focus back.
  void Close();
  // The next or previous match (F3, Shift+F3, Enter, Shift+Enter); opens the bar when closed.
  void Step(bool backward);
  // The pane's page changed: its matches are those of the new page.
  void PageChanged(TPageViewer* viewer);

  TPageViewer* Target() const { return FTarget; }
  QLineEdit* Edit() const { return FEdit; }
  QLabel* CountLabel() const { return FCount; }
  QCheckBox* MatchCase() const { return FMatchCase; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Search();
  void ShowCount(bool wrapped, bool backward);

  TPageViewer* FTarget = nullptr;
  QLineEdit* FEdit = nullptr;
  QLabel* FCount = nullptr;
  QCheckBox* FMatchCase = nullptr;
  QToolButton* FPrevious = nullptr;
  QToolButton* FNext = nullptr;
  QToolButton* FClose = nullptr;
};

}  // namespace korva
