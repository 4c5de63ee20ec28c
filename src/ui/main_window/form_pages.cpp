#include "ui/main_window/form_pages.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <optional>

#include "ui/main_window/form_layout.h"
#include "ui/main_window/tab_control.h"

namespace kelvane::ui {

FormPages::FormPages(QWidget* window) : window_(window) {
  SSTab1 = new TabControl(window);
  SSTab1->setObjectName(QStringLiteral("SSTab1"));
  SSTab1->setStripHeight(twipsToPixels(kTabStripHeight, window->logicalDpiY()));
  data = buildDataPage(SSTab1->addPage(QStringLiteral("Data")), design);
  setting = buildSettingPage(SSTab1->addPage(QStringLiteral("Setting")), design);
  web = buildWebPage(SSTab1->addPage(QStringLiteral("Page")), design);
  // The browser never hides: a hidden page has its timers throttled and
  // would not settle while a run loads it from another page. Away from its
  // own page it is moved out of sight instead, as a tab control of old did
  // with the controls of its other pages.
  web.WebBrowser1->setParent(SSTab1);
  web.WebBrowser1->show();
}

void FormPages::layOut(QSize client) {
  const double dpiX = window_->logicalDpiX();
  const double dpiY = window_->logicalDpiY();
  const LayoutValues v = computeLayout({
      .scaleWidth = pixelsToTwips(client.width(), dpiX),
      .scaleHeight = pixelsToTwips(client.height(), dpiY),
      .command3Width = static_cast<float>(design.rectOf(web.Command3).width()),
      .quitBtnWidth = static_cast<float>(design.rectOf(setting.QuitBtn).width()),
      .text6Top = static_cast<float>(design.rectOf(setting.Text6).top()),
  });
  SSTab1->setGeometry(0, 0, client.width(), client.height());
  SSTab1->setStripHeight(twipsToPixels(kTabStripHeight, dpiY));

  const auto place = [&](QWidget* w, std::optional<float> left, std::optional<float> width,
                         std::optional<float> height) {
    QRectF r = design.rectOf(w);
    if (left) r.moveLeft(*left);
    if (width) r.setWidth(*width);
    if (height) r.setHeight(*height);
    w->setGeometry(twipsRectToPixels(static_cast<float>(r.left()), static_cast<float>(r.top()),
                                     static_cast<float>(r.width()), static_cast<float>(r.height()),
                                     dpiX, dpiY));
  };
  for (auto it = design.all().begin(); it != design.all().end(); ++it) {
    place(it.key(), std::nullopt, std::nullopt, std::nullopt);
  }
  place(data.Text3, std::nullopt, v.text3Width, v.text3Height);
  place(setting.Text5, std::nullopt, v.text5Width, std::nullopt);
  place(web.Text2, std::nullopt, v.text2Width, std::nullopt);
  place(web.Command3, v.command3Left, std::nullopt, std::nullopt);
  place(setting.MemoText, v.memoTextLeft, v.memoTextWidth, std::nullopt);
  place(setting.ScriptList, v.scriptListLeft, v.scriptListWidth, std::nullopt);
  place(setting.Command4, v.command4Left, std::nullopt, std::nullopt);
  place(setting.ScriptPath, std::nullopt, v.scriptPathWidth, std::nullopt);
  place(setting.ScriptSel, v.scriptSelLeft, std::nullopt, std::nullopt);
  place(setting.QuitBtn, v.quitBtnLeft, std::nullopt, std::nullopt);
  place(setting.Text6, std::nullopt, v.text6Width, v.text6Height);
  place(web.WebBrowser1, std::nullopt, v.webBrowserWidth, v.webBrowserHeight);
  placeWebBrowser();
}

void FormPages::showCurrentPage() {
  const TabVisibility shown = tabVisibility(SSTab1->currentIndex());
  web.Command3->setVisible(shown.command3);
  setting.Command4->setVisible(shown.command4);
  setting.ScriptList->setVisible(shown.scriptList);
  setting.QuitBtn->setVisible(shown.quitBtn);
  placeWebBrowser();
}

void FormPages::placeWebBrowser() {
  QWidget* browser = web.WebBrowser1;
  const bool onItsPage = SSTab1->currentIndex() == static_cast<int>(Page::Page);
  const int left = twipsToPixels(design.rectOf(browser).left(), window_->logicalDpiX());
  browser->move(onItsPage ? left : -browser->width() - 1000, browser->y());
  // Out of sight it takes no keyboard focus either: Tab and Shift+Tab must
  // not send keys into a page nobody sees.
  browser->setEnabled(onItsPage);
  if (onItsPage) browser->raise();
}

}  // namespace kelvane::ui
