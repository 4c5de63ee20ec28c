// kelvane-run --record: one JSON object per run, appended as one line.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/load_modes.h"
#include "cli/miss_explainer.h"
#include "engine/engine.h"

namespace kelvane::cli {

// What kelvane-run learned about one page load of a URL command. Fields a
// loader cannot tell stay empty and are left out of the record.
struct LoadReport {
  std::string url;
  std::string finalUrl;
  acquisition::FetchMode fetch = acquisition::FetchMode::Browser;
  std::string fetchWhy;       // with --fetch auto: why this fetcher ran
  std::optional<int> status;  // the HTTP status
  std::string error;          // why the load failed; empty when it did not
  int64_t loadMs = 0;         // the whole URL command
  std::optional<int64_t> settleMs;
  std::optional<int64_t> bytes;
  std::string charset;
};

struct RunSummary {
  std::chrono::system_clock::time_point start;
  int64_t durationMs = 0;
  engine::RunOutcome outcome = engine::RunOutcome::Normal;
  bool loadFailed = false;  // a page did not load: outcome "failed load"
  std::string message;      // the first message of the run
  std::vector<LoadReport> loads;
  int64_t linesRun = 0;
  const std::map<int, MissExplainer::Miss>* misses = nullptr;
  size_t displayChars = 0;
  std::optional<bool> changed;  // with --state, after a run that ended normally
};

// Local time in ISO 8601 with milliseconds and the offset from UTC:
// 2024-05-01T09:30:00.125+09:00.
std::string isoLocalTime(std::chrono::system_clock::time_point t);

// The record of a run as one line of JSON, ended by a line feed.
std::string recordLine(const RunSummary& run);

// Appends the line with one write(2) to the file opened for appending
// (created when missing), so lines of concurrent writers never mix. A FIFO
// without a reader is refused rather than waited on. False, with the reason,
// when the line could not be written whole; a partial line is taken back.
bool appendRecordLine(const std::string& path, const std::string& line, std::string* reason);

}  // namespace kelvane::cli
