// How the browser's profile is set up for watching pages: a small HTTP cache
// kept in memory, and every document the browser navigates to asked of its
// server afresh, so that a cached copy never stands in for what the server
// has now.
#pragma once

class QWebEngineProfile;

namespace kelvane::platform {

// Sets the profile up once; later calls for the same profile do nothing.
void prepareProfile(QWebEngineProfile* profile);

}  // namespace kelvane::platform
