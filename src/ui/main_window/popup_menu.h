// The popup menu mnuPop: ten commands in a fixed order, no separators, then
// two switches of this program's own, each kept in Kelvane.cnf after the 22
// lines (23 and 24).
#pragma once

#include <array>

namespace kelvane::ui {

struct PopupItem {
  const char* name;
  const char* caption;  // UTF-8, with the access key after "&"
  const char* toolTip = nullptr;
};

inline constexpr std::array<PopupItem, 12> kPopupItems = {{
    {"mnuReflesh", "更新(&R)"},
    {"mnuExit", "終了(&X)"},
    {"mnuSetting", "設定記憶(&S)"},
    {"mnuLog", "Log書込(&L)"},
    {"mnuShowT", "タイトルバー表示切替(&B)"},
    {"mnuTimerOn", "タイマーON(&T)"},
    {"mnuFont", "フォント(&F)"},
    {"mnuColor", "Font色指定(&C)"},
    {"mnuBackColor", "背景色(&A)"},
    {"mnuVersion", "Kelvaneについて(&V)"},
    {"mnuChangeNotice", "変化を通知(&N)",
     "自動更新で表示が前回と変わったら、デスクトップに通知します"},
    {"mnuAutoSettle", "待ち時間を自動調整(&W)",
     "ページの書き換えと通信が止まったら、Waitの時間を待たずに読み込みます"},
}};

}  // namespace kelvane::ui
