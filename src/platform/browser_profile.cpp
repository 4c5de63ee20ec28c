#include "platform/browser_profile.h"

#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>
#include <algorithm>

#include "platform/measurement_knobs.h"

namespace kelvane::platform {
namespace {

// The browser's HTTP cache stays in memory and small: a page watched is
// loaded afresh anyway, and a watcher of many pages would otherwise keep
// each of them (up to 50 MB by default).
constexpr int kHttpCacheBytes = 8 << 20;

// What a page asks for that cannot change its markup: it is only shown (or
// sent away). A page's scripts see such a load fail, as with an ad blocker.
bool onlyShown(QWebEngineUrlRequestInfo::ResourceType type) {
  using Info = QWebEngineUrlRequestInfo;
  switch (type) {
    case Info::ResourceTypeImage:
    case Info::ResourceTypeFontResource:
    case Info::ResourceTypeMedia:
    case Info::ResourceTypePrefetch:
    case Info::ResourceTypeFavicon:
    case Info::ResourceTypePing:
    case Info::ResourceTypeCspReport:
    case Info::ResourceTypePluginResource:
      return true;
    default:
      return false;
  }
}

// Asks the server again for every document the page navigates to. A page
// served with an old Last-Modified and no cache headers counts as fresh for
// a while (a tenth of its age), and the cache would answer for it without
// asking; "no-cache" makes the cache fetch it anew. The images, scripts and
// styles of the page may still come from the cache: they are not what the
// page's text is read from. For a browser nobody looks at, what is only
// shown is not asked for at all.
class FreshNavigations : public QWebEngineUrlRequestInterceptor {
 public:
  FreshNavigations(PageParts parts, QObject* parent)
      : QWebEngineUrlRequestInterceptor(parent), parts_(parts) {}

  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    const auto type = info.resourceType();
    if (parts_ == PageParts::MarkupOnly && onlyShown(type)) {
      info.block(true);
      return;
    }
    if (type != QWebEngineUrlRequestInfo::ResourceTypeMainFrame) return;
    info.setHttpHeader("Cache-Control", "no-cache");
    info.setHttpHeader("Pragma", "no-cache");
  }

 private:
  const PageParts parts_;
};

}  // namespace

void setBrowserSwitches(QStringList switches) {
  // Only fatal messages: the browser otherwise writes its warnings about the
  // graphics, the sandbox and the pages to standard error.
  switches.prepend(QStringLiteral("--log-level=3"));
  const QString user = qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS").trimmed();
  const QStringList users = user.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  QStringList flags;
  for (const QString& wanted : switches) {
    const QString name = wanted.section(QLatin1Char('='), 0, 0);
    const bool named = std::any_of(users.begin(), users.end(), [&name](const QString& given) {
      return given.section(QLatin1Char('='), 0, 0) == name;
    });
    if (!named) flags << wanted;
  }
  if (!user.isEmpty()) flags << user;  // as the user wrote it
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.join(QLatin1Char(' ')).toLocal8Bit());
}

void prepareProfile(QWebEngineProfile* profile, PageParts parts) {
  if (profile->findChild<FreshNavigations*>(QString(), Qt::FindDirectChildrenOnly)) return;
  if (measureSwitchedOff("KELVANE_WITHOUT_SKIPPED_PARTS")) parts = PageParts::Everything;
  profile->setUrlRequestInterceptor(new FreshNavigations(parts, profile));
  if (parts == PageParts::MarkupOnly) {
    // The page does not even ask for its images and icons; the requests
    // that still come (a preload, a font) are stopped above.
    QWebEngineSettings* settings = profile->settings();
    settings->setAttribute(QWebEngineSettings::AutoLoadImages, false);
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
  }
  if (!profile->isOffTheRecord()) return;  // a stored profile keeps its own cache settings
  if (measureSwitchedOff("KELVANE_WITHOUT_CACHE_CAP")) return;
  profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
  profile->setHttpCacheMaximumSize(kHttpCacheBytes);
}

}  // namespace kelvane::platform
