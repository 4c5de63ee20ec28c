// Follows how calm a page is, for the settle wait that ends once the page
// has settled. A script in a world of its own, which the page's scripts
// cannot see, notes when the document last changed (a MutationObserver) and
// which requests the page has finished (its resource timeline); the page's
// requests are seen leaving through an interceptor. A request is in flight
// from the one to the other.
#pragma once

#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <QWebEngineUrlRequestInterceptor>
#include <chrono>
#include <set>

#include "acquisition/browser.h"

class QWebEnginePage;

namespace kelvane::platform {

class PageActivityWatch : public QWebEngineUrlRequestInterceptor {
  Q_OBJECT

 public:
  using Clock = std::chrono::steady_clock;

  explicit PageActivityWatch(QObject* parent = nullptr);
  ~PageActivityWatch() override;

  // Watches this page from its next document on.
  void attach(QWebEnginePage* page);
  // A new document is on its way: what was seen of the old one goes.
  void reset();
  // What has been seen so far. Asks the page again in the background, so
  // the answer is at most one poll old.
  acquisition::PageActivity activity();

  void interceptRequest(QWebEngineUrlRequestInfo& info) override;

 private:
  void ask();
  void answer(const QVariantMap& answer);
  void finished(const QString& url);

  QPointer<QWebEnginePage> page_;
  // Requests seen leaving and not yet finished, by address.
  std::multiset<QString> inFlight_;
  Clock::time_point requestsQuietSince_;
  Clock::time_point changedAt_;
  // When the page last answered a question, and when the question now
  // open was asked (max() when none is).
  Clock::time_point answeredAt_;
  Clock::time_point askedAt_;
  bool answered_ = false;
  bool scripted_ = false;
  bool asking_ = false;
  // Told apart so that a late answer about an old document is dropped.
  quint64 document_ = 0;
};

// The key a request is matched by: its address without the fragment.
QString requestKey(const QUrl& url);

}  // namespace kelvane::platform
