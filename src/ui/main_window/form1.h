// Form1, the main window: its handlers, in the order a reader meets them,
// over the parts that do the work: the pages and their layout (FormPages),
// the popup menu (PopupMenu), the stored settings (SettingsBinding), the
// window's outer bounds (WindowBounds), the display's look (DisplayLook),
// the windows it opens (CompanionWindows), the status line (StatusLine),
// and the run controller that hosts the engine and the automatic update,
// which sees the window through a WindowView.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "acquisition/browser.h"
#include "acquisition/scheduler.h"
#include "settings/settings.h"
#include "ui/main_window/companion_windows.h"
#include "ui/main_window/display_look.h"
#include "ui/main_window/form_pages.h"
#include "ui/main_window/popup_menu.h"
#include "ui/main_window/settings_binding.h"
#include "ui/main_window/status_line.h"
#include "ui/main_window/window_bounds.h"
#include "ui/main_window/window_login.h"
#include "ui/main_window/window_view.h"

class QMenu;

namespace kelvane::platform {
class Dialogs;
}
namespace kelvane::engine {
enum class RunOutcome;
}

namespace kelvane::ui {

class WindowNotices;

class RunController;

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
  // Starts another window program with these arguments, false when it
  // could not; this program, detached, when empty.
  std::function<bool(const QStringList& arguments)> startProgram;
  // Tells the desktop that an automatic run changed the display; a desktop
  // notification when empty.
  std::function<void(const QString& summary, const QString& body)> notify;
};

// The command-line text: the arguments after the program name joined by
// single spaces, as they came (quotes the shell passed stay).
QString commandLineText(const QStringList& arguments);

class Form1 : public QWidget {
  Q_OBJECT

 public:
  explicit Form1(StartOptions options = {}, QWidget* parent = nullptr);
  ~Form1() override;

  // The buttons of the pages.
  engine::RunOutcome Exec_Click();
  void ScriptSel_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Command5_Click();
  void QuitBtn_Click();
  // The popup menu, in its order.
  void mnuReflesh_Click() { Exec_Click(); }
  void mnuExit_Click() { QuitBtn_Click(); }
  void mnuSetting_Click() { Command5_Click(); }
  void mnuLog_Click() { Command2_Click(); }
  void mnuShowT_Click() { bounds_.toggleTitleBar(); }
  void mnuTimerOn_Click();
  void mnuFont_Click() { look_.chooseFont(); }
  void mnuColor_Click() { look_.chooseForeColor(); }
  void mnuBackColor_Click() { look_.chooseBackColor(); }
  void mnuVersion_Click() { companions_.showAbout(); }
  void mnuManual_Click();
  void mnuHistory_Click();
  void mnuNotify_Click();
  // The watch's notifications as its files hold them now, for the runs to come.
  void applyNotifications();
  // Where the runs are kept (the settings' history= line, else the file
  // beside them): chosen in a dialog, and told to the runs to come and to
  // the notifications, which log their deliveries there.
  void mnuHistoryPlace_Click();
  void applyHistoryPlace();
  // The history the runs are recorded to and the History window opens.
  const std::string& historyAddress() const { return historyAddress_; }
  // The script workbench on the script file (also a double-click on the
  // script list).
  void mnuScriptEdit_Click();
  // Another watch in a window of its own, its settings file chosen here
  // (as kelvane --new-watch does).
  void mnuNewWatch_Click();
  // Forgets the login kept for this watch, after asking.
  void mnuForgetLogin_Click() { login_.forget(this, *dialogs_); }
  // The tab control and the window.
  void SSTab1_Click(int previousTab);
  void SSTab1_DblClick() { mnuShowT_Click(); }
  void Form_Resize();
  // A mouse button released over the window or the tab control.
  void Form_MouseUp(Qt::MouseButton button, const QPoint& globalPos);
  // The TITLE destination: a hidden title bar stays hidden.
  void SetTitle(const QString& caption);

  // The parts, for the tests and the benchmark.
  RunController& run() { return *run_; }
  QMenu* mnuPop() const { return menu_.menu(); }
  QAction* menuItem(const char* name) const { return menu_.item(name); }
  TabControl* SSTab1() const { return pages_.SSTab1; }
  const Appearance& appearance() const { return look_.appearance(); }
  const SettingsBinding& settingsBinding() const { return settings_; }
  const CompanionWindows& companions() const { return companions_; }
  const QString& settingsPath() const { return settingsPath_; }
  const StatusLine& statusLine() const { return status_; }
  const WindowLogin& login() const { return login_; }
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
  void connectSignals();
  void Form_Load();
  // Quitting: runs, loads and waits end at their next look; no timer ticks.
  void endEverything();
  // Installed, the script and log paths typed or given relative become
  // absolute in their boxes, so that they still name the same files when
  // the program next starts in another folder.
  void makePathsAbsolute();
  void updateTimeWindow();
  // The automatic update as the setting page's boxes and the popup set it.
  acquisition::Scheduler& scheduler();

  StartOptions options_;
  std::shared_ptr<platform::Dialogs> dialogs_;
  WindowBounds bounds_;
  FormPages pages_;
  PopupMenu menu_;
  // After the pages: it takes the browser's pages away before its profile.
  WindowLogin login_;
  DisplayLook look_;
  SettingsBinding settings_;
  CompanionWindows companions_;
  StatusLine status_;
  WindowView view_;
  std::unique_ptr<RunController> run_;
  std::unique_ptr<WindowNotices> notices_;  // goes before run_
  QString settingsPath_;
  std::string historyAddress_;
  bool absolutePaths_ = false;
};

}  // namespace kelvane::ui
