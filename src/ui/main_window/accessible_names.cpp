#include "ui/main_window/accessible_names.h"

#include <QCoreApplication>
#include <QWidget>

namespace kelvane::ui {

void nameControls(QWidget* root) {
  for (const auto& [name, accessibleName] : kAccessibleNames) {
    if (auto* w = root->findChild<QWidget*>(QString::fromLatin1(name))) {
      w->setAccessibleName(QCoreApplication::translate("Form1", accessibleName));
    }
  }
}

}  // namespace kelvane::ui
