// Desktop notifications through the freedesktop Notifications service on
// the session bus.
#pragma once

#include <QString>

namespace kelvane::platform {

// Shows a notification without waiting for it. With no session bus or no
// notification service nothing happens and nothing is said.
void showDesktopNotice(const QString& summary, const QString& body);

}  // namespace kelvane::platform
