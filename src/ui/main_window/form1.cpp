#include "ui/main_window/form1.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <algorithm>

#include "acquisition/update_timer.h"
#include "engine/engine.h"
#include "platform/dialogs.h"
#include "platform/message_box.h"
#include "platform/title_bar.h"
#include "settings/settings_place.h"
#include "ui/main_window/accessible_names.h"
#include "ui/main_window/form_layout.h"
#include "ui/main_window/tab_control.h"
#include "ui/main_window/watch_file.h"
#include "ui/run/run_controller.h"
#include "ui/run/window_notices.h"
#include "ui/workbench/script_workbench.h"

namespace kelvane::ui {

QString commandLineText(const QStringList& arguments) {
  return arguments.mid(1).join(QLatin1Char(' '));
}

Form1::Form1(StartOptions options, QWidget* parent)
    : QWidget(parent),
      options_(std::move(options)),
      dialogs_(options_.dialogs ? options_.dialogs : std::make_shared<platform::QtDialogs>()),
      bounds_(this, [this] { Form_Resize(); }),
      pages_(this),
      menu_(*this),
      login_(pages_.web.WebBrowser1,
             [this](const QString& reason) { view_.showHistoryFailure(reason); }),
      look_(pages_.data.Text3, *dialogs_),
      settings_(pages_.setting, pages_.web, look_.appearance(),
                [this](const char* name) { return menuItem(name); }),
      companions_(this, *dialogs_),
      status_(this),
      view_({
          .window = this,
          .data = &pages_.data,
          .setting = &pages_.setting,
          .web = &pages_.web,
          .tabs = pages_.SSTab1,
          .changeNotice = menuItem("mnuChangeNotice"),
          .autoSettle = menuItem("mnuAutoSettle"),
          .dialogs = dialogs_.get(),
          .setCaption = [this](const QString& caption) { SetTitle(caption); },
          .notify = options_.notify,
          .browserFactory = options_.browserFactory,
          .browserProfile = [this] { return login_.profile(); },
      }) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromUtf8(platform::kApplicationTitle));
  // The design is measured for 9-point text; only the display follows the
  // appearance settings.
  QFont designFont = font();
  designFont.setPointSizeF(9);
  setFont(designFont);
  if (!options_.browserFactory && QOpenGLContext().create()) {
    // The browser draws through OpenGL. A window whose surface has to change
    // for it is made anew when the browser comes in (a new native window: a
    // click at that moment is lost). A hidden OpenGL child gives the window
    // that surface from the start (where there is OpenGL at all).
    auto* surface = new QOpenGLWidget(this);
    surface->setObjectName(QStringLiteral("browserSurface"));
    surface->hide();
  }
  // The start bounds' size, for the client area: the frame is not known yet.
  const settings::Settings& start = settings::windowStartValues();
  resize(bounds_.pixelsX(start.windowWidth), bounds_.pixelsY(start.windowHeight));

  run_ = std::make_unique<RunController>(view_, options_.clock);
  view_.mirror(run_->engine());
  connectSignals();
  nameControls(this);
  Form_Load();
}

Form1::~Form1() = default;

