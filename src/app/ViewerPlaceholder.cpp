#include "app/ViewerPlaceholder.h"

namespace korva {

TViewerPlaceholder::TViewerPlaceholder(const QString& name, QWidget* parent) : QFrame(parent) {
  setObjectName(name);
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Base));
  setPalette(pal);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(1, 1);
}

}  // namespace korva
