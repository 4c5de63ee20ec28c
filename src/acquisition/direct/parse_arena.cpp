#include "acquisition/direct/parse_arena.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <new>

namespace kelvane::acquisition {

ParseArena::ParseArena(size_t bytes) {
  if (bytes == 0) return;
  void* region = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (region == MAP_FAILED) return;         // a limit on address space: the heap serves
  ::madvise(region, bytes, MADV_HUGEPAGE);  // a kernel without huge pages ignores it
  region_ = static_cast<char*>(region);
  size_ = bytes;
  pool_.emplace(region_, size_, std::pmr::null_memory_resource());
}

ParseArena::~ParseArena() {
  pool_.reset();
  if (region_) ::munmap(region_, size_);
}

size_t ParseArena::regionFor(size_t pageBytes) {
  constexpr size_t kMost = size_t(1) << 30;
  constexpr size_t kBase = size_t(16) << 20;
  return pageBytes > (kMost - kBase) / 32 ? kMost : kBase + 32 * pageBytes;
}

bool ParseArena::holds(const void* block) const {
  const char* p = static_cast<const char*>(block);
  return region_ && p >= region_ && p < region_ + size_;
}

void* ParseArena::allocate(void* arena, size_t size) {
  auto* self = static_cast<ParseArena*>(arena);
  if (self->pool_ && !self->spilled_) {
    try {
      return self->pool_->allocate(std::max<size_t>(size, 1), alignof(std::max_align_t));
    } catch (const std::bad_alloc&) {
      self->spilled_ = true;  // the region is full: the heap from now on
    }
  }
  self->spilled_ = true;
  return std::malloc(size);
}

void ParseArena::deallocate(void* arena, void* block) {
  if (!static_cast<ParseArena*>(arena)->holds(block)) std::free(block);
}

}  // namespace kelvane::acquisition
