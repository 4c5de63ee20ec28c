#include "workbench/find_shown.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/utf16.h>

namespace kelvane::workbench {
bool spaceLike(char32_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == 0x00A0 ||
         c == 0x3000;
}

namespace {

// Each code point in its compatibility decomposition, case folded; for each
// unit of the result the index of the code point it came from.
struct Folded {
  Text text;
  std::vector<uint32_t> origin;
};

Folded fold(TextView s) {
  UErrorCode error = U_ZERO_ERROR;
  const icu::Normalizer2* nfkd = icu::Normalizer2::getNFKDInstance(error);
  Folded out;
  out.text.reserve(s.size());
  out.origin.reserve(s.size());
  bool space = false;
  for (size_t i = 0; i < s.size();) {
    const size_t start = i;
    UChar32 c;
    U16_NEXT(s.data(), i, s.size(), c);
    icu::UnicodeString decomposed;
    UChar32 folded = u_foldCase(c, U_FOLD_CASE_DEFAULT);
    if (U_SUCCESS(error)) {
      UErrorCode e = U_ZERO_ERROR;
      decomposed = nfkd->normalize(icu::UnicodeString(folded), e);
      if (U_FAILURE(e)) decomposed = icu::UnicodeString(folded);
    } else {
      decomposed = icu::UnicodeString(folded);
    }
    for (int32_t k = 0; k < decomposed.length(); ++k) {
      char16_t u = decomposed[k];
      // A decomposition may give letters of another case (the Kelvin sign).
      if (u < 0x80 && u >= u'A' && u <= u'Z') u = static_cast<char16_t>(u + 32);
      if (spaceLike(u)) {
        if (space || out.text.empty()) continue;
        space = true;
        u = u' ';
      } else {
        space = false;
      }
      out.text.push_back(u);
      out.origin.push_back(static_cast<uint32_t>(start));
    }
  }
  while (!out.text.empty() && out.text.back() == u' ') {
    out.text.pop_back();
    out.origin.pop_back();
  }
  return out;
}

size_t nth(TextView text, TextView piece, int occurrence) {
  size_t at = text.find(piece);
  for (int k = 1; k < occurrence && at != TextView::npos; ++k) at = text.find(piece, at + 1);
  return at;
}

}  // namespace

Text collapsedWhiteSpace(TextView text) {
  Text out;
  out.reserve(text.size());
  bool space = false;
  for (char16_t c : text) {
    if (spaceLike(c)) {
      space = !out.empty();
      continue;
    }
    if (space) out.push_back(u' ');
    space = false;
    out.push_back(c);
  }
  return out;
}

std::optional<ShownMatch> findShown(const PageText& page, TextView typed, int occurrence) {
  const Text wanted = collapsedWhiteSpace(typed);
  if (wanted.empty() || occurrence < 1) return std::nullopt;
  if (const size_t at = nth(page.text, wanted, occurrence); at != TextView::npos)
    return ShownMatch{at, at + wanted.size(), false};
  const Folded text = fold(page.text);
  const Folded piece = fold(wanted);
  if (piece.text.empty()) return std::nullopt;
  const size_t at = nth(text.text, piece.text, occurrence);
  if (at == TextView::npos) return std::nullopt;
  const size_t last = text.origin[at + piece.text.size() - 1];
  size_t end = last + 1;
  if (end < page.text.size() && U16_IS_TRAIL(page.text[end])) ++end;
  return ShownMatch{text.origin[at], end, true};
}

}  // namespace kelvane::workbench
