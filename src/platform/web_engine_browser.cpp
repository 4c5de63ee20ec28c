#include "platform/web_engine_browser.h"

#include "acquisition/address.h"
#include "acquisition/direct/image_size.h"
#include "platform/body_markup.h"
#include "platform/browser_profile.h"
#include "platform/measurement_knobs.h"
#include "platform/page_activity.h"
#include "platform/unattended_page.h"

#include <signal.h>

#include <fstream>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace kelvane::platform {
namespace {

std::u16string toU16(const QString& s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                        static_cast<size_t>(s.size()));
}

// How long leavePage waits for the renderer process of the page left.
constexpr qint64 kRendererExitMs = 2000;

// How long an aborted load waits for the browser to offer its response as
// a download (a few milliseconds after the abort as a rule).
constexpr int kDownloadOfferMs = 500;

// How often the memory of the page's process is looked at: a page that
// inflates grows by a few hundred megabytes a second at most.
constexpr int kMemoryWatchMs = 200;

// The resident memory of a process, from the kernel's account of it; 0 when
// it cannot be read (the process has gone).
int64_t residentBytes(qint64 pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atoll(line.c_str() + 6) * 1024;  // in kB
  }
  return 0;
}

std::u16string withAddress(const QString& reason, const QUrl& address) {
  return toU16(reason + QStringLiteral(" (") + address.toDisplayString() + QStringLiteral(")"));
}

// Why a navigation ended in a file to save: a page, text or image the
// browser would show, had the server not asked for it to be saved
// (Content-Disposition), or a type it never shows.
QString downloadReason(const QWebEngineDownloadRequest& download) {
  const QString type = download.mimeType();
  const QString name = download.suggestedFileName();
  static const QStringList kShownTypes = {
      QStringLiteral("text/html"),  QStringLiteral("application/xhtml+xml"),
      QStringLiteral("text/plain"), QStringLiteral("application/json"),
      QStringLiteral("text/xml"),   QStringLiteral("application/xml"),
      QStringLiteral("image/png"),  QStringLiteral("image/jpeg"),
      QStringLiteral("image/gif"),  QStringLiteral("image/webp")};
  const bool shown = kShownTypes.contains(type);
  QString why = shown ? QStringLiteral("Content-Disposition: attachment")
                      : (type.isEmpty() ? QStringLiteral("no type given") : type);
  if (!name.isEmpty()) why += QStringLiteral(", file name \"%1\"").arg(name);
  return QStringLiteral("the server sends a file to save, not a page (%1)").arg(why);
}

}  // namespace

bool isFragmentOf(const QUrl& target, const QUrl& shown) {
  return target.hasFragment() && target != shown &&
         target.adjusted(QUrl::RemoveFragment) == shown.adjusted(QUrl::RemoveFragment);
}

std::optional<QUrl> resolveAddress(const QString& text, const QString& currentDir, QString* error) {
  const acquisition::ResolvedAddress resolved =
      acquisition::resolveAddress(toU16(text), currentDir.toStdString());
  // The browser is not asked to guess at an address Qt cannot parse.
  const QUrl url(QString::fromStdString(resolved.url), QUrl::TolerantMode);
  if (resolved.url.empty() || !url.isValid()) {
    *error = resolved.url.empty() ? QString::fromStdString(resolved.error)
                                  : QStringLiteral("the address cannot be parsed: ") + text;
    return std::nullopt;
  }
  return url;
}

WebEngineBrowser::WebEngineBrowser(QWebEngineView* view, QObject* parent)
    : QObject(parent), view_(view) {
  prepareProfile(view_->page()->profile());
  view_->setPage(new UnattendedPage(view_->page()->profile(), view_));
  attach();
}

WebEngineBrowser::WebEngineBrowser(PageParts parts, QObject* parent) : QObject(parent) {
  ownProfile_ = std::make_unique<QWebEngineProfile>();  // off the record
  prepareProfile(ownProfile_.get(), parts);
  ownView_ = std::make_unique<QWebEngineView>();
  ownView_->setPage(new UnattendedPage(ownProfile_.get(), ownView_.get()));
  ownView_->resize(acquisition::kUnattendedView.width, acquisition::kUnattendedView.height);
  // Shown without reaching the screen: a hidden page gets its timers and
  // animation frames throttled, and its scripts would not settle.
  ownView_->setAttribute(Qt::WA_DontShowOnScreen);
  ownView_->show();
  // Nor is it painted: the page still counts as shown and gets its frames,
  // but no window image is kept and copied for a screen nobody looks at.
  if (!measureSwitchedOff("KELVANE_WITHOUT_UNPAINTED_VIEW")) ownView_->setUpdatesEnabled(false);
  view_ = ownView_.get();
  attach();
}

