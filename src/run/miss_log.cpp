#include "run/miss_log.h"

namespace kelvane::run {

using engine::Text;

void MissLog::markerNotFound(const engine::SearchMiss& miss) {
  auto [it, added] = misses_.try_emplace(miss.line);
  if (!added) {
    ++it->second.times;
    return;
  }
  Miss& m = it->second;
  m.line = miss.line;
  m.command = engine::upperCopy(miss.command);
  m.marker.assign(miss.marker);
  const engine::BufferName* name = engine::findBufferName(miss.source);
  m.source = name ? Text(name->name) : Text(miss.source);
  m.sourceLength = miss.text.size();
  m.from = miss.from;
  m.after.assign(miss.after);
  if (!withCandidates_) return;
  m.candidates = workbench::findNearMisses(miss.text, miss.from, miss.marker);
  for (const workbench::NearMiss& near : m.candidates) {
    m.contexts.emplace_back(miss.text.substr(near.position - 1, kContext));
  }
}

}  // namespace kelvane::run
