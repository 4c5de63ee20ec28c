#include "cli/miss_explainer.h"

#include "cli/output.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {

using engine::Text;
using engine::TextView;

namespace {

constexpr size_t kContext = 40;

}  // namespace

void MissExplainer::markerNotFound(const engine::SearchMiss& miss) {
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
  m.candidates = findNearMisses(miss.text, miss.from, miss.marker);
  for (const NearMiss& near : m.candidates) {
    m.contexts.emplace_back(miss.text.substr(near.position - 1, kContext));
  }
}

void MissExplainer::write(std::FILE* err) const {
  const auto quoted = [](TextView text) { return "\"" + escaped(text) + "\""; };
  for (const auto& [line, m] : misses_) {
    // A buffer by its name, a literal as written.
    const TextView source = m.source;
    const bool literal = source.size() >= 2 && source.front() == u'"' && source.back() == u'"';
    std::string head = programMessage("line " + std::to_string(line)) + ": " + quoted(m.marker) +
                       " not found in " +
                       (literal ? quoted(source.substr(1, source.size() - 2)) : escaped(source));
    if (!m.after.empty() || m.from > 0) {
      head += " after " + quoted(m.after) + " at " + std::to_string(m.from - m.after.size() + 1);
    }
    writeLine(err, head + " (length " + std::to_string(m.sourceLength) + ")");
    if (m.times > 1) writeLine(err, "    missed " + std::to_string(m.times) + " times in the run");
    for (size_t k = 0; k < m.candidates.size(); ++k) {
      const NearMiss& near = m.candidates[k];
      std::string text = std::string("    ") + nearMissName(near.kind);
      if (near.kind == NearMiss::Kind::Prefix) {
        text += " " + quoted(TextView(m.marker).substr(0, near.length)) + " (" +
                std::to_string(near.length) + " of " + std::to_string(m.marker.size()) + ")";
      }
      const bool more = near.position - 1 + kContext < m.sourceLength;
      writeLine(err, text + " at " + std::to_string(near.position) + ": " + quoted(m.contexts[k]) +
                         (more ? "..." : ""));
    }
    if (m.candidates.empty()) writeLine(err, "    nothing near it");
  }
  std::fflush(err);
}

}  // namespace kelvane::cli
