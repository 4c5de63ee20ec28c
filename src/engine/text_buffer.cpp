#include "engine/text_buffer.h"

#include <algorithm>
#include <functional>

#include "textfile/bulk_memory.h"

namespace kelvane::engine {

bool TextBuffer::aliases(TextView value) const {
  if (value.empty() || store_.empty()) return false;
  const std::less_equal<const char16_t*> le;
  return le(store_.data(), value.data()) && le(value.data(), store_.data() + store_.size());
}

void TextBuffer::compact() {
  if (begin_ == 0) return;
  store_.erase(0, begin_);
  begin_ = 0;
  released_ = 0;
}

void TextBuffer::makeRoom(size_t keep, size_t units) {
  // Only large buffers are worth the advice; small ones grow as strings do.
  constexpr size_t kLarge = size_t{1} << 20;
  if (units < kLarge) return;
  Text grown;
  grown.reserve(units);
  textfile::preferLargePages(grown.data(), grown.capacity() * sizeof(char16_t));
  // The old storage gives its pages back as they are copied, so the text is
  // not held twice over while it moves.
  constexpr size_t kStep = size_t{1} << 18;
  const TextView kept = view().substr(0, keep);
  const void* releasedTo = store_.data();
  for (size_t at = 0; at < kept.size(); at += kStep) {
    const TextView step = kept.substr(at, kStep);
    grown.append(step);
    releasedTo = textfile::releasePages(releasedTo, step.data() + step.size());
  }
  store_.swap(grown);
  begin_ = 0;
  released_ = 0;
}

void TextBuffer::assign(TextView value) {
  ++version_;
  if (aliases(value)) {
    // A piece of this very buffer: narrow in place, no copy.
    const size_t start = static_cast<size_t>(value.data() - store_.data());
    if (start != begin_ || value.size() != size()) ++changes_;
    store_.resize(start + value.size());
    begin_ = start;
    released_ = std::min(released_, begin_);
    return;
  }
  // The same text again: nothing to copy.
  if (value == view()) return;
  ++changes_;
  if (value.size() > store_.capacity()) makeRoom(0, value.size());
  store_.assign(value);
  begin_ = 0;
  released_ = 0;
}

void TextBuffer::take(Text&& value) {
  ++version_;
  if (value != view()) ++changes_;
  store_ = std::move(value);
  begin_ = 0;
  released_ = 0;
}

void TextBuffer::append(TextView value) {
  ++version_;
  if (value.empty()) return;
  if (aliases(value)) {
    const Text copy(value);
    append(copy);
    --version_;
    return;
  }
  ++changes_;
  // Compact only when the dropped front outweighs the text, so a loop that
  // both drops and appends stays linear.
  if (begin_ > 0 && begin_ >= store_.size() - begin_) compact();
  // A large buffer grows fourfold: it copies its text a third as often as
  // by doubling, and the room not yet written holds no memory. From 32 MB on
  // it doubles, so that no request for room dwarfs the text.
  const size_t need = store_.size() + value.size();
  if (need > store_.capacity()) {
    const size_t factor = store_.capacity() < (size_t{1} << 24) ? 4 : 2;
    makeRoom(size(), std::max(need - begin_, factor * store_.capacity()));
  }
  store_.append(value);
}

void TextBuffer::releaseDroppedFront() {
  constexpr size_t kWorthIt = size_t{1} << 16;
  if (begin_ - released_ < kWorthIt) return;
  // Whole memory pages of the dropped front go back; the text left stays
  // where it is, so nothing is copied and the views of it stay valid.
  const char16_t* data = store_.data();
  const auto* upTo =
      static_cast<const char16_t*>(textfile::releasePages(data + released_, data + begin_));
  released_ = std::max(released_, static_cast<size_t>(upTo - data));
}

void TextBuffer::clear() {
  ++version_;
  if (!empty()) ++changes_;
  store_.clear();
  begin_ = 0;
  released_ = 0;
}

void TextBuffer::dropFront(size_t n) {
  ++version_;
  // The dropped text stays in place: the caller may still hold a view of it.
  const size_t dropped = n < size() ? n : size();
  if (dropped > 0) ++changes_;
  begin_ += dropped;
}

}  // namespace kelvane::engine
