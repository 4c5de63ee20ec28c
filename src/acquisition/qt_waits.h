// The Qt side of page loading: pauses that keep the window painting, and one
// pass of the event loop, for the waits of a LoadHost.
#pragma once

namespace kelvane::acquisition {

// Waits about ms milliseconds in a local event loop, so the window keeps
// painting and answering while a page loads or settles.
void pauseWithEvents(int ms);
// One pass of the event loop.
void processPendingEvents();

}  // namespace kelvane::acquisition
