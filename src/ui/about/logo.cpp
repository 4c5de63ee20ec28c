#include "ui/about/logo.h"

#include <QPainter>
#include <QPainterPath>

namespace kelvane::ui {

void paintLogo(QPainter& p, double size) {
  // A page with lines of text and a magnifying glass over it: data picked
  // out of a web page.
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  p.setPen(QPen(QColor(40, 70, 120), 2));
  p.setBrush(QColor(250, 250, 245));
  QPainterPath page;
  page.moveTo(10, 4);
  page.lineTo(40, 4);
  page.lineTo(50, 14);
  page.lineTo(50, 58);
  page.lineTo(10, 58);
  page.closeSubpath();
  p.drawPath(page);
  p.drawLine(QPointF(40, 4), QPointF(40, 14));
  p.drawLine(QPointF(40, 14), QPointF(50, 14));
  p.setPen(QPen(QColor(120, 140, 170), 3, Qt::SolidLine, Qt::RoundCap));
  for (int y = 22; y <= 50; y += 7) p.drawLine(QPointF(16, y), QPointF(y == 36 ? 30 : 43, y));
  p.setPen(QPen(QColor(200, 60, 40), 4, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(QColor(255, 230, 150, 170));
  p.drawEllipse(QPointF(38, 38), 12, 12);
  p.drawLine(QPointF(47, 47), QPointF(58, 58));
  p.restore();
}

}  // namespace kelvane::ui
