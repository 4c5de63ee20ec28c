#include "engine/numeric.h"

#include <string>

namespace kelvane::engine {

double parseScriptNumber(TextView text) {
  std::u16string s;
  s.reserve(text.size() < 64 ? text.size() : 64);
  for (char16_t c : text) {
    if (c == u' ' || c == u'\t' || c == u'\n') continue;
    s.push_back(c);
  }
  const numbers::Scanned radix = numbers::scanRadix(s);
  return radix.length != 0 ? radix.value : numbers::scanDecimal(s).value;
}

}  // namespace kelvane::engine
