// Where the watch's runs are kept (履歴の保存先…): a history file's path, or a
// PostgreSQL server's address, with the server's password in a box of its
// own. 接続テスト opens the history beside the window and says whether it
// can be used, or why not (the password masked).
#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "settings/settings.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace kelvane::platform {
class Dialogs;
}

namespace kelvane::ui {

class HistoryPlaceDialog : public QDialog {
  Q_OBJECT
 public:
  // address: as the settings hold it (without its password); besideFile: the
  // history used when the address is left empty.
  HistoryPlaceDialog(const QString& address, const QString& password, const QString& besideFile,
                     QWidget* parent = nullptr);
  ~HistoryPlaceDialog() override;

  QString address() const;
  QString password() const;
  // The history the boxes name, password joined in (the file beside the
  // settings when the address is empty).
  std::string chosenHistory() const;

  void testConnection();
  // The answer of the test, once it has come (for the tests).
  QString testAnswer() const;
  bool testing() const { return test_ != nullptr; }

 private:
  struct Test;
  void collectTest();

  QString besideFile_;
  QLineEdit* address_;
  QLineEdit* password_;
  QPushButton* testButton_;
  QLabel* answer_;
  std::shared_ptr<Test> test_;  // while a test is out
  QTimer* poll_;
};

// Opens the dialog on the watch whose settings file is settingsPath and, on
// OK, keeps what was chosen: the address (without a password) as the
// history= line among keyed (the settings' keyed lines the window writes back
// on save) and in the settings file at once when there is one, the password
// in Kelvane.secrets beside it (mode 0600). What cannot be read or written is
// said through dialogs. True when the choice was kept.
bool editWatchHistory(QWidget* owner, const std::string& settingsPath,
                      std::vector<std::pair<settings::Text, settings::Text>>& keyed,
                      platform::Dialogs& dialogs);

}  // namespace kelvane::ui
