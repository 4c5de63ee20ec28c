// kelvane-run --explain: why a marker search found nothing. Each line's first
// miss in a run is kept with the nearest candidates in the text it searched,
// and written out after the run.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace kelvane::cli {

// A place in the searched text where the marker nearly occurs.
struct NearMiss {
  enum class Kind {
    OtherCase,   // equal under full Unicode case folding (ß and SS, ligatures)
    Width,       // equal once full-width and half-width forms are folded
    WhiteSpace,  // equal once runs of white space are left out
    Prefix,      // the longest prefix of the marker that occurs
  };
  Kind kind;
  size_t position;  // 1-based, in the whole text
  size_t length;    // characters of the text it covers
};

// The candidates for a marker not found in text.substr(from), at most one of
// each kind (the first occurrence), never two at the same position.
std::vector<NearMiss> findNearMisses(engine::TextView text, size_t from, engine::TextView marker);

// The candidate's name as the report shows it.
const char* nearMissName(NearMiss::Kind kind);

class MissExplainer : public engine::SearchObserver {
 public:
  // Without candidates only what the run record needs is kept.
  explicit MissExplainer(bool withCandidates) : withCandidates_(withCandidates) {}

  struct Miss {
    int line = 0;
    engine::Text command;  // upper-cased
    engine::Text marker;
    engine::Text source;  // a buffer name in capitals, or the literal as written
    size_t sourceLength = 0;
    size_t from = 0;
    engine::Text after;
    std::vector<NearMiss> candidates;
    std::vector<engine::Text> contexts;  // up to 40 characters at each candidate
    int times = 1;                       // how often the line missed in the run
  };

  void markerNotFound(const engine::SearchMiss& miss) override;
  // Forgets the previous run's misses.
  void clear() { misses_.clear(); }
  // By line index.
  const std::map<int, Miss>& misses() const { return misses_; }
  // The report of the run: per line, its miss and the candidates under it.
  void write(std::FILE* err) const;

 private:
  bool withCandidates_;
  std::map<int, Miss> misses_;
};

}  // namespace kelvane::cli
