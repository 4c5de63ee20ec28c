// The common dialogs of the main window: choosing a file to open, a font and
// a colour, and the modal message box. The window talks to the interface, so
// tests can hand it their own choices instead of showing dialogs.
#pragma once

#include <QColor>
#include <QString>
#include <optional>

class QWidget;

namespace kelvane::platform {

// The font attributes the display keeps: face, size in points, bold, italic.
struct FontChoice {
  QString family;
  double pointSize = 9.0;
  bool bold = false;
  bool italic = false;
  friend bool operator==(const FontChoice&, const FontChoice&) = default;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // The file-open chooser, listing every file ("*.*") and starting in
  // initialDir. The full path of the chosen file, or nothing when the user
  // cancelled or no name came back.
  virtual std::optional<QString> chooseOpenFile(QWidget* parent, const QString& initialDir) = 0;
  // The font chooser preset with the display's font; nothing on cancel.
  virtual std::optional<FontChoice> chooseFont(QWidget* parent, const FontChoice& preset) = 0;
  // The colour chooser preset with the current colour; nothing on cancel.
  virtual std::optional<QColor> chooseColor(QWidget* parent, const QColor& preset) = 0;
  // A modal message with an OK button only and the application's title.
  virtual void showMessage(QWidget* parent, const QString& text) = 0;
  // A modal question with Yes and No (No chosen at first); true for Yes.
  virtual bool confirm(QWidget* parent, const QString& question) = 0;
};

// The real dialogs.
class QtDialogs final : public Dialogs {
 public:
  std::optional<QString> chooseOpenFile(QWidget* parent, const QString& initialDir) override;
  std::optional<FontChoice> chooseFont(QWidget* parent, const FontChoice& preset) override;
  std::optional<QColor> chooseColor(QWidget* parent, const QColor& preset) override;
  void showMessage(QWidget* parent, const QString& text) override;
  bool confirm(QWidget* parent, const QString& question) override;
};

}  // namespace kelvane::platform
