#include "ui/main_window/companion_windows.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QLocale>
#include <QUrl>

#include "platform/dialogs.h"
#include "ui/main_window/manual.h"
#include "ui/main_window/window_place.h"
#include "ui/workbench/script_workbench.h"

namespace kelvane::ui {
namespace {

template <typename W>
void bringUp(W* w) {
  w->show();
  w->raise();
  w->activateWindow();
}

}  // namespace

void CompanionWindows::showAbout() {
  if (!about_) {
    about_ = new frmSplash(window_);
    about_->setAttribute(Qt::WA_DeleteOnClose);
    about_->adjustSize();
    placeOver(about_, window_);
  }
  about_->fillLabels();
  bringUp(about_.data());
}

void CompanionWindows::showHistory(const QString& historyPath) {
  // A window on a history no longer the watch's gives way to a new one.
  if (history_ && history_->path() != historyPath) {
    history_->close();
    history_ = nullptr;
  }
  if (!history_) {
    history_ = new HistoryWindow(historyPath, window_);
    history_->setAttribute(Qt::WA_DeleteOnClose);
    placeOver(history_, window_);
  } else {
    history_->reload();
  }
  bringUp(history_.data());
}

void CompanionWindows::showWorkbench(const QString& scriptPath, PageSource source, bool onPage) {
  if (workbench_) {
    workbench_->raise();
    workbench_->activateWindow();
  } else {
    auto* bench = new ScriptWorkbench(scriptPath, std::move(source), window_);
    workbench_ = bench;
    placeOver(bench, window_);
    bench->show();
    bench->runPreview();
  }
  // Asked from the Page tab: the page to pick on, as rendered.
  if (auto* bench = qobject_cast<ScriptWorkbench*>(workbench_.data()); bench && onPage)
    bench->showRenderedPage();
}

bool CompanionWindows::closeWorkbench() {
  return !workbench_ || workbench_->close();
}

void CompanionWindows::showManual(const QString& programDir) {
  const ManualPlace manual = findManual(programDir, QLocale());
  if (manual.found.isEmpty()) {
    dialogs_.showMessage(
        window_, QCoreApplication::translate("Form1", "マニュアルが見つかりません．") + u'\n' +
                     manual.looked.join(u'\n'));
  } else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(manual.found))) {
    dialogs_.showMessage(window_, QCoreApplication::translate("Form1", "マニュアルを開けません．") +
                                      u'\n' + manual.found);
  }
}

}  // namespace kelvane::ui
