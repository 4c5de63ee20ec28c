#include "ui/main_window/accessible_names.h"

#include <QWidget>

namespace kelvane::ui {

void nameControls(QWidget* root) {
  for (const auto& [name, accessibleName] : kAccessibleNames) {
    if (auto* w = root->findChild<QWidget*>(QString::fromLatin1(name))) {
      w->setAccessibleName(QString::fromUtf8(accessibleName));
    }
  }
}

}  // namespace kelvane::ui
