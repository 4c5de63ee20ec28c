// The watch's notifications (通知先…): where to send (Apprise URLs or tags of
// the user's own Apprise configuration), when (the rules, one a line), whether
// the first run may already notify, and after how many failed runs in a row
// the watch counts as broken. テスト送信 sends a test message to every target
// beside the window and shows Apprise's answer. Targets are listed masked:
// their passwords and tokens show only in the box they are typed into.
#pragma once

#include <QDialog>
#include <memory>

#include "notify/watch_choices.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace kelvane::notify {
class Courier;
}
namespace kelvane::run {
class RunRecorder;
}

namespace kelvane::ui {

class NotifyDialog : public QDialog {
  Q_OBJECT
 public:
  // watchName titles the test message; program is the apprise command.
  NotifyDialog(const notify::WatchChoices& choices, QString watchName, QWidget* parent = nullptr,
               std::string program = "apprise");
  ~NotifyDialog() override;

  notify::WatchChoices choices() const;
  // Refuses rules that cannot be read, naming the first under them, and
  // stays open.
  void accept() override;

  // Each test delivery's answer is also logged in this history's delivery
  // log (a server's spool beside settingsPath), as kelvane-run --notify-test
  // logs it.
  void setDeliveryLog(const std::string& history, const std::string& settingsPath);

  void addTarget();
  void removeTarget();
  void sendTest();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void collectTest();
  void showTargets();

  std::vector<std::string> targets_;
  QString watchName_;
  std::string program_;
  QListWidget* targetList_;
  QLineEdit* newTarget_;
  QPushButton* addButton_;
  QPushButton* removeButton_;
  QPlainTextEdit* rules_;
  QLabel* ruleError_;
  QCheckBox* first_;
  QSpinBox* alertAfter_;
  QPushButton* testButton_;
  QPlainTextEdit* answer_;
  std::unique_ptr<notify::Courier> courier_;  // while a test is out
  std::unique_ptr<run::RunRecorder> log_;
  QTimer* poll_;
};

}  // namespace kelvane::ui

namespace kelvane::platform {
class Dialogs;
}

namespace kelvane::ui {

// Opens the dialog on the watch whose settings file is settingsPath and, on
// OK, keeps what was chosen: the targets in Kelvane.secrets beside it (mode
// 0600), the rest as notify_ lines among keyed (the settings' keyed lines the
// window writes back on save), and in the settings file at once when there is
// one. What cannot be read or written is said through dialogs. True when
// the choices changed.
bool editWatchNotifications(QWidget* owner, const std::string& settingsPath,
                            const QString& watchName,
                            std::vector<std::pair<settings::Text, settings::Text>>& keyed,
                            platform::Dialogs& dialogs);

}  // namespace kelvane::ui
