// A watch's notification choices as its files keep them: the rules, the
// first-run switch and K as keyed lines after line 24 of the settings file
// (notify_when=RULE, which may be repeated, notify_first=1,
// notify_alert_after=K), the targets in Kelvane.secrets beside it. The
// window's dialog and kelvane-run --watch both read and write them here.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "notify/rules.h"
#include "settings/settings.h"

namespace kelvane::notify {

struct WatchChoices {
  std::vector<std::string> targets;  // as written, secrets and all (UTF-8)
  std::vector<std::string> rules;    // each as written (UTF-8)
  bool first = false;
  int alertAfter = 3;
};

// The choices the keyed lines hold (targets are not among them). The reason,
// naming the line, when a notify_ line cannot be used.
std::optional<std::string> readChoices(const settings::Settings& values, WatchChoices* choices);

// Replaces the notify_ keyed lines with the choices, keeping every other
// keyed line where it was. A choice at its start value writes no line.
void writeChoices(const WatchChoices& choices, settings::Settings* values);

// The choices as the run reads them: every rule parsed. The first rule that
// cannot be read, with why, otherwise.
std::optional<NotifySettings> notifySettings(const WatchChoices& choices, std::string* why);

}  // namespace kelvane::notify
