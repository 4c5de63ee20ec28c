// A watch's login profile over a real Qt WebEngine: ログイン情報を消去 leaves
// no cookie in the cookie file and no store for the next start, and one
// window at a time holds the lasting store (the others' lock fails).
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QtTest>
#include <memory>

#include "platform/login_profile.h"
#include "settings/folder_lock.h"
#include "test_server.h"

using kelvane::platform::LoginProfile;

namespace {

QByteArray fileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class LoginProfileTest : public QObject {
  Q_OBJECT

 private slots:
  void forgettingRemovesTheCookiesAndTheStore() {
    QTemporaryDir dir;
    const QString cookies = dir.filePath("cookies.txt");
    {
      LoginProfile login(dir.path());
      // A login as a site makes it: its answer sets a session cookie.
      kelvane::testing::TestServer server;
      server.route("/login", {"<p>in</p>", "text/html", 200, 0, false,
                              "Set-Cookie: session=V4LUE; Path=/\r\n"});
      QWebEnginePage page(login.profile());
      page.load(QUrl(server.url("/login")));
      QTRY_VERIFY_WITH_TIMEOUT(fileBytes(cookies).contains("\tsession\tV4LUE"), 10000);
      QFile mark(dir.filePath("browser/kept-by-chromium"));
      QVERIFY(mark.open(QIODevice::WriteOnly));
      mark.close();
      login.forget();
      QVERIFY(!fileBytes(cookies).contains("session"));
      // A cookie written before the forget is not brought back.
      QTest::qWait(2500);
      QVERIFY(!fileBytes(cookies).contains("session"));
    }
    // The store itself goes at the next start, before Chromium opens it.
    LoginProfile again(dir.path());
    QVERIFY(!QFile::exists(dir.filePath("browser/kept-by-chromium")));
    QVERIFY(QDir(dir.filePath("browser")).exists());
    QVERIFY(!fileBytes(cookies).contains("session"));
  }

  // A second holder of the folder's lock is refused until the first lets go;
  // its profile is off the record and leaves the lasting store alone.
  void oneWindowAtATimeHoldsTheStore() {
    QTemporaryDir dir;
    const std::string lock = dir.filePath("window.lock").toStdString();
    auto first = std::make_unique<kelvane::settings::FolderLock>(lock);
    QVERIFY(first->held());
    QVERIFY(!kelvane::settings::FolderLock(lock).held());
    LoginProfile second(dir.path(), false);
    QVERIFY(second.profile()->isOffTheRecord());
    QVERIFY(!QDir(dir.filePath("browser")).exists());
    first.reset();
    QVERIFY(kelvane::settings::FolderLock(lock).held());
  }
};

int main(int argc, char** argv) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  LoginProfileTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "login_profile_test.moc"
