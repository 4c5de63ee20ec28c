// The change notice over a real session bus (the test runs under
// dbus-run-session), received by a notification server of the test's own.
#include <QDBusConnection>
#include <QGuiApplication>
#include <QVariantMap>
#include <QtTest>

#include "platform/desktop_notice.h"

namespace {

// The one method of the freedesktop notification service the program calls.
class NotificationServer : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct Call {
    QString app, icon, summary, body;
    QVariantMap hints;
    int timeout = 0;
  };
  QList<Call> calls;

 public slots:
  uint Notify(const QString& app, uint /*replacesId*/, const QString& icon, const QString& summary,
              const QString& body, const QStringList& /*actions*/, const QVariantMap& hints,
              int timeout) {
    calls.append({app, icon, summary, body, hints, timeout});
    return static_cast<uint>(calls.size());
  }
};

// The server on a connection of its own, as another process would be, for
// as long as it lives.
struct ServerOnBus {
  ServerOnBus() {
    registered = bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                                    QDBusConnection::ExportAllSlots) &&
                 bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
  }
  ~ServerOnBus() {
    bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    QDBusConnection::disconnectFromBus(QStringLiteral("server"));
  }
  QDBusConnection bus =
      QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("server"));
  NotificationServer server;
  bool registered = false;
};

}  // namespace

class DesktopNoticeTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    // ctest runs this under dbus-run-session, a private session bus.
    QVERIFY(QDBusConnection::sessionBus().isConnected());
  }

  void theNoticeReachesTheServerWithItsBodyEscaped() {
    ServerOnBus on;
    QVERIFY(on.registered);
    NotificationServer& server = on.server;

    QGuiApplication::setDesktopFileName(QStringLiteral("kelvane"));
    kelvane::platform::showDesktopNotice(QStringLiteral("表示が変わりました: 相場"),
                                         QStringLiteral("<b>みかん</b> & ￥298"));
    QTRY_COMPARE_WITH_TIMEOUT(server.calls.size(), 1, 10000);
    const NotificationServer::Call& call = server.calls.front();
    QCOMPARE(call.app, QStringLiteral("Kelvane"));
    QCOMPARE(call.icon, QStringLiteral("kelvane"));
    QCOMPARE(call.hints.value(QStringLiteral("desktop-entry")).toString(),
             QStringLiteral("kelvane"));
    QCOMPARE(call.summary, QStringLiteral("表示が変わりました: 相場"));
    // A server may read the body as markup: the page's text must not become markup.
    QCOMPARE(call.body, QStringLiteral("&lt;b&gt;みかん&lt;/b&gt; &amp; ￥298"));
    QCOMPARE(call.timeout, -1);
  }

  void aServerThatDoesNotAnswerHoldsNothingUp() {
    // The server answers only when this thread's event loop runs again: a
    // notice that waited for the answer would hang for the bus's 25 s.
    ServerOnBus on;
    QVERIFY(on.registered);
    NotificationServer& server = on.server;
    QElapsedTimer clock;
    clock.start();
    kelvane::platform::showDesktopNotice(QStringLiteral("s"), QStringLiteral("b"));
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    QTRY_COMPARE_WITH_TIMEOUT(server.calls.size(), 1, 10000);
  }
};

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  DesktopNoticeTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "desktop_notice_test.moc"
