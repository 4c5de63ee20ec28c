// The runs of one kelvane-run process: the engine with its host over the
// run layer's cycle, and what the options make of each run on the terminal
// (the explanation, the messages of outputs that failed, the diff).
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/options.h"
#include "cli/run_host.h"
#include "cli/run_notices.h"
#include "engine/engine.h"
#include "run/after_run.h"
#include "run/watch_run.h"

namespace kelvane::cli {

class RunSession : private run::Front {
 public:
  RunSession(const Options& options, std::FILE* out, std::FILE* err);
  ~RunSession() override;
  RunSession(const RunSession&) = delete;
  RunSession& operator=(const RunSession&) = delete;

  // HT from --page, and the state, record and history files checked before
  // any run: an exit status when one of them cannot be used.
  std::optional<int> prepare();

  void setScriptPath(engine::TextView path) { scriptPath_.assign(path); }
  void setWaitValue(engine::TextView wait) { host_.setWaitValue(engine::Text(wait)); }
  void setSettleMode(acquisition::SettleMode mode) { host_.setSettleMode(mode); }
  void setFetch(acquisition::FetchMode fetch);
  // Every run recorded in this history (--history, or a watch's own); a
  // watch names itself and its settings file. With --fetch auto, the fetch
  // choices are kept there too, under the fetch watch (by default the
  // script's path).
  void setHistoryPath(const std::string& address, const std::string& watch = {},
                      const std::string& settingsPath = {});
  void setFetchWatch(std::string watch) { fetchWatch_ = std::move(watch); }
  // What follows each run: rules, notices and their deliveries (from the
  // options unless set here, as a watch does from its settings).
  void setNotifySettings(std::optional<notify::NotifySettings> settings) {
    notifySettings_ = std::move(settings);
  }
  // Waits for the notices still being delivered (a stop signal cuts it short).
  void finishDeliveries();
  // Logs the deliveries that have ended, without waiting.
  void collectDeliveries();

  using Result = run::WatchRun::Result;
  // One run, then the explanation, the state (and diff), the record and,
  // with --log, the log entry. With more runs to come the browser lets go
  // of its page.
  Result runOnce(bool more = true);
  // Appends memo and display to the log; the window's message when that fails.
  bool appendLog(const std::string& path, engine::TextView memo);

  engine::Engine& engine() { return engine_; }
  // With --page-as-loaded: the saved file's whole text (its head included).
  const engine::Text& fileText() const { return fileText_; }

 private:
  // run::Front
  void runStarting() override { host_.beginRun(); }
  void engineFinished(bool normal, bool missed) override;
  void cannotWrite(run::Output output, const std::string& path, const std::string& reason) override;
  bool writeToPipe(int fd, std::string_view bytes) override;

  const Options& options_;
  std::FILE* out_;
  std::FILE* err_;
  RunHost host_;
  engine::Engine engine_;
  run::WatchRun run_;
  engine::Text scriptPath_;
  bool more_ = true;  // more runs follow the one going on
  engine::Text fileText_;
  std::string fetchWatch_;
  std::optional<notify::NotifySettings> notifySettings_;
  // What follows each run, with notification settings.
  std::unique_ptr<run::AfterRun> notices_;
};

// The outputs of a run as kelvane-run's options name them.
run::Outputs outputsOf(const Options& options);

}  // namespace kelvane::cli
