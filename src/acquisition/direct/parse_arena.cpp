#include "acquisition/direct/parse_arena.h"

#include <sys/mman.h>

#include <algorithm>
#include <new>
#include <utility>

namespace kelvane::acquisition {

ParseArena::ParseArena(size_t bytes) {
  if (bytes == 0) return;
  void* region = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (region == MAP_FAILED) return;         // a limit on address space: the heap serves
  ::madvise(region, bytes, MADV_HUGEPAGE);  // a kernel without huge pages ignores it
  region_ = static_cast<char*>(region);
  size_ = bytes & ~(kAlignment - 1);
  low_ = region_;
  high_ = region_ + size_;
}

ParseArena::~ParseArena() {
  release();
}

void ParseArena::release() {
  if (region_) ::munmap(region_, size_);
  region_ = low_ = high_ = nullptr;
  size_ = 0;
  free_ = nullptr;
}

size_t ParseArena::regionFor(size_t pageBytes) {
  constexpr size_t kMost = size_t{4} << 30;
  constexpr size_t kBase = size_t{16} << 20;
  constexpr size_t kPerByte = 64;
  return pageBytes > (kMost - kBase) / kPerByte ? kMost : kBase + kPerByte * pageBytes;
}

bool ParseArena::holds(const void* block) const {
  const char* p = static_cast<const char*>(block);
  return region_ && p >= region_ && p < region_ + size_;
}

void* ParseArena::take(size_t size) {
  static_assert(kSmall == kAlignment);
  if (size <= kSmall && free_) {
    return std::exchange(free_, free_->next);
  }
  const size_t rounded = (std::max<size_t>(size, 1) + kAlignment - 1) & ~(kAlignment - 1);
  if (rounded < size || rounded > static_cast<size_t>(high_ - low_)) {
    spilled_ = true;
    return nullptr;
  }
  if (size <= kSmall) {
    high_ -= kSmall;
    return high_;
  }
  return std::exchange(low_, low_ + rounded);
}

void ParseArena::give(void* block) {
  if (static_cast<char*>(block) < high_ || !holds(block)) return;
  free_ = new (block) Free{free_};
}

}  // namespace kelvane::acquisition
