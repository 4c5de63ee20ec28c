#include "platform/page_activity.h"

#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <algorithm>

namespace kelvane::platform {
namespace {

using std::chrono::duration_cast;
using std::chrono::milliseconds;
using namespace std::chrono_literals;

// A question unanswered for this long means the page's main thread is
// busy: an idle page answers within a few milliseconds, tens on a loaded
// machine.
constexpr auto kAnswerLate = 500ms;

const QString kScriptName = QStringLiteral("kelvane-activity");

// Runs when each document of the page is made, in the application's world.
// The document is watched from the end of its parse on: before that it is
// busy anyway, and watching the parser build a document of a million
// elements would make as many change records. The list of finished
// requests is emptied by every question, and kept short when nobody asks (a
// page left on show for days).
constexpr char kWatchScript[] = R"(
(function () {
  if (window.__kelvaneActivity) return;
  var a = window.__kelvaneActivity = { changed: -1, done: [] };
  function watch() {
    a.changed = performance.now();
    new MutationObserver(function () { a.changed = performance.now(); })
        .observe(document, { subtree: true, childList: true, attributes: true, characterData: true });
  }
  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', watch);
  else watch();
  try {
    new PerformanceObserver(function (list) {
      list.getEntries().forEach(function (e) {
        if (a.done.length < 1000) a.done.push(e.name);
      });
    }).observe({ type: 'resource', buffered: true });
  } catch (e) {}
})();
)";

constexpr char kAskScript[] = R"(
(function () {
  var a = window.__kelvaneActivity, b = document.body;
  var done = a ? a.done : [];
  if (a) a.done = [];
  return { quiet: a && a.changed >= 0 ? performance.now() - a.changed : -1, done: done,
           scripted: document.scripts.length > 0 || !!(b && b.hasAttribute('onload')) };
})()
)";

// The requests that can bring what a script then writes into the document:
// scripts and data the page fetches, from a document of the page's own
// origin (a frame of another origin keeps its timeline to itself). Images,
// media, fonts and frames change nothing in the body's markup.
bool counts(const QWebEngineUrlRequestInfo& info) {
  const auto type = info.resourceType();
  if (type != QWebEngineUrlRequestInfo::ResourceTypeScript &&
      type != QWebEngineUrlRequestInfo::ResourceTypeXhr) {
    return false;
  }
  const QUrl url = info.requestUrl();
  if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) return false;
  const QUrl page = info.firstPartyUrl();
  const QUrl from = info.initiator();
  return from.scheme() == page.scheme() && from.host() == page.host() &&
         from.port(-1) == page.port(-1);
}

}  // namespace

QString requestKey(const QUrl& url) {
  return url.adjusted(QUrl::RemoveFragment).toString(QUrl::FullyEncoded);
}

PageActivityWatch::PageActivityWatch(QObject* parent) : QWebEngineUrlRequestInterceptor(parent) {
  reset();
}

PageActivityWatch::~PageActivityWatch() {
  if (page_) page_->setUrlRequestInterceptor(nullptr);
}

void PageActivityWatch::attach(QWebEnginePage* page) {
  if (page_ == page) return;
  if (page_) page_->setUrlRequestInterceptor(nullptr);
  page_ = page;
  page->setUrlRequestInterceptor(this);
  if (page->scripts().find(kScriptName).isEmpty()) {
    QWebEngineScript script;
    script.setName(kScriptName);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(QString::fromLatin1(kWatchScript));
    page->scripts().insert(script);
  }
}

void PageActivityWatch::reset() {
  inFlight_.clear();
  requestsQuietSince_ = changedAt_ = answeredAt_ = Clock::now();
  answered_ = false;
  scripted_ = false;
  asking_ = false;
  askedAt_ = Clock::time_point::max();
  ++document_;
}

void PageActivityWatch::interceptRequest(QWebEngineUrlRequestInfo& info) {
  if (!counts(info)) return;
  inFlight_.insert(requestKey(info.requestUrl()));
}

void PageActivityWatch::finished(const QString& url) {
  // A finished request never seen leaving (one made before the watch began,
  // or of a kind not counted) is passed over.
  const auto it = inFlight_.find(requestKey(QUrl(url)));
  if (it == inFlight_.end()) return;
  inFlight_.erase(it);
  if (inFlight_.empty()) requestsQuietSince_ = Clock::now();
}

void PageActivityWatch::ask() {
  if (asking_ || !page_) return;
  asking_ = true;
  askedAt_ = Clock::now();
  QPointer<PageActivityWatch> self(this);
  const quint64 document = document_;
  page_->runJavaScript(QString::fromLatin1(kAskScript), QWebEngineScript::ApplicationWorld,
                       [self, document](const QVariant& value) {
                         if (!self || self->document_ != document) return;
                         self->answer(value.toMap());
                       });
}

void PageActivityWatch::answer(const QVariantMap& answer) {
  const auto now = Clock::now();
  // A late answer: the page's scripts held its main thread until now, and
  // what they did may come next.
  const bool late = now - askedAt_ > kAnswerLate;
  asking_ = false;
  askedAt_ = Clock::time_point::max();
  if (answer.isEmpty()) return;
  for (const QVariant& url : answer.value(QStringLiteral("done")).toList()) {
    finished(url.toString());
  }
  // A document still being parsed has not been quiet at all.
  const double quiet = answer.value(QStringLiteral("quiet")).toDouble();
  changedAt_ = quiet >= 0 && !late ? now - milliseconds(static_cast<int64_t>(quiet)) : now;
  scripted_ = answer.value(QStringLiteral("scripted")).toBool();
  answeredAt_ = now;
  answered_ = true;
}

acquisition::PageActivity PageActivityWatch::activity() {
  ask();
  // A page whose scripts keep it from answering is busy, however long ago
  // it last changed; one that answers is quiet as far as its answer goes.
  if (!answered_ || Clock::now() - askedAt_ > kAnswerLate) return {0ms, scripted_};
  const auto since = inFlight_.empty() ? std::max(changedAt_, requestsQuietSince_) : answeredAt_;
  return {duration_cast<milliseconds>(std::max(answeredAt_ - since, Clock::duration::zero())),
          scripted_};
}

}  // namespace kelvane::platform
