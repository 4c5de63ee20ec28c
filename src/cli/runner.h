// kelvane-run: the engine without a window, for trying scripts against saved
// pages and for servers.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace kelvane::cli {

struct Options {
  std::string script;
  std::optional<std::string> page;
  int runs = 1;
  std::string print = "D";
  std::string wait = "8";
  bool trace = false;
  // After each run that ends normally, one entry (memo, display) is appended
  // to this log, as the window's Log button does.
  std::optional<std::string> log;
  std::string memo;
  // Instead of running a script: print the fields of this settings file.
  std::optional<std::string> settings;
};

// Exit statuses.
constexpr int kExitNormal = 0;
constexpr int kExitStopped = 1;
constexpr int kExitUsage = 2;

// Parses the arguments after the program name. On a usage error, returns
// nothing and puts the reason in *error.
std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string* error);

// Runs the options' job, writing the printed buffer to out and messages to
// err; returns the exit status. A log entry that cannot be written prints the
// window's message and makes the status 1.
int run(const Options& options, std::FILE* out, std::FILE* err);

// Prints the 22 fields of a settings file as the reader understands them, one
// per line as "N: value"; 2 when the file cannot be read.
int printSettings(const std::string& path, std::FILE* out, std::FILE* err);

// The whole program: arguments in, exit status out.
int runMain(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace kelvane::cli
