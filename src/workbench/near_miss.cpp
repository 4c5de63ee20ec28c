#include "workbench/near_miss.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <memory>
#include <optional>
#include <unordered_map>

namespace kelvane::workbench {

using engine::Text;
using engine::TextView;

namespace {

// A text with one code point at a time replaced by its folded form, and for
// every folded unit the index of the code point it came from.
struct Folded {
  Text text;
  std::vector<uint32_t> origin;
};

template <typename Fold>
Folded foldText(TextView s, Fold& fold, bool withOrigin) {
  Folded out;
  out.text.reserve(s.size());
  if (withOrigin) out.origin.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const size_t start = i;
    UChar32 c;
    U16_NEXT(s.data(), i, s.size(), c);
    fold(c, out.text);
    if (withOrigin) out.origin.resize(out.text.size(), static_cast<uint32_t>(start));
  }
  return out;
}

void appendCodePoint(UChar32 c, Text& out) {
  if (c <= 0xFFFF) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    out.push_back(static_cast<char16_t>(U16_LEAD(c)));
    out.push_back(static_cast<char16_t>(U16_TRAIL(c)));
  }
}

// Full case folding: what the engine's one-unit mapping cannot equate
// (ß and SS, ẞ and ß, ﬁ and FI).
void foldCase(UChar32 c, Text& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char16_t>(c >= 'A' && c <= 'Z' ? c + 0x20 : c));
    return;
  }
  Text one;
  appendCodePoint(c, one);
  UChar buffer[8];
  UErrorCode error = U_ZERO_ERROR;
  const int32_t n = u_strFoldCase(buffer, 8, one.data(), static_cast<int32_t>(one.size()),
                                  U_FOLD_CASE_DEFAULT, &error);
  if (U_FAILURE(error)) {
    out += one;
  } else {
    out.append(buffer, buffer + n);
  }
}

// Compatibility forms to their plain ones (NFKD, one character at a time):
// ＡＢＣ and ABC, ｶﾞ and ガ (both カ with the combining sound mark), the
// ideographic space and a space. Each character is folded once and
// remembered.
class WidthFolder {
 public:
  WidthFolder() {
    UErrorCode error = U_ZERO_ERROR;
    nfkd_ = icu::Normalizer2::getNFKDInstance(error);
    if (U_FAILURE(error)) nfkd_ = nullptr;
  }
  void operator()(UChar32 c, Text& out) {
    if (c < 0x80 || !nfkd_) {
      appendCodePoint(c, out);
      return;
    }
    auto [it, added] = cache_.try_emplace(c);
    if (added) {
      UErrorCode error = U_ZERO_ERROR;
      const icu::UnicodeString s = nfkd_->normalize(icu::UnicodeString(c), error);
      if (U_FAILURE(error)) {
        appendCodePoint(c, it->second);
      } else {
        it->second.assign(s.getBuffer(), s.getBuffer() + s.length());
      }
    }
    out += it->second;
  }

 private:
  const icu::Normalizer2* nfkd_ = nullptr;
  std::unordered_map<UChar32, Text> cache_;
};

void dropWhiteSpace(UChar32 c, Text& out) {
  if (!u_isUWhiteSpace(c)) appendCodePoint(c, out);
}

// Where the folded marker first occurs in the folded text, mapped back to
// the text: position (1-based) and length, or nothing.
template <typename Fold>
std::optional<NearMiss> foldedSearch(NearMiss::Kind kind, TextView text, TextView marker,
                                     Fold fold) {
  const Folded m = foldText(marker, fold, false);
  if (m.text.empty()) return std::nullopt;
  const Folded t = foldText(text, fold, true);
  const size_t p = engine::findMarker(t.text, m.text);
  if (p == 0) return std::nullopt;
  const size_t start = t.origin[p - 1];
  const size_t lastUnit = p - 1 + m.text.size() - 1;
  size_t end = t.origin[lastUnit];
  UChar32 c;
  U16_NEXT(text.data(), end, text.size(), c);
  (void)c;
  return NearMiss{kind, start + 1, end - start};
}

}  // namespace

const char* nearMissName(NearMiss::Kind kind) {
  switch (kind) {
    case NearMiss::Kind::OtherCase:
      return "other letter case";
    case NearMiss::Kind::Width:
      return "full-width/half-width folded";
    case NearMiss::Kind::WhiteSpace:
      return "white space left out";
    case NearMiss::Kind::Prefix:
      return "longest prefix";
  }
  return "";
}

std::vector<NearMiss> findNearMisses(TextView text, size_t from, TextView marker) {
  std::vector<NearMiss> found;
  if (from > text.size() || marker.empty()) return found;
  const TextView searched = text.substr(from);
  const auto add = [&](std::optional<NearMiss> near) {
    if (!near) return;
    for (const NearMiss& n : found) {
      if (n.position == near->position + from) return;
    }
    near->position += from;
    found.push_back(*near);
  };
  add(foldedSearch(NearMiss::Kind::OtherCase, searched, marker, foldCase));
  add(foldedSearch(NearMiss::Kind::Width, searched, marker, WidthFolder()));
  add(foldedSearch(NearMiss::Kind::WhiteSpace, searched, marker, dropWhiteSpace));
  // A prefix that occurs has shorter prefixes that occur: search by halves.
  size_t low = 0, high = marker.size() - 1, at = 0;
  while (low < high) {
    const size_t mid = (low + high + 1) / 2;
    if (const size_t p = engine::findMarker(searched, marker.substr(0, mid)); p != 0) {
      low = mid;
      at = p;
    } else {
      high = mid - 1;
    }
  }
  if (low > 0) add(NearMiss{NearMiss::Kind::Prefix, at, low});
  return found;
}

}  // namespace kelvane::workbench
