#include "run/record_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>

#include "textfile/file_io.h"
#include "textfile/lock_wait.h"
#include "textfile/text_codec.h"

namespace kelvane::run {

std::string isoLocalTime(std::chrono::system_clock::time_point t) {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(t.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
  std::tm local{};
  ::localtime_r(&seconds, &local);
  char text[64];
  const size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  const long offset = local.tm_gmtoff / 60;
  const long absOffset = offset < 0 ? -offset : offset;
  std::snprintf(text + n, sizeof text - n, ".%03d%c%02ld:%02ld",
                static_cast<int>(((ms % 1000) + 1000) % 1000), offset < 0 ? '-' : '+',
                absOffset / 60, absOffset % 60);
  return text;
}

std::string recordLine(const RunReport& run) {
  nlohmann::ordered_json j;
  j["start"] = isoLocalTime(run.start);
  j["duration_ms"] = run.durationMs;
  j["outcome"] = run.loadFailed                              ? "failed load"
                 : run.outcome == engine::RunOutcome::Normal ? "normal"
                                                             : "stopped";
  if (!run.message.empty()) j["message"] = run.message;
  j["loads"] = nlohmann::ordered_json::array();
  for (const acquisition::LoadRecord& load : run.loads) {
    nlohmann::ordered_json l;
    l["url"] = load.url;
    if (!load.finalUrl.empty()) l["final_url"] = load.finalUrl;
    l["fetch"] = acquisition::fetchModeName(load.fetch);
    if (!load.fetchWhy.empty()) l["fetch_why"] = load.fetchWhy;
    // An HTTP error status is told as the status and as the error.
    if (load.status) l["status"] = *load.status;
    if (!load.error.empty()) l["error"] = load.error;
    if (load.loginNeeded) l["login_needed"] = true;
    l["load_ms"] = load.loadMs;
    if (load.settleMs) l["settle_ms"] = *load.settleMs;
    if (load.bytes) l["bytes"] = *load.bytes;
    if (!load.charset.empty()) l["charset"] = load.charset;
    j["loads"].push_back(std::move(l));
  }
  j["lines_run"] = run.linesRun;
  j["misses"] = nlohmann::ordered_json::array();
  if (run.misses) {
    for (const auto& [line, miss] : *run.misses) {
      j["misses"].push_back({{"line", line},
                             {"command", textfile::toUtf8(miss.command)},
                             {"marker", textfile::toUtf8(miss.marker)}});
    }
  }
  j["display_chars"] = run.displayChars;
  if (run.changed) j["changed"] = *run.changed;
  // Text that is not valid UTF-8 cannot reach here (every text went through
  // the encoder), but a replacement beats an exception.
  return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

bool writeToPipePatiently(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    pollfd room{fd, POLLOUT, 0};
    if (::poll(&room, 1, -1) < 0 && errno != EINTR) return false;
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool appendRecordLine(const std::string& path, const std::string& line, std::string* reason,
                      const PipeWriter& writePipe) {
  if (const auto link = textfile::plantedLink(path)) {
    *reason = textfile::plantedLinkReason(*link);
    return false;
  }
  // Opened without waiting: a FIFO with no reader fails at once.
  constexpr int kFlags = O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK;
  int fd = ::open(path.c_str(), O_RDWR | kFlags, 0666);
  // Without read access a line cut short by a killed writer cannot be seen.
  if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | kFlags, 0666);
  if (fd < 0) {
    *reason = std::strerror(errno);
    return false;
  }
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!regular && (::fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDWR) {
    // Opened for reading too, a FIFO would have a reader in this process.
    ::close(fd);
    fd = ::open(path.c_str(), O_WRONLY | kFlags, 0666);
    if (fd < 0) {
      *reason = std::strerror(errno);
      return false;
    }
  }
  bool ok = true;
  int error = 0;
  if (regular) {
    // Other processes may append to the same record: a line that could not
    // be written whole is taken back only while nothing follows it.
    ok = textfile::appendLocked(
        fd,
        [&](uint64_t size) {
          return line.empty() ? std::string() : textfile::finishTornLine(fd, size, "\n") + line;
        },
        &error);
  } else if (!line.empty()) {
    // A pipe takes the line as its reader reads. A line longer than the
    // pipe's atomic unit goes in several writes: the lock (which every
    // writer of records takes) keeps other lines out between them.
    const textfile::LockWait locked = textfile::lockExclusive(fd);
    ok = locked == textfile::LockWait::Taken && writePipe(fd, line);
    error = locked == textfile::LockWait::Taken ? errno : textfile::lockWaitErrno(locked);
  }
  if (!ok) *reason = error != 0 ? textfile::lockWaitReason(error) : "the reader stopped reading";
  if (::close(fd) != 0 && ok) {
    ok = false;
    *reason = std::strerror(errno);
  }
  return ok;
}

}  // namespace kelvane::run
