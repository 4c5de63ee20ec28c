// Notification targets and their secrets: Apprise URLs carry passwords and
// tokens, so they live only in Kelvane.secrets beside the settings file,
// mode 0600, and are shown masked everywhere else.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/secrets_file.h"

namespace kelvane::notify {

using settings::secretsPathFor;

// The targets (`notify=URL` lines) of a secrets file; none when it is absent.
// A file others may read is set back to 0600 first. Nothing, with the reason
// in *error, when it cannot be read.
std::optional<std::vector<std::string>> readTargets(const std::string& path, std::string* error);

// Replaces the targets, keeping the file's other lines; the file is created
// with mode 0600 and kept so. False, with the reason in *error, on failure.
bool writeTargets(const std::string& path, const std::vector<std::string>& targets,
                  std::string* error);

// A target as it may be shown: the scheme, and the host when it names one
// (user@host, a dotted name, an address or a port), with the password, the
// path and the query as ****. A tag of the user's own Apprise configuration
// (no "://") is shown as it is.
std::string maskTarget(std::string_view target);

// text with every secret part of target (password, path and query pieces, a
// host that is a token) replaced by ****, for an error text that may quote it.
std::string maskedIn(std::string text, std::string_view target);

}  // namespace kelvane::notify
