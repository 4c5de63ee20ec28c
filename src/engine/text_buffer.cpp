#include "engine/text_buffer.h"

#include <functional>

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
}

void TextBuffer::assign(TextView value) {
  ++version_;
  if (aliases(value)) {
    // A piece of this very buffer: narrow in place, no copy.
    const size_t start = static_cast<size_t>(value.data() - store_.data());
    store_.resize(start + value.size());
    begin_ = start;
    return;
  }
  store_.assign(value);
  begin_ = 0;
}

void TextBuffer::take(Text&& value) {
  ++version_;
  store_ = std::move(value);
  begin_ = 0;
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
  // Compact only when the dropped front outweighs the text, so a loop that
  // both drops and appends stays linear.
  if (begin_ > 0 && begin_ >= store_.size() - begin_) compact();
  store_.append(value);
}

void TextBuffer::releaseDroppedFront() {
  constexpr size_t kWorthIt = size_t{1} << 18;
  if (begin_ < kWorthIt || begin_ < store_.size() - begin_) return;
  ++version_;
  Text rest(view());
  store_.swap(rest);
  begin_ = 0;
}

void TextBuffer::clear() {
  ++version_;
  store_.clear();
  begin_ = 0;
}

void TextBuffer::dropFront(size_t n) {
  ++version_;
  // The dropped text stays in place: the caller may still hold a view of it.
  begin_ += n < size() ? n : size();
}

}  // namespace kelvane::engine
