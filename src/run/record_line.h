// The record of runs (kelvane-run --record): one JSON object per run,
// appended as one line.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/load_record.h"
#include "engine/engine.h"
#include "run/miss_log.h"

namespace kelvane::run {

// What one run did, as the record and the history keep it.
struct RunReport {
  std::chrono::system_clock::time_point start;
  int64_t durationMs = 0;
  engine::RunOutcome outcome = engine::RunOutcome::Normal;
  bool loadFailed = false;  // a page did not load: outcome "failed load"
  std::string message;      // the first message of the run
  std::vector<acquisition::LoadRecord> loads;
  int64_t linesRun = 0;
  const std::map<int, MissLog::Miss>* misses = nullptr;
  size_t displayChars = 0;
  std::optional<bool> changed;  // with a state file, after a run that ended normally
};

// Local time in ISO 8601 with milliseconds and the offset from UTC:
// 2024-05-01T09:30:00.125+09:00.
std::string isoLocalTime(std::chrono::system_clock::time_point t);

// The record of a run as one line of JSON, ended by a line feed.
std::string recordLine(const RunReport& run);

// Writes all of bytes to a descriptor that is no regular file; false when
// it could not.
using PipeWriter = std::function<bool(int fd, std::string_view bytes)>;
// A pipe written as its reader reads, for as long as that takes.
bool writeToPipePatiently(int fd, std::string_view bytes);

// Appends the line with one write(2) to the file opened for appending
// (created when missing), so lines of concurrent writers never mix. A FIFO
// without a reader is refused rather than waited on; one with a reader is
// written through writePipe. False, with the reason, when the line could not
// be written whole; a partial line is taken back.
bool appendRecordLine(const std::string& path, const std::string& line, std::string* reason,
                      const PipeWriter& writePipe = writeToPipePatiently);

}  // namespace kelvane::run
