// A watch's runs recorded in its history: the one recorder of runs for the
// window and kelvane-run. The store is opened on first use, and opened
// afresh after a write that failed (the disk may have room again).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "acquisition/fetch_choice.h"
#include "history/store.h"

namespace kelvane::run {

class RunRecorder {
 public:
  explicit RunRecorder(std::string path);
  ~RunRecorder();
  RunRecorder(const RunRecorder&) = delete;
  RunRecorder& operator=(const RunRecorder&) = delete;

  const std::string& path() const { return path_; }
  // Opens the history now; throws history::HistoryError when it cannot be
  // (Refused: a file that is no history of ours, from a newer program, or
  // damaged). The caller says why; the next record() that fails to open it
  // the same way says nothing more.
  void open();

  struct Recorded {
    // The history's answer whether the display changed against the last
    // normal run of the same script; empty when it has none to compare.
    std::optional<bool> changed;
    // Why the run could not be recorded; empty when it was.
    std::optional<std::string> error;
    // The file turned out to be no history of ours, or damaged.
    bool refused = false;
    // The reason is the one open() has just given: not to be said again.
    bool said = false;
    // The run's id in the history, once recorded.
    std::optional<int64_t> runId;
  };
  Recorded record(const history::RunEntry& run);
  // The open history (opened now when it is not); null when it cannot be
  // opened. Valid until the next record() that fails.
  history::HistoryStore* store();

  // The fetch choices of one watch (--fetch auto), kept in this history. A
  // history that cannot be read or written now is told through failed, once;
  // the choices are then kept for the rest of the process.
  std::unique_ptr<acquisition::FetchMemory> fetchMemory(
      std::string watch, std::function<void(const std::string& reason)> failed);

 private:
  friend class HistoryFetchMemory;
  void openStore();
  std::string path_;
  std::unique_ptr<history::HistoryStore> store_;
  bool openFailureSaid_ = false;
};

}  // namespace kelvane::run
