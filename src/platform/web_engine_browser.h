// The embedded browser over Qt WebEngine: navigation with the address as the
// user typed it, Busy from the start of a navigation until it has finished,
// failures told apart from pages, and the body markup read back through the
// page's script engine. Works with the window's view or with a view of its
// own that is never shown (kelvane-run, tests).
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "acquisition/browser.h"
#include "acquisition/page_cap.h"
#include "platform/browser_profile.h"

class QTimer;
class QWebEngineDownloadRequest;
class QWebEngineLoadingInfo;
namespace kelvane::platform {
class PageActivityWatch;
}
class QWebEngineProfile;

namespace kelvane::platform {

// The address the browser goes to for what the user typed
// (acquisition::resolveAddress, read from currentDir) as Qt's URL. A text
// that gives no address, or one Qt cannot parse, gives nothing and a reason
// in *error.
std::optional<QUrl> resolveAddress(const QString& text, const QString& currentDir, QString* error);

// True when going from the address shown to target stays in the same
// document: the same address with another fragment. Going to the very same
// address again is a reload.
bool isFragmentOf(const QUrl& target, const QUrl& shown);

// The resident memory a page's process may reach. A page of 64 MiB of
// ordinary markup stays well under it; a larger page, or one that inflates
// from a small compressed body, would take gigabytes.
inline constexpr int64_t kRendererMemoryCapBytes = int64_t{1024} << 20;

class WebEngineBrowser : public QObject, public acquisition::Browser {
  Q_OBJECT

 public:
  // Drives the given view (the window's).
  explicit WebEngineBrowser(QWebEngineView* view, QObject* parent = nullptr);
  // Makes a view of its own that is never shown, with a profile that keeps
  // nothing on disk and loads the given parts of a page.
  explicit WebEngineBrowser(PageParts parts = PageParts::Everything, QObject* parent = nullptr);
  ~WebEngineBrowser() override;

  // WebBrowser1's Navigate and Busy: start a load of the address as the
  // user typed it; true from its start until it has finished.
  void Navigate(std::u16string_view url);
  bool Busy() const { return busy_; }
  void startLoading(std::u16string_view url) override { Navigate(url); }
  bool loading() const override { return Busy(); }
  std::optional<std::u16string> loadError() const override { return error_; }
  std::optional<std::u16string> bodyHtml() override { return bodyHtmlUnless({}); }
  std::optional<std::u16string> bodyHtmlUnless(const std::function<bool()>& giveUp) override;
  void watchActivity() override;
  std::optional<acquisition::PageActivity> activity() override;
  // The address after redirects, an HTTP error status, and the encoding
  // (known once bodyHtml has read the page).
  void describeLoad(acquisition::LoadRecord& record) const override;

  // Puts an empty page in the view in place of the one shown, so that the
  // browser frees the document, its scripts and its renderer process.
  // kelvane-run does this when a run ends; the window keeps its page on show.
  void leavePage();

  QWebEngineView* view() const { return view_; }
  // How long bodyHtml waits for the page's answer.
  void setAnswerTimeout(std::chrono::milliseconds timeout) { answerTimeout_ = timeout; }
  // How much a page may take: the characters of its body markup that
  // bodyHtml hands over, and the resident memory of the page's process,
  // looked at several times a second. A page over either fails to load
  // with the reason; the process of a page over the memory cap is ended.
  void setPageCaps(size_t markupChars, int64_t processBytes) {
    markupCap_ = markupChars;
    memoryCap_ = processBytes;
  }
  // The most characters of markup bodyHtml takes over at once.
  void setMarkupPiece(size_t chars) { markupPiece_ = chars; }

 private:
  void attach();
  void onLoadingChanged(const QWebEngineLoadingInfo& info);
  void onLoadingChangedUnlessRefused(const QWebEngineLoadingInfo& info);
  void onRendererGone(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode);
  void checkRendererMemory();
  void onDownloadRequested(QWebEngineDownloadRequest* download);
  // The page tried to go off the web (UnattendedPage): the load fails.
  void onNavigationRefused(const QUrl& url);

  QPointer<QWebEngineView> view_;
  std::unique_ptr<QWebEngineProfile> ownProfile_;
  std::unique_ptr<QWebEngineView> ownView_;
  bool busy_ = false;
  // Navigate was called on an idle browser and its start has not come yet.
  bool awaitingStart_ = false;
  std::optional<std::u16string> error_;
  // The final address, an error status and the charset of the last load.
  acquisition::LoadRecord facts_;
  // The last navigation failed: the view shows the browser's error page.
  bool errorShown_ = false;
  // The last navigation turned out to be a file to save, which the browser
  // does not save: why, for the failure that ends it.
  std::optional<QString> download_;
  // Since the last Navigate, the page tried to go off the web: why the load
  // fails, whatever the browser reports of it.
  std::optional<std::u16string> refused_;
  // The page's renderer process ended under the document: error_ says so.
  bool rendererGone_ = false;
  std::chrono::milliseconds answerTimeout_{30'000};
  size_t markupCap_ = acquisition::kPageCapBytes;
  // Half a megabyte on its way: a 1 MB listing page comes over in four.
  size_t markupPiece_ = size_t{256} << 10;
  int64_t memoryCap_ = kRendererMemoryCapBytes;
  // Runs while an aborted load waits to learn whether it was a download.
  QTimer* abortHold_ = nullptr;
  // Looks at the memory of the page's process.
  QTimer* memoryWatch_ = nullptr;
  // The page's process was ended for its memory: the reason says so.
  bool overMemory_ = false;
  // Made by the first watchActivity(); follows every page shown after.
  PageActivityWatch* activity_ = nullptr;
};

}  // namespace kelvane::platform
