#include "ui/main_window/appearance.h"

#include <QFontDatabase>
#include <array>
#include <utility>

namespace kelvane::ui {
namespace {

// System colours and the palette roles that play their part here. The edit
// box's own text and background are what "window text" and "window" mean to
// the display.
constexpr std::array<std::pair<int, QPalette::ColorRole>, 9> kSystemRoles = {{
    {kColorWindow, QPalette::Base},
    {kColorWindowText, QPalette::Text},
    {kColorButtonFace, QPalette::Button},
    {kColorButtonText, QPalette::ButtonText},
    {kColorHighlight, QPalette::Highlight},
    {kColorHighlightText, QPalette::HighlightedText},
    {kColorGrayText, QPalette::PlaceholderText},
    {kColorInfoText, QPalette::ToolTipText},
    {kColorInfoBackground, QPalette::ToolTipBase},
}};

}  // namespace

std::optional<QPalette::ColorRole> roleOfSystemColor(int32_t code) {
  const auto bits = static_cast<uint32_t>(code);
  if ((bits & kSystemColorFlag) == 0) return std::nullopt;
  const uint32_t index = bits & ~kSystemColorFlag;
  for (const auto& [systemIndex, role] : kSystemRoles) {
    if (static_cast<uint32_t>(systemIndex) == index) return role;
  }
  return std::nullopt;
}

std::optional<int32_t> systemColorOfRole(QPalette::ColorRole role) {
  for (const auto& [systemIndex, knownRole] : kSystemRoles) {
    if (knownRole == role) return systemColorCode(systemIndex);
  }
  return std::nullopt;
}

std::optional<QColor> colorFromCode(int32_t code, const QPalette& palette) {
  if (const auto role = roleOfSystemColor(code)) return palette.color(QPalette::Active, *role);
  if (static_cast<uint32_t>(code) & kSystemColorFlag) return std::nullopt;
  // The top byte of a plain colour selects a palette mode that draws the
  // same colour here: only the three low bytes count.
  const auto bits = static_cast<uint32_t>(code);
  return QColor(static_cast<int>(bits & 0xFF), static_cast<int>((bits >> 8) & 0xFF),
                static_cast<int>((bits >> 16) & 0xFF));
}

int32_t codeFromColor(const QColor& color) {
  const QColor rgb = color.toRgb();
  return static_cast<int32_t>(static_cast<uint32_t>(rgb.red()) |
                              (static_cast<uint32_t>(rgb.green()) << 8) |
                              (static_cast<uint32_t>(rgb.blue()) << 16));
}

bool fontFamilyExists(const QString& family) {
  return !family.isEmpty() && QFontDatabase::hasFamily(family);
}

QString japaneseFallbackFamily() {
  static const QString chosen = [] {
    static const char* const kPreferred[] = {
        "IPAexGothic", "IPAPGothic",   "IPAGothic",          "Noto Sans CJK JP",    "Noto Sans JP",
        "VL PGothic",  "TakaoPGothic", "Source Han Sans JP", "Droid Sans Japanese",
    };
    for (const char* name : kPreferred) {
      const QString family = QString::fromUtf8(name);
      if (QFontDatabase::hasFamily(family)) return family;
    }
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    return japanese.isEmpty() ? QString() : japanese.front();
  }();
  return chosen;
}

QFont displayFont(const Appearance& appearance, const QFont& base) {
  QFont font = base;
  if (fontFamilyExists(appearance.fontName)) {
    font.setFamilies({appearance.fontName});
  } else if (const QString fallback = japaneseFallbackFamily(); !fallback.isEmpty()) {
    font.setFamilies({fallback});
  }
  if (appearance.fontSize > 0) font.setPointSizeF(appearance.fontSize);
  font.setBold(appearance.bold);
  font.setItalic(appearance.italic);
  return font;
}

QPalette displayPalette(const Appearance& appearance, const QPalette& base) {
  QPalette palette = base;
  // System colours resolve against the window's own palette, not the one
  // being changed, so a second application gives the same result.
  if (const auto back = colorFromCode(appearance.backColor, base)) {
    palette.setColor(QPalette::Base, *back);
  }
  if (const auto fore = colorFromCode(appearance.foreColor, base)) {
    palette.setColor(QPalette::Text, *fore);
  }
  return palette;
}

}  // namespace kelvane::ui
