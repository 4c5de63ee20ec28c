// Form1's stored settings, the log, the file choosers, the automatic-update
// switch and the display's appearance.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <algorithm>
#include <array>
#include <type_traits>
#include <utility>
#include <variant>

#include "acquisition/update_timer.h"
#include "engine/engine.h"
#include "history/store.h"
#include "logging/log_writer.h"
#include "platform/dialogs.h"
#include "platform/title_bar.h"
#include "settings/settings_place.h"
#include "ui/main_window/form1.h"
#include "ui/main_window/form_layout.h"
#include "ui/run/run_controller.h"

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
  // The history lives where the settings do.
  run_->setHistoryPath(history::historyPathFor(settingsPath_.toStdString()));
  settings::Settings values = currentSettings();
  // Any face name is kept, also one this system lacks: the display then
  // draws with a Japanese font it has, and saving keeps the stored name.
  const auto report = settings::readSettingsFile(settingsPath_.toStdString(), values);
  if (report) applySettings(values, *report);
  applyAppearance();
}

// Where the window keeps each stored field. The settings table gives the
// fields, their lines and their types; this gives each field its place. The
// bounds and Check1 (which also drives the timer) have code of their own.
struct Form1::FieldPlaces {
  using Field = settings::Field;
  using AppearanceMember =
      std::variant<float Appearance::*, int32_t Appearance::*, bool Appearance::*>;
  std::array<std::pair<Field, QLineEdit*>, 9> textBoxes;
  std::array<std::pair<Field, QCheckBox*>, 2> checkBoxes;
  std::array<std::pair<Field, AppearanceMember>, 5> appearance;  // and fontName, a QString
  std::array<std::pair<Field, QAction*>, 2> menuItems;
};

Form1::FieldPlaces Form1::fieldPlaces() const {
  using Field = settings::Field;
  return {
      .textBoxes = {{{Field::Url, web_.Text2},
                     {Field::Interval, setting_.Text4},
                     {Field::LogPath, setting_.Text5},
                     {Field::StartHour, setting_.Text7},
                     {Field::StartMinute, setting_.Text8},
                     {Field::EndHour, setting_.Text9},
                     {Field::EndMinute, setting_.Text10},
                     {Field::ScriptPath, setting_.ScriptPath},
                     {Field::Wait, setting_.WaitValue}}},
      .checkBoxes = {{{Field::AutoLog, setting_.Check3}, {Field::TimeWindow, setting_.TimeWindow}}},
      .appearance = {{{Field::FontSize, &Appearance::fontSize},
                      {Field::BackColor, &Appearance::backColor},
                      {Field::ForeColor, &Appearance::foreColor},
                      {Field::Bold, &Appearance::bold},
                      {Field::Italic, &Appearance::italic}}},
      .menuItems = {{{Field::ChangeNotice, menuItem("mnuChangeNotice")},
                     {Field::SettleMode, menuItem("mnuAutoSettle")}}},
  };
}

namespace {

// A menu item's check mark as its field stores it, and back.
bool switchedOn(const settings::Settings& v, settings::Field f) {
  if (f == settings::Field::SettleMode) return v.settleMode == settings::kSettleAuto;
  return v.changeNotice == 1;
}
void storeSwitch(settings::Settings& v, settings::Field f, bool on) {
  if (f == settings::Field::SettleMode) {
    v.settleMode = std::u16string(on ? settings::kSettleAuto : settings::kSettleFixed);
  } else {
    v.changeNotice = on ? 1 : 0;
  }
}

}  // namespace

