// The runs of one kelvane-run process: the engine with its host, and what
// the options do after each run (explanation, state and diff, record, log).
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/history_record.h"
#include "cli/miss_explainer.h"
#include "cli/options.h"
#include "cli/run_host.h"
#include "engine/engine.h"

namespace kelvane::cli {

class RunSession {
 public:
  RunSession(const Options& options, std::FILE* out, std::FILE* err);
  ~RunSession();
  RunSession(const RunSession&) = delete;
  RunSession& operator=(const RunSession&) = delete;

  // HT from --page, and the state and record files checked before any run:
  // an exit status when one of them cannot be used.
  std::optional<int> prepare();

  void setScriptPath(engine::TextView path) { scriptPath_.assign(path); }
  void setWaitValue(engine::TextView wait) { host_.setWaitValue(engine::Text(wait)); }
  void setSettleMode(acquisition::SettleMode mode) { host_.setSettleMode(mode); }
  void setFetch(acquisition::FetchMode fetch);
  // Without --state the display is compared with the previous run's in
  // memory (for --watch's report).
  void compareInMemory(bool on) { compareInMemory_ = on; }
  // Every run recorded in this history (--history, or a watch's own); with
  // --fetch auto, the fetch choices are kept there too, under the watch
  // (by default the script's path).
  void setHistoryPath(const std::string& path);
  void setFetchWatch(std::string watch) { fetchWatch_ = std::move(watch); }

  enum class Change { Unknown, First, Same, Changed };
  struct Result {
    // A failed load stops the run even on the script's last line, where
    // the engine has no next line to skip and ends normally.
    engine::RunOutcome outcome = engine::RunOutcome::Normal;
    bool loadFailed = false;
    Change change = Change::Unknown;
    bool writeFailed = false;     // a state, record or log write failed
    bool historyRefused = false;  // the history turned out damaged
  };
  // One run, then the explanation, the state (and diff), the record and,
  // with --log, the log entry. With more runs to come the browser lets go
  // of its page.
  Result runOnce(bool more = true);
  // Appends memo and display to the log; the window's message when that fails.
  bool appendLog(const std::string& path, engine::TextView memo);

  engine::Engine& engine() { return engine_; }

 private:
  Change compareState(bool* failed);

  const Options& options_;
  std::FILE* out_;
  std::FILE* err_;
  RunHost host_;
  engine::Engine engine_;
  MissExplainer explainer_;
  engine::Text scriptPath_;
  bool compareInMemory_ = false;
  std::optional<engine::Text> previousDisplay_;
  std::unique_ptr<HistoryRecorder> history_;
  std::string fetchWatch_;
  std::string diff_;  // the run's diff, printed last
};

}  // namespace kelvane::cli
