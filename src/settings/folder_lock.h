// A lock on a folder held for as long as this object lives: an exclusive
// flock on a file in it, so that the kernel lets it go when the process ends
// however it ends (no lock is ever left stale by a crash). The file's
// descriptor is not inherited by programs this process starts.
#pragma once

#include <string>

namespace kelvane::settings {

class FolderLock {
 public:
  // Tries to lock path (created, mode 0600, when absent) without waiting.
  explicit FolderLock(const std::string& path);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Whether this object holds the lock; false when another holds it or the
  // file cannot be opened.
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The lock of a login folder: one window at a time uses its browser store.
inline constexpr const char* kLoginLockName = "window.lock";

}  // namespace kelvane::settings
