#include "run/run_recorder.h"

#include <utility>

namespace kelvane::run {

RunRecorder::RunRecorder(std::string path) : path_(std::move(path)) {}

RunRecorder::~RunRecorder() = default;

void RunRecorder::openStore() {
  if (!store_) store_ = std::make_unique<history::HistoryStore>(path_);
}

void RunRecorder::open() {
  try {
    openStore();
  } catch (const history::HistoryError&) {
    openFailureSaid_ = true;
    throw;
  }
}

RunRecorder::Recorded RunRecorder::record(const history::RunEntry& run) {
  const bool opening = !store_;
  const bool said = std::exchange(openFailureSaid_, false);
  try {
    openStore();
    Recorded recorded;
    recorded.runId = store_->record(run);
    recorded.changed = store_->lastChange();
    return recorded;
  } catch (const std::exception& e) {
    // The run itself is done either way: the history just misses it.
    store_.reset();
    openFailureSaid_ = false;
    Recorded recorded;
    recorded.error = e.what();
    const auto* error = dynamic_cast<const history::HistoryError*>(&e);
    recorded.refused = error && error->kind() == history::HistoryError::Kind::Refused;
    recorded.said = opening && said;
    return recorded;
  }
}

history::HistoryStore* RunRecorder::store() {
  try {
    openStore();
  } catch (const std::exception&) {
    return nullptr;
  }
  return store_.get();
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
      recorder_.openStore();
      const auto choice = recorder_.store_->fetchChoice(watch_, url);
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
      recorder_.openStore();
      recorder_.store_->keepFetchChoice(watch_, url,
                                        {std::string(acquisition::fetchVerdictName(fetch.verdict)),
                                         fetch.why, fetch.runsSinceCheck, fetch.recheck});
    } catch (const std::exception& e) {
      failed(e);
      fallback_.remember(url, fetch);
    }
  }

 private:
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
