// What the program says about itself in its windows.
#pragma once

namespace kelvane::ui {

// The support web address of the "Page" page and the about box.
inline constexpr const char* kSupportAddress = "https://example.org/kelvane/";
inline constexpr const char* kCopyright = "Copyright (C) 2003-2026 Kelvane developers";

}  // namespace kelvane::ui
