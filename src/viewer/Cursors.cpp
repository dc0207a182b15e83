#include "viewer/Cursors.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygon>

namespace korva {

namespace {

constexpr int Side = 32;

QPixmap Blank() {
  QPixmap p(Side, Side);
  p.fill(Qt::transparent);
  return p;
}

// A white-edged black outline so the cursor shows on dark and light pages alike.
void Outlined(QPainter& g, const QPolygon& shape) {
  g.setPen(QPen(Qt::white, 3));
  g.drawPolygon(shape);
  g.setPen(QPen(Qt::black, 1));
  g.setBrush(Qt::black);
  g.drawPolygon(shape);
}

QCursor ThinIBeam() {
  QPixmap p = Blank();
  QPainter g(&p);
  g.setPen(QPen(Qt::white, 3));
  g.drawLine(16, 7, 16, 24);
  g.setPen(QPen(Qt::black, 1));
  g.drawLine(16, 8, 16, 23);
  g.drawLine(13, 7, 15, 7);
  g.drawLine(17, 7, 19, 7);
  g.drawLine(13, 24, 15, 24);
  g.drawLine(17, 24, 19, 24);
  g.end();
  return QCursor(p, 16, 16);
}

QPolygon UpArrow(int tipY) { return QPolygon({QPoint(16, tipY), QPoint(22, tipY + 6), QPoint(10, tipY + 6)}); }
QPolygon DownArrow(int tipY) { return QPolygon({QPoint(16, tipY), QPoint(22, tipY - 6), QPoint(10, tipY - 6)}); }

QCursor Arrows(bool up, bool down) {
  QPixmap p = Blank();
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing, false);
  g.setPen(QPen(Qt::black, 1));
  g.setBrush(Qt::NoBrush);
  g.drawEllipse(QPoint(16, 16), 2, 2);
  if (up) Outlined(g, UpArrow(4));
  if (down) Outlined(g, DownArrow(28));
  g.end();
  return QCursor(p, 16, 16);
}

}  // namespace

QCursor EngineCursor(int id) {
  switch (id) {
    case crHandLink:
      return QCursor(Qt::PointingHandCursor);
    case crThinIBeam: {
      static const QCursor c = ThinIBeam();
      return c;
    }
    case crUpDown: {
      static const QCursor c = Arrows(true, true);
      return c;
    }
    case crUpOnly: {
      static const QCursor c = Arrows(true, false);
      return c;
    }
    case crDownOnly: {
      static const QCursor c = Arrows(false, true);
      return c;
    }
    default:
      return QCursor(Qt::ArrowCursor);
  }
}

}  // namespace korva
