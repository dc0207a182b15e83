#include "viewer/ViewerWidgets.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "platform/QtBridge.h"
#include "viewer/PageViewer.h"

namespace korva {

// ---- TPaintPanel ----

TPaintPanel::TPaintPanel(TPageViewer* viewer, QWidget* parent) : QWidget(parent), FViewer(viewer) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setAutoFillBackground(false);
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
}

void TPaintPanel::SetColor(TColor c) {
  if (FColor == c) return;
  FColor = c;
  update();
}

void TPaintPanel::paintEvent(QPaintEvent* event) { FViewer->PaintPanelEvent(event->rect()); }
void TPaintPanel::mousePressEvent(QMouseEvent* event) { FViewer->PanelMouseDown(event); }
void TPaintPanel::mouseMoveEvent(QMouseEvent* event) { FViewer->PanelMouseMove(event); }
void TPaintPanel::mouseReleaseEvent(QMouseEvent* event) { FViewer->PanelMouseUp(event); }
void TPaintPanel::mouseDoubleClickEvent(QMouseEvent* event) { FViewer->PanelDoubleClick(event); }
void TPaintPanel::enterEvent(QEnterEvent*) { FViewer->FMouseInPanel = true; }
void TPaintPanel::leaveEvent(QEvent*) { FViewer->PanelLeave(); }

// ---- TBorderPanel ----

TBorderPanel::TBorderPanel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
}

void TBorderPanel::SetBorderShown(bool on) {
  if (FShown == on) return;
  FShown = on;
  update();
}

void TBorderPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), ToQColor(clBtnFace));
  if (FShown) {
    p.setPen(ToQColor(clBlack));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

// ---- T32ScrollBar ----

T32ScrollBar::T32ScrollBar(QWidget* parent) : QScrollBar(Qt::Vertical, parent) {
  setFocusPolicy(Qt::NoFocus);
  setSingleStep(16);
  hide();
}

void T32ScrollBar::SetPosition(int pos) {
  if (pos == FPosition) return;
  FPosition = pos;
  Apply();
  if (OnChange) OnChange();
}

void T32ScrollBar::SetParams(int pos, int page, int min, int max) {
  if (pos == FPosition && page == FPage && min == FMin && max == FMax) return;
  FPosition = pos;
  FPage = page;
  FMin = min;
  FMax = max;
  ++FParamsCalls;
  Apply();
}

void T32ScrollBar::Apply() {
  if (FApplying) return;
  FApplying = true;
  const int top = std::max(FMin, FMax - std::max(FPage, 1) + 1);
  setRange(FMin, top);
  setPageStep(std::max(FPage, 1));
  setValue(std::clamp(FPosition, FMin, top));
  FApplying = false;
}

// ---- THorzScrollBar ----

THorzScrollBar::THorzScrollBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
  setFocusPolicy(Qt::NoFocus);
  setSingleStep(15);
  hide();
}

void THorzScrollBar::SetRange(int maximum, int pageSize, int view) {
  FMaximum = maximum;
  FPageSize = pageSize;
  FView = view;
  Apply();
}

void THorzScrollBar::SetPosition(int pos) {
  FPosition = pos;
  Apply();
}

void THorzScrollBar::Apply() {
  if (FApplying) return;
  FApplying = true;
  const int top = std::max(0, FMaximum - FView);
  setRange(0, top);
  setPageStep(std::max(1, FView));
  setValue(std::clamp(FPosition, 0, top));
  FApplying = false;
}

}  // namespace korva
