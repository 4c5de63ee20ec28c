// A watch's run cycle, the same for the window and kelvane-run: the engine
// runs the script while the front's host fills the run's journal (its page
// loads, its first message), then, in one place and in this order, what
// follows a run: the change decision and the state file, the record line,
// the log entry, the history entry, and the followers.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "run/front.h"
#include "run/miss_log.h"
#include "run/run_journal.h"
#include "run/run_recorder.h"

namespace kelvane::run {

// Where a run's results go; what is empty is not written.
struct Outputs {
  // The display kept between runs; it decides whether a run changed it.
  std::optional<std::string> state;
  // With a state file: a unified diff of a display that changed.
  bool diff = false;
  // One JSON line per run.
  std::optional<std::string> record;
  // Without a state file or a history to tell, the display is compared
  // with the previous run's in this process.
  bool compareInMemory = false;
  // A stop raised by the script's last line (an unknown word there) counts
  // as a stopped run, though the driver has no next line to skip.
  bool lastLineStopFails = false;
};

// One log entry: the memo and the display, appended to the log at path.
struct LogEntry {
  std::string path;
  engine::Text memo;
};

class WatchRun {
 public:
  WatchRun(engine::Engine& engine, Front& front, Outputs outputs = {});
  ~WatchRun();
  WatchRun(const WatchRun&) = delete;
  WatchRun& operator=(const WatchRun&) = delete;

  const Outputs& outputs() const { return outputs_; }
  // Every run from now on is recorded in this history; empty: none.
  // A watch names itself and its settings file (beside which a server
  // history's spool lives).
  void setHistoryPath(const std::string& address, const std::string& watch = {},
                      const std::string& settingsPath = {});
  RunRecorder* recorder() { return recorder_.get(); }
  // The marker searches that found nothing go into the record (and, with
  // candidates, into kelvane-run's explanation).
  void keepMisses(bool withCandidates);
  const MissLog* misses() const { return misses_.get(); }
  // The front's engine host tells what the run does here.
  RunJournal& journal() { return journal_; }
  void addFollower(Follower& follower) { followers_.push_back(&follower); }
  void removeFollower(Follower& follower) { std::erase(followers_, &follower); }

  struct Request {
    bool automatic = false;  // started by the automatic update
    // Appended once the run has ended normally.
    std::optional<LogEntry> log;
  };
  struct Result {
    // As the run driver says: a failed load on the script's last line
    // leaves it Normal (Ignored: no run took place, nothing was written).
    engine::RunOutcome outcome = engine::RunOutcome::Normal;
    // A page did not load: the run counts as stopped in what it writes.
    bool loadFailed = false;
    Change change = Change::Unknown;
    bool writeFailed = false;      // a state, record, log or history write failed
    bool historyRefused = false;   // the history turned out not ours or damaged
    std::string diff;              // with Outputs::diff, the changed display's diff
    std::optional<int64_t> runId;  // the run's id in the history, once recorded
    bool normal() const { return outcome == engine::RunOutcome::Normal && !loadFailed; }
  };
  // Runs the script at path and everything that follows the run.
  Result run(engine::TextView scriptPath, const Request& request);
  // Appends one log entry of the display; false (told to the front) when
  // the log cannot be written.
  bool appendLog(const LogEntry& entry);

 private:
  Change decideByState(Result& result);
  // The history's change decision; nothing when the run could not be
  // recorded.
  std::optional<Change> recordInHistory(const RunReport& report, const std::string& script,
                                        Result& result);
  Change decideInMemory(bool normal);

  engine::Engine& engine_;
  Front& front_;
  Outputs outputs_;
  RunJournal journal_;
  std::unique_ptr<MissLog> misses_;
  std::unique_ptr<RunRecorder> recorder_;
  std::optional<engine::Text> previousDisplay_;
  std::vector<Follower*> followers_;
};

// A script's path as runs are told apart by in the history: absolute and
// without "." and ".." steps.
std::string scriptKey(const std::string& path);

}  // namespace kelvane::run
