#include "acquisition/direct/cookie_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "acquisition/direct/http_fetch.h"
#include "textfile/file_io.h"
#include "textfile/lock_wait.h"

namespace kelvane::acquisition {
namespace {

// A cookie file larger than this is no cookie file.
constexpr size_t kMaxCookieFileBytes = size_t{16} << 20;

constexpr std::string_view kHeader =
    "# Netscape HTTP Cookie File\n"
    "# Kept by Kelvane through libcurl. It holds logins: keep it to yourself.\n\n";

std::vector<std::string> sorted(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  return lines;
}

bool holds(const std::vector<std::string>& sortedLines, const std::string& line) {
  return std::binary_search(sortedLines.begin(), sortedLines.end(), line);
}

// The cookies of a file's bytes as libcurl reads them (expired ones left
// out), in its list form.
std::vector<std::string> cookiesOf(std::string_view bytes) {
  HttpFetcher engine;
  while (!bytes.empty()) {
    const size_t end = std::min(bytes.find('\n'), bytes.size());
    std::string_view line = bytes.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    engine.addCookie(line);
    bytes.remove_prefix(std::min(end + 1, bytes.size()));
  }
  return sorted(engine.cookieLines());
}

// The file's cookies with this side's changes since it was seen (added:
// in ours but not seen; removed: seen but no longer ours) made to them.
// libcurl replaces a cookie of the same name, domain and path.
std::vector<std::string> merged(const std::vector<std::string>& file,
                                const std::vector<std::string>& seen,
                                const std::vector<std::string>& ours) {
  HttpFetcher engine;
  for (const std::string& line : file) {
    if (!holds(seen, line) || holds(ours, line)) engine.addCookie(line);
  }
  for (const std::string& line : ours) {
    if (!holds(seen, line)) engine.addCookie(line);
  }
  return sorted(engine.cookieLines());
}

std::string reasonOf(const std::string& path, const std::string& what) {
  return "the cookie file " + path + " " + what;
}

// The whole file through fd, from its start.
std::optional<std::string> readAll(int fd, std::string* error) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    *error = std::strerror(errno);
    return std::nullopt;
  }
  if (static_cast<uint64_t>(st.st_size) > kMaxCookieFileBytes) {
    *error = "is larger than " + std::to_string(kMaxCookieFileBytes >> 20) + " MiB";
    return std::nullopt;
  }
  std::string bytes(static_cast<size_t>(st.st_size), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got =
        ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = std::strerror(errno);
      return std::nullopt;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace

std::optional<CookieFields> cookieFields(std::string_view line) {
  CookieFields c;
  constexpr std::string_view kHttpOnly = "#HttpOnly_";
  if (line.starts_with(kHttpOnly)) {
    c.httpOnly = true;
    line.remove_prefix(kHttpOnly.size());
  }
  std::string_view field[7];
  for (int i = 0; i < 7; ++i) {
    const size_t tab = i < 6 ? line.find('\t') : line.size();
    if (tab == std::string_view::npos) return std::nullopt;
    field[i] = line.substr(0, tab);
    line.remove_prefix(std::min(tab + 1, line.size()));
  }
  if (field[0].starts_with('.')) field[0].remove_prefix(1);
  if (field[0].empty() || field[0].starts_with('#') || field[5].empty()) return std::nullopt;
  c.domain = field[0];
  c.subdomains = field[1] == "TRUE";
  c.path = field[2];
  c.secure = field[3] == "TRUE";
  std::from_chars(field[4].data(), field[4].data() + field[4].size(), c.expires);
  c.name = field[5];
  c.value = field[6];
  return c;
}

std::string cookieNames(const std::vector<std::string>& lines) {
  std::string names;
  for (const std::string& line : lines) {
    const std::optional<CookieFields> c = cookieFields(line);
    if (!c) continue;
    if (!names.empty()) names += ", ";
    names += c->name + " (" + c->domain + ")";
  }
  return names.empty() ? "none" : names;
}

int CookieFile::openLocked(bool create, std::string* error) {
  if (const std::optional<std::string> link = textfile::plantedLink(path_)) {
    *error = reasonOf(path_, "cannot be used: " + textfile::plantedLinkReason(*link));
    return -1;
  }
  const std::optional<std::string> target = textfile::resolveLinks(path_);
  if (!target) {
    *error = reasonOf(path_, "cannot be used: " + std::string(std::strerror(errno)));
    return -1;
  }
  target_ = *target;
  // A writer that replaced the file while this one waited for the lock
  // leaves the lock on the old file: the new one is opened and locked.
  for (int attempt = 0; attempt < 20; ++attempt) {
    const int flags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    const int fd = ::open(target_.c_str(), flags | (create ? O_CREAT : 0), 0600);
    if (fd < 0) {
      *error = errno == ENOENT
                   ? std::string()
                   : reasonOf(path_, "cannot be opened: " + std::string(std::strerror(errno)));
      return -1;
    }
    struct stat opened {
    }, named{};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
      ::close(fd);
      *error = reasonOf(path_, "is not a regular file");
      return -1;
    }
    const textfile::LockWait locked = textfile::lockExclusive(fd);
    if (locked != textfile::LockWait::Taken) {
      ::close(fd);
      *error = reasonOf(path_, "is locked by another program: " +
                                   textfile::lockWaitReason(textfile::lockWaitErrno(locked)));
      return -1;
    }
    if (::stat(target_.c_str(), &named) == 0 && named.st_ino == opened.st_ino &&
        named.st_dev == opened.st_dev) {
      // Readable by its owner only, whoever made it otherwise.
      if ((opened.st_mode & 077) != 0) (void)::fchmod(fd, opened.st_mode & 0700);
      return fd;
    }
    ::close(fd);
  }
  *error = reasonOf(path_, "keeps being replaced by another program");
  return -1;
}

std::string CookieFile::beforeFetch(HttpFetcher& engine) {
  if (!engine.ready()) return {};  // the fetch says why it cannot start
  struct stat st {};
  Stamp now;
  if (::stat(path_.c_str(), &st) == 0) {
    now = {st.st_dev, st.st_ino, st.st_size,
           int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec};
  }
  if (seenOnce_ && now == stamp_) return {};
  std::string error;
  std::vector<std::string> file;
  const int fd = openLocked(false, &error);
  if (fd < 0 && !error.empty()) return error;
  if (fd >= 0) {
    const std::optional<std::string> bytes = readAll(fd, &error);
    ::close(fd);
    if (!bytes) return reasonOf(path_, "cannot be read: " + error);
    file = cookiesOf(*bytes);
  }
  const std::vector<std::string> ours = sorted(engine.cookieLines());
  engine.replaceCookies(seenOnce_ ? merged(file, seen_, ours) : merged(file, {}, ours));
  if (trace_) trace_("cookies from " + path_ + ": " + cookieNames(file));
  seen_ = std::move(file);
  stamp_ = now;
  seenOnce_ = true;
  return {};
}

std::string CookieFile::afterFetch(HttpFetcher& engine) {
  if (!engine.ready()) return {};
  const std::vector<std::string> ours = sorted(engine.cookieLines());
  if (seenOnce_ && ours == seen_) return {};
  std::string error;
  const int fd = openLocked(true, &error);
  if (fd < 0) return error;
  const std::optional<std::string> bytes = readAll(fd, &error);
  if (!bytes) {
    ::close(fd);
    return reasonOf(path_, "cannot be read: " + error);
  }
  const std::vector<std::string> result = merged(cookiesOf(*bytes), seen_, ours);
  std::vector<std::string> changed;
  std::set_difference(result.begin(), result.end(), seen_.begin(), seen_.end(),
                      std::back_inserter(changed));
  error = write(result);
  ::close(fd);
  if (!error.empty()) return error;
  engine.replaceCookies(result);
  if (trace_) trace_("cookies kept in " + path_ + ": " + cookieNames(changed));
  return {};
}

std::string CookieFile::clear() {
  std::string error;
  const int fd = openLocked(false, &error);
  if (fd < 0) return error;
  error = write({});
  ::close(fd);
  return error;
}

std::string CookieFile::write(const std::vector<std::string>& lines) {
  std::string bytes(kHeader);
  for (const std::string& line : lines) bytes += line + "\n";
  // Replaced whole, so that a kill mid-write leaves the old cookies; the
  // new file takes the locked one's mode (0600).
  if (!textfile::writeFileAtomically(target_, bytes)) {
    return reasonOf(path_, "cannot be written: " + std::string(std::strerror(errno)));
  }
  struct stat st {};
  if (::stat(path_.c_str(), &st) == 0) {
    stamp_ = {st.st_dev, st.st_ino, st.st_size,
              int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec};
  }
  seen_ = lines;
  seenOnce_ = true;
  return {};
}

}  // namespace kelvane::acquisition
