// What a run controller needs of the window that shows its runs: the boxes
// that mirror the engine's buffers, the script list, message boxes, the
// caption, the URL and wait value boxes, the failed-load mark, the two popup
// switches it reads, the change notice, the log and memo boxes, and the
// place where the browser is made. Form1 implements it with its controls;
// tests implement it with a recording fake.
#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "acquisition/browser.h"
#include "acquisition/load_modes.h"
#include "engine/text.h"
#include "run/watch_run.h"

namespace kelvane::ui {

class RunView {
 public:
  virtual ~RunView() = default;

  // What the user typed into the boxes meanwhile becomes the buffers' text.
  virtual void takeEdits() = 0;
  // Brings the boxes up to date with the buffers; unless evenHidden, a box
  // on a page that is not shown is left to catch up when its page is shown.
  virtual void showBuffers(bool evenHidden) = 0;
  // The display as the user sees it now.
  virtual QString displayText() const = 0;
  // The script list: the lines of the script a run has just read, and the
  // line the run has reached. showLine is false when the list could not show
  // it now (no such line, or the list is out of sight and !evenHidden).
  virtual void showScriptLines(const std::vector<engine::Text>& lines) = 0;
  virtual bool showLine(int index, bool evenHidden) = 0;
  // A modal message with an OK button only.
  virtual void showMessage(const QString& text) = 0;
  // The window's caption.
  virtual QString caption() const = 0;
  virtual void setCaption(const QString& caption) = 0;
  // The script path box, the URL box (Text2) and the wait value box.
  virtual QString scriptPath() const = 0;
  virtual QString urlText() const = 0;
  virtual void setUrlText(const QString& url) = 0;
  virtual QString waitValueText() const = 0;
  // The mark that the last page load failed, with its note (when and why);
  // no note takes the mark away.
  virtual void showLoadFailure(const std::optional<QString>& note) = 0;
  // Paints the window now, before a page load blocks it.
  virtual void repaintNow() = 0;
  // The popup switches "変化を通知" and "待ち時間を自動調整".
  virtual bool changeNoticeOn() const = 0;
  virtual acquisition::SettleMode settleMode() const = 0;
  // Tells the desktop that an automatic run changed the display.
  virtual void notifyChange(const QString& summary, const QString& body) = 0;
  // The log box and the memo box, as the next log entry.
  virtual run::LogEntry logEntry() = 0;
  // A run could not be recorded in the history: why, in the user's words.
  virtual void showHistoryFailure(const QString& text) { (void)text; }
  // Makes the browser; called once, when it is first needed.
  virtual std::unique_ptr<acquisition::Browser> createBrowser() = 0;
};

}  // namespace kelvane::ui
