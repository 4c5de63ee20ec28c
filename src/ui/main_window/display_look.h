// The display's look as the user chooses it: the font and the two colours
// of Text3, kept as the settings store them (the popup items フォント,
// Font色指定 and 背景色).
#pragma once

#include "ui/main_window/appearance.h"

class QPlainTextEdit;
class QWidget;

namespace kelvane::platform {
class Dialogs;
}

namespace kelvane::ui {

class DisplayLook {
 public:
  DisplayLook(QPlainTextEdit* display, platform::Dialogs& dialogs)
      : display_(display), dialogs_(dialogs) {}

  Appearance& appearance() { return appearance_; }
  const Appearance& appearance() const { return appearance_; }
  // Draws the display as the appearance says.
  void apply();
  // The dialogs open with the current values; a cancelled one changes
  // nothing.
  void chooseFont();
  void chooseForeColor();
  void chooseBackColor();

 private:
  // One of the two colours; the palette's role stands in for a colour
  // never chosen.
  void chooseColor(int32_t& code, QPalette::ColorRole unset);

  QPlainTextEdit* display_;
  platform::Dialogs& dialogs_;
  Appearance appearance_;
};

}  // namespace kelvane::ui
