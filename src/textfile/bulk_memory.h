// Advice to the system about the large buffers a page passes through: the
// page's bytes, its text, a buffer's dropped front. Neither call changes a
// byte the program still reads; where the system cannot follow them they do
// nothing.
#pragma once

#include <cstddef>

namespace kelvane::textfile {

// Asks for large pages behind a buffer of `bytes` that has just been
// allocated and not yet written: a page of several megabytes then costs a
// few hundred faults instead of thousands. Buffers under 4 MiB are left alone.
void preferLargePages(void* data, size_t bytes);

// Asks the system to back the whole memory pages inside [data, data +
// bytes) now, in one call, instead of at the first write to each of them:
// for a buffer about to be filled whole, where a fault per page costs
// about twice as much. Where the system cannot, it does nothing.
void prefault(void* data, size_t bytes);

// Gives the whole memory pages inside [begin, end) back to the system. They
// read as zeros afterwards, so the caller must hold nothing there. Returns
// the end of the last page given back (begin rounded up when none was).
const void* releasePages(const void* begin, const void* end);

}  // namespace kelvane::textfile
