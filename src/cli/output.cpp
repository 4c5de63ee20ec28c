#include "cli/output.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>

#include "cli/stop_signals.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {

bool writeFully(int fd, std::string_view bytes) {
  struct stat st {};
  // A regular file never waits for a reader; anything else is written a
  // pipe's atomic unit at a time once poll says it has room.
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  const size_t piece = regular ? size_t{1} << 20 : PIPE_BUF;
  std::optional<std::chrono::steady_clock::time_point> deadline;
  while (!bytes.empty()) {
    if (!regular) {
      if (!deadline && stopRequested()) {
        deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStuckWriteMs);
      }
      pollfd fds[2] = {{fd, POLLOUT, 0}, {stopSignalDescriptor(), POLLIN, 0}};
      int timeout = -1;
      nfds_t count = fds[1].fd >= 0 ? 2 : 1;
      if (deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            *deadline - std::chrono::steady_clock::now());
        timeout = static_cast<int>(std::max<int64_t>(0, left.count()));
        count = 1;
      }
      const int ready = ::poll(fds, count, timeout);
      if (ready < 0 && errno != EINTR) return false;
      if (ready == 0) {  // stuck after a stop signal: give up
        errno = 0;
        return false;
      }
      if (ready < 0 || fds[0].revents == 0) continue;
    }
    const ssize_t n = ::write(fd, bytes.data(), std::min(bytes.size(), piece));
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool writeBytes(std::FILE* f, std::string_view bytes) {
  const int fd = ::fileno(f);
  if (fd < 0) return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool flushed = std::fflush(f) == 0;
  return writeFully(fd, bytes) && flushed;
}

bool writeLine(std::FILE* f, std::string_view text) {
  std::string line;
  line.reserve(text.size() + 1);
  line.append(text).push_back('\n');
  return writeBytes(f, line);
}

bool writeUtf8(std::FILE* f, engine::TextView text) {
  constexpr size_t kChunk = 1 << 16;
  std::string bytes;
  while (!text.empty()) {
    size_t n = text.size() < kChunk ? text.size() : kChunk;
    // Never split a surrogate pair between two pieces.
    if (n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    textfile::encodeUtf8Into(text.substr(0, n), bytes);
    if (!writeBytes(f, bytes)) return false;
    text.remove_prefix(n);
  }
  return std::fflush(f) == 0;
}

std::string programMessage(std::string_view text) {
  std::string line = "kelvane-run: ";
  line.append(text);
  return line;
}

bool writeMessage(std::FILE* f, std::string_view text) {
  return writeLine(f, programMessage(text));
}

void reportStdoutFailure(std::FILE* err) {
  const int error = errno;
  writeMessage(err, std::string("cannot write to standard output: ") +
                        (error == 0 ? "the reader stopped reading" : std::strerror(error)));
}

std::string escaped(engine::TextView text) {
  std::u16string out;
  for (char16_t c : text) {
    switch (c) {
      case u'\t':
        out += u"\\t";
        break;
      case u'\r':
        out += u"\\r";
        break;
      case u'\n':
        out += u"\\n";
        break;
      case u'\\':
        out += u"\\\\";
        break;
      case u'"':
        out += u"\\\"";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          static const char16_t hex[] = u"0123456789ABCDEF";
          out += u"\\x";
          out.push_back(hex[c >> 4]);
          out.push_back(hex[c & 0xF]);
        } else {
          out.push_back(c);
        }
    }
  }
  return textfile::encodeUtf8(out);
}

}  // namespace kelvane::cli
