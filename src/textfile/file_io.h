// Whole-file reading and safe whole-file writing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane::textfile {

// The bytes of a regular file, or nothing when it cannot be opened or read (a
// missing file, no permission), is no regular file (a folder, a FIFO, a
// device: opening never waits for a writer at the other end of a pipe) or is
// larger than 1 GiB.
std::optional<std::string> readFileBytes(const std::string& path);

// The same, but at most maxBytes of the file's head; *more tells whether the
// file went on beyond them.
std::optional<std::string> readFileHead(const std::string& path, size_t maxBytes, bool* more);

// The path that a chain of symbolic links starting at path finally names, the
// path itself when it is no link. The file named need not exist. Nothing for a
// loop of links (errno ELOOP), and nothing for a path through a link that
// plantedLink refuses (errno EACCES).
std::optional<std::string> resolveLinks(const std::string& path);

// A link on the way to path (in its folders or at its end, or on the way to
// where a link leads) that another user planted in a folder everyone may
// write to (sticky and writable by all, as /tmp): a link there is followed
// only when it belongs to this user or to the folder's owner, as the
// kernel's protected-symlinks rule has it, so a file of ours is never
// written through someone else's link. Nothing when the way is clear.
// Every file written here (log, record, state, history, settings, exports)
// is reached only after this check.
std::optional<std::string> plantedLink(const std::string& path);

// Why a file is not written through a planted link, for messages.
std::string plantedLinkReason(const std::string& link);

// Writes all of bytes to fd, again after an interrupted or partial write.
// False when a write fails or takes nothing (errno then tells why: ENOSPC
// for a write that took nothing); *written, when given, counts the bytes
// that did go out.
bool writeAll(int fd, std::string_view bytes, size_t* written = nullptr);

// Replaces the file with the bytes through a temporary file with a unique name
// beside it that is renamed over the old one, so a failed write leaves the old
// file intact and the new one is complete after a crash. A symbolic link is
// kept and the file it names is replaced; the replaced file's mode (and, where
// allowed, owner) carry over. Temporaries that an earlier save left behind
// when the program died are removed once they are old. Returns false when
// anything failed, or when the path names something other than a regular
// file.
bool writeFileAtomically(const std::string& path, std::string_view bytes);

// Appends to a regular file that other processes may append to at the same
// time, opened with O_APPEND. Under an exclusive lock on the file (flock;
// every writer here takes it; held until fd is closed; a wait for it ends as
// textfile/lock_wait.h says, with *error ECANCELED or ETIMEDOUT),
// compose(size) returns the bytes to append, knowing the file's size (it may
// read the file's head or tail through fd). When the write fails part way (a
// full disk), the part is taken back if the file then ends with exactly it:
// bytes that others wrote are never removed. Returns false, with *error set
// to the errno, when the bytes were not all written; *sizeBefore (optional)
// gets the size the bytes were appended at.
bool appendLocked(int fd, const std::function<std::string(uint64_t size)>& compose, int* error,
                  uint64_t* sizeBefore = nullptr);

// Up to n bytes that end the file at size (fewer for a shorter file).
std::string readTail(int fd, uint64_t size, size_t n);

// What must be written before a new line so that it starts on a line of its
// own: nothing when the file at size is empty or ends with LF; otherwise
// the rest of lineEnd ("\r\n" or "\n") that finishes a line cut short by a
// killed writer.
std::string finishTornLine(int fd, uint64_t size, std::string_view lineEnd);

}  // namespace kelvane::textfile
