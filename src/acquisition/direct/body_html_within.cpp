// bodyHtmlWithin: the body markup worked out in a child process that is
// ended when the time is up.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "acquisition/direct/body_html.h"
#include "textfile/file_io.h"

namespace kelvane::acquisition {
namespace {

using textfile::writeAll;

// More than the child can write for the largest page fetched.
constexpr uint64_t kMostTextBytes = uint64_t{4} << 30;

// The bytes of a plain value, for the pipe.
template <typename T>
std::string_view bytesOf(const T& value) {
  return {reinterpret_cast<const char*>(&value), sizeof value};
}

bool writeText(int fd, const std::string& text) {
  const uint64_t size = text.size();
  return writeAll(fd, bytesOf(size)) && writeAll(fd, text);
}

// What the page says about leaving it, after its body markup.
bool writeLinks(int fd, const PageLinks& links) {
  const uint8_t refresh = links.refresh.has_value();
  const double delay = refresh ? links.refresh->delaySeconds : 0;
  return writeAll(fd, bytesOf(refresh)) && writeAll(fd, bytesOf(delay)) &&
         writeText(fd, refresh ? links.refresh->url : std::string()) &&
         writeText(fd, links.baseHref);
}

}  // namespace

std::optional<BodyHtml> bodyHtmlWithin(std::string_view bytes, std::string_view contentType,
                                       std::chrono::milliseconds time,
                                       const std::function<bool()>& stopRequested) {
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
    const uint8_t head[2] = {static_cast<uint8_t>(body.encoding), body.tooLarge};
    const uint64_t size = body.html.size() * sizeof(char16_t);
    const bool ok = writeAll(fds[1], bytesOf(head)) && writeAll(fds[1], bytesOf(size)) &&
                    writeAll(fds[1], {reinterpret_cast<const char*>(body.html.data()), size}) &&
                    writeLinks(fds[1], body.links);
    ::_exit(ok ? 0 : 1);
  }
  ::close(fds[1]);
  // Reads up to size bytes, waiting at most until the deadline: how many
  // were read, 0 at the end of the pipe, -1 when the time ran out.
  const auto readSome = [&](void* into, size_t size) -> ssize_t {
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || (stopRequested && stopRequested())) return -1;
      pollfd p{fds[0], POLLIN, 0};
      const int ready = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left.count(), 100)));
      if ((ready < 0 && errno == EINTR) || ready == 0) continue;
      if (ready < 0) return -1;
      const ssize_t n = ::read(fds[0], into, size);
      if (n < 0 && errno == EINTR) continue;
      return n < 0 ? -1 : n;
    }
  };
  const auto readFully = [&](void* into, size_t size) {
    for (char* at = static_cast<char*>(into); size > 0;) {
      const ssize_t n = readSome(at, size);
      if (n <= 0) return false;
      at += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  };
  // The encoding, whether the page was too large to read and the text's
  // size, then the text, read straight into its place; then the end of the
  // pipe.
  BodyHtml body;
  uint8_t head[2] = {};
  uint64_t size = 0;
  bool complete = readFully(head, sizeof head) && readFully(&size, sizeof size) &&
                  size % sizeof(char16_t) == 0 && size <= kMostTextBytes;
  if (complete) {
    try {
      body.html.resize(size / sizeof(char16_t));
    } catch (const std::bad_alloc&) {
      complete = false;
    }
  }
  const auto readText = [&](std::string* text) {
    uint64_t length = 0;
    // An address from the page is no longer than the page as UTF-8.
    if (!readFully(&length, sizeof length) || length > 3 * uint64_t{bytes.size()} + 16) {
      return false;
    }
    text->resize(length);
    return readFully(text->data(), length);
  };
  uint8_t refresh = 0;
  Refresh said;
  char more = 0;
  complete = complete && readFully(body.html.data(), size) && readFully(&refresh, 1) &&
             readFully(&said.delaySeconds, sizeof said.delaySeconds) && readText(&said.url) &&
             readText(&body.links.baseHref) && readSome(&more, 1) == 0;
  if (complete && refresh) body.links.refresh = std::move(said);
  ::close(fds[0]);
  if (!complete) ::kill(child, SIGKILL);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  body.encoding = static_cast<textfile::WebEncoding>(head[0]);
  body.tooLarge = head[1] != 0;
  return body;
}

}  // namespace kelvane::acquisition
