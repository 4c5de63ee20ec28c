#include "platform/dialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QMessageBox>

#include "platform/message_box.h"

namespace kelvane::platform {

std::optional<QString> QtDialogs::chooseOpenFile(QWidget* parent, const QString& initialDir) {
  QFileDialog dialog(parent, QString(), initialDir);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // A name typed by hand need not exist yet: a new log file is created by
  // its first entry.
  dialog.setFileMode(QFileDialog::AnyFile);
  // "*.*" lists every file; on this system that pattern is "*" (a name needs
  // no dot), so the list shows the familiar text and matches everything.
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilter(QStringLiteral("*.* (*)"));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
  return QDir::cleanPath(QFileInfo(files.front()).absoluteFilePath());
}

std::optional<FontChoice> QtDialogs::chooseFont(QWidget* parent, const FontChoice& preset) {
  QFont font(preset.family);
  if (preset.pointSize > 0) font.setPointSizeF(preset.pointSize);
  font.setBold(preset.bold);
  font.setItalic(preset.italic);
  QFontDialog dialog(font, parent);
  // Only face, size, bold and italic are taken over: the effects (underline,
  // strike-out) are not offered.
  for (QGroupBox* group : dialog.findChildren<QGroupBox*>()) {
    if (!group->findChildren<QCheckBox*>().isEmpty()) group->hide();
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QFont chosen = dialog.selectedFont();
  return FontChoice{chosen.family(), chosen.pointSizeF(), chosen.bold(), chosen.italic()};
}

std::optional<QColor> QtDialogs::chooseColor(QWidget* parent, const QColor& preset) {
  QColorDialog dialog(preset, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QColor chosen = dialog.selectedColor();
  if (!chosen.isValid()) return std::nullopt;
  return chosen;
}

void QtDialogs::showMessage(QWidget* parent, const QString& text) {
  showMessageBox(parent, text);
}

bool QtDialogs::confirm(QWidget* parent, const QString& question) {
  const QString title = parent ? parent->window()->windowTitle() : QString();
  return QMessageBox::question(parent, title, question, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace kelvane::platform
