// The run controller's view over the window's controls: the boxes that
// mirror the engine's buffers, the script list, the URL and wait value
// boxes, the failed-load mark on the "Data" tab, the two popup switches,
// message boxes and the place where the browser is made.
#pragma once

#include <QPointer>
#include <functional>
#include <memory>

#include "ui/run/run_view.h"

class QAction;
class QMessageBox;
class QWebEngineProfile;
class QWidget;

namespace kelvane::engine {
class Engine;
}
namespace kelvane::platform {
class Dialogs;
}

namespace kelvane::ui {

class BufferMirror;
class TabControl;
struct DataPage;
struct SettingPage;
struct WebPage;

struct WindowViewParts {
  QWidget* window = nullptr;
  const DataPage* data = nullptr;
  const SettingPage* setting = nullptr;
  const WebPage* web = nullptr;
  TabControl* tabs = nullptr;
  QAction* changeNotice = nullptr;
  QAction* autoSettle = nullptr;
  platform::Dialogs* dialogs = nullptr;
  // The window's TITLE destination.
  std::function<void(const QString&)> setCaption;
  // A desktop notification when empty.
  std::function<void(const QString& summary, const QString& body)> notify;
  // Makes the browser inside its holder; Qt WebEngine when empty.
  std::function<std::unique_ptr<acquisition::Browser>(QWidget* holder)> browserFactory;
  // The lasting profile Qt WebEngine's pages are made with.
  std::function<QWebEngineProfile*()> browserProfile;
};

class WindowView : public RunView {
 public:
  explicit WindowView(WindowViewParts parts);
  ~WindowView() override;
  // The display and the page text mirror these buffers from now on.
  void mirror(engine::Engine& engine);

  void takeEdits() override;
  void showBuffers(bool evenHidden) override;
  QString displayText() const override;
  void showScriptLines(const std::vector<engine::Text>& lines) override;
  bool showLine(int index, bool evenHidden) override;
  void showMessage(const QString& text) override;
  QString caption() const override;
  void setCaption(const QString& caption) override { parts_.setCaption(caption); }
  QString scriptPath() const override;
  QString urlText() const override;
  void setUrlText(const QString& url) override;
  QString waitValueText() const override;
  void showLoadFailure(const std::optional<QString>& note) override;
  void repaintNow() override;
  bool changeNoticeOn() const override;
  acquisition::SettleMode settleMode() const override;
  void notifyChange(const QString& summary, const QString& body) override;
  run::LogEntry logEntry() override;
  void showHistoryFailure(const QString& text) override;
  std::unique_ptr<acquisition::Browser> createBrowser() override;

 private:
  WindowViewParts parts_;
  std::unique_ptr<BufferMirror> text3Mirror_;
  std::unique_ptr<BufferMirror> text6Mirror_;
  QPointer<QMessageBox> historyFailure_;
};

}  // namespace kelvane::ui
