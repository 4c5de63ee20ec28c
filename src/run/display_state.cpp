#include "run/display_state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string_view>

#include "textfile/file_io.h"
#include "textfile/text_codec.h"

namespace kelvane::run {

using engine::Text;
using engine::TextView;

namespace {

// The first line of every state file: a file without it was not written
// here, and is never overwritten.
constexpr std::string_view kHeader = "# kelvane-run display state 1\n";

}  // namespace

StoredState readState(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec) && !ec) return {};
  const auto bytes = textfile::readFileBytes(path);
  if (!bytes) return {StoredState::Kind::Unreadable, {}};
  if (bytes->empty()) return {};
  if (!std::string_view(*bytes).starts_with(kHeader)) return {StoredState::Kind::Foreign, {}};
  // Written as UTF-8 by writeState: read as such, a leading U+FEFF kept as
  // the display's own first character (a text file's reading would drop it,
  // and the diff would show a first line that did not change).
  return {StoredState::Kind::Display,
          textfile::decodeUtf8(std::string_view(*bytes).substr(kHeader.size()))};
}

StoredState::Kind stateKind(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec) && !ec) return StoredState::Kind::Nothing;
  bool more = false;
  const auto head = textfile::readFileHead(path, kHeader.size(), &more);
  if (!head) return StoredState::Kind::Unreadable;
  if (head->empty()) return StoredState::Kind::Nothing;
  return *head == kHeader ? StoredState::Kind::Display : StoredState::Kind::Foreign;
}

bool stateIsReadOnly(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

std::optional<bool> storedDisplayEquals(const std::string& path, TextView display) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::optional<bool> equal;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    equal = true;
    auto at = static_cast<off_t>(kHeader.size());
    std::string expected, stored;
    constexpr size_t kChunk = 1 << 16;
    // Both sides in pieces: the display's UTF-8, the file's bytes after the
    // header; the file must end where the display does.
    for (TextView rest = display; *equal;) {
      if (rest.empty()) {
        char probe;
        *equal = ::pread(fd, &probe, 1, at) == 0;
        break;
      }
      size_t n = std::min(rest.size(), kChunk);
      if (n < rest.size() && rest[n - 1] >= 0xD800 && rest[n - 1] <= 0xDBFF) --n;
      textfile::encodeUtf8Into(rest.substr(0, n), expected);
      rest.remove_prefix(n);
      stored.resize(expected.size());
      size_t got = 0;
      while (got < stored.size()) {
        const ssize_t r = ::pread(fd, stored.data() + got, stored.size() - got, at);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<size_t>(r);
        at += r;
      }
      *equal = got == expected.size() && stored == expected;
    }
  }
  ::close(fd);
  return equal;
}

bool writeState(const std::string& path, TextView display) {
  if (stateIsReadOnly(path)) return false;
  return textfile::writeFileAtomically(path, std::string(kHeader) + textfile::encodeUtf8(display));
}

}  // namespace kelvane::run
