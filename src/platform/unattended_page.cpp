#include "platform/unattended_page.h"

#include <QAuthenticator>
#include <QCoreApplication>
#include <QWebEngineSettings>

#include "acquisition/address.h"

namespace kelvane::platform {

UnattendedPage::UnattendedPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {
  // A page read from a file may show the files it names (its images, its
  // styles), but its scripts cannot read other files into the page.
  settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  // An empty authenticator cancels the request: the page shows what the
  // server sent with its refusal, and the load ends with its status.
  connect(this, &QWebEnginePage::authenticationRequired, this,
          [](const QUrl&, QAuthenticator* authenticator) { *authenticator = QAuthenticator(); });
  connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
          [](const QUrl&, QAuthenticator* authenticator, const QString&) {
            *authenticator = QAuthenticator();
          });
}

bool UnattendedPage::acceptNavigationRequest(const QUrl& url, NavigationType type,
                                             bool isMainFrame) {
  // The program's own loads, and going back to or reloading one of them.
  // What a frame inside the page shows does not reach the page's text.
  if (type == NavigationTypeTyped || type == NavigationTypeReload ||
      type == NavigationTypeBackForward || !isMainFrame) {
    return true;
  }
  if (acquisition::isWebAddress(url.toString(QUrl::FullyEncoded).toStdString())) return true;
  if (refused_) refused_(url);
  return false;
}

bool UnattendedPage::javaScriptConfirm(const QUrl&, const QString& message) {
  // The question a page's "beforeunload" handler has the browser ask: the
  // browser leaves, or the next page could never be loaded.
  static const QString leaving = QCoreApplication::translate(
      "QWebEnginePage",
      "Are you sure you want to leave this page? Changes that you made may not be saved.");
  return message == leaving;
}

}  // namespace kelvane::platform
