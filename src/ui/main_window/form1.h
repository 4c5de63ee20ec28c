// Form1, the main window: the "Data", "Setting" and "Page" pages, the popup
// menu, start-up, the settings, the log and the display's appearance. Its
// run controller hosts the engine; Form1 is the controller's view (the boxes
// mirror the engine's buffers).
#pragma once

#include <QElapsedTimer>
#include <QMargins>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "acquisition/browser.h"
#include "acquisition/scheduler.h"
#include "settings/settings.h"
#include "ui/about/frm_splash.h"
#include "ui/history/history_window.h"
#include "ui/main_window/appearance.h"
#include "ui/main_window/data_page.h"
#include "ui/main_window/design.h"
#include "ui/main_window/popup_menu.h"
#include "ui/main_window/setting_page.h"
#include "ui/main_window/web_page.h"
#include "ui/run/run_view.h"

class QAction;
class QCheckBox;
class QMenu;

namespace kelvane::platform {
class Dialogs;
}
namespace kelvane::acquisition {
class UpdateTimer;
}
namespace kelvane::engine {
class Engine;
enum class RunOutcome;
}  // namespace kelvane::engine

namespace kelvane::ui {

class BufferMirror;
class RunController;
class TabControl;

// What the window starts from. Everything has a default; tests and the
// benchmark fill in their own.
struct StartOptions {
  // The program's folder: Kelvane.cnf lives there and it becomes the current
  // directory, unless the program is installed (settings/settings_place.h).
  // Empty: the folder of the running program.
  QString applicationDir;
  // The whole argument text after the program name.
  QString commandLine;
  // A watch's own settings file (kelvane --settings FILE), relative to the
  // folder the program started in; empty: the default one.
  QString settingsFile;
  // The dialogs to use; the real ones when empty.
  std::shared_ptr<platform::Dialogs> dialogs;
  // Makes WebBrowser1 inside the holder widget; Qt WebEngine when empty.
  std::function<std::unique_ptr<acquisition::Browser>(QWidget* holder)> browserFactory;
  // The local time the scheduler sees; the machine's when empty.
  acquisition::Scheduler::Clock clock;
  // Ends the program (QuitBtn, mnuExit); quits the event loop when empty.
  std::function<void()> quit;
  // Tells the desktop that an automatic run changed the display; a desktop
  // notification when empty.
  std::function<void(const QString& summary, const QString& body)> notify;
};

// A check box's value as the settings store it (0 off, 1 on, 2 greyed),
// and back.
int checkValue(const QCheckBox* box);
void setCheckValue(QCheckBox* box, int value);
// Calls react whenever the box's state changes, by the user or the program.
void onCheckStateChanged(QCheckBox* box, QObject* context, std::function<void()> react);

// The command-line text: the arguments after the program name joined by
// single spaces, as they came (quotes the shell passed stay).
QString commandLineText(const QStringList& arguments);

class Form1 : public QWidget, private RunView {
  Q_OBJECT

 public:
  explicit Form1(StartOptions options = {}, QWidget* parent = nullptr);
  ~Form1() override;

  // Runs of the script (the run controller's runByHand).
  engine::RunOutcome Exec_Click();
  void mnuReflesh_Click() { Exec_Click(); }
  // The script file and the log file choosers.
  void ScriptSel_Click();
  void Command4_Click();
  // The log, the page, the settings.
  void Command2_Click();
  void Command3_Click();
  void Command5_Click();
  // Ending the program.
  void QuitBtn_Click();
  // The popup menu.
  void mnuExit_Click() { QuitBtn_Click(); }
  void mnuSetting_Click() { Command5_Click(); }
  void mnuLog_Click() { Command2_Click(); }
  void mnuShowT_Click();
  void mnuTimerOn_Click();
  void mnuFont_Click();
  void mnuColor_Click();
  void mnuBackColor_Click();
  void mnuVersion_Click();
  // Opens the user manual in the system's browser.
  void mnuManual_Click();
  void mnuHistory_Click();
  // Opens the script workbench on the script file (also a double-click on
  // the script list).
  void mnuScriptEdit_Click();
  QWidget* workbench() const { return workbench_; }
  // The tab control and the window.
  void SSTab1_Click(int previousTab);
  void SSTab1_DblClick() { mnuShowT_Click(); }
  void Form_Resize();
  // A mouse button released over the window or the tab control.
  void Form_MouseUp(Qt::MouseButton button, const QPoint& globalPos);
  // Opens mnuPop by the keyboard, beside the control that has the focus.
  void openPopupFromKeyboard();
  // The TITLE destination: a hidden title bar stays hidden.
  void SetTitle(const QString& caption);

