// How the browser's profile is set up for watching pages: a small HTTP cache
// kept in memory, and every document the browser navigates to asked of its
// server afresh, so that a cached copy never stands in for what the server
// has now.
#pragma once

#include <QStringList>

class QWebEngineProfile;

namespace kelvane::platform {

// Sets the profile up once; later calls for the same profile do nothing.
void prepareProfile(QWebEngineProfile* profile);

// Has the browser start with Chromium's own log lines off (they are not for
// the user) and the given switches besides ("--name" or "--name=value"). The
// switches go into QTWEBENGINE_CHROMIUM_FLAGS before what the user put
// there, and a switch the user names is left to them. Called before the
// application is made.
void setBrowserSwitches(QStringList switches = {});

}  // namespace kelvane::platform
