// A watch's notifications from its settings: the rules, --first and K as
// key=value lines after line 24 of the settings file (notify_when=RULE, which
// may be repeated, notify_first=1, notify_alert_after=K), the targets from
// Kelvane.secrets beside it.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "notify/rules.h"

namespace kelvane::cli {

// Nothing, with the reason on err, when a line or the secrets file cannot be
// used.
std::optional<notify::NotifySettings> watchNotifySettings(const std::string& settingsPath,
                                                          std::FILE* err);

}  // namespace kelvane::cli