  // Brings the boxes up to date with the engine's buffers at once.
  void showBuffers();

  engine::Engine& engine();
  QMenu* mnuPop() const { return mnuPop_; }
  QAction* menuItem(const char* name) const;
  const Appearance& appearance() const { return appearance_; }
  const QString& settingsPath() const { return settingsPath_; }
  acquisition::UpdateTimer& timer1();
  TabControl* SSTab1() const { return SSTab1_; }
  bool browserCreated() const;
  frmSplash* aboutBox() const { return about_; }
  // The settings as the window holds them now (what Command5 saves).
  settings::Settings currentSettings() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The context-menu key and Shift+F10 open the popup menu.
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Construction, in order.
  void createPages();
  void createPopupMenu();
  void createRunController();
  void connectSignals();
  void Form_Load();
  // Quitting: runs, loads and waits end at their next look; no timer ticks.
  void endEverything();

  // Settings and appearance.
  void readSettings();
  void applySettings(const settings::Settings& values, const settings::ReadReport& report);
  struct FieldPlaces;
  FieldPlaces fieldPlaces() const;
  void applyAppearance();
  void applyOuterGeometry();
  void keepStoredPosition(settings::Settings& values, QSize outer) const;
  void setCheck1Box(int value);
  // Installed, the script and log paths typed or given relative become
  // absolute in their boxes, so that they still name the same files when
  // the program next starts in another folder.
  void makePathsAbsolute();
  void updateTimeWindow();

  // The run controller's view.
  void takeEdits() override;
  void showBuffers(bool evenHidden) override;
  QString displayText() const override;
  void showScriptLines(const std::vector<engine::Text>& lines) override;
  bool showLine(int index, bool evenHidden) override;
  void showMessage(const QString& text) override;
  QString caption() const override { return windowTitle(); }
  void setCaption(const QString& caption) override { SetTitle(caption); }
  QString scriptPath() const override;
  QString urlText() const override;
  void setUrlText(const QString& url) override;
  QString waitValueText() const override;
  void showLoadFailure(const std::optional<QString>& note) override;
  void repaintNow() override { repaint(); }
  bool changeNoticeOn() const override;
  acquisition::SettleMode settleMode() const override;
  void notifyChange(const QString& summary, const QString& body) override;
  void appendLogEntry() override { Command2_Click(); }
  void showHistoryFailure(const QString& text) override;
  std::unique_ptr<acquisition::Browser> createBrowser() override;

  // Pixels and twips at this window's DPI.
  float twipsX(int pixels) const;
  float twipsY(int pixels) const;
  int pixelsX(float twips) const;
  int pixelsY(float twips) const;
  QSize frameExtra() const;
  QMargins frameMargins() const;
  // Whether the window manager has told the window's frame yet.
  bool frameKnown() const;
  void placeOnceFramed();
  void placeWebBrowser();

  StartOptions options_;
  std::shared_ptr<platform::Dialogs> dialogs_;
  Design design_;
  TabControl* SSTab1_ = nullptr;
  DataPage data_;
  SettingPage setting_;
  WebPage web_;
  QMenu* mnuPop_ = nullptr;
  std::vector<QAction*> menuItems_;  // in the order of popupItems()
  QPointer<frmSplash> about_;
  QPointer<HistoryWindow> history_;
  QPointer<QMessageBox> historyFailure_;
  QPointer<QWidget> workbench_;

  std::unique_ptr<RunController> run_;
  std::unique_ptr<BufferMirror> text3Mirror_;
  std::unique_ptr<BufferMirror> text6Mirror_;

  QString settingsPath_;
  bool absolutePaths_ = false;
  Appearance appearance_;
  // Lines 1 to 4 of the settings, when the file held them: the outer bounds
  // in twips, applied again once the window frame is known.
  std::optional<QRectF> storedBounds_;
  // The frame around the window while its title bar was shown.
  QMargins hiddenFrame_;
  QElapsedTimer sinceWindowShown_;
  bool syncingCheck1_ = false;
  bool firstShow_ = true;
};

}  // namespace kelvane::ui
