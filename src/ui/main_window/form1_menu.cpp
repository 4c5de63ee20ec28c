// Form1's popup menu: its items, opening it by the right mouse button over
// the window or the tab control, and by the keyboard (the context-menu key,
// Shift+F10).
#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include "ui/main_window/form1.h"
#include "ui/main_window/popup_menu.h"
#include "ui/main_window/tab_control.h"

namespace kelvane::ui {

std::span<const PopupItem> popupItems() {
  static constexpr PopupItem kItems[] = {
      {"mnuReflesh", QT_TRANSLATE_NOOP("Form1", "更新(&R)"), &Form1::mnuReflesh_Click},
      {"mnuExit", QT_TRANSLATE_NOOP("Form1", "終了(&X)"), &Form1::mnuExit_Click},
      {"mnuSetting", QT_TRANSLATE_NOOP("Form1", "設定記憶(&S)"), &Form1::mnuSetting_Click},
      {"mnuLog", QT_TRANSLATE_NOOP("Form1", "Log書込(&L)"), &Form1::mnuLog_Click},
      {"mnuShowT", QT_TRANSLATE_NOOP("Form1", "タイトルバー表示切替(&B)"), &Form1::mnuShowT_Click},
      {"mnuTimerOn", QT_TRANSLATE_NOOP("Form1", "タイマーON(&T)"), &Form1::mnuTimerOn_Click, true},
      {"mnuFont", QT_TRANSLATE_NOOP("Form1", "フォント(&F)"), &Form1::mnuFont_Click},
      {"mnuColor", QT_TRANSLATE_NOOP("Form1", "Font色指定(&C)"), &Form1::mnuColor_Click},
      {"mnuBackColor", QT_TRANSLATE_NOOP("Form1", "背景色(&A)"), &Form1::mnuBackColor_Click},
      {"mnuVersion", QT_TRANSLATE_NOOP("Form1", "Kelvaneについて(&V)"), &Form1::mnuVersion_Click},
      {"mnuChangeNotice", QT_TRANSLATE_NOOP("Form1", "変化を通知(&N)"), nullptr, true,
       QT_TRANSLATE_NOOP("Form1", "自動更新で表示が前回と変わったら、デスクトップに通知します")},
      {"mnuAutoSettle", QT_TRANSLATE_NOOP("Form1", "待ち時間を自動調整(&W)"), nullptr, true,
       QT_TRANSLATE_NOOP("Form1",
                         "ページの書き換えと通信が止まったら、Waitの時間を待たずに読み込みます")},
      {"mnuManual", QT_TRANSLATE_NOOP("Form1", "マニュアル(&M)"), &Form1::mnuManual_Click},
      {"mnuHistory", QT_TRANSLATE_NOOP("Form1", "履歴(&H)"), &Form1::mnuHistory_Click, false,
       QT_TRANSLATE_NOOP("Form1", "これまでの実行の表示、差分、数値のグラフを見ます")},
      {"mnuScriptEdit", QT_TRANSLATE_NOOP("Form1", "スクリプト編集(&E)"),
       &Form1::mnuScriptEdit_Click},
  };
  return kItems;
}

void Form1::createPopupMenu() {
  mnuPop_ = new QMenu(QStringLiteral("Pop"), this);
  mnuPop_->setObjectName(QStringLiteral("mnuPop"));
  for (const PopupItem& row : popupItems()) {
    QAction* item = mnuPop_->addAction(QCoreApplication::translate("Form1", row.caption));
    item->setObjectName(QString::fromLatin1(row.name));
    item->setCheckable(row.checkable);
    if (row.toolTip) item->setToolTip(QCoreApplication::translate("Form1", row.toolTip));
    if (row.handler) {
      connect(item, &QAction::triggered, this,
              [this, handler = row.handler] { (this->*handler)(); });
    }
    menuItems_.push_back(item);
  }
  mnuPop_->setToolTipsVisible(true);
}

QAction* Form1::menuItem(const char* name) const {
  const auto items = popupItems();
  for (size_t i = 0; i < items.size(); ++i) {
    if (qstrcmp(items[i].name, name) == 0) return menuItems_[i];
  }
  return nullptr;
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  const bool onTabControl = watched == SSTab1_ || watched == SSTab1_->strip() ||
                            (watched->parent() == SSTab1_ && watched->isWidgetType());
  if (onTabControl) {
    if (event->type() == QEvent::MouseButtonRelease) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      Form_MouseUp(mouse->button(), mouse->globalPosition().toPoint());
      if (mouse->button() == Qt::RightButton) return true;
    } else if (event->type() == QEvent::MouseButtonDblClick &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      SSTab1_DblClick();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::mouseReleaseEvent(QMouseEvent* event) {
  Form_MouseUp(event->button(), event->globalPosition().toPoint());
}

void Form1::Form_MouseUp(Qt::MouseButton button, const QPoint& globalPos) {
  if (button == Qt::RightButton) mnuPop_->popup(globalPos);
}

// A context-menu request that no control took for a menu of its own (the
// text boxes have their edit menus) reaches the window. By the mouse it is
// the right button's release that opens the menu, as above.
void Form1::contextMenuEvent(QContextMenuEvent* event) {
  if (event->reason() == QContextMenuEvent::Keyboard) {
    openPopupFromKeyboard();
    event->accept();
  } else {
    event->ignore();
  }
}

void Form1::keyPressEvent(QKeyEvent* event) {
  const bool menuKey = event->key() == Qt::Key_Menu ||
                       (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
  if (!menuKey) {
    QWidget::keyPressEvent(event);
    return;
  }
  openPopupFromKeyboard();
  event->accept();
}

void Form1::openPopupFromKeyboard() {
  if (mnuPop_->isVisible()) return;
  TabStrip* strip = SSTab1_->strip();
  QWidget* anchor = focusWidget() ? focusWidget() : strip;
  // Below the current tab on the strip, else over the middle of the control.
  const QPoint at = anchor == strip ? strip->tabRect(strip->currentIndex()).bottomLeft()
                                    : anchor->rect().center();
  mnuPop_->popup(anchor->mapToGlobal(at));
}

}  // namespace kelvane::ui
