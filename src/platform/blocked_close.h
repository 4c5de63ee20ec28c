// The window's close button while a message box is open.
#pragma once

namespace kelvane::platform {

// While a modal box is open, Qt drops the window system's requests to close
// the windows the box blocks, so the main window's close button would do
// nothing until the box is answered. Where the window system is X11, such a
// request is caught before Qt drops it and becomes the window's close(), as
// a close at any other time. Call once, after the application exists.
void letBlockedWindowsClose();

}  // namespace kelvane::platform
