#include "ui/notify/notify_dialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "history/watch_history.h"
#include "notify/courier.h"
#include "notify/rules.h"
#include "notify/secrets.h"
#include "platform/dialogs.h"
#include "run/after_run.h"
#include "run/run_recorder.h"
#include "settings/settings.h"

namespace kelvane::ui {
namespace {

QString fromUtf8(const std::string& text) {
  return QString::fromStdString(text);
}

// Apprise's answer for one target, as the list below the button shows it.
QString answerLine(const notify::Delivered& d) {
  QString outcome;
  if (d.outcome == "sent") {
    outcome = QCoreApplication::translate("NotifyDialog", "送信しました");
  } else if (d.outcome == "timed out") {
    outcome = QCoreApplication::translate("NotifyDialog", "時間切れ");
  } else if (d.outcome == "abandoned") {
    outcome = QCoreApplication::translate("NotifyDialog", "中止");
  } else if (d.outcome == "not started") {
    outcome = QCoreApplication::translate("NotifyDialog", "送信できません");
  } else {
    outcome = QCoreApplication::translate("NotifyDialog", "失敗");
  }
  QString line = fromUtf8(d.target) + QStringLiteral(": ") + outcome;
  if (!d.error.empty()) line += QStringLiteral(" — ") + fromUtf8(d.error);
  return line;
}

}  // namespace

NotifyDialog::NotifyDialog(const notify::WatchChoices& choices, QString watchName, QWidget* parent,
                           std::string program)
    : QDialog(parent),
      targets_(choices.targets),
      watchName_(std::move(watchName)),
      program_(std::move(program)),
      targetList_(new QListWidget),
      newTarget_(new QLineEdit),
      addButton_(new QPushButton(QCoreApplication::translate("NotifyDialog", "追加(&A)"))),
      removeButton_(new QPushButton(QCoreApplication::translate("NotifyDialog", "削除(&D)"))),
      rules_(new QPlainTextEdit),
      ruleError_(new QLabel),
      first_(new QCheckBox(QCoreApplication::translate(
          "NotifyDialog", "最初の実行でも、すでに成り立つ条件を通知する(&F)"))),
      alertAfter_(new QSpinBox),
      testButton_(new QPushButton(QCoreApplication::translate("NotifyDialog", "テスト送信(&T)"))),
      answer_(new QPlainTextEdit),
      poll_(new QTimer(this)) {
  setObjectName(QStringLiteral("frmNotify"));
  setWindowTitle(QCoreApplication::translate("NotifyDialog", "通知先"));
  targetList_->setObjectName(QStringLiteral("lstTargets"));
  newTarget_->setObjectName(QStringLiteral("txtTarget"));
  newTarget_->setPlaceholderText(QCoreApplication::translate(
      "NotifyDialog", "ntfy://… mailto://… json://… またはAppriseのタグ"));
  rules_->setObjectName(QStringLiteral("txtRules"));
  rules_->setPlaceholderText(QCoreApplication::translate(
      "NotifyDialog", "1行に1つ。例: changed / \"みかん\" below 300 / shows \"在庫あり\""));
  rules_->setTabChangesFocus(true);
  ruleError_->setObjectName(QStringLiteral("lblRuleError"));
  ruleError_->setStyleSheet(QStringLiteral("color: #b00020"));
  ruleError_->setWordWrap(true);
  ruleError_->hide();
  first_->setObjectName(QStringLiteral("chkFirst"));
  alertAfter_->setObjectName(QStringLiteral("spnAlertAfter"));
  alertAfter_->setRange(0, 1000000);
  alertAfter_->setSpecialValueText(QCoreApplication::translate("NotifyDialog", "知らせない"));
  testButton_->setObjectName(QStringLiteral("cmdTest"));
  answer_->setObjectName(QStringLiteral("txtAnswer"));
  answer_->setReadOnly(true);
  answer_->setMaximumBlockCount(200);

  QString rulesText;
  for (const std::string& rule : choices.rules) rulesText += fromUtf8(rule) + QLatin1Char('\n');
  rules_->setPlainText(rulesText);
  first_->setChecked(choices.first);
  alertAfter_->setValue(choices.alertAfter);
  showTargets();

  auto* targetRow = new QHBoxLayout;
  targetRow->addWidget(newTarget_, 1);
  targetRow->addWidget(addButton_);
  targetRow->addWidget(removeButton_);
  auto* form = new QFormLayout;
  auto* targetLabel = new QLabel(QCoreApplication::translate("NotifyDialog", "送信先(&S):"));
  targetLabel->setBuddy(targetList_);
  form->addRow(targetLabel, targetList_);
  form->addRow(QString(), targetRow);
  auto* rulesLabel = new QLabel(QCoreApplication::translate("NotifyDialog", "条件(&W):"));
  rulesLabel->setBuddy(rules_);
  form->addRow(rulesLabel, rules_);
  form->addRow(QString(), ruleError_);
  form->addRow(QString(), first_);
  auto* alertLabel =
      new QLabel(QCoreApplication::translate("NotifyDialog", "続けて失敗したら知らせる回数(&K):"));
  alertLabel->setBuddy(alertAfter_);
  form->addRow(alertLabel, alertAfter_);
  form->addRow(testButton_, answer_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(QCoreApplication::translate("NotifyDialog", "OK"));
  buttons->button(QDialogButtonBox::Cancel)
      ->setText(QCoreApplication::translate("NotifyDialog", "キャンセル"));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(new QLabel(
      QCoreApplication::translate("NotifyDialog",
                                  "送信先はパスワードやトークンを含むため、設定ファイルとは別の "
                                  "Kelvane.secrets(本人だけが読めるファイル)に保存されます。")));
  layout->addWidget(buttons);
  layout->itemAt(1)->widget()->setProperty("wordWrap", true);

  connect(addButton_, &QPushButton::clicked, this, &NotifyDialog::addTarget);
  newTarget_->installEventFilter(this);
  connect(removeButton_, &QPushButton::clicked, this, &NotifyDialog::removeTarget);
  connect(testButton_, &QPushButton::clicked, this, &NotifyDialog::sendTest);
  connect(buttons, &QDialogButtonBox::accepted, this, &NotifyDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &NotifyDialog::reject);
  connect(poll_, &QTimer::timeout, this, &NotifyDialog::collectTest);
  poll_->setInterval(100);
}

// Enter in the box of a new target adds it; in an empty box it is the
// dialog's OK, as everywhere else.
bool NotifyDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == newTarget_ && event->type() == QEvent::KeyPress &&
      !newTarget_->text().trimmed().isEmpty()) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      addTarget();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

// A test still out is ended with the dialog (the courier ends its deliveries).
NotifyDialog::~NotifyDialog() = default;

notify::WatchChoices NotifyDialog::choices() const {
  notify::WatchChoices choices;
  choices.targets = targets_;
  for (const QString& line : rules_->toPlainText().split(QLatin1Char('\n'))) {
    const QString rule = line.trimmed();
    if (!rule.isEmpty()) choices.rules.push_back(rule.toStdString());
  }
  choices.first = first_->isChecked();
  choices.alertAfter = alertAfter_->value();
  return choices;
}

void NotifyDialog::accept() {
  std::string why;
  if (!notify::notifySettings(choices(), &why)) {
    ruleError_->setText(QCoreApplication::translate("NotifyDialog", "条件を読めません: ") +
                        fromUtf8(why));
    ruleError_->show();
    rules_->setFocus();
    return;
  }
  QDialog::accept();
}

void NotifyDialog::addTarget() {
  const QString target = newTarget_->text().trimmed();
  if (target.isEmpty()) return;
  targets_.push_back(target.toStdString());
  newTarget_->clear();
  showTargets();
  targetList_->setCurrentRow(targetList_->count() - 1);
}

void NotifyDialog::removeTarget() {
  const int row = targetList_->currentRow();
  if (row < 0 || row >= static_cast<int>(targets_.size())) return;
  targets_.erase(targets_.begin() + row);
  showTargets();
  targetList_->setCurrentRow(std::min(row, targetList_->count() - 1));
}

void NotifyDialog::showTargets() {
  targetList_->clear();
  for (const std::string& target : targets_) {
    targetList_->addItem(fromUtf8(notify::maskTarget(target)));
  }
  removeButton_->setEnabled(!targets_.empty());
  testButton_->setEnabled(!targets_.empty() && !courier_);
}

// The deliveries run beside the window; a timer gathers their answers.
void NotifyDialog::sendTest() {
  if (courier_ || targets_.empty()) return;
  courier_ = std::make_unique<notify::Courier>(program_);
  courier_->onMissing = [this](const std::string&) {
    answer_->appendPlainText(QCoreApplication::translate(
        "NotifyDialog",
        "apprise コマンドがないため送れません (Debian の apprise パッケージを入れてください)"));
  };
  answer_->clear();
  answer_->appendPlainText(QCoreApplication::translate("NotifyDialog", "送信中…"));
  const notify::Notice notice = notify::testNotice(watchName_.toStdString());
  for (const std::string& target : targets_) courier_->send(target, notice);
  testButton_->setEnabled(false);
  poll_->start();
  collectTest();
}

void NotifyDialog::setDeliveryLog(const std::string& history, const std::string& settingsPath) {
  log_ = std::make_unique<run::RunRecorder>(history, std::string(), settingsPath);
}

void NotifyDialog::collectTest() {
  if (!courier_) return;
  const std::vector<notify::Delivered> done = courier_->collect();
  for (const notify::Delivered& d : done) answer_->appendPlainText(answerLine(d));
  if (log_) {
    run::logDeliveries(
        *log_, done, [this](const std::string& text) { answer_->appendPlainText(fromUtf8(text)); });
  }
  if (courier_->running() > 0) return;
  poll_->stop();
  courier_.reset();
  answer_->appendPlainText(QCoreApplication::translate("NotifyDialog", "終わりました"));
  showTargets();
}

}  // namespace kelvane::ui

