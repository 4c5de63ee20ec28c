// What the program says about itself in its windows.
#pragma once

namespace kelvane::ui {

// Where help is found, shown on the "Page" page and in the about box: the
// manual, which comes with the program (the project has no web site).
inline constexpr const char* kSupportAddress = "man:kelvane(1)";
inline constexpr const char* kCopyright = "Copyright (C) 2003-2026 Kelvane developers";

}  // namespace kelvane::ui
