// The popup menu mnuPop: ten commands in a fixed order, no separators, then
// two switches of this program's own, each kept in Kelvane.cnf after the 22
// lines (23 and 24), then the manual, the History window, the script
// workbench, a new watch and forgetting the login. A new item is one more row
// of popupItems().
#pragma once

#include <span>
#include <vector>

class QAction;
class QMenu;
class QPoint;
class QWidget;

namespace kelvane::ui {

class Form1;
class TabStrip;

struct PopupItem {
  const char* name;
  const char* caption;       // UTF-8, with the access key after "&"
  void (Form1::*handler)();  // null for a switch, read where it acts
  bool checkable = false;    // shows a check mark
  const char* toolTip = nullptr;
};

// The items in menu order.
std::span<const PopupItem> popupItems();

class PopupMenu {
 public:
  // Builds mnuPop on the window, each item calling its handler there.
  explicit PopupMenu(Form1& window);

  QMenu* menu() const { return menu_; }
  // The item of that name; null for none.
  QAction* item(const char* name) const;
  void popup(const QPoint& globalPos);
  // Opened by the keyboard: below the current tab when the strip has the
  // focus, else over the middle of the control that has it.
  void openBeside(QWidget* focus, TabStrip* strip);

 private:
  QMenu* menu_;
  std::vector<QAction*> items_;  // in the order of popupItems()
};

}  // namespace kelvane::ui
