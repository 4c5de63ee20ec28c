#include "cli/watch_notify.h"

#include "cli/output.h"
#include "notify/secrets.h"
#include "numbers/decimal.h"
#include "settings/settings.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {

std::optional<notify::NotifySettings> watchNotifySettings(const std::string& settingsPath,
                                                          std::FILE* err) {
  notify::NotifySettings settings;
  settings::Settings values;
  if (!settings::readSettingsFile(settingsPath, values)) {
    writeMessage(err, "cannot read settings: " + settingsPath);
    return std::nullopt;
  }
  for (const auto& [keyText, valueText] : values.keyed) {
    const std::string key = textfile::toUtf8(keyText);
    const std::string value = textfile::toUtf8(valueText);
    const std::optional<double> number = numbers::wholeNumber(valueText);
    if (key == "notify_when") {
      const auto parsed = notify::parseRule(value);
      if (const auto* why = std::get_if<std::string>(&parsed)) {
        writeMessage(err, settingsPath + ": " + *why);
        return std::nullopt;
      }
      settings.rules.push_back(std::get<notify::Rule>(parsed));
    } else if (key == "notify_first" && number && (*number == 0 || *number == 1)) {
      settings.first = *number == 1;
    } else if (key == "notify_alert_after" && number && *number >= 0 && *number <= 1000000 &&
               *number == static_cast<int>(*number)) {
      settings.alertAfter = static_cast<int>(*number);
    } else if (key.rfind("notify_", 0) == 0) {
      writeMessage(err, settingsPath + ": " + key + " cannot be " + value);
      return std::nullopt;
    }
  }
  std::string why;
  const std::string secrets = notify::secretsPathFor(settingsPath);
  const auto targets = notify::readTargets(secrets, &why);
  if (!targets) {
    writeMessage(err, why);
    return std::nullopt;
  }
  settings.targets = *targets;
  return settings;
}

}  // namespace kelvane::cli
