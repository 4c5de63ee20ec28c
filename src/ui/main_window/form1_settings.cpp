// Form1's stored settings, the log, the file choosers, the automatic-update
// switch and the display's appearance.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "acquisition/update_timer.h"
#include "logging/log_writer.h"
#include "platform/dialogs.h"
#include "platform/title_bar.h"
#include "settings/settings_place.h"
#include "ui/main_window/form1.h"
#include "ui/main_window/form_layout.h"

namespace kelvane::ui {
namespace {

std::u16string toU16(const QString& text) {
  return text.toStdU16String();
}
QString fromU16(const std::u16string& text) {
  return QString::fromStdU16String(text);
}

}  // namespace

// A check box's value as the settings store it: 0 off, 1 on, 2 greyed.
int checkValue(const QCheckBox* box) {
  switch (box->checkState()) {
    case Qt::Checked:
      return 1;
    case Qt::PartiallyChecked:
      return 2;
    default:
      return 0;
  }
}

void setCheckValue(QCheckBox* box, int value) {
  // Only a greyed value makes the box three-state.
  box->setTristate(value == 2);
  box->setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

void onCheckStateChanged(QCheckBox* box, QObject* context, std::function<void()> react) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 7, 0)
  QObject::connect(box, &QCheckBox::checkStateChanged, context,
                   [react = std::move(react)](Qt::CheckState) { react(); });
#else
  QObject::connect(box, &QCheckBox::stateChanged, context,
                   [react = std::move(react)](int) { react(); });
#endif
}

void Form1::readSettings() {
  settings::Settings values = currentSettings();
  // Any face name is kept, also one this system lacks: the display then
  // draws with a Japanese font it has, and saving keeps the stored name.
  const auto report = settings::readSettingsFile(settingsPath_.toStdString(), values);
  if (report) applySettings(values, *report);
  applyAppearance();
}

void Form1::applySettings(const settings::Settings& v, const settings::ReadReport& report) {
  using settings::Field;
  using settings::LineStatus;
  const auto read = [&report](Field f) { return report.status(f) == LineStatus::Read; };

  if (read(Field::WindowWidth) || read(Field::WindowHeight) || read(Field::WindowTop) ||
      read(Field::WindowLeft)) {
    storedBounds_ = QRectF(v.windowLeft, v.windowTop, v.windowWidth, v.windowHeight);
    applyOuterGeometry();
  }
  web_.Text2->setText(fromU16(v.url));
  setting_.Text4->setText(fromU16(v.interval));
  if (v.autoUpdate != checkValue(setting_.Check1)) {
    // A different state runs the box's click reaction, as a click would.
    setCheck1Box(v.autoUpdate);
    timer1_->scheduler().setAutoUpdate(v.autoUpdate);
  }
  setting_.Text5->setText(fromU16(v.logPath));
  setCheckValue(setting_.Check3, v.autoLog);
  setCheckValue(setting_.TimeWindow, v.timeWindow);
  setting_.Text7->setText(fromU16(v.startHour));
  setting_.Text8->setText(fromU16(v.startMinute));
  setting_.Text9->setText(fromU16(v.endHour));
  setting_.Text10->setText(fromU16(v.endMinute));
  setting_.ScriptPath->setText(fromU16(v.scriptPath));
  appearance_.fontSize = v.fontSize;
  appearance_.backColor = v.backColor;
  appearance_.foreColor = v.foreColor;
  appearance_.fontName = fromU16(v.fontName);
  appearance_.bold = v.bold;
  appearance_.italic = v.italic;
  setting_.WaitValue->setText(fromU16(v.wait));
  menuItem("mnuChangeNotice")->setChecked(v.changeNotice == 1);
  menuItem("mnuAutoSettle")->setChecked(v.settleMode == settings::kSettleAuto);
}

