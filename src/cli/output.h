// How kelvane-run writes: whole lines of messages, buffers as UTF-8, and a
// text made readable on one line for the trace.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "engine/text.h"

namespace kelvane::cli {

// Writes all of bytes to fd. A pipe or terminal whose reader has stopped
// reading holds the write until it reads again, but once a stop signal has
// arrived for at most kStuckWriteMs more. False when the write failed (a
// closed pipe: EPIPE), or gave up.
inline constexpr int kStuckWriteMs = 500;
bool writeFully(int fd, std::string_view bytes);

// Writes to f after what f holds buffered, with writeFully's limits when f
// has a descriptor. False when not all of it was written.
bool writeBytes(std::FILE* f, std::string_view bytes);
bool writeLine(std::FILE* f, std::string_view text);
// A text as UTF-8, exactly, written in pieces so a big buffer is never copied
// whole; an unpaired surrogate becomes U+FFFD.
bool writeUtf8(std::FILE* f, engine::TextView text);

// kelvane-run's own messages start with its name: "kelvane-run: " and text.
std::string programMessage(std::string_view text);
// The message as a line of f (standard error).
bool writeMessage(std::FILE* f, std::string_view text);

// "kelvane-run: cannot write to standard output: " and the reason (errno).
void reportStdoutFailure(std::FILE* err);

// A text as one readable line: control characters, quotes and backslashes
// escaped.
std::string escaped(engine::TextView text);

}  // namespace kelvane::cli
