#include "app/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace korva {

namespace {

// Drawn on a 20-unit grid, painted at the buttons' 16-pixel icon size.
constexpr int GlyphSize = 16;
constexpr double GridScale = GlyphSize / 20.0;

QPixmap Draw(TGlyph glyph, bool enabled) {
  QPixmap pm(GlyphSize, GlyphSize);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(GridScale, GridScale);
  const QColor grey(160, 160, 160);
  auto pick = [&](QColor c) { return enabled ? c : grey; };
  switch (glyph) {
    case TGlyph::History: {
      // A page with lines of entries.
      p.setPen(QPen(pick(QColor(40, 40, 40)), 1));
      p.setBrush(pick(QColor(255, 252, 230)));
      p.drawRect(QRectF(3.5, 1.5, 13, 17));
      p.setPen(QPen(pick(QColor(30, 70, 160)), 1.6));
      for (int i = 0; i < 4; ++i) p.drawLine(QPointF(6, 5.5 + i * 3.5), QPointF(14, 5.5 + i * 3.5));
      break;
    }
    case TGlyph::Back:
    case TGlyph::Forward: {
      QPainterPath arrow;
      arrow.moveTo(2, 10);
      arrow.lineTo(10, 2.5);
      arrow.lineTo(10, 6.5);
      arrow.lineTo(18, 6.5);
      arrow.lineTo(18, 13.5);
      arrow.lineTo(10, 13.5);
      arrow.lineTo(10, 17.5);
      arrow.closeSubpath();
      if (glyph == TGlyph::Forward) {
        p.translate(20, 0);
        p.scale(-1, 1);
      }
      p.setPen(QPen(pick(QColor(0, 90, 0)), 1));
      p.setBrush(pick(QColor(40, 170, 60)));
      p.drawPath(arrow);
      break;
    }
    case TGlyph::Close: {
      p.setPen(QPen(pick(QColor(150, 0, 0)), 1));
      p.setBrush(pick(QColor(215, 40, 40)));
      p.drawEllipse(QRectF(1.5, 1.5, 17, 17));
      p.setPen(QPen(enabled ? Qt::white : QColor(235, 235, 235), 2.4, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(6.5, 6.5), QPointF(13.5, 13.5));
      p.drawLine(QPointF(13.5, 6.5), QPointF(6.5, 13.5));
      break;
    }
  }
  return pm;
}

}  // namespace

QIcon MakeGlyph(TGlyph glyph) {
  QIcon icon;
  icon.addPixmap(Draw(glyph, true), QIcon::Normal);
  icon.addPixmap(Draw(glyph, false), QIcon::Disabled);
  return icon;
}

}  // namespace korva
