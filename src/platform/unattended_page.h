// The page the browser shows, for a watcher that nobody sits in front of:
// the scripts' console messages stay in the page, a script's alert, confirm
// and prompt are answered at once as a user closing the box would (nothing,
// "cancel", no value), and a server asking for a password gets none, so the
// load ends with the server's answer instead of waiting or asking again and
// again.
#pragma once

#include <QWebEnginePage>
#include <functional>

namespace kelvane::platform {

// A page never leads the browser off the web: a navigation of the page's
// own (a redirect, a refresh, a link, a script) goes to http: and https:
// addresses only, and a page from a file cannot read other files. What the
// program loads itself (an address typed, the URL command's) may be a file.
class UnattendedPage : public QWebEnginePage {
 public:
  UnattendedPage(QWebEngineProfile* profile, QObject* parent);

  // Told of each navigation of the page's own that was refused.
  void onRefusedNavigation(std::function<void(const QUrl&)> handler) {
    refused_ = std::move(handler);
  }

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                const QString&) override {}
  void javaScriptAlert(const QUrl&, const QString&) override {}
  bool javaScriptConfirm(const QUrl&, const QString& message) override;
  bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override {
    return false;
  }

 private:
  std::function<void(const QUrl&)> refused_;
};

}  // namespace kelvane::platform
