// Kelvane.secrets: what a watch must not show, kept beside its settings file
// (notification targets, a history server's password) as "key=value" lines,
// mode 0600. Each part reads and replaces the lines of its own key and keeps
// every other line as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::settings {

// Kelvane.secrets in the folder of the settings file.
std::string secretsPathFor(const std::string& settingsPath);

// The values of the key's lines ("key=value", value not empty), in file
// order; none when the file is absent. A file others may read is set back
// to 0600 first. Nothing, with the reason in *error, when it cannot be read.
std::optional<std::vector<std::string>> readSecrets(const std::string& path, std::string_view key,
                                                    std::string* error);

// Replaces the key's lines with one line per value, keeping the file's other
// lines; the file is created with mode 0600 and kept so. False, with the
// reason in *error, on failure (a value may not hold a line break).
bool writeSecrets(const std::string& path, std::string_view key,
                  const std::vector<std::string>& values, std::string* error);

}  // namespace kelvane::settings
