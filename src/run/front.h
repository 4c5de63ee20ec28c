// The run layer's seam towards the two fronts (the window, kelvane-run):
// what a watch's run tells the front that drives it, and the hook where
// what follows a run (conditions, notifications) plugs in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/text.h"
#include "run/record_line.h"

namespace kelvane::run {

// Whether a run changed the display, against the state file, else the
// history's last normal run of the script, else the previous run in this
// process.
enum class Change { Unknown, First, Same, Changed };

// The outputs of a run, as a failure names them.
enum class Output {
  State,      // the state file could not be written
  StateGone,  // the state file changed hands since the start: left alone
  Record,
  Log,
  History,
  // The history is no history of ours, comes from a newer program or is
  // damaged: it is left alone.
  HistoryRefused,
};

class Front {
 public:
  virtual ~Front() = default;
  // A run begins: the engine is about to run the script.
  virtual void runStarting() {}
  // The engine has finished the script; what follows the run comes next.
  // normal: the run ended normally; missed: a marker search found nothing
  // (known when the run keeps its misses).
  virtual void engineFinished(bool normal, bool missed) {
    static_cast<void>(normal);
    static_cast<void>(missed);
  }
  // An output of the run could not be written; the run itself is done.
  // reason is empty where the output has no reason to give.
  virtual void cannotWrite(Output output, const std::string& path, const std::string& reason) = 0;
  // Writes a record line to a file that is no regular file (a pipe read by
  // another program): all of bytes, or false.
  virtual bool writeToPipe(int fd, std::string_view bytes);
};

// A run that has ended, with everything it wrote, as a follower sees it.
struct FinishedRun {
  const RunReport& report;
  Change change = Change::Unknown;
  engine::TextView display;
  const std::string& script;  // the script's absolute path
  bool automatic = false;     // started by the automatic update
  // The run's id in the history; empty when it was not recorded there.
  std::optional<int64_t> runId;
  // The caption, and whether this run's script set it (TITLE).
  engine::TextView title;
  bool titleSet = false;
};

// What follows a run beyond the files it writes: conditions on the
// display's series, notifications. Called after every run, in the order the
// followers were added, once the history holds the run.
class Follower {
 public:
  virtual ~Follower() = default;
  virtual void runFinished(const FinishedRun& run) = 0;
};

}  // namespace kelvane::run