settings::Settings Form1::currentSettings() const {
  settings::Settings v;
  // The outer bounds of the window in twips, whatever its state. With the
  // title bar hidden they are those of the frame the window had.
  const QRect outer =
      platform::isTitleBarShown(this) ? frameGeometry() : geometry().marginsAdded(hiddenFrame_);
  v.windowWidth = twipsX(outer.width());
  v.windowHeight = twipsY(outer.height());
  v.windowTop = twipsY(outer.top());
  v.windowLeft = twipsX(outer.left());
  v.url = toU16(web_.Text2->text());
  v.interval = toU16(setting_.Text4->text());
  v.autoUpdate = static_cast<int16_t>(checkValue(setting_.Check1));
  v.logPath = toU16(setting_.Text5->text());
  v.autoLog = static_cast<int16_t>(checkValue(setting_.Check3));
  v.timeWindow = static_cast<int16_t>(checkValue(setting_.TimeWindow));
  v.startHour = toU16(setting_.Text7->text());
  v.startMinute = toU16(setting_.Text8->text());
  v.endHour = toU16(setting_.Text9->text());
  v.endMinute = toU16(setting_.Text10->text());
  v.fontSize = appearance_.fontSize;
  v.scriptPath = toU16(setting_.ScriptPath->text());
  v.backColor = appearance_.backColor;
  v.foreColor = appearance_.foreColor;
  v.fontName = toU16(appearance_.fontName);
  v.bold = appearance_.bold;
  v.italic = appearance_.italic;
  v.wait = toU16(setting_.WaitValue->text());
  v.changeNotice = menuItem("mnuChangeNotice")->isChecked() ? 1 : 0;
  v.settleMode = std::u16string(menuItem("mnuAutoSettle")->isChecked() ? settings::kSettleAuto
                                                                       : settings::kSettleFixed);
  return v;
}

void Form1::Command5_Click() {
  const std::string path = settingsPath_.toStdString();
  if (!settings::makeSettingsFolder(path) || !settings::saveSettings(path, currentSettings())) {
    message(fromU16(settings::cannotWriteMessage()));
  }
}

void Form1::Command2_Click() {
  takeEdits();
  const QString path = setting_.Text5->text();
  if (!logging::appendEntry(path.toStdString(), toU16(setting_.MemoText->text()),
                            engine_.d().view())) {
    message(fromU16(logging::cannotWriteMessage()));
  }
}

void Form1::ScriptSel_Click() {
  if (const auto chosen = dialogs_->chooseOpenFile(this, QDir::currentPath())) {
    setting_.ScriptPath->setText(*chosen);
  }
}

void Form1::Command4_Click() {
  if (const auto chosen = dialogs_->chooseOpenFile(this, QDir::currentPath())) {
    setting_.Text5->setText(*chosen);
  }
}

void Form1::mnuTimerOn_Click() {
  auto& scheduler = timer1_->scheduler();
  scheduler.toggleFromMenu();
  setCheck1Box(scheduler.autoUpdate());
  menuItem("mnuTimerOn")->setChecked(scheduler.menuMarked());
}

// ---- appearance ------------------------------------------------------------

void Form1::applyAppearance() {
  data_.Text3->setFont(displayFont(appearance_, font()));
  data_.Text3->setPalette(displayPalette(appearance_, palette()));
}

void Form1::mnuFont_Click() {
  const platform::FontChoice preset{
      .family = data_.Text3->font().family(),
      .pointSize = appearance_.fontSize,
      .bold = appearance_.bold,
      .italic = appearance_.italic,
  };
  const auto chosen = dialogs_->chooseFont(this, preset);
  if (!chosen) return;
  // Confirming the face the display falls back to keeps the stored name.
  if (chosen->family != preset.family) appearance_.fontName = chosen->family;
  if (chosen->pointSize > 0) appearance_.fontSize = static_cast<float>(chosen->pointSize);
  appearance_.bold = chosen->bold;
  appearance_.italic = chosen->italic;
  applyAppearance();
}

void Form1::mnuColor_Click() {
  const QColor preset =
      colorFromCode(appearance_.foreColor, palette()).value_or(palette().color(QPalette::Text));
  if (const auto chosen = dialogs_->chooseColor(this, preset)) {
    appearance_.foreColor = codeFromColor(*chosen);
    applyAppearance();
  }
}

void Form1::mnuBackColor_Click() {
  const QColor preset =
      colorFromCode(appearance_.backColor, palette()).value_or(palette().color(QPalette::Base));
  if (const auto chosen = dialogs_->chooseColor(this, preset)) {
    appearance_.backColor = codeFromColor(*chosen);
    applyAppearance();
  }
}

}  // namespace kelvane::ui
