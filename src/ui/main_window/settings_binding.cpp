#include "ui/main_window/settings_binding.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>

#include "ui/main_window/setting_page.h"
#include "ui/main_window/web_page.h"

namespace kelvane::ui {
namespace {

using settings::Field;
using settings::FieldSpec;
using settings::Settings;
using settings::Text;

template <typename... F>
struct Overloaded : F... {
  using F::operator()...;
};

template <typename T>
T& member(Settings& v, const FieldSpec& row) {
  return v.*std::get<T Settings::*>(row.member);
}
template <typename T>
const T& member(const Settings& v, const FieldSpec& row) {
  return v.*std::get<T Settings::*>(row.member);
}

// An appearance value and its field, whose types match but for the face
// name (a QString shown, a Text stored).
template <typename T>
void fromField(T& shown, const Settings& v, const FieldSpec& row) {
  shown = member<T>(v, row);
}
void fromField(QString& shown, const Settings& v, const FieldSpec& row) {
  shown = QString::fromStdU16String(member<Text>(v, row));
}
template <typename T>
void toField(const T& shown, Settings& v, const FieldSpec& row) {
  member<T>(v, row) = shown;
}
void toField(const QString& shown, Settings& v, const FieldSpec& row) {
  member<Text>(v, row) = shown.toStdU16String();
}

// A popup switch's check mark as its field stores it, and back.
bool switchedOn(const Settings& v, const FieldSpec& row) {
  if (row.kind == settings::Kind::SettleMode) return member<Text>(v, row) == settings::kSettleAuto;
  return member<int16_t>(v, row) == 1;
}
void storeSwitch(bool on, Settings& v, const FieldSpec& row) {
  if (row.kind == settings::Kind::SettleMode) {
    member<Text>(v, row) = Text(on ? settings::kSettleAuto : settings::kSettleFixed);
  } else {
    member<int16_t>(v, row) = on ? 1 : 0;
  }
}

float edgeOf(const QRectF& r, SettingsBinding::Bound b) {
  switch (b) {
    case SettingsBinding::Bound::Width:
      return static_cast<float>(r.width());
    case SettingsBinding::Bound::Height:
      return static_cast<float>(r.height());
    case SettingsBinding::Bound::Top:
      return static_cast<float>(r.top());
    case SettingsBinding::Bound::Left:
      return static_cast<float>(r.left());
  }
  return 0;
}

}  // namespace

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

SettingsBinding::SettingsBinding(const SettingPage& s, const WebPage& web, Appearance& appearance,
                                 const std::function<QAction*(const char* name)>& menuItem)
    : appearance_(appearance) {
  const auto placeOf = [&](Field f) -> Place {
    switch (f) {
      case Field::WindowWidth:
        return Bound::Width;
      case Field::WindowHeight:
        return Bound::Height;
      case Field::WindowTop:
        return Bound::Top;
      case Field::WindowLeft:
        return Bound::Left;
      case Field::Url:
        return web.Text2;
      case Field::Interval:
        return s.Text4;
      case Field::AutoUpdate:
        return s.Check1;
      case Field::LogPath:
        return s.Text5;
      case Field::AutoLog:
        return s.Check3;
      case Field::TimeWindow:
        return s.TimeWindow;
      case Field::StartHour:
        return s.Text7;
      case Field::StartMinute:
        return s.Text8;
      case Field::EndHour:
        return s.Text9;
      case Field::EndMinute:
        return s.Text10;
      case Field::FontSize:
        return &Appearance::fontSize;
      case Field::ScriptPath:
        return s.ScriptPath;
      case Field::BackColor:
        return &Appearance::backColor;
      case Field::ForeColor:
        return &Appearance::foreColor;
      case Field::FontName:
        return &Appearance::fontName;
      case Field::Bold:
        return &Appearance::bold;
      case Field::Italic:
        return &Appearance::italic;
      case Field::Wait:
        return s.WaitValue;
      case Field::ChangeNotice:
        return menuItem("mnuChangeNotice");
      case Field::SettleMode:
        return menuItem("mnuAutoSettle");
    }
    return Bound::Width;
  };
  for (const FieldSpec& row : settings::kFields) places_[index(row.line)] = placeOf(row.line);
}

QRectF SettingsBinding::show(const Settings& v) {
  QRectF bounds;
  for (const FieldSpec& row : settings::kFields) {
    std::visit(
        Overloaded{
            [&](QLineEdit* box) { box->setText(QString::fromStdU16String(member<Text>(v, row))); },
            [&](QCheckBox* box) { setCheckValue(box, member<int16_t>(v, row)); },
            [&](QAction* item) { item->setChecked(switchedOn(v, row)); },
            [&](AppearanceMember m) {
              std::visit([&](auto Appearance::*shown) { fromField(appearance_.*shown, v, row); },
                         m);
            },
            [&](Bound b) {
              const float value = member<float>(v, row);
              switch (b) {
                case Bound::Width:
                  bounds.setWidth(value);
                  break;
                case Bound::Height:
                  bounds.setHeight(value);
                  break;
                case Bound::Top:
                  bounds.moveTop(value);
                  break;
                case Bound::Left:
                  bounds.moveLeft(value);
                  break;
              }
            },
        },
        places_[index(row.line)]);
  }
  return bounds;
}

Settings SettingsBinding::values(const QRectF& bounds) const {
  Settings v;
  for (const FieldSpec& row : settings::kFields) {
    std::visit(Overloaded{
                   [&](QLineEdit* box) { member<Text>(v, row) = box->text().toStdU16String(); },
                   [&](QCheckBox* box) {
                     member<int16_t>(v, row) = static_cast<int16_t>(checkValue(box));
                   },
                   [&](QAction* item) { storeSwitch(item->isChecked(), v, row); },
                   [&](AppearanceMember m) {
                     std::visit(
                         [&](auto Appearance::*shown) { toField(appearance_.*shown, v, row); }, m);
                   },
                   [&](Bound b) { member<float>(v, row) = edgeOf(bounds, b); },
               },
               places_[index(row.line)]);
  }
  v.keyed = keyed_;
  return v;
}

std::optional<QRectF> SettingsBinding::read(const std::string& path, const QRectF& bounds) {
  Settings v = values(bounds);
  // Any face name is kept, also one this system lacks: the display then
  // draws with a Japanese font it has, and saving keeps the stored name.
  const auto report = settings::readSettingsFile(path, v);
  if (!report) return std::nullopt;
  // The window shows none of the keyed lines; it writes them back.
  keyed_ = v.keyed;
  const QRectF shown = show(v);
  using settings::LineStatus;
  for (const Field f :
       {Field::WindowWidth, Field::WindowHeight, Field::WindowTop, Field::WindowLeft}) {
    if (report->status(f) == LineStatus::Read) return shown;
  }
  return std::nullopt;
}

}  // namespace kelvane::ui
