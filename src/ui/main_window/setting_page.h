// The "Setting" page: the update button, the script file, the memo, the
// wait value, the interval and its switch, the daily time window, the log
// file, the settings button, the page text Text6 and the quit button.
#pragma once

#include <array>

#include "ui/main_window/design.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace kelvane::ui {

struct SettingPage {
  QPushButton* Exec = nullptr;
  QLineEdit* ScriptPath = nullptr;
  QPushButton* ScriptSel = nullptr;
  QListWidget* ScriptList = nullptr;
  QLineEdit* MemoText = nullptr;
  QLineEdit* WaitValue = nullptr;
  QLineEdit* Text4 = nullptr;
  QCheckBox* Check1 = nullptr;
  QGroupBox* Frame1 = nullptr;
  QCheckBox* TimeWindow = nullptr;
  QLineEdit* Text7 = nullptr;
  QLineEdit* Text8 = nullptr;
  QLineEdit* Text9 = nullptr;
  QLineEdit* Text10 = nullptr;
  QLineEdit* Text5 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command4 = nullptr;
  QCheckBox* Check3 = nullptr;
  QPushButton* Command5 = nullptr;
  QPlainTextEdit* Text6 = nullptr;
  QPushButton* QuitBtn = nullptr;
  std::array<QLabel*, 11> labels{};  // Label1 .. Label11
};

SettingPage buildSettingPage(QWidget* page, Design& design);

}  // namespace kelvane::ui
