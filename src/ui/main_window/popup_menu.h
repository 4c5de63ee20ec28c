// The popup menu mnuPop: ten commands in a fixed order, no separators.
#pragma once

#include <array>

namespace kelvane::ui {

struct PopupItem {
  const char* name;
  const char* caption;  // UTF-8, with the access key after "&"
};

inline constexpr std::array<PopupItem, 10> kPopupItems = {{
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
}};

}  // namespace kelvane::ui
