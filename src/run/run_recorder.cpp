#include "run/run_recorder.h"

#include <utility>

#include "history/address.h"

namespace kelvane::run {

namespace {

std::string runsText(int64_t n) {
  return std::to_string(n) + (n == 1 ? " run" : " runs");
}

}  // namespace

RunRecorder::RunRecorder(std::string address, std::string watch, std::string settingsPath)
    : path_(std::move(address)),
      shownPath_(history::maskedAddress(path_)),
      watch_(std::move(watch)),
      settingsPath_(std::move(settingsPath)),
      recorder_(std::make_unique<history::Recorder>(path_, settingsPath_)) {}

RunRecorder::~RunRecorder() = default;

void RunRecorder::open() {
  try {
    recorder_->open();
    opened_ = true;
  } catch (const history::HistoryError&) {
    openFailureSaid_ = true;
    throw;
  }
}

RunRecorder::Recorded RunRecorder::record(history::RunEntry run) {
  const bool opening = !opened_;
  const bool said = std::exchange(openFailureSaid_, false);
  if (run.watch.empty()) run.watch = watch_;
  Recorded recorded;
  try {
    const history::Recorder::Outcome outcome = recorder_->record(std::move(run));
    opened_ = true;
    if (note_ && outcome.sent > 0) {
      note_(runsText(outcome.sent) + " kept in " + recorder_->spoolPath() +
            " sent to the history server");
    }
    if (outcome.kept) {
      if (note_) {
        note_("the history server cannot take the run (" + outcome.reason + "); it is kept in " +
              recorder_->spoolPath() + " and sent at the next run that reaches the server");
      }
      recorded.kept = true;
      return recorded;
    }
    recorded.runId = outcome.runId;
    recorded.changed = outcome.changed;
    return recorded;
  } catch (const std::exception& e) {
    // The run itself is done either way: the history just misses it. The
    // next run opens the history afresh.
    recorder_ = std::make_unique<history::Recorder>(path_, settingsPath_);
    opened_ = false;
    recorded.error = e.what();
    const auto* error = dynamic_cast<const history::HistoryError*>(&e);
    recorded.refused = error && error->kind() == history::HistoryError::Kind::Refused;
    recorded.said = opening && said;
    return recorded;
  }
}

history::HistoryStore* RunRecorder::store() {
  try {
    return &recorder_->store();
  } catch (const std::exception&) {
    return nullptr;
  }
}

// Verdicts in the history, and in the process when the history fails.
class HistoryFetchMemory final : public acquisition::FetchMemory {
 public:
  HistoryFetchMemory(RunRecorder& recorder, std::string watch,
                     std::function<void(const std::string&)> failed)
      : recorder_(recorder), watch_(std::move(watch)), failed_(std::move(failed)) {}

  std::optional<acquisition::RememberedFetch> recall(const std::string& url) override {
    if (auto kept = fallback_.recall(url)) return kept;
    try {
      const auto choice = history().fetchChoice(watch_, url);
      const auto verdict = choice ? acquisition::fetchVerdictNamed(choice->verdict) : std::nullopt;
      if (!verdict) return std::nullopt;
      return acquisition::RememberedFetch{
          *verdict, choice->why, static_cast<int>(choice->runsSinceCheck), choice->recheck};
    } catch (const std::exception& e) {
      failed(e);
      return std::nullopt;
    }
  }
  void remember(const std::string& url, const acquisition::RememberedFetch& fetch) override {
    try {
      history().keepFetchChoice(watch_, url,
                                {std::string(acquisition::fetchVerdictName(fetch.verdict)),
                                 fetch.why, fetch.runsSinceCheck, fetch.recheck});
    } catch (const std::exception& e) {
      failed(e);
      fallback_.remember(url, fetch);
    }
  }

 private:
  history::HistoryStore& history() {
    history::HistoryStore* store = recorder_.store();
    if (!store) throw std::runtime_error("cannot open " + recorder_.path());
    return *store;
  }
  void failed(const std::exception& e) {
    if (!told_ && failed_) failed_(e.what());
    told_ = true;
  }

  RunRecorder& recorder_;
  std::string watch_;
  std::function<void(const std::string&)> failed_;
  acquisition::FetchMemoryInProcess fallback_;
  bool told_ = false;
};

std::unique_ptr<acquisition::FetchMemory> RunRecorder::fetchMemory(
    std::string watch, std::function<void(const std::string& reason)> failed) {
  return std::make_unique<HistoryFetchMemory>(*this, std::move(watch), std::move(failed));
}

}  // namespace kelvane::run
