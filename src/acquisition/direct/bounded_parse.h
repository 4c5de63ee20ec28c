// The HTML parser with a cap on what it takes.
#pragma once

#include <gumbo.h>

#include <csetjmp>
#include <cstddef>
#include <string_view>

#include "acquisition/direct/parse_arena.h"

namespace kelvane::acquisition {

// An HTML5 parse of UTF-8 text that is given up once the parser has taken
// more than `allowance` bytes in all. Freed blocks count too, so the cap
// bounds the parser's work as well as its memory: markup can make the tree
// grow with the square of the page (formatting elements left open are
// reopened in every paragraph that follows; 50 KB of them take gigabytes).
class BoundedParse {
 public:
  // The tree is built in arena when one is given (on the heap once its
  // region is full), else on the heap. The arena must outlive the tree.
  BoundedParse(std::string_view source, size_t allowance, ParseArena* arena = nullptr);
  ~BoundedParse();
  BoundedParse(const BoundedParse&) = delete;
  BoundedParse& operator=(const BoundedParse&) = delete;

  // The parser's output; null when it needed more than the allowance.
  const GumboOutput* output() const { return output_; }

 private:
  struct Block;
  static void* allocate(void* self, size_t size);
  static void deallocate(void* self, void* pointer);
  GumboOutput* run(std::string_view source);

  GumboOptions options_ = kGumboDefaultOptions;
  ParseArena* arena_;
  size_t left_;
  Block* blocks_ = nullptr;  // every block the parser holds on the heap
  std::jmp_buf overrun_;     // where a parse over the allowance is given up
  GumboOutput* output_ = nullptr;
};

}  // namespace kelvane::acquisition
