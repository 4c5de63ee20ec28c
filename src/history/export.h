// The history written out, one row per run in run order: the start time, the
// outcome, then one value per series (empty where a run's display has none).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "history/store.h"

namespace kelvane::history {

// The series columns a CSV holds at most: a page that names a new series on
// every run must not make a file no spreadsheet opens.
inline constexpr size_t kMaxCsvSeries = 500;

struct CsvExport {
  std::string text;
  // The labels past the bound, in the table's order: the caller says them.
  std::vector<std::string> leftOut;
};

// CSV: a header row (time, outcome, then the labels of the first maxSeries
// series), fields as csvField writes them, rows ended by CR LF, the whole led
// by a UTF-8 byte order mark so that spreadsheet programs on Japanese systems
// read it as UTF-8.
CsvExport csvExport(const SeriesTable& table, size_t maxSeries = kMaxCsvSeries);

// One CSV cell. Labels come from pages, so a text a spreadsheet would take
// for a formula (one starting with = + - @, a tab or a CR that is not a plain
// number such as -3 or -3.5e+20) gets a leading ' and is shown as written;
// then it is quoted where it holds a comma, a quote or a line break.
std::string csvField(std::string_view field);

// One JSON object per run and line: {"time", "outcome", "changed" (when
// known), "values": {label: value}}.
std::string jsonLines(const SeriesTable& table);

// The history in the file at path, opened to read only, written out in
// format ("csv", "jsonl", or "deliveries": the delivery log); leftOut as csvExport gives it (empty
// for "jsonl"). Throws HistoryError when it cannot be read.
CsvExport exportHistory(const std::string& path, std::string_view format);

}  // namespace kelvane::history
