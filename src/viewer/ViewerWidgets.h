// The child widgets of the viewer: the panel the document is painted on, the border panel
// behind it and the two scroll bars.
#pragma once

#include <QScrollBar>
#include <QWidget>
#include <functional>

#include "platform/Types.h"

namespace korva {

class TPageViewer;

// Shows the document and receives the mouse. It never erases its background: every paint
// covers its clip rectangle with the off-screen picture.
class TPaintPanel : public QWidget {
  Q_OBJECT

 public:
  TPaintPanel(TPageViewer* viewer, QWidget* parent);
  TColor Color() const { return FColor; }
  void SetColor(TColor c);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  TPageViewer* FViewer;
  TColor FColor = clBtnFace;
};

// Fills the viewer behind the paint panel and draws its single-line border when asked.
class TBorderPanel : public QWidget {
  Q_OBJECT

 public:
  explicit TBorderPanel(QWidget* parent);
  bool BorderShown() const { return FShown; }
  void SetBorderShown(bool on);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool FShown = false;
};

// A vertical bar that keeps its own position, page, minimum and maximum as the document sees
// them: the position runs from Min to Max - Page + 1. The toolkit's bar is told only when one
// of the four values changes.
class T32ScrollBar : public QScrollBar {
  Q_OBJECT

 public:
  explicit T32ScrollBar(QWidget* parent);
  int Position() const { return FPosition; }
  int Page() const { return FPage; }
  int Min() const { return FMin; }
  int Max() const { return FMax; }
  int SmallChange() const { return 16; }
  int LargeChange() const { return FLargeChange; }
  void SetLargeChange(int n) { FLargeChange = n; }
  // Sets the position (not clamped here); raises OnChange when it moved.
  void SetPosition(int pos);
  void SetParams(int pos, int page, int min, int max);
  int ParamsCalls() const { return FParamsCalls; }
  std::function<void()> OnChange;

 private:
  void Apply();
  int FPosition = 0, FPage = 0, FMin = 0, FMax = 0;
  int FLargeChange = 1;
  int FParamsCalls = 0;
  bool FApplying = false;
};

// The horizontal bar: its maximum is the width of the widest content; the position runs to
// maximum - the panel's width.
class THorzScrollBar : public QScrollBar {
  Q_OBJECT

 public:
  explicit THorzScrollBar(QWidget* parent);
  int Position() const { return FPosition; }
  int Maximum() const { return FMaximum; }
  int SmallChange() const { return 15; }
  int LargeChange() const { return FLargeChange; }
  void SetLargeChange(int n) { FLargeChange = n; }
  // `view` is the width shown (the paint panel's).
  void SetRange(int maximum, int pageSize, int view);
  void SetPosition(int pos);

 private:
  void Apply();
  int FPosition = 0, FMaximum = 0, FPageSize = 0, FView = 0;
  int FLargeChange = 1;
  bool FApplying = false;
};

}  // namespace korva
