// Why a marker search found nothing: the places in the searched text where
// the marker nearly occurs (kelvane-run --explain, the editor's preview).
#pragma once

#include <cstddef>
#include <vector>

#include "engine/text.h"

namespace kelvane::workbench {

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

}  // namespace kelvane::workbench
