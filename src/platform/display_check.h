// Whether the window program can reach a display, asked before the toolkit
// starts: Qt ends the process with an abort and advice to reinstall when the
// window system it tries cannot be reached.
#pragma once

#include <string>

namespace kelvane::platform {

struct DisplayFacts {
  std::string platforms;          // QT_QPA_PLATFORM or -platform; empty: the default
  bool waylandSession = false;    // XDG_SESSION_TYPE=wayland
  bool x11Reachable = false;      // an X server answers at $DISPLAY
  bool waylandReachable = false;  // a compositor's socket is where Qt looks for it
};

// True when one of the window systems Qt would try is there. A platform that
// needs no desktop (offscreen, vnc, eglfs...) counts as there.
bool displayReachable(const DisplayFacts& facts);

// The facts for this process: its environment and its arguments.
DisplayFacts probeDisplayFacts(int argc, char** argv);

// The line the program prints when there is no display, in the language
// chosen at start-up.
std::string noDisplayMessage(const DisplayFacts& facts);

}  // namespace kelvane::platform
