#include "textfile/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <new>
#include <random>

#include "textfile/bulk_memory.h"
#include "textfile/lock_wait.h"

namespace kelvane::textfile {
namespace {

namespace fs = std::filesystem;

// Temporaries are named "." + the file's name + this + six letters or digits.
constexpr std::string_view kTempInfix = ".tmp-";
constexpr size_t kTempLetters = 6;
// Files read whole are refused beyond this: scripts and pages are far
// smaller, and reading such a file would exhaust memory.
constexpr size_t kLargestWholeFile = size_t{1} << 30;
// A temporary this old belongs to a save that died: saves take milliseconds.
constexpr time_t kStaleSeconds = 10 * 60;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now and tells whether the close went well (a late write error
  // shows here on some file systems).
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool isTempLetter(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A temporary of ours for the file called base: ".base.tmp-XXXXXX", or
// "base.tmp-<digits>" as older versions named them.
bool isOurTemporary(std::string_view name, std::string_view base) {
  const bool hidden = name.starts_with('.');
  if (hidden) name.remove_prefix(1);
  if (!name.starts_with(base)) return false;
  name.remove_prefix(base.size());
  if (!name.starts_with(kTempInfix)) return false;
  name.remove_prefix(kTempInfix.size());
  if (name.empty() || (hidden && name.size() != kTempLetters)) return false;
  for (char c : name) {
    if (hidden ? !isTempLetter(c) : !(c >= '0' && c <= '9')) return false;
  }
  return true;
}

// Removes our old temporaries from the folder: only regular files of this
// user, never what a link points to.
void removeStaleTemporaries(const std::string& folder, std::string_view base) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const int dirFd = ::dirfd(dir);
  const time_t now = std::time(nullptr);
  while (const dirent* entry = ::readdir(dir)) {
    if (!isOurTemporary(entry->d_name, base)) continue;
    struct stat st {};
    if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
    if (now - st.st_mtime < kStaleSeconds) continue;
    ::unlinkat(dirFd, entry->d_name, 0);
  }
  ::closedir(dir);
}

// Creates a new temporary beside the target: a unique, unpredictable name,
// never an existing file and never through a link.
int createTemporary(const std::string& folder, std::string_view base, mode_t mode,
                    std::string* name) {
  static constexpr char kLetters[] =
      "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = folder + "/." + std::string(base) + std::string(kTempInfix);
    for (size_t i = 0; i < kTempLetters; ++i) candidate += kLetters[random() % 62];
    const int fd =
        ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0) {
      *name = std::move(candidate);
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

// Makes a rename in the folder last. A file system that cannot sync folders
// says so with EINVAL; that is no failure of the save.
bool syncFolder(const std::string& folder) {
  FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return false;
  return ::fsync(dir.get()) == 0 || errno == EINVAL;
}

// At most maxBytes of a regular file's head; *more tells whether the file
// goes on. Without `more`, a longer file is refused instead.
std::optional<std::string> readRegularFile(const std::string& path, size_t maxBytes, bool* more) {
  if (more) *more = false;
  if (path.empty()) return std::nullopt;
  // Without O_NONBLOCK, opening a FIFO waits for a writer, possibly forever.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  const auto size = static_cast<uint64_t>(st.st_size);
  if (!more && size > maxBytes) return std::nullopt;
  try {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(std::min<uint64_t>(size, maxBytes)));
    preferLargePages(bytes.data(), bytes.capacity());
    prefault(bytes.data(), bytes.capacity());
    char chunk[1 << 16];
    while (bytes.size() < maxBytes) {
      const size_t want = std::min(sizeof chunk, maxBytes - bytes.size());
      const ssize_t n = ::read(fd.get(), chunk, want);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return std::nullopt;
      if (n == 0) return bytes;
      bytes.append(chunk, static_cast<size_t>(n));
    }
    char probe;
    ssize_t n;
    while ((n = ::read(fd.get(), &probe, 1)) < 0 && errno == EINTR) {
    }
    if (n > 0 && !more) return std::nullopt;  // the file grew while it was read
    if (more) *more = n > 0;
    return bytes;
  } catch (const std::bad_alloc&) {
    return std::nullopt;  // more than this machine can hold
  }
}

}  // namespace

std::optional<std::string> readFileHead(const std::string& path, size_t maxBytes, bool* more) {
  return readRegularFile(path, maxBytes, more);
}

std::optional<std::string> readFileBytes(const std::string& path) {
  return readRegularFile(path, kLargestWholeFile, nullptr);
}

std::optional<std::string> resolveLinks(const std::string& path) {
  if (plantedLink(path)) {
    errno = EACCES;
    return std::nullopt;
  }
  fs::path current = path;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(current, error);
    if (!fs::is_symlink(status)) return current.string();
    const fs::path target = fs::read_symlink(current, error);
    if (error) return std::nullopt;
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  errno = ELOOP;
  return std::nullopt;  // a loop of links
}

bool writeAll(int fd, std::string_view bytes, size_t* written) {
  size_t done = 0;
  bool ok = true;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (written) *written = done;
  return ok;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes) {
  if (path.empty()) return false;
  const auto target = resolveLinks(path);
  if (!target) return false;
  const fs::path targetPath(*target);
  const std::string base = targetPath.filename().string();
  const std::string folder =
      targetPath.has_parent_path() ? targetPath.parent_path().string() : std::string(".");
  if (base.empty() || base == "." || base == "..") return false;

  struct stat old {};
  const bool exists = ::stat(target->c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return false;
  if (exists && !S_ISREG(old.st_mode)) return false;

  removeStaleTemporaries(folder, base);
  std::string temp;
  // A new file gets the usual mode through the umask; a replaced one its own
  // mode, set before any byte is written.
  FileDescriptor fd(createTemporary(folder, base, exists ? 0600 : 0666, &temp));
  if (fd.get() < 0) return false;
  bool ok = true;
  if (exists) {
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
      // Only root may give the file away; anyone else keeps their own.
      (void)!::fchown(fd.get(), old.st_uid, old.st_gid);
    }
    ok = ::fchmod(fd.get(), old.st_mode & 07777) == 0;
  }
  ok = ok && writeAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
  ok = fd.close() && ok;
  ok = ok && std::rename(temp.c_str(), target->c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  return syncFolder(folder);
}

std::string readTail(int fd, uint64_t size, size_t n) {
  const size_t want = static_cast<size_t>(std::min<uint64_t>(size, n));
  std::string bytes(want, '\0');
  size_t done = 0;
  while (done < want) {
    const ssize_t got =
        ::pread(fd, bytes.data() + done, want - done, static_cast<off_t>(size - want + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  bytes.resize(done);
  return bytes;
}

std::string finishTornLine(int fd, uint64_t size, std::string_view lineEnd) {
  if (size == 0) return {};
  const std::string last = readTail(fd, size, 1);
  if (last.empty() || last == "\n") return {};
  if (last == "\r" && lineEnd.starts_with('\r')) return std::string(lineEnd.substr(1));
  return std::string(lineEnd);
}

bool appendLocked(int fd, const std::function<std::string(uint64_t size)>& compose, int* error,
                  uint64_t* sizeBefore) {
  *error = 0;
  const LockWait locked = lockExclusive(fd);
  if (locked != LockWait::Taken) {
    *error = lockWaitErrno(locked);
    return false;
  }
  struct stat before {};
  if (::fstat(fd, &before) != 0) {
    *error = errno;
    return false;
  }
  const auto size = static_cast<uint64_t>(before.st_size);
  if (sizeBefore) *sizeBefore = size;
  const std::string bytes = compose(size);
  size_t done = 0;
  if (!writeAll(fd, bytes, &done)) *error = errno;
  if (done < bytes.size() && done > 0) {
    // Take back the part only while the file ends with it: a writer that
    // does not take the lock may have appended since.
    struct stat after {};
    if (::fstat(fd, &after) == 0 && static_cast<uint64_t>(after.st_size) == size + done) {
      (void)!::ftruncate(fd, static_cast<off_t>(size));
    }
  }
  return done == bytes.size();
}

}  // namespace kelvane::textfile
