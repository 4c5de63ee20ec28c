// Where the window's runs are kept: the 履歴の保存先… item, and the history
// the runs and the History window use.
#include <QCoreApplication>

#include "history/address.h"
#include "history/watch_history.h"
#include "settings/settings_place.h"
#include "textfile/text_codec.h"
#include "ui/history/history_place_dialog.h"
#include "ui/main_window/form1.h"
#include "ui/run/run_controller.h"

namespace kelvane::ui {

void Form1::mnuHistoryPlace_Click() {
  if (editWatchHistory(this, settingsPath_.toStdString(), settings_.keyed(), *dialogs_)) {
    applyHistoryPlace();
  }
}

// A password that cannot be read leaves the address without it (libpq may
// still find one in ~/.pgpass); the status line says why.
void Form1::applyHistoryPlace() {
  const std::string settingsPath = settingsPath_.toStdString();
  settings::Settings current;
  current.keyed = settings_.keyed();
  std::string why;
  std::optional<std::string> address = history::watchHistory(settingsPath, current, &why);
  if (!address) {
    status_.show(QCoreApplication::translate("Form1", "履歴のパスワードを読めません: ") +
                 QString::fromStdString(why));
    address = history::addressWithoutPassword(
        textfile::toUtf8(settings::keyedValue(current, history::kHistoryKey).value_or(u"")));
  }
  historyAddress_ = *address;
  // Named as kelvane-run --watch names the same watch's runs.
  run_->watchRun().setHistoryPath(historyAddress_, settings::watchName(settingsPath), settingsPath);
  // The notices follow the runs of the new recorder and log there.
  applyNotifications();
}

}  // namespace kelvane::ui
