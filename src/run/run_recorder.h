// A watch's runs recorded in its history: the one recorder of runs for the
// window and kelvane-run. The history (a file, or a server whose runs wait
// in a local spool while it cannot be reached) is opened on first use, and
// opened afresh after a write that failed (the disk may have room again).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "acquisition/fetch_choice.h"
#include "history/recorder.h"
#include "history/store.h"

namespace kelvane::run {

class RunRecorder {
 public:
  // address: the history's file or server; watch: the watch's name in it
  // (empty: the script file's base name); settingsPath: the watch's
  // settings file, beside which a server history's spool lives.
  explicit RunRecorder(std::string address, std::string watch = {}, std::string settingsPath = {});
  ~RunRecorder();
  RunRecorder(const RunRecorder&) = delete;
  RunRecorder& operator=(const RunRecorder&) = delete;

  // The history's address, a server's password masked.
  const std::string& path() const { return shownPath_; }
  // What a person should read of the spool: runs kept in it, runs sent.
  void setNote(std::function<void(const std::string&)> note) { note_ = std::move(note); }
  // Opens the history now; throws history::HistoryError when it cannot be
  // (Refused: a database that is no history of ours, from a newer program,
  // or damaged). A server that cannot be reached now is no error: the runs
  // are kept. The caller says why; the next record() that fails to open it
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
    // The run's id in the history, once recorded there.
    std::optional<int64_t> runId;
    // The server could not take it: kept in the spool, nothing compared.
    bool kept = false;
  };
  Recorded record(history::RunEntry run);
  // The open history (opened now when it is not); null when it cannot be
  // opened. Valid until the next record() that fails.
  history::HistoryStore* store();

  // The fetch choices of one watch (--fetch auto), kept in this history. A
  // history that cannot be read or written now is told through failed, once;
  // the choices are then kept for the rest of the process.
  std::unique_ptr<acquisition::FetchMemory> fetchMemory(
      std::string watch, std::function<void(const std::string& reason)> failed);

 private:
  std::string path_;
  std::string shownPath_;
  std::string watch_;
  std::string settingsPath_;
  std::unique_ptr<history::Recorder> recorder_;
  std::function<void(const std::string&)> note_;
  bool opened_ = false;
  bool openFailureSaid_ = false;
};

}  // namespace kelvane::run