void Form1::connectSignals() {
  TabControl* tabs = pages_.SSTab1;
  connect(tabs, &TabControl::currentChanged, this,
          [this](int, int previous) { SSTab1_Click(previous); });
  // Right-button releases and double-clicks on the tab control reach the
  // window from the strip, the control and the pages' free areas.
  tabs->installEventFilter(this);
  tabs->strip()->installEventFilter(this);
  for (int i = 0; i < tabs->pageCount(); ++i) tabs->page(i)->installEventFilter(this);

  const SettingPage& s = pages_.setting;
  connect(s.Exec, &QPushButton::clicked, this, [this] { Exec_Click(); });
  connect(s.ScriptSel, &QPushButton::clicked, this, &Form1::ScriptSel_Click);
  connect(s.Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
  connect(s.Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
  connect(s.Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
  connect(s.QuitBtn, &QPushButton::clicked, this, &Form1::QuitBtn_Click);
  connect(pages_.web.Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
  // Enter in the URL box loads its page, as a browser's address bar does.
  connect(pages_.web.Text2, &QLineEdit::returnPressed, this, &Form1::Command3_Click);
  for (QLineEdit* box : {s.ScriptPath, s.Text5}) {
    connect(box, &QLineEdit::editingFinished, this, &Form1::makePathsAbsolute);
  }
  connect(s.ScriptList, &QListWidget::itemDoubleClicked, this, [this] { mnuScriptEdit_Click(); });

  // The automatic update follows its boxes, changed by the user or the
  // program (a greyed Check1 counts as on); タイマーON shows the switch too.
  onCheckStateChanged(s.Check1, this, [this] {
    scheduler().setAutoUpdate(checkValue(pages_.setting.Check1));
    menuItem("mnuTimerOn")->setChecked(scheduler().menuMarked());
  });
  connect(s.Text4, &QLineEdit::textChanged, this,
          [this](const QString& text) { scheduler().setIntervalText(text.toStdU16String()); });
  for (QLineEdit* box : {s.Text7, s.Text8, s.Text9, s.Text10}) {
    connect(box, &QLineEdit::textChanged, this, &Form1::updateTimeWindow);
  }
  onCheckStateChanged(s.TimeWindow, this, [this] { updateTimeWindow(); });
  onCheckStateChanged(s.Check3, this, [this] {
    scheduler().setLogAutoWrite(pages_.setting.Check3->checkState() == Qt::Checked);
  });
  // A greyed state read from the settings lasts until the user clicks the
  // box; from then on it is an ordinary two-state box.
  for (QCheckBox* box : {s.Check1, s.Check3, s.TimeWindow}) {
    connect(box, &QCheckBox::clicked, box, [box] {
      if (box->checkState() != Qt::PartiallyChecked) box->setTristate(false);
    });
  }
}

acquisition::Scheduler& Form1::scheduler() {
  return run_->timer().scheduler();
}

void Form1::updateTimeWindow() {
  const SettingPage& s = pages_.setting;
  scheduler().setTimeWindow({
      .startHour = s.Text7->text().toStdU16String(),
      .startMinute = s.Text8->text().toStdU16String(),
      .endHour = s.Text9->text().toStdU16String(),
      .endMinute = s.Text10->text().toStdU16String(),
      .inForce = s.TimeWindow->checkState() == Qt::Checked,
  });
}

// Start-up, in its fixed order. A step that fails is skipped silently.
void Form1::Form_Load() {
  pages_.web.Command3->hide();
  pages_.setting.Command4->hide();
  pages_.setting.ScriptList->hide();

  const QString appDir = options_.applicationDir.isEmpty() ? QCoreApplication::applicationDirPath()
                                                           : options_.applicationDir;
  const QString startDir = QDir::currentPath();
  const auto place = settings::chooseSettingsPlace(settings::probePlaceFacts(appDir.toStdString()));
  settingsPath_ = QString::fromStdString(place.settingsPath);
  absolutePaths_ = place.absolutePaths;
  QString currentDir = QString::fromStdString(place.currentDir);
  QString commandLine = options_.commandLine;
  if (!options_.settingsFile.isEmpty()) {
    // A watch of its own: its file's folder is where its relative paths
    // start, and a script named with it is found from the start folder.
    const WatchPlace watch = watchPlace(options_.settingsFile, startDir, settingsPath_);
    settingsPath_ = watch.settingsPath;
    absolutePaths_ = false;
    currentDir = watch.currentDir;
    commandLine = QString::fromStdString(
        settings::absolutePath(commandLine.toStdString(), startDir.toStdString()));
    setWindowTitle(watchTitle(watch.name));
  }
  if (!currentDir.isEmpty()) QDir::setCurrent(currentDir);
  login_.setSettingsPath(settingsPath_, options_.settingsFile.isEmpty() && !place.absolutePaths);
  run_->resetEngine();
  settings_.show(settings::windowStartValues());

  if (const auto stored =
          settings_.read(settingsPath_.toStdString(), bounds_.outer(settingsPath_.toStdString()))) {
    bounds_.restore(*stored);
  }
  look_.apply();
  applyHistoryPlace();  // and the notifications, which record there
  if (!commandLine.isEmpty()) pages_.setting.ScriptPath->setText(commandLine);
  makePathsAbsolute();

  pages_.SSTab1->setCurrentIndex(static_cast<int>(Page::Data));
  run_->startTimer();
  menuItem("mnuTimerOn")->setChecked(scheduler().menuMarked());
}

// ---- the buttons ------------------------------------------------------------

engine::RunOutcome Form1::Exec_Click() {
  return run_->runByHand();
}

void Form1::Command3_Click() {
  run_->loadPageByHand();
}

void Form1::ScriptSel_Click() {
  if (const auto chosen = dialogs_->chooseOpenFile(this, QDir::currentPath())) {
    pages_.setting.ScriptPath->setText(*chosen);
  }
}

void Form1::Command4_Click() {
  if (const auto chosen = dialogs_->chooseOpenFile(this, QDir::currentPath())) {
    pages_.setting.Text5->setText(*chosen);
  }
}

void Form1::Command2_Click() {
  run_->appendLogEntry();
}

settings::Settings Form1::currentSettings() const {
  return settings_.values(bounds_.outer(settingsPath_.toStdString()));
}

void Form1::Command5_Click() {
  makePathsAbsolute();
  const std::string path = settingsPath_.toStdString();
  if (!settings::makeSettingsFolder(path) || !settings::saveSettings(path, currentSettings())) {
    dialogs_->showMessage(this, QString::fromStdU16String(settings::cannotWriteMessage()));
    return;
  }
  status_.show(QCoreApplication::translate("Form1", "設定を保存しました: %1")
                   .arg(QDir::toNativeSeparators(settingsPath_)));
}

void Form1::makePathsAbsolute() {
  if (!absolutePaths_) return;
  const std::string base = QDir::currentPath().toStdString();
  for (QLineEdit* box : {pages_.setting.ScriptPath, pages_.setting.Text5}) {
    const QString absolute =
        QString::fromStdString(settings::absolutePath(box->text().toStdString(), base));
    if (absolute != box->text()) box->setText(absolute);
  }
}

void Form1::QuitBtn_Click() {
  // Unsaved script edits are not thrown away: the workbench asks first, and
  // a cancel there keeps the program going.
  if (!companions_.closeWorkbench()) return;
  // Everything ends now: a run, a page load or a wait in progress ends at
  // its next look, no setting is saved, no window stays.
  endEverything();
  if (companions_.about()) companions_.about()->hide();
  hide();
  if (options_.quit) {
    options_.quit();
  } else {
    QCoreApplication::quit();
  }
}

void Form1::closeEvent(QCloseEvent* event) {
  // Form_Unload: the about box goes with the main window, and so does
  // whatever was going on: the program ends with its last window. Unsaved
  // script edits are asked about first, as 終了 does.
  if (!companions_.closeWorkbench()) {
    event->ignore();
    return;
  }
  if (companions_.about()) companions_.about()->close();
  endEverything();
  event->accept();
}

void Form1::endEverything() {
  run_->endEverything();
  // An open message box goes too: the run waiting on it then ends.
  if (QWidget* box = QApplication::activeModalWidget(); box != nullptr && box != this) box->close();
}

// ---- the popup menu -----------------------------------------------------------

void Form1::mnuTimerOn_Click() {
  // Check1 follows, and its change sets the item's mark.
  scheduler().toggleFromMenu();
  setCheckValue(pages_.setting.Check1, scheduler().autoUpdate());
}

void Form1::mnuManual_Click() {
  companions_.showManual(options_.applicationDir.isEmpty() ? QCoreApplication::applicationDirPath()
                                                           : options_.applicationDir);
}

void Form1::mnuHistory_Click() {
  // One History window; choosing the item again brings it up to date.
  companions_.showHistory(QString::fromStdString(historyAddress_));
}

void Form1::mnuNewWatch_Click() {
  // Watches are kept side by side: the chooser starts in this one's folder.
  const auto file = dialogs_->chooseOpenFile(this, QFileInfo(settingsPath_).absolutePath());
  if (!file) return;
  const QStringList arguments{QStringLiteral("--settings"), *file};
  const bool started =
      options_.startProgram
          ? options_.startProgram(arguments)
          : QProcess::startDetached(QCoreApplication::applicationFilePath(), arguments);
  if (!started) {
    dialogs_->showMessage(this,
                          QCoreApplication::translate("Form1", "新しいウォッチを開けません．"));
  }
}

void Form1::mnuScriptEdit_Click() {
  PageSource source;
  // The page as the last load left it; before any load, what HT holds.
  source.page = [this] {
    const engine::Text& page = run_->lastPage();
    return page.empty() ? engine::Text(run_->engine().ht().view()) : page;
  };
  source.selectedHtml = [this] { return pages_.setting.Text6->textCursor().selectedText(); };
  source.url = [this] { return pages_.web.Text2->text(); };
  companions_.showWorkbench(pages_.setting.ScriptPath->text(), std::move(source),
                            pages_.SSTab1->currentIndex() == static_cast<int>(Page::Page));
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  TabControl* tabs = pages_.SSTab1;
  const bool onTabControl = watched == tabs || watched == tabs->strip() ||
                            (watched->parent() == tabs && watched->isWidgetType());
  if (onTabControl) {
    if (event->type() == QEvent::MouseButtonRelease) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      Form_MouseUp(mouse->button(), mouse->globalPosition().toPoint());
      if (mouse->button() == Qt::RightButton) return true;
    } else if (event->type() == QEvent::MouseButtonDblClick &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      SSTab1_DblClick();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::mouseReleaseEvent(QMouseEvent* event) {
  Form_MouseUp(event->button(), event->globalPosition().toPoint());
}

void Form1::Form_MouseUp(Qt::MouseButton button, const QPoint& globalPos) {
  if (button == Qt::RightButton) menu_.popup(globalPos);
}

// A context-menu request that no control took for a menu of its own (the
// text boxes have their edit menus) reaches the window. By the mouse it is
// the right button's release that opens the menu, as above.
void Form1::contextMenuEvent(QContextMenuEvent* event) {
  if (event->reason() == QContextMenuEvent::Keyboard) {
    menu_.openBeside(focusWidget(), pages_.SSTab1->strip());
    event->accept();
  } else {
    event->ignore();
  }
}

void Form1::keyPressEvent(QKeyEvent* event) {
  const bool menuKey = event->key() == Qt::Key_Menu ||
                       (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
  if (!menuKey) {
    QWidget::keyPressEvent(event);
    return;
  }
  menu_.openBeside(focusWidget(), pages_.SSTab1->strip());
  event->accept();
}

// ---- the window and its tabs ------------------------------------------------------

void Form1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Form_Resize();
  status_.place();
}

// A window restored from minimised is laid out again: the size it was given
// while minimised (which the layout skipped) may be new, and a restore that
// keeps the size brings no resize event.
void Form1::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange &&
      (static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized) &&
      !isMinimized()) {
    Form_Resize();
  }
}

void Form1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  bounds_.shown();
}

void Form1::Form_Resize() {
  if (isMinimized()) return;
  // The smallest outer window, whatever frame the window system draws.
  const QSize extra = bounds_.frameExtra();
  const QSize smallest(std::max(1, bounds_.pixelsX(kMinOuterWidth) - extra.width()),
                       std::max(1, bounds_.pixelsY(kMinOuterHeight) - extra.height()));
  if (minimumSize() != smallest) setMinimumSize(smallest);
  float outerWidth = bounds_.twipsX(width() + extra.width());
  float outerHeight = bounds_.twipsY(height() + extra.height());
  if (clampToMinimum(outerWidth, outerHeight)) {
    resize(std::max(width(), smallest.width()), std::max(height(), smallest.height()));
    return;  // the resize lays the window out again
  }
  pages_.layOut(size());
}

void Form1::SSTab1_Click(int /*previousTab*/) {
  pages_.showCurrentPage();
  if (pages_.SSTab1->currentIndex() == static_cast<int>(Page::Page)) run_->ensureBrowser();
  // The page now shown catches up with the engine at once.
  run_->showBuffers(false);
}

void Form1::SetTitle(const QString& caption) {
  const bool titleShown = platform::isTitleBarShown(this);
  const QRect before = geometry();
  setWindowTitle(caption);
  if (!titleShown) {
    // A new caption must not bring the title bar back, nor change the
    // window's width, height or top.
    platform::setTitleBarShown(this, false);
    if (geometry() != before) setGeometry(before);
  }
}

}  // namespace kelvane::ui
