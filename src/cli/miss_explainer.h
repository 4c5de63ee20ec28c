// kelvane-run --explain: why a marker search found nothing. Each line's first
// miss in a run is kept with the nearest candidates in the text it searched,
// and written out after the run.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "workbench/near_miss.h"

namespace kelvane::cli {

using workbench::findNearMisses;
using workbench::NearMiss;
using workbench::nearMissName;

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
