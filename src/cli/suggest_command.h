// kelvane-run --suggest: the picker without a window. HT is the --page file,
// or the page the script's URL lines load; the lines that cut the text out
// are printed as a script.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/options.h"
#include "engine/text.h"

namespace kelvane::cli {

// The script that, run on page, leaves exactly its occurrence-th occurrence
// of text in D: urlLines first, then the cut; when the piece is one of a
// list, the block that collects every item follows as comment lines. Empty
// when text does not occur that often.
std::vector<engine::Text> suggestScript(engine::TextView page, engine::TextView text,
                                        int occurrence,
                                        const std::vector<engine::Text>& urlLines = {});

// Prints the script (UTF-8, CR LF); exit 2 when the text is not in HT.
int suggest(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace kelvane::cli
