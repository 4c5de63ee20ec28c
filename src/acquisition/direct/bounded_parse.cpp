#include "acquisition/direct/bounded_parse.h"

#include <cstdlib>

namespace kelvane::acquisition {

// Each block the parser takes starts with its links in the list of blocks
// held, so that a parse given up part way can be given back whole.
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
  // A tree that lies whole in the arena goes with the arena's region.
  if (arena_ && arena_->holdsEverything()) return;
  while (blocks_) {
    Block* next = blocks_->next;
    release(blocks_);
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

void BoundedParse::release(Block* block) const {
  if (arena_) {
    ParseArena::deallocate(arena_, block);
  } else {
    std::free(block);
  }
}

void* BoundedParse::allocate(void* self, size_t size) {
  auto* parse = static_cast<BoundedParse*>(self);
  if (size >= parse->left_ || parse->left_ - size < sizeof(Block)) {
    std::longjmp(parse->overrun_, 1);
  }
  const size_t taken = sizeof(Block) + size;
  void* memory = parse->arena_ ? ParseArena::allocate(parse->arena_, taken) : std::malloc(taken);
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
  Block* block = static_cast<Block*>(pointer) - 1;
  if (block->prev) {
    block->prev->next = block->next;
  } else {
    parse->blocks_ = block->next;
  }
  if (block->next) block->next->prev = block->prev;
  parse->release(block);
}

}  // namespace kelvane::acquisition