WebEngineBrowser::~WebEngineBrowser() {
  // The page goes before the profile it was made with.
  ownView_.reset();
  ownProfile_.reset();
}

void WebEngineBrowser::attach() {
  if (!abortHold_) {
    abortHold_ = new QTimer(this);
    abortHold_->setSingleShot(true);
    abortHold_->setInterval(kDownloadOfferMs);
    connect(abortHold_, &QTimer::timeout, this, [this] { busy_ = false; });
  }
  if (!memoryWatch_) {
    memoryWatch_ = new QTimer(this);
    connect(memoryWatch_, &QTimer::timeout, this, &WebEngineBrowser::checkRendererMemory);
    memoryWatch_->start(kMemoryWatchMs);
  }
  if (auto* page = dynamic_cast<UnattendedPage*>(view_->page())) {
    page->onRefusedNavigation([this](const QUrl& url) { onNavigationRefused(url); });
  }
  connect(view_->page(), &QWebEnginePage::loadingChanged, this,
          &WebEngineBrowser::onLoadingChanged);
  connect(view_->page(), &QWebEnginePage::renderProcessTerminated, this,
          &WebEngineBrowser::onRendererGone);
  // Pages of one profile share its downloads: each browser takes its own.
  connect(view_->page()->profile(), &QWebEngineProfile::downloadRequested, this,
          &WebEngineBrowser::onDownloadRequested, Qt::UniqueConnection);
  if (activity_) activity_->attach(view_->page());
}

void WebEngineBrowser::watchActivity() {
  if (activity_ || !view_) return;
  activity_ = new PageActivityWatch(this);
  activity_->attach(view_->page());
}

std::optional<acquisition::PageActivity> WebEngineBrowser::activity() {
  if (!activity_) return std::nullopt;
  return activity_->activity();
}

void WebEngineBrowser::describeLoad(acquisition::LoadRecord& record) const {
  record.finalUrl = facts_.finalUrl;
  record.status = facts_.status;
  record.charset = facts_.charset;
}

void WebEngineBrowser::Navigate(std::u16string_view text) {
  const QString typed = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
  facts_ = {};
  QString reason;
  auto url = resolveAddress(typed, QDir::currentPath(), &reason);
  if (url && !view_) {
    url.reset();
    reason = QStringLiteral("the browser is closed");
  }
  if (!url) {
    busy_ = false;
    awaitingStart_ = false;
    error_ = toU16(reason);
    return;
  }
  if (abortHold_->isActive()) {
    abortHold_->stop();
    busy_ = false;
  }
  error_.reset();
  download_.reset();
  refused_.reset();
  rendererGone_ = false;
  QWebEnginePage* page = view_->page();
  if (url->scheme() == QLatin1String("javascript")) {
    // A script address runs in the page shown, as an address bar runs it:
    // everything after the scheme, "?" and "#" included, percent-decoded as
    // UTF-8. The browser reports no navigation for it; a navigation the
    // script starts makes the browser busy through its own start.
    const QByteArray encoded = url->toEncoded(QUrl::RemoveScheme);
    page->runJavaScript(QString::fromUtf8(QByteArray::fromPercentEncoding(encoded)));
    return;
  }
  if (!busy_ && !errorShown_ && isFragmentOf(*url, page->url())) {
    // Another fragment of the document shown: the browser only scrolls to
    // it and reports neither a start nor a finish.
    page->load(*url);
    return;
  }
  // A navigation that replaces one still going gets no start of its own:
  // the next finish is its own. Otherwise a finish before its start belongs
  // to the navigation it replaced.
  awaitingStart_ = !busy_;
  busy_ = true;
  if (activity_) activity_->reset();
  page->load(*url);
}

void WebEngineBrowser::onNavigationRefused(const QUrl& url) {
  if (!view_) return;
  refused_ = withAddress(QStringLiteral("the page leads to %1, which is neither http: nor https: "
                                        "and is not followed")
                             .arg(url.toDisplayString()),
                         view_->page()->url());
  error_ = refused_;
}

void WebEngineBrowser::onLoadingChanged(const QWebEngineLoadingInfo& info) {
  onLoadingChangedUnlessRefused(info);
  // A page that tried to leave the web has failed, whatever came after.
  if (refused_) {
    error_ = refused_;
    if (abortHold_->isActive()) {
      abortHold_->stop();
      busy_ = false;
    }
  }
}

