// The marker searches of a run that found nothing: each line's first miss,
// for the run's record, and with the nearest candidates in the text it
// searched, for kelvane-run --explain.
#pragma once

#include <map>
#include <vector>

#include "engine/engine.h"
#include "workbench/near_miss.h"

namespace kelvane::run {

class MissLog : public engine::SearchObserver {
 public:
  // Without candidates only what the run record needs is kept.
  explicit MissLog(bool withCandidates) : withCandidates_(withCandidates) {}

  // How many characters of the searched text are kept at each candidate.
  static constexpr size_t kContext = 40;

  struct Miss {
    int line = 0;
    engine::Text command;  // upper-cased
    engine::Text marker;
    engine::Text source;  // a buffer name in capitals, or the literal as written
    size_t sourceLength = 0;
    size_t from = 0;
    engine::Text after;
    std::vector<workbench::NearMiss> candidates;
    std::vector<engine::Text> contexts;  // up to kContext characters at each candidate
    int times = 1;                       // how often the line missed in the run
  };

  void markerNotFound(const engine::SearchMiss& miss) override;
  // Forgets the previous run's misses.
  void clear() { misses_.clear(); }
  // By line index.
  const std::map<int, Miss>& misses() const { return misses_; }

 private:
  bool withCandidates_;
  std::map<int, Miss> misses_;
};

}  // namespace kelvane::run
