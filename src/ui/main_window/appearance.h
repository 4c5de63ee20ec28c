// The display's look: colour codes as the settings file stores them (red in
// the lowest byte; the top bit set names a system colour) and the display
// font, which falls back to a Japanese font the system has without losing
// the stored face name.
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>
#include <cstdint>
#include <optional>

#include "settings/settings.h"

namespace kelvane::ui {

// The top bit of a colour code: the low byte then indexes the system colours.
inline constexpr uint32_t kSystemColorFlag = 0x80000000u;

// System colour indices of the window system.
enum SystemColor : int {
  kColorWindow = 5,
  kColorWindowText = 8,
  kColorButtonFace = 15,
  kColorHighlight = 13,
  kColorHighlightText = 14,
  kColorButtonText = 18,
  kColorGrayText = 17,
  kColorInfoText = 23,
  kColorInfoBackground = 24,
};

inline constexpr int32_t systemColorCode(int index) {
  return static_cast<int32_t>(kSystemColorFlag | static_cast<uint32_t>(index));
}

// The palette role a system colour code stands for; nothing for a plain
// colour or a system colour without a counterpart here.
std::optional<QPalette::ColorRole> roleOfSystemColor(int32_t code);
// The system colour code of a palette role; nothing for roles without one.
std::optional<int32_t> systemColorOfRole(QPalette::ColorRole role);

// The colour a code names: a plain colour directly, a system colour through
// the palette. Nothing for a system colour this program does not know.
std::optional<QColor> colorFromCode(int32_t code, const QPalette& palette);
// The plain colour code of a colour (red | green << 8 | blue << 16).
int32_t codeFromColor(const QColor& color);

// The display's appearance as the settings store it, from their start values.
struct Appearance {
  QString fontName = QString::fromStdU16String(settings::startValues().fontName);
  float fontSize = settings::startValues().fontSize;
  bool bold = settings::startValues().bold;
  bool italic = settings::startValues().italic;
  int32_t backColor = settings::startValues().backColor;
  int32_t foreColor = settings::startValues().foreColor;
  bool operator==(const Appearance&) const = default;
};

// A Japanese font family the system has, for faces it lacks ("ＭＳ Ｐゴシック"
// on a system without Windows fonts). Empty when there is none.
QString japaneseFallbackFamily();
// Whether the system has a font of that family.
bool fontFamilyExists(const QString& family);

// The font to draw the display with: the stored face when the system has
// it, otherwise the Japanese fallback, in the stored size and style.
QFont displayFont(const Appearance& appearance, const QFont& base);

// The display's palette: base and text roles from the two colour codes;
// a code that names no known colour leaves its role as it was.
QPalette displayPalette(const Appearance& appearance, const QPalette& base);

}  // namespace kelvane::ui
