// What a screen reader announces for each control of the window: the text of
// its label (or what the label means where it is a bare symbol), so that the
// two 選択 buttons and the four boxes of the time window can be told apart.
// The names are translated where they are set.
#pragma once

#include <QtGlobal>
#include <array>
#include <utility>

class QWidget;

namespace kelvane::ui {

inline constexpr std::array<std::pair<const char*, const char*>, 28> kAccessibleNames = {{
    {"SSTab1", QT_TRANSLATE_NOOP("Form1", "ページ切替")},
    {"Text3", QT_TRANSLATE_NOOP("Form1", "表示")},
    {"Exec", QT_TRANSLATE_NOOP("Form1", "更新")},
    {"ScriptList", QT_TRANSLATE_NOOP("Form1", "スクリプトの行")},
    {"WaitValue", QT_TRANSLATE_NOOP("Form1", "待ち時間 (Wait)")},
    {"Text4", QT_TRANSLATE_NOOP("Form1", "更新間隔 (分)")},
    {"Check1", QT_TRANSLATE_NOOP("Form1", "自動更新")},
    {"Command5", QT_TRANSLATE_NOOP("Form1", "設定記憶")},
    {"ScriptPath", QT_TRANSLATE_NOOP("Form1", "スクリプトファイル")},
    {"ScriptSel", QT_TRANSLATE_NOOP("Form1", "スクリプトファイルを選択")},
    {"MemoText", QT_TRANSLATE_NOOP("Form1", "メモ")},
    {"Frame1", QT_TRANSLATE_NOOP("Form1", "自動更新時間帯")},
    {"TimeWindow", QT_TRANSLATE_NOOP("Form1", "自動更新時間帯を有効にする")},
    {"Text7", QT_TRANSLATE_NOOP("Form1", "自動更新の開始 時")},
    {"Text8", QT_TRANSLATE_NOOP("Form1", "自動更新の開始 分")},
    {"Text9", QT_TRANSLATE_NOOP("Form1", "自動更新の終了 時")},
    {"Text10", QT_TRANSLATE_NOOP("Form1", "自動更新の終了 分")},
    {"Command2", QT_TRANSLATE_NOOP("Form1", "Log書込")},
    {"Text5", QT_TRANSLATE_NOOP("Form1", "Logファイル")},
    {"Command4", QT_TRANSLATE_NOOP("Form1", "Logファイルを選択")},
    {"Check3", QT_TRANSLATE_NOOP("Form1", "Log自動書込")},
    {"QuitBtn", QT_TRANSLATE_NOOP("Form1", "終了")},
    {"Text6", QT_TRANSLATE_NOOP("Form1", "ページのHTML")},
    {"Label12", QT_TRANSLATE_NOOP("Form1", "サポート")},
    {"Text2", QT_TRANSLATE_NOOP("Form1", "URL")},
    {"Command3", QT_TRANSLATE_NOOP("Form1", "読込")},
    {"WebBrowser1", QT_TRANSLATE_NOOP("Form1", "ページ表示")},
    {"mnuPop", QT_TRANSLATE_NOOP("Form1", "メニュー")},
}};

// Gives every control under root that the table names its accessible name.
void nameControls(QWidget* root);

}  // namespace kelvane::ui
