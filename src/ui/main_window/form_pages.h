// The window's three pages on the tab control SSTab1 ("Data", "Setting",
// "Page"), their controls' design rectangles, and how the controls are laid
// out for a client area and shown with the current page.
#pragma once

#include <QSize>

#include "ui/main_window/data_page.h"
#include "ui/main_window/design.h"
#include "ui/main_window/setting_page.h"
#include "ui/main_window/web_page.h"

class QWidget;

namespace kelvane::ui {

class TabControl;

// The height of the tab strip: the pages' controls start below it.
inline constexpr float kTabStripHeight = 315;

struct FormPages {
  // Builds the pages on the window.
  explicit FormPages(QWidget* window);

  // Every control from its design rectangle, with what the resize rules
  // change, for the tab control covering a client area of that size.
  void layOut(QSize client);
  // The controls that follow the current page are shown or hidden, and the
  // browser is moved out of sight away from its own page.
  void showCurrentPage();

  Design design;
  TabControl* SSTab1 = nullptr;
  DataPage data;
  SettingPage setting;
  WebPage web;

 private:
  void placeWebBrowser();
  QWidget* window_;
};

}  // namespace kelvane::ui
