// Runs recorded into a history, never lost to a server that cannot be
// reached: such a run is kept in a local spool (a SQLite history of its own,
// see spoolPathFor) and sent, in order and once, before the next run that
// reaches the server. Also: a whole history copied into another.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "history/store.h"

namespace kelvane::history {

class Recorder {
 public:
  // address: a file's path or a server's; settingsPath: the watch's settings
  // file (the spool lives beside it), or empty.
  Recorder(std::string address, std::string settingsPath);
  ~Recorder();

  // Opens the history before the first run: throws HistoryError when it is
  // refused, or a file that cannot be opened. A server that cannot be
  // reached now is no error here: the runs will be kept.
  void open();

  struct Outcome {
    bool kept = false;     // in the spool, not on the server
    std::string reason;    // why it was kept
    int64_t sent = 0;      // runs from the spool sent before it
    std::string sendNote;  // why sending the spool stopped, when it did
    // Once recorded in the history itself: the run's id there, and whether
    // its display changed against the last normal run of its script.
    std::optional<int64_t> runId;
    std::optional<bool> changed;
  };
  // Records one run; throws HistoryError when it could be neither recorded
  // nor kept in the spool.
  Outcome record(RunEntry run);

  // The history itself, opened when it is not yet: throws HistoryError
  // when it cannot be.
  HistoryStore& store();

  const std::string& spoolPath() const { return spoolPath_; }

 private:
  int64_t sendSpool(std::string* note);

  std::string address_;
  std::string spoolPath_;  // empty for a file history
  std::unique_ptr<HistoryStore> store_;
};

// How many runs wait in the spool of a server history (0 for a file).
int64_t spooledRuns(const std::string& address, const std::string& settingsPath);

// Copies every run of one history into another (a file into a server or
// back); runs already there are not copied again. The number copied.
int64_t copyHistory(const std::string& from, const std::string& to);

}  // namespace kelvane::history
