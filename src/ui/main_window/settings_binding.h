// The window's stored settings: every row of the settings table bound to
// the place in the window that shows it (a box, a check box, a popup
// switch, the display's appearance or the window's outer bounds). Showing,
// storing and reading walk the table; a new row is one more case in the
// constructor's switch over every field, which the compiler asks for.
#pragma once

#include <QRectF>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "settings/settings.h"
#include "ui/main_window/appearance.h"

class QAction;
class QCheckBox;
class QLineEdit;
class QObject;

namespace kelvane::ui {

struct SettingPage;
struct WebPage;

// A check box's value as the settings store it (0 off, 1 on, 2 greyed),
// and back.
int checkValue(const QCheckBox* box);
void setCheckValue(QCheckBox* box, int value);
// Calls react whenever the box's state changes, by the user or the program.
void onCheckStateChanged(QCheckBox* box, QObject* context, std::function<void()> react);

class SettingsBinding {
 public:
  using AppearanceMember = std::variant<QString Appearance::*, float Appearance::*,
                                        int32_t Appearance::*, bool Appearance::*>;
  // An edge of the outer bounds, in twips.
  enum class Bound { Width, Height, Top, Left };
  using Place = std::variant<QLineEdit*, QCheckBox*, QAction*, AppearanceMember, Bound>;

  SettingsBinding(const SettingPage& setting, const WebPage& web, Appearance& appearance,
                  const std::function<QAction*(const char* name)>& menuItem);

  Place place(settings::Field field) const { return places_[index(field)]; }

  // Puts every value in its place; the bounds come back (left, top, width,
  // height). A check box that changes runs its reaction, as a click would.
  QRectF show(const settings::Settings& values);
  // The values the places hold, with the given outer bounds.
  settings::Settings values(const QRectF& bounds) const;

  // Reads the file over the values the places hold (and the bounds given)
  // and shows them; the bounds when the file held any of them. Nothing
  // happens when the file cannot be read.
  std::optional<QRectF> read(const std::string& path, const QRectF& bounds);

  // The keyed lines written back on save, for the dialogs that change them.
  std::vector<std::pair<settings::Text, settings::Text>>& keyed() { return keyed_; }

 private:
  static size_t index(settings::Field f) { return static_cast<size_t>(f) - 1; }

  Appearance& appearance_;
  std::array<Place, settings::kFieldCount> places_;
  // The keyed lines of the file read last, written back on save.
  std::vector<std::pair<settings::Text, settings::Text>> keyed_;
};

}  // namespace kelvane::ui
