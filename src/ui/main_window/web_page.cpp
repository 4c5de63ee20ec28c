#include "ui/main_window/web_page.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelvane::ui {

WebPage buildWebPage(QWidget* page, Design& design) {
  WebPage p;
  p.Label12 = new QLabel(
      QCoreApplication::translate("Form1", "サポート: ") + QString::fromUtf8(kSupportAddress),
      page);
  p.Label12->setObjectName(QStringLiteral("Label12"));
  design.place(p.Label12, 100, 380, 3700, 240);

  p.Text2 = new QLineEdit(page);
  p.Text2->setObjectName(QStringLiteral("Text2"));
  design.place(p.Text2, 50, 640, 3115, 300);

  p.Command3 = new QPushButton(QCoreApplication::translate("Form1", "読込"), page);
  p.Command3->setObjectName(QStringLiteral("Command3"));
  design.place(p.Command3, 3225, 640, 600, 300);

  p.WebBrowser1 = new QWidget(page);
  p.WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
  auto* holder = new QVBoxLayout(p.WebBrowser1);
  holder->setContentsMargins(0, 0, 0, 0);
  design.place(p.WebBrowser1, 50, 990, 3785, 6360);
  return p;
}

}  // namespace kelvane::ui
