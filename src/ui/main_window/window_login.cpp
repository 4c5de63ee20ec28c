#include "ui/main_window/window_login.h"

#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QWebEngineView>

#include "platform/dialogs.h"
#include "platform/login_profile.h"
#include "platform/message_box.h"
#include "settings/folder_lock.h"
#include "settings/settings_place.h"

namespace kelvane::ui {

WindowLogin::WindowLogin(QWidget* holder, std::function<void(const QString&)> failed)
    : holder_(holder), failed_(std::move(failed)) {}

WindowLogin::~WindowLogin() {
  // A page still made with the profile would outlive it; the lock goes last.
  if (login_ && holder_) qDeleteAll(holder_->findChildren<QWebEngineView*>());
  login_.reset();
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
    lock_ = std::make_unique<settings::FolderLock>(
        QDir(folder_).filePath(QString::fromLatin1(settings::kLoginLockName)).toStdString());
    login_ = std::make_unique<platform::LoginProfile>(folder_, lock_->held());
    if (failed_) login_->cookies()->onFailure(failed_);
    if (!lock_->held()) tellSharedStore();
  }
  return login_->profile();
}

bool WindowLogin::lasting() const {
  return lock_ && lock_->held();
}

// Said beside the window, never in its way: a box that waits for nobody, so
// an automatic update goes on while it is open.
void WindowLogin::tellSharedStore() {
  auto* box = new QMessageBox(
      QMessageBox::Information, QString::fromUtf8(platform::kApplicationTitle),
      QCoreApplication::translate(
          "Form1",
          "このウォッチは別のウィンドウでも開かれていて、そちらがブラウザーのログイン情報を"
          "使っています。このウィンドウのブラウザーは一時的なプロファイルで動きます：Cookie は"
          "共有されますが、このウィンドウで保存したサイトのデータは終了時に消えます。"),
      QMessageBox::Ok, holder_ ? holder_->window() : nullptr);
  box->setObjectName(QStringLiteral("msgSharedLogin"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->show();
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