void WebEngineBrowser::onLoadingChangedUnlessRefused(const QWebEngineLoadingInfo& info) {
  switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
      // Also a link the user clicked: Busy covers every navigation.
      abortHold_->stop();
      busy_ = true;
      awaitingStart_ = false;
      rendererGone_ = false;
      download_.reset();
      error_.reset();
      facts_ = {};
      return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
      if (awaitingStart_) return;
      abortHold_->stop();
      busy_ = false;
      errorShown_ = false;
      error_.reset();
      facts_.finalUrl = info.url().toString().toStdString();
      return;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
    case QWebEngineLoadingInfo::LoadFailedStatus: {
      if (awaitingStart_) return;
      busy_ = false;
      errorShown_ = true;
      // The renderer's end says more than the stop it caused.
      if (rendererGone_) return;
      const QString address = info.url().toDisplayString();
      QString reason;
      facts_.finalUrl = info.url().toString().toStdString();
      if (download_) {
        reason = *download_;
      } else if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
        facts_.status = info.errorCode();
        reason = QStringLiteral("HTTP status %1").arg(info.errorCode());
      } else if (!info.errorString().isEmpty()) {
        reason = info.errorString();
      } else {
        reason = QStringLiteral("the load was stopped");
      }
      error_ = toU16(reason + QStringLiteral(" (") + address + QStringLiteral(")"));
      if (!download_ && reason.startsWith(QLatin1String("net::ERR_ABORTED"))) {
        // A response the browser saves rather than shows aborts the load
        // first and is offered for download after: the load stays busy a
        // moment for the reason.
        busy_ = true;
        abortHold_->start();
      }
      return;
    }
  }
}

void WebEngineBrowser::onDownloadRequested(QWebEngineDownloadRequest* download) {
  if (!view_ || download->page() != view_->page() || download->isSavePageDownload()) return;
  // Never saved: a file the page sends is not what a run reads. The
  // navigation ends aborted, after this or before it.
  download->cancel();
  download_ = downloadReason(*download);
  if (abortHold_->isActive()) {
    abortHold_->stop();
    busy_ = false;
    error_ = withAddress(*download_, download->url());
  }
}

void WebEngineBrowser::checkRendererMemory() {
  if (!view_ || overMemory_) return;
  const qint64 pid = view_->page()->renderProcessPid();
  if (pid <= 0 || residentBytes(pid) <= memoryCap_) return;
  // Stopping the load would not give back what the document holds: the
  // process goes, and the page with it (a later navigation starts another).
  overMemory_ = true;
  ::kill(static_cast<pid_t>(pid), SIGKILL);
}

void WebEngineBrowser::onRendererGone(QWebEnginePage::RenderProcessTerminationStatus status,
                                      int exitCode) {
  if (status == QWebEnginePage::NormalTerminationStatus) return;
  // The document shown went with the process: what was loaded is lost.
  QString reason;
  if (overMemory_) {
    reason = QStringLiteral("the page is too large: its process needed more than %1 MiB")
                 .arg(memoryCap_ >> 20);
  } else {
    switch (status) {
      case QWebEnginePage::CrashedTerminationStatus:
        reason = QStringLiteral("the page's process crashed");
        break;
      case QWebEnginePage::KilledTerminationStatus:
        reason = QStringLiteral("the page's process was killed");
        break;
      default:
        reason = QStringLiteral("the page's process ended abnormally");
        break;
    }
    reason += QStringLiteral(" (exit status %1)").arg(exitCode);
  }
  overMemory_ = false;
  abortHold_->stop();
  busy_ = false;
  awaitingStart_ = false;
  errorShown_ = true;
  rendererGone_ = true;
  error_ = withAddress(reason, view_->page()->url());
}

std::optional<std::u16string> WebEngineBrowser::bodyHtmlUnless(
    const std::function<bool()>& giveUp) {
  if (!view_) return std::nullopt;
  QWebEnginePage* page = view_->page();
  BodyMarkup read = readBodyMarkup(page, markupCap_, markupPiece_, answerTimeout_, giveUp);
  if (!read.charset.empty()) facts_.charset = std::move(read.charset);
  if (read.overCap) {
    // Too large to hand over: the load fails, as one over the cap of the
    // direct fetch does.
    error_ = withAddress(QString::fromStdString(acquisition::pageTooLargeReason(markupCap_)),
                         page->url());
  }
  return std::move(read.markup);
}

void WebEngineBrowser::leavePage() {
  if (!view_) return;
  QWebEnginePage* old = view_->page();
  const qint64 renderer = old->renderProcessPid();
  view_->setPage(new UnattendedPage(old->profile(), view_));
  // The page goes with its document, and its renderer process with it.
  delete old;
  attach();
  abortHold_->stop();
  busy_ = false;
  awaitingStart_ = false;
  errorShown_ = false;
  rendererGone_ = false;
  overMemory_ = false;
  error_.reset();
  // The process ends through the event loop: it is turned until then (a
  // short while), so that the memory is back before the caller goes idle.
  if (renderer <= 0 || view_->page()->renderProcessPid() == renderer) return;
  QElapsedTimer waited;
  waited.start();
  while (::kill(static_cast<pid_t>(renderer), 0) == 0 && waited.elapsed() < kRendererExitMs) {
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
  }
}

}  // namespace kelvane::platform
