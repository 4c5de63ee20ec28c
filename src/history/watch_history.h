// The history a watch records to. Its settings may name one in a
// "history=" line after line 24: a file's path (relative to the settings
// file's folder) or a PostgreSQL server's address without its password; the
// password then lives in Kelvane.secrets beside the settings
// ("history_password=" line, mode 0600). Without such a line, the file
// beside the settings (historyPathFor).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace kelvane::history {

inline constexpr std::u16string_view kHistoryKey = u"history";
inline constexpr std::string_view kHistoryPasswordKey = "history_password";

// The address the settings name (UTF-8, a relative path made absolute), with
// the password from the secrets file joined in; empty when they name none.
// Nothing, with the reason in *error, when the secrets file cannot be read.
std::optional<std::string> configuredHistory(const std::string& settingsPath,
                                             const settings::Settings& values, std::string* error);

// The configured history, else the file beside the settings.
std::optional<std::string> watchHistory(const std::string& settingsPath,
                                        const settings::Settings& values, std::string* error);
// The same, reading the settings file first (one that cannot be read names
// no history of its own).
std::optional<std::string> watchHistory(const std::string& settingsPath, std::string* error);

// A server address with the password joined in as its password option; an
// address that holds a password already, a path, or an empty password leave
// the address as it is.
std::string withPassword(std::string_view address, std::string_view password);

// Keeps the watch's history: the address without any password as the
// history= line among values (none when address is empty), and the password
// (the one given, else the one the address carried) in the secrets file.
// False, with the reason in *error, when the secrets file cannot be written.
bool keepWatchHistory(const std::string& settingsPath, std::string_view address,
                      std::string_view password, settings::Settings* values, std::string* error);

}  // namespace kelvane::history
