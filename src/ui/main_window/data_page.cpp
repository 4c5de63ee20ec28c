#include "ui/main_window/data_page.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <algorithm>

namespace kelvane::ui {

DataPage buildDataPage(QWidget* page, Design& design) {
  DataPage p;
  p.Text3 = new QPlainTextEdit(page);
  p.Text3->setObjectName(QStringLiteral("Text3"));
  p.Text3->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // Tab moves on to the next control: a tab typed here would go into the log.
  p.Text3->setTabChangesFocus(true);
  design.place(p.Text3, 50, 330, 3805, 7030);
  return p;
}

QIcon failureMark(int size) {
  size = std::max(size, 8);
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(220, 0, 0));
  painter.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
  const qreal w = size / 7.0;
  painter.setBrush(Qt::white);
  painter.drawRect(QRectF((size - w) / 2, size * 0.18, w, size * 0.42));
  painter.drawEllipse(QRectF((size - w) / 2, size * 0.68, w, w));
  return QIcon(pixmap);
}

}  // namespace kelvane::ui
