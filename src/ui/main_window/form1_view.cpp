// Form1 as its run controller's view: the boxes that mirror the engine's
// buffers, the script list, the failed-load mark and the other controls a
// run reads or fills; and ending the program.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QIcon>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

#include "engine/engine.h"
#include "history/store.h"
#include "platform/desktop_notice.h"
#include "platform/dialogs.h"
#include "platform/web_engine_browser.h"
#include "ui/about/frm_splash.h"
#include "ui/main_window/buffer_mirror.h"
#include "ui/main_window/form1.h"
#include "ui/main_window/form_layout.h"
#include "ui/main_window/manual.h"
#include "ui/main_window/tab_control.h"
#include "ui/run/run_controller.h"
#include "ui/workbench/script_workbench.h"

namespace kelvane::ui {

void Form1::createRunController() {
  run_ = std::make_unique<RunController>(static_cast<RunView&>(*this), options_.clock);
  text3Mirror_ = std::make_unique<BufferMirror>(run_->engine().d(), data_.Text3);
  text6Mirror_ = std::make_unique<BufferMirror>(run_->engine().ht(), setting_.Text6);
}

std::unique_ptr<acquisition::Browser> Form1::createBrowser() {
  QWidget* holder = web_.WebBrowser1;
  if (options_.browserFactory) return options_.browserFactory(holder);
  auto* view = new QWebEngineView(holder);
  holder->layout()->addWidget(view);
  return std::make_unique<platform::WebEngineBrowser>(view);
}

engine::RunOutcome Form1::Exec_Click() {
  return run_->runByHand();
}

void Form1::Command3_Click() {
  run_->loadPageByHand();
}

void Form1::mnuManual_Click() {
  const QString programDir = options_.applicationDir.isEmpty()
                                 ? QCoreApplication::applicationDirPath()
                                 : options_.applicationDir;
  const ManualPlace manual = findManual(programDir, QLocale());
  if (manual.found.isEmpty()) {
    showMessage(QCoreApplication::translate("Form1", "マニュアルが見つかりません．") + u'\n' +
                manual.looked.join(u'\n'));
  } else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(manual.found))) {
    showMessage(QCoreApplication::translate("Form1", "マニュアルを開けません．") + u'\n' +
                manual.found);
  }
}

void Form1::mnuScriptEdit_Click() {
  if (workbench_) {
    workbench_->raise();
    workbench_->activateWindow();
    return;
  }
  PageSource source;
  // The page as the last load left it; before any load, what HT holds.
  source.page = [this] {
    const engine::Text& page = run_->lastPage();
    return page.empty() ? engine::Text(engine().ht().view()) : page;
  };
  source.selectedHtml = [this] { return setting_.Text6->textCursor().selectedText(); };
  auto* bench = new ScriptWorkbench(setting_.ScriptPath->text(), std::move(source), this);
  workbench_ = bench;
  bench->show();
  bench->runPreview();
}

void Form1::showBuffers() {
  run_->showBuffers(true);
}

engine::Engine& Form1::engine() {
  return run_->engine();
}

acquisition::UpdateTimer& Form1::timer1() {
  return run_->timer();
}

bool Form1::browserCreated() const {
  return run_->browserCreated();
}

// ---- the view --------------------------------------------------------------

void Form1::takeEdits() {
  text3Mirror_->takeEdit();
  text6Mirror_->takeEdit();
}

void Form1::showBuffers(bool evenHidden) {
  // A box on a page that is not shown catches up when its page is shown.
  for (BufferMirror* mirror : {text3Mirror_.get(), text6Mirror_.get()}) {
    if (evenHidden || mirror->box()->isVisible()) mirror->show();
  }
}

QString Form1::displayText() const {
  return data_.Text3->toPlainText();
}

void Form1::showScriptLines(const std::vector<engine::Text>& lines) {
  QListWidget* list = setting_.ScriptList;
  list->clear();
  QStringList items;
  items.reserve(static_cast<qsizetype>(lines.size()));
  for (const engine::Text& line : lines) items.append(QString::fromStdU16String(line));
  list->addItems(items);
}

bool Form1::showLine(int index, bool evenHidden) {
  QListWidget* list = setting_.ScriptList;
  if (index >= list->count() || !(evenHidden || list->isVisible())) return false;
  list->setCurrentRow(index);
  list->scrollToItem(list->currentItem());
  return true;
}

void Form1::showMessage(const QString& text) {
  dialogs_->showMessage(this, text);
}

QString Form1::scriptPath() const {
  return setting_.ScriptPath->text();
}

QString Form1::urlText() const {
  return web_.Text2->text();
}

void Form1::setUrlText(const QString& url) {
  web_.Text2->setText(url);
}

QString Form1::waitValueText() const {
  return setting_.WaitValue->text();
}

void Form1::showLoadFailure(const std::optional<QString>& note) {
  TabStrip* strip = SSTab1_->strip();
  const int data = static_cast<int>(Page::Data);
  strip->setTabIcon(data, note ? failureMark(strip->iconSize().height()) : QIcon());
  strip->setTabToolTip(data, note.value_or(QString()));
}

bool Form1::changeNoticeOn() const {
  return menuItem("mnuChangeNotice")->isChecked();
}

acquisition::SettleMode Form1::settleMode() const {
  return menuItem("mnuAutoSettle")->isChecked() ? acquisition::SettleMode::Auto
                                                : acquisition::SettleMode::Fixed;
}

void Form1::notifyChange(const QString& summary, const QString& body) {
  if (options_.notify) {
    options_.notify(summary, body);
  } else {
    platform::showDesktopNotice(summary, body);
  }
}

// ---- ending ----------------------------------------------------------------

void Form1::QuitBtn_Click() {
  // Everything ends now: a run, a page load or a wait in progress ends at
  // its next look, nothing is saved, no window stays.
  endEverything();
  if (about_) about_->hide();
  hide();
  if (options_.quit) {
    options_.quit();
  } else {
    QCoreApplication::quit();
  }
}

void Form1::closeEvent(QCloseEvent* event) {
  // Form_Unload: the about box goes with the main window, and so does
  // whatever was going on: the program ends with its last window.
  if (about_) about_->close();
  endEverything();
  event->accept();
}

void Form1::endEverything() {
  run_->endEverything();
  // An open message box goes too: the run waiting on it then ends.
  if (QWidget* box = QApplication::activeModalWidget(); box != nullptr && box != this) box->close();
}

void Form1::mnuHistory_Click() {
  // One History window; choosing the item again brings it up to date.
  if (!history_) {
    history_ = new HistoryWindow(
        QString::fromStdString(history::historyPathFor(settingsPath_.toStdString())), this);
    history_->setAttribute(Qt::WA_DeleteOnClose);
  } else {
    history_->reload();
  }
  history_->show();
  history_->raise();
  history_->activateWindow();
}

void Form1::showHistoryFailure(const QString& text) {
  // Said once at a time, without holding up the runs that follow.
  if (historyFailure_) return;
  historyFailure_ =
      new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
  historyFailure_->setAttribute(Qt::WA_DeleteOnClose);
  historyFailure_->open();
}

}  // namespace kelvane::ui
