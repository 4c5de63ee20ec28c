#include "cli/history_record.h"

#include <filesystem>
#include <utility>

#include "cli/output.h"
#include "cli/runner.h"
#include "history/export.h"
#include "history/store.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {

using history::HistoryError;
using history::HistoryStore;

namespace {

std::string cannotRecord(const std::string& reason) {
  return programMessage("cannot record in history: " + reason);
}

// One line naming the series a CSV could not hold.
std::string leftOutMessage(const std::vector<std::string>& labels) {
  std::string text = std::to_string(labels.size()) + " series past the first " +
                     std::to_string(history::kMaxCsvSeries) + " are not in the CSV:";
  for (size_t i = 0; i < labels.size(); ++i) {
    text += i == 0 ? " \"" : ", \"";
    text += escaped(textfile::decodeUtf8(labels[i]));
    text += '"';
  }
  return text;
}

}  // namespace

HistoryRecorder::HistoryRecorder(std::string path, std::FILE* err)
    : path_(std::move(path)), err_(err) {}

HistoryRecorder::~HistoryRecorder() = default;

bool HistoryRecorder::open() {
  if (!store_) store_ = std::make_unique<HistoryStore>(path_);
  return true;
}

std::optional<int> HistoryRecorder::prepare() {
  try {
    open();
  } catch (const HistoryError& e) {
    writeLine(err_, e.kind() == HistoryError::Kind::Refused ? programMessage(e.what())
                                                            : cannotRecord(e.what()));
    if (e.kind() == HistoryError::Kind::Refused) return kExitUsage;
    openFailureSaid_ = true;
  }
  return std::nullopt;
}

bool HistoryRecorder::record(const RunSummary& run, engine::TextView display,
                             const std::string& script) {
  history::RunEntry entry;
  entry.start = run.start;
  entry.durationMs = run.durationMs;
  entry.normal = run.outcome == engine::RunOutcome::Normal;
  entry.message = run.message;
  for (const LoadReport& l : run.loads) {
    entry.loads.push_back({l.url, l.finalUrl, std::string(acquisition::fetchModeName(l.fetch)),
                           l.status, l.error, l.loadMs, l.settleMs, l.charset});
  }
  entry.display.assign(display);
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(script, ec);
  entry.script = ec ? script : absolute.lexically_normal().string();
  const bool opening = !store_;
  const bool said = std::exchange(openFailureSaid_, false);
  try {
    open();
    store_->record(entry);
    return true;
  } catch (const HistoryError& e) {
    refused_ = e.kind() == HistoryError::Kind::Refused;
    // The run fails either way; an open failure that prepare() has just
    // said is not said again.
    if (!(opening && said))
      writeLine(err_, refused_ ? programMessage(e.what()) : cannotRecord(e.what()));
    return false;
  } catch (const std::exception& e) {
    writeLine(err_, cannotRecord(e.what()));
    return false;
  }
}

// Verdicts in the history, and in the process when the history fails.
class HistoryFetchMemory final : public acquisition::FetchMemory {
 public:
  HistoryFetchMemory(HistoryRecorder& recorder, std::string watch)
      : recorder_(recorder), watch_(std::move(watch)) {}

  std::optional<acquisition::RememberedFetch> recall(const std::string& url) override {
    if (auto kept = fallback_.recall(url)) return kept;
    try {
      recorder_.open();
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
      recorder_.open();
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
    if (!told_) writeLine(recorder_.err_, cannotRecord(e.what()));
    told_ = true;
  }

  HistoryRecorder& recorder_;
  std::string watch_;
  acquisition::FetchMemoryInProcess fallback_;
  bool told_ = false;
};

std::unique_ptr<acquisition::FetchMemory> HistoryRecorder::fetchMemory(std::string watch) {
  return std::make_unique<HistoryFetchMemory>(*this, std::move(watch));
}

int exportHistory(const Options& options, std::FILE* out, std::FILE* err) {
  try {
    HistoryStore store(*options.history, true);
    const history::SeriesTable table = store.seriesTable();
    std::string text;
    std::vector<std::string> leftOut;
    if (options.exportFormat == "csv") {
      history::CsvExport csv = history::csvExport(table);
      text = std::move(csv.text);
      leftOut = std::move(csv.leftOut);
    } else {
      text = history::jsonLines(table);
    }
    if (!writeBytes(out, text) || std::fflush(out) != 0) {
      reportStdoutFailure(err);
      return kExitStopped;
    }
    if (!leftOut.empty()) writeMessage(err, leftOutMessage(leftOut));
    return kExitNormal;
  } catch (const std::exception& e) {
    writeMessage(err, "cannot read history: " + std::string(e.what()));
    return kExitUsage;
  }
}

}  // namespace kelvane::cli
