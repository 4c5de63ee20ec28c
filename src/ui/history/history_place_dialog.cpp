#include "ui/history/history_place_dialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <mutex>
#include <thread>

#include "history/address.h"
#include "history/store.h"
#include "history/watch_history.h"
#include "platform/dialogs.h"
#include "settings/secrets_file.h"
#include "textfile/text_codec.h"

namespace kelvane::ui {
// A test runs on a thread of its own: a server that does not answer holds
// it up to the connection's time limit, never the window. A dialog closed
// meanwhile leaves the thread to end alone.
struct HistoryPlaceDialog::Test {
  std::mutex lock;
  bool done = false;
  bool ok = false;
  std::string error;
};

HistoryPlaceDialog::HistoryPlaceDialog(const QString& address, const QString& password,
                                       const QString& besideFile, QWidget* parent)
    : QDialog(parent),
      besideFile_(besideFile),
      address_(new QLineEdit(address)),
      password_(new QLineEdit(password)),
      testButton_(
          new QPushButton(QCoreApplication::translate("HistoryPlaceDialog", "接続テスト(&T)"))),
      answer_(new QLabel),
      poll_(new QTimer(this)) {
  setObjectName(QStringLiteral("frmHistoryPlace"));
  setWindowTitle(QCoreApplication::translate("HistoryPlaceDialog", "履歴の保存先"));
  address_->setObjectName(QStringLiteral("txtHistoryAddress"));
  address_->setPlaceholderText(QCoreApplication::translate("HistoryPlaceDialog", "空欄なら %1")
                                   .arg(QDir::toNativeSeparators(besideFile)));
  address_->setMinimumWidth(420);
  password_->setObjectName(QStringLiteral("txtHistoryPassword"));
  password_->setEchoMode(QLineEdit::Password);
  testButton_->setObjectName(QStringLiteral("cmdTestHistory"));
  answer_->setObjectName(QStringLiteral("lblHistoryTest"));
  answer_->setWordWrap(true);
  answer_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Room for a server's answer of a few lines: the dialog does not jump.
  answer_->setMinimumHeight(answer_->fontMetrics().lineSpacing() * 4);
  answer_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  auto* form = new QFormLayout;
  auto* addressLabel = new QLabel(QCoreApplication::translate("HistoryPlaceDialog", "保存先(&A):"));
  addressLabel->setBuddy(address_);
  form->addRow(addressLabel, address_);
  form->addRow(QString(), new QLabel(QCoreApplication::translate(
                              "HistoryPlaceDialog",
                              "履歴ファイルのパス、または "
                              "postgresql://ユーザー@ホスト:ポート/データベース")));
  auto* passwordLabel =
      new QLabel(QCoreApplication::translate("HistoryPlaceDialog", "パスワード(&P):"));
  passwordLabel->setBuddy(password_);
  form->addRow(passwordLabel, password_);
  auto* testRow = new QHBoxLayout;
  testRow->addWidget(testButton_);
  testRow->addStretch(1);
  form->addRow(QString(), testRow);
  auto* note =
      new QLabel(QCoreApplication::translate("HistoryPlaceDialog",
                                             "パスワードは設定ファイルとは別の Kelvane.secrets"
                                             "(本人だけが読めるファイル)に保存されます。"));
  note->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)
      ->setText(QCoreApplication::translate("HistoryPlaceDialog", "OK"));
  buttons->button(QDialogButtonBox::Cancel)
      ->setText(QCoreApplication::translate("HistoryPlaceDialog", "キャンセル"));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(answer_);
  layout->addWidget(note);
  layout->addWidget(buttons);

  connect(testButton_, &QPushButton::clicked, this, &HistoryPlaceDialog::testConnection);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(poll_, &QTimer::timeout, this, &HistoryPlaceDialog::collectTest);
  poll_->setInterval(100);
}

HistoryPlaceDialog::~HistoryPlaceDialog() = default;

