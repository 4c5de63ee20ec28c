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
  // Gives the memory of a large dropped front back to the system without
  // moving the text left, so a walk over a big page copies none of it.
  // Invalidates every view of the dropped text; views of the rest stay.
  void releaseDroppedFront();
  // True when value points into this buffer's storage.
  bool aliases(TextView value) const;

  // Counts every change, so observers (the window, the tracer) can tell
  // whether the buffer changed without comparing texts.
  uint64_t version() const { return version_; }
  // Counts only the changes of the text itself: a write that leaves the
  // text as it was (an empty append, a narrowing to the whole) moves the
  // version but not this.
  uint64_t changes() const { return changes_; }

  // Whether any of the text came from a page (the page text, or a piece cut
  // from it): the engine keeps this as lines write the buffer, and an
  // address such text makes is never loaded from this computer's files.
  bool fromPage() const { return fromPage_; }
  void setFromPage(bool fromPage) { fromPage_ = fromPage; }

 private:
  void compact();
  // Moves the first `keep` characters of the text into new storage for
  // `units` characters that asks the system for large pages.
  void makeRoom(size_t keep, size_t units);

  Text store_;
  size_t begin_ = 0;
  // The dropped front below this index has been given back.
  size_t released_ = 0;
  uint64_t version_ = 0;
  uint64_t changes_ = 0;
  bool fromPage_ = false;
};

}  // namespace kelvane::engine
