// The Qt side of page loading: pauses that keep the window painting, and one
// pass of the event loop.
#pragma once

#include "acquisition/page_loader.h"

namespace kelvane::acquisition {

// Waits about ms milliseconds in a local event loop, so the window keeps
// painting and answering while a page loads or settles.
void pauseWithEvents(int ms);
// One pass of the event loop.
void processPendingEvents();

// Hooks with the Qt pause and event pass filled in; the caller adds the URL
// box, the wait value box and the repaint.
PageHooks qtPageHooks();

}  // namespace kelvane::acquisition
