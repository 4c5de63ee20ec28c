#include "platform/browser_profile.h"

#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>

#include "platform/measurement_knobs.h"

namespace kelvane::platform {
namespace {

// The browser's HTTP cache stays in memory and small: a page watched is
// loaded afresh anyway, and a watcher of many pages would otherwise keep
// each of them (up to 50 MB by default).
constexpr int kHttpCacheBytes = 8 << 20;

// Asks the server again for every document the page navigates to. A page
// served with an old Last-Modified and no cache headers counts as fresh for
// a while (a tenth of its age), and the cache would answer for it without
// asking; "no-cache" makes the cache fetch it anew. The images, scripts and
// styles of the page may still come from the cache: they are not what the
// page's text is read from.
class FreshNavigations : public QWebEngineUrlRequestInterceptor {
 public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    if (info.resourceType() != QWebEngineUrlRequestInfo::ResourceTypeMainFrame) return;
    info.setHttpHeader("Cache-Control", "no-cache");
    info.setHttpHeader("Pragma", "no-cache");
  }
};

}  // namespace

void prepareProfile(QWebEngineProfile* profile) {
  if (profile->findChild<FreshNavigations*>(QString(), Qt::FindDirectChildrenOnly)) return;
  profile->setUrlRequestInterceptor(new FreshNavigations(profile));
  if (!profile->isOffTheRecord()) return;  // a stored profile keeps its own cache settings
  if (measureSwitchedOff("KELVANE_WITHOUT_CACHE_CAP")) return;
  profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
  profile->setHttpCacheMaximumSize(kHttpCacheBytes);
}

}  // namespace kelvane::platform
