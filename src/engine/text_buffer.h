// A named buffer of the engine (HT, D, V1..V5): a string that can drop its
// front in O(1) (what a GHC walk does on every pass) and grow at its end in
// amortised O(1). Views handed out stay valid until the next call that
// changes the buffer; a buffer may be assigned or appended a view of itself.
#pragma once

#include <cstdint>

#include "engine/text.h"

namespace kelvane::engine {

class TextBuffer {
 public:
  TextView view() const { return TextView(store_).substr(begin_); }
  size_t size() const { return store_.size() - begin_; }
  bool empty() const { return size() == 0; }

  void assign(TextView value);
  // Takes the text over without copying it.
  void take(Text&& value);
  void append(TextView value);
  void clear();
  // Drops the first n characters (n <= size()). The dropped text stays in
  // place: a view of it taken before stays readable.
  void dropFront(size_t n);
  // Gives the memory of a large dropped front back, once it outweighs the
  // text left (so a walk over a big page copies at most the page once).
  // Invalidates every view of the buffer.
  void releaseDroppedFront();
  // True when value points into this buffer's storage.
  bool aliases(TextView value) const;

  // Counts every change, so observers (the window, the tracer) can tell
  // whether the buffer changed without comparing texts.
  uint64_t version() const { return version_; }

 private:
  void compact();

  Text store_;
  size_t begin_ = 0;
  uint64_t version_ = 0;
};

}  // namespace kelvane::engine
