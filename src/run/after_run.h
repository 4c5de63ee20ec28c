// What follows a run: the rules decided on it, a notice when the watch
// breaks and when it works again, and the deliveries to the watch's targets,
// all recorded in the history. A follower of the run cycle, so that both
// fronts share it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "history/alerts.h"
#include "notify/courier.h"
#include "notify/rules.h"
#include "run/front.h"
#include "run/run_recorder.h"

namespace kelvane::run {

// A recorded run as the rules and notices read it.
struct NoticeRun {
  std::string watch;  // its runs' name in the history (the script's path)
  std::string name;   // the watch as shown: the title of a notice without a caption
  int64_t runId = 0;
  bool normal = true;
  std::u16string display;
  std::optional<std::u16string> title;  // the caption this run's script set
  std::string address;                  // the page's address
  bool blocked = false;                 // the page answered with a bot check or rate limit
  bool loginNeeded = false;             // the page asked for a login (ログインが必要です)
};

// Writes deliveries into the history's delivery log; say is told of each one
// that could not be logged. A test sent from the window logs its answers
// here as kelvane-run --notify-test does.
void logDeliveries(RunRecorder& recorder, const std::vector<notify::Delivered>& delivered,
                   const std::function<void(const std::string&)>& say);

class AfterRun final : public Follower {
 public:
  // say gets the messages a person should read (apprise missing, a label
  // that matches several series, a history that cannot be written), once
  // each; decided gets every decision made (for --trace).
  AfterRun(notify::NotifySettings settings, RunRecorder& recorder,
           std::function<void(const std::string&)> say,
           std::function<void(const history::RuleDecision&)> decided = {});
  ~AfterRun() override;

  // A run the history holds: decided on, told.
  void runFinished(const FinishedRun& run) override;
  // Decides, records and starts the deliveries; never waits for them.
  // Returns the decisions made.
  std::vector<history::RuleDecision> follow(const NoticeRun& run);
  // Records the deliveries that have ended.
  void collect();
  // Waits for the deliveries (see Courier::finish) and records them.
  void finish(const std::function<bool()>& stop);
  // A test message to every target, waited for: the deliveries.
  std::vector<notify::Delivered> test(const std::string& name, const std::function<bool()>& stop);

  notify::Courier& courier() { return courier_; }

 private:
  void sendAll(const notify::Notice& notice);
  void record(const std::vector<notify::Delivered>& delivered);
  // The history's alert book; throws when the history cannot be opened.
  history::AlertBook book();

  notify::NotifySettings settings_;
  RunRecorder& recorder_;
  notify::Courier courier_;
  std::function<void(const std::string&)> say_;
  std::function<void(const history::RuleDecision&)> decided_;
  std::vector<std::string> said_;
};

}  // namespace kelvane::run