namespace kelvane::ui {

bool editWatchNotifications(QWidget* owner, const std::string& settingsPath,
                            const QString& watchName,
                            std::vector<std::pair<settings::Text, settings::Text>>& keyed,
                            platform::Dialogs& dialogs) {
  const std::string secrets = notify::secretsPathFor(settingsPath);
  std::string why;
  const auto targets = notify::readTargets(secrets, &why);
  if (!targets) {
    dialogs.showMessage(
        owner, QCoreApplication::translate("NotifyDialog", "通知先を読めません: ") + fromUtf8(why));
    return false;
  }
  notify::WatchChoices choices;
  choices.targets = *targets;
  settings::Settings current;
  current.keyed = keyed;
  if (const auto bad = notify::readChoices(current, &choices)) {
    // The dialog starts from the lines it can read; OK replaces them all.
    dialogs.showMessage(
        owner, QCoreApplication::translate("NotifyDialog", "設定ファイルの通知の行を読めません: ") +
                   fromUtf8(*bad));
  }
  NotifyDialog dialog(choices, watchName, owner);
  // Test deliveries are logged in the watch's history, as its runs are.
  if (const auto history = history::watchHistory(settingsPath, current, &why)) {
    dialog.setDeliveryLog(*history, settingsPath);
  }
  if (dialog.exec() != QDialog::Accepted) return false;
  const notify::WatchChoices chosen = dialog.choices();
  if (!notify::writeTargets(secrets, chosen.targets, &why)) {
    dialogs.showMessage(
        owner,
        QCoreApplication::translate("NotifyDialog", "通知先を保存できません: ") + fromUtf8(why));
    return false;
  }
  notify::writeChoices(chosen, &current);
  keyed = current.keyed;
  // The file keeps everything else it holds; only its notify_ lines change.
  settings::Settings stored;
  if (!settings::readSettingsFile(settingsPath, stored)) return true;  // saved with the settings
  notify::writeChoices(chosen, &stored);
  if (!settings::saveSettings(settingsPath, stored)) {
    dialogs.showMessage(owner, QString::fromStdU16String(settings::cannotWriteMessage()));
  }
  return true;
}

}  // namespace kelvane::ui
