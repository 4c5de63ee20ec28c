#include "cli/miss_explainer.h"

#include "cli/output.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {

using engine::TextView;

void writeExplanation(const run::MissLog& misses, std::FILE* err) {
  using workbench::NearMiss;
  constexpr size_t kContext = run::MissLog::kContext;
  const auto quoted = [](TextView text) { return "\"" + escaped(text) + "\""; };
  for (const auto& [line, m] : misses.misses()) {
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
      std::string text = std::string("    ") + workbench::nearMissName(near.kind);
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
