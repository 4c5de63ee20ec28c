// bodyHtmlWithin: the body markup worked out in a child process that is
// ended when the time is up.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "acquisition/direct/body_html.h"

namespace kelvane::acquisition {
namespace {

bool writeAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::optional<BodyHtml> bodyHtmlWithin(std::string_view bytes, std::string_view contentType,
                                       std::chrono::milliseconds time) {
  const auto deadline = std::chrono::steady_clock::now() + time;
  int fds[2];
  if (::pipe(fds) != 0) return bodyHtmlFromBytes(bytes, contentType);
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return bodyHtmlFromBytes(bytes, contentType);
  }
  if (child == 0) {
    ::close(fds[0]);
    // The process ends once the text is written: the tree is never freed.
    ParseArena arena(ParseArena::regionFor(bytes.size()));
    const BodyHtml body = bodyHtmlFromBytes(bytes, contentType, &arena);
    const auto encoding = static_cast<uint8_t>(body.encoding);
    const uint64_t size = body.html.size() * sizeof(char16_t);
    const bool ok = writeAll(fds[1], &encoding, 1) && writeAll(fds[1], &size, sizeof size) &&
                    writeAll(fds[1], body.html.data(), size);
    ::_exit(ok ? 0 : 1);
  }
  ::close(fds[1]);
  // Header (encoding, size), then the text.
  std::string received;
  char buffer[1 << 16];
  bool complete = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fds[0], POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left.count(), 1'000'000)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      complete = true;
      break;
    }
    received.append(buffer, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  if (!complete) ::kill(child, SIGKILL);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  constexpr size_t kHead = 1 + sizeof(uint64_t);
  if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || received.size() < kHead) {
    return std::nullopt;
  }
  uint64_t size = 0;
  std::memcpy(&size, received.data() + 1, sizeof size);
  if (received.size() != kHead + size || size % sizeof(char16_t) != 0) return std::nullopt;
  BodyHtml body;
  body.encoding = static_cast<textfile::WebEncoding>(received[0]);
  body.html.resize(size / sizeof(char16_t));
  std::memcpy(body.html.data(), received.data() + kHead, size);
  return body;
}

}  // namespace kelvane::acquisition
