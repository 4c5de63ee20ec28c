#include "platform/desktop_notice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include "platform/message_box.h"

namespace kelvane::platform {

void showDesktopNotice(const QString& summary, const QString& body) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  QDBusMessage notify = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  // A server may read the body as markup: the display's text is escaped.
  notify << QString::fromLatin1(kApplicationTitle) << 0u << QStringLiteral("kelvane") << summary
         << body.toHtmlEscaped() << QStringList() << QVariantMap() << -1;
  // Sent without waiting for the answer, so a missing service costs nothing
  // but the bus's error reply, which nobody reads.
  bus.send(notify);
}

}  // namespace kelvane::platform
