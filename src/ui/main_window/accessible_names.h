// What a screen reader announces for each control of the window: the text of
// its label (or what the label means where it is a bare symbol), so that the
// two 選択 buttons and the four boxes of the time window can be told apart.
#pragma once

#include <array>
#include <utility>

class QWidget;

namespace kelvane::ui {

inline constexpr std::array<std::pair<const char*, const char*>, 28> kAccessibleNames = {{
    {"SSTab1", "ページ切替"},
    {"Text3", "表示"},
    {"Exec", "更新"},
    {"ScriptList", "スクリプトの行"},
    {"WaitValue", "待ち時間 (Wait)"},
    {"Text4", "更新間隔 (分)"},
    {"Check1", "自動更新"},
    {"Command5", "設定記憶"},
    {"ScriptPath", "スクリプトファイル"},
    {"ScriptSel", "スクリプトファイルを選択"},
    {"MemoText", "メモ"},
    {"Frame1", "自動更新時間帯"},
    {"TimeWindow", "自動更新時間帯を有効にする"},
    {"Text7", "自動更新の開始 時"},
    {"Text8", "自動更新の開始 分"},
    {"Text9", "自動更新の終了 時"},
    {"Text10", "自動更新の終了 分"},
    {"Command2", "Log書込"},
    {"Text5", "Logファイル"},
    {"Command4", "Logファイルを選択"},
    {"Check3", "Log自動書込"},
    {"QuitBtn", "終了"},
    {"Text6", "ページのHTML"},
    {"Label12", "サポート"},
    {"Text2", "URL"},
    {"Command3", "読込"},
    {"WebBrowser1", "ページ表示"},
    {"mnuPop", "メニュー"},
}};

// Gives every control under root that the table names its accessible name.
void nameControls(QWidget* root);

}  // namespace kelvane::ui
