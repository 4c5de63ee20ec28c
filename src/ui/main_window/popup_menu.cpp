#include "ui/main_window/popup_menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

#include "ui/main_window/form1.h"
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
      {"mnuHistoryPlace", QT_TRANSLATE_NOOP("Form1", "履歴の保存先(&K)…"),
       &Form1::mnuHistoryPlace_Click, false,
       QT_TRANSLATE_NOOP("Form1",
                         "実行の履歴を残すファイル、または PostgreSQL サーバーを選びます")},
      {"mnuNotify", QT_TRANSLATE_NOOP("Form1", "通知先(&P)…"), &Form1::mnuNotify_Click, false,
       QT_TRANSLATE_NOOP("Form1", "変化や故障をスマートフォンやチャットに知らせます (Apprise)")},
      {"mnuScriptEdit", QT_TRANSLATE_NOOP("Form1", "スクリプト編集(&E)"),
       &Form1::mnuScriptEdit_Click},
      {"mnuNewWatch", QT_TRANSLATE_NOOP("Form1", "新しいウォッチ(&O)…"), &Form1::mnuNewWatch_Click,
       false,
       QT_TRANSLATE_NOOP("Form1", "設定ファイルを選び、そのウォッチを別のウィンドウで開きます")},
      {"mnuForgetLogin", QT_TRANSLATE_NOOP("Form1", "ログイン情報を消去(&D)"),
       &Form1::mnuForgetLogin_Click, false,
       QT_TRANSLATE_NOOP("Form1",
                         "ページタブでログインした情報（Cookie とサイトのデータ）を消去します")},
  };
  return kItems;
}

PopupMenu::PopupMenu(Form1& window) : menu_(new QMenu(QStringLiteral("Pop"), &window)) {
  menu_->setObjectName(QStringLiteral("mnuPop"));
  for (const PopupItem& row : popupItems()) {
    QAction* item = menu_->addAction(QCoreApplication::translate("Form1", row.caption));
    item->setObjectName(QString::fromLatin1(row.name));
    item->setCheckable(row.checkable);
    if (row.toolTip) item->setToolTip(QCoreApplication::translate("Form1", row.toolTip));
    if (row.handler) {
      QObject::connect(item, &QAction::triggered, &window,
                       [&window, handler = row.handler] { (window.*handler)(); });
    }
    items_.push_back(item);
  }
  menu_->setToolTipsVisible(true);
}

QAction* PopupMenu::item(const char* name) const {
  const auto rows = popupItems();
  for (size_t i = 0; i < rows.size(); ++i) {
    if (qstrcmp(rows[i].name, name) == 0) return items_[i];
  }
  return nullptr;
}

void PopupMenu::popup(const QPoint& globalPos) {
  menu_->popup(globalPos);
}

void PopupMenu::openBeside(QWidget* focus, TabStrip* strip) {
  if (menu_->isVisible()) return;
  QWidget* anchor = focus ? focus : strip;
  const QPoint at = anchor == strip ? strip->tabRect(strip->currentIndex()).bottomLeft()
                                    : anchor->rect().center();
  menu_->popup(anchor->mapToGlobal(at));
}

}  // namespace kelvane::ui
