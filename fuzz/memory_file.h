// A file that lives in memory, reached through a path like any other: the
// readers and writers under test open it by name, and nothing touches the
// disk. One per process, emptied for every input.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <string_view>

namespace kelvane::fuzz {

class MemoryFile {
 public:
  MemoryFile() : fd_(::memfd_create("kelvane-fuzz", 0)) {
    if (fd_ < 0) __builtin_trap();
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  const std::string& path() const { return path_; }

  void replace(std::string_view bytes) {
    if (::ftruncate(fd_, 0) != 0) __builtin_trap();
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n =
          ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
      if (n <= 0) __builtin_trap();
      done += static_cast<size_t>(n);
    }
  }

  std::string contents() const {
    std::string out;
    char chunk[1 << 14];
    for (off_t at = 0;;) {
      const ssize_t n = ::pread(fd_, chunk, sizeof chunk, at);
      if (n < 0) __builtin_trap();
      if (n == 0) return out;
      out.append(chunk, static_cast<size_t>(n));
      at += n;
    }
  }

 private:
  int fd_;
  std::string path_;
};

}  // namespace kelvane::fuzz
