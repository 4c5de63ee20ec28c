// How the browser's profile is set up for watching pages: a small HTTP cache
// kept in memory, every document the browser navigates to asked of its
// server afresh, so that a cached copy never stands in for what the server
// has now, and for a browser nobody looks at, nothing loaded that only shows.
#pragma once

#include <QStringList>

class QWebEngineProfile;

namespace kelvane::platform {

// What the browser loads of a page besides its document.
enum class PageParts {
  // Everything, as a user's browser does: the window shows the page.
  Everything,
  // Only what can change the document's markup: style sheets, scripts,
  // frames, workers and the requests scripts make. Images, media, fonts,
  // prefetched pages, icons, pings and reports are never asked for (a
  // browser nobody looks at: kelvane-run's).
  MarkupOnly,
};

// Sets the profile up once; later calls for the same profile do nothing.
void prepareProfile(QWebEngineProfile* profile, PageParts parts = PageParts::Everything);

// Has the browser start with Chromium's own log lines off (they are not for
// the user) and the given switches besides ("--name" or "--name=value"). The
// switches go into QTWEBENGINE_CHROMIUM_FLAGS before what the user put
// there, and a switch the user names is left to them. Called before the
// application is made.
void setBrowserSwitches(QStringList switches = {});

}  // namespace kelvane::platform
