#include "engine/primitives.h"

namespace kelvane::engine {

TextView GetAfter(TextView text, TextView marker) {
  const size_t p = findMarker(text, marker);
  return p == 0 ? text : from(text, p + marker.size());
}

TextView GetAfterIncl(TextView text, TextView marker) {
  const size_t p = findMarker(text, marker);
  return p == 0 ? text : from(text, p);
}

TextView GetBefore(TextView text, TextView marker) {
  const size_t p = findMarker(text, marker);
  return p == 0 ? text : first(text, p - 1);
}

TextView GetBeforeIncl(TextView text, TextView marker) {
  const size_t p = findMarker(text, marker);
  return p == 0 ? text : first(text, p + marker.size() - 1);
}

TakenPiece TakeBetween(TextView text, TextView start, TextView end) {
  const size_t a = findMarker(text, start);
  if (a == 0) return {text, 0, false};
  // The end marker is looked for only after the start marker.
  const TextView rest = from(text, a + start.size());
  const size_t b = findMarker(rest, end);
  if (b == 0) return {text, 0, false};
  const size_t restOffset = text.size() - rest.size();
  return {first(rest, b - 1), restOffset + b - 1 + end.size(), true};
}

TextView GetBetween(TextView text, TextView start, TextView end) {
  return TakeBetween(text, start, end).piece;
}

TextView GetLeftN(TextView text, int16_t n) {
  if (n < 0) return {};
  return first(text, static_cast<size_t>(n));
}

TextView CutTailN(TextView text, int16_t n) {
  const long long keep = static_cast<long long>(text.size()) - n;
  if (keep <= 0) return {};
  return first(text, static_cast<size_t>(keep));
}

TextView CutHeadN(TextView text, int16_t n) {
  // Dropping 32767 characters works like any other count: the start
  // position is formed wider than 16 bits.
  if (n < 0) return {};
  return from(text, static_cast<size_t>(n) + 1);
}

Text DeleteFirst(TextView text, TextView marker) {
  const size_t p = findMarker(text, marker);
  Text out;
  if (p == 0) {
    out.assign(text);
    return out;
  }
  const TextView tail = from(text, p + marker.size());
  out.reserve(p - 1 + tail.size());
  out.append(first(text, p - 1));
  out.append(tail);
  return out;
}

Text StripFirstTag(TextView text) {
  const size_t a = findMarker(text, u"<");
  size_t b = findMarker(text, u">");
  const size_t len = text.size();
  if (a == 0) return Text(text);
  if (a == 1 && (b == 0 || b == len)) return Text(text);
  if (b != 0 && b < a) {
    // A ">" before the first "<" belongs to no tag: take the tag that starts
    // at the "<" and ends at the first ">" after it.
    const size_t close = findMarker(from(text, a + 1), u">");
    if (close == 0) return Text(text);
    b = a + close;
  }
  if (b == 0) return Text(text);
  if (a == 1) return Text(from(text, b + 1));
  Text out(first(text, a - 1));
  out.append(from(text, b + 1));
  return out;
}

}  // namespace kelvane::engine
