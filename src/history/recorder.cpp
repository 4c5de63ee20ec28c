#include "history/recorder.h"

#include <filesystem>

#include "history/address.h"

namespace kelvane::history {
namespace {

namespace fs = std::filesystem;

constexpr int kBatch = 200;

bool exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

}  // namespace

Recorder::Recorder(std::string address, std::string settingsPath)
    : address_(std::move(address)),
      spoolPath_(isServerAddress(address_) ? spoolPathFor(address_, settingsPath) : "") {}

Recorder::~Recorder() = default;

void Recorder::open() {
  if (store_) return;
  try {
    store_ = std::make_unique<HistoryStore>(address_);
  } catch (const HistoryError& e) {
    if (e.kind() != HistoryError::Kind::Unreachable) throw;
  }
}

HistoryStore& Recorder::store() {
  if (!store_) store_ = std::make_unique<HistoryStore>(address_);
  return *store_;
}

int64_t Recorder::sendSpool(std::string* note) {
  if (!exists(spoolPath_)) return 0;
  HistoryStore spool(spoolPath_);
  int64_t sent = 0;
  for (;;) {
    const std::vector<StoredRun> waiting = spool.entries(0, kBatch);
    if (waiting.empty()) break;
    for (const StoredRun& run : waiting) {
      try {
        // A run the server has (a send whose answer was lost) is kept once.
        store_->record(run.entry);
      } catch (const HistoryError& e) {
        if (e.kind() == HistoryError::Kind::Unreachable) throw;
        // A run the server refuses stays first in line; the rest wait too.
        *note = e.what();
        return sent;
      }
      spool.remove(run.id);
      ++sent;
    }
  }
  return sent;
}

Recorder::Outcome Recorder::record(RunEntry run) {
  Outcome outcome;
  if (spoolPath_.empty()) {
    if (!store_) store_ = std::make_unique<HistoryStore>(address_);
    outcome.runId = store_->record(run);
    outcome.changed = store_->lastChange();
    return outcome;
  }
  // The run's identity is fixed here, so that a copy kept in the spool and
  // sent later is the same run.
  if (run.host.empty()) run.host = HistoryStore::thisHost();
  if (run.uid.empty()) run.uid = HistoryStore::newRunId();
  try {
    if (!store_) store_ = std::make_unique<HistoryStore>(address_);
    outcome.sent = sendSpool(&outcome.sendNote);
    // Behind a run still waiting, this one waits too: the order is kept.
    if (outcome.sendNote.empty()) {
      outcome.runId = store_->record(run);
      outcome.changed = store_->lastChange();
      return outcome;
    }
    outcome.reason = outcome.sendNote;
  } catch (const HistoryError& e) {
    if (e.kind() == HistoryError::Kind::Refused) throw;
    store_.reset();  // connected afresh at the next run
    outcome.reason = e.what();
  }
  try {
    HistoryStore spool(spoolPath_);
    spool.setRetention({0, 0});  // a spool keeps every run until it is sent
    spool.recordKeepingAll(run);
  } catch (const HistoryError& e) {
    throw HistoryError(HistoryError::Kind::Failed,
                       outcome.reason + "; nor can it be kept: " + e.what());
  }
  outcome.kept = true;
  return outcome;
}

int64_t spooledRuns(const std::string& address, const std::string& settingsPath) {
  if (!isServerAddress(address)) return 0;
  const std::string path = spoolPathFor(address, settingsPath);
  if (!exists(path)) return 0;
  // Opened to write: a spool from an older program is brought up to date.
  return HistoryStore(path).runCount();
}

int64_t copyHistory(const std::string& from, const std::string& to) {
  HistoryStore source(from, true);
  HistoryStore target(to);
  int64_t copied = 0;
  const int64_t before = target.runCount();
  for (int64_t after = 0;;) {
    const std::vector<StoredRun> runs = source.entries(after, kBatch);
    if (runs.empty()) break;
    for (const StoredRun& run : runs) target.recordKeepingAll(run.entry);
    after = runs.back().id;
  }
  copied = target.runCount() - before;
  return copied;
}

}  // namespace kelvane::history
