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
namespace kelvane::settings {
class FolderLock;
}

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
  // The profile, made (with its folder) on the first call. Chromium's store
  // is not safe for two processes: while another window of the same watch
  // holds the folder's lock, this one's profile is off the record (the login
  // still shared through the cookie file), and a message says so.
  QWebEngineProfile* profile();
  // Whether this window holds the watch's lasting profile (after profile()).
  bool lasting() const;
  // Asks, then forgets the login: cookies in the browser and the cookie
  // file, the cache, and the site storage from the next start.
  void forget(QWidget* window, platform::Dialogs& dialogs);

 private:
  void tellSharedStore();

  QWidget* holder_;
  std::function<void(const QString&)> failed_;
  QString folder_;
  std::unique_ptr<settings::FolderLock> lock_;  // held while the profile lives
  std::unique_ptr<platform::LoginProfile> login_;
};

}  // namespace kelvane::ui
