// The windows the main window opens beside itself, one of each: the about
// box, the History window, the script workbench, and the user manual in the
// system's browser.
#pragma once

#include <QPointer>
#include <QString>

#include "ui/about/frm_splash.h"
#include "ui/history/history_window.h"

class QWidget;

namespace kelvane::platform {
class Dialogs;
}

namespace kelvane::ui {

struct PageSource;

class CompanionWindows {
 public:
  CompanionWindows(QWidget* window, platform::Dialogs& dialogs)
      : window_(window), dialogs_(dialogs) {}

  // Each window opens over the middle of the main window, inside the
  // screen's work area (window_place.h). A new box opens; an open one comes
  // up again.
  void showAbout();
  frmSplash* about() const { return about_; }
  // The History window of that history, brought up to date when it is open.
  void showHistory(const QString& historyPath);
  // The workbench on the script file; an open one comes to the front.
  // onPage: opened from the Page tab, it shows the rendered page to pick on.
  void showWorkbench(const QString& scriptPath, PageSource source, bool onPage = false);
  QWidget* workbench() const { return workbench_; }
  // Closes the workbench as its own frame would: with unsaved edits it asks
  // to save, discard or cancel. False when the user cancelled (or a save
  // failed) and the workbench stays.
  bool closeWorkbench();
  // The manual found from the program's folder, or a message saying where
  // it was looked for.
  void showManual(const QString& programDir);

 private:
  QWidget* window_;
  platform::Dialogs& dialogs_;
  QPointer<frmSplash> about_;
  QPointer<HistoryWindow> history_;
  QPointer<QWidget> workbench_;
};

}  // namespace kelvane::ui
