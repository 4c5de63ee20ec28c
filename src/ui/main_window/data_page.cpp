#include "ui/main_window/data_page.h"

#include <QPlainTextEdit>

namespace kelvane::ui {

DataPage buildDataPage(QWidget* page, Design& design) {
  DataPage p;
  p.Text3 = new QPlainTextEdit(page);
  p.Text3->setObjectName(QStringLiteral("Text3"));
  p.Text3->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  design.place(p.Text3, 50, 330, 3805, 7030);
  return p;
}

}  // namespace kelvane::ui
