// The "Page" page: the support line, the URL box Text2, the load button
// Command3 and the place of the embedded browser WebBrowser1, which is only
// created when it is first needed.
#pragma once

#include "ui/main_window/design.h"
#include "ui/product.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace kelvane::ui {

struct WebPage {
  QLabel* Label12 = nullptr;
  QLineEdit* Text2 = nullptr;
  QPushButton* Command3 = nullptr;
  // Holds the browser view once it exists.
  QWidget* WebBrowser1 = nullptr;
};

WebPage buildWebPage(QWidget* page, Design& design);

}  // namespace kelvane::ui
