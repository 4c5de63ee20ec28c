// The popup menu mnuPop: ten commands in a fixed order, no separators, then
// two switches of this program's own, each kept in Kelvane.cnf after the 22
// lines (23 and 24), then the manual and the History window. A new item is one
// more row of popupItems().
#pragma once

#include <span>

namespace kelvane::ui {

class Form1;

struct PopupItem {
  const char* name;
  const char* caption;       // UTF-8, with the access key after "&"
  void (Form1::*handler)();  // null for a switch, read where it acts
  bool checkable = false;    // shows a check mark
  const char* toolTip = nullptr;
};

// The items in menu order (form1_menu.cpp, beside the handlers).
std::span<const PopupItem> popupItems();

}  // namespace kelvane::ui
