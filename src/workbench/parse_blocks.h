// The HTML parser's memory: blocks cut from large chunks and given back all
// at once when the tree is done with. The parser makes some hundreds of
// thousands of small blocks for a page of a megabyte; the system's
// allocator spends more time on them than the parse itself, and rounding
// each up to 16 bytes would take a third more memory than they hold. The
// short-lived small blocks the parser gives back during the parse (its
// tokenizer's buffers) are kept for the next block of their size, so the
// parse touches little more memory than its tree holds.
#pragma once

#include <cstddef>
#include <vector>

namespace kelvane::workbench {

class ParseBlocks {
 public:
  // `expected`: about how many bytes the parse will take; the chunks are
  // cut from one region of that size while it lasts, so that the memory is
  // of a piece when it is given back and what follows can use it.
  explicit ParseBlocks(size_t expected);
  ParseBlocks(const ParseBlocks&) = delete;
  ParseBlocks& operator=(const ParseBlocks&) = delete;
  ~ParseBlocks();

  // The parser's allocator and deallocator; `self` is the pool.
  static void* allocate(void* self, size_t size);
  static void deallocate(void* self, void* block);

 private:
  // Every block lies in a chunk aligned to its size, whose head says which
  // kind of blocks the chunk holds; chunks are cut from larger regions.
  static constexpr size_t kChunk = size_t{1} << 20;
  static constexpr size_t kHead = 16;
  enum Kind : unsigned { kMixed, kSmall8, kSmall16, kLarge };
  struct Run {
    char* next = nullptr;
    size_t left = 0;
  };

  void* take(size_t size);
  char* newChunk(Kind kind, size_t bytes);
  void* cut(Run& run, Kind kind, size_t size, size_t align);

  std::vector<char*> regions_;
  char* region_ = nullptr;  // what is left of the last region
  size_t regionLeft_ = 0;
  size_t expected_;
  size_t nextRegion_;
  Run mixed_, small8_, small16_;
  // Small blocks given back, each holding the next one's address.
  void* free8_ = nullptr;
  void* free16_ = nullptr;
};

}  // namespace kelvane::workbench