QString HistoryPlaceDialog::address() const {
  return address_->text().trimmed();
}

QString HistoryPlaceDialog::password() const {
  return password_->text();
}

std::string HistoryPlaceDialog::chosenHistory() const {
  const std::string named = address().toStdString();
  if (named.empty()) return besideFile_.toStdString();
  return history::withPassword(named, password().toStdString());
}

void HistoryPlaceDialog::testConnection() {
  if (test_) return;
  test_ = std::make_shared<Test>();
  testButton_->setEnabled(false);
  answer_->setText(QCoreApplication::translate("HistoryPlaceDialog", "接続中…"));
  std::thread([test = test_, address = chosenHistory()] {
    bool ok = false;
    std::string error;
    try {
      history::HistoryStore store(address);
      store.runCount();
      ok = true;
    } catch (const std::exception& e) {
      error = history::withoutPasswords(e.what(), address);
    }
    const std::lock_guard<std::mutex> hold(test->lock);
    test->ok = ok;
    test->error = std::move(error);
    test->done = true;
  }).detach();
  poll_->start();
}

void HistoryPlaceDialog::collectTest() {
  if (!test_) return;
  {
    const std::lock_guard<std::mutex> hold(test_->lock);
    if (!test_->done) return;
    answer_->setText(test_->ok
                         ? QCoreApplication::translate("HistoryPlaceDialog", "OK: 履歴を開けました")
                         : QCoreApplication::translate("HistoryPlaceDialog", "開けません: ") +
                               QString::fromStdString(test_->error));
  }
  poll_->stop();
  test_.reset();
  testButton_->setEnabled(true);
}

QString HistoryPlaceDialog::testAnswer() const {
  return test_ ? QString() : answer_->text();
}

bool editWatchHistory(QWidget* owner, const std::string& settingsPath,
                      std::vector<std::pair<settings::Text, settings::Text>>& keyed,
                      platform::Dialogs& dialogs) {
  settings::Settings current;
  current.keyed = keyed;
  const std::optional<settings::Text> named = settings::keyedValue(current, history::kHistoryKey);
  std::string why;
  const auto passwords = settings::readSecrets(settings::secretsPathFor(settingsPath),
                                               history::kHistoryPasswordKey, &why);
  if (!passwords) {
    dialogs.showMessage(
        owner, QCoreApplication::translate("HistoryPlaceDialog", "Kelvane.secrets を読めません: ") +
                   QString::fromStdString(why));
    return false;
  }
  // A password written into the settings file by hand is shown masked and
  // moves to the secrets file on OK.
  const std::string shown = history::addressWithoutPassword(textfile::toUtf8(named.value_or(u"")));
  std::string password = history::passwordOf(textfile::toUtf8(named.value_or(u"")));
  if (password.empty() && !passwords->empty()) password = passwords->back();
  HistoryPlaceDialog dialog(QString::fromStdString(shown), QString::fromStdString(password),
                            QString::fromStdString(history::historyPathFor(settingsPath)), owner);
  if (dialog.exec() != QDialog::Accepted) return false;
  const std::string address = dialog.address().toStdString();
  if (!history::keepWatchHistory(settingsPath, address, dialog.password().toStdString(), &current,
                                 &why)) {
    dialogs.showMessage(
        owner, QCoreApplication::translate("HistoryPlaceDialog", "保存先を保存できません: ") +
                   QString::fromStdString(why));
    return false;
  }
  keyed = current.keyed;
  // The file keeps everything else it holds; only its history= line changes.
  settings::Settings stored;
  if (!settings::readSettingsFile(settingsPath, stored)) return true;  // saved with the settings
  if (!history::keepWatchHistory(settingsPath, address, dialog.password().toStdString(), &stored,
                                 &why) ||
      !settings::saveSettings(settingsPath, stored)) {
    dialogs.showMessage(owner, QString::fromStdU16String(settings::cannotWriteMessage()));
  }
  return true;
}

}  // namespace kelvane::ui
