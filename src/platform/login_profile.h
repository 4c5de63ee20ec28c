// A watch's login in the browser: the window's lasting profile (cookies,
// session cookies too, and site storage kept between starts), and the
// mirror of a browser's cookies in the watch's cookie file, which the
// direct fetch and kelvane-run read. Chromium's own store is used by one
// process only (the window); kelvane-run's browser starts off the record
// and takes the login from the cookie file.
#pragma once

#include <QHash>
#include <QNetworkCookie>
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QTimer;
class QWebEngineCookieStore;
class QWebEngineProfile;

namespace kelvane::acquisition {
class CookieFile;
class HttpFetcher;
struct CookieFields;
}  // namespace kelvane::acquisition

namespace kelvane::platform {

// A cookie of the file as the browser's store takes it, and the address it
// belongs to.
QNetworkCookie browserCookie(const acquisition::CookieFields& fields);
QUrl cookieOrigin(const acquisition::CookieFields& fields);

// Keeps a browser's cookie store and a cookie file alike: what the store
// gains or loses is written to the file (a moment later, under its lock),
// and what other programs wrote there since is put into the store. Failures
// to write are told through the failure callback, without values.
class CookieMirror : public QObject {
  Q_OBJECT

 public:
  CookieMirror(QWebEngineCookieStore* store, const QString& cookieFile, QObject* parent);
  ~CookieMirror() override;

  // Both ways now: the file's newer cookies into the store, the store's
  // changes into the file.
  void sync();
  // The cookies of the file into the store at once (a fresh store).
  void takeFile();
  // Forgets every cookie, in the store and in the file.
  void forget();
  void onFailure(std::function<void(const QString&)> failed) { failed_ = std::move(failed); }

 private:
  static QString keyOf(const QNetworkCookie& cookie);

  QWebEngineCookieStore* store_;
  std::unique_ptr<acquisition::CookieFile> file_;
  std::unique_ptr<acquisition::HttpFetcher> engine_;  // libcurl's cookie engine
  // What the store holds, by name, domain and path; the engine holds it as
  // libcurl's lines (rebuilt when the store changed), each with its key.
  QHash<QString, QNetworkCookie> live_;
  bool dirty_ = true;
  std::map<std::string, QString> keyOfLine_;
  QTimer* soon_;
  QTimer* poll_;
  std::function<void(const QString&)> failed_;
};

// The window's lasting profile, kept in folder (made readable by the user
// only): Chromium's store in folder/browser, the cookie file
// folder/cookies.txt. Chromium's store is safe for one process only: a
// profile that is not lasting (another window holds the store) starts off
// the record, keeps nothing in folder/browser and shares the login through
// the cookie file alone, as kelvane-run's browser does.
class LoginProfile : public QObject {
  Q_OBJECT

 public:
  LoginProfile(const QString& folder, bool lasting = true, QObject* parent = nullptr);
  ~LoginProfile() override;
  QWebEngineProfile* profile() const { return profile_; }
  CookieMirror* cookies() const { return mirror_; }
  // Forgets the login: cookies, the cache and the visited links now; the
  // site storage at the next start, when no page uses it.
  void forget();

 private:
  QString folder_;
  QWebEngineProfile* profile_;
  CookieMirror* mirror_;
};

}  // namespace kelvane::platform
