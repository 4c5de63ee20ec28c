// kelvane-run's side of what follows a run: the targets and rules from the
// options (or a watch's settings), and --notify-test.
#pragma once

#include <cstdio>
#include <optional>

#include "cli/options.h"
#include "notify/rules.h"

namespace kelvane::cli {

// The targets and rules the options give; nothing when they give none.
std::optional<notify::NotifySettings> notifySettingsFrom(const Options& options);

// --notify-test: a test message to every target, each answer printed; the
// exit status (1 when any failed).
int notifyTest(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace kelvane::cli
