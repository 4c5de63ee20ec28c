#include "platform/unattended_page.h"

#include <QAuthenticator>
#include <QCoreApplication>

namespace kelvane::platform {

UnattendedPage::UnattendedPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {
  // An empty authenticator cancels the request: the page shows what the
  // server sent with its refusal, and the load ends with its status.
  connect(this, &QWebEnginePage::authenticationRequired, this,
          [](const QUrl&, QAuthenticator* authenticator) { *authenticator = QAuthenticator(); });
  connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
          [](const QUrl&, QAuthenticator* authenticator, const QString&) {
            *authenticator = QAuthenticator();
          });
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
