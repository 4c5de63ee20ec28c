// kelvane-run --history: every run recorded in a history database, and
// --export: the history printed as CSV or JSON lines.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "acquisition/fetch_choice.h"
#include "cli/options.h"
#include "cli/run_record.h"
#include "engine/text.h"

namespace kelvane::history {
class HistoryStore;
}

namespace kelvane::cli {

class HistoryRecorder {
 public:
  HistoryRecorder(std::string path, std::FILE* err);
  ~HistoryRecorder();

  // Opens the history before any run. A file that is no history, or comes
  // from a newer program, or is damaged, is refused (exit 2); one that
  // cannot be written now is said and tried again at every run, which still
  // completes (the first run after this says nothing more of it).
  std::optional<int> prepare();
  // Records one run; false, with the reason on err, when it could not be.
  bool record(const RunSummary& run, engine::TextView display, const std::string& script);
  // The fetch choices of one watch (--fetch auto), kept in this history. A
  // history that cannot be read or written now is said once; the choices
  // are then kept for the rest of the process.
  std::unique_ptr<acquisition::FetchMemory> fetchMemory(std::string watch);
  // True when the last record() found the file damaged: refused (exit 2).
  bool refused() const { return refused_; }

 private:
  bool open();

  std::string path_;
  std::FILE* err_;
  std::unique_ptr<history::HistoryStore> store_;
  friend class HistoryFetchMemory;
  bool openFailureSaid_ = false;
  bool refused_ = false;
};

// Prints the history in options.exportFormat; the exit status.
int exportHistory(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace kelvane::cli
