// Memory for one parse in the parsing child process: the parser's tree is
// built in one region that is never freed block by block, since the process
// ends as soon as the body is written out. The region asks for huge pages:
// a 1 MB page makes the parser allocate some 12 MB in 400,000 blocks, and
// taking that memory 2 MB at a time instead of 4 KB spares the kernel
// thousands of page faults, about a third of the parse's time. Blocks are
// packed at the alignment the parser's records need, with nothing between
// them: most are a few bytes long, and any header or padding would cost more
// than the block. The smallest blocks are the only ones the parser gives
// back in numbers (the buffers of a token's text, nine in ten freed): they
// lie apart, at the region's far end, so that one freed is known by where
// it lies and used again.
#pragma once

#include <cstddef>

namespace kelvane::acquisition {

class ParseArena {
 public:
  // Reserves bytes of address space (nothing is taken before it is used).
  explicit ParseArena(size_t bytes);
  ~ParseArena();
  ParseArena(const ParseArena&) = delete;
  ParseArena& operator=(const ParseArena&) = delete;

  // A region for a page of this many bytes: room for what the parser takes
  // for the densest ordinary markup (about 60 bytes a byte of the page),
  // at most 4 GiB. Only what is used is ever taken.
  static size_t regionFor(size_t pageBytes);

  // The alignment of every block.
  static constexpr size_t kAlignment = alignof(void*);

  // A block from the region; null once it is full (or was never reserved),
  // when the caller takes the block from the heap.
  void* take(size_t size);

  // The block lies in the region.
  bool holds(const void* block) const;

  // A block of the region the parser no longer uses.
  void give(void* block);

  // Gives the region back at once, with every block in it, for when the
  // tree is no longer used; later blocks come from the heap.
  void release();

  // Every block asked for came from the region.
  bool holdsEverything() const { return !spilled_; }

 private:
  struct Free {
    Free* next;
  };
  static constexpr size_t kSmall = sizeof(Free);

  char* region_ = nullptr;
  size_t size_ = 0;
  char* low_ = nullptr;   // blocks larger than kSmall lie below
  char* high_ = nullptr;  // blocks of up to kSmall bytes lie from here up
  Free* free_ = nullptr;  // small blocks given back
  bool spilled_ = false;
};

}  // namespace kelvane::acquisition
