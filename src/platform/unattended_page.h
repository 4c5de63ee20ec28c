// The page the browser shows, for a watcher that nobody sits in front of:
// the scripts' console messages stay in the page, a script's alert, confirm
// and prompt are answered at once as a user closing the box would (nothing,
// "cancel", no value), and a server asking for a password gets none, so the
// load ends with the server's answer instead of waiting or asking again and
// again.
#pragma once

#include <QWebEnginePage>

namespace kelvane::platform {

class UnattendedPage : public QWebEnginePage {
 public:
  UnattendedPage(QWebEngineProfile* profile, QObject* parent);

 protected:
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                const QString&) override {}
  void javaScriptAlert(const QUrl&, const QString&) override {}
  bool javaScriptConfirm(const QUrl&, const QString& message) override;
  bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override {
    return false;
  }
};

}  // namespace kelvane::platform
