// The names scripts give the engine's buffers, in one table. The operand
// resolver, the destination writer and kelvane-run's --print and --trace all
// read it, so a name is spelled once.
#pragma once

#include <cstdint>
#include <iterator>

#include "engine/text.h"

namespace kelvane::engine {

enum class BufferId : uint8_t { HT, D, V1, V2, V3, V4, V5, Title, Time, Date };

struct BufferName {
  TextView name;  // in capitals: script names are matched after upper-casing
  BufferId id;
  bool source;  // may be read as an operand
  bool stored;  // holds text that a run writes (a destination)
};

// Stored buffers first, in the order kelvane-run's trace lists them.
inline constexpr BufferName kBufferNames[] = {
    {u"HT", BufferId::HT, true, true},      {u"D", BufferId::D, true, true},
    {u"V1", BufferId::V1, true, true},      {u"V2", BufferId::V2, true, true},
    {u"V3", BufferId::V3, true, true},      {u"V4", BufferId::V4, true, true},
    {u"V5", BufferId::V5, true, true},      {u"TITLE", BufferId::Title, false, true},
    {u"TIME", BufferId::Time, true, false}, {u"DATE", BufferId::Date, true, false},
};

// How many stored buffers lead the table.
inline constexpr size_t kStoredBufferCount = [] {
  size_t n = 0;
  while (n < std::size(kBufferNames) && kBufferNames[n].stored) ++n;
  return n;
}();

// The entry whose name equals text upper-cased, or null.
inline const BufferName* findBufferName(TextView text) {
  for (const BufferName& entry : kBufferNames) {
    if (equalsUpper(text, entry.name)) return &entry;
  }
  return nullptr;
}

}  // namespace kelvane::engine
