#include "cli/watch_notify.h"

#include "cli/output.h"
#include "notify/secrets.h"
#include "notify/watch_choices.h"
#include "settings/settings.h"

namespace kelvane::cli {

std::optional<notify::NotifySettings> watchNotifySettings(const std::string& settingsPath,
                                                          std::FILE* err) {
  settings::Settings values;
  if (!settings::readSettingsFile(settingsPath, values)) {
    writeMessage(err, "cannot read settings: " + settingsPath);
    return std::nullopt;
  }
  std::string why;
  const auto targets = notify::readTargets(notify::secretsPathFor(settingsPath), &why);
  if (!targets) {
    writeMessage(err, why);
    return std::nullopt;
  }
  notify::WatchChoices choices;
  choices.targets = *targets;
  if (const auto bad = notify::readChoices(values, &choices)) {
    writeMessage(err, settingsPath + ": " + *bad);
    return std::nullopt;
  }
  auto settings = notify::notifySettings(choices, &why);
  if (!settings) writeMessage(err, settingsPath + ": " + why);
  return settings;
}

}  // namespace kelvane::cli
