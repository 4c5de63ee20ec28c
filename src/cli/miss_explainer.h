// kelvane-run --explain: why a marker search found nothing. Each line's first
// miss in a run, with the nearest candidates in the text it searched, written
// out after the run.
#pragma once

#include <cstdio>

#include "run/miss_log.h"

namespace kelvane::cli {

// The report of the run: per line, its miss and the candidates under it.
void writeExplanation(const run::MissLog& misses, std::FILE* err);

}  // namespace kelvane::cli
