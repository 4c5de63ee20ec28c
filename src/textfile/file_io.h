// Whole-file reading and safe whole-file writing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvane::textfile {

// The bytes of the file, or nothing when it cannot be opened or read (a
// folder, a missing file, no permission).
std::optional<std::string> readFileBytes(const std::string& path);

// Replaces the file with the bytes through a temporary file beside it that is
// renamed over the old one, so a failed write leaves the old file intact.
// Returns false when anything failed.
bool writeFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace kelvane::textfile
