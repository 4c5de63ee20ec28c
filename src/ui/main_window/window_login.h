// The window's login: the lasting browser profile of its settings file,
// made when the browser is first needed, and ログイン情報を消去, which
// forgets it after asking.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class QWebEngineProfile;
class QWidget;

namespace kelvane::platform {
class Dialogs;
class LoginProfile;
}  // namespace kelvane::platform

namespace kelvane::ui {

class WindowLogin {
 public:
  // The pages of the browser inside holder go before the profile.
  // Failures to keep the cookie file are told to failed.
  WindowLogin(QWidget* holder, std::function<void(const QString&)> failed);
  ~WindowLogin();
  WindowLogin(const WindowLogin&) = delete;
  WindowLogin& operator=(const WindowLogin&) = delete;

  // The settings file the login belongs to; beside it for a portable copy
  // (settings/settings_place.h).
  void setSettingsPath(const QString& settingsPath, bool portable);
  QString folder() const { return folder_; }
  // The profile, made (with its folder) on the first call.
  QWebEngineProfile* profile();
  // Asks, then forgets the login: cookies in the browser and the cookie
  // file, the cache, and the site storage from the next start.
  void forget(QWidget* window, platform::Dialogs& dialogs);

 private:
  QWidget* holder_;
  std::function<void(const QString&)> failed_;
  QString folder_;
  std::unique_ptr<platform::LoginProfile> login_;
};

}  // namespace kelvane::ui