void Form1::applySettings(const settings::Settings& v, const settings::ReadReport& report) {
  using settings::Field;
  using settings::LineStatus;
  const auto read = [&report](Field f) { return report.status(f) == LineStatus::Read; };

  if (read(Field::WindowWidth) || read(Field::WindowHeight) || read(Field::WindowTop) ||
      read(Field::WindowLeft)) {
    storedBounds_ = QRectF(v.windowLeft, v.windowTop, v.windowWidth, v.windowHeight);
    applyOuterGeometry();
  }
  settings::Settings values = v;
  const FieldPlaces places = fieldPlaces();
  for (const auto& [field, box] : places.textBoxes) {
    box->setText(fromU16(*settings::valueOf<settings::Text>(values, field)));
  }
  for (const auto& [field, box] : places.checkBoxes) {
    setCheckValue(box, *settings::valueOf<int16_t>(values, field));
  }
  for (const auto& [field, member] : places.appearance) {
    std::visit(
        [&](auto Appearance::*m) {
          using T = std::remove_cvref_t<decltype(appearance_.*m)>;
          appearance_.*m = *settings::valueOf<T>(values, field);
        },
        member);
  }
  appearance_.fontName = fromU16(v.fontName);
  for (const auto& [field, item] : places.menuItems) item->setChecked(switchedOn(v, field));
  // Last, with every box filled in: a different state runs the box's click
  // reaction, as a click would.
  if (v.autoUpdate != checkValue(setting_.Check1)) {
    setCheck1Box(v.autoUpdate);
    run_->timer().scheduler().setAutoUpdate(v.autoUpdate);
  }
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
  if (!platform::windowPositionsKnown()) keepStoredPosition(v, outer.size());
  v.autoUpdate = static_cast<int16_t>(checkValue(setting_.Check1));
  const FieldPlaces places = fieldPlaces();
  for (const auto& [field, box] : places.textBoxes) {
    *settings::valueOf<settings::Text>(v, field) = toU16(box->text());
  }
  for (const auto& [field, box] : places.checkBoxes) {
    *settings::valueOf<int16_t>(v, field) = static_cast<int16_t>(checkValue(box));
  }
  for (const auto& [field, member] : places.appearance) {
    std::visit(
        [&](auto Appearance::*m) {
          using T = std::remove_cvref_t<decltype(appearance_.*m)>;
          *settings::valueOf<T>(v, field) = appearance_.*m;
        },
        member);
  }
  v.fontName = toU16(appearance_.fontName);
  for (const auto& [field, item] : places.menuItems) storeSwitch(v, field, item->isChecked());
  return v;
}

void Form1::makePathsAbsolute() {
  if (!absolutePaths_) return;
  const std::string base = QDir::currentPath().toStdString();
  for (QLineEdit* box : {setting_.ScriptPath, setting_.Text5}) {
    const QString absolute =
        QString::fromStdString(settings::absolutePath(box->text().toStdString(), base));
    if (absolute != box->text()) box->setText(absolute);
  }
}

// Where the window system keeps positions to itself, the file keeps the
// position it holds; a file without one gets the window centred on its
// screen, a place that is on the screen wherever the file is read.
void Form1::keepStoredPosition(settings::Settings& v, QSize outer) const {
  settings::Settings stored;
  const auto report = settings::readSettingsFile(settingsPath_.toStdString(), stored);
  using settings::Field;
  using settings::LineStatus;
  if (report && report->status(Field::WindowTop) == LineStatus::Read &&
      report->status(Field::WindowLeft) == LineStatus::Read) {
    v.windowTop = stored.windowTop;
    v.windowLeft = stored.windowLeft;
    return;
  }
  const QRect area = screen() ? screen()->availableGeometry() : QRect(0, 0, 1024, 768);
  v.windowLeft = twipsX(area.left() + std::max(0, (area.width() - outer.width()) / 2));
  v.windowTop = twipsY(area.top() + std::max(0, (area.height() - outer.height()) / 2));
}

void Form1::Command5_Click() {
  makePathsAbsolute();
  const std::string path = settingsPath_.toStdString();
  if (!settings::makeSettingsFolder(path) || !settings::saveSettings(path, currentSettings())) {
    showMessage(fromU16(settings::cannotWriteMessage()));
  }
}

void Form1::Command2_Click() {
  takeEdits();
  const QString path = setting_.Text5->text();
  if (!logging::appendEntry(path.toStdString(), toU16(setting_.MemoText->text()),
                            run_->engine().d().view())) {
    showMessage(fromU16(logging::cannotWriteMessage()));
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
  auto& scheduler = run_->timer().scheduler();
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
