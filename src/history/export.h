// The history written out, one row per run in run order: the start time, the
// outcome, then one value per series (empty where a run's display has none).
#pragma once

#include <string>

#include "history/store.h"

namespace kelvane::history {

// CSV: a header row (time, outcome, then the series' labels), fields quoted
// where they hold a comma, a quote or a line break, rows ended by CR LF, the
// whole led by a UTF-8 byte order mark so that spreadsheet programs on
// Japanese systems read it as UTF-8.
std::string csvText(const SeriesTable& table);

// One JSON object per run and line: {"time", "outcome", "changed" (when
// known), "values": {label: value}}.
std::string jsonLines(const SeriesTable& table);

}  // namespace kelvane::history
