#include "ui/main_window/form1.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "acquisition/update_timer.h"
#include "engine/engine.h"
#include "platform/dialogs.h"
#include "platform/message_box.h"
#include "platform/title_bar.h"
#include "settings/settings_place.h"
#include "ui/about/frm_splash.h"
#include "ui/main_window/accessible_names.h"
#include "ui/main_window/buffer_mirror.h"
#include "ui/main_window/form_layout.h"
#include "ui/main_window/tab_control.h"
#include "ui/main_window/watch_file.h"
#include "ui/run/run_controller.h"

namespace kelvane::ui {
namespace {

// The client area a window without stored settings opens with, in twips.
constexpr float kStartClientWidth = 3915;
constexpr float kStartClientHeight = 7410;
// The height of the tab strip: the pages' controls start below it.
constexpr float kTabStripHeight = 315;

}  // namespace

QString commandLineText(const QStringList& arguments) {
  return arguments.mid(1).join(QLatin1Char(' '));
}

Form1::Form1(StartOptions options, QWidget* parent)
    : QWidget(parent), options_(std::move(options)) {
  dialogs_ = options_.dialogs ? options_.dialogs : std::make_shared<platform::QtDialogs>();
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromUtf8(platform::kApplicationTitle));
  // The design is measured for 9-point text; only the display follows the
  // appearance settings.
  QFont designFont = font();
  designFont.setPointSizeF(9);
  setFont(designFont);

  createPages();
  createPopupMenu();
  createRunController();
  connectSignals();
  nameControls(this);
  Form_Load();
}

Form1::~Form1() {
  // The mirrors watch boxes that go with the window.
  text3Mirror_.reset();
  text6Mirror_.reset();
}

void Form1::createPages() {
  SSTab1_ = new TabControl(this);
  SSTab1_->setObjectName(QStringLiteral("SSTab1"));
  SSTab1_->setStripHeight(pixelsY(kTabStripHeight));
  data_ = buildDataPage(SSTab1_->addPage(QStringLiteral("Data")), design_);
  setting_ = buildSettingPage(SSTab1_->addPage(QStringLiteral("Setting")), design_);
  web_ = buildWebPage(SSTab1_->addPage(QStringLiteral("Page")), design_);
  // The browser never hides: a hidden page has its timers throttled and
  // would not settle while a run loads it from another page. Away from its
  // own page it is moved out of sight instead, as a tab control of old did
  // with the controls of its other pages.
  web_.WebBrowser1->setParent(SSTab1_);
  web_.WebBrowser1->show();
  if (!options_.browserFactory && QOpenGLContext().create()) {
    // The browser draws through OpenGL. A window whose surface has to change
    // for it is made anew when the browser comes in (a new native window: a
    // click at that moment is lost). A hidden OpenGL child gives the window
    // that surface from the start (where there is OpenGL at all).
    auto* surface = new QOpenGLWidget(this);
    surface->setObjectName(QStringLiteral("browserSurface"));
    surface->hide();
  }
  resize(pixelsX(kStartClientWidth), pixelsY(kStartClientHeight));
}

