#include "ui/main_window/status_line.h"

#include <QLabel>
#include <QWidget>

namespace kelvane::ui {

StatusLine::StatusLine(QWidget* window) : window_(window), label_(new QLabel(window)) {
  label_->setObjectName(QStringLiteral("StatusLine"));
  label_->setAttribute(Qt::WA_TransparentForMouseEvents);
  label_->setAutoFillBackground(true);
  label_->setBackgroundRole(QPalette::ToolTipBase);
  label_->setForegroundRole(QPalette::ToolTipText);
  label_->setFrameShape(QFrame::Box);
  label_->setMargin(2);
  label_->hide();
  hide_.setSingleShot(true);
  hide_.setInterval(kShownMs);
  QObject::connect(&hide_, &QTimer::timeout, label_, [this] {
    label_->hide();
    text_.clear();
  });
}

void StatusLine::show(const QString& text) {
  text_ = text;
  place();
  label_->show();
  label_->raise();
  hide_.start();
}

void StatusLine::place() {
  const int room = window_->width() - 2 * (label_->margin() + label_->frameWidth()) - 4;
  label_->setText(label_->fontMetrics().elidedText(text_, Qt::ElideMiddle, std::max(room, 0)));
  const QSize size = label_->sizeHint().boundedTo(window_->size());
  label_->setGeometry(0, window_->height() - size.height(), size.width(), size.height());
}

QString StatusLine::text() const {
  return text_;
}

}  // namespace kelvane::ui
