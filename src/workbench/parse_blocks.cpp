#include "workbench/parse_blocks.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "textfile/bulk_memory.h"

namespace kelvane::workbench {

ParseBlocks::ParseBlocks(size_t expected)
    : expected_(expected),
      nextRegion_(std::max(kChunk * 4, (expected + kChunk - 1) & ~(kChunk - 1))) {}

ParseBlocks::~ParseBlocks() {
  for (char* region : regions_) std::free(region);
}

void* ParseBlocks::allocate(void* self, size_t size) {
  return static_cast<ParseBlocks*>(self)->take(size);
}

void ParseBlocks::deallocate(void* self, void* block) {
  if (!block) return;
  auto* pool = static_cast<ParseBlocks*>(self);
  const auto at = reinterpret_cast<uintptr_t>(block);
  Kind kind;
  std::memcpy(&kind, reinterpret_cast<const void*>(at & ~(kChunk - 1)), sizeof kind);
  void** list = kind == kSmall8 ? &pool->free8_ : kind == kSmall16 ? &pool->free16_ : nullptr;
  if (!list) return;  // the rest goes back with its chunk
  std::memcpy(block, list, sizeof(void*));
  *list = block;
}

char* ParseBlocks::newChunk(Kind kind, size_t bytes) {
  bytes = (bytes + kChunk - 1) & ~(kChunk - 1);
  if (regionLeft_ < bytes) {
    // A new region, twice the last, at least as large as the chunk: the
    // rest of the last one stays unused (it was never touched).
    size_t size = std::max(nextRegion_, bytes);
    auto* region = static_cast<char*>(std::malloc(size + kChunk));
    if (!region && size > bytes) {
      // Where the system will not set so much aside, a region per chunk.
      size = bytes;
      region = static_cast<char*>(std::malloc(size + kChunk));
    }
    if (!region) return nullptr;
    // Aligned within a plain block, not by the allocator: a block it
    // aligned is smaller when given back than when asked for, so that the
    // system's allocator would ask the system anew for the next one of the
    // same size instead of keeping it for reuse.
    regions_.push_back(region);
    const auto at = reinterpret_cast<uintptr_t>(region);
    region_ = region + ((kChunk - at % kChunk) % kChunk);
    regionLeft_ = size;
    nextRegion_ = size * 2;
  }
  char* chunk = region_;
  region_ += bytes;
  regionLeft_ -= bytes;
  std::memcpy(chunk, &kind, sizeof kind);
  return chunk;
}

void* ParseBlocks::cut(Run& run, Kind kind, size_t size, size_t align) {
  size_t pad = (align - reinterpret_cast<uintptr_t>(run.next) % align) % align;
  if (!run.next || run.left < pad + size) {
    char* chunk = newChunk(kind, kChunk);
    if (!chunk) return nullptr;
    // A large parse fills its chunks: those of a page expected to take
    // several, and any after a first one filled.
    if (run.next || expected_ >= 4 * kChunk) textfile::prefault(chunk, kChunk);
    run = {chunk + kHead, kChunk - kHead};
    pad = 0;
  }
  void* block = run.next + pad;
  run.next += pad + size;
  run.left -= pad + size;
  return block;
}

void* ParseBlocks::take(size_t size) {
  if (size == 0) size = 1;
  if (size <= 8) {
    if (void* block = free8_) {
      std::memcpy(&free8_, block, sizeof(void*));
      return block;
    }
    return cut(small8_, kSmall8, 8, 8);
  }
  if (size <= 16) {
    if (void* block = free16_) {
      std::memcpy(&free16_, block, sizeof(void*));
      return block;
    }
    return cut(small16_, kSmall16, 16, 16);
  }
  if (size > kChunk / 4) {
    // Large blocks (the parser's growing vectors) on chunks of their own.
    char* chunk = newChunk(kLarge, size + kHead);
    return chunk ? chunk + kHead : nullptr;
  }
  // A type's alignment divides its size: a block whose size is not a
  // multiple of 16 holds nothing that needs more than 8.
  size = (size + 7) & ~size_t{7};
  return cut(mixed_, kMixed, size, size % 16 == 0 ? 16 : 8);
}

}  // namespace kelvane::workbench