void Form1::connectSignals() {
  connect(SSTab1_, &TabControl::currentChanged, this,
          [this](int, int previous) { SSTab1_Click(previous); });
  // Right-button releases and double-clicks on the tab control reach the
  // window from the strip, the control and the pages' free areas.
  SSTab1_->installEventFilter(this);
  SSTab1_->strip()->installEventFilter(this);
  for (int i = 0; i < SSTab1_->pageCount(); ++i) SSTab1_->page(i)->installEventFilter(this);

  connect(setting_.Exec, &QPushButton::clicked, this, [this] { Exec_Click(); });
  connect(setting_.ScriptSel, &QPushButton::clicked, this, &Form1::ScriptSel_Click);
  connect(setting_.Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
  connect(setting_.Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
  connect(setting_.Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
  connect(setting_.QuitBtn, &QPushButton::clicked, this, &Form1::QuitBtn_Click);
  connect(web_.Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
  for (QLineEdit* box : {setting_.ScriptPath, setting_.Text5}) {
    connect(box, &QLineEdit::editingFinished, this, &Form1::makePathsAbsolute);
  }
  connect(setting_.ScriptList, &QListWidget::itemDoubleClicked, this,
          [this] { mnuScriptEdit_Click(); });

  auto& scheduler = run_->timer().scheduler();
  onCheckStateChanged(setting_.Check1, this, [this, &scheduler] {
    if (!syncingCheck1_) scheduler.setAutoUpdate(checkValue(setting_.Check1));
  });
  connect(setting_.Text4, &QLineEdit::textChanged, this,
          [&scheduler](const QString& text) { scheduler.setIntervalText(text.toStdU16String()); });
  for (QLineEdit* box : {setting_.Text7, setting_.Text8, setting_.Text9, setting_.Text10}) {
    connect(box, &QLineEdit::textChanged, this, &Form1::updateTimeWindow);
  }
  onCheckStateChanged(setting_.TimeWindow, this, [this] { updateTimeWindow(); });
  onCheckStateChanged(setting_.Check3, this, [this, &scheduler] {
    scheduler.setLogAutoWrite(setting_.Check3->checkState() == Qt::Checked);
  });
  // A greyed state read from the settings lasts until the user clicks the
  // box; from then on it is an ordinary two-state box.
  for (QCheckBox* box : {setting_.Check1, setting_.Check3, setting_.TimeWindow}) {
    connect(box, &QCheckBox::clicked, box, [box] {
      if (box->checkState() != Qt::PartiallyChecked) box->setTristate(false);
    });
  }
}

void Form1::updateTimeWindow() {
  run_->timer().scheduler().setTimeWindow({
      .startHour = setting_.Text7->text().toStdU16String(),
      .startMinute = setting_.Text8->text().toStdU16String(),
      .endHour = setting_.Text9->text().toStdU16String(),
      .endMinute = setting_.Text10->text().toStdU16String(),
      .inForce = setting_.TimeWindow->checkState() == Qt::Checked,
  });
}

void Form1::setCheck1Box(int value) {
  syncingCheck1_ = true;
  setCheckValue(setting_.Check1, value);
  syncingCheck1_ = false;
}

// Start-up, in its fixed order. A step that fails is skipped silently.
void Form1::Form_Load() {
  web_.Command3->hide();
  setting_.Command4->hide();
  setting_.ScriptList->hide();

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
  engine::Engine& engine = run_->engine();
  engine.resetLoop();
  setting_.WaitValue->setText(QStringLiteral("8"));
  for (QLineEdit* box : {web_.Text2, setting_.Text4, setting_.Text5, setting_.Text7, setting_.Text8,
                         setting_.Text9, setting_.Text10}) {
    box->clear();
  }
  engine.d().clear();
  engine.ht().clear();
  run_->showBuffers(true);

  readSettings();
  if (!commandLine.isEmpty()) setting_.ScriptPath->setText(commandLine);
  makePathsAbsolute();

  SSTab1_->setCurrentIndex(static_cast<int>(Page::Data));
  auto& scheduler = run_->timer().scheduler();
  scheduler.setIntervalText(setting_.Text4->text().toStdU16String());
  run_->timer().setTimerEnabled(true);
  scheduler.makeFirstTickDue();
  scheduler.setMenuMarked(scheduler.autoUpdate() != 0);
  menuItem("mnuTimerOn")->setChecked(scheduler.menuMarked());
}

// ---- layout ----------------------------------------------------------------

float Form1::twipsX(int pixels) const {
  return pixelsToTwips(pixels, logicalDpiX());
}
float Form1::twipsY(int pixels) const {
  return pixelsToTwips(pixels, logicalDpiY());
}
int Form1::pixelsX(float twips) const {
  return twipsToPixels(twips, logicalDpiX());
}
int Form1::pixelsY(float twips) const {
  return twipsToPixels(twips, logicalDpiY());
}

QSize Form1::frameExtra() const {
  if (!isWindow() || !testAttribute(Qt::WA_WState_Created)) return {0, 0};
  const QSize extra = frameGeometry().size() - geometry().size();
  return {std::max(0, extra.width()), std::max(0, extra.height())};
}

void Form1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Form_Resize();
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

void Form1::Form_Resize() {
  if (isMinimized()) return;
  // The smallest outer window, whatever frame the window system draws.
  const QSize extra = frameExtra();
  const QSize smallest(std::max(1, pixelsX(kMinOuterWidth) - extra.width()),
                       std::max(1, pixelsY(kMinOuterHeight) - extra.height()));
  if (minimumSize() != smallest) setMinimumSize(smallest);
  float outerWidth = twipsX(width() + extra.width());
  float outerHeight = twipsY(height() + extra.height());
  if (clampToMinimum(outerWidth, outerHeight)) {
    resize(std::max(width(), smallest.width()), std::max(height(), smallest.height()));
    return;  // the resize lays the window out again
  }

  const double dpiX = logicalDpiX();
  const double dpiY = logicalDpiY();
  const float scaleWidth = twipsX(width());
  const float scaleHeight = twipsY(height());
  const LayoutValues v = computeLayout({
      .scaleWidth = scaleWidth,
      .scaleHeight = scaleHeight,
      .command3Width = static_cast<float>(design_.rectOf(web_.Command3).width()),
      .quitBtnWidth = static_cast<float>(design_.rectOf(setting_.QuitBtn).width()),
      .text6Top = static_cast<float>(design_.rectOf(setting_.Text6).top()),
  });
  SSTab1_->setGeometry(0, 0, width(), height());
  SSTab1_->setStripHeight(pixelsY(kTabStripHeight));

  // Every control from its design rectangle, with what the rules change.
  const auto place = [&](QWidget* w, std::optional<float> left, std::optional<float> width,
                         std::optional<float> height) {
    QRectF r = design_.rectOf(w);
    if (left) r.moveLeft(*left);
    if (width) r.setWidth(*width);
    if (height) r.setHeight(*height);
    w->setGeometry(twipsRectToPixels(static_cast<float>(r.left()), static_cast<float>(r.top()),
                                     static_cast<float>(r.width()), static_cast<float>(r.height()),
                                     dpiX, dpiY));
  };
  for (auto it = design_.all().begin(); it != design_.all().end(); ++it) {
    place(it.key(), std::nullopt, std::nullopt, std::nullopt);
  }
  place(data_.Text3, std::nullopt, v.text3Width, v.text3Height);
  place(setting_.Text5, std::nullopt, v.text5Width, std::nullopt);
  place(web_.Text2, std::nullopt, v.text2Width, std::nullopt);
  place(web_.Command3, v.command3Left, std::nullopt, std::nullopt);
  place(setting_.MemoText, v.memoTextLeft, v.memoTextWidth, std::nullopt);
  place(setting_.ScriptList, v.scriptListLeft, v.scriptListWidth, std::nullopt);
  place(setting_.Command4, v.command4Left, std::nullopt, std::nullopt);
  place(setting_.ScriptPath, std::nullopt, v.scriptPathWidth, std::nullopt);
  place(setting_.ScriptSel, v.scriptSelLeft, std::nullopt, std::nullopt);
  place(setting_.QuitBtn, v.quitBtnLeft, std::nullopt, std::nullopt);
  place(setting_.Text6, std::nullopt, v.text6Width, v.text6Height);
  place(web_.WebBrowser1, std::nullopt, v.webBrowserWidth, v.webBrowserHeight);
  placeWebBrowser();
}

void Form1::placeWebBrowser() {
  QWidget* browser = web_.WebBrowser1;
  const bool onItsPage = SSTab1_->currentIndex() == static_cast<int>(Page::Page);
  const int left = twipsToPixels(design_.rectOf(browser).left(), logicalDpiX());
  browser->move(onItsPage ? left : -browser->width() - 1000, browser->y());
  // Out of sight it takes no keyboard focus either: Tab and Shift+Tab must
  // not send keys into a page nobody sees.
  browser->setEnabled(onItsPage);
  if (onItsPage) browser->raise();
}

void Form1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!firstShow_) return;
  firstShow_ = false;
  // The stored bounds are the outer window, frame included, and the frame
  // is known only once the window manager has put it around the window,
  // some time after the window is shown: until then the inner size cannot
  // be told. A window manager that draws no frame is given a moment.
  sinceWindowShown_.start();
  QTimer::singleShot(0, this, &Form1::placeOnceFramed);
}

void Form1::placeOnceFramed() {
  constexpr qint64 kFrameWaitMs = 1000;
  if (!frameKnown() && sinceWindowShown_.elapsed() < kFrameWaitMs) {
    QTimer::singleShot(10, this, &Form1::placeOnceFramed);
    return;
  }
  applyOuterGeometry();
  Form_Resize();
}

bool Form1::frameKnown() const {
  const QString platform = QGuiApplication::platformName();
  return !platform::isTitleBarShown(this) || platform == QLatin1String("offscreen") ||
         platform == QLatin1String("minimal") || frameGeometry() != geometry();
}

QMargins Form1::frameMargins() const {
  const QRect outer = frameGeometry();
  const QRect inner = geometry();
  return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
          outer.bottom() - inner.bottom()};
}

void Form1::applyOuterGeometry() {
  if (!storedBounds_) return;
  const QRectF b = *storedBounds_;
  // Stored bounds may come from another screen layout, or be nonsense: the
  // size stays within the desktop, and a window whose middle would lie off
  // every screen is left where the window system puts it.
  const auto pixels = [](double twips, double dpi) {
    return twipsToPixels(std::isfinite(twips) ? std::clamp(twips, -1e7, 1e7) : 0.0, dpi);
  };
  const QRect desktop = screen() ? screen()->virtualGeometry() : QRect(0, 0, 8192, 8192);
  const QSize extra = frameExtra();
  const int width =
      std::clamp(pixels(b.width(), logicalDpiX()) - extra.width(), 1, std::max(1, desktop.width()));
  const int height = std::clamp(pixels(b.height(), logicalDpiY()) - extra.height(), 1,
                                std::max(1, desktop.height()));
  resize(width, height);
  QRect outer(QPoint(pixels(b.left(), logicalDpiX()), pixels(b.top(), logicalDpiY())),
              QSize(width, height) + extra);
  const QScreen* on = QGuiApplication::screenAt(outer.center());
  if (on == nullptr) return;
  // Nor is the title bar ever off the screen (a file from a window system
  // that keeps positions to itself may hold any): the window is moved
  // inside the screen's work area, its top-left corner first.
  const QRect area = on->availableGeometry();
  outer.moveLeft(std::max(area.left(), std::min(outer.left(), area.right() + 1 - outer.width())));
  outer.moveTop(std::max(area.top(), std::min(outer.top(), area.bottom() + 1 - outer.height())));
  move(outer.topLeft());
}

// ---- tabs, popup menu, title bar ---------------------------------------------

void Form1::SSTab1_Click(int /*previousTab*/) {
  const int page = SSTab1_->currentIndex();
  const TabVisibility shown = tabVisibility(page);
  web_.Command3->setVisible(shown.command3);
  setting_.Command4->setVisible(shown.command4);
  setting_.ScriptList->setVisible(shown.scriptList);
  setting_.QuitBtn->setVisible(shown.quitBtn);
  placeWebBrowser();
  if (page == static_cast<int>(Page::Page)) run_->ensureBrowser();
  // The page now shown catches up with the engine at once.
  run_->showBuffers(false);
}

void Form1::mnuShowT_Click() {
  // The frame goes away around the window and comes back the same: what it
  // was is kept, so the stored outer bounds do not change meanwhile.
  if (platform::isTitleBarShown(this)) hiddenFrame_ = frameMargins();
  platform::toggleTitleBar(this);
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

void Form1::mnuVersion_Click() {
  if (!about_) {
    about_ = new frmSplash(this);
    about_->setAttribute(Qt::WA_DeleteOnClose);
    about_->adjustSize();
    // A new box opens over the middle of the main window.
    QRect box = about_->frameGeometry();
    box.moveCenter(frameGeometry().center());
    about_->move(box.topLeft());
  }
  about_->fillLabels();
  about_->show();
  about_->raise();
  about_->activateWindow();
}

}  // namespace kelvane::ui
