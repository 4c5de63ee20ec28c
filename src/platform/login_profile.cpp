#include "platform/login_profile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <algorithm>
#include <map>

#include "acquisition/direct/cookie_file.h"
#include "acquisition/direct/http_fetch.h"
#include "platform/browser_profile.h"
#include "settings/settings_place.h"

namespace kelvane::platform {
namespace {

// A change in the store is written a moment later, with the ones that come
// with it; the file is looked at for other programs' changes this often.
constexpr int kSoonMs = 500;
constexpr int kPollMs = 2000;
const QString kForgetMark = QStringLiteral("forget-site-storage");
constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;

std::vector<std::string> sorted(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

bool holds(const std::vector<std::string>& lines, const std::string& line) {
  return std::binary_search(lines.begin(), lines.end(), line);
}

}  // namespace

QNetworkCookie browserCookie(const acquisition::CookieFields& f) {
  QNetworkCookie cookie(QByteArray::fromStdString(f.name), QByteArray::fromStdString(f.value));
  const QString domain = QString::fromStdString(f.domain);
  cookie.setDomain(f.subdomains ? QLatin1Char('.') + domain : domain);
  cookie.setPath(QString::fromStdString(f.path.empty() ? "/" : f.path));
  cookie.setSecure(f.secure);
  cookie.setHttpOnly(f.httpOnly);
  if (f.expires > 0) cookie.setExpirationDate(QDateTime::fromSecsSinceEpoch(f.expires));
  return cookie;
}

QUrl cookieOrigin(const acquisition::CookieFields& f) {
  QUrl origin;
  origin.setScheme(f.secure ? QStringLiteral("https") : QStringLiteral("http"));
  origin.setHost(QString::fromStdString(f.domain));
  origin.setPath(QString::fromStdString(f.path.empty() ? "/" : f.path));
  return origin;
}

CookieMirror::CookieMirror(QWebEngineCookieStore* store, const QString& cookieFile, QObject* parent)
    : QObject(parent),
      store_(store),
      file_(std::make_unique<acquisition::CookieFile>(cookieFile.toStdString())),
      engine_(std::make_unique<acquisition::HttpFetcher>()),
      soon_(new QTimer(this)),
      poll_(new QTimer(this)) {
  soon_->setSingleShot(true);
  soon_->setInterval(kSoonMs);
  connect(soon_, &QTimer::timeout, this, &CookieMirror::sync);
  poll_->setInterval(kPollMs);
  connect(poll_, &QTimer::timeout, this, &CookieMirror::sync);
  poll_->start();
  connect(store_, &QWebEngineCookieStore::cookieAdded, this, [this](const QNetworkCookie& c) {
    live_.insert(keyOf(c), c);
    dirty_ = true;
    soon_->start();
  });
  connect(store_, &QWebEngineCookieStore::cookieRemoved, this, [this](const QNetworkCookie& c) {
    live_.remove(keyOf(c));
    dirty_ = true;
    soon_->start();
  });
  store_->loadAllCookies();
  soon_->start();
}

// What the store gained last is kept before the mirror goes.
CookieMirror::~CookieMirror() {
  if (soon_->isActive()) sync();
}

QString CookieMirror::keyOf(const QNetworkCookie& cookie) {
  return QString::fromLatin1(cookie.name().toHex()) + QLatin1Char('\t') + cookie.domain() +
         QLatin1Char('\t') + cookie.path();
}

void CookieMirror::sync() {
  if (dirty_) {
    // The store's cookies as libcurl's lines, each line knowing its cookie.
    keyOfLine_.clear();
    engine_->replaceCookies({});
    for (auto it = live_.cbegin(); it != live_.cend(); ++it) {
      const std::string header = "Set-Cookie: " + it.value().toRawForm().toStdString();
      acquisition::HttpFetcher one;
      one.addCookie(header);
      for (const std::string& line : one.cookieLines()) keyOfLine_[line] = it.key();
      engine_->addCookie(header);
    }
    dirty_ = false;
  }
  const std::vector<std::string> before = sorted(engine_->cookieLines());
  std::string error = file_->beforeFetch(*engine_);
  if (error.empty()) error = file_->afterFetch(*engine_);
  if (!error.empty()) {
    if (failed_) failed_(QString::fromStdString(error));
    return;
  }
  const std::vector<std::string> after = sorted(engine_->cookieLines());
  for (const std::string& line : before) {
    if (holds(after, line)) continue;
    const auto key = keyOfLine_.find(line);
    if (key == keyOfLine_.end()) continue;
    store_->deleteCookie(live_.value(key->second));
    live_.remove(key->second);
  }
  for (const std::string& line : after) {
    if (holds(before, line)) continue;
    const std::optional<acquisition::CookieFields> fields = acquisition::cookieFields(line);
    if (!fields) continue;
    const QNetworkCookie cookie = browserCookie(*fields);
    live_.insert(keyOf(cookie), cookie);
    keyOfLine_[line] = keyOf(cookie);
    // A cookie for its host alone is set without a domain.
    QNetworkCookie forStore = cookie;
    if (!fields->subdomains) forStore.setDomain(QString());
    store_->setCookie(forStore, cookieOrigin(*fields));
  }
}

void CookieMirror::takeFile() {
  sync();
}

void CookieMirror::forget() {
  soon_->stop();
  store_->deleteAllCookies();
  live_.clear();
  keyOfLine_.clear();
  engine_->replaceCookies({});
  const std::string error = file_->clear();
  if (!error.empty() && failed_) failed_(QString::fromStdString(error));
}

LoginProfile::LoginProfile(const QString& folder, bool lasting, QObject* parent)
    : QObject(parent), folder_(folder) {
  QDir dir(folder);
  const QString storage = dir.filePath(QStringLiteral("browser"));
  if (lasting && dir.exists(kForgetMark)) {
    QDir(storage).removeRecursively();
    dir.remove(kForgetMark);
  }
  if (lasting) dir.mkpath(QStringLiteral("browser"));
  QFile::setPermissions(folder, kOwnerOnly);
  if (lasting) {
    QFile::setPermissions(storage, kOwnerOnly);
    profile_ = new QWebEngineProfile(QStringLiteral("kelvane-login"), this);
    profile_->setPersistentStoragePath(storage);
    // Session cookies too: a login that lasts "until the browser closes"
    // lasts until the user forgets it.
    profile_->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
  } else {
    profile_ = new QWebEngineProfile(this);  // off the record
  }
  profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
  prepareProfile(profile_);
  mirror_ = new CookieMirror(profile_->cookieStore(),
                             dir.filePath(QString::fromLatin1(settings::kCookieFileName)), this);
}

// The mirror writes what is pending while the store is still there.
LoginProfile::~LoginProfile() {
  delete mirror_;
}

void LoginProfile::forget() {
  mirror_->forget();
  profile_->clearHttpCache();
  profile_->clearAllVisitedLinks();
  QFile mark(QDir(folder_).filePath(kForgetMark));
  if (mark.open(QIODevice::WriteOnly)) mark.close();
}

}  // namespace kelvane::platform
