// Memory for one parse in the parsing child process: the parser's tree is
// built in one region that is never freed block by block, since the process
// ends as soon as the body is written out. The region asks for huge pages:
// a 1 MB page makes the parser allocate some 12 MB in 400,000 blocks, and
// taking that memory 2 MB at a time instead of 4 KB spares the kernel
// thousands of page faults, about a third of the parse's time.
#pragma once

#include <cstddef>
#include <memory_resource>
#include <optional>

namespace kelvane::acquisition {

class ParseArena {
 public:
  // Reserves bytes of address space (nothing is taken before it is used).
  // Blocks that no longer fit, and every block when the reservation failed,
  // come from the heap.
  explicit ParseArena(size_t bytes);
  ~ParseArena();
  ParseArena(const ParseArena&) = delete;
  ParseArena& operator=(const ParseArena&) = delete;

  // A region for a page of this many bytes: room for what the parser
  // allocates over the whole parse, at most 1 GiB.
  static size_t regionFor(size_t pageBytes);

  // The parser's allocator and deallocator; the arena is their user data.
  static void* allocate(void* arena, size_t size);
  static void deallocate(void* arena, void* block);

  // Every block came from the region: the tree can be left as it is, for
  // the region goes as a whole.
  bool holdsEverything() const { return !spilled_; }

 private:
  bool holds(const void* block) const;

  char* region_ = nullptr;
  size_t size_ = 0;
  std::optional<std::pmr::monotonic_buffer_resource> pool_;
  bool spilled_ = false;
};

}  // namespace kelvane::acquisition
