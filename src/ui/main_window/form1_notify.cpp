// The watch's notifications in the window: the 通知先… item and what the
// runs to come are told to follow.
#include <QCoreApplication>
#include <QFileInfo>

#include "notify/secrets.h"
#include "notify/watch_choices.h"
#include "ui/main_window/form1.h"
#include "ui/notify/notify_dialog.h"
#include "ui/run/run_controller.h"
#include "ui/run/window_notices.h"

namespace kelvane::ui {

void Form1::mnuNotify_Click() {
  if (editWatchNotifications(this, settingsPath_.toStdString(), windowTitle(), settings_.keyed(),
                             *dialogs_)) {
    applyNotifications();
  }
}

// A watch without a secrets file has no targets, and nothing to say.
void Form1::applyNotifications() {
  const std::string secrets = notify::secretsPathFor(settingsPath_.toStdString());
  std::string why;
  std::optional<notify::NotifySettings> chosen;
  if (QFileInfo::exists(QString::fromStdString(secrets))) {
    notify::WatchChoices choices;
    settings::Settings current;
    current.keyed = settings_.keyed();
    if (const auto targets = notify::readTargets(secrets, &why)) {
      choices.targets = *targets;
      if (const auto bad = notify::readChoices(current, &choices)) {
        why = *bad;
      } else {
        chosen = notify::notifySettings(choices, &why);
      }
    }
  }
  const auto say = [this](const std::string& text) {
    status_.show(QCoreApplication::translate("Form1", "通知: ") + QString::fromStdString(text));
  };
  if (!chosen && !why.empty()) say(why);
  if (!notices_) notices_ = std::make_unique<WindowNotices>(run_->watchRun());
  notices_->set(std::move(chosen), say);
}

}  // namespace kelvane::ui
