#include "ui/main_window/display_look.h"

#include <QPlainTextEdit>

#include "platform/dialogs.h"

namespace kelvane::ui {

// The window's own font and palette are the base: only the display follows
// the appearance.
void DisplayLook::apply() {
  QWidget* window = display_->window();
  display_->setFont(displayFont(appearance_, window->font()));
  display_->setPalette(displayPalette(appearance_, window->palette()));
}

void DisplayLook::chooseFont() {
  const platform::FontChoice preset{
      .family = display_->font().family(),
      .pointSize = appearance_.fontSize,
      .bold = appearance_.bold,
      .italic = appearance_.italic,
  };
  const auto chosen = dialogs_.chooseFont(display_->window(), preset);
  if (!chosen) return;
  // Confirming the face the display falls back to keeps the stored name.
  if (chosen->family != preset.family) appearance_.fontName = chosen->family;
  if (chosen->pointSize > 0) appearance_.fontSize = static_cast<float>(chosen->pointSize);
  appearance_.bold = chosen->bold;
  appearance_.italic = chosen->italic;
  apply();
}

void DisplayLook::chooseForeColor() {
  chooseColor(appearance_.foreColor, QPalette::Text);
}

void DisplayLook::chooseBackColor() {
  chooseColor(appearance_.backColor, QPalette::Base);
}

void DisplayLook::chooseColor(int32_t& code, QPalette::ColorRole unset) {
  const QPalette& palette = display_->window()->palette();
  const QColor preset = colorFromCode(code, palette).value_or(palette.color(unset));
  if (const auto chosen = dialogs_.chooseColor(display_->window(), preset)) {
    code = codeFromColor(*chosen);
    apply();
  }
}

}  // namespace kelvane::ui
