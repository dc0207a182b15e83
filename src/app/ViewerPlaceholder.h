// Stands where a page viewer goes until the viewer control takes its place: an empty white
// pane with the viewer's frame.
#pragma once

#include <QFrame>

namespace korva {

class TViewerPlaceholder : public QFrame {
  Q_OBJECT
 public:
  explicit TViewerPlaceholder(const QString& name, QWidget* parent = nullptr);
  QSize sizeHint() const override { return {100, 100}; }
};

}  // namespace korva
