#include "textfile/bulk_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace kelvane::textfile {
namespace {

uintptr_t roundUp(uintptr_t at, uintptr_t unit) {
  return (at + unit - 1) & ~(unit - 1);
}
uintptr_t roundDown(uintptr_t at, uintptr_t unit) {
  return at & ~(unit - 1);
}

uintptr_t pageSize() {
  static const auto size = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

}  // namespace

void preferLargePages(void* data, size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
  if (bytes < 2 * kLargePage) return;
  const auto at = reinterpret_cast<uintptr_t>(data);
  const uintptr_t from = roundUp(at, kLargePage), to = roundDown(at + bytes, kLargePage);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

void prefault(void* data, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  const auto at = reinterpret_cast<uintptr_t>(data);
  const uintptr_t from = roundUp(at, pageSize()), to = roundDown(at + bytes, pageSize());
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#else
  (void)data;
  (void)bytes;
#endif
}

const void* releasePages(const void* begin, const void* end) {
  const uintptr_t from = roundUp(reinterpret_cast<uintptr_t>(begin), pageSize());
  const uintptr_t to = roundDown(reinterpret_cast<uintptr_t>(end), pageSize());
  if (to <= from) return reinterpret_cast<const void*>(from);
  // Private anonymous memory given back reads as zeros when touched again.
  if (::madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED) != 0) {
    return reinterpret_cast<const void*>(from);
  }
  return reinterpret_cast<const void*>(to);
}

}  // namespace kelvane::textfile
