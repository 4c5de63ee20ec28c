// How kelvane-run writes: whole lines of messages, buffers as UTF-8, and a
// text made readable on one line for the trace.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "engine/text.h"

namespace kelvane::cli {

void writeLine(std::FILE* f, std::string_view text);
// A text as UTF-8, exactly, written in pieces so a big buffer is never copied
// whole; an unpaired surrogate becomes U+FFFD.
void writeUtf8(std::FILE* f, engine::TextView text);
// A text as one readable line: control characters, quotes and backslashes
// escaped.
std::string escaped(engine::TextView text);

}  // namespace kelvane::cli
