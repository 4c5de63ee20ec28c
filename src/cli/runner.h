// kelvane-run: the engine without a window, for trying scripts against saved
// pages and for servers.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/options.h"

namespace kelvane::cli {

// Exit statuses.
constexpr int kExitNormal = 0;
constexpr int kExitStopped = 1;
constexpr int kExitUsage = 2;
constexpr int kExitChanged = 3;  // --state found the display changed

// Runs the options' script, writing the printed buffer (or, with --diff, the
// changes) to out and messages to err; returns the exit status. A log entry,
// state or record that cannot be written makes the status 1.
int run(const Options& options, std::FILE* out, std::FILE* err);

// Reads the script file to tell whether it can be run: false when it cannot
// be read. A script longer than the engine runs is said so on err.
bool checkScript(const std::string& path, std::FILE* err);

// Prints the history in options.exportFormat; the exit status.
int exportHistory(const Options& options, std::FILE* out, std::FILE* err);
// --copy-to: the history copied into another; the exit status.
int copyHistory(const Options& options, std::FILE* err);

// The whole program: arguments in, exit status out.
int runMain(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace kelvane::cli
