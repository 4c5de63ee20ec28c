// kelvane-run's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "acquisition/load_modes.h"
#include "engine/buffer_names.h"

namespace kelvane::cli {

struct Options {
  std::string script;
  std::optional<std::string> page;
  // HT starts as the body markup a load of this saved page gives.
  std::optional<std::string> pageAsLoaded;
  int runs = 1;
  bool runsGiven = false;  // --runs was given (a watch then runs now, not on its schedule)
  // The buffer written to standard output afterwards.
  engine::BufferId print = engine::BufferId::D;
  std::string wait = "8";
  acquisition::FetchMode fetch = acquisition::FetchMode::Browser;
  bool fetchGiven = false;  // --fetch was given (a watch otherwise takes the settings')
  // --settle; without it the fixed wait, or a watch's settings file's.
  std::optional<acquisition::SettleMode> settle;
  bool waitGiven = false;  // --wait was given (a watch otherwise takes the settings')
  bool trace = false;
  // After each run that ends normally, one entry (memo, display) is appended
  // to this log, as the window's Log button does.
  std::optional<std::string> log;
  std::string memo;
  // After each run, the lines whose marker search found nothing, with the
  // nearest candidates, on standard error.
  bool explain = false;
  // The display is compared with the one kept in this file, then kept there.
  std::optional<std::string> state;
  // A unified diff of a changed display instead of the printed buffer.
  bool diff = false;
  // One JSON object per run appended to this file.
  std::optional<std::string> record;
  // Every run recorded in this history: a file, or a postgresql:// server.
  std::optional<std::string> history;
  // Instead of running: the history copied into this one.
  std::optional<std::string> copyTo;
  // Instead of running: the history printed as "csv" or "jsonl".
  std::optional<std::string> exportFormat;
  // Instead of running once: the window's automatic update, driven by this
  // settings file.
  std::optional<std::string> watch;
  // Instead of running a script: print the fields of this settings file.
  std::optional<std::string> settings;
  // The direct fetch sends the cookies of this Netscape cookie file and
  // keeps the ones servers set there.
  std::optional<std::string> cookies;
  // A watch's login folder (the window's profile): its cookie file is used
  // by the direct fetch and by the browser, which starts from it.
  std::optional<std::string> profile;
  // Instead of running: print the lines that cut this text (its
  // occurrence-th occurrence) out of HT.
  std::optional<std::string> suggest;
  int occurrence = 1;
  // With suggest: the lines that cut the whole list the text is an item of,
  // one line per item (name TAB value).
  bool list = false;
  // Instead of running anything: print the version.
  bool version = false;
  // Notification targets (Apprise URLs or tags of the user's own Apprise
  // configuration) and the rules that say when a run is worth a notice.
  std::vector<std::string> notify;
  std::vector<std::string> when;
  bool first = false;  // the first normal run may fire a rule that is already true
  std::optional<int> alertAfter;
  // Instead of running: a test message to every target.
  bool notifyTest = false;
};

// What parsing the arguments gave: options to act on, or the text to print
// and the exit status (help, or a usage error).
struct ParsedOptions {
  std::optional<Options> options;
  std::string text;
  int status = 0;
};

// The cookie file of a run: --cookies, else the one in --profile's folder,
// else the one of --watch's login folder when there is one; empty for none.
std::string cookieFileOf(const Options& options);

// Parses the arguments after the program name.
ParsedOptions parseOptions(const std::vector<std::string>& args);

}  // namespace kelvane::cli
