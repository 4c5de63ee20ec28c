#include "ui/main_window/window_login.h"

#include <QCoreApplication>
#include <QWebEngineView>

#include "platform/dialogs.h"
#include "platform/login_profile.h"
#include "settings/settings_place.h"

namespace kelvane::ui {

WindowLogin::WindowLogin(QWidget* holder, std::function<void(const QString&)> failed)
    : holder_(holder), failed_(std::move(failed)) {}

WindowLogin::~WindowLogin() {
  // A page still made with the profile would outlive it.
  if (login_ && holder_) qDeleteAll(holder_->findChildren<QWebEngineView*>());
}

void WindowLogin::setSettingsPath(const QString& settingsPath, bool portable) {
  const std::string home = qEnvironmentVariable("HOME").toStdString();
  folder_ = QString::fromStdString(
      settings::loginFolder(settingsPath.toStdString(), portable,
                            qEnvironmentVariable("XDG_DATA_HOME").toStdString(), home));
}

QWebEngineProfile* WindowLogin::profile() {
  if (!login_) {
    settings::makePrivateFolder(folder_.toStdString());
    login_ = std::make_unique<platform::LoginProfile>(folder_);
    if (failed_) login_->cookies()->onFailure(failed_);
  }
  return login_->profile();
}

void WindowLogin::forget(QWidget* window, platform::Dialogs& dialogs) {
  const QString question = QCoreApplication::translate(
      "Form1",
      "このウォッチのログイン情報（Cookie とサイトのデータ）を消去します．"
      "ログインが必要なページには，もう一度ログインしてください．よろしいですか？");
  if (!dialogs.confirm(window, question)) return;
  profile();
  login_->forget();
}

}  // namespace kelvane::ui
