#include "acquisition/direct/bounded_parse.h"

#include <algorithm>
#include <cstdlib>

namespace kelvane::acquisition {

// Each block the parser takes from the heap starts with its links in the
// list of heap blocks held, so that a parse given up part way can be given
// back whole. Blocks in the arena's region need no links: the region goes
// as a whole.
struct alignas(std::max_align_t) BoundedParse::Block {
  Block* prev;
  Block* next;
};

BoundedParse::BoundedParse(std::string_view source, size_t allowance, ParseArena* arena)
    : arena_(arena), left_(allowance) {
  options_.allocator = &allocate;
  options_.deallocator = &deallocate;
  options_.userdata = this;
  options_.max_errors = 0;  // the errors are of no use here, and a hostile page has many
  output_ = run(source);
}

BoundedParse::~BoundedParse() {
  while (blocks_) {
    Block* next = blocks_->next;
    std::free(blocks_);
    blocks_ = next;
  }
}

// Nothing with a destructor lives between here and the parser's call of
// allocate, so leaving the parser by longjmp skips no clean-up; the blocks
// it held are given back by the destructor.
GumboOutput* BoundedParse::run(std::string_view source) {
  if (setjmp(overrun_) != 0) return nullptr;
  return gumbo_parse_with_options(&options_, source.data(), source.size());
}

void* BoundedParse::allocate(void* self, size_t size) {
  auto* parse = static_cast<BoundedParse*>(self);
  // What a block costs: in the region its bytes rounded up to the
  // alignment, on the heap its links too.
  const size_t packed = (size + ParseArena::kAlignment - 1) & ~(ParseArena::kAlignment - 1);
  if (packed < size || packed >= parse->left_) std::longjmp(parse->overrun_, 1);
  if (parse->arena_) {
    if (void* block = parse->arena_->take(size)) {
      parse->left_ -= std::max(packed, ParseArena::kAlignment);
      return block;
    }
  }
  if (parse->left_ - size < sizeof(Block)) std::longjmp(parse->overrun_, 1);
  const size_t taken = sizeof(Block) + size;
  void* memory = std::malloc(taken);
  if (!memory) std::longjmp(parse->overrun_, 1);  // out of memory: given up, not a crash
  parse->left_ -= taken;
  auto* block = static_cast<Block*>(memory);
  block->prev = nullptr;
  block->next = parse->blocks_;
  if (parse->blocks_) parse->blocks_->prev = block;
  parse->blocks_ = block;
  return block + 1;
}

void BoundedParse::deallocate(void* self, void* pointer) {
  if (!pointer) return;
  auto* parse = static_cast<BoundedParse*>(self);
  if (parse->arena_ && parse->arena_->holds(pointer)) {
    parse->arena_->give(pointer);
    return;
  }
  Block* block = static_cast<Block*>(pointer) - 1;
  if (block->prev) {
    block->prev->next = block->next;
  } else {
    parse->blocks_ = block->next;
  }
  if (block->next) block->next->prev = block->prev;
  std::free(block);
}

}  // namespace kelvane::acquisition
