// The log: the memo and the display appended to a text file chosen by the
// user, one entry per request.
#pragma once

#include <string>
#include <string_view>

namespace kelvane::logging {

using Text = std::u16string;
using TextView = std::u16string_view;

// How an entry is written into a given log file.
enum class LogEncoding {
  Cp932,      // every character fits in CP932
  Utf8,       // the log is (or becomes) UTF-8
  Cp932Refs,  // an existing CP932 log and an entry with characters CP932
              // lacks: those are written as &#N; (N the code point)
};

// What a log file holds already, as far as its encoding goes.
enum class ExistingLog {
  Empty,  // missing or empty
  Ascii,  // only ASCII bytes: either encoding may follow
  Utf8,   // valid UTF-8 with non-ASCII text
  Cp932,  // any other non-ASCII bytes
};

ExistingLog classifyLog(std::string_view bytes);

// The encoding of an entry for a log: an empty or plain ASCII log is treated
// like a new one (CP932 unless the entry does not fit, then UTF-8); a UTF-8
// log stays UTF-8; a CP932 log stays CP932, with &#N; for what CP932 lacks.
LogEncoding chooseEncoding(ExistingLog log, TextView memo, TextView display);

// The bytes of one entry: memo, CR LF, display, CR LF.
std::string entryBytes(TextView memo, TextView display, LogEncoding encoding);

// Appends one entry to the file at path (UTF-8 file name), creating it when
// missing (through a dangling link, the file the link names). A new, empty or
// plain ASCII log gets CP932 unless the entry does not fit, then UTF-8; an
// existing log keeps its encoding. Only the log's first and last 64 KiB are
// read: a longer log whose both ends are plain ASCII counts as plain ASCII.
// Returns false when the file cannot be opened (empty path, missing folder,
// no permission), is no regular file (a folder, a FIFO, a device) or the
// entry cannot be written whole; a partly written entry is taken back, so the
// log is left as it was. The window then shows cannotWriteMessage(). *error
// (optional) gets the errno of a failed append: ECANCELED or ETIMEDOUT when
// the wait for another writer's lock gave up (textfile/lock_wait.h), 0 when
// the file could not be used.
bool appendEntry(const std::string& path, TextView memo, TextView display, int* error = nullptr);

// Logファイルに書き込めません．
Text cannotWriteMessage();

}  // namespace kelvane::logging
