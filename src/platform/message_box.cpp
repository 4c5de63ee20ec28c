#include "platform/message_box.h"

#include <QMessageBox>

namespace kelvane::platform {

void showMessageBox(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok,
                  parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace kelvane::platform
