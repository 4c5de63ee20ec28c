// The display kept between runs in a state file (kelvane-run --state), to
// tell whether the next run changed it.
#pragma once

#include <optional>
#include <string>

#include "engine/text.h"

namespace kelvane::run {

// What a state file held.
struct StoredState {
  enum class Kind {
    Nothing,  // missing or empty: no run has stored a display yet
    Display,  // a display stored by a previous run
    Foreign,  // a file that is not a state file: never overwritten
    Unreadable,
  };
  Kind kind = Kind::Nothing;
  engine::Text display;
};

StoredState readState(const std::string& path);
// What kind of file path is, from its first line only (display left empty).
StoredState::Kind stateKind(const std::string& path);
// True when the state file exists and nobody may write it: it is not
// replaced behind its owner's back.
bool stateIsReadOnly(const std::string& path);
// Whether the display stored in the state file equals display, read in
// pieces (a stored display is never held whole for this); nothing when the
// file cannot be read.
std::optional<bool> storedDisplayEquals(const std::string& path, engine::TextView display);

// Stores the display through a temporary file renamed over the old one;
// false when that failed (the old file is then intact).
bool writeState(const std::string& path, engine::TextView display);

}  // namespace kelvane::run
