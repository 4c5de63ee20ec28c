#include "run/after_run.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "history/series.h"
#include "history/store.h"
#include "notify/message.h"
#include "run/watch_run.h"
#include "textfile/text_codec.h"

namespace kelvane::run {

using notify::Delivered;
using notify::Notice;

namespace {

class HistoryPast : public notify::Past {
 public:
  HistoryPast(history::AlertBook& book, const std::string& watch, int64_t runId)
      : book_(book), watch_(watch), runId_(runId) {}
  std::optional<double> previousValue(const std::string& label) override {
    return book_.previousValue(watch_, label, runId_);
  }
  std::optional<double> lowestInDays(const std::string& label, double days) override {
    const auto span = std::chrono::duration_cast<std::chrono::system_clock::duration>(
        std::chrono::duration<double>(days * 86400));
    return book_.lowestSince(watch_, label,
                             history::isoUtcTime(std::chrono::system_clock::now() - span), runId_);
  }

 private:
  history::AlertBook& book_;
  const std::string& watch_;
  int64_t runId_;
};

history::AlertBook alertBookOf(RunRecorder& recorder) {
  history::HistoryStore* store = recorder.store();
  if (!store) throw std::runtime_error("the history cannot be opened: " + recorder.path());
  return history::AlertBook(*store);
}

}  // namespace

AfterRun::AfterRun(notify::NotifySettings settings, RunRecorder& recorder,
                   std::function<void(const std::string&)> say,
                   std::function<void(const history::RuleDecision&)> decided)
    : settings_(std::move(settings)),
      recorder_(recorder),
      say_(std::move(say)),
      decided_(std::move(decided)) {
  courier_.onMissing = [this](const std::string& text) {
    if (say_) say_(text);
  };
  if (settings_.rules.empty()) {
    settings_.rules.push_back(std::get<notify::Rule>(notify::parseRule("changed")));
  }
}

AfterRun::~AfterRun() = default;

history::AlertBook AfterRun::book() {
  return alertBookOf(recorder_);
}

void logDeliveries(RunRecorder& recorder, const std::vector<Delivered>& delivered,
                   const std::function<void(const std::string&)>& say) {
  for (const Delivered& d : delivered) {
    try {
      history::AlertBook alerts = alertBookOf(recorder);
      alerts.logDelivery({history::isoUtcTime(std::chrono::system_clock::now()), d.watch,
                          d.runId ? std::optional<int64_t>(d.runId) : std::nullopt, d.target,
                          d.rule, d.outcome, d.error});
    } catch (const std::exception& e) {
      if (say) say(std::string("a delivery is not logged: ") + e.what());
    }
  }
}

void AfterRun::runFinished(const FinishedRun& finished) {
  // A run the history could not keep has nothing to be decided against.
  if (!finished.runId) return;
  NoticeRun run;
  run.watch = finished.script;
  run.name = std::filesystem::path(finished.script).stem().string();
  run.runId = *finished.runId;
  run.normal = finished.report.outcome == engine::RunOutcome::Normal && !finished.report.loadFailed;
  run.display.assign(finished.display);
  if (finished.titleSet) run.title.emplace(finished.title);
  for (const acquisition::LoadRecord& load : finished.report.loads) {
    run.address = load.finalUrl.empty() ? load.url : load.finalUrl;
    run.blocked = run.blocked || notify::looksBlocked(load.status, "");
    run.loginNeeded = run.loginNeeded || load.loginNeeded;
  }
  for (const history::RuleDecision& d : follow(run)) {
    if (decided_) decided_(d);
  }
}

std::vector<history::RuleDecision> AfterRun::follow(const NoticeRun& run) {
  std::vector<history::RuleDecision> made;
  std::vector<std::string> fired;
  std::optional<std::u16string> before;
  std::optional<Notice> health;
  try {
    history::AlertBook alerts = book();
    if (run.normal) {
      notify::RunView view{run.display, history::seriesOf(run.display), alerts.changed(run.runId)};
      HistoryPast past(alerts, run.watch, run.runId);
      made =
          alerts
              .decide(run.watch, run.runId,
                      [&](const std::map<std::string, bool>& states) {
                        history::Decisions d;
                        for (const notify::Rule& rule : settings_.rules) {
                          const notify::Verdict v = notify::judge(rule, view, past);
                          if (v.ambiguous &&
                              std::find(said_.begin(), said_.end(), rule.text) == said_.end()) {
                            said_.push_back(rule.text);
                            if (say_) {
                              say_("the rule " + rule.text +
                                   " matches several series; it reads the first, " + v.label);
                            }
                          }
                          const auto known = states.find(rule.text);
                          bool fire = false;
                          std::string why;
                          if (notify::firesEveryTime(rule.kind)) {
                            fire = v.holds;
                            why = v.found;
                          } else if (known == states.end()) {
                            fire = v.holds && settings_.first;
                            why =
                                (fire ? "true on the first run: " : "first run, armed: ") + v.found;
                          } else if (v.holds) {
                            fire = !known->second;
                            why = (fire ? "became true: " : "still true, told already: ") + v.found;
                          } else {
                            why = "false: " + v.found;
                          }
                          d.made.push_back({rule.text, fire, why});
                          if (fire) fired.push_back(v.found + " (" + rule.text + ")");
                          d.states[rule.text] = v.holds;
                        }
                        return d;
                      })
              .made;
      if (!fired.empty()) before = alerts.previousDisplay(run.watch, run.runId);
    }
    if (settings_.alertAfter > 0) {
      const history::FailureStreak streak = alerts.failuresUpTo(run.watch, run.runId);
      const std::string count = std::to_string(streak.runs);
      if (!run.normal && streak.runs == settings_.alertAfter) {
        // A login that expired is named: the user's part is to log in again.
        const std::string why =
            run.loginNeeded ? "login needed (ログインが必要です): log in again on the window's "
                              "Page tab, or renew the cookie file: "
            : run.blocked ? "blocked (a bot check or a rate limit): "
                          : "";
        health = Notice{run.name + (run.loginNeeded ? ": login needed" : ": not working"),
                        run.name + " has not run normally since " + streak.since + " (" + count +
                            " runs): " + why + streak.reason + "\n" + run.address,
                        "failing",
                        "failure",
                        "",
                        0};
      } else if (run.normal && streak.runs >= settings_.alertAfter) {
        health = Notice{run.name + ": working again",
                        run.name + " runs normally again; it had failed since " + streak.since +
                            " (" + count + " runs)\n" + run.address,
                        "recovered",
                        "success",
                        "",
                        0};
      }
    }
  } catch (const std::exception& e) {
    if (say_) say_(std::string("what follows the run is not decided: ") + e.what());
  }
  if (!fired.empty()) {
    Notice notice;
    notice.title = run.title ? textfile::toUtf8(*run.title) : run.name;
    for (const std::string& f : fired) notice.body += f + "\n";
    if (before) notice.body += notify::changeLines(*before, run.display);
    notice.body += run.address;
    for (const history::RuleDecision& d : made) {
      if (d.fired) notice.rule += (notice.rule.empty() ? "" : "; ") + d.rule;
    }
    notice.watch = run.watch;
    notice.runId = run.runId;
    sendAll(notice);
  }
  if (health) {
    health->watch = run.watch;
    health->runId = run.runId;
    sendAll(*health);
  }
  collect();
  return made;
}

void AfterRun::sendAll(const Notice& notice) {
  for (const std::string& target : settings_.targets) courier_.send(target, notice);
}

void AfterRun::record(const std::vector<Delivered>& delivered) {
  logDeliveries(recorder_, delivered, say_);
}

void AfterRun::collect() {
  record(courier_.collect());
}

void AfterRun::finish(const std::function<bool()>& stop) {
  record(courier_.finish(stop));
}

std::vector<Delivered> AfterRun::test(const std::string& name, const std::function<bool()>& stop) {
  sendAll(notify::testNotice(name));
  std::vector<Delivered> delivered = courier_.finish(stop);
  record(delivered);
  return delivered;
}

}  // namespace kelvane::run
