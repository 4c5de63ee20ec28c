#include "platform/desktop_notice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
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
  // The program's menu entry names its icon and lets the server group the
  // notices. A server may read the body as markup: the text is escaped.
  const QString entry = QGuiApplication::desktopFileName();
  QVariantMap hints;
  if (!entry.isEmpty()) hints.insert(QStringLiteral("desktop-entry"), entry);
  notify << QString::fromLatin1(kApplicationTitle) << 0u << entry << summary << body.toHtmlEscaped()
         << QStringList() << hints << -1;
  // Sent without waiting for the answer, so a missing service costs nothing
  // but the bus's error reply, which nobody reads.
  bus.send(notify);
}

}  // namespace kelvane::platform
