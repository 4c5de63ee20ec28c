#include "ui/main_window/window_view.h"

#include <QAction>
#include <QIcon>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QWebEngineView>

#include "engine/engine.h"
#include "platform/desktop_notice.h"
#include "platform/dialogs.h"
#include "platform/web_engine_browser.h"
#include "ui/main_window/buffer_mirror.h"
#include "ui/main_window/data_page.h"
#include "ui/main_window/form_layout.h"
#include "ui/main_window/setting_page.h"
#include "ui/main_window/tab_control.h"
#include "ui/main_window/web_page.h"

namespace kelvane::ui {

WindowView::WindowView(WindowViewParts parts) : parts_(std::move(parts)) {}

// The mirrors watch boxes that go with the window.
WindowView::~WindowView() = default;

void WindowView::mirror(engine::Engine& engine) {
  text3Mirror_ = std::make_unique<BufferMirror>(engine.d(), parts_.data->Text3);
  text6Mirror_ = std::make_unique<BufferMirror>(engine.ht(), parts_.setting->Text6);
}

std::unique_ptr<acquisition::Browser> WindowView::createBrowser() {
  QWidget* holder = parts_.web->WebBrowser1;
  if (parts_.browserFactory) return parts_.browserFactory(holder);
  auto* view = parts_.browserProfile ? new QWebEngineView(parts_.browserProfile(), holder)
                                     : new QWebEngineView(holder);
  holder->layout()->addWidget(view);
  return std::make_unique<platform::WebEngineBrowser>(view);
}

void WindowView::takeEdits() {
  text3Mirror_->takeEdit();
  text6Mirror_->takeEdit();
}

void WindowView::showBuffers(bool evenHidden) {
  // A box on a page that is not shown catches up when its page is shown.
  for (BufferMirror* mirror : {text3Mirror_.get(), text6Mirror_.get()}) {
    if (evenHidden || mirror->box()->isVisible()) mirror->show();
  }
}

QString WindowView::displayText() const {
  return parts_.data->Text3->toPlainText();
}

void WindowView::showScriptLines(const std::vector<engine::Text>& lines) {
  QListWidget* list = parts_.setting->ScriptList;
  list->clear();
  QStringList items;
  items.reserve(static_cast<qsizetype>(lines.size()));
  for (const engine::Text& line : lines) items.append(QString::fromStdU16String(line));
  list->addItems(items);
}

bool WindowView::showLine(int index, bool evenHidden) {
  QListWidget* list = parts_.setting->ScriptList;
  if (index >= list->count() || !(evenHidden || list->isVisible())) return false;
  list->setCurrentRow(index);
  list->scrollToItem(list->currentItem());
  return true;
}

void WindowView::showMessage(const QString& text) {
  parts_.dialogs->showMessage(parts_.window, text);
}

QString WindowView::caption() const {
  return parts_.window->windowTitle();
}

QString WindowView::scriptPath() const {
  return parts_.setting->ScriptPath->text();
}

QString WindowView::urlText() const {
  return parts_.web->Text2->text();
}

void WindowView::setUrlText(const QString& url) {
  parts_.web->Text2->setText(url);
}

run::LogEntry WindowView::logEntry() {
  return {parts_.setting->Text5->text().toStdString(),
          parts_.setting->MemoText->text().toStdU16String()};
}

QString WindowView::waitValueText() const {
  return parts_.setting->WaitValue->text();
}

void WindowView::showLoadFailure(const std::optional<QString>& note) {
  TabStrip* strip = parts_.tabs->strip();
  const int data = static_cast<int>(Page::Data);
  strip->setTabIcon(data, note ? failureMark(strip->iconSize().height()) : QIcon());
  strip->setTabToolTip(data, note.value_or(QString()));
}

void WindowView::repaintNow() {
  parts_.window->repaint();
}

bool WindowView::changeNoticeOn() const {
  return parts_.changeNotice->isChecked();
}

acquisition::SettleMode WindowView::settleMode() const {
  return parts_.autoSettle->isChecked() ? acquisition::SettleMode::Auto
                                        : acquisition::SettleMode::Fixed;
}

void WindowView::notifyChange(const QString& summary, const QString& body) {
  if (parts_.notify) {
    parts_.notify(summary, body);
  } else {
    platform::showDesktopNotice(summary, body);
  }
}

void WindowView::showHistoryFailure(const QString& text) {
  // Said once at a time, without holding up the runs that follow.
  if (historyFailure_) return;
  historyFailure_ = new QMessageBox(QMessageBox::Warning, parts_.window->windowTitle(), text,
                                    QMessageBox::Ok, parts_.window);
  historyFailure_->setAttribute(Qt::WA_DeleteOnClose);
  historyFailure_->open();
}

}  // namespace kelvane::ui
